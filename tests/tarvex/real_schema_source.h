// A generated source database of the shapes real schemas have and a converter
// easily loses: keys and indexes on binary columns, schemas whose names Oracle
// refuses as written, filtered unique indexes, expression defaults.
#pragma once
#include <string>
#include <utility>

namespace real_schema {

// Binary keys: values that must arrive byte for byte, and one row whose key is
// an empty binary value, which Oracle cannot keep in a key.
inline std::string binary_tables()
{
    return "CREATE TABLE Bin (k binary(16) NOT NULL, vb varbinary(64) NULL, rv rowversion, h hierarchyid NULL, "
           "big varbinary(max) NULL, im image NULL, CONSTRAINT PK_Bin PRIMARY KEY (k))\nGO\n"
           "CREATE INDEX IX_Bin_vb ON Bin (vb)\nGO\n"
           "CREATE INDEX IX_Bin_rv ON Bin (rv)\nGO\n"
           "CREATE UNIQUE INDEX UX_Bin_h ON Bin (h)\nGO\n"
           "INSERT Bin (k, vb, h, big, im) VALUES (0x000102030405060708090A0B0C0D0E0F, 0xCAFE, '/1/', 0x01, 0xFF00)\n"
           "INSERT Bin (k, vb, h, big, im) VALUES (0xFF0102030405060708090A0B0C0D0E00, 0x00, '/1/2/', NULL, NULL)\n"
           "INSERT Bin (k, vb, h, big, im) VALUES (0x00000000000000000000000000000000, NULL, NULL, 0x, 0x)\n"
           "GO\n"
           "CREATE TABLE HKey (h hierarchyid NOT NULL, n int NULL, CONSTRAINT PK_HKey PRIMARY KEY (h))\nGO\n"
           "INSERT HKey VALUES ('/', 0)\nINSERT HKey VALUES ('/1/', 1)\nINSERT HKey VALUES ('/1/3/', 13)\nGO\n"
           "CREATE TABLE VKey (v varbinary(64) NOT NULL, n int NULL, CONSTRAINT PK_VKey PRIMARY KEY (v))\nGO\n"
           "INSERT VKey VALUES (0x01, 1)\nINSERT VKey VALUES (0x, 2)\nINSERT VKey VALUES (0x0102, 3)\nGO\n";
}

// Schema names Oracle refuses as written: a quote, 40 bytes, a digit first; and
// pairs of schemas whose safe names would be the same. A column named as
// Oracle's row address beside a LOB column, and one in another letter case.
const std::string k_quote_schema = "it's";
const std::string k_quote_peer = "it_s"; // acceptable as written: keeps its name
const std::string k_long_schema = "schema_name_of_forty_bytes_abcdefghijklm";
const std::string k_long_peer = "schema_name_of_forty_bytes_abcdefghijxyz";
const std::string k_digit_schema = "1st";

inline std::string schema_tables()
{
    std::string s;
    int n = 0;
    for (const std::string& schema : {k_quote_schema, k_quote_peer, k_long_schema, k_long_peer, k_digit_schema}) {
        ++n;
        s += "CREATE SCHEMA [" + schema + "]\nGO\n";
        s += "CREATE TABLE [" + schema + "].[t] (id int NOT NULL, v nvarchar(20) NULL, CONSTRAINT [PK_t" +
             std::to_string(n) + "] PRIMARY KEY (id))\nGO\n";
        s += "INSERT [" + schema + "].[t] VALUES (" + std::to_string(n) + ", N'row of schema " + std::to_string(n) +
             "')\n";
        s += "INSERT [" + schema + "].[t] VALUES (" + std::to_string(n * 10) + ", NULL)\nGO\n";
    }
    s += "CREATE TABLE [Addr_upper] (id int NOT NULL, [ROWID] nvarchar(10) NULL, doc nvarchar(max) NULL, "
         "CONSTRAINT [PK_Addr_upper] PRIMARY KEY (id))\nGO\n"
         "INSERT [Addr_upper] VALUES (1, N'ROWID', N'" +
         std::string(5000, 'd') +
         "')\n"
         "INSERT [Addr_upper] VALUES (2, NULL, NULL)\nGO\n"
         "CREATE TABLE [Addr_mixed] (id int NOT NULL, [RowId] nvarchar(10) NULL, doc nvarchar(max) NULL, "
         "CONSTRAINT [PK_Addr_mixed] PRIMARY KEY (id))\nGO\n"
         "INSERT [Addr_mixed] VALUES (1, N'RowId', N'" +
         std::string(5000, 'm') + "')\nINSERT [Addr_mixed] VALUES (2, NULL, NULL)\nGO\n";
    return s;
}

// A filtered unique index with two rows outside its filter that share a key, a
// two-column one over text, a filter Oracle SQL cannot say, and a filtered
// index that is not unique.
inline std::string filter_tables()
{
    return "CREATE TABLE Flt (id int NOT NULL, code int NULL, active bit NOT NULL, kind nvarchar(5) NULL, "
           "since datetime NULL, CONSTRAINT PK_Flt PRIMARY KEY (id))\nGO\n"
           "CREATE UNIQUE INDEX UX_Flt_code ON Flt (code) WHERE active = 1\nGO\n"
           "CREATE UNIQUE INDEX UX_Flt_kind ON Flt (kind, code) WHERE kind IN ('a', 'b') AND code IS NOT NULL\nGO\n"
           "CREATE UNIQUE INDEX UX_Flt_since ON Flt (id, since) WHERE since > '2020-01-01'\nGO\n"
           "CREATE INDEX IX_Flt_kind ON Flt (kind) WHERE kind <> 'x'\nGO\n"
           "INSERT Flt VALUES (1, 5, 1, 'a', NULL)\n"
           "INSERT Flt VALUES (2, 5, 0, 'c', NULL)\n"
           "INSERT Flt VALUES (3, 5, 0, 'c', NULL)\n"
           "INSERT Flt VALUES (4, NULL, 1, 'a', NULL)\n"
           "INSERT Flt VALUES (5, NULL, 1, 'b', '2021-02-03')\nGO\n";
}

// A default of each clock and GUID spelling, on NOT NULL columns too, and one
// that no Oracle expression says; the rows rely on the defaults at the source.
inline std::string default_tables()
{
    return "CREATE TABLE Dflt (id int NOT NULL, d1 date NOT NULL DEFAULT CONVERT(date, GETDATE()), "
           "d2 date NOT NULL DEFAULT CAST(GETDATE() AS date), d3 datetime2 NOT NULL DEFAULT SYSDATETIME(), "
           "d4 datetime2 NULL DEFAULT SYSUTCDATETIME(), d5 datetime NULL DEFAULT CURRENT_TIMESTAMP, "
           "d6 datetime NULL DEFAULT GETUTCDATE(), g uniqueidentifier NOT NULL DEFAULT NEWID(), "
           "n int NULL DEFAULT (abs(-3)), k int NULL DEFAULT 7, t nvarchar(10) NULL DEFAULT N'none', "
           "CONSTRAINT PK_Dflt PRIMARY KEY (id))\nGO\n"
           "INSERT Dflt (id) VALUES (1)\nINSERT Dflt (id, n) VALUES (2, 5)\nGO\n"
           "CREATE TABLE Dec4 (id int NOT NULL, a decimal(4,4) NULL, b decimal(9,9) NULL, c numeric(38,38) NULL, "
           "CONSTRAINT PK_Dec4 PRIMARY KEY (id))\nGO\n"
           "INSERT Dec4 VALUES (1, 0.1234, 0.123456789, 0.12345678901234567890123456789012345678)\n"
           "INSERT Dec4 VALUES (2, -0.9999, -0.000000001, NULL)\nINSERT Dec4 VALUES (3, 0, NULL, 0)\nGO\n";
}

// Names Oracle keeps apart that a converter easily makes collide: twelve NOT
// NULL columns in one table (twelve generated constraint names in one
// statement), an index and a key named like tables, and upper- and lower-case
// twins (an upper-case run into a target that holds the other case).
inline std::string naming_tables()
{
    std::string cols, values;
    for (int i = 1; i <= 12; ++i) {
        cols += "c" + std::to_string(i) + " int NOT NULL, ";
        values += std::string(i > 1 ? ", " : "") + std::to_string(i * 7);
    }
    return "CREATE TABLE Wide (" + cols +
           "CONSTRAINT PK_Wide PRIMARY KEY (c1))\nGO\n"
           "INSERT Wide VALUES (" +
           values +
           ")\nGO\n"
           "CREATE TABLE Lines (id int NOT NULL, wide int NULL, CONSTRAINT [Wide] PRIMARY KEY (id))\nGO\n"
           "CREATE INDEX [Lines] ON Lines (wide)\nGO\n"
           "CREATE UNIQUE INDEX [Twin] ON Lines (wide, id)\nGO\n"
           "INSERT Lines VALUES (1, 7)\nINSERT Lines VALUES (2, NULL)\nGO\n"
           "CREATE TABLE Twin (id int NOT NULL PRIMARY KEY, v nvarchar(5) NULL)\nGO\n"
           "INSERT Twin VALUES (1, N'lower')\nGO\n";
}

} // namespace real_schema
