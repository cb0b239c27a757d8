// The provider driven only through COM and OLE DB calls, as the engine does.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstring>
#include <optional>
#include <thread>
#include "platform/mssx/tds/tds_listener.h"
#include "platform/oleaut/oleauto.h"
#include "platform/oledb/odbp_text.h"
#include "platform/oledb/oledb.h"
#include "tests/platform/mssx/mssx_test_server.h"

namespace {

std::string odbp_test_narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// A loopback port that was free a moment ago and has no listener.
int closed_port()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

template <class T>
struct com_ptr {
    T* p = nullptr;
    com_ptr() = default;
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    ~com_ptr()
    {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    void** out() { return reinterpret_cast<void**>(&p); }
    IUnknown** unk() { return reinterpret_cast<IUnknown**>(&p); }
};

struct first_error {
    HRESULT hr = S_OK;
    ULONG records = 0;
    DWORD minor = 0;
    LONG native = 0;
    std::wstring sqlstate;
    std::wstring description;
};

first_error take_error()
{
    first_error f;
    com_ptr<IErrorInfo> info;
    if (GetErrorInfo(0, &info.p) != S_OK) return f;
    com_ptr<IErrorRecords> recs;
    if (FAILED(info->QueryInterface(IID_IErrorRecords, recs.out()))) return f;
    recs->GetRecordCount(&f.records);
    if (!f.records) return f;
    ERRORINFO ei{};
    recs->GetBasicErrorInfo(0, &ei);
    f.hr = ei.hrError;
    f.minor = ei.dwMinor;
    com_ptr<IUnknown> custom;
    recs->GetCustomErrorObject(0, IID_ISQLErrorInfo, custom.unk());
    if (custom.p) {
        BSTR state = nullptr;
        static_cast<ISQLErrorInfo*>(static_cast<void*>(custom.p))->GetSQLInfo(&state, &f.native);
        if (state) {
            f.sqlstate = state;
            SysFreeString(state);
        }
    }
    com_ptr<IErrorInfo> rec;
    recs->GetErrorInfo(0, 1033, &rec.p);
    if (rec.p) {
        BSTR d = nullptr;
        rec->GetDescription(&d);
        if (d) {
            f.description = d;
            SysFreeString(d);
        }
    }
    return f;
}

DBPROP bstr_prop(DBPROPID id, const std::wstring& v)
{
    DBPROP p{};
    p.dwPropertyID = id;
    p.dwOptions = DBPROPOPTIONS_REQUIRED;
    p.colid = DB_NULLID;
    VariantInit(&p.vValue);
    p.vValue.vt = VT_BSTR;
    p.vValue.bstrVal = SysAllocString(v.c_str());
    return p;
}

class Provider : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = std::make_unique<mssx_test_server>("odbp");
        auto errors = server->run_script(R"(
CREATE DATABASE Shop
GO
USE Shop
GO
CREATE TABLE dbo.Items (Id int IDENTITY(1,1) NOT NULL CONSTRAINT PK_Items PRIMARY KEY, Name nvarchar(20) NOT NULL,
  Price decimal(10,2) NULL DEFAULT 0, Added datetime NULL DEFAULT getdate(), Blob varbinary(10) NULL, Note nvarchar(max) NULL,
  Day date NULL, At time(3) NULL, Tag uniqueidentifier NULL, Doc xml NULL)
CREATE UNIQUE INDEX UX_Items_Name ON Items(Name)
CREATE TABLE Lines (ItemId int NOT NULL REFERENCES Items(Id) ON DELETE CASCADE, Qty smallint NOT NULL)
GO
INSERT INTO Items(Name, Price, Blob, Note, Day, At, Tag, Doc) VALUES (N'Käse', 12.5, 0x0102FF, NULL, '2001-01-31', '10:20:30.123', '6F9619FF-8B86-D011-B42D-00C04FC964FF', N'<a/>')
INSERT INTO Items(Name, Price) VALUES (N'Brot', NULL)
INSERT INTO Lines VALUES (1, 3)
)");
        for (auto& e : errors) ADD_FAILURE() << e.number << ": " << e.what();
        mssx_server(server->dir).add_login("clerk", "pw", false);
        mssx_server(server->dir).grant_access("clerk", "Shop");
        mssx_server(server->dir).add_login("guest1", "pw", false);
    }
    static void TearDownTestSuite() { server.reset(); }

    static std::wstring ds()
    {
        if (!over_network.empty()) return over_network;
        return L"file:" + std::wstring(server->dir.begin(), server->dir.end());
    }
    // When set, the data source of the tests: the same server through the TDS endpoint.
    static inline std::wstring over_network;

    static HRESULT native(IDBInitialize** out, const std::wstring& user, const std::wstring& pw, const std::wstring& db,
                          const CLSID& clsid = CLSID_SQLNCLI11)
    {
        HRESULT hr =
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDBInitialize, reinterpret_cast<void**>(out));
        if (FAILED(hr)) return hr;
        std::vector<DBPROP> props{bstr_prop(DBPROP_INIT_DATASOURCE, ds())};
        if (user.empty())
            props.push_back(bstr_prop(DBPROP_AUTH_INTEGRATED, L"SSPI"));
        else {
            props.push_back(bstr_prop(DBPROP_AUTH_USERID, user));
            props.push_back(bstr_prop(DBPROP_AUTH_PASSWORD, pw));
        }
        if (!db.empty()) props.push_back(bstr_prop(DBPROP_INIT_CATALOG, db));
        DBPROPSET set{props.data(), static_cast<ULONG>(props.size()), DBPROPSET_DBINIT};
        com_ptr<IDBProperties> dp;
        (*out)->QueryInterface(IID_IDBProperties, dp.out());
        hr = dp->SetProperties(1, &set);
        for (auto& p : props) VariantClear(&p.vValue);
        if (FAILED(hr)) return hr;
        return (*out)->Initialize();
    }

    static HRESULT generic(IDBInitialize** out, const std::wstring& tail)
    {
        com_ptr<IDataInitialize> di;
        HRESULT hr =
            CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize, di.out());
        if (FAILED(hr)) return hr;
        std::wstring cs = L"Provider=sqloledb;Data Source=" + ds() + tail;
        com_ptr<IUnknown> unk;
        hr = di->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, cs.c_str(), IID_IUnknown, unk.unk());
        if (FAILED(hr)) return hr;
        hr = unk->QueryInterface(IID_IDBInitialize, reinterpret_cast<void**>(out));
        if (FAILED(hr)) return hr;
        return (*out)->Initialize();
    }

    static void session(IDBInitialize* d, IOpenRowset** s)
    {
        com_ptr<IDBCreateSession> cs;
        ASSERT_EQ(d->QueryInterface(IID_IDBCreateSession, cs.out()), S_OK);
        ASSERT_EQ(cs->CreateSession(nullptr, IID_IOpenRowset, reinterpret_cast<IUnknown**>(s)), S_OK);
    }

    static HRESULT execute(IOpenRowset* s, const std::wstring& sql, IRowset** rs, DBROWCOUNT* affected = nullptr)
    {
        com_ptr<IDBCreateCommand> cc;
        s->QueryInterface(IID_IDBCreateCommand, cc.out());
        com_ptr<ICommandText> cmd;
        HRESULT hr = cc->CreateCommand(nullptr, IID_ICommandText, cmd.unk());
        if (FAILED(hr)) return hr;
        hr = cmd->SetCommandText(DBGUID_DBSQL, sql.c_str());
        if (FAILED(hr)) return hr;
        return cmd->Execute(nullptr, rs ? IID_IRowset : IID_NULL, nullptr, affected, reinterpret_cast<IUnknown**>(rs));
    }

    struct cell {
        DBSTATUS status;
        DBLENGTH length;
        std::wstring text;
        std::string bytes;
    };
    // Reads every row with one WSTR binding per column (BYTES for binary ones)
    // of `width` bytes, five rows at a time.
    static std::vector<std::vector<cell>> read(IRowset* rs, DBLENGTH width = 400,
                                               std::vector<DBCOLUMNINFO>* cols_out = nullptr)
    {
        std::vector<std::vector<cell>> rows;
        com_ptr<IColumnsInfo> ci;
        EXPECT_EQ(rs->QueryInterface(IID_IColumnsInfo, ci.out()), S_OK);
        DBORDINAL n = 0;
        DBCOLUMNINFO* info = nullptr;
        OLECHAR* strings = nullptr;
        EXPECT_EQ(ci->GetColumnInfo(&n, &info, &strings), S_OK);
        std::vector<DBBINDING> b(n);
        DBLENGTH off = 0;
        for (DBORDINAL i = 0; i < n; ++i) {
            b[i] = DBBINDING{};
            b[i].iOrdinal = i + 1;
            b[i].obStatus = off;
            b[i].obLength = off + 8;
            b[i].obValue = off + 16;
            b[i].dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
            b[i].cbMaxLen = width;
            b[i].wType = info[i].wType == DBTYPE_BYTES ? DBTYPE_BYTES : DBTYPE_WSTR;
            off += width + 16;
            if (cols_out) cols_out->push_back(info[i]);
        }
        com_ptr<IAccessor> acc;
        rs->QueryInterface(IID_IAccessor, acc.out());
        HACCESSOR h = 0;
        std::vector<DBBINDSTATUS> st(n);
        EXPECT_EQ(acc->CreateAccessor(DBACCESSOR_ROWDATA, n, b.data(), 0, &h, st.data()), S_OK);
        std::vector<BYTE> buf(off + 8);
        while (true) {
            HROW handles[5];
            HROW* ph = handles;
            DBCOUNTITEM got = 0;
            HRESULT hr = rs->GetNextRows(DB_NULL_HCHAPTER, 0, 5, &got, &ph);
            EXPECT_TRUE(SUCCEEDED(hr));
            for (DBCOUNTITEM r = 0; r < got; ++r) {
                EXPECT_TRUE(SUCCEEDED(rs->GetData(handles[r], h, buf.data())));
                std::vector<cell> row;
                for (DBORDINAL i = 0; i < n; ++i) {
                    cell c{};
                    std::memcpy(&c.status, buf.data() + b[i].obStatus, sizeof c.status);
                    std::memcpy(&c.length, buf.data() + b[i].obLength, sizeof c.length);
                    if (c.status != DBSTATUS_S_ISNULL) {
                        if (b[i].wType == DBTYPE_WSTR)
                            c.text = reinterpret_cast<const wchar_t*>(buf.data() + b[i].obValue);
                        else
                            c.bytes.assign(reinterpret_cast<const char*>(buf.data() + b[i].obValue),
                                           std::min<DBLENGTH>(c.length, width));
                    }
                    row.push_back(c);
                }
                rows.push_back(row);
            }
            rs->ReleaseRows(got, handles, nullptr, nullptr, nullptr);
            if (got < 5) break;
        }
        acc->ReleaseAccessor(h, nullptr);
        if (cols_out) {
            for (auto& c : *cols_out) c.pwszName = nullptr; // the strings buffer goes away below
        }
        CoTaskMemFree(info);
        CoTaskMemFree(strings);
        return rows;
    }

    static std::vector<std::vector<std::wstring>> query(IOpenRowset* s, const std::wstring& sql)
    {
        com_ptr<IRowset> rs;
        HRESULT hr = execute(s, sql, &rs.p);
        EXPECT_EQ(hr, S_OK) << odbp_test_narrow(take_error().description);
        std::vector<std::vector<std::wstring>> out;
        if (!rs.p) return out;
        for (auto& row : read(rs.p)) {
            std::vector<std::wstring> r;
            for (auto& c : row) r.push_back(c.status == DBSTATUS_S_ISNULL ? L"<NULL>" : c.text);
            out.push_back(r);
        }
        return out;
    }

    static inline std::unique_ptr<mssx_test_server> server;
};

} // namespace

