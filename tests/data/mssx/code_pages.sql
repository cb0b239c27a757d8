-- char, varchar and text hold the characters of their collation's code page; any other is stored as '?'.

-- case: the default collation's page is 1252
CREATE TABLE v (c varchar(20) NULL)
INSERT INTO v VALUES (N'Ωmega')
INSERT INTO v VALUES (N'café €5 – “q”')
SELECT c FROM v
-- expect: ?mega
-- expect: café €5 – “q”

-- case: a Cyrillic column keeps Cyrillic and loses Greek
CREATE TABLE v (c varchar(20) COLLATE Cyrillic_General_CI_AS NULL)
INSERT INTO v VALUES (N'Привет Ω')
SELECT c FROM v
-- expect: Привет ?

-- case: an nvarchar column keeps every character
CREATE TABLE v (c nvarchar(20) NULL)
INSERT INTO v VALUES (N'Ωmega 😀')
SELECT c FROM v
-- expect: Ωmega 😀

-- case: an UPDATE converts as well
CREATE TABLE v (c char(6) NULL)
INSERT INTO v VALUES ('x')
UPDATE v SET c = N'αβ' + 'x'
SELECT c + '|' FROM v
-- expect: ??x   |

-- case: a CAST to varchar converts to the database's page
SELECT CAST(N'Ωé' AS varchar(10))
-- expect: ?é

-- case: a double-byte page counts its bytes
CREATE TABLE v (c varchar(4) COLLATE Japanese_CI_AS NULL)
INSERT INTO v VALUES (N'日本')
SELECT c, DATALENGTH(c) FROM v
-- expect: 日本 | 4

-- case: a double-byte page refuses what its bytes do not hold
CREATE TABLE v (c varchar(3) COLLATE Japanese_CI_AS NULL)
INSERT INTO v VALUES (N'日本')
-- expect-error: 8152
