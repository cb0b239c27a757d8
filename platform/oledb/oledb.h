// OLE DB stand-in: the types, structures, constants and interfaces the SQL
// Server access layer calls, plus the class ids under which the providers,
// the service component and the conversion object are registered.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/com/com.h"
#include "platform/oleaut/oleauto.h"

// ---- base types -----------------------------------------------------------
typedef size_t DBLENGTH;
typedef size_t DBBYTEOFFSET;
typedef size_t DBORDINAL;
typedef size_t DBCOUNTITEM;
typedef ptrdiff_t DBROWCOUNT;
typedef ptrdiff_t DBROWOFFSET;
typedef size_t DBREFCOUNT;
typedef uint16_t DBTYPE;
typedef DWORD DBSTATUS;
typedef DWORD DBPART;
typedef DWORD DBMEMOWNER;
typedef DWORD DBPARAMIO;
typedef DWORD DBKIND;
typedef DWORD DBPROPID;
typedef DWORD DBPROPOPTIONS;
typedef DWORD DBPROPSTATUS;
typedef DWORD DBCOLUMNFLAGS;
typedef DWORD DBBINDSTATUS;
typedef DWORD DBACCESSORFLAGS;
typedef DWORD DBDATACONVERT;
typedef DWORD DBROWSTATUS;
typedef DWORD DBROWOPTIONS;
typedef uintptr_t HROW;
typedef uintptr_t HACCESSOR;
typedef uintptr_t HCHAPTER;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef LONG DISPID;

constexpr HCHAPTER DB_NULL_HCHAPTER = 0;
constexpr HACCESSOR DB_NULL_HACCESSOR = 0;

struct ITypeInfo;  // never used: type information pointers stay null
struct DISPPARAMS; // never used by the providers

// ---- DBTYPE values ----------------------------------------------------------
constexpr DBTYPE DBTYPE_EMPTY = 0;
constexpr DBTYPE DBTYPE_NULL = 1;
constexpr DBTYPE DBTYPE_I2 = 2;
constexpr DBTYPE DBTYPE_I4 = 3;
constexpr DBTYPE DBTYPE_R4 = 4;
constexpr DBTYPE DBTYPE_R8 = 5;
constexpr DBTYPE DBTYPE_CY = 6;
constexpr DBTYPE DBTYPE_DATE = 7;
constexpr DBTYPE DBTYPE_BSTR = 8;
constexpr DBTYPE DBTYPE_IDISPATCH = 9;
constexpr DBTYPE DBTYPE_ERROR = 10;
constexpr DBTYPE DBTYPE_BOOL = 11;
constexpr DBTYPE DBTYPE_VARIANT = 12;
constexpr DBTYPE DBTYPE_IUNKNOWN = 13;
constexpr DBTYPE DBTYPE_DECIMAL = 14;
constexpr DBTYPE DBTYPE_I1 = 16;
constexpr DBTYPE DBTYPE_UI1 = 17;
constexpr DBTYPE DBTYPE_UI2 = 18;
constexpr DBTYPE DBTYPE_UI4 = 19;
constexpr DBTYPE DBTYPE_I8 = 20;
constexpr DBTYPE DBTYPE_UI8 = 21;
constexpr DBTYPE DBTYPE_GUID = 72;
constexpr DBTYPE DBTYPE_BYTES = 128;
constexpr DBTYPE DBTYPE_STR = 129;
constexpr DBTYPE DBTYPE_WSTR = 130;
constexpr DBTYPE DBTYPE_NUMERIC = 131;
constexpr DBTYPE DBTYPE_UDT = 132;
constexpr DBTYPE DBTYPE_DBDATE = 133;
constexpr DBTYPE DBTYPE_DBTIME = 134;
constexpr DBTYPE DBTYPE_DBTIMESTAMP = 135;
constexpr DBTYPE DBTYPE_XML = 141;
constexpr DBTYPE DBTYPE_SQLVARIANT = 144;
constexpr DBTYPE DBTYPE_DBTIME2 = 145;
constexpr DBTYPE DBTYPE_DBTIMESTAMPOFFSET = 146;
constexpr DBTYPE DBTYPE_BYREF = 0x4000;

