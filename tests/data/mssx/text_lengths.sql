-- nchar and nvarchar count UTF-16 code units: a character outside the BMP takes two.

-- case: LEN and DATALENGTH of text beyond the BMP
SELECT LEN(N'a😀'), DATALENGTH(N'a😀'), LEN(N'ab  '), DATALENGTH(N'ab  ')
-- expect: 3 | 6 | 2 | 8

-- case: DATALENGTH of varchar, numbers and binary
CREATE TABLE d (v varchar(10) NULL, n nvarchar(10) NULL, i int NULL, b bigint NULL, m money NULL, x varbinary(10) NULL)
INSERT INTO d VALUES ('abc', N'abc', 7, 7, 1.5, 0x0102)
SELECT DATALENGTH(v), DATALENGTH(n), DATALENGTH(i), DATALENGTH(b), DATALENGTH(m), DATALENGTH(x), DATALENGTH('é') FROM d
-- expect: 3 | 6 | 4 | 8 | 8 | 2 | 1

-- case: nchar pads to its length in code units
CREATE TABLE p (c nchar(4) NOT NULL)
INSERT INTO p VALUES (N'😀')
SELECT '[' + c + ']', LEN(c), DATALENGTH(c) FROM p
-- expect: [😀  ] | 2 | 8

-- case: a surrogate pair that fills the column is accepted
CREATE TABLE p (c nvarchar(2) NOT NULL)
INSERT INTO p VALUES (N'😀')
SELECT c FROM p
-- expect: 😀

-- case: a surrogate pair past the length is truncation
CREATE TABLE p (c nvarchar(2) NOT NULL)
INSERT INTO p VALUES (N'a😀')
-- expect-error: 8152

-- case: CAST cuts before a pair that does not fit
SELECT '[' + CAST(N'a😀b' AS nvarchar(2)) + ']', '[' + CAST(N'a😀b' AS nvarchar(3)) + ']'
-- expect: [a] | [a😀]
