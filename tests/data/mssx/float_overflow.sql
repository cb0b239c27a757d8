-- Float arithmetic beyond the float range is an arithmetic overflow, never an infinity.

-- case: a query's float overflow
SELECT CAST(1e308 AS float) * 10
-- expect-error: 8115

-- case: a stored float overflow
CREATE TABLE f (x float NULL)
INSERT INTO f VALUES (1e308)
UPDATE f SET x = x * 10
-- expect-error: 8115

-- case: the row keeps its value after the refused update
CREATE TABLE f (x float NULL)
INSERT INTO f VALUES (1e308)
UPDATE f SET x = x * 10
GO
SELECT x FROM f
-- expect-error: 8115
-- expect: 1e+308

-- case: an insert of an overflowing expression
CREATE TABLE f (x float NULL)
INSERT INTO f SELECT CAST(-1e308 AS float) * 10
-- expect-error: 8115

-- case: a variable does not take an infinity
DECLARE @f float = 1e308
SET @f = @f * @f
-- expect-error: 8115

-- case: large finite values stay
CREATE TABLE f (x float NULL, r real NULL)
INSERT INTO f VALUES (1.7e308, 3.4e38)
SELECT x, r FROM f
-- expect: 1.6999999999999999e+308 | 3.39999995e+38
