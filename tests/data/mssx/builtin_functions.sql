-- NCHAR, CHAR, REPLICATE, SERVERPROPERTY, DB_ID and the hierarchyid methods.

-- case: NCHAR and CHAR give the character of a code
SELECT NCHAR(65), NCHAR(937), NCHAR(128512), CHAR(65), CHAR(128), NCHAR(-1), CHAR(256)
-- expect: A | Ω | 😀 | A | € | NULL | NULL

-- case: REPLICATE repeats text, and a negative count gives NULL
SELECT REPLICATE('ab', 3), REPLICATE(N'Ω', 2), REPLICATE('x', 0), REPLICATE('x', -1)
-- expect: ababab | ΩΩ |  | NULL

-- case: REPLICATE pads a code to its width
CREATE TABLE r (n int NOT NULL)
INSERT INTO r VALUES (42)
SELECT REPLICATE('0', 6 - LEN(CAST(n AS varchar(6)))) + CAST(n AS varchar(6)) FROM r
-- expect: 000042

-- case: SERVERPROPERTY answers the common properties
SELECT SERVERPROPERTY('ProductVersion'), SERVERPROPERTY('ProductLevel'), SERVERPROPERTY('EngineEdition'), SERVERPROPERTY('Collation'), SERVERPROPERTY('InstanceName'), SERVERPROPERTY('ProductMajorVersion')
-- expect: 16.0.1000.6 | RTM | 3 | SQL_Latin1_General_CP1_CI_AS | NULL | 16

-- case: SERVERPROPERTY in a condition, as install scripts test it
IF CAST(SERVERPROPERTY('ProductMajorVersion') AS int) >= 13 SELECT 'new' ELSE SELECT 'old'
-- expect: new

-- case: DB_ID of the current database, of master and of none
SELECT CASE WHEN DB_ID() > 4 THEN 'user' ELSE 'system' END, DB_ID('master'), DB_ID('no_such_database')
-- expect: user | 1 | NULL

-- case: DB_ID in an existence test
IF DB_ID('master') IS NOT NULL SELECT 'there'
-- expect: there

-- case: hierarchyid methods in queries
CREATE TABLE h (node hierarchyid NOT NULL, name nvarchar(10) NOT NULL)
INSERT INTO h VALUES ('/', N'root')
INSERT INTO h VALUES ('/1/', N'a')
INSERT INTO h VALUES ('/1/3/', N'b')
SELECT name, node.GetLevel(), node.ToString(), h.node.GetAncestor(1).ToString() FROM h ORDER BY node.GetLevel()
-- expect: root | 0 | / | NULL
-- expect: a | 1 | /1/ | /
-- expect: b | 2 | /1/3/ | /1/

-- case: hierarchyid methods in computed columns
CREATE TABLE h (node hierarchyid NOT NULL, lvl AS node.GetLevel(), path AS node.ToString())
INSERT INTO h (node) VALUES ('/2/5/')
SELECT lvl, path FROM h
-- expect: 2 | /2/5/
-- expect-types: smallint | nvarchar(4000)
