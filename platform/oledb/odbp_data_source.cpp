// The data source object: DBINIT properties, the fast-load property, Initialize.
#include "platform/oledb/odbp_errors.h"
#include "platform/oledb/odbp_object.h"
#include "platform/oledb/odbp_provider.h"
#include "platform/oledb/odbp_text.h"

std::shared_ptr<odbp_backend> odbp_connect(const odbp_settings& s)
{
    odbp_login login;
    login.data_source = odbp_narrow(s.data_source);
    login.integrated = s.integrated;
    login.user = odbp_narrow(s.user);
    login.password = odbp_narrow(s.password);
    login.catalog = odbp_narrow(s.catalog);
    return odbp_open_backend(login);
}

namespace {

class data_source final : public IDBInitialize, public IDBProperties, public IDBCreateSession, public odbp_object {
public:
    explicit data_source(bool generic) { s_.generic = generic; }
    ODBP_IUNKNOWN_METHODS
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDBInitialize) return give(static_cast<IDBInitialize*>(this), ppv);
        if (riid == IID_IDBProperties) return give(static_cast<IDBProperties*>(this), ppv);
        if (riid == IID_IDBCreateSession) return give(static_cast<IDBCreateSession*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT Initialize() override
    {
        odbp_clear_error();
        if (initialized_) return DB_E_ALREADYINITIALIZED;
        try {
            odbp_connect(s_);
        } catch (const mssx_error& e) {
            return odbp_fail(e, true, source());
        }
        initialized_ = true;
        return S_OK;
    }
    HRESULT Uninitialize() override
    {
        odbp_clear_error();
        initialized_ = false;
        return S_OK;
    }

    HRESULT GetProperties(ULONG, const DBPROPIDSET[], ULONG* pc, DBPROPSET** ps) override
    {
        odbp_clear_error();
        if (!pc || !ps) return E_INVALIDARG;
        // one set: DBINIT with the data source, user and catalog
        *pc = 1;
        *ps = static_cast<DBPROPSET*>(CoTaskMemAlloc(sizeof(DBPROPSET)));
        DBPROP* props = static_cast<DBPROP*>(CoTaskMemAlloc(sizeof(DBPROP) * 3));
        const std::pair<DBPROPID, const std::wstring*> items[] = {{DBPROP_INIT_DATASOURCE, &s_.data_source},
                                                                  {DBPROP_AUTH_USERID, &s_.user},
                                                                  {DBPROP_INIT_CATALOG, &s_.catalog}};
        for (int i = 0; i < 3; ++i) {
            DBPROP& p = props[i];
            p.dwPropertyID = items[i].first;
            p.dwOptions = DBPROPOPTIONS_REQUIRED;
            p.dwStatus = DBPROPSTATUS_OK;
            p.colid = DB_NULLID;
            VariantInit(&p.vValue);
            p.vValue.vt = VT_BSTR;
            p.vValue.bstrVal = SysAllocStringLen(items[i].second->data(), static_cast<UINT>(items[i].second->size()));
        }
        (*ps)->rgProperties = props;
        (*ps)->cProperties = 3;
        (*ps)->guidPropertySet = DBPROPSET_DBINIT;
        return S_OK;
    }

    HRESULT SetProperties(ULONG n, DBPROPSET sets[]) override
    {
        odbp_clear_error();
        if (n && !sets) return E_INVALIDARG;
        ULONG total = 0, failed = 0;
        for (ULONG i = 0; i < n; ++i) {
            for (ULONG k = 0; k < sets[i].cProperties; ++k) {
                DBPROP& p = sets[i].rgProperties[k];
                ++total;
                p.dwStatus = set_one(sets[i].guidPropertySet, p);
                if (p.dwStatus != DBPROPSTATUS_OK) ++failed;
            }
        }
        if (failed == 0) return S_OK;
        if (failed == total)
            return odbp_fail(DB_E_ERRORSOCCURRED,
                             L"Multiple-step OLE DB operation generated errors. Check each OLE DB status value, if "
                             L"available. No work was done.",
                             source());
        return DB_S_ERRORSOCCURRED;
    }

    HRESULT CreateSession(IUnknown* outer, REFIID riid, IUnknown** pp) override
    {
        odbp_clear_error();
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (outer) return DB_E_NOAGGREGATION;
        if (!initialized_) return odbp_fail(E_UNEXPECTED, L"The data source object is not initialized.", source());
        try {
            return odbp_create_session(odbp_connect(s_), s_, riid, pp);
        } catch (const mssx_error& e) {
            return odbp_fail(e, true, source());
        }
    }

private:
    std::wstring source() const { return s_.generic ? kOdbpGenericSource : kOdbpNativeSource; }

    DBPROPSTATUS set_one(const GUID& set, const DBPROP& p)
    {
        auto text = [&](std::wstring& out) {
            if (p.vValue.vt == VT_EMPTY) {
                out.clear();
                return DBPROPSTATUS_OK;
            }
            if (p.vValue.vt != VT_BSTR) return DBPROPSTATUS_BADVALUE;
            out = p.vValue.bstrVal ? p.vValue.bstrVal : L"";
            return DBPROPSTATUS_OK;
        };
        if (set == DBPROPSET_DBINIT) {
            if (initialized_) return DBPROPSTATUS_NOTSETTABLE;
            switch (p.dwPropertyID) {
            case DBPROP_INIT_DATASOURCE:
                return text(s_.data_source);
            case DBPROP_AUTH_USERID:
                return text(s_.user);
            case DBPROP_AUTH_PASSWORD:
                return text(s_.password);
            case DBPROP_INIT_CATALOG:
                return text(s_.catalog);
            case DBPROP_AUTH_INTEGRATED: {
                std::wstring v;
                DBPROPSTATUS st = text(v);
                s_.integrated = !v.empty();
                return st;
            }
            default:
                return DBPROPSTATUS_OK; // timeouts, prompts and the like are not needed here
            }
        }
        if (set == DBPROPSET_SQLSERVERDATASOURCE && p.dwPropertyID == SSPROP_ENABLEFASTLOAD && !s_.generic) {
            if (p.vValue.vt != VT_BOOL) return DBPROPSTATUS_BADVALUE;
            s_.fast_load = p.vValue.boolVal != VARIANT_FALSE;
            return DBPROPSTATUS_OK;
        }
        return DBPROPSTATUS_NOTSUPPORTED;
    }

    odbp_settings s_;
    bool initialized_ = false;
};

} // namespace

HRESULT odbp_create_data_source(bool generic, REFIID riid, void** ppv)
{
    auto* d = new data_source(generic);
    HRESULT hr = d->QueryInterface(riid, ppv);
    d->Release();
    return hr;
}
