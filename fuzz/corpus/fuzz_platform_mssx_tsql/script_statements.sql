execute sp_addtype tid, 'varchar(6)', 'NOT NULL'
CREATE TYPE [dbo].[Phone] FROM [nvarchar](24) NULL
CREATE TABLE [dbo].[L]([id] [int] NOT NULL, [p] [dbo].[Phone] NULL, [q] smallint, [u] money, [t] AS ([q]*[u]), c tid CHECK (c like '[0-9][^a]%'))
INSERT [dbo].[L] ([id], [q], [u], [c]) VALUES (1, 2, $3.50, '12')
ALTER TABLE [dbo].[L]  WITH CHECK ADD  CONSTRAINT [CK_q] CHECK  (([q]>=(0)))
ALTER TABLE [dbo].[L] CHECK CONSTRAINT [CK_q]
EXEC sys.sp_addextendedproperty @name=N'MS_Description', @value=N'x' , @level0type=N'SCHEMA',@level0name=N'dbo', @level1type=N'TABLE',@level1name=N'L'
IF NOT EXISTS (SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[L]') AND type in (N'U')) RAISERROR('missing %s', 16, 1, N'L')
;WITH c AS (SELECT id FROM L) SELECT * FROM c
DROP TABLE IF EXISTS nothing
CHECKPOINT
UPDATE STATISTICS L
