#include <gtest/gtest.h>
#include <cstring>
#include <thread>
#include "platform/com/com.h"
#include "platform/oleaut/oleauto.h"
#include "platform/oledb/oledb.h"

namespace {

constexpr CLSID kTestClass = tvx_guid("11111111-2222-3333-4444-555555555555");

class counted final : public IErrorInfo {
public:
    static inline int alive = 0;
    counted() { ++alive; }
    ~counted() override { --alive; }
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IErrorInfo) {
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
    HRESULT GetGUID(GUID*) override { return E_NOTIMPL; }
    HRESULT GetSource(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetDescription(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetHelpFile(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetHelpContext(DWORD*) override { return E_NOTIMPL; }
    ULONG refs = 1;
};

} // namespace

TEST(ComGuid, ParsesRegistryTextAtCompileTime)
{
    constexpr GUID g = tvx_guid("28EFAEE4-2D2C-11D1-9807-00C04FC2AD98");
    static_assert(g.Data1 == 0x28EFAEE4 && g.Data2 == 0x2D2C && g.Data3 == 0x11D1);
    EXPECT_EQ(g.Data4[0], 0x98);
    EXPECT_EQ(g.Data4[7], 0x98);
    EXPECT_EQ(g, DBPROPSET_SQLSERVERDATASOURCE);
    EXPECT_FALSE(g == IID_NULL);
}

TEST(ComInit, CountsPerThread)
{
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    HRESULT other = E_FAIL;
    std::thread([&] {
        other = CoInitialize(nullptr);
        CoUninitialize();
    }).join();
    EXPECT_EQ(other, S_OK);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
}

TEST(ComRegistry, CreatesRegisteredClassesAndRefusesOthers)
{
    tvx_com_register_class(kTestClass, [](REFIID riid, void** ppv) {
        auto* o = new counted();
        HRESULT hr = o->QueryInterface(riid, ppv);
        o->Release();
        return hr;
    });
    IErrorInfo* p = nullptr;
    ASSERT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_INPROC_SERVER, IID_IErrorInfo, reinterpret_cast<void**>(&p)),
              S_OK);
    EXPECT_EQ(counted::alive, 1);
    EXPECT_EQ(p->Release(), 0u);
    EXPECT_EQ(counted::alive, 0);

    void* q = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IDBInitialize, &q), E_NOINTERFACE);
    EXPECT_EQ(q, nullptr);
    counted outer;
    EXPECT_EQ(CoCreateInstance(kTestClass, &outer, CLSCTX_ALL, IID_IUnknown, &q), CLASS_E_NOAGGREGATION);
    EXPECT_TRUE(tvx_com_unregister_class(kTestClass));
    EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IUnknown, &q), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(counted::alive, 1); // only `outer`
}

TEST(ComRegistry, PlatformClassesArePresent)
{
    EXPECT_TRUE(tvx_com_is_registered(CLSID_OLEDB_CONVERSIONLIBRARY));
    IDataConvert* dc = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_OLEDB_CONVERSIONLIBRARY, nullptr, CLSCTX_ALL, IID_IDataConvert,
                               reinterpret_cast<void**>(&dc)),
              S_OK);
    double d = -12.345;
    DB_NUMERIC n{};
    DBSTATUS st = 99;
    DBLENGTH len = 0;
    ASSERT_EQ(dc->DataConvert(DBTYPE_R8, DBTYPE_NUMERIC, 8, &len, &d, &n, sizeof n, DBSTATUS_S_OK, &st, 10, 2, 0),
              S_OK);
    EXPECT_EQ(st, DBSTATUS_S_OK);
    EXPECT_EQ(n.sign, 0);
    EXPECT_EQ(n.scale, 2);
    EXPECT_EQ(n.val[0] + 256 * n.val[1], 1235); // rounded half away from zero
    d = 123456.0;
    EXPECT_EQ(dc->DataConvert(DBTYPE_R8, DBTYPE_NUMERIC, 8, &len, &d, &n, sizeof n, DBSTATUS_S_OK, &st, 5, 0, 0),
              DB_E_DATAOVERFLOW);
    EXPECT_EQ(st, DBSTATUS_E_DATAOVERFLOW);
    EXPECT_EQ(dc->DataConvert(DBTYPE_I4, DBTYPE_NUMERIC, 4, &len, &d, &n, sizeof n, DBSTATUS_S_OK, &st, 5, 0, 0),
              DB_E_UNSUPPORTEDCONVERSION);
    dc->Release();
}

TEST(ComErrorInfo, HandsOverAndClears)
{
    IErrorInfo* e = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &e), S_FALSE);
    EXPECT_EQ(e, nullptr);
    IErrorInfo* mine = tvx_create_error_info(IID_NULL, L"src", L"desc");
    SetErrorInfo(0, mine);
    mine->Release();
    ASSERT_EQ(GetErrorInfo(0, &e), S_OK);
    BSTR s = nullptr;
    ASSERT_EQ(e->GetDescription(&s), S_OK);
    EXPECT_STREQ(s, L"desc");
    SysFreeString(s);
    ASSERT_EQ(e->GetSource(&s), S_OK);
    EXPECT_STREQ(s, L"src");
    SysFreeString(s);
    e->Release();
    EXPECT_EQ(GetErrorInfo(0, &e), S_FALSE);
}

TEST(ComTaskMem, GrowsAndFrees)
{
    auto* p = static_cast<char*>(CoTaskMemAlloc(4));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "abc", 4);
    p = static_cast<char*>(CoTaskMemRealloc(p, 4096));
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(p, "abc");
    CoTaskMemFree(p);
    CoTaskMemFree(nullptr);
}
