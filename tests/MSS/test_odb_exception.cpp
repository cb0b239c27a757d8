#include "MSS/CSeqStream.h"
#include "MSS/mss_no_perm_exception.h"
#include "MSS/odb_exception.h"
#include "OLE/ole_com_ptr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Counts references; deletes itself at zero like a COM object.
class counted : public IUnknown {
public:
    explicit counted(int* alive) : alive_(alive) { ++*alive_; }
    HRESULT QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        const ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
    ULONG refs = 1;

protected:
    ~counted() override { --*alive_; }

private:
    int* alive_;
};

struct record_spec {
    HRESULT hr;
    DWORD native;
    const wchar_t* description; // null: the record has no error object
    const wchar_t* source;
};

// An error object with records, as providers leave them on the thread.
class fake_error : public IErrorInfo, public IErrorRecords {
public:
    std::vector<record_spec> records;
    int error_info_calls = 0;
    std::vector<ULONG> asked;
    ULONG refs = 1;

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IErrorRecords) {
            *ppv = static_cast<IErrorRecords*>(this);
        } else if (riid == IID_IErrorInfo || riid == IID_IUnknown) {
            *ppv = static_cast<IErrorInfo*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ++refs;
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        const ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetGUID(GUID* g) override
    {
        *g = GUID{};
        return S_OK;
    }
    HRESULT GetSource(BSTR* b) override
    {
        *b = SysAllocString(L"top");
        return S_OK;
    }
    HRESULT GetDescription(BSTR* b) override
    {
        *b = SysAllocString(L"top level");
        return S_OK;
    }
    HRESULT GetHelpFile(BSTR* b) override
    {
        *b = nullptr;
        return S_OK;
    }
    HRESULT GetHelpContext(DWORD* c) override
    {
        *c = 0;
        return S_OK;
    }
    HRESULT AddErrorRecord(ERRORINFO*, DWORD, DISPPARAMS*, IUnknown*, DWORD) override { return E_NOTIMPL; }
    HRESULT GetBasicErrorInfo(ULONG i, ERRORINFO* info) override
    {
        *info = ERRORINFO{};
        info->hrError = records.at(i).hr;
        info->dwMinor = records.at(i).native;
        return S_OK;
    }
    HRESULT GetCustomErrorObject(ULONG, REFIID, IUnknown** obj) override
    {
        *obj = nullptr;
        return S_OK;
    }
    HRESULT GetErrorInfo(ULONG i, LCID, IErrorInfo** out) override
    {
        ++error_info_calls;
        asked.push_back(i);
        const record_spec& r = records.at(i);
        *out = tvx_create_error_info(GUID{}, r.source ? r.source : L"", r.description ? r.description : L"");
        return S_OK;
    }
    HRESULT GetErrorParameters(ULONG, DISPPARAMS*) override { return E_NOTIMPL; }
    HRESULT GetRecordCount(ULONG* n) override
    {
        *n = static_cast<ULONG>(records.size());
        return S_OK;
    }

protected:
    ~fake_error() override = default;
};

fake_error* post_error(std::vector<record_spec> records)
{
    auto* e = new fake_error();
    e->records = std::move(records);
    SetErrorInfo(0, static_cast<IErrorInfo*>(e));
    // The thread's reference is the only one left; callers AddRef to inspect.
    e->Release();
    return e;
}

} // namespace

TEST(OleComPtr, ReleasesOnceAndAssertsWhenEmpty)
{
    int alive = 0;
    auto* obj = new counted(&alive);
    {
        ole_com_ptr<IUnknown> a(obj); // AddRef: 2
        EXPECT_EQ(obj->refs, 2u);
        ole_com_ptr<IUnknown> b(a); // copy holds its own: 3
        EXPECT_EQ(obj->refs, 3u);
        ole_com_ptr<IUnknown> c(std::move(b));
        EXPECT_EQ(obj->refs, 3u);
    }
    EXPECT_EQ(obj->refs, 1u);
    {
        ole_com_ptr<IUnknown> taken;
        *taken.out() = obj; // a creating call hands over its reference
    }
    EXPECT_EQ(alive, 0);

    ole_com_ptr<IUnknown> empty;
    try {
        empty->AddRef();
        FAIL() << "no assertion";
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(std::string(e.what()), make_err_meggase("..\\OLE/ole_ptr", 94));
    }
}

TEST(OleComPtr, OutParameterReleasesTheHeldReference)
{
    int alive = 0;
    ole_com_ptr<IUnknown> p;
    *p.out() = new counted(&alive);
    *p.out() = new counted(&alive);
    EXPECT_EQ(alive, 1);
    p.release();
    EXPECT_EQ(alive, 0);
}

