-- A value written to a column is stored as the column's type keeps it.

-- case: UPDATE with an expression rounds to the column's scale
CREATE TABLE p (id int NOT NULL, price decimal(10,2) NOT NULL)
INSERT INTO p VALUES (1, 10.00)
UPDATE p SET price = price * 1.0375
SELECT price, CAST(price AS varchar(20)) FROM p
-- expect: 10.38 | 10.38

-- case: the stored value is the rounded one, as a comparison shows
CREATE TABLE p (id int NOT NULL, price decimal(10,2) NOT NULL)
INSERT INTO p VALUES (1, 2.00)
UPDATE p SET price = price / 3
SELECT COUNT(*) FROM p WHERE price = 0.67
-- expect: 1

-- case: UPDATE that does not fit the precision is refused
CREATE TABLE p (id int NOT NULL, price decimal(4,2) NOT NULL)
INSERT INTO p VALUES (1, 99.00)
UPDATE p SET price = price * 2
-- expect-error: 8115

-- case: INSERT ... SELECT rounds half away from zero
CREATE TABLE p (d decimal(10,2) NULL)
INSERT INTO p (d) SELECT 2.675
INSERT INTO p (d) SELECT -2.675
SELECT d FROM p ORDER BY d
-- expect: -2.68
-- expect: 2.68

-- case: UPDATE of an integer column truncates a fraction
CREATE TABLE p (n int NULL)
INSERT INTO p VALUES (1)
UPDATE p SET n = n * 2.75
SELECT n FROM p
-- expect: 2

-- case: UPDATE of a text column checks the length
CREATE TABLE p (s nvarchar(3) NULL)
INSERT INTO p VALUES (N'ab')
UPDATE p SET s = s + N'cd'
-- expect-error: 8152

-- case: UPDATE of an nchar column pads the value
CREATE TABLE p (s nchar(4) NULL)
INSERT INTO p VALUES (N'a')
UPDATE p SET s = UPPER(N'b')
SELECT '[' + s + ']' FROM p
-- expect: [B   ]

-- case: UPDATE to NULL through an expression honours NOT NULL
CREATE TABLE p (n int NOT NULL, m int NULL)
INSERT INTO p VALUES (1, NULL)
UPDATE p SET n = m + 1
-- expect-error: 515

-- case: a default is rounded to the column
CREATE TABLE p (id int NOT NULL, d decimal(5,1) NOT NULL DEFAULT 1.25)
INSERT INTO p (id) VALUES (1)
SELECT d FROM p
-- expect: 1.3

-- case: a persisted computed value is rounded to its type
CREATE TABLE p (a decimal(10,4) NOT NULL, r AS CAST(a AS decimal(10,1)) PERSISTED)
INSERT INTO p (a) VALUES (1.2500)
SELECT r FROM p
-- expect: 1.3
