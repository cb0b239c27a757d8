-- A computed column takes the type SQL Server derives from its expression.

-- case: integer arithmetic takes the operand of higher precedence
CREATE TABLE w (OrderQty int NOT NULL, ScrappedQty smallint NOT NULL, a smallint NULL, b tinyint NULL, StockedQty AS isnull([OrderQty]-[ScrappedQty],(0)), d AS OrderQty - ScrappedQty, s AS a + b, t AS b * b)
SELECT COLUMN_NAME, DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'w' AND ORDINAL_POSITION > 4 ORDER BY ORDINAL_POSITION
-- expect: StockedQty | int
-- expect: d | int
-- expect: s | smallint
-- expect: t | tinyint

-- case: money and decimal arithmetic
CREATE TABLE l (UnitPrice money NOT NULL, UnitPriceDiscount money NOT NULL, OrderQty smallint NOT NULL, SubTotal money NOT NULL, TaxAmt money NOT NULL, r decimal(10,2) NULL, LineTotal AS isnull(([UnitPrice]*((1.0)-[UnitPriceDiscount]))*[OrderQty],(0.0)), TotalDue AS isnull(([SubTotal]+[TaxAmt]),(0)), half AS r / 2)
SELECT COLUMN_NAME, DATA_TYPE, NUMERIC_PRECISION, NUMERIC_SCALE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'l' AND ORDINAL_POSITION > 6 ORDER BY ORDINAL_POSITION
-- expect: LineTotal | numeric | 38 | 6
-- expect: TotalDue | money | 19 | 4
-- expect: half | decimal | 21 | 13

-- case: text concatenation adds up the lengths
CREATE TABLE p (FirstName nvarchar(50) NOT NULL, LastName nvarchar(50) NOT NULL, Code varchar(10) NULL, id int NOT NULL, FullName AS FirstName + ' ' + LastName, Tag AS Code + 'x', SalesOrderNumber AS isnull(N'SO'+CONVERT([nvarchar](23),[id]),N'*** ERROR ***'), Upper AS UPPER(Code))
SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'p' AND ORDINAL_POSITION > 4 ORDER BY ORDINAL_POSITION
-- expect: FullName | nvarchar | 101
-- expect: Tag | varchar | 11
-- expect: SalesOrderNumber | nvarchar | 25
-- expect: Upper | varchar | 10

-- case: CASE, functions and hierarchyid methods
CREATE TABLE c (n int NULL, node hierarchyid NULL, dt datetime NULL, flag AS CASE WHEN n > 0 THEN 1 ELSE 0 END, lvl AS node.GetLevel(), path AS node.ToString(), age AS DATEDIFF(day, dt, '2020-01-01'), later AS DATEADD(day, 1, dt), ln AS LEN(CAST(n AS varchar(10))))
SELECT COLUMN_NAME, DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'c' AND ORDINAL_POSITION > 3 ORDER BY ORDINAL_POSITION
-- expect: flag | int
-- expect: lvl | smallint
-- expect: path | nvarchar
-- expect: age | int
-- expect: later | datetime
-- expect: ln | int

-- case: the values of derived types read back as their type
CREATE TABLE w (q int NOT NULL, s smallint NOT NULL, d AS q - s, f AS CAST(q AS varchar(5)) + 'x')
INSERT INTO w (q, s) VALUES (10, 3)
SELECT d, f FROM w
-- expect: 7 | 10x
-- expect-types: int | varchar(6)