TEST_F(Provider, NativeLoginsAndTheirFailures)
{
    {
        com_ptr<IDBInitialize> d;
        EXPECT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    }
    {
        com_ptr<IDBInitialize> d;
        EXPECT_EQ(native(&d.p, L"", L"", L"Shop"), S_OK); // integrated login of the OS user
    }
    {
        com_ptr<IDBInitialize> d;
        EXPECT_EQ(native(&d.p, L"sa", L"wrong", L""), DB_SEC_E_AUTH_FAILED);
        first_error e = take_error();
        EXPECT_EQ(e.minor, 18456u);
        EXPECT_EQ(e.native, 18456);
        EXPECT_EQ(e.sqlstate, L"28000");
        EXPECT_EQ(e.description, L"Login failed for user 'sa'.");
    }
    {
        com_ptr<IDBInitialize> d;
        EXPECT_EQ(native(&d.p, L"sa", L"secret", L"NoSuchDb"), E_FAIL);
        EXPECT_EQ(take_error().native, 4060);
    }
    {
        com_ptr<IDBInitialize> d;
        EXPECT_EQ(native(&d.p, L"guest1", L"pw", L"Shop"), E_FAIL); // no access to that database
        EXPECT_EQ(take_error().native, 4060);
        com_ptr<IDBInitialize> d2;
        EXPECT_EQ(native(&d2.p, L"clerk", L"pw", L"Shop"), S_OK);
    }
    {
        com_ptr<IDBInitialize> d;
        ASSERT_EQ(CoCreateInstance(CLSID_SQLNCLI10, nullptr, CLSCTX_INPROC_SERVER, IID_IDBInitialize, d.out()), S_OK);
        com_ptr<IDBProperties> p;
        d->QueryInterface(IID_IDBProperties, p.out());
        // a loopback port nothing listens on: the ODBC driver finds no server
        DBPROP prop = bstr_prop(DBPROP_INIT_DATASOURCE, L"127.0.0.1," + std::to_wstring(closed_port()));
        DBPROPSET set{&prop, 1, DBPROPSET_DBINIT};
        EXPECT_EQ(p->SetProperties(1, &set), S_OK);
        VariantClear(&prop.vValue);
        EXPECT_EQ(d->Initialize(), E_FAIL); // no server answers there
        first_error e = take_error();
        EXPECT_EQ(e.records, 1u);
        EXPECT_EQ(e.native, 17);
        EXPECT_FALSE(e.description.empty());
    }
}

TEST_F(Provider, GenericConnectionStringsAndTheFastLoadProperty)
{
    com_ptr<IDBInitialize> g;
    ASSERT_EQ(generic(&g.p, L";Initial Catalog=Shop;User Id=sa;Password=secret;"), S_OK);
    com_ptr<IDBInitialize> gi;
    EXPECT_EQ(generic(&gi.p, L";Integrated Security=SSPI;"), S_OK);
    com_ptr<IDBInitialize> bad;
    EXPECT_EQ(generic(&bad.p, L";User Id=sa;Password=nope;"), DB_SEC_E_AUTH_FAILED);
    EXPECT_EQ(take_error().native, 18456);

    auto fast = [](IDBInitialize* d, VARIANT_BOOL v) {
        DBPROP p{};
        p.dwPropertyID = SSPROP_ENABLEFASTLOAD;
        p.colid = DB_NULLID;
        VariantInit(&p.vValue);
        p.vValue.vt = VT_BOOL;
        p.vValue.boolVal = v;
        DBPROPSET set{&p, 1, DBPROPSET_SQLSERVERDATASOURCE};
        com_ptr<IDBProperties> dp;
        d->QueryInterface(IID_IDBProperties, dp.out());
        return dp->SetProperties(1, &set);
    };
    EXPECT_EQ(fast(g.p, VARIANT_TRUE), DB_E_ERRORSOCCURRED);
    EXPECT_EQ(fast(g.p, VARIANT_FALSE), DB_E_ERRORSOCCURRED);
    com_ptr<IDBInitialize> n;
    ASSERT_EQ(native(&n.p, L"sa", L"secret", L""), S_OK);
    EXPECT_EQ(fast(n.p, VARIANT_TRUE), S_OK);
    EXPECT_EQ(fast(n.p, VARIANT_FALSE), S_OK);
}

TEST_F(Provider, UnregisteredProviderIsNotInstalled)
{
    ASSERT_TRUE(tvx_com_unregister_class(CLSID_SQLNCLI11));
    com_ptr<IDBInitialize> d;
    EXPECT_EQ(native(&d.p, L"sa", L"secret", L""), REGDB_E_CLASSNOTREG);
    tvx_register_platform_classes();
    EXPECT_TRUE(tvx_com_is_registered(CLSID_SQLNCLI11));
}

