#include "MSS/mss_engine.h"

#include <cwctype>

#include "MSS/mss_database.h"
#include "MSS/mss_no_perm_exception.h"
#include "MSS/mss_split_tab_name.h"
#include "MSS/mss_sql_text.h"
#include "MSS/odb_command.h"
#include "MSS/odb_exception.h"
#include "MSS/odb_recordset.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_compare.h"

namespace {

bool equal_no_case(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

std::wstring first_column_text(udb_record* rec)
{
    if (!rec || rec->empty()) return std::wstring();
    return (*rec)[0].to_wstring();
}

bool starts_with(const std::wstring& s, const wchar_t* prefix) { return s.rfind(prefix, 0) == 0; }

} // namespace

mss_engine::mss_engine(bool com_ready_) : com_ready(com_ready_)
{
    if (!com_ready) CoInitialize(nullptr);
    CoCreateInstance(CLSID_OLEDB_CONVERSIONLIBRARY, nullptr, CLSCTX_ALL, IID_IDataConvert, data_convert.out());
}

mss_engine::~mss_engine() = default;

bool mss_engine::is_initialized() { return tk_singleton<mss_engine>::exists(); }

void mss_engine::set_as_dbo(bool as_dbo)
{
    tk_logger::log(1, "mss_engine::set_as_dbo(%d)", as_dbo ? 1 : 0);
    connect_as_dbo = as_dbo;
}

void mss_engine::connect(const std::wstring& server_, bool want_fast_load)
{
    tk_logger::log(2, L"mss_engine::connect(%s, %d)", server_.c_str(), want_fast_load ? 1 : 0);
    connect_impl(server_, std::wstring(), std::wstring(), true, want_fast_load);
}

void mss_engine::connect(const std::wstring& server_, const std::wstring& user_, const std::wstring& password_,
                         bool want_fast_load)
{
    tk_logger::log(2, L"mss_engine::connect( %s, %s, %s, %d )", server_.c_str(), user_.c_str(), password_.c_str(),
                   want_fast_load ? 1 : 0);
    connect_impl(server_, user_, password_, false, want_fast_load);
}

void mss_engine::connect_impl(const std::wstring& server_, const std::wstring& user_, const std::wstring& password_,
                              bool windows, bool want_fast_load)
{
    tk_logger::log(3, "Connecting to MS SQL server...");
    ole_com_ptr<IDBInitialize> ds;
    initializer.test_connection(ds, server_, user_, password_, std::wstring());

    // Nothing of the new connection is kept unless every step succeeds.
    struct saved_state {
        bool fast_load, windows_auth, connected;
        std::wstring server, user, password;
        int32_t version;
        std::vector<std::wstring> databases;
    } saved{fast_load, windows_auth, connected, server, user, password, version, databases};
    try {
        fast_load = enable_fast_load(ds.get(), want_fast_load);
        server = server_;
        if (!windows) {
            user = user_;
            password = password_;
        } else {
            windows_auth = true;
        }
        connected = true;
        version = get_version(ds.get());
        tk_logger::log(2, "Got MS SQL version: %d", static_cast<int>(version));
        init_db_contents(ds.get());
    } catch (...) {
        fast_load = saved.fast_load;
        windows_auth = saved.windows_auth;
        connected = saved.connected;
        server = saved.server;
        user = saved.user;
        password = saved.password;
        version = saved.version;
        databases = saved.databases;
        throw;
    }
}

bool mss_engine::enable_fast_load(IDBInitialize* ds, bool enable)
{
    tk_logger::log(2, "mss_engine::enable_fast_load(%d)", enable ? 1 : 0);
    DBPROP prop{};
    prop.dwPropertyID = SSPROP_ENABLEFASTLOAD;
    prop.dwOptions = DBPROPOPTIONS_REQUIRED;
    prop.colid = DB_NULLID;
    VariantInit(&prop.vValue);
    prop.vValue.vt = VT_BOOL;
    prop.vValue.boolVal = enable ? VARIANT_TRUE : VARIANT_FALSE;
    DBPROPSET set{};
    set.guidPropertySet = DBPROPSET_SQLSERVERDATASOURCE;
    set.cProperties = 1;
    set.rgProperties = &prop;
    ole_com_ptr<IDBProperties> props;
    odb_check(ds->QueryInterface(IID_IDBProperties, props.out()));
    if (SUCCEEDED(props->SetProperties(1, &set))) {
        fast_load = enable;
        return enable;
    }
    return false;
}

int32_t mss_engine::version_from_text(const std::wstring& text)
{
    static const std::wstring server_prefix = L"Microsoft SQL Server";
    if (text.size() > 30 && starts_with(text, server_prefix.c_str())) {
        std::wstring year = text.substr(server_prefix.size(), 10);
        const size_t b = year.find_first_not_of(L' ');
        const size_t e = year.find_last_not_of(L' ');
        year = b == std::wstring::npos ? std::wstring() : year.substr(b, e - b + 1);
        tk_logger::log(1, L"str_ver_num=%s", year.c_str());
        // Releases after the last one with a code of its own share its code.
        if (year.size() >= 4 && std::iswdigit(year[0]) && std::iswdigit(year[1]) && std::iswdigit(year[2]) &&
            std::iswdigit(year[3]) && std::stoi(year.substr(0, 4)) >= 2017)
            return 13;
        static const struct {
            const wchar_t* prefix;
            int32_t code;
        } table[] = {{L"2017", 13}, {L"2016", 12}, {L"2015", 11}, {L"2014", 10}, {L"2013", 9}, {L"2012", 8},
                     {L"2011", 7},  {L"2010", 6},  {L"2008", 5},  {L"2005", 4},  {L"200", 3},  {L"7.", 2}};
        for (const auto& row : table)
            if (starts_with(year, row.prefix)) return row.code;
        return 1;
    }
    if (text.size() > 19 && starts_with(text, L"Microsoft SQL Azure")) {
        tk_logger::log(2, "Got Microsoft SQL Azure");
        return 100;
    }
    return 1;
}

int32_t mss_engine::get_version(IDBInitialize* ds)
{
    tk_logger::log(2, "mss_engine::get_version(priv)");
    odb_command cmd(ds);
    ole_com_ptr<IRowset> rowset;
    cmd.execute(L"SELECT @@VERSION", &rowset);
    odb_recordset rs(rowset.p);
    rs.reset();
    const std::wstring text = rs.is_eof() ? std::wstring() : first_column_text(rs.get_item());
    tk_logger::log(2, L"MS SQL version string: %s", text.c_str());
    return version_from_text(text);
}

void mss_engine::init_db_contents(IDBInitialize* ds)
{
    tk_logger::log(2, "mss_engine::init_db_contents");
    databases.clear();
    if (version == 100) return;
    ole_com_ptr<IDBCreateSession> cs;
    odb_check(ds->QueryInterface(IID_IDBCreateSession, cs.out()));
    ole_com_ptr<IOpenRowset> session;
    odb_check(cs->CreateSession(nullptr, IID_IOpenRowset, reinterpret_cast<IUnknown**>(session.out())));
    odb_command cmd(session.p);
    ole_com_ptr<IRowset> rowset;
    if (version > 3) {
        cmd.execute(L"SELECT name from master.sys.databases ORDER BY name", &rowset);
    } else {
        try {
            cmd.execute(L"SELECT name from master.sys.sysdatabases ORDER BY name", &rowset);
        } catch (const odb_exception&) {
            tk_logger::log(2, "Try the second approach for MS SQL <= v2000...");
            cmd.execute(L"SELECT name from master.dbo.sysdatabases ORDER BY name", &rowset);
        }
    }
    odb_recordset rs(rowset.p);
    for (rs.reset(); !rs.is_eof(); rs.next()) {
        const std::wstring name = first_column_text(rs.get_item());
        tk_logger::log(1, L"Got database: %s", name.c_str());
        databases.push_back(name);
    }
}

const std::vector<std::wstring>& mss_engine::get_contents()
{
    tk_logger::log(2, "mss_engine::get_contents");
    if (!connected) throw tk_mail_assertion("mss_engi", 282);
    if (version == 100) {
        tk_logger::log(2, "Cannot get list of databases on Azure SQL");
        throw tk_exception(std::string("Azure SQL does not allow to list databases.\r\nEnter database name directly."),
                           1);
    }
    return databases;
}

bool mss_engine::is_db_exist(const std::wstring& name)
{
    tk_logger::log(2, L"mss_engine::is_db_exist(%s)", name.c_str());
    if (!connected) throw tk_mail_assertion("mss_engi", 173);
    if (version != 100) {
        tk_logger::log(1, "Step #1: check via get_contents()");
        try {
            const std::vector<std::wstring> list = databases;
            bool found = false;
            for (const std::wstring& db : list)
                if (equal_no_case(db, name)) {
                    found = true;
                    break;
                }
            if (!found) {
                tk_logger::log(1, L"Database %s has NOT been found", name.c_str());
                return false;
            }
            tk_logger::log(1, L"Database %s has been found", name.c_str());
        } catch (const odb_exception& e) {
            tk_logger::log(1, "ERROR: %s", e.what());
            return false;
        }
    }
    tk_logger::log(1, "Step #2: check via test_connection(...)");
    try {
        ole_com_ptr<IDBInitialize> ds;
        odb_initializer probe;
        probe.test_connection(ds, server, user, password, name);
    } catch (const odb_exception& e) {
        tk_logger::log(3, "%s", e.what());
        // A database whose file cannot be read is not a question of permission.
        if (e.is_storage_failure())
            throw tk_exception(L"The source database '" + name + L"' cannot be read: " + to_unicode(e.what(), -1),
                               TK_LEVEL_STOP);
        throw mss_no_perm_exception(user, name);
    }
    tk_logger::log(2, "mss_engine::is_db_exist -- end");
    return true;
}

mss_database* mss_engine::open_db(const std::wstring& name, uint32_t mode)
{
    tk_logger::log(2, L"mss_engine::open_db(%s)", name.c_str());
    if (!connected) throw tk_mail_assertion("mss_engi", 257);
    ole_com_ptr<IDBInitialize> ds;
    initializer.test_connection(ds, server, user, password, name);
    // The bulk-insert path of a target needs the property on this data source too.
    if (fast_load) enable_fast_load(ds.p, true);
    ole_com_ptr<IDBCreateSession> cs;
    odb_check(ds->QueryInterface(IID_IDBCreateSession, cs.out()));
    ole_com_ptr<IOpenRowset> session;
    odb_check(cs->CreateSession(nullptr, IID_IOpenRowset, reinterpret_cast<IUnknown**>(session.out())));
    tk_logger::log(1, "Connection to the database was establish successfully");
    return new mss_database(name, ds.p, session.p, mode);
}

std::wstring mss_engine::get_safe_tname(const std::wstring& name)
{
    tk_logger::log(1, L"mss_engine::get_safe_tname(%s)", name.c_str());
    std::wstring table, owner, result;
    if (mss_split_tab_name(name, table, owner) && !owner.empty()) {
        tk_logger::log(1, "This is a full canonized table name");
        result = sql_ident(owner) + L"." + sql_ident(table);
    } else {
        std::wstring prefix = L"[dbo].";
        const mss_engine& e = ref();
        if (!e.user.empty() && !e.connect_as_dbo && !equal_no_case(e.user, L"sa")) prefix = sql_ident(e.user) + L".";
        result = prefix + sql_ident(name);
    }
    tk_logger::log(1, L"result=%s", result.c_str());
    return result;
}
