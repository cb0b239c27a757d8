#include "ORA/ora_engine.h"
#include <cwchar>
#include <cwctype>
#include <vector>
#include "ORA/ora_database.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_query_results.h"
#include "ORA/ora_stmt.h"
#include "ORA/ora_text.h"
#include "ORA/ora_util.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"

namespace {

const char* const client_missing_text =
    "The Oracle client and networking components were not found.\n"
    "These components are supplied by the Oracle Corporation and\n"
    "are part of the Oracle Version 7.3.4 (or later) client\n"
    "software installation. You will be unable to use this program\n"
    "until these components have been installed.";

std::wstring upper(const std::wstring& s)
{
    std::wstring r = s;
    for (auto& c : r) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return r;
}

} // namespace

ora_engine& ora_eng() { return tk_singleton<ora_engine>::ref(); }

ora_engine::ora_engine()
{
    tk_logger::log(1, "ora_engine::ctor");
    initialize();
}

ora_engine::~ora_engine()
{
    tk_logger::log(1, "ora_engine::dtor");
    clean();
}

void ora_engine::initialize()
{
    tk_logger::log(1, "ora_engine::initialize");
    if (!oci_client_present()) throw tk_exception(std::string(client_missing_text), 1);
    sword st =
        OCIEnvNlsCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr, OCI_UTF16ID, OCI_UTF16ID);
    if (st != OCI_SUCCESS || !env) throw tk_exception(std::string(client_missing_text), 1);

    void* h = nullptr;
    void* usrmem = nullptr;
    check_err(OCIHandleAlloc(env, &h, OCI_HTYPE_ERROR, 52, &usrmem));
    err = static_cast<OCIError*>(h);
    check_err(OCIHandleAlloc(env, &h, OCI_HTYPE_SERVER, 52, &usrmem));
    srv = static_cast<OCIServer*>(h);
    check_err(OCIHandleAlloc(env, &h, OCI_HTYPE_SESSION, 0, nullptr));
    ses = static_cast<OCISession*>(h);
    check_err(OCIHandleAlloc(env, &h, OCI_HTYPE_SVCCTX, 0, nullptr));
    svc = static_cast<OCISvcCtx*>(h);
}

std::wstring ora_engine::make_data_source(const std::wstring& host, const std::wstring& port,
                                          const std::wstring& service)
{
    if (host.empty() && port.empty()) return service;
    return L"//" + (host.empty() ? std::wstring(L"localhost") : host) + L":" +
           (port.empty() ? std::wstring(L"1521") : port) + L"/" + service;
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::wstring& host, const std::wstring& user_name,
                                                  const std::wstring& pwd, const std::wstring& port,
                                                  const std::wstring& service)
{
    tk_logger::log(1, L"ora_engine::open_db (%s,%s,%s,%s,%s)", host.c_str(), user_name.c_str(), pwd.c_str(),
                   port.c_str(), service.c_str());
    return open_db(make_data_source(host, port, service), user_name, pwd);
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::wstring& ds, const std::wstring& user_name,
                                                  const std::wstring& pwd)
{
    tk_logger::log(1, L"ora_engine::open_db( %s, %s, %s )", ds.c_str(), user_name.c_str(), pwd.c_str());
    tk_logger::log(3, L"Connecting to Oracle data source '%s'", ds.c_str());
    if (b_attached) {
        // A session left open would stay on the server after the detach.
        if (b_session) {
            OCISessionEnd(svc, err, ses, OCI_DEFAULT);
            b_session = false;
        }
        OCIServerDetach(srv, err, OCI_DEFAULT);
        b_attached = false;
    }
    const std::u16string u_ds = ora_to_u16(ds);
    // Only the embedded Oracle is always there; any other host needs the
    // client library, and its absence reads as the missing client it is.
    std::string why;
    if (!oci_client_serves(u_ds, why))
        throw tk_exception(std::string(client_missing_text) + (why.empty() ? "" : "\n\n" + why), 1);
    check_err(OCIServerAttach(srv, err, ora_oci_text(u_ds), static_cast<sb4>(u_ds.size() * 2), OCI_DEFAULT));
    b_attached = true;
    check_err(OCIAttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err));
    const std::u16string u_user = ora_to_u16(user_name);
    const std::u16string u_pwd = ora_to_u16(pwd);
    check_err(OCIAttrSet(ses, OCI_HTYPE_SESSION, ora_oci_text(u_user), static_cast<ub4>(u_user.size() * 2),
                         OCI_ATTR_USERNAME, err));
    check_err(OCIAttrSet(ses, OCI_HTYPE_SESSION, ora_oci_text(u_pwd), static_cast<ub4>(u_pwd.size() * 2),
                         OCI_ATTR_PASSWORD, err));
    check_err(OCISessionBegin(svc, err, ses, OCI_CRED_RDBMS, OCI_DEFAULT));
    b_session = true;
    tk_logger::log(1, "The connection has been established");
    check_err(OCIAttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err));
    data_source = ds;
    user = user_name;
    password = pwd;
    read_national_charset();
    return std::make_unique<ora_database>(ds, 1);
}