TEST_F(Provider, CommandsReturnTextAndBytesWithNullAndTruncation)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    com_ptr<IRowset> rs;
    ASSERT_EQ(execute(s.p, L"SELECT Id, Name, Price, Blob, Note, Day, At, Tag, Doc FROM Items ORDER BY Id", &rs.p),
              S_OK);
    std::vector<DBCOLUMNINFO> cols;
    auto rows = read(rs.p, 400, &cols);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(cols[0].wType, DBTYPE_I4);
    EXPECT_EQ(cols[1].wType, DBTYPE_WSTR);
    EXPECT_EQ(cols[1].ulColumnSize, 20u);
    EXPECT_EQ(cols[1].dwFlags & DBCOLUMNFLAGS_ISNULLABLE, 0u);
    EXPECT_EQ(cols[2].wType, DBTYPE_NUMERIC);
    EXPECT_EQ(cols[2].bPrecision, 10);
    EXPECT_EQ(cols[2].bScale, 2);
    EXPECT_NE(cols[2].dwFlags & DBCOLUMNFLAGS_ISNULLABLE, 0u);
    EXPECT_EQ(cols[3].wType, DBTYPE_BYTES);
    EXPECT_EQ(cols[4].ulColumnSize, 0xFFFFFFFFu);
    EXPECT_EQ(cols[5].wType, DBTYPE_DBDATE);
    EXPECT_EQ(cols[6].wType, DBTYPE_DBTIME2);
    EXPECT_EQ(cols[7].wType, DBTYPE_GUID);
    EXPECT_EQ(cols[8].wType, DBTYPE_XML);
    EXPECT_EQ(rows[0][0].text, L"1");
    EXPECT_EQ(rows[0][1].text, L"Käse");
    EXPECT_EQ(rows[0][1].length, 4 * sizeof(WCHAR));
    EXPECT_EQ(rows[0][2].text, L"12.50");
    EXPECT_EQ(rows[0][3].bytes, std::string("\x01\x02\xFF", 3));
    EXPECT_EQ(rows[0][3].length, 3u);
    EXPECT_EQ(rows[0][4].status, DBSTATUS_S_ISNULL);
    EXPECT_EQ(rows[0][5].text, L"2001-01-31");
    EXPECT_EQ(rows[0][6].text, L"10:20:30.123");
    EXPECT_EQ(rows[0][7].text, L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_EQ(rows[0][8].text, L"<a/>");
    EXPECT_EQ(rows[1][2].status, DBSTATUS_S_ISNULL);

    // a value area too small for the text: truncated, NUL-terminated, full length reported
    rs->RestartPosition(DB_NULL_HCHAPTER);
    auto small = read(rs.p, 3 * sizeof(WCHAR));
    EXPECT_EQ(small[0][1].status, DBSTATUS_S_TRUNCATED);
    EXPECT_EQ(small[0][1].text, L"Kä");
    EXPECT_EQ(small[0][1].length, 4 * sizeof(WCHAR));
    EXPECT_EQ(small[0][0].status, DBSTATUS_S_OK);
}

TEST_F(Provider, GenericModeReportsNewDateTypesAsText)
{
    com_ptr<IDBInitialize> g;
    ASSERT_EQ(generic(&g.p, L";Initial Catalog=Shop;User Id=sa;Password=secret;"), S_OK);
    com_ptr<IOpenRowset> s;
    session(g.p, &s.p);
    com_ptr<IRowset> rs;
    ASSERT_EQ(execute(s.p, L"SELECT Day, At, Doc FROM Items", &rs.p), S_OK);
    std::vector<DBCOLUMNINFO> cols;
    auto rows = read(rs.p, 400, &cols);
    EXPECT_EQ(cols[0].wType, DBTYPE_WSTR);
    EXPECT_EQ(cols[1].wType, DBTYPE_WSTR);
    EXPECT_EQ(cols[2].wType, DBTYPE_WSTR);
    EXPECT_EQ(rows[0][0].text, L"2001-01-31");
}

TEST_F(Provider, OpenRowsetByNameAndMissingTables)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    for (const wchar_t* name : {L"Items", L"[dbo].[Items]"}) {
        DBID id{};
        id.eKind = DBKIND_NAME;
        std::wstring n = name;
        id.uName.pwszName = n.data();
        com_ptr<IRowset> rs;
        ASSERT_EQ(s->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 0, nullptr, rs.unk()), S_OK) << n.size();
        EXPECT_EQ(read(rs.p).size(), 2u);
    }
    DBID id{};
    id.eKind = DBKIND_NAME;
    std::wstring n = L"Nope";
    id.uName.pwszName = n.data();
    com_ptr<IRowset> rs;
    EXPECT_EQ(s->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 0, nullptr, rs.unk()), DB_E_NOTABLE);
    first_error e = take_error();
    EXPECT_EQ(e.native, 208);
    EXPECT_EQ(e.description, L"Invalid object name 'Nope'.");
}

TEST_F(Provider, SeveralRowsetsOfOneSessionAtOnce)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    com_ptr<IRowset> a, b;
    ASSERT_EQ(execute(s.p, L"SELECT Name FROM Items ORDER BY Id", &a.p), S_OK);
    ASSERT_EQ(execute(s.p, L"SELECT COUNT(*) FROM Items", &b.p), S_OK);
    EXPECT_EQ(read(b.p)[0][0].text, L"2");
    EXPECT_EQ(read(a.p)[1][0].text, L"Brot");
}

TEST_F(Provider, CatalogStatementsOfTheReader)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    EXPECT_EQ(query(s.p, L"SELECT @@VERSION")[0][0].rfind(L"Microsoft SQL Server 2022", 0), 0u);
    auto dbs = query(s.p, L"SELECT name from master.sys.databases ORDER BY name");
    ASSERT_EQ(dbs.size(), 5u);
    EXPECT_EQ(dbs[0][0], L"master");
    EXPECT_EQ(dbs[2][0], L"msdb");
    EXPECT_EQ(dbs[3][0], L"Shop");
    auto cols = query(s.p,
                      L"select table_name, column_name, data_type from INFORMATION_SCHEMA.COLUMNS where "
                      L"table_schema='dbo' and table_name not in ('sysalternates','sysconstraints','syssegments')");
    ASSERT_EQ(cols.size(), 12u);
    EXPECT_EQ(cols[6][1], L"Day");
    EXPECT_EQ(cols[6][2], L"date");
    EXPECT_EQ(cols[7][2], L"time");
    auto ident =
        query(s.p,
              L"SELECT NAME AS COLUMNNAME,CAST(LAST_VALUE AS INT),CAST(INCREMENT_VALUE AS INT) FROM "
              L"SYS.IDENTITY_COLUMNS WHERE OBJECT_NAME(OBJECT_ID)='Items' AND OBJECT_SCHEMA_NAME(OBJECT_ID)='dbo'");
    ASSERT_EQ(ident.size(), 1u);
    EXPECT_EQ(ident[0], (std::vector<std::wstring>{L"Id", L"2", L"1"}));
    auto spc = query(s.p, L"EXEC sp_columns @table_name=[Items], @table_owner=[dbo]");
    ASSERT_EQ(spc.size(), 10u);
    ASSERT_EQ(spc[0].size(), 19u);
    EXPECT_EQ(spc[0][5], L"int identity");
    EXPECT_EQ(spc[2][5], L"decimal");
    EXPECT_EQ(spc[2][6], L"10");
    EXPECT_EQ(spc[2][8], L"2");
    EXPECT_EQ(spc[2][12], L"((0))");
    EXPECT_EQ(spc[3][12], L"(getdate())");
    EXPECT_EQ(spc[1][12], L"<NULL>");
    EXPECT_EQ(query(s.p, L"EXEC sp_columns @table_name=[It%]").size(), 10u); // a LIKE pattern, as on the server
    auto spt = query(s.p, L"exec sp_tables @table_owner='dbo', @table_type=\"'TABLE'\"");
    ASSERT_EQ(spt.size(), 2u);
    EXPECT_EQ(spt[0][2], L"Items");
    EXPECT_EQ(spt[0][3], L"TABLE");
    EXPECT_EQ(query(s.p, L"SELECT COUNT(*) FROM (SELECT Name, Price FROM Items) as query")[0][0], L"2");
}

TEST_F(Provider, DerivedTablesAreRefusedAsOnTheServer)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    const std::pair<const wchar_t*, LONG> cases[] = {
        {L"SELECT COUNT(*) FROM (SELECT Name FROM Items ORDER BY Name) as query", 1033},
        {L"SELECT COUNT(*) FROM (SELECT Price * 2 FROM Items) as query", 8155},
        {L"SELECT COUNT(*) FROM (SELECT Name, Name FROM Items) as query", 8156},
        {L"SELECT COUNT(*) FROM (SELECT * FROM Items a JOIN Items b ON a.Id = b.Id) as query", 8156},
        {L"SELEC Name FROM Items", 102},
        {L"SELECT Nope FROM Items", 207},
        {L"SELECT * FROM Nope", 208}};
    for (auto& [sql, native_no] : cases) {
        com_ptr<IRowset> rs;
        HRESULT hr = execute(s.p, sql, &rs.p);
        EXPECT_TRUE(FAILED(hr)) << native_no;
        first_error e = take_error();
        if (native_no) {
            EXPECT_EQ(e.native, native_no) << std::string(e.description.begin(), e.description.end());
        }
    }
    com_ptr<IRowset> ok;
    EXPECT_EQ(execute(s.p, L"SELECT COUNT(*) FROM (SELECT TOP 1 Name FROM Items ORDER BY Name) as query", &ok.p), S_OK);
}

