-- A sql_variant keeps the base type of what was written into it.

-- case: each value keeps its base type and its properties
CREATE TABLE v (id int NOT NULL, x sql_variant NULL)
INSERT INTO v VALUES (1, 42)
INSERT INTO v VALUES (2, CAST(9000000000 AS bigint))
INSERT INTO v VALUES (3, CAST(7 AS smallint))
INSERT INTO v VALUES (4, CAST(200 AS tinyint))
INSERT INTO v VALUES (5, CAST(1 AS bit))
INSERT INTO v VALUES (6, CAST(12.5 AS decimal(38,10)))
INSERT INTO v VALUES (7, 12.50)
INSERT INTO v VALUES (8, CAST(3.25 AS money))
INSERT INTO v VALUES (9, CAST(0.1 AS float))
INSERT INTO v VALUES (10, CAST(0.1 AS real))
INSERT INTO v VALUES (11, 'abc')
INSERT INTO v VALUES (12, N'日本語')
INSERT INTO v VALUES (13, 0x0102FF)
INSERT INTO v VALUES (14, CAST('6F9619FF-8B86-D011-B42D-00C04FC964FF' AS uniqueidentifier))
INSERT INTO v VALUES (15, CAST('2021-03-04 05:06:07.1234567' AS datetime2(7)))
INSERT INTO v VALUES (16, CAST('2021-03-04' AS date))
INSERT INTO v VALUES (17, CAST('2021-03-04 05:06:07.123' AS datetime))
INSERT INTO v VALUES (18, NULL)
SELECT id, x, SQL_VARIANT_PROPERTY(x, 'BaseType'), SQL_VARIANT_PROPERTY(x, 'Precision'), SQL_VARIANT_PROPERTY(x, 'Scale'), SQL_VARIANT_PROPERTY(x, 'MaxLength') FROM v ORDER BY id
-- expect: 1 | 42 | int | 10 | 0 | 4
-- expect: 2 | 9000000000 | bigint | 19 | 0 | 8
-- expect: 3 | 7 | smallint | 5 | 0 | 2
-- expect: 4 | 200 | tinyint | 3 | 0 | 1
-- expect: 5 | 1 | bit | 1 | 0 | 1
-- expect: 6 | 12.5000000000 | decimal | 38 | 10 | 17
-- expect: 7 | 12.50 | numeric | 4 | 2 | 5
-- expect: 8 | 3.2500 | money | 19 | 4 | 8
-- expect: 9 | 0.1 | float | 53 | 0 | 8
-- expect: 10 | 0.1 | real | 24 | 0 | 4
-- expect: 11 | abc | varchar | 0 | 0 | 3
-- expect: 12 | 日本語 | nvarchar | 0 | 0 | 6
-- expect: 13 | 0102FF | varbinary | 0 | 0 | 3
-- expect: 14 | {6F9619FF-8B86-D011-B42D-00C04FC964FF} | uniqueidentifier | 0 | 0 | 16
-- expect: 15 | 2021-03-04 05:06:07.1234567 | datetime2 | 27 | 7 | 8
-- expect: 16 | 2021-03-04 | date | 10 | 0 | 3
-- expect: 17 | 2021-03-04 05:06:07.123 | datetime | 23 | 3 | 8
-- expect: 18 | NULL | NULL | NULL | NULL | NULL

-- case: a decimal keeps every digit, beyond what a double holds
CREATE TABLE d (x sql_variant NULL)
INSERT INTO d VALUES (1234567890123456789012345678.0123456789)
SELECT x, SQL_VARIANT_PROPERTY(x, 'BaseType') FROM d
-- expect: 1234567890123456789012345678.0123456789 | numeric

-- case: CAST back to the base type and to others
CREATE TABLE c (x sql_variant NULL)
INSERT INTO c VALUES (CAST(12.75 AS decimal(10,2)))
SELECT CAST(x AS decimal(10,2)), CAST(x AS int), CAST(x AS float), CAST(x AS nvarchar(20)) FROM c
-- expect: 12.75 | 12 | 12.75 | 12.75

-- case: UPDATE gives the new value its own type
CREATE TABLE u (x sql_variant NULL)
INSERT INTO u VALUES (1)
UPDATE u SET x = CAST(2.5 AS decimal(5,1))
SELECT x, SQL_VARIANT_PROPERTY(x, 'BaseType'), SQL_VARIANT_PROPERTY(x, 'Scale') FROM u
-- expect: 2.5 | decimal | 1

-- case: CAST to sql_variant keeps the type of the expression
SELECT SQL_VARIANT_PROPERTY(CAST(CAST(5 AS smallint) AS sql_variant), 'BaseType'), SQL_VARIANT_PROPERTY(CAST(N'ab' AS sql_variant), 'MaxLength')
-- expect: smallint | 4

-- case: a sql_variant cannot hold a max type
CREATE TABLE m (x sql_variant NULL)
INSERT INTO m VALUES (CAST(N'long' AS nvarchar(max)))
-- expect-error: 206