// ---- HRESULTs -------------------------------------------------------------
constexpr HRESULT DB_S_ENDOFROWSET = 0x00040EC6;
constexpr HRESULT DB_S_ERRORSOCCURRED = 0x00040EDA;
constexpr HRESULT DB_E_BADACCESSORHANDLE = static_cast<HRESULT>(0x80040E00u);
constexpr HRESULT DB_E_BADROWHANDLE = static_cast<HRESULT>(0x80040E04u);
constexpr HRESULT DB_E_SCHEMAVIOLATION = static_cast<HRESULT>(0x80040E03u);
constexpr HRESULT DB_E_CANTCONVERTVALUE = static_cast<HRESULT>(0x80040E07u);
constexpr HRESULT DB_E_NOCOMMAND = static_cast<HRESULT>(0x80040E0Cu);
constexpr HRESULT DB_E_PERMISSIONDENIED = static_cast<HRESULT>(0x80040E09u);
constexpr HRESULT DB_E_BADCOLUMNID = static_cast<HRESULT>(0x80040E11u);
constexpr HRESULT DB_E_ERRORSINCOMMAND = static_cast<HRESULT>(0x80040E14u);
constexpr HRESULT DB_E_BADBINDINFO = static_cast<HRESULT>(0x80040E08u);
constexpr HRESULT DB_E_NOTSUPPORTED = static_cast<HRESULT>(0x80040E53u);
constexpr HRESULT DB_E_UNSUPPORTEDCONVERSION = static_cast<HRESULT>(0x80040E1Du);
constexpr HRESULT DB_E_ERRORSOCCURRED = static_cast<HRESULT>(0x80040E21u);
constexpr HRESULT DB_E_INTEGRITYVIOLATION = static_cast<HRESULT>(0x80040E2Fu);
constexpr HRESULT DB_E_NOTABLE = static_cast<HRESULT>(0x80040E37u);
constexpr HRESULT DB_E_DUPLICATETABLEID = static_cast<HRESULT>(0x80040E3Fu);
constexpr HRESULT DB_E_ALREADYINITIALIZED = static_cast<HRESULT>(0x80040E52u);
constexpr HRESULT DB_SEC_E_AUTH_FAILED = static_cast<HRESULT>(0x80040E4Du);
constexpr HRESULT DB_SEC_E_PERMISSIONDENIED = static_cast<HRESULT>(0x80040E09u);
constexpr HRESULT DB_E_NOCOLUMN = static_cast<HRESULT>(0x80040E55u);
constexpr HRESULT DB_E_DATAOVERFLOW = static_cast<HRESULT>(0x80040E57u);
constexpr HRESULT DB_E_BADTABLEID = static_cast<HRESULT>(0x80040E2Bu);
constexpr HRESULT DB_E_OBJECTOPEN = static_cast<HRESULT>(0x80040E05u);
constexpr HRESULT DB_E_NOINDEX = static_cast<HRESULT>(0x80040E35u);
constexpr HRESULT DB_E_NOAGGREGATION = static_cast<HRESULT>(0x80040E22u);

// ---- status words, parts, flags -------------------------------------------
constexpr DBSTATUS DBSTATUS_S_OK = 0;
constexpr DBSTATUS DBSTATUS_E_BADACCESSOR = 1;
constexpr DBSTATUS DBSTATUS_E_CANTCONVERTVALUE = 2;
constexpr DBSTATUS DBSTATUS_S_ISNULL = 3;
constexpr DBSTATUS DBSTATUS_S_TRUNCATED = 4;
constexpr DBSTATUS DBSTATUS_E_SIGNMISMATCH = 5;
constexpr DBSTATUS DBSTATUS_E_DATAOVERFLOW = 6;
constexpr DBSTATUS DBSTATUS_E_CANTCREATE = 7;
constexpr DBSTATUS DBSTATUS_E_UNAVAILABLE = 8;
constexpr DBSTATUS DBSTATUS_E_INTEGRITYVIOLATION = 10;
constexpr DBSTATUS DBSTATUS_S_DEFAULT = 13;