TEST_F(Provider, ErrorRecordsCarryNativeNumbers)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    EXPECT_EQ(execute(s.p, L"INSERT INTO Items(Name) VALUES (N'Brot')", nullptr), DB_E_INTEGRITYVIOLATION);
    first_error e = take_error();
    EXPECT_EQ(e.minor, 2601u);
    EXPECT_EQ(execute(s.p, L"SET IDENTITY_INSERT Items ON; INSERT INTO Items(Id, Name) VALUES (1, N'X')", nullptr),
              DB_E_INTEGRITYVIOLATION);
    e = take_error();
    EXPECT_EQ(e.minor, 2627u);
    EXPECT_EQ(e.sqlstate, L"23000");
    EXPECT_NE(e.description.find(L"PK_Items"), std::wstring::npos);
    EXPECT_EQ(execute(s.p, L"INSERT INTO Lines VALUES (99, 1)", nullptr), DB_E_INTEGRITYVIOLATION);
    EXPECT_EQ(take_error().minor, 547u);
    EXPECT_EQ(execute(s.p, L"SET IDENTITY_INSERT Lines ON", nullptr), DB_E_ERRORSINCOMMAND);
    EXPECT_EQ(take_error().native, 8106);
    EXPECT_EQ(execute(s.p, L"CREATE TABLE T2 (Id int IDENTITY NOT NULL); SET IDENTITY_INSERT T2 ON", nullptr),
              DB_E_ERRORSINCOMMAND);
    EXPECT_EQ(take_error().native, 8107); // Items is still ON in this session
    EXPECT_EQ(execute(s.p, L"INSERT INTO Items(Name) VALUES (N'a very long name that does not fit')", nullptr),
              DB_E_ERRORSINCOMMAND);
    EXPECT_EQ(take_error().native, 8152);
    EXPECT_EQ(execute(s.p, L"INSERT INTO Items(Name, Price) VALUES (N'n', 'abc')", nullptr), DB_E_CANTCONVERTVALUE);
    EXPECT_EQ(execute(s.p, L"INSERT INTO Items(Name, Price) VALUES (N'n', 123456789012)", nullptr), DB_E_DATAOVERFLOW);
    mssx_fail_next("DELETE FROM Lines", 1205, "Transaction was deadlocked.");
    DBROWCOUNT n = -7;
    EXPECT_EQ(execute(s.p, L"DELETE FROM Lines WHERE ItemId = 1", nullptr, &n), DB_E_ERRORSINCOMMAND);
    EXPECT_EQ(take_error().native, 1205);
    EXPECT_EQ(execute(s.p, L"UPDATE Items SET Price = 1 WHERE Id = 2", nullptr, &n), S_OK);
    EXPECT_EQ(n, 1);
}

TEST_F(Provider, SchemaRowsetsWithRestrictions)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    com_ptr<IDBSchemaRowset> sr;
    ASSERT_EQ(s->QueryInterface(IID_IDBSchemaRowset, sr.out()), S_OK);
    auto get = [&](REFGUID g, std::vector<const wchar_t*> r) {
        std::vector<VARIANT> v(r.size());
        for (size_t i = 0; i < r.size(); ++i) {
            VariantInit(&v[i]);
            if (r[i]) {
                v[i].vt = VT_BSTR;
                v[i].bstrVal = SysAllocString(r[i]);
            }
        }
        com_ptr<IRowset> rs;
        EXPECT_EQ(sr->GetRowset(nullptr, g, static_cast<ULONG>(v.size()), v.data(), IID_IRowset, 0, nullptr, rs.unk()),
                  S_OK);
        for (auto& x : v) VariantClear(&x);
        std::vector<DBCOLUMNINFO> cols;
        auto rows = read(rs.p, 400, &cols);
        return std::make_pair(cols.size(), rows);
    };
    auto [tc, tables] = get(DBSCHEMA_TABLES, {nullptr, L"dbo", nullptr, L"TABLE"});
    EXPECT_EQ(tc, 9u);
    ASSERT_GE(tables.size(), 2u);
    EXPECT_EQ(tables[0][2].text, L"Items");
    EXPECT_EQ(tables[0][3].text, L"TABLE");
    auto [pc, pks] = get(DBSCHEMA_PRIMARY_KEYS, {nullptr, L"dbo", L"Items"});
    EXPECT_EQ(pc, 8u);
    ASSERT_EQ(pks.size(), 1u);
    EXPECT_EQ(pks[0][3].text, L"Id");
    EXPECT_EQ(pks[0][7].text, L"PK_Items");
    auto [fc, fks] = get(DBSCHEMA_FOREIGN_KEYS, {nullptr, L"dbo", L"Items", nullptr, nullptr, nullptr});
    EXPECT_EQ(fc, 18u);
    ASSERT_EQ(fks.size(), 1u);
    EXPECT_EQ(fks[0][2].text, L"Items");
    EXPECT_EQ(fks[0][8].text, L"Lines");
    EXPECT_EQ(fks[0][9].text, L"ItemId");
    EXPECT_EQ(fks[0][14].text, L"CASCADE");
    EXPECT_EQ(fks[0][13].text, L"NO ACTION");
    EXPECT_EQ(fks[0][15].text, L"PK_Items");
    auto [ic, idx] = get(DBSCHEMA_INDEXES, {nullptr, L"dbo", nullptr, nullptr, L"Items"});
    EXPECT_EQ(ic, 25u);
    ASSERT_EQ(idx.size(), 2u);
    EXPECT_EQ(idx[0][5].text, L"PK_Items");
    EXPECT_EQ(idx[0][6].text, L"1");
    EXPECT_EQ(idx[1][5].text, L"UX_Items_Name");
    EXPECT_EQ(idx[1][6].text, L"0");
    EXPECT_EQ(idx[1][7].text, L"1");
    EXPECT_EQ(idx[1][17].text, L"Name");
    auto [nc, none] = get(DBSCHEMA_TABLES, {nullptr, L"nobody", nullptr, L"TABLE"});
    EXPECT_TRUE(none.empty());
}

