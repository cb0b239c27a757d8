#include "OLE/ole_long_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "TK/tk_exception.h"
#include "platform/win32/win_codepage.h"

namespace {

// A source of fixed bytes; a read past them is short, a failing one fails.
class byte_stream final : public ISequentialStream {
public:
    explicit byte_stream(std::string d, bool fail = false) : data_(std::move(d)), fail_(fail) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_ISequentialStream) {
            *ppv = static_cast<ISequentialStream*>(this);
            AddRef();
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
    HRESULT Read(void* pv, ULONG cb, ULONG* got) override
    {
        if (fail_) return STG_E_READFAULT;
        const size_t n = std::min<size_t>(cb, data_.size() - pos_);
        std::memcpy(pv, data_.data() + pos_, n);
        pos_ += n;
        *got = static_cast<ULONG>(n);
        return n < cb ? S_FALSE : S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

private:
    ~byte_stream() override = default;
    std::string data_;
    bool fail_;
    size_t pos_ = 0;
    ULONG refs_ = 1;
};

ole_variant long_value(const std::string& bytes, ole_long_value::form f, bool fail = false)
{
    auto* s = new byte_stream(bytes, fail);
    ole_variant v = ole_long_value::make(s, f);
    s->Release(); // the long value holds its own reference
    return v;
}

std::string bytes_of(const std::wstring& w)
{
    return std::string(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
}

} // namespace

TEST(OleLongValue, TextArrivesWholeInPiecesOfAnySize)
{
    const std::wstring text = std::wstring(L"a\0\u00e9\u20ac\U0001F600", 5) + std::wstring(1000, L'z') + L"end";
    for (size_t piece : {size_t{1}, size_t{3}, size_t{1000}, text.size(), text.size() + 1}) {
        ole_variant v = long_value(bytes_of(text), ole_long_value::form::wide_text);
        ole_long_value* lv = ole_long_value::of(v);
        ASSERT_NE(lv, nullptr);
        std::wstring got;
        for (std::wstring p = lv->read_text(piece); !p.empty(); p = lv->read_text(piece)) {
            EXPECT_LE(p.size(), piece);
            got += p;
        }
        EXPECT_EQ(got, text) << piece;
        EXPECT_TRUE(lv->read_text(piece).empty());
        EXPECT_TRUE(lv->read_bytes(piece).empty()) << "a text has no bytes to give";
    }
    ole_variant empty = long_value("", ole_long_value::form::wide_text);
    EXPECT_TRUE(ole_long_value::of(empty)->read_text(10).empty());
    EXPECT_EQ(ole_long_value::of(empty)->read_all().to_wstring(), L"");
}

TEST(OleLongValue, BytesArriveWholeWithTheirZeros)
{
    std::string bytes(70001, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 3 ? i * 7 : 0);
    for (size_t piece : {size_t{1}, size_t{4096}, bytes.size(), bytes.size() + 1}) {
        ole_variant v = long_value(bytes, ole_long_value::form::bytes);
        ole_long_value* lv = ole_long_value::of(v);
        std::string got;
        EXPECT_TRUE(lv->read_bytes(0).empty());
        for (std::vector<BYTE> p = lv->read_bytes(piece); !p.empty(); p = lv->read_bytes(piece)) {
            EXPECT_LE(p.size(), piece);
            got.append(p.begin(), p.end());
        }
        EXPECT_TRUE(got == bytes) << piece;
    }
    ole_variant all = ole_long_value::of(long_value(bytes, ole_long_value::form::bytes))->read_all();
    BYTE* data = nullptr;
    ASSERT_EQ(all.get_bytes(&data), bytes.size());
    EXPECT_EQ(std::memcmp(data, bytes.data(), bytes.size()), 0);
}

TEST(OleLongValue, ACutCharacterOrAFailedReadIsAnError)
{
    // Two bytes more than whole characters: the value ends inside a character.
    ole_variant cut = long_value(bytes_of(L"abc") + "xy", ole_long_value::form::wide_text);
    EXPECT_THROW(ole_long_value::of(cut)->read_text(10), tk_exception);
    ole_variant failing = long_value("abcd", ole_long_value::form::wide_text, true);
    EXPECT_THROW(ole_long_value::of(failing)->read_text(1), tk_exception);
    ole_variant failing_bytes = long_value("abcd", ole_long_value::form::bytes, true);
    EXPECT_THROW(ole_long_value::of(failing_bytes)->read_bytes(2), tk_exception);
}

TEST(OleLongValue, AConvertedValueIsTheWholeValueConvertedInEveryPieceSize)
{
    const UINT page = get_acp();
    set_acp(65001);
    // Longer than a conversion piece, with characters of every UTF-8 length
    // so that a piece boundary falls inside each kind somewhere.
    std::wstring text;
    for (size_t i = 0; i < 70000; ++i) text += std::wstring(L"a\u00e9\u20ac\U0001F600")[i % 4];
    const std::string utf8 = utf8_encode(text);
    for (size_t piece : {size_t{1}, size_t{7}, size_t{65536}, utf8.size() + 1}) {
        ole_variant to_bytes = ole_long_value::of(long_value(bytes_of(text), ole_long_value::form::wide_text))
                                   ->converted_to(ole_long_value::form::bytes);
        ole_long_value* lb = ole_long_value::of(to_bytes);
        ASSERT_NE(lb, nullptr);
        EXPECT_FALSE(lb->is_text());
        std::string got;
        for (std::vector<BYTE> p = lb->read_bytes(piece); !p.empty(); p = lb->read_bytes(piece))
            got.append(p.begin(), p.end());
        EXPECT_TRUE(got == utf8) << piece;

        ole_variant to_text = ole_long_value::of(long_value(utf8, ole_long_value::form::bytes))
                                  ->converted_to(ole_long_value::form::wide_text);
        ole_long_value* lt = ole_long_value::of(to_text);
        ASSERT_NE(lt, nullptr);
        EXPECT_TRUE(lt->is_text());
        std::wstring back;
        for (std::wstring p = lt->read_text(piece); !p.empty(); p = lt->read_text(piece)) back += p;
        EXPECT_TRUE(back == text) << piece;
    }
    set_acp(page);
}

TEST(OleLongValue, AConvertedValueFailsAsItsSourceFails)
{
    ole_variant failing = ole_long_value::of(long_value("abcd", ole_long_value::form::bytes, true))
                              ->converted_to(ole_long_value::form::wide_text);
    EXPECT_THROW(ole_long_value::of(failing)->read_text(10), tk_exception);
    ole_variant cut = ole_long_value::of(long_value(bytes_of(L"abc") + "x", ole_long_value::form::wide_text))
                          ->converted_to(ole_long_value::form::bytes);
    EXPECT_THROW(ole_long_value::of(cut)->read_bytes(10), tk_exception);
}