constexpr DBPART DBPART_INVALID = 0;
constexpr DBPART DBPART_VALUE = 0x1;
constexpr DBPART DBPART_LENGTH = 0x2;
constexpr DBPART DBPART_STATUS = 0x4;

constexpr DBMEMOWNER DBMEMOWNER_CLIENTOWNED = 0;
constexpr DBMEMOWNER DBMEMOWNER_PROVIDEROWNED = 1;
constexpr DBPARAMIO DBPARAMIO_NOTPARAM = 0;
constexpr DBACCESSORFLAGS DBACCESSOR_INVALID = 0;
constexpr DBACCESSORFLAGS DBACCESSOR_PASSBYREF = 0x1;
constexpr DBACCESSORFLAGS DBACCESSOR_ROWDATA = 0x2;
constexpr DBACCESSORFLAGS DBACCESSOR_PARAMETERDATA = 0x4;

constexpr DBBINDSTATUS DBBINDSTATUS_OK = 0;
constexpr DBBINDSTATUS DBBINDSTATUS_BADORDINAL = 1;
constexpr DBBINDSTATUS DBBINDSTATUS_UNSUPPORTEDCONVERSION = 2;
constexpr DBBINDSTATUS DBBINDSTATUS_BADBINDINFO = 3;

constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISBOOKMARK = 0x1;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_MAYDEFER = 0x2;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_WRITE = 0x4;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_WRITEUNKNOWN = 0x8;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISFIXEDLENGTH = 0x10;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISNULLABLE = 0x20;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_MAYBENULL = 0x40;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISLONG = 0x80;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISROWID = 0x100;
constexpr DBCOLUMNFLAGS DBCOLUMNFLAGS_ISROWVER = 0x200;

constexpr DBKIND DBKIND_GUID_NAME = 0;
constexpr DBKIND DBKIND_GUID_PROPID = 1;
constexpr DBKIND DBKIND_NAME = 2;
constexpr DBKIND DBKIND_PGUID_NAME = 3;
constexpr DBKIND DBKIND_PGUID_PROPID = 4;
constexpr DBKIND DBKIND_PROPID = 5;
constexpr DBKIND DBKIND_GUID = 6;

constexpr DBPROPOPTIONS DBPROPOPTIONS_REQUIRED = 0;
constexpr DBPROPOPTIONS DBPROPOPTIONS_SETIFCHEAP = 1;
constexpr DBPROPOPTIONS DBPROPOPTIONS_OPTIONAL = 1;
constexpr DBPROPSTATUS DBPROPSTATUS_OK = 0;
constexpr DBPROPSTATUS DBPROPSTATUS_NOTSUPPORTED = 1;
constexpr DBPROPSTATUS DBPROPSTATUS_BADVALUE = 2;
constexpr DBPROPSTATUS DBPROPSTATUS_BADOPTION = 3;
constexpr DBPROPSTATUS DBPROPSTATUS_NOTSETTABLE = 6;
constexpr DBPROPSTATUS DBPROPSTATUS_NOTSET = 7;