TEST_F(Provider, CreateTableAndFastLoad)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    {
        DBPROP p{};
        p.dwPropertyID = SSPROP_ENABLEFASTLOAD;
        p.colid = DB_NULLID;
        p.vValue.vt = VT_BOOL;
        p.vValue.boolVal = VARIANT_TRUE;
        DBPROPSET set{&p, 1, DBPROPSET_SQLSERVERDATASOURCE};
        com_ptr<IDBProperties> dp;
        d->QueryInterface(IID_IDBProperties, dp.out());
        ASSERT_EQ(dp->SetProperties(1, &set), S_OK);
    }
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    com_ptr<ITableDefinition> td;
    ASSERT_EQ(s->QueryInterface(IID_ITableDefinition, td.out()), S_OK);
    std::wstring c1 = L"[k]", c2 = L"[v]", tname = L"[Loaded]";
    DBPROP auto_inc{};
    auto_inc.dwPropertyID = DBPROP_COL_AUTOINCREMENT;
    auto_inc.vValue.vt = VT_BOOL;
    auto_inc.vValue.boolVal = VARIANT_TRUE;
    DBPROPSET cs{&auto_inc, 1, DBPROPSET_COLUMN};
    DBCOLUMNDESC descs[2]{};
    descs[0].dbcid.eKind = DBKIND_NAME;
    descs[0].dbcid.uName.pwszName = c1.data();
    descs[0].wType = DBTYPE_I4;
    descs[0].rgPropertySets = &cs;
    descs[0].cPropertySets = 1;
    descs[1].dbcid.eKind = DBKIND_NAME;
    descs[1].dbcid.uName.pwszName = c2.data();
    descs[1].wType = DBTYPE_WSTR;
    descs[1].ulColumnSize = 10;
    DBID tid{};
    tid.eKind = DBKIND_NAME;
    tid.uName.pwszName = tname.data();
    ASSERT_EQ(td->CreateTable(nullptr, &tid, 2, descs, IID_NULL, 0, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(td->CreateTable(nullptr, &tid, 2, descs, IID_NULL, 0, nullptr, nullptr, nullptr), DB_E_DUPLICATETABLEID);
    take_error();

    com_ptr<IRowsetFastLoad> fl;
    ASSERT_EQ(s->OpenRowset(nullptr, &tid, nullptr, IID_IRowsetFastLoad, 0, nullptr, fl.unk()), S_OK);
    com_ptr<IAccessor> acc;
    ASSERT_EQ(fl->QueryInterface(IID_IAccessor, acc.out()), S_OK);
    DBBINDING b{};
    b.iOrdinal = 2;
    b.obStatus = 0;
    b.obLength = 8;
    b.obValue = 16;
    b.dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
    b.cbMaxLen = 64;
    b.wType = DBTYPE_WSTR;
    HACCESSOR h = 0;
    ASSERT_EQ(acc->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b, 0, &h, nullptr), S_OK);
    for (const wchar_t* v : {L"eins", L"zwei", static_cast<const wchar_t*>(nullptr)}) {
        BYTE buf[96]{};
        DBSTATUS st = v ? DBSTATUS_S_OK : DBSTATUS_S_ISNULL;
        DBLENGTH len = v ? std::wcslen(v) * sizeof(WCHAR) : 0;
        std::memcpy(buf, &st, sizeof st);
        std::memcpy(buf + 8, &len, sizeof len);
        if (v) std::memcpy(buf + 16, v, len + sizeof(WCHAR));
        ASSERT_EQ(fl->InsertRow(h, buf), S_OK);
    }
    ASSERT_EQ(fl->Commit(TRUE), S_OK);
    auto rows = query(s.p, L"SELECT k, v FROM Loaded ORDER BY k");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::wstring>{L"1", L"eins"}));
    EXPECT_EQ(rows[2], (std::vector<std::wstring>{L"3", L"<NULL>"}));

    // with IDENTITY_INSERT on in the session the bulk rows keep their identity values
    ASSERT_EQ(execute(s.p, L"SET QUOTED_IDENTIFIER OFF; SET IDENTITY_INSERT [Loaded] ON; ", nullptr), S_OK);
    DBBINDING both[2]{};
    for (int i = 0; i < 2; ++i) {
        both[i].iOrdinal = static_cast<DBORDINAL>(i + 1);
        both[i].obStatus = static_cast<DBBYTEOFFSET>(i * 96);
        both[i].obLength = static_cast<DBBYTEOFFSET>(i * 96 + 8);
        both[i].obValue = static_cast<DBBYTEOFFSET>(i * 96 + 16);
        both[i].dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
        both[i].cbMaxLen = 64;
    }
    both[0].wType = DBTYPE_I4;
    both[1].wType = DBTYPE_WSTR;
    HACCESSOR h2 = 0;
    ASSERT_EQ(acc->CreateAccessor(DBACCESSOR_ROWDATA, 2, both, 0, &h2, nullptr), S_OK);
    BYTE row[192]{};
    int32_t key = 42;
    DBLENGTH klen = 4, vlen = 3 * sizeof(WCHAR);
    std::memcpy(row + 8, &klen, sizeof klen);
    std::memcpy(row + 16, &key, sizeof key);
    std::memcpy(row + 96 + 8, &vlen, sizeof vlen);
    std::memcpy(row + 96 + 16, L"vier", 5 * sizeof(WCHAR)); // the length word says three characters
    ASSERT_EQ(fl->InsertRow(h2, row), S_OK);
    ASSERT_EQ(fl->Commit(TRUE), S_OK);
    EXPECT_EQ(query(s.p, L"SELECT v FROM Loaded WHERE k = 42")[0][0], L"vie");
}

TEST_F(Provider, AzureBannerAndListing)
{
    mssx_server(server->dir).set_version("azure");
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    EXPECT_EQ(query(s.p, L"SELECT @@VERSION")[0][0].rfind(L"Microsoft SQL Azure", 0), 0u);
    com_ptr<IRowset> rs;
    EXPECT_TRUE(FAILED(execute(s.p, L"SELECT name from master.sys.databases ORDER BY name", &rs.p)));
    EXPECT_EQ(take_error().native, 40515);
    auto ix =
        query(s.p,
              L"SELECT      ind.name, col.name, ind.is_primary_key, ind.is_unique FROM      sys.indexes ind INNER JOIN "
              L"     sys.index_columns ic ON  ind.object_id = ic.object_id and ind.index_id = ic.index_id INNER JOIN   "
              L"   sys.columns col ON ic.object_id = col.object_id and ic.column_id = col.column_id INNER JOIN      "
              L"sys.tables t ON ind.object_id = t.object_id WHERE      SCHEMA_NAME(t.schema_id)='dbo' AND "
              L"t.name='Items' AND t.is_ms_shipped=0 ORDER BY      t.name, ind.name, ind.index_id, ic.index_column_id");
    ASSERT_EQ(ix.size(), 2u);
    EXPECT_EQ(ix[0][0], L"PK_Items");
    EXPECT_EQ(ix[0][2], L"1");
    auto fk =
        query(s.p,
              L"SELECT       obj.name, col1.name, tab2.name, col2.name,      fks.delete_referential_action_desc, "
              L"fks.update_referential_action_desc FROM      sys.foreign_keys fks INNER JOIN sys.foreign_key_columns "
              L"fkc      ON fks.object_id = fkc.constraint_object_id INNER JOIN sys.objects obj     ON obj.object_id = "
              L"fkc.constraint_object_id INNER JOIN sys.tables tab1     ON tab1.object_id = fkc.parent_object_id INNER "
              L"JOIN sys.columns col1     ON col1.column_id = parent_column_id AND col1.object_id = tab1.object_id "
              L"INNER JOIN sys.tables tab2     ON tab2.object_id = fkc.referenced_object_id INNER JOIN sys.columns "
              L"col2     ON col2.column_id = referenced_column_id AND col2.object_id = tab2.object_id WHERE      "
              L"SCHEMA_NAME(tab1.schema_id)='dbo' AND tab1.name = 'Lines' ORDER BY obj.name");
    ASSERT_EQ(fk.size(), 1u);
    EXPECT_EQ(fk[0][1], L"ItemId");
    EXPECT_EQ(fk[0][2], L"Items");
    EXPECT_EQ(fk[0][4], L"CASCADE");
    EXPECT_EQ(fk[0][5], L"NO_ACTION");
    mssx_server(server->dir).set_version("2000");
    EXPECT_TRUE(FAILED(execute(s.p, L"SELECT name from master.sys.sysdatabases ORDER BY name", &rs.p)));
    EXPECT_EQ(take_error().native, 208);
    EXPECT_EQ(query(s.p, L"SELECT name from master.dbo.sysdatabases ORDER BY name").size(), 5u);
    mssx_server(server->dir).set_version("2022");
}

namespace {
class test_stream final : public ISequentialStream {
public:
    static inline int alive = 0;
    explicit test_stream(std::string d) : data(std::move(d)) { ++alive; }
    ~test_stream() override { --alive; }
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ISequentialStream) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        ULONG n = --refs;
        if (!n) delete this;
        return n;
    }
    HRESULT Read(void* pv, ULONG cb, ULONG* got) override
    {
        size_t n = std::min<size_t>(cb, data.size() - pos);
        std::memcpy(pv, data.data() + pos, n);
        pos += n;
        if (got) *got = static_cast<ULONG>(n);
        return n < cb ? S_FALSE : S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    std::string data;
    size_t pos = 0;
    ULONG refs = 1;
};
} // namespace

TEST_F(Provider, FastLoadTakesOverStreams)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    DBPROP p{};
    p.dwPropertyID = SSPROP_ENABLEFASTLOAD;
    p.colid = DB_NULLID;
    p.vValue.vt = VT_BOOL;
    p.vValue.boolVal = VARIANT_TRUE;
    DBPROPSET set{&p, 1, DBPROPSET_SQLSERVERDATASOURCE};
    com_ptr<IDBProperties> dp;
    d->QueryInterface(IID_IDBProperties, dp.out());
    ASSERT_EQ(dp->SetProperties(1, &set), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    ASSERT_EQ(execute(s.p, L"CREATE TABLE Streamed (b varbinary(max) NULL, n nvarchar(max) NULL)", nullptr), S_OK);
    std::wstring tname = L"Streamed";
    DBID tid{};
    tid.eKind = DBKIND_NAME;
    tid.uName.pwszName = tname.data();
    com_ptr<IRowsetFastLoad> fl;
    ASSERT_EQ(s->OpenRowset(nullptr, &tid, nullptr, IID_IRowsetFastLoad, 0, nullptr, fl.unk()), S_OK);
    com_ptr<IAccessor> acc;
    fl->QueryInterface(IID_IAccessor, acc.out());
    DBOBJECT obj{STGM_READ, IID_ISequentialStream};
    DBBINDING b[2]{};
    for (int i = 0; i < 2; ++i) {
        b[i].iOrdinal = static_cast<DBORDINAL>(i + 1);
        b[i].obStatus = static_cast<DBBYTEOFFSET>(i * 32);
        b[i].obLength = static_cast<DBBYTEOFFSET>(i * 32 + 8);
        b[i].obValue = static_cast<DBBYTEOFFSET>(i * 32 + 16);
        b[i].dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
        b[i].pObject = &obj;
        b[i].cbMaxLen = sizeof(IUnknown*);
        b[i].wType = DBTYPE_IUNKNOWN;
    }
    HACCESSOR h = 0;
    ASSERT_EQ(acc->CreateAccessor(DBACCESSOR_ROWDATA, 2, b, 0, &h, nullptr), S_OK);
    std::string big(100000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    std::wstring wide = L"Grüße aus dem Strom";
    IUnknown* s1 = new test_stream(big);
    IUnknown* s2 =
        new test_stream(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(WCHAR)));
    BYTE row[64]{};
    std::memcpy(row + 16, &s1, sizeof s1);
    std::memcpy(row + 48, &s2, sizeof s2);
    ASSERT_EQ(fl->InsertRow(h, row), S_OK);
    EXPECT_EQ(test_stream::alive, 0); // the provider released both references it took over
    ASSERT_EQ(fl->Commit(TRUE), S_OK);
    com_ptr<IRowset> rs;
    ASSERT_EQ(execute(s.p, L"SELECT b, n FROM Streamed", &rs.p), S_OK);
    auto rows = read(rs.p, 200000);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].bytes, big);
    EXPECT_EQ(rows[0][1].text, wide);
}

