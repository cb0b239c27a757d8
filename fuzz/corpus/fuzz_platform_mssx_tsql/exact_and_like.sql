SELECT SUM(DISTINCT m * 2.5) AS t, AVG(CAST(x AS decimal(10,2))) / 3, CONVERT(varchar(30), d, 121), CONVERT(datetime, '25/12/2021', 103)
FROM t WHERE c LIKE '[a-c]%[^0-9]_' ESCAPE '!' AND CASE v WHEN 1 THEN 'a' ELSE 'b' END = 'a'
GO
SELECT CAST(N'abcdef' AS nvarchar(3)), 10.0 / 3, CAST('NaN' AS float)
