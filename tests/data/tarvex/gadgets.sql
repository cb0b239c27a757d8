/*
** Test database of whole conversions: the column types, keys, defaults and names a
** conversion has to carry, with rows that test the edges of each type.
*/
SET NOCOUNT ON
GO
set quoted_identifier on
GO
SET DATEFORMAT mdy
GO

CREATE TABLE "Gadgets" (
	"GadgetID" "int" IDENTITY (100, 5) NOT NULL ,
	"Name" nvarchar (40) NOT NULL ,
	"Code" varchar (10) NULL ,
	"Price" "money" NULL CONSTRAINT "DF_Gadgets_Price" DEFAULT (0),
	"Weight" decimal (19, 4) NULL ,
	"Ratio" "float" NULL ,
	"Small" "real" NULL ,
	"Qty" "smallint" NULL ,
	"Tiny" "tinyint" NULL ,
	"Big" "bigint" NULL ,
	"InStock" "bit" NOT NULL CONSTRAINT "DF_Gadgets_InStock" DEFAULT (1),
	"Created" "datetime" NULL CONSTRAINT "DF_Gadgets_Created" DEFAULT (getdate()),
	"Tag" "uniqueidentifier" NULL ,
	"Notes" "ntext" NULL ,
	"Picture" "image" NULL ,
	CONSTRAINT "PK_Gadgets" PRIMARY KEY  CLUSTERED
	(
		"GadgetID"
	)
)
GO
 CREATE  UNIQUE  INDEX "GadgetName" ON "dbo"."Gadgets"("Name")
GO
 CREATE  INDEX "GadgetCode" ON "dbo"."Gadgets"("Code", "Qty")
GO

CREATE TABLE "Gadget Parts" (
	"GadgetID" "int" NOT NULL ,
	"PartNo" nchar (8) NOT NULL ,
	"Amount" decimal (9, 2) NOT NULL CONSTRAINT "DF_Gadget_Parts_Amount" DEFAULT (1.5),
	"Fitted" "smalldatetime" NULL ,
	"Remark" varchar (200) NULL ,
	CONSTRAINT "PK_Gadget_Parts" PRIMARY KEY  CLUSTERED
	(
		"GadgetID",
		"PartNo"
	)
)
GO

CREATE TABLE "CustomerLoyaltyProgramEnrollmentHistory" (
	"EntryID" "int" NOT NULL ,
	"Member" nvarchar (30) NOT NULL ,
	CONSTRAINT "PK_Loyalty" PRIMARY KEY  CLUSTERED
	(
		"EntryID"
	)
)
GO

CREATE TABLE "MeasurementSeriesForCalibrationA" (
	"Seq" "int" NOT NULL ,
	"Reading" "float" NULL
)
GO

CREATE TABLE "MeasurementSeriesForCalibrationB" (
	"Seq" "int" NOT NULL ,
	"Reading" "float" NULL
)
GO

CREATE TABLE "EmptyTable" (
	"ID" "int" NOT NULL ,
	"Label" nvarchar (10) NULL
)
GO

set identity_insert "Gadgets" on
go
INSERT "Gadgets"("GadgetID","Name","Code","Price","Weight","Ratio","Small","Qty","Tiny","Big","InStock","Created","Tag","Notes","Picture") VALUES(100,N'Sprocket','SP-1',12.5,1.2345,0.125,2.5,10,255,9223372036854775807,1,'02/29/2024 13:45:12.347','6F9619FF-8B86-D011-B42D-00C04FC964FF',N'A plain note',0x0102030405FF)
INSERT "Gadgets"("GadgetID","Name","Code","Price","Weight","Ratio","Small","Qty","Tiny","Big","InStock","Created","Tag","Notes","Picture") VALUES(105,N'Zürich Widget','ZW-2',922337203685477.5807,-123456789012345.6789,-1.5E-10,-3.25,-32768,0,-9223372036854775808,0,'01/01/1900 00:00:00','00000000-0000-0000-0000-000000000000',N'Grüße, 日本語 and 😀',0x00)
INSERT "Gadgets"("GadgetID","Name","Code","Price","Weight","Ratio","Small","Qty","Tiny","Big","InStock","Created","Tag","Notes","Picture") VALUES(110,N'It''s quoted','Q''1',-0.0001,0,6.02214076E+23,0,32767,1,0,1,'12/31/9999 23:59:59.997',null,null,null)
INSERT "Gadgets"("GadgetID","Name","Code","Price","Weight","Ratio","Small","Qty","Tiny","Big","InStock","Created","Tag","Notes","Picture") VALUES(115,N'Nulls',null,null,null,null,null,null,null,null,0,null,null,null,null)
go
set identity_insert "Gadgets" off
go

INSERT "Gadget Parts"("GadgetID","PartNo","Amount","Fitted","Remark") VALUES(100,N'P-001',2.25,'06/15/2023 08:30:00','first part')
INSERT "Gadget Parts"("GadgetID","PartNo","Amount","Fitted","Remark") VALUES(100,N'P-002',1,null,'line one
line two')
INSERT "Gadget Parts"("GadgetID","PartNo","Amount","Fitted","Remark") VALUES(105,N'P-001',9999999.99,'01/01/2000 00:00:00',null)
go

INSERT "CustomerLoyaltyProgramEnrollmentHistory"("EntryID","Member") VALUES(1,N'Ann')
INSERT "CustomerLoyaltyProgramEnrollmentHistory"("EntryID","Member") VALUES(2,N'Bo')
go

INSERT "MeasurementSeriesForCalibrationA"("Seq","Reading") VALUES(1,0.5)
INSERT "MeasurementSeriesForCalibrationA"("Seq","Reading") VALUES(2,0.75)
INSERT "MeasurementSeriesForCalibrationB"("Seq","Reading") VALUES(1,100.25)
go