// Long values read through stream objects in odd-sized pieces arrive whole and
// unchanged, whether the table leaves them in storage (opened as a table) or the
// row holds them (a query): empty, short, longer than the provider's piece of
// the server's storage, with characters of every UTF-8 length cut anywhere.
TEST_F(Provider, LongValuesReadThroughStreamsInAnyPieces)
{
    std::wstring long_text;
    for (size_t i = 0; long_text.size() < 300000; ++i)
        long_text += (i % 5 == 0)   ? L"\u00e9"
                     : (i % 5 == 1) ? L"\u20ac"
                     : (i % 5 == 2) ? L"\U0001F600"
                     : (i % 5 == 3) ? L"a"
                                    : L"\n";
    std::string long_bytes(600001, '\0');
    for (size_t i = 0; i < long_bytes.size(); ++i) long_bytes[i] = static_cast<char>((i % 3) ? i * 13 : 0);
    const std::vector<std::pair<std::optional<std::wstring>, std::optional<std::string>>> values = {
        {L"", std::string()},
        {L"Gr\u00fc\u00dfe \U0001F600", std::string("\0\x01\0", 3)},
        {long_text, long_bytes},
        {std::nullopt, std::nullopt},
        {L"x", std::string(1, '\0')}};
    {
        mssx_connection c(server->dir, server->sa("Shop"));
        ASSERT_TRUE(c.execute("CREATE TABLE Longs (Id int NOT NULL, T nvarchar(max) NULL, B varbinary(max) NULL)")
                        .errors.empty());
        for (size_t i = 0; i < values.size(); ++i) {
            const mssx_value t = values[i].first ? mssx_value(odbp_narrow(*values[i].first)) : mssx_value();
            const mssx_value bytes = values[i].second ? mssx_value(mssx_blob{*values[i].second}) : mssx_value();
            const std::vector<std::optional<mssx_value>> row{mssx_value(int64_t(i)), t, bytes};
            c.bulk_insert("[Longs]", row, true);
        }
    }
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    for (bool as_table : {true, false}) {
        com_ptr<IRowset> rs;
        if (as_table) {
            DBID id{};
            id.eKind = DBKIND_NAME;
            std::wstring n = L"Longs";
            id.uName.pwszName = n.data();
            ASSERT_EQ(s->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 0, nullptr, rs.unk()), S_OK);
        } else {
            ASSERT_EQ(execute(s.p, L"SELECT Id, T, B FROM Longs", &rs.p), S_OK);
        }
        DBOBJECT obj{STGM_READ, IID_ISequentialStream};
        DBBINDING b[2]{};
        for (int i = 0; i < 2; ++i) {
            b[i].iOrdinal = static_cast<DBORDINAL>(i + 2);
            b[i].obStatus = static_cast<DBBYTEOFFSET>(i * 32);
            b[i].obLength = static_cast<DBBYTEOFFSET>(i * 32 + 8);
            b[i].obValue = static_cast<DBBYTEOFFSET>(i * 32 + 16);
            b[i].dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
            b[i].pObject = &obj;
            b[i].cbMaxLen = sizeof(IUnknown*);
            b[i].wType = DBTYPE_IUNKNOWN;
        }
        com_ptr<IAccessor> acc;
        rs->QueryInterface(IID_IAccessor, acc.out());
        HACCESSOR h = 0;
        ASSERT_EQ(acc->CreateAccessor(DBACCESSOR_ROWDATA, 2, b, 0, &h, nullptr), S_OK);
        size_t row_no = 0;
        for (;;) {
            HROW handle = 0;
            HROW* ph = &handle;
            DBCOUNTITEM got = 0;
            rs->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &got, &ph);
            if (got == 0) break;
            ASSERT_LT(row_no, values.size());
            BYTE buf[64]{};
            ASSERT_EQ(rs->GetData(handle, h, buf), S_OK);
            for (int i = 0; i < 2; ++i) {
                DBSTATUS st = 0;
                DBLENGTH len = 0;
                std::memcpy(&st, buf + b[i].obStatus, sizeof st);
                std::memcpy(&len, buf + b[i].obLength, sizeof len);
                const bool is_null = i == 0 ? !values[row_no].first : !values[row_no].second;
                if (is_null) {
                    EXPECT_EQ(st, DBSTATUS_S_ISNULL) << row_no;
                    continue;
                }
                ASSERT_EQ(st, DBSTATUS_S_OK) << row_no;
                ISequentialStream* stream = nullptr;
                std::memcpy(&stream, buf + b[i].obValue, sizeof stream);
                ASSERT_NE(stream, nullptr);
                // Pieces that cut characters and the provider's own pieces anywhere.
                const ULONG piece = i == 0 ? 4 * 1021 : 4093;
                std::string all, part(piece, '\0');
                for (ULONG n = piece; n == piece;) {
                    n = 0;
                    ASSERT_TRUE(SUCCEEDED(stream->Read(part.data(), piece, &n)));
                    all.append(part.data(), n);
                }
                stream->Release();
                if (i == 0) {
                    const std::wstring want = *values[row_no].first;
                    EXPECT_EQ(len, want.size() * sizeof(WCHAR)) << row_no << (as_table ? " table" : " query");
                    EXPECT_TRUE(all ==
                                std::string(reinterpret_cast<const char*>(want.data()), want.size() * sizeof(WCHAR)))
                        << row_no << (as_table ? " table" : " query");
                } else {
                    EXPECT_EQ(len, values[row_no].second->size()) << row_no;
                    EXPECT_TRUE(all == *values[row_no].second) << row_no << (as_table ? " table" : " query");
                }
            }
            rs->ReleaseRows(1, &handle, nullptr, nullptr, nullptr);
            ++row_no;
        }
        EXPECT_EQ(row_no, values.size());
        acc->ReleaseAccessor(h, nullptr);
    }
}

