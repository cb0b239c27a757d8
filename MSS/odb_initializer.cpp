#include "MSS/odb_initializer.h"

#include <vector>

#include "MSS/mss_sql_text.h"
#include "MSS/odb_exception.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

namespace {

// Properties whose VT_BSTR values are freed with the set.
class bstr_props {
public:
    std::vector<DBPROP> props;
    void add(DBPROPID id, const std::wstring& value)
    {
        DBPROP p{};
        p.dwPropertyID = id;
        p.dwOptions = DBPROPOPTIONS_REQUIRED;
        p.colid = DB_NULLID;
        VariantInit(&p.vValue);
        p.vValue.vt = VT_BSTR;
        p.vValue.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        props.push_back(p);
    }
    ~bstr_props()
    {
        for (DBPROP& p : props) VariantClear(&p.vValue);
    }
};

} // namespace

void odb_initializer::test_connection(ole_com_ptr<IDBInitialize>& ds, const std::wstring& server,
                                      const std::wstring& user, const std::wstring& password,
                                      const std::wstring& database)
{
    tk_logger::log(1, L"odb_initializer::test_connection(%s,%s,%s,%s)", server.c_str(), user.c_str(), password.c_str(),
                   database.c_str());
    if (test_native_connection(ds, CLSID_SQLNCLI11, server, user, password, database)) {
        tk_logger::log(1, "CLSID_SQLNCLI11 succeeded");
        native = true;
        return;
    }
    if (test_native_connection(ds, CLSID_SQLNCLI10, server, user, password, database)) {
        tk_logger::log(1, "CLSID_SQLNCLI10 succeeded");
        native = true;
        return;
    }
    if (!test_generic_connection(ds, generic_connection_string(server, user, password, database)))
        throw tk_exception(std::string("Failed to load OLE DB support library. You should install it\r\n"
                                       "to proceed with the application.\r\n"),
                           1);
    native = false;
}

std::wstring odb_initializer::generic_connection_string(const std::wstring& server, const std::wstring& user,
                                                        const std::wstring& password, const std::wstring& database)
{
    std::wstring cs = L"Provider=sqloledb;Data Source=" + conn_string_value(server);
    if (!database.empty()) cs += L";Initial Catalog=" + conn_string_value(database);
    if (!user.empty())
        cs += L";User Id=" + conn_string_value(user) + L";Password=" + conn_string_value(password) + L";";
    else
        cs += L";Integrated Security=SSPI;";
    return cs;
}

bool odb_initializer::test_native_connection(ole_com_ptr<IDBInitialize>& ds, REFCLSID clsid, const std::wstring& server,
                                             const std::wstring& user, const std::wstring& password,
                                             const std::wstring& database)
{
    tk_logger::log(1, "odb_initializer::test_native_connection");
    ds.release();
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDBInitialize, ds.out())) || ds.empty()) {
        ds.release();
        tk_logger::log(1, "CoCreateInstance failed");
        return false;
    }
    tk_logger::log(1, "SQLNCLI1X initialization SUCCEEDED!");
    bstr_props props;
    props.add(DBPROP_INIT_DATASOURCE, server);
    if (user.empty()) {
        props.add(DBPROP_AUTH_INTEGRATED, L"SSPI");
    } else {
        props.add(DBPROP_AUTH_USERID, user);
        props.add(DBPROP_AUTH_PASSWORD, password);
    }
    if (!database.empty()) props.add(DBPROP_INIT_CATALOG, database);
    DBPROPSET set{};
    set.guidPropertySet = DBPROPSET_DBINIT;
    set.cProperties = static_cast<ULONG>(props.props.size());
    set.rgProperties = props.props.data();
    {
        ole_com_ptr<IDBProperties> dbprops;
        odb_check(ds->QueryInterface(IID_IDBProperties, dbprops.out()));
        odb_check(dbprops->SetProperties(1, &set));
    }
    odb_check(ds->Initialize());
    return true;
}

bool odb_initializer::test_generic_connection(ole_com_ptr<IDBInitialize>& ds, const std::wstring& connection_string)
{
    tk_logger::log(1, L"odb_initializer::test_generic_connection(%s)", connection_string.c_str());
    ole_com_ptr<IDataInitialize> init;
    const HRESULT h =
        CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize, init.out());
    if (FAILED(h) || init.empty()) {
        tk_logger::log(2, "Failed to initialize CLSID_MSDAINITIALIZE: %08X", static_cast<unsigned>(h));
        return false;
    }
    ole_com_ptr<IUnknown> unk;
    std::wstring cs = connection_string;
    odb_check(init->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, cs.data(), IID_IUnknown, &unk));
    odb_check(unk->QueryInterface(IID_IDBInitialize, ds.out()));
    odb_check(ds->Initialize());
    return true;
}
