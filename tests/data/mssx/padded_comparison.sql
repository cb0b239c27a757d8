-- Text comparisons ignore trailing blanks (ANSI padding); LIKE does not.

-- case: nchar column equals a shorter literal
CREATE TABLE t (c nchar(5) NOT NULL)
INSERT INTO t VALUES (N'L')
SELECT COUNT(*) FROM t WHERE c = N'L'
-- expect: 1

-- case: not equal ignores the padding too
CREATE TABLE t (c nchar(5) NOT NULL)
INSERT INTO t VALUES (N'L')
INSERT INTO t VALUES (N'M')
SELECT RTRIM(c) FROM t WHERE c <> N'L'
-- expect: M

-- case: varchar value with trailing blanks equals the bare literal
CREATE TABLE t (c varchar(10) NOT NULL)
INSERT INTO t VALUES ('ab   ')
SELECT COUNT(*) FROM t WHERE c = 'ab' AND c = 'AB ' AND c >= 'ab' AND c <= 'ab'
-- expect: 1

-- case: IN list over a char column
CREATE TABLE t (c char(3) NOT NULL)
INSERT INTO t VALUES ('M')
INSERT INTO t VALUES ('F')
INSERT INTO t VALUES ('X')
SELECT COUNT(*) FROM t WHERE c IN ('M', 'F')
-- expect: 2

-- case: CHECK constraint over a padded column accepts valid rows
CREATE TABLE p (g nchar(1) NOT NULL, s nchar(3) NOT NULL CHECK (UPPER(s) IN (N'M', N'S')))
ALTER TABLE p ADD CONSTRAINT ck_g CHECK (UPPER(g) = N'M' OR UPPER(g) = N'F')
INSERT INTO p VALUES (N'M', N's')
INSERT INTO p VALUES (N'f', N'M')
SELECT COUNT(*) FROM p
-- expect: 2

-- case: CHECK constraint still refuses what it should
CREATE TABLE p (s nchar(3) NOT NULL CHECK (s IN (N'M', N'S')))
INSERT INTO p VALUES (N'X')
-- expect-error: 547

-- case: join of char and varchar columns
CREATE TABLE a (k char(6) NOT NULL)
CREATE TABLE b (k varchar(6) NOT NULL, v int NOT NULL)
INSERT INTO a VALUES ('k1')
INSERT INTO b VALUES ('k1', 7)
SELECT b.v FROM a JOIN b ON a.k = b.k
-- expect: 7

-- case: two literals compare padded
SELECT CASE WHEN 'abc' = 'abc  ' THEN 1 ELSE 0 END, CASE WHEN N'a ' <> N'a' THEN 1 ELSE 0 END
-- expect: 1 | 0

-- case: variables compare padded
DECLARE @a nchar(10) = N'x'
DECLARE @b nvarchar(10) = N'x'
IF @a = @b PRINT 'same'
SELECT CASE WHEN @a = @b THEN 'same' ELSE 'different' END
-- expect: same

-- case: LIKE is not padded
CREATE TABLE t (c char(4) NOT NULL)
INSERT INTO t VALUES ('ab')
SELECT COUNT(*) FROM t WHERE c LIKE 'ab'
-- expect: 0

-- case: a unique key counts padded values as one
CREATE TABLE u (c varchar(5) NOT NULL PRIMARY KEY)
INSERT INTO u VALUES ('a')
INSERT INTO u VALUES ('a ')
-- expect-error: 2627

-- case: GROUP BY puts padded values together
CREATE TABLE g (c varchar(5) NOT NULL)
INSERT INTO g VALUES ('a')
INSERT INTO g VALUES ('a  ')
INSERT INTO g VALUES ('A')
SELECT COUNT(*) FROM g GROUP BY c
-- expect: 3