TEST_F(Provider, TableRowsArriveAsReadWhileTheSessionRunsOtherStatements)
{
    {
        mssx_connection c(server->dir, server->sa("Shop"));
        ASSERT_TRUE(c.execute("CREATE TABLE Many (N int NOT NULL, Label nvarchar(30) NULL)").errors.empty());
        std::string batch;
        for (int i = 1; i <= 3000; ++i)
            batch += "INSERT INTO Many VALUES (" + std::to_string(i) + ", N'row " + std::to_string(i) + "')\n";
        ASSERT_TRUE(c.execute(batch).errors.empty());
        // the embedded server leaves a table's rows in storage until they are read
        mssx_result r = c.open_table("[Many]", true);
        EXPECT_TRUE(r.rows.empty());
        ASSERT_TRUE(r.rest);
        std::vector<mssx_value> row;
        ASSERT_TRUE(r.rest->next(row));
        EXPECT_EQ(std::get<int64_t>(row[0]), 1);
    }
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    DBID id{};
    id.eKind = DBKIND_NAME;
    std::wstring n = L"Many";
    id.uName.pwszName = n.data();
    com_ptr<IRowset> rs;
    ASSERT_EQ(s->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 0, nullptr, rs.unk()), S_OK);

    // the reader counts and reads the catalog before the first row
    EXPECT_EQ(query(s.p, L"SELECT COUNT(*) FROM Many")[0][0], L"3000");
    EXPECT_EQ(query(s.p, L"SELECT Label FROM Many WHERE N = 2")[0][0], L"row 2");
    com_ptr<IDBSchemaRowset> sr;
    ASSERT_EQ(s->QueryInterface(IID_IDBSchemaRowset, sr.out()), S_OK);
    com_ptr<IRowset> tables;
    ASSERT_EQ(sr->GetRowset(nullptr, DBSCHEMA_TABLES, 0, nullptr, IID_IRowset, 0, nullptr, tables.unk()), S_OK);
    EXPECT_GE(read(tables.p).size(), 3u);

    auto rows = read(rs.p);
    ASSERT_EQ(rows.size(), 3000u);
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i][0].text, std::to_wstring(i + 1));
        ASSERT_EQ(rows[i][1].text, L"row " + std::to_wstring(i + 1));
    }
    // back to the start: the same rows again
    ASSERT_EQ(rs->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    EXPECT_EQ(read(rs.p).size(), 3000u);

    // a released row is gone, a held one stays readable
    ASSERT_EQ(rs->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    HROW handles[2];
    HROW* ph = handles;
    DBCOUNTITEM got = 0;
    ASSERT_EQ(rs->GetNextRows(DB_NULL_HCHAPTER, 0, 2, &got, &ph), S_OK);
    ASSERT_EQ(got, 2u);
    com_ptr<IAccessor> acc;
    rs->QueryInterface(IID_IAccessor, acc.out());
    DBBINDING b{};
    b.iOrdinal = 1;
    b.obValue = 0;
    b.dwPart = DBPART_VALUE;
    b.wType = DBTYPE_I4;
    b.cbMaxLen = 4;
    HACCESSOR h = 0;
    ASSERT_EQ(acc->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b, 0, &h, nullptr), S_OK);
    ASSERT_EQ(rs->ReleaseRows(1, handles, nullptr, nullptr, nullptr), S_OK);
    int32_t v = 0;
    EXPECT_EQ(rs->GetData(handles[0], h, &v), DB_E_BADROWHANDLE);
    EXPECT_EQ(rs->GetData(handles[1], h, &v), S_OK);
    EXPECT_EQ(v, 2);
    rs->ReleaseRows(1, handles + 1, nullptr, nullptr, nullptr);
    acc->ReleaseAccessor(h, nullptr);
    acc.p->Release();
    acc.p = nullptr;
    rs.p->Release(); // an open rowset holds its table
    rs.p = nullptr;
    query(s.p, L"DROP TABLE Many");
}

TEST_F(Provider, AResultIsReadWholeBeforeTheNextStatementOfItsBatch)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    query(s.p, L"CREATE TABLE Gone (N int NOT NULL)");
    query(s.p, L"INSERT INTO Gone VALUES (1), (2), (3)");
    // the rows the first statement selected, though the second removes them
    auto rows = query(s.p, L"SELECT N FROM Gone ORDER BY N; DELETE FROM Gone");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][0], L"3");
    EXPECT_TRUE(query(s.p, L"SELECT N FROM Gone").empty());
    query(s.p, L"DROP TABLE Gone");
}

// The same server through its TDS endpoint, reached with the provider's ODBC
// backend (unixODBC and FreeTDS over the loopback address).
class ProviderOverOdbc : public Provider {
protected:
    static void SetUpTestSuite()
    {
        Provider::SetUpTestSuite();
        auto errors = server->run_script(R"(
USE Shop
GO
CREATE TABLE AllTypes (Id int NOT NULL PRIMARY KEY, I int, Bi bigint, Si smallint, Ti tinyint, B bit, D decimal(12,3), N numeric(5,0),
  M money, Sm smallmoney, F float, R real, C char(5), Vc varchar(20), T text, Nc nchar(4), Nv nvarchar(30), Nt ntext,
  Vm varchar(max), Nm nvarchar(max), Bm varbinary(max), Img image, Bn binary(4), Vb varbinary(10), G uniqueidentifier,
  Dt date, Tm time(3), Dtm datetime, D2 datetime2(3), Dto datetimeoffset(3), Sdt smalldatetime, X xml)
GO
INSERT INTO AllTypes VALUES (1, -2147483648, 9223372036854775807, -32768, 255, 1, 123456789.125, 99999, 922337203685477.5807, -214748.3648,
  1.5E300, 3.25, 'ab', 'Grüße', 'long text', N'Käse', N'Ωmega', N'ntext ✓', 'vmax', N'nmax Ω', 0x00FF10, 0xCAFE, 0x01020304, 0x0A0B,
  '6F9619FF-8B86-D011-B42D-00C04FC964FF', '2001-01-31', '10:20:30.123', '2020-02-29 23:59:59.997', '1999-12-31 01:02:03.456',
  '2001-02-03 04:05:06.789 +05:30', '2021-06-01 12:34:00', N'<a b="1">x</a>')
INSERT INTO AllTypes (Id) VALUES (2)
)");
        for (auto& e : errors) ADD_FAILURE() << e.number << ": " << e.what();
        listener = std::make_unique<tds_listener>(server->dir, "127.0.0.1", 0);
        serving = std::thread([] { listener->serve(); });
        over_network = L"127.0.0.1," + std::to_wstring(listener->port());
    }
    static void TearDownTestSuite()
    {
        over_network.clear();
        if (listener) listener->stop();
        if (serving.joinable()) serving.join();
        listener.reset();
        Provider::TearDownTestSuite();
    }
    static std::wstring file_ds() { return L"file:" + std::wstring(server->dir.begin(), server->dir.end()); }

    // The rows of a query through either data source.
    static std::vector<std::vector<cell>> rows_via(const std::wstring& data_source, const std::wstring& sql,
                                                   std::vector<DBCOLUMNINFO>* cols = nullptr, DBLENGTH width = 400)
    {
        std::wstring keep = over_network;
        over_network = data_source;
        com_ptr<IDBInitialize> d;
        EXPECT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
        over_network = keep;
        if (!d.p) return {};
        com_ptr<IOpenRowset> s;
        session(d.p, &s.p);
        com_ptr<IRowset> rs;
        EXPECT_EQ(execute(s.p, sql, &rs.p), S_OK) << odbp_test_narrow(take_error().description);
        if (!rs.p) return {};
        return read(rs.p, width, cols);
    }

    static inline std::unique_ptr<tds_listener> listener;
    static inline std::thread serving;
};

TEST_F(ProviderOverOdbc, LoginFailuresCarryTheServersNumbers)
{
    {
        com_ptr<IDBInitialize> d;
        EXPECT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    }
    {
        com_ptr<IDBInitialize> d;
        EXPECT_EQ(native(&d.p, L"sa", L"wrong", L""), DB_SEC_E_AUTH_FAILED);
        first_error e = take_error();
        EXPECT_EQ(e.native, 18456);
        EXPECT_EQ(e.sqlstate, L"28000");
        EXPECT_EQ(e.description, L"Login failed for user 'sa'.");
    }
    {
        com_ptr<IDBInitialize> d;
        EXPECT_EQ(native(&d.p, L"sa", L"secret", L"NoSuchDb"), E_FAIL);
        EXPECT_EQ(take_error().native, 4060);
    }
}

TEST_F(ProviderOverOdbc, MissingTableCustomQueryAndSeveralResultsAtOnce)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    DBID id{};
    id.eKind = DBKIND_NAME;
    std::wstring n = L"Nope";
    id.uName.pwszName = n.data();
    com_ptr<IRowset> missing;
    EXPECT_EQ(s->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 0, nullptr, missing.unk()), DB_E_NOTABLE);
    first_error e = take_error();
    EXPECT_EQ(e.native, 208);
    EXPECT_EQ(e.description, L"Invalid object name 'Nope'.");

    // a table's rowset stays open while a count and another query run on the session
    n = L"Items";
    id.uName.pwszName = n.data();
    com_ptr<IRowset> items;
    ASSERT_EQ(s->OpenRowset(nullptr, &id, nullptr, IID_IRowset, 0, nullptr, items.unk()), S_OK);
    com_ptr<IRowset> a;
    ASSERT_EQ(execute(s.p, L"SELECT Name, Price FROM Items WHERE Price IS NOT NULL ORDER BY Id", &a.p), S_OK);
    EXPECT_EQ(query(s.p, L"SELECT COUNT(*) FROM Items")[0][0], L"2");
    auto first = read(a.p);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0][0].text, L"Käse");
    EXPECT_EQ(first[0][1].text, L"12.50");
    auto all = read(items.p);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1][1].text, L"Brot");
}