// Property ids.
constexpr DBPROPID DBPROP_AUTH_INTEGRATED = 0x07;
constexpr DBPROPID DBPROP_AUTH_PASSWORD = 0x09;
constexpr DBPROPID DBPROP_AUTH_USERID = 0x0C;
constexpr DBPROPID DBPROP_INIT_DATASOURCE = 0x3B;
constexpr DBPROPID DBPROP_INIT_CATALOG = 0xE9;
constexpr DBPROPID DBPROP_INIT_TIMEOUT = 0x42;
constexpr DBPROPID DBPROP_COL_AUTOINCREMENT = 0x1A;
constexpr DBPROPID DBPROP_COL_DEFAULT = 0x1B;
constexpr DBPROPID DBPROP_COL_NULLABLE = 0x1F;
constexpr DBPROPID DBPROP_IRowsetChange = 0x7C;
constexpr DBPROPID DBPROP_UPDATABILITY = 0x83;
constexpr DBPROPID DBPROP_IRowsetFastLoad = 0x1000; // ours: ask for a fast-load rowset through properties
constexpr DBPROPID SSPROP_ENABLEFASTLOAD = 2;       // in DBPROPSET_SQLSERVERDATASOURCE
constexpr DBPROPID SSPROP_FASTLOADKEEPIDENTITY = 3; // in DBPROPSET_SQLSERVERROWSET (keep identity values)

constexpr LONG DBPROPVAL_UP_CHANGE = 0x1;
constexpr LONG DBPROPVAL_UP_DELETE = 0x2;
constexpr LONG DBPROPVAL_UP_INSERT = 0x4;

// ---- structures -----------------------------------------------------------
struct DBID {
    union {
        GUID guid;
        GUID* pguid;
    } uGuid;
    DBKIND eKind;
    union {
        LPOLESTR pwszName;
        ULONG ulPropid;
    } uName;
};
inline const DBID DB_NULLID = {{{}}, DBKIND_GUID_PROPID, {nullptr}};

struct DBPROP {
    DBPROPID dwPropertyID;
    DBPROPOPTIONS dwOptions;
    DBPROPSTATUS dwStatus;
    DBID colid;
    VARIANT vValue;
};

struct DBPROPSET {
    DBPROP* rgProperties;
    ULONG cProperties;
    GUID guidPropertySet;
};

struct DBPROPIDSET {
    DBPROPID* rgPropertyIDs;
    ULONG cPropertyIDs;
    GUID guidPropertySet;
};

struct DBOBJECT {
    DWORD dwFlags;
    IID iid;
};

struct DBBINDEXT {
    BYTE* pExtension;
    DBCOUNTITEM ulExtension;
};

struct DBBINDING {
    DBORDINAL iOrdinal;
    DBBYTEOFFSET obValue;
    DBBYTEOFFSET obLength;
    DBBYTEOFFSET obStatus;
    ITypeInfo* pTypeInfo;
    DBOBJECT* pObject;
    DBBINDEXT* pBindExt;
    DBPART dwPart;
    DBMEMOWNER dwMemOwner;
    DBPARAMIO eParamIO;
    DBLENGTH cbMaxLen;
    DWORD dwFlags;
    DBTYPE wType;
    BYTE bPrecision;
    BYTE bScale;
};

struct DBCOLUMNINFO {
    LPOLESTR pwszName;
    ITypeInfo* pTypeInfo;
    DBORDINAL iOrdinal;
    DBCOLUMNFLAGS dwFlags;
    DBLENGTH ulColumnSize;
    DBTYPE wType;
    BYTE bPrecision;
    BYTE bScale;
    DBID columnid;
};

struct DBCOLUMNDESC {
    LPOLESTR pwszTypeName;
    ITypeInfo* pTypeInfo;
    DBPROPSET* rgPropertySets;
    CLSID* pclsid;
    ULONG cPropertySets;
    DBLENGTH ulColumnSize;
    DBID dbcid;
    DBTYPE wType;
    BYTE bPrecision;
    BYTE bScale;
};

typedef size_t DB_UPARAMS;
struct DBPARAMS {
    void* pData;
    DB_UPARAMS cParamSets;
    HACCESSOR hAccessor;
};

