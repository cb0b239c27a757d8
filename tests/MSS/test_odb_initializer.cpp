#include "MSS/odb_exception.h"
#include "MSS/odb_initializer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

struct provider_log {
    int created = 0;
    std::vector<std::pair<DBPROPID, std::wstring>> props;
    std::wstring connection_string;
    HRESULT initialize_result = S_OK;
};

// A data source that records the DBINIT properties it is given.
class fake_source : public IDBInitialize, public IDBProperties {
public:
    explicit fake_source(provider_log* log) : log_(log) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IDBInitialize || riid == IID_IUnknown)
            *ppv = static_cast<IDBInitialize*>(this);
        else if (riid == IID_IDBProperties)
            *ppv = static_cast<IDBProperties*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ++refs_;
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT Initialize() override { return log_->initialize_result; }
    HRESULT Uninitialize() override { return S_OK; }
    HRESULT GetProperties(ULONG, const DBPROPIDSET[], ULONG*, DBPROPSET**) override { return E_NOTIMPL; }
    HRESULT SetProperties(ULONG n, DBPROPSET sets[]) override
    {
        for (ULONG s = 0; s < n; ++s) {
            if (!(sets[s].guidPropertySet == DBPROPSET_DBINIT)) return DB_E_ERRORSOCCURRED;
            for (ULONG i = 0; i < sets[s].cProperties; ++i)
                log_->props.emplace_back(sets[s].rgProperties[i].dwPropertyID, sets[s].rgProperties[i].vValue.bstrVal);
        }
        return S_OK;
    }

protected:
    ~fake_source() override = default;

private:
    provider_log* log_;
    ULONG refs_ = 1;
};

class fake_service : public IDataInitialize {
public:
    explicit fake_service(provider_log* log) : log_(log) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IDataInitialize || riid == IID_IUnknown) {
            *ppv = this;
            ++refs_;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetDataSource(IUnknown*, DWORD, LPCOLESTR cs, REFIID, IUnknown** out) override
    {
        log_->connection_string = cs;
        *out = static_cast<IDBInitialize*>(new fake_source(log_));
        return S_OK;
    }

protected:
    ~fake_service() override = default;

private:
    provider_log* log_;
    ULONG refs_ = 1;
};

tvx_class_factory source_factory(provider_log* log)
{
    return [log](REFIID riid, void** ppv) {
        ++log->created;
        auto* s = new fake_source(log);
        const HRESULT h = s->QueryInterface(riid, ppv);
        s->Release();
        return h;
    };
}

class OdbInitializer : public ::testing::Test {
protected:
    void SetUp() override
    {
        tvx_com_unregister_class(CLSID_SQLNCLI11);
        tvx_com_unregister_class(CLSID_SQLNCLI10);
        tvx_com_unregister_class(CLSID_MSDAINITIALIZE);
    }
    void TearDown() override
    {
        tvx_com_unregister_class(CLSID_SQLNCLI11);
        tvx_com_unregister_class(CLSID_SQLNCLI10);
        tvx_com_unregister_class(CLSID_MSDAINITIALIZE);
        tvx_register_platform_classes();
    }
    provider_log p11, p10, generic;
};

} // namespace

TEST_F(OdbInitializer, NativeProviderGetsTheDbinitPropertiesInOrder)
{
    tvx_com_register_class(CLSID_SQLNCLI11, source_factory(&p11));
    odb_initializer init;
    ole_com_ptr<IDBInitialize> ds;
    init.test_connection(ds, L"srv", L"bob", L"pw", L"Northwind");
    EXPECT_TRUE(init.native);
    EXPECT_FALSE(ds.empty());
    using P = std::pair<DBPROPID, std::wstring>;
    EXPECT_EQ(p11.props, (std::vector<P>{{DBPROP_INIT_DATASOURCE, L"srv"},
                                         {DBPROP_AUTH_USERID, L"bob"},
                                         {DBPROP_AUTH_PASSWORD, L"pw"},
                                         {DBPROP_INIT_CATALOG, L"Northwind"}}));
    p11.props.clear();
    init.test_connection(ds, L"srv", L"", L"", L"");
    EXPECT_EQ(p11.props, (std::vector<P>{{DBPROP_INIT_DATASOURCE, L"srv"}, {DBPROP_AUTH_INTEGRATED, L"SSPI"}}));
}

TEST_F(OdbInitializer, FallsBackOnlyWhenAProviderIsMissing)
{
    tvx_com_register_class(CLSID_SQLNCLI10, source_factory(&p10));
    odb_initializer init;
    ole_com_ptr<IDBInitialize> ds;
    init.test_connection(ds, L"srv", L"bob", L"pw", L"");
    EXPECT_TRUE(init.native);
    EXPECT_EQ(p10.created, 1);

    // An installed provider that refuses the login is final.
    tvx_com_register_class(CLSID_SQLNCLI11, source_factory(&p11));
    p11.initialize_result = DB_SEC_E_AUTH_FAILED;
    EXPECT_THROW(init.test_connection(ds, L"srv", L"bob", L"bad", L""), odb_exception);
    EXPECT_EQ(p11.created, 1);
    EXPECT_EQ(p10.created, 1);
}

TEST_F(OdbInitializer, GenericProviderGetsAConnectionString)
{
    tvx_com_register_class(CLSID_MSDAINITIALIZE, [this](REFIID riid, void** ppv) {
        auto* s = new fake_service(&generic);
        const HRESULT h = s->QueryInterface(riid, ppv);
        s->Release();
        return h;
    });
    odb_initializer init;
    init.native = true;
    ole_com_ptr<IDBInitialize> ds;
    init.test_connection(ds, L"srv", L"bob", L"pw", L"db");
    EXPECT_FALSE(init.native);
    EXPECT_EQ(generic.connection_string,
              L"Provider=sqloledb;Data Source=srv;Initial Catalog=db;User Id=bob;Password=pw;");
    init.test_connection(ds, L"srv", L"", L"", L"");
    EXPECT_EQ(generic.connection_string, L"Provider=sqloledb;Data Source=srv;Integrated Security=SSPI;");
    init.test_connection(ds, L"srv", L"bob", L"p;w=\"x\"", L"");
    EXPECT_EQ(generic.connection_string, L"Provider=sqloledb;Data Source=srv;User Id=bob;Password=\"p;w=\"\"x\"\"\";");
}

TEST_F(OdbInitializer, NoProviderAtAll)
{
    odb_initializer init;
    ole_com_ptr<IDBInitialize> ds;
    try {
        init.test_connection(ds, L"srv", L"", L"", L"");
        FAIL();
    } catch (const odb_exception&) {
        FAIL() << "wrong type";
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level, 1);
        EXPECT_STREQ(e.what(),
                     "Failed to load OLE DB support library. You should install it\r\nto proceed with the "
                     "application.\r\n");
    }
}