TEST_F(ProviderOverOdbc, EveryColumnTypeArrivesAsThroughTheEmbeddedServer)
{
    std::vector<DBCOLUMNINFO> via_file, via_odbc;
    auto local = rows_via(file_ds(), L"SELECT * FROM AllTypes ORDER BY Id", &via_file);
    auto remote = rows_via(over_network, L"SELECT * FROM AllTypes ORDER BY Id", &via_odbc);
    ASSERT_EQ(local.size(), 2u);
    ASSERT_EQ(remote.size(), local.size());
    ASSERT_EQ(via_odbc.size(), via_file.size());
    for (size_t c = 0; c < via_file.size(); ++c) {
        EXPECT_EQ(via_odbc[c].wType, via_file[c].wType) << "column " << c + 1;
        EXPECT_EQ(via_odbc[c].ulColumnSize, via_file[c].ulColumnSize) << "column " << c + 1;
        EXPECT_EQ(via_odbc[c].bPrecision, via_file[c].bPrecision) << "column " << c + 1;
        EXPECT_EQ(via_odbc[c].bScale, via_file[c].bScale) << "column " << c + 1;
        EXPECT_EQ(via_odbc[c].dwFlags, via_file[c].dwFlags) << "column " << c + 1;
    }
    for (size_t r = 0; r < local.size(); ++r)
        for (size_t c = 0; c < local[r].size(); ++c) {
            EXPECT_EQ(remote[r][c].status, local[r][c].status) << "row " << r + 1 << " column " << c + 1;
            EXPECT_EQ(odbp_test_narrow(remote[r][c].text), odbp_test_narrow(local[r][c].text))
                << "row " << r + 1 << " column " << c + 1;
            EXPECT_EQ(remote[r][c].bytes, local[r][c].bytes) << "row " << r + 1 << " column " << c + 1;
            EXPECT_EQ(remote[r][c].length, local[r][c].length) << "row " << r + 1 << " column " << c + 1;
        }
    EXPECT_EQ(remote[0][1].text, L"-2147483648");

    // an identity column keeps its NOT NULL
    std::vector<DBCOLUMNINFO> id_file, id_odbc;
    rows_via(file_ds(), L"SELECT Id, Name FROM Items", &id_file);
    rows_via(over_network, L"SELECT Id, Name FROM Items", &id_odbc);
    ASSERT_EQ(id_odbc.size(), 2u);
    EXPECT_EQ(id_odbc[0].dwFlags, id_file[0].dwFlags);
    EXPECT_EQ(id_odbc[1].dwFlags, id_file[1].dwFlags);
}

TEST_F(ProviderOverOdbc, ATenMebibyteValue)
{
    const size_t size = 10u << 20;
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131u + 7u) % 251u);
    {
        mssx_connection c(server->dir, server->sa("Shop"));
        ASSERT_TRUE(c.execute("CREATE TABLE Big (Id int NOT NULL, V varbinary(max) NULL)").errors.empty());
        std::vector<std::optional<mssx_value>> row{mssx_value(int64_t(1)), mssx_value(mssx_blob{bytes})};
        c.bulk_insert("[Big]", row, true);
        // After it, values read with the same room for pieces: short, with zero bytes, NULL.
        row = {mssx_value(int64_t(2)), mssx_value(mssx_blob{std::string("\0\x01\0", 3)})};
        c.bulk_insert("[Big]", row, true);
        row = {mssx_value(int64_t(3)), mssx_value()};
        c.bulk_insert("[Big]", row, true);
    }
    auto rows = rows_via(over_network, L"SELECT V FROM Big ORDER BY Id", nullptr, size + 16);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0].length, size);
    EXPECT_TRUE(rows[0][0].bytes == bytes);
    EXPECT_EQ(rows[1][0].length, 3u);
    EXPECT_EQ(rows[1][0].bytes, std::string("\0\x01\0", 3));
    EXPECT_EQ(rows[2][0].status, DBSTATUS_S_ISNULL);
}

TEST_F(ProviderOverOdbc, SqlServerAsATargetWritesThroughTheEndpoint)
{
    com_ptr<IDBInitialize> d;
    ASSERT_EQ(native(&d.p, L"sa", L"secret", L"Shop"), S_OK);
    {
        DBPROP p{};
        p.dwPropertyID = SSPROP_ENABLEFASTLOAD;
        p.colid = DB_NULLID;
        p.vValue.vt = VT_BOOL;
        p.vValue.boolVal = VARIANT_TRUE;
        DBPROPSET set{&p, 1, DBPROPSET_SQLSERVERDATASOURCE};
        com_ptr<IDBProperties> dp;
        d->QueryInterface(IID_IDBProperties, dp.out());
        ASSERT_EQ(dp->SetProperties(1, &set), S_OK);
    }
    com_ptr<IOpenRowset> s;
    session(d.p, &s.p);
    com_ptr<ITableDefinition> td;
    ASSERT_EQ(s->QueryInterface(IID_ITableDefinition, td.out()), S_OK);
    std::wstring c1 = L"k", c2 = L"v", tname = L"Written";
    DBPROP auto_inc{};
    auto_inc.dwPropertyID = DBPROP_COL_AUTOINCREMENT;
    auto_inc.vValue.vt = VT_BOOL;
    auto_inc.vValue.boolVal = VARIANT_TRUE;
    DBPROPSET cs{&auto_inc, 1, DBPROPSET_COLUMN};
    DBCOLUMNDESC descs[2]{};
    descs[0].dbcid.eKind = DBKIND_NAME;
    descs[0].dbcid.uName.pwszName = c1.data();
    descs[0].wType = DBTYPE_I4;
    descs[0].rgPropertySets = &cs;
    descs[0].cPropertySets = 1;
    descs[1].dbcid.eKind = DBKIND_NAME;
    descs[1].dbcid.uName.pwszName = c2.data();
    descs[1].wType = DBTYPE_WSTR;
    descs[1].ulColumnSize = 10;
    DBID tid{};
    tid.eKind = DBKIND_NAME;
    tid.uName.pwszName = tname.data();
    ASSERT_EQ(td->CreateTable(nullptr, &tid, 2, descs, IID_NULL, 0, nullptr, nullptr, nullptr), S_OK)
        << odbp_test_narrow(take_error().description);

    DBPROP keep{};
    keep.dwPropertyID = SSPROP_FASTLOADKEEPIDENTITY;
    keep.colid = DB_NULLID;
    keep.vValue.vt = VT_BOOL;
    keep.vValue.boolVal = VARIANT_TRUE;
    DBPROPSET keep_set{&keep, 1, DBPROPSET_SQLSERVERROWSET};
    com_ptr<IRowsetFastLoad> fl;
    ASSERT_EQ(s->OpenRowset(nullptr, &tid, nullptr, IID_IRowsetFastLoad, 1, &keep_set, fl.unk()), S_OK)
        << odbp_test_narrow(take_error().description);
    com_ptr<IAccessor> acc;
    ASSERT_EQ(fl->QueryInterface(IID_IAccessor, acc.out()), S_OK);
    DBBINDING both[2]{};
    for (int i = 0; i < 2; ++i) {
        both[i].iOrdinal = static_cast<DBORDINAL>(i + 1);
        both[i].obStatus = static_cast<DBBYTEOFFSET>(i * 96);
        both[i].obLength = static_cast<DBBYTEOFFSET>(i * 96 + 8);
        both[i].obValue = static_cast<DBBYTEOFFSET>(i * 96 + 16);
        both[i].dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
        both[i].cbMaxLen = 64;
    }
    both[0].wType = DBTYPE_I4;
    both[1].wType = DBTYPE_WSTR;
    HACCESSOR h = 0;
    ASSERT_EQ(acc->CreateAccessor(DBACCESSOR_ROWDATA, 2, both, 0, &h, nullptr), S_OK);
    const int keys[] = {7, 8, 7};
    const wchar_t* values[] = {L"it's", L"Größe", L"dup"};
    for (int i = 0; i < 3; ++i) {
        BYTE row[192]{};
        DBLENGTH klen = 4, vlen = std::wcslen(values[i]) * sizeof(WCHAR);
        std::memcpy(row + 8, &klen, sizeof klen);
        std::memcpy(row + 16, &keys[i], sizeof keys[i]);
        std::memcpy(row + 96 + 8, &vlen, sizeof vlen);
        std::memcpy(row + 96 + 16, values[i], vlen + sizeof(WCHAR));
        ASSERT_EQ(fl->InsertRow(h, row), S_OK);
    }
    // the second row with key 7 is refused by nobody: the table has no key
    HRESULT committed = fl->Commit(TRUE);
    EXPECT_EQ(committed, S_OK) << odbp_test_narrow(take_error().description);

    // read back through the embedded server itself
    mssx_result r = server->query("Shop", "SELECT k, v FROM Written ORDER BY k, v");
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(mssx_cell(r, 0, 0), "7");
    EXPECT_EQ(mssx_cell(r, 0, 1), "dup");
    EXPECT_EQ(mssx_cell(r, 1, 1), "it's");
    EXPECT_EQ(mssx_cell(r, 2, 0), "8");
    EXPECT_EQ(mssx_cell(r, 2, 1), "Größe");
}
