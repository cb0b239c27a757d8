#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "OLE/ole_long_value.h"
#include "TK/tk_exception.h"
#include "platform/win32/win_codepage.h"

namespace {

constexpr size_t k_piece_chars = 64 * 1024;
constexpr UINT k_utf8_page = 65001;

// How many bytes at the end of `bytes` begin a UTF-8 sequence they do not finish.
size_t unfinished_utf8_tail(const std::string& bytes)
{
    const size_t n = bytes.size();
    for (size_t back = 1; back <= 3 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80) continue; // a continuation byte: look further back
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// The stream a converted long value reads: pieces of the source in its form,
// handed on in the other.
class converting_stream final : public ISequentialStream {
public:
    converting_stream(ole_long_value* source, ole_long_value::form target)
        : source_(source), target_(target), page_(resolve_code_page(CP_ACP))
    {
        source_->AddRef();
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
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

    HRESULT Read(void* pv, ULONG cb, ULONG* pcb_read) override
    {
        if (!pv) return STG_E_INVALIDPOINTER;
        try {
            while (pending_.size() - served_ < cb && !source_done_) pull();
        } catch (const tk_exception&) {
            return STG_E_READFAULT;
        }
        const size_t n = std::min<size_t>(cb, pending_.size() - served_);
        std::memcpy(pv, pending_.data() + served_, n);
        served_ += n;
        if (served_ == pending_.size()) {
            pending_.clear();
            served_ = 0;
        }
        if (pcb_read) *pcb_read = static_cast<ULONG>(n);
        return n < cb ? S_FALSE : S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

private:
    ~converting_stream() override { source_->Release(); }

    void append_wide(const std::wstring& text)
    {
        pending_.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    }

    // Converts the next piece of the source onto the pending bytes.
    void pull()
    {
        if (target_ == ole_long_value::form::bytes) {
            const std::wstring text = source_->read_text(k_piece_chars);
            if (text.empty()) {
                source_done_ = true;
                return;
            }
            // Whole characters each piece: no character is ever cut here.
            if (auto bytes = wide_to_mb(page_, text)) pending_ += *bytes;
            return;
        }
        const std::vector<BYTE> piece = source_->read_bytes(k_piece_chars);
        carry_.append(piece.begin(), piece.end());
        if (piece.empty()) source_done_ = true;
        // A multi-byte character cut by the piece waits for its other bytes.
        const size_t keep = source_done_ || page_ != k_utf8_page ? 0 : unfinished_utf8_tail(carry_);
        const std::string_view whole(carry_.data(), carry_.size() - keep);
        if (!whole.empty())
            if (auto text = mb_to_wide(page_, whole, false)) append_wide(*text);
        carry_.erase(0, whole.size());
    }

    ULONG refs_ = 1;
    ole_long_value* source_;
    ole_long_value::form target_;
    UINT page_;
    std::string pending_; // converted bytes not yet read
    size_t served_ = 0;   // how many of them have been
    std::string carry_;   // source bytes of a character not yet whole
    bool source_done_ = false;
};

} // namespace

ole_variant ole_long_value::converted_to(form target)
{
    auto* stream = new converting_stream(this, target);
    ole_variant v = make(stream, target);
    stream->Release(); // the new long value holds its own reference
    return v;
}
