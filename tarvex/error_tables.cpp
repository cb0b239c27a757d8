// The code-to-text tables of the error handler.
#include "tarvex/error_handler.h"

#define TVX_SUPPORT "Please contact technical support for a solution."

const tk_error_entry g_ora_error_table[] = {
    {0x100001,
     "Duplicate field values being used for an unique index were found.\nSee 'Troubleshooting' article of the product "
     "documentation\nfor solution."},
    {0x1003F9, "Invalid user name or password."},
    {0x10067A,
     "Not enough free contiguous space in the tablespace to create the object.\nUse ALTER TABLESPACE ADD DATAFILE to "
     "add additional space to the tablespace."},
    {0x10079E, "User does not have the necessary privileges to create tables."},
    {0x1008FA,
     "There are orphaned records that prevent from creating foreign key. For more\ninformation see Troubleshooting "
     "article of the product documentation."},
    {0x102F7A, "Oracle data source does not exist. Check to verify the correct name was given."},
    {0x1030D4,
     "ORA-12500: the listener could not start a server process. For more information\nsee Troubleshooting article of "
     "the product documentation."},
    {0x1030D9,
     "ORA-12505: the program could not resolve service name. For more information\nsee Troubleshooting article of the "
     "product documentation."},
    {0x1030E2, "Cannot resolve Oracle service name. Check to verify the correct name was given.\n"},
    {0x1030FD,
     "ORA-12541: no listener. For more information see Troubleshooting\narticle of the product documentation."},
    {0x103101,
     "ORA-12545: connect failed because target host or object does not exist.\nFor more information see "
     "Troubleshooting article of the product documentation."},
    {0x106D60, "Wrong password was entered the maximum number of times or\nthe DBA has locked the account."},
};
const int g_ora_error_count = sizeof(g_ora_error_table) / sizeof(g_ora_error_table[0]);

const tk_error_entry g_odb_error_table[] = {
    {0x80E03, "Given values violate the database schema."},
    {0x80E07, "Literal value could not be converted to the correct type. " TVX_SUPPORT},
    {0x80E09,
     "You are not allowed to access MS SQL database. Ask your\nsystem administrator to grant you necessary "
     "privileges."},
    {0x80E11, "Invalid column ID. " TVX_SUPPORT},
    {0x80E13, "Invalid value. " TVX_SUPPORT},
    {0x80E17, "Data source with the specified name already exists."},
    {0x80E1D, "Requested conversion is not supported."},
    {0x80E21, "Errors occurred. " TVX_SUPPORT},
    {0x80E2F,
     "The specified record violates the integrity constraints.\nSee 'Troubleshooting' article of the product "
     "documentation\nfor solution."},
    {0x80E30, "The given type name is unrecognized."},
    {0x80E34, "The specified index already exists."},
    {0x80E35, "The specified index does not exist."},
    {0x80E37, "The specified table does not exist."},
    {0x80E3A, "The specified precision is invalid."},
    {0x80E3B, "The specified scale is invalid."},
    {0x80E3C, "Invalid table ID. " TVX_SUPPORT},
    {0x80E3D, "The specified type is invalid."},
    {0x80E3E, "The column ID is occurred more than once in the specification."},
    {0x80E3F,
     "The specified table already exists. Try to connect as database owner\nusing the appropriate checkbox on 'Connect "
     "to MS SQL server' wizard page."},
    {0x80E42, "The specified record number is invalid."},
    {0x80E4D, "Invalid user name or password."},
    {0x80E55, "The specified column did not exist."},
    {0x80E57, "Literal value overflowed the range of the type of the associated column.\n" TVX_SUPPORT},
    {0x80E65, "The supplied columnID is invalid."},
    {0x80E72, "The index ID is invalid. " TVX_SUPPORT},
    {0x80EC1, "One or more column types are incompatible; conversion errors will\noccur during copying."},
    {0x80EDA, "Errors occurred. " TVX_SUPPORT},
};
const int g_odb_error_count = sizeof(g_odb_error_table) / sizeof(g_odb_error_table[0]);