#pragma pack(push, 2)
struct DBDATE {
    SHORT year;
    USHORT month;
    USHORT day;
};
struct DBTIME {
    USHORT hour;
    USHORT minute;
    USHORT second;
};
#pragma pack(pop)
struct DBTIME2 {
    USHORT hour;
    USHORT minute;
    USHORT second;
    ULONG fraction; // nanoseconds
};
struct DBTIMESTAMP {
    SHORT year;
    USHORT month;
    USHORT day;
    USHORT hour;
    USHORT minute;
    USHORT second;
    ULONG fraction; // nanoseconds
};
struct DBTIMESTAMPOFFSET {
    SHORT year;
    USHORT month;
    USHORT day;
    USHORT hour;
    USHORT minute;
    USHORT second;
    ULONG fraction;
    SHORT timezone_hour;
    SHORT timezone_minute;
};
constexpr int DB_NUMERIC_MAX_PRECISION = 38;
struct DB_NUMERIC {
    BYTE precision;
    BYTE scale;
    BYTE sign;    // 1 positive, 0 negative
    BYTE val[16]; // little-endian magnitude
};
static_assert(sizeof(DBDATE) == 6);
static_assert(sizeof(DBTIME2) == 12);
static_assert(sizeof(DBTIMESTAMP) == 16);
static_assert(sizeof(DB_NUMERIC) == 19);

struct ERRORINFO {
    HRESULT hrError;
    DWORD dwMinor; // the server's native error number
    CLSID clsid;
    IID iid;
    DISPID dispid;
};

