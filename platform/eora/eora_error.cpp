#include "platform/eora/eora_error.h"

#include <cstdio>
#include <map>

namespace eora {

namespace {

const std::map<int, const char*>& messages()
{
    static const std::map<int, const char*> m = {
        {1, "unique constraint (%s.%s) violated"},
        {1406, "fetched column value was truncated"},
        {1449, "column contains NULL values; cannot alter to NOT NULL"},
        {1450, "maximum key length (%s) exceeded"},
        {1452, "cannot CREATE UNIQUE INDEX; duplicate keys found"},
        {984, "column not allowed here"},
        {2327, "cannot create index on expression with datatype %s"},
        {2329, "column of datatype %s cannot be unique or a primary key"},
        {2437, "cannot validate (%s.%s) - primary key violated"},
        {2299, "cannot validate (%s.%s) - duplicate keys found"},
        {2449, "unique/primary keys in table referenced by foreign keys"},
        {2443, "Cannot drop constraint  - nonexistent constraint"},
        {2289, "sequence does not exist"},
        {3114, "not connected to ORACLE"},
        {938, "not enough arguments for function"},
        {4079, "invalid trigger specification"},
        {4080, "trigger '%s' does not exist"},
        {4081, "trigger '%s' already exists"},
        {24315, "illegal attribute type"},
        {24317, "define handle used in a different position"},
        {24324, "service handle not initialized"},
        {24333, "zero iteration count"},
        {24334, "no descriptor for this position"},
        {24337, "statement handle not prepared"},
        {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
        {600, "internal error code, arguments: [%s]"},
        {900, "invalid SQL statement"},
        {901, "invalid CREATE command"},
        {902, "invalid datatype"},
        {903, "invalid table name"},
        {904, "%s: invalid identifier"},
        {905, "missing keyword"},
        {906, "missing left parenthesis"},
        {907, "missing right parenthesis"},
        {908, "missing NULL keyword"},
        {910, "specified length too long for its datatype"},
        {911, "invalid character"},
        {913, "too many values"},
        {917, "missing comma"},
        {918, "column ambiguously defined"},
        {920, "invalid relational operator"},
        {921, "unexpected end of SQL command"},
        {922, "missing or invalid option"},
        {923, "FROM keyword not found where expected"},
        {924, "missing BY keyword"},
        {925, "missing INTO keyword"},
        {926, "missing VALUES keyword"},
        {927, "missing equal sign"},
        {928, "missing SELECT keyword"},
        {932, "inconsistent datatypes: expected %s got %s"},
        {933, "SQL command not properly ended"},
        {936, "missing expression"},
        {937, "not a single-group group function"},
        {940, "invalid ALTER command"},
        {942, "table or view does not exist"},
        {947, "not enough values"},
        {955, "name is already used by an existing object"},
        {957, "duplicate column name"},
        {959, "tablespace '%s' does not exist"},
        {972, "identifier is too long"},
        {1002, "fetch out of sequence"},
        {1007, "variable not in select list"},
        {1008, "not all variables bound"},
        {1017, "invalid username/password; logon denied"},
        {1031, "insufficient privileges"},
        {372, "file %s cannot be modified at this time"},
        {1110, "data file %s: '%s'"},
        {1114, "IO error writing block to file %s (block # %s)"},
        {1115, "IO error reading block from file %s (block # %s)"},
        {1116, "error in opening database file %s"},
        {1200, "actual file size of %s is smaller than correct size of %s blocks"},
        {1578, "ORACLE data block corrupted (file # %s, block # %s)"},
        {27041, "unable to open file"},
        {27072, "File I/O error"},
        {12714, "invalid national character set specified"},
        {12715, "invalid character set specified"},
        {1045, "user %s lacks CREATE SESSION privilege; logon denied"},
        {987, "missing or invalid username(s)"},
        {990, "missing or invalid privilege"},
        {1917, "user or role '%s' does not exist"},
        {1919, "role '%s' does not exist"},
        {1951, "ROLE '%s' not granted to '%s'"},
        {1952, "system privileges not granted to '%s'"},
        {1036, "illegal variable name/number"},
        {1400, "cannot insert NULL into (%s)"},
        {1407, "cannot update (%s) to NULL"},
        {1408, "such column list already indexed"},
        {1410, "invalid ROWID"},
        {1418, "specified index does not exist"},
        {1426, "numeric overflow"},
        {1430, "column being added already exists in table"},
        {1438, "value larger than specified precision allowed for this column"},
        {1439, "column to be modified must be empty to change datatype"},
        {1440, "column to be modified must be empty to decrease precision or scale"},
        {1441, "cannot decrease column length because some value is too big"},
        {1442, "column to be modified to NOT NULL is already NOT NULL"},
        {1451, "column to be modified to NULL cannot be modified to NULL"},
        {1461, "can bind a LONG value only for insert into a LONG column"},
        {1465, "invalid hex number"},
        {1653, "unable to extend table %s.%s by %s in tablespace %s"},
        {1654, "unable to extend index %s.%s by %s in tablespace %s"},
        {1658, "unable to create INITIAL extent for segment in tablespace %s"},
        {1691, "unable to extend lob segment %s.%s by %s in tablespace %s"},
        {1704, "string literal too long"},
        {1722, "invalid number"},
        {1727, "numeric precision specifier is out of range (1 to 38)"},
        {1728, "numeric scale specifier is out of range (-84 to 127)"},
        {1740, "missing double quote in identifier"},
        {1741, "illegal zero-length identifier"},
        {1745, "invalid host/bind variable name"},
        {1754, "a table may contain only one column of type LONG"},
        {1756, "quoted string not properly terminated"},
        {1786, "FOR UPDATE of this query expression is not allowed"},
        {1821, "date format not recognized"},
        {1830, "date format picture ends before converting entire input string"},
        {1840, "input value not long enough for date format"},
        {1841, "(full) year must be between -4713 and +9999, and not be 0"},
        {1843, "not a valid month"},
        {1847, "day of month must be between 1 and last day of month"},
        {1850, "hour must be between 0 and 23"},
        {1851, "minute must be between 0 and 59"},
        {1852, "seconds must be between 0 and 59"},
        {1858, "a non-numeric character was found where a numeric was expected"},
        {1861, "literal does not match format string"},
        {1874, "time zone hour must be between -15 and 15"},
        {1875, "time zone minute must be between -59 and 59"},
        {1918, "user '%s' does not exist"},
        {1920, "user name '%s' conflicts with another user or role name"},
        {1950, "no privileges on tablespace '%s'"},
        {2014, "cannot select FOR UPDATE from view with DISTINCT, GROUP BY, etc."},
        {2260, "table can have only one primary key"},
        {2261, "such unique or primary key already exists in the table"},
        {2264, "name already used by an existing constraint"},
        {2270, "no matching unique or primary key for this column-list"},
        {2296, "cannot enable (%s.) - null values found"},
        {2298, "cannot validate (%s.%s) - parent keys not found"},
        {2266, "unique/primary keys in table referenced by enabled foreign keys"},
        {2291, "integrity constraint (%s.%s) violated - parent key not found"},
        {2292, "integrity constraint (%s.%s) violated - child record found"},
        {2429, "cannot drop index used for enforcement of unique/primary key"},
        {4098, "trigger '%s.%s' is invalid and failed re-validation"},
        {8002, "sequence %s.CURRVAL is not yet defined in this session"},
        {8004, "sequence %s.NEXTVAL exceeds MAXVALUE and cannot be instantiated"},
        {12154, "TNS:could not resolve the connect identifier specified"},
        {12500, "TNS:listener failed to start a dedicated server process"},
        {12505, "TNS:listener does not currently know of SID given in connect descriptor"},
        {12514, "TNS:listener does not currently know of service requested in connect descriptor"},
        {12541, "TNS:no listener"},
        {12545, "Connect failed because target host or object does not exist"},
        {12899, "value too large for column %s (actual: %s, maximum: %s)"},
        {22275, "invalid LOB locator specified"},
        {22920, "row containing the LOB value is not locked"},
        {22993, "specified input amount is greater than actual source amount"},
        {24338, "statement handle not executed"},
        {24344, "success with compilation error"},
        {24801, "illegal parameter value in OCI lob function"},
        {24806, "LOB form mismatch"},
    };
    return m;
}

} // namespace

std::string ora_message(int number, const std::string& a1, const std::string& a2, const std::string& a3,
                        const std::string& a4)
{
    char head[32];
    std::snprintf(head, sizeof head, "ORA-%05d: ", number);
    std::string out = head;
    auto it = messages().find(number);
    if (it == messages().end()) {
        out += "Message " + std::to_string(number) + " not found;  product=RDBMS; facility=ORA";
        return out;
    }
    const std::string* args[] = {&a1, &a2, &a3, &a4};
    int next = 0;
    for (const char* p = it->second; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (next < 4) out += *args[next++];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

void raise(int number, const std::string& a1, const std::string& a2, const std::string& a3, const std::string& a4)
{
    throw eora_error(number, ora_message(number, a1, a2, a3, a4));
}

} // namespace eora
