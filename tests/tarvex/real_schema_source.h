// A generated source database of the shapes real schemas have and a converter
// easily loses: keys and indexes on binary columns, schemas whose names Oracle
// refuses as written, filtered unique indexes, expression defaults.
#pragma once
#include <string>

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

} // namespace real_schema
