-- Binary values read as nvarchar are UTF-16LE; as varchar, bytes of the code page.

-- case: CONVERT of binary to nvarchar
SELECT CONVERT(nvarchar(10), 0x410042006500), CAST(0xE900 AS nvarchar(5))
-- expect: ABe | é

-- case: CONVERT of binary to varchar
SELECT CONVERT(varchar(10), 0x4142), CAST(0xE980 AS varchar(5))
-- expect: AB | é€

-- case: text to binary and back
SELECT CONVERT(varbinary(10), N'AB'), CONVERT(varbinary(10), 'AB'), CONVERT(varbinary(4), N'é')
-- expect: 41004200 | 4142 | E900

-- case: a surrogate pair from binary
SELECT CONVERT(nvarchar(10), 0x3DD800DE)
-- expect: 😀

-- case: a round trip through varbinary keeps nvarchar text
CREATE TABLE b (n nvarchar(20) NULL)
INSERT INTO b VALUES (N'Ωmega')
SELECT CAST(CAST(n AS varbinary(40)) AS nvarchar(20)) FROM b
-- expect: Ωmega