TEST(OdbException, NoErrorObjectGivesUnknownException)
{
    SetErrorInfo(0, nullptr);
    const odb_exception e(static_cast<HRESULT>(0x80004005u), true);
    EXPECT_EQ(e.code, 0x84005u);
    EXPECT_EQ(e.level, 0);
    EXPECT_STREQ(e.what(), "Unknown exception");
    EXPECT_TRUE(e.source.empty());
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(odb_exception(static_cast<HRESULT>(0x80040E37u), false).code, 0x80E37u);
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(odb_exception(static_cast<HRESULT>(0x00000E37), false).code, 0x80E37u);
}

TEST(OdbException, FirstRecordWithADescriptionWins)
{
    fake_error* e =
        post_error({{E_FAIL, 1, nullptr, L"a"}, {E_FAIL, 2, L"second", L"src2"}, {E_FAIL, 3, L"third", L"c"}});
    e->AddRef();
    const odb_exception ex(E_FAIL, true);
    EXPECT_STREQ(ex.what(), "second");
    EXPECT_EQ(ex.source, L"src2");
    EXPECT_EQ(e->asked, (std::vector<ULONG>{0, 1}));
    e->Release();
}

TEST(OdbException, RecordsWithoutDescriptionGiveTheGenericText)
{
    post_error({{E_FAIL, 0, nullptr, nullptr}});
    const odb_exception ex(E_FAIL, true);
    EXPECT_EQ(std::string(ex.what()), odb_exception::generic_text());
}

TEST(OdbException, ErrorStringJoinsDescriptionsOrNamesADuplicateKey)
{
    post_error({{E_FAIL, 2627, nullptr, nullptr}});
    EXPECT_EQ(odb_exception::GetErrorString(),
              L"Violation of PRIMARY KEY constraint.\nCannot insert duplicate key in the table.");
    post_error({{E_FAIL, 2627, L"one", L"s"}, {E_FAIL, 0, L"two", L"s"}});
    EXPECT_EQ(odb_exception::GetErrorString(), L"one\ntwo");
    SetErrorInfo(0, nullptr);
    EXPECT_FALSE(odb_exception::GetErrorString().empty());
}

TEST(OdbException, CheckRuleThrowsOnFailureOnly)
{
    int calls = 0;
    auto call = [&](HRESULT h) {
        ++calls;
        return h;
    };
    EXPECT_EQ(odb_check(call(S_FALSE)), S_FALSE);
    EXPECT_EQ(odb_check(call(DB_S_ENDOFROWSET)), DB_S_ENDOFROWSET);
    SetErrorInfo(0, nullptr);
    try {
        odb_check(call(DB_E_NOTABLE));
        FAIL();
    } catch (const odb_exception& e) {
        EXPECT_EQ(e.code, 0x80E37u);
    }
    EXPECT_EQ(calls, 3);
}

TEST(MssNoPermException, FullMessageForLongNames)
{
    const std::wstring user(300, L'u'), db(400, L'd');
    const mss_no_perm_exception e(user, db);
    EXPECT_EQ(std::string(e.what()), "User '" + std::string(300, 'u') +
                                         "' does not have permission to access database '" + std::string(400, 'd') +
                                         "'");
    EXPECT_EQ(e.level, 0);
    EXPECT_EQ(e.code, 0u);
}

TEST(CSeqStream, ReadWriteContract)
{
    auto* s = new CSeqStream();
    ULONG n = 99;
    EXPECT_EQ(s->Read(nullptr, 4, &n), STG_E_INVALIDPOINTER);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(s->Write(nullptr, 4, &n), STG_E_INVALIDPOINTER);
    EXPECT_EQ(s->Write("abcd", 4, &n), S_OK);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(s->Write("ef", 2, &n), S_OK);
    EXPECT_EQ(s->length(), 6u);
    EXPECT_TRUE(s->compare_data("abcdef"));
    char buf[10] = {};
    EXPECT_EQ(s->Read(buf, 10, &n), S_FALSE);
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::string(buf, 6), "abcdef");
    EXPECT_EQ(s->Read(buf, 1, &n), S_FALSE);
    EXPECT_EQ(n, 0u);
    s->seek(2);
    EXPECT_EQ(s->Read(buf, 4, &n), S_OK);
    EXPECT_EQ(std::string(buf, 4), "cdef");
    void* unk = nullptr;
    EXPECT_EQ(s->QueryInterface(IID_ISequentialStream, &unk), S_OK);
    EXPECT_EQ(s->QueryInterface(IID_IErrorInfo, &unk), E_NOINTERFACE);
    EXPECT_EQ(s->Release(), 1u);
    s->clear();
    EXPECT_EQ(s->length(), 0u);
    EXPECT_EQ(s->Release(), 0u);
}