void ora_engine::read_national_charset()
{
    national_char_bytes = k_al16utf16_bytes;
    try {
        ora_query_results rs(1,
                             L"SELECT VALUE FROM NLS_DATABASE_PARAMETERS WHERE PARAMETER = 'NLS_NCHAR_CHARACTERSET'");
        while (!rs.is_eof()) {
            udb_record* rec = rs.get_item();
            if (!rec || rec->empty()) continue;
            const std::wstring name = rec->at(0).to_wstring();
            tk_logger::log(2, L"National character set: %s", name.c_str());
            if (name == L"UTF8") national_char_bytes = k_utf8_bytes;
        }
    } catch (const ora_exception& e) {
        tk_logger::log(2, "National character set not read, AL16UTF16 assumed: %s", e.what());
    }
}

void ora_engine::check_err(sword status)
{
    tk_logger::log(1, "ora_engine::check_err(status=%08X)", static_cast<unsigned>(status));
    if (status == OCI_ERROR) {
        tk_logger::log(1, "status == OCI_ERROR");
        sb4 code = 0;
        std::vector<char16_t> buf(256, 0);
        OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(buf.data()), 512, OCI_HTYPE_ERROR);
        buf.back() = 0;
        const std::wstring text = ora_from_u16(buf.data(), ora_u16_len(buf.data(), buf.size()));
        throw ora_exception(code, to_utf8(text));
    }
    if (status == OCI_INVALID_HANDLE) {
        tk_logger::log(1, "ERROR: Invalid handle");
        // Going on would read outputs the call never set.
        throw ora_exception(0, "OCI: invalid handle");
    }
}

void ora_engine::clean()
{
    tk_logger::log(1, "ora_engine::clean");
    if (b_session) OCISessionEnd(svc, err, ses, OCI_DEFAULT);
    if (b_attached) OCIServerDetach(srv, err, OCI_DEFAULT);
    b_session = b_attached = false;
    if (srv) OCIHandleFree(srv, OCI_HTYPE_SERVER);
    if (svc) OCIHandleFree(svc, OCI_HTYPE_SVCCTX);
    if (err) OCIHandleFree(err, OCI_HTYPE_ERROR);
    if (ses) OCIHandleFree(ses, OCI_HTYPE_SESSION);
    if (env) OCIHandleFree(env, OCI_HTYPE_ENV);
    srv = nullptr;
    svc = nullptr;
    err = nullptr;
    ses = nullptr;
    env = nullptr;
}

