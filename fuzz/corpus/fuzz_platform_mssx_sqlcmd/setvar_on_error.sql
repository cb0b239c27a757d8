:setvar db Shop
USE $(db)
GO
:on error exit
SELECT N'$(given)', "ix'); --"
GO 2