// ---- GUIDs ----------------------------------------------------------------
inline constexpr IID IID_IDBInitialize = tvx_guid("0C733A8B-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IDBProperties = tvx_guid("0C733A8A-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IDBCreateSession = tvx_guid("0C733A5D-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IDataInitialize = tvx_guid("2206CCB1-19C1-11D1-89E0-00C04FD7A829");
inline constexpr IID IID_IOpenRowset = tvx_guid("0C733A69-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IDBCreateCommand = tvx_guid("0C733A1D-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_ICommand = tvx_guid("0C733A63-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_ICommandText = tvx_guid("0C733A27-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IDBSchemaRowset = tvx_guid("0C733A7B-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_ITableDefinition = tvx_guid("0C733A86-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IRowset = tvx_guid("0C733A7C-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IRowsetChange = tvx_guid("0C733A05-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IRowsetInfo = tvx_guid("0C733A55-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IColumnsInfo = tvx_guid("0C733A11-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IAccessor = tvx_guid("0C733A8C-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IRowsetFastLoad = tvx_guid("5CF4CA13-EF21-11D0-97E7-00C04FC2AD98");
inline constexpr IID IID_IErrorRecords = tvx_guid("0C733A67-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_ISQLErrorInfo = tvx_guid("0C733A74-2A1C-11CE-ADE5-00AA0044773D");
inline constexpr IID IID_IDataConvert = tvx_guid("0C733A8D-2A1C-11CE-ADE5-00AA0044773D");

inline constexpr GUID DBGUID_DBSQL = tvx_guid("C8B521FB-5CF3-11CE-ADE5-00AA0044773D");
inline constexpr GUID DBGUID_DEFAULT = tvx_guid("C8B521FB-5CF3-11CE-ADE5-00AA0044773E");
inline constexpr GUID DBSCHEMA_TABLES = tvx_guid("C8B52229-5CF3-11CE-ADE5-00AA0044773D");
inline constexpr GUID DBSCHEMA_PRIMARY_KEYS = tvx_guid("C8B5224B-5CF3-11CE-ADE5-00AA0044773D");
inline constexpr GUID DBSCHEMA_FOREIGN_KEYS = tvx_guid("C8B522C4-5CF3-11CE-ADE5-00AA0044773D");
inline constexpr GUID DBSCHEMA_INDEXES = tvx_guid("C8B5221E-5CF3-11CE-ADE5-00AA0044773D");
inline constexpr GUID DBPROPSET_DBINIT = tvx_guid("C8B522BC-5CF3-11CE-ADE5-00AA0044773D");
inline constexpr GUID DBPROPSET_ROWSET = tvx_guid("C8B522BE-5CF3-11CE-ADE5-00AA0044773D");
inline constexpr GUID DBPROPSET_COLUMN = tvx_guid("C8B522B9-5CF3-11CE-ADE5-00AA0044773D");
// The SQL Server provider's data-source property set; property 2 = fast load.
inline constexpr GUID DBPROPSET_SQLSERVERDATASOURCE = tvx_guid("28EFAEE4-2D2C-11D1-9807-00C04FC2AD98");
inline constexpr GUID DBPROPSET_SQLSERVERROWSET = tvx_guid("5CF4CA11-EF21-11D0-97E7-00C04FC2AD98");

inline constexpr CLSID CLSID_SQLNCLI11 = tvx_guid("397C2819-8272-4532-AD3A-FB5E43BEAA39");
inline constexpr CLSID CLSID_SQLNCLI10 = tvx_guid("8F4A6B68-4F36-4E3C-BE81-BC7CA4E9C45C");
inline constexpr CLSID CLSID_MSDAINITIALIZE = tvx_guid("2206CDB0-19C1-11D1-89E0-00C04FD7A829");
inline constexpr CLSID CLSID_OLEDB_CONVERSIONLIBRARY = tvx_guid("C8B522D1-5CF3-11CE-ADE5-00AA0044773D");

// ---- interfaces -------------------------------------------------------------
struct IDBInitialize : IUnknown {
    virtual HRESULT Initialize() = 0;
    virtual HRESULT Uninitialize() = 0;
};

struct IDBProperties : IUnknown {
    virtual HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertySets,
                                  DBPROPSET** prgPropertySets) = 0;
    virtual HRESULT SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) = 0;
};

struct IDBCreateSession : IUnknown {
    virtual HRESULT CreateSession(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) = 0;
};

struct IDataInitialize : IUnknown {
    virtual HRESULT GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx, LPCOLESTR pwszInitializationString, REFIID riid,
                                  IUnknown** ppDataSource) = 0;
};

struct IOpenRowset : IUnknown {
    virtual HRESULT OpenRowset(IUnknown* pUnkOuter, DBID* pTableID, DBID* pIndexID, REFIID riid, ULONG cPropertySets,
                               DBPROPSET rgPropertySets[], IUnknown** ppRowset) = 0;
};

struct IDBCreateCommand : IUnknown {
    virtual HRESULT CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) = 0;
};

struct ICommand : IUnknown {
    virtual HRESULT Cancel() = 0;
    virtual HRESULT Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams, DBROWCOUNT* pcRowsAffected,
                            IUnknown** ppRowset) = 0;
    virtual HRESULT GetDBSession(REFIID riid, IUnknown** ppSession) = 0;
};

struct ICommandText : ICommand {
    virtual HRESULT GetCommandText(GUID* pguidDialect, LPOLESTR* ppwszCommand) = 0;
    virtual HRESULT SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) = 0;
};

struct IDBSchemaRowset : IUnknown {
    virtual HRESULT GetRowset(IUnknown* pUnkOuter, REFGUID rguidSchema, ULONG cRestrictions,
                              const VARIANT rgRestrictions[], REFIID riid, ULONG cPropertySets,
                              DBPROPSET rgPropertySets[], IUnknown** ppRowset) = 0;
    virtual HRESULT GetSchemas(ULONG* pcSchemas, GUID** prgSchemas, ULONG** prgRestrictionSupport) = 0;
};

struct ITableDefinition : IUnknown {
    virtual HRESULT CreateTable(IUnknown* pUnkOuter, DBID* pTableID, DBORDINAL cColumnDescs,
                                const DBCOLUMNDESC rgColumnDescs[], REFIID riid, ULONG cPropertySets,
                                DBPROPSET rgPropertySets[], DBID** ppTableID, IUnknown** ppRowset) = 0;
    virtual HRESULT DropTable(DBID* pTableID) = 0;
    virtual HRESULT AddColumn(DBID* pTableID, DBCOLUMNDESC* pColumnDesc, DBID** ppColumnID) = 0;
    virtual HRESULT DropColumn(DBID* pTableID, DBID* pColumnID) = 0;
};

struct IRowset : IUnknown {
    virtual HRESULT AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                               DBROWSTATUS rgRowStatus[]) = 0;
    virtual HRESULT GetData(HROW hRow, HACCESSOR hAccessor, void* pData) = 0;
    virtual HRESULT GetNextRows(HCHAPTER hReserved, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                                DBCOUNTITEM* pcRowsObtained, HROW** prghRows) = 0;
    virtual HRESULT ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[], DBROWOPTIONS rgRowOptions[],
                                DBREFCOUNT rgRefCounts[], DBROWSTATUS rgRowStatus[]) = 0;
    virtual HRESULT RestartPosition(HCHAPTER hReserved) = 0;
};

struct IRowsetInfo : IUnknown {
    virtual HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertySets,
                                  DBPROPSET** prgPropertySets) = 0;
    virtual HRESULT GetReferencedRowset(DBORDINAL iOrdinal, REFIID riid, IUnknown** ppReferencedRowset) = 0;
    virtual HRESULT GetSpecification(REFIID riid, IUnknown** ppSpecification) = 0;
};

