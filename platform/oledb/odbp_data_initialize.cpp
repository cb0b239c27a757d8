// The service component: data sources from "Provider=sqloledb;..." strings.
#include <cwctype>
#include "platform/oledb/odbp_errors.h"
#include "platform/oledb/odbp_object.h"
#include "platform/oledb/odbp_provider.h"
#include "platform/oledb/odbp_text.h"

namespace {

std::wstring trim(const std::wstring& s)
{
    size_t b = 0, e = s.size();
    while (b < e && std::iswspace(s[b])) ++b;
    while (e > b && std::iswspace(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::wstring lower(std::wstring s)
{
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

class data_initialize final : public IDataInitialize, public odbp_object {
public:
    ODBP_IUNKNOWN_METHODS
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDataInitialize) return give(static_cast<IDataInitialize*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetDataSource(IUnknown* outer, DWORD, LPCOLESTR init, REFIID riid, IUnknown** pp) override
    {
        odbp_clear_error();
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (outer) return DB_E_NOAGGREGATION;
        odbp_settings s;
        if (!init || !odbp_parse_connection_string(init, s))
            return odbp_fail(REGDB_E_CLASSNOTREG, L"The provider named in the connection string is not registered.",
                             kOdbpGenericSource);
        IUnknown* ds = nullptr;
        HRESULT hr = odbp_create_data_source(true, IID_IDBProperties, reinterpret_cast<void**>(&ds));
        if (FAILED(hr)) return hr;
        auto* props = static_cast<IDBProperties*>(ds);
        DBPROP p[5];
        ULONG n = 0;
        auto add = [&](DBPROPID id, const std::wstring& v) {
            p[n].dwPropertyID = id;
            p[n].dwOptions = DBPROPOPTIONS_REQUIRED;
            p[n].dwStatus = 0;
            p[n].colid = DB_NULLID;
            VariantInit(&p[n].vValue);
            p[n].vValue.vt = VT_BSTR;
            p[n].vValue.bstrVal = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
            ++n;
        };
        add(DBPROP_INIT_DATASOURCE, s.data_source);
        if (s.integrated)
            add(DBPROP_AUTH_INTEGRATED, L"SSPI");
        else {
            add(DBPROP_AUTH_USERID, s.user);
            add(DBPROP_AUTH_PASSWORD, s.password);
        }
        if (!s.catalog.empty()) add(DBPROP_INIT_CATALOG, s.catalog);
        DBPROPSET set{p, n, DBPROPSET_DBINIT};
        hr = props->SetProperties(1, &set);
        for (ULONG i = 0; i < n; ++i) VariantClear(&p[i].vValue);
        if (SUCCEEDED(hr)) hr = ds->QueryInterface(riid, reinterpret_cast<void**>(pp));
        ds->Release();
        return hr;
    }
};

} // namespace

bool odbp_parse_connection_string(const std::wstring& text, odbp_settings& s)
{
    bool ours = false;
    size_t i = 0;
    while (i < text.size()) {
        size_t eq = text.find(L'=', i);
        if (eq == std::wstring::npos) break;
        std::wstring key = lower(trim(text.substr(i, eq - i)));
        size_t v = eq + 1;
        while (v < text.size() && std::iswspace(text[v])) ++v;
        std::wstring value;
        if (v < text.size() && (text[v] == L'"' || text[v] == L'\'')) {
            wchar_t q = text[v++];
            while (v < text.size()) {
                if (text[v] == q) {
                    if (v + 1 < text.size() && text[v + 1] == q) {
                        value += q;
                        v += 2;
                        continue;
                    }
                    ++v;
                    break;
                }
                value += text[v++];
            }
            size_t semi = text.find(L';', v);
            i = semi == std::wstring::npos ? text.size() : semi + 1;
        } else {
            size_t semi = text.find(L';', v);
            value = trim(text.substr(v, semi == std::wstring::npos ? std::wstring::npos : semi - v));
            i = semi == std::wstring::npos ? text.size() : semi + 1;
        }
        if (key == L"provider") {
            std::wstring p = lower(value);
            ours = p == L"sqloledb" || p.rfind(L"sqloledb.", 0) == 0 || p.rfind(L"sqlncli", 0) == 0;
        } else if (key == L"data source" || key == L"server" || key == L"address")
            s.data_source = value;
        else if (key == L"initial catalog" || key == L"database")
            s.catalog = value;
        else if (key == L"user id" || key == L"uid")
            s.user = value;
        else if (key == L"password" || key == L"pwd")
            s.password = value;
        else if (key == L"integrated security" || key == L"trusted_connection") {
            std::wstring l = lower(value);
            s.integrated = l == L"sspi" || l == L"true" || l == L"yes";
        }
    }
    s.generic = true;
    return ours;
}

HRESULT odbp_create_data_initialize(REFIID riid, void** ppv)
{
    auto* d = new data_initialize();
    HRESULT hr = d->QueryInterface(riid, ppv);
    d->Release();
    return hr;
}