uint32_t ora_engine::get_version()
{
    tk_logger::log(1, "ora_engine::get_version");
    if (!svc || !b_session) throw tk_mail_assertion("ora_engi", 194);
    ora_stmt st;
    check_err(st.prepare(L"select * from v$version"));
    std::vector<char16_t> buf(128 * 1024 / sizeof(char16_t), 0);
    OCIDefine* def = nullptr;
    sb2 ind = 0;
    check_err(OCIDefineByPos(st.get(), &def, err, 1, buf.data(), static_cast<sb4>(buf.size() * 2), SQLT_STR, &ind,
                             nullptr, nullptr, OCI_DEFAULT));
    sword rc = OCIStmtExecute(svc, st.get(), err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    if (rc == OCI_NO_DATA) throw tk_mail_assertion("ora_engi", 211);
    check_err(rc);
    buf.back() = 0;
    const std::wstring banner = ora_from_u16(buf.data(), ora_u16_len(buf.data(), buf.size()));
    tk_logger::log(1, L"Got versioned string:\n%s", banner.c_str());
    size_t pos = 0;
    while (pos < banner.size()) {
        size_t end = banner.find(L' ', pos);
        if (end == std::wstring::npos) end = banner.size();
        const std::wstring piece = banner.substr(pos, end - pos);
        pos = end + 1;
        if (piece.empty() || !std::iswdigit(static_cast<wint_t>(piece[0]))) continue;
        int major = 0, minor = 0, patch = 0;
        if (std::swscanf(piece.c_str(), L"%d.%d.%d", &major, &minor, &patch) == 3) {
            tk_logger::log(1, "Got Oracle version: %d,%d,%d", major, minor, patch);
            return static_cast<uint32_t>(major) << 16 | static_cast<uint32_t>(minor) << 8 |
                   static_cast<uint32_t>(patch);
        }
    }
    return 0;
}

uint32_t ora_engine::get_records_cnt(const std::wstring& text, bool is_query)
{
    tk_logger::log(1, L"ora_engine::get_records_cnt(%s)", text.c_str());
    if (!svc || !b_session) throw tk_mail_assertion("ora_engi", 452);
    const std::wstring sql =
        is_query ? L"SELECT COUNT(*) FROM (" + text + L")" : L"SELECT COUNT(*) FROM " + get_safe_name(text);
    ora_stmt st;
    check_err(st.prepare(sql));
    // An 8-byte define: counts beyond 2^31 do not wrap.
    int64_t cnt = 0;
    OCIDefine* def = nullptr;
    sb2 ind = 0;
    check_err(OCIDefineByPos(st.get(), &def, err, 1, &cnt, sizeof cnt, SQLT_INT, &ind, nullptr, nullptr, OCI_DEFAULT));
    sword rc = OCIStmtExecute(svc, st.get(), err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    if (rc == OCI_NO_DATA) throw tk_mail_assertion("ora_engi", 474);
    check_err(rc);
    return cnt > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<uint32_t>(cnt);
}

std::wstring ora_engine::get_safe_name(const std::wstring& name)
{
    tk_logger::log(1, L"ora_engine::get_safe_name(%s)", name.c_str());
    if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"') return name;
    std::wstring r = name;
    if (!ora_eng().b_owned_by_user) {
        size_t dot = r.find(L'.');
        if (dot != std::wstring::npos) r.replace(dot, 1, L"\".\"");
    }
    return L"\"" + r + L"\"";
}

std::wstring ora_engine::quote_literal_text(const std::wstring& text)
{
    std::wstring r;
    r.reserve(text.size());
    for (wchar_t c : text) {
        r.push_back(c);
        if (c == L'\'') r.push_back(L'\'');
    }
    return r;
}

std::wstring ora_engine::get_col_view_name() const
{
    return b_owned_by_user ? L"USER_TAB_COLUMNS" : L"ALL_TAB_COLUMNS";
}

std::pair<std::wstring, std::wstring> ora_engine::get_owner_and_table(const std::wstring& name) const
{
    auto parts = ora_split_name(name);
    if (parts.first.empty()) parts.first = get_schema_name();
    return parts;
}

std::wstring ora_engine::get_table_cond(const std::wstring& name, const std::wstring& owner_column,
                                        const std::wstring& table_column) const
{
    if (b_owned_by_user) return table_column + L" = '" + quote_literal_text(ora_simplify_name(name)) + L"'";
    const auto parts = get_owner_and_table(name);
    return owner_column + L" = '" + quote_literal_text(parts.first) + L"' AND " + table_column + L" = '" +
           quote_literal_text(parts.second) + L"'";
}

bool ora_engine::is_supported_type(const std::wstring& type_name) const
{
    tk_logger::log(1, L"ora_engine::is_supported_type(%s)", type_name.c_str());
    std::wstring pure = type_name;
    size_t br = pure.find(L'(');
    if (br != std::wstring::npos) {
        pure = pure.substr(0, br);
        tk_logger::log(1, L"Pure type='%s'", pure.c_str());
    }
    return get_ora_supported_types().count(pure) != 0;
}

const ora_engine::type_map& ora_engine::get_ora_supported_types()
{
    // LONG is SQLT_LNG, the TIMESTAMP kinds SQLT_TIMESTAMP and the ROWIDs text, so that a
    // column mapped to them reads as text and dates.
    static const type_map types = {
        {L"VARCHAR", 9},       {L"VARCHAR2", 9},    {L"NVARCHAR2", 9},      {L"NUMBER", 2},
        {L"FLOAT", 2},         {L"LONG", 8},        {L"DATE", 184},         {L"BINARY_FLOAT", 2},
        {L"BINARY_DOUBLE", 2}, {L"TIMESTAMP", 187}, {L"TIMESTAMP(3)", 187}, {L"TIMESTAMP(6)", 187},
        {L"RAW", 23},          {L"LONG RAW", 113},  {L"ROWID", 104},        {L"UROWID", 104},
        {L"CHAR", 1},          {L"BYTE", 23},       {L"NCHAR", 9},          {L"CLOB", 112},
        {L"NCLOB", 112},       {L"BLOB", 113},      {L"BFILE", 113},        {L"XMLTYPE", 9},
    };
    return types;
}

std::wstring ora_engine::get_schema_name() const
{
    if (user.size() >= 2 && user.front() == L'"' && user.back() == L'"') return user.substr(1, user.size() - 2);
    return upper(user);
}