struct IColumnsInfo : IUnknown {
    virtual HRESULT GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo, OLECHAR** ppStringsBuffer) = 0;
    virtual HRESULT MapColumnIDs(DBORDINAL cColumnIDs, const DBID rgColumnIDs[], DBORDINAL rgColumns[]) = 0;
};

struct IAccessor : IUnknown {
    virtual HRESULT AddRefAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) = 0;
    virtual HRESULT CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings, const DBBINDING rgBindings[],
                                   DBLENGTH cbRowSize, HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[]) = 0;
    virtual HRESULT GetBindings(HACCESSOR hAccessor, DBACCESSORFLAGS* pdwAccessorFlags, DBCOUNTITEM* pcBindings,
                                DBBINDING** prgBindings) = 0;
    virtual HRESULT ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) = 0;
};

// Bulk insert. The provider takes over a stream reference bound through a
// DBTYPE_IUNKNOWN column on InsertRow: it reads the stream and releases it.
struct IRowsetFastLoad : IUnknown {
    virtual HRESULT InsertRow(HACCESSOR hAccessor, void* pData) = 0;
    virtual HRESULT Commit(BOOL fDone) = 0;
};

struct IErrorRecords : IUnknown {
    virtual HRESULT AddErrorRecord(ERRORINFO* pErrorInfo, DWORD dwLookupID, DISPPARAMS* pdispparams,
                                   IUnknown* punkCustomError, DWORD dwDynamicErrorID) = 0;
    virtual HRESULT GetBasicErrorInfo(ULONG ulRecordNum, ERRORINFO* pErrorInfo) = 0;
    virtual HRESULT GetCustomErrorObject(ULONG ulRecordNum, REFIID riid, IUnknown** ppObject) = 0;
    virtual HRESULT GetErrorInfo(ULONG ulRecordNum, LCID lcid, IErrorInfo** ppErrorInfo) = 0;
    virtual HRESULT GetErrorParameters(ULONG ulRecordNum, DISPPARAMS* pdispparams) = 0;
    virtual HRESULT GetRecordCount(ULONG* pcRecords) = 0;
};

struct ISQLErrorInfo : IUnknown {
    virtual HRESULT GetSQLInfo(BSTR* pbstrSQLState, LONG* plNativeError) = 0;
};

struct IDataConvert : IUnknown {
    virtual HRESULT DataConvert(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH cbSrcLength, DBLENGTH* pcbDstLength,
                                void* pSrc, void* pDst, DBLENGTH cbDstMaxLength, DBSTATUS dbsSrcStatus,
                                DBSTATUS* pdbsStatus, BYTE bPrecision, BYTE bScale, DBDATACONVERT dwFlags) = 0;
    virtual HRESULT CanConvert(DBTYPE wSrcType, DBTYPE wDstType) = 0;
    virtual HRESULT GetConversionSize(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH* pcbSrcLength, DBLENGTH* pcbDstLength,
                                      void* pSrc) = 0;
};
constexpr DBDATACONVERT DBDATACONVERT_DEFAULT = 0;
