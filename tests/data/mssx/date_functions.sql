-- DATEADD, DATEDIFF, DATEPART, DATENAME and EOMONTH with every date part.

-- case: DATEADD keeps the type of its date and the end of the month
SELECT DATEADD(day, 1, '2020-02-28'), DATEADD(month, 1, CAST('2020-01-31' AS date)), DATEADD(yy, 1, CAST('2020-02-29' AS date))
-- expect: 2020-02-29 00:00:00 | 2020-02-29 | 2021-02-28
-- expect-types: datetime | date | date

-- case: DATEADD of time parts carries into the date, and time wraps
SELECT DATEADD(hour, 25, CAST('2020-01-01 10:00' AS datetime2(0))), DATEADD(mi, -90, CAST('10:00' AS time(0))), DATEADD(ms, 500, CAST('2020-01-01 23:59:59.700' AS datetime2(3)))
-- expect: 2020-01-02 11:00:00 | 08:30:00 | 2020-01-02 00:00:00.200

-- case: DATEADD of quarters, weeks, seconds and nanoseconds
SELECT DATEADD(q, -1, CAST('2020-05-31' AS date)), DATEADD(wk, 2, CAST('2020-01-01' AS date)), DATEADD(ss, 86400, CAST('2020-01-01' AS smalldatetime)), DATEADD(ns, 100, CAST('2020-01-01' AS datetime2(7)))
-- expect: 2020-02-29 | 2020-01-15 | 2020-01-02 00:00:00 | 2020-01-01 00:00:00.0000001

-- case: DATEADD of an hour to a date is refused
SELECT DATEADD(hour, 1, CAST('2020-01-01' AS date))
-- expect-error: 9810

-- case: DATEADD beyond the type's range overflows
SELECT DATEADD(year, 9000, CAST('2020-01-01' AS datetime))
-- expect-error: 517

-- case: an unknown date part
SELECT DATEADD(fortnight, 1, '2020-01-01')
-- expect-error: 155

-- case: DATEDIFF counts boundaries crossed
SELECT DATEDIFF(year, '2019-12-31', '2020-01-01'), DATEDIFF(month, '2020-01-31', '2020-02-01'), DATEDIFF(day, '2020-03-01', '2020-02-01'), DATEDIFF(qq, '2020-03-31', '2020-04-01')
-- expect: 1 | 1 | -29 | 1
-- expect-types: int | int | int | int

-- case: DATEDIFF of weeks starts them on Sunday, of hours on the hour
SELECT DATEDIFF(week, '2024-01-06', '2024-01-07'), DATEDIFF(wk, '2024-01-07', '2024-01-13'), DATEDIFF(hour, '2020-01-01 10:59', '2020-01-01 11:00'), DATEDIFF(ms, '2020-01-01 00:00:00.000', '2020-01-01 00:00:01.500')
-- expect: 1 | 0 | 1 | 1500

-- case: DATEDIFF beyond an int overflows
SELECT DATEDIFF(second, '1900-01-01', '2100-01-01')
-- expect-error: 535

-- case: DATEDIFF_BIG does not
SELECT DATEDIFF_BIG(second, '1900-01-01', '2100-01-01')
-- expect: 6311433600
-- expect-types: bigint

-- case: DATEPART of every part
SELECT DATEPART(yyyy, '2024-01-07 13:14:15.123'), DATEPART(quarter, '2024-05-01'), DATEPART(m, '2024-05-01'), DATEPART(dayofyear, '2020-12-31'), DATEPART(dd, '2024-01-07'), DATEPART(week, '2024-01-07'), DATEPART(weekday, '2024-01-07'), DATEPART(hh, '2024-01-07 13:14:15.123'), DATEPART(n, '2024-01-07 13:14:15.123'), DATEPART(s, '2024-01-07 13:14:15.123'), DATEPART(ms, '2024-01-07 13:14:15.123'), DATEPART(iso_week, '2021-01-03'), DATEPART(tz, CAST('2020-01-01 10:00 +05:30' AS datetimeoffset))
-- expect: 2024 | 2 | 5 | 366 | 7 | 2 | 1 | 13 | 14 | 15 | 123 | 53 | 330

-- case: DATEPART of microseconds and nanoseconds
SELECT DATEPART(mcs, CAST('2020-01-01 00:00:00.1234567' AS datetime2(7))), DATEPART(ns, CAST('2020-01-01 00:00:00.1234567' AS datetime2(7)))
-- expect: 123456 | 123456700

-- case: DATENAME of months and week days
SELECT DATENAME(month, '2020-05-01'), DATENAME(dw, '2024-01-07'), DATENAME(year, '2024-01-07')
-- expect: May | Sunday | 2024

-- case: EOMONTH with and without months
SELECT EOMONTH('2020-02-10'), EOMONTH('2020-01-31', 1), EOMONTH(CAST('2020-12-15' AS date), -12)
-- expect: 2020-02-29 | 2020-02-29 | 2019-12-31
-- expect-types: date | date | date

-- case: date functions inside a CHECK constraint
CREATE TABLE e (birth date NOT NULL, hired date NOT NULL, CONSTRAINT ck_age CHECK (DATEDIFF(year, birth, hired) >= 18 AND hired <= DATEADD(day, 1, GETDATE())))
INSERT INTO e VALUES ('1980-05-01', '2010-01-01')
SELECT COUNT(*) FROM e
-- expect: 1

-- case: a CHECK constraint with a date function refuses what it should
CREATE TABLE e (birth date NOT NULL, hired date NOT NULL, CHECK (DATEDIFF(year, birth, hired) >= 18))
INSERT INTO e VALUES ('2000-05-01', '2010-01-01')
-- expect-error: 547

-- case: a default and a computed column with date functions
CREATE TABLE o (id int NOT NULL, placed date NOT NULL, due date NULL DEFAULT DATEADD(day, 7, '2020-01-01'), age AS DATEDIFF(day, placed, '2020-03-01'))
INSERT INTO o (id, placed) VALUES (1, '2020-02-01')
SELECT due, age FROM o
-- expect: 2020-01-08 | 29

-- case: NULL arguments give NULL
SELECT DATEADD(day, NULL, '2020-01-01'), DATEDIFF(day, NULL, '2020-01-01'), DATEPART(day, NULL), EOMONTH(NULL)
-- expect: NULL | NULL | NULL | NULL
