#include "OLE/ole_long_value.h"

#include <cstring>

#include "TK/tk_exception.h"

ole_long_value::ole_long_value(ISequentialStream* source, form f) : source_(source), form_(f)
{
    if (source_) source_->AddRef();
}

ole_long_value::~ole_long_value()
{
    if (source_) source_->Release();
}

ole_variant ole_long_value::make(ISequentialStream* source, form f)
{
    auto* lv = new ole_long_value(source, f);
    ole_variant v;
    v.value.vt = VT_UNKNOWN;
    v.value.punkVal = lv; // the variant takes the one reference
    return v;
}

ole_long_value* ole_long_value::of(const ole_variant& v)
{
    if (v.value.vt != VT_UNKNOWN || !v.value.punkVal) return nullptr;
    return dynamic_cast<ole_long_value*>(v.value.punkVal);
}

HRESULT ole_long_value::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG ole_long_value::AddRef() { return ++refs_; }

ULONG ole_long_value::Release()
{
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

std::string ole_long_value::read_raw(size_t n)
{
    std::string out = std::move(carry_);
    carry_.clear();
    if (at_end_ || !source_ || out.size() >= n) return out;
    const size_t have = out.size();
    out.resize(n);
    ULONG got = 0;
    const HRESULT hr = source_->Read(out.data() + have, static_cast<ULONG>(n - have), &got);
    if (FAILED(hr)) throw tk_exception("The long value could not be read from the source", 0);
    if (got < n - have) at_end_ = true;
    out.resize(have + got);
    return out;
}

std::wstring ole_long_value::read_text(size_t max_chars)
{
    std::wstring out;
    if (max_chars == 0) return out;
    if (form_ != form::wide_text) return out;
    if (carry_.empty()) {
        // No cut character before: the characters go straight into the text.
        if (at_end_ || !source_) return out;
        out.resize(max_chars);
        const size_t want = max_chars * sizeof(wchar_t);
        ULONG got = 0;
        const HRESULT hr = source_->Read(out.data(), static_cast<ULONG>(want), &got);
        if (FAILED(hr)) throw tk_exception("The long value could not be read from the source", 0);
        if (got < want) at_end_ = true;
        const size_t whole = got / sizeof(wchar_t);
        if (got % sizeof(wchar_t)) {
            if (at_end_) throw tk_exception("The long value ends inside a character", 0);
            carry_.assign(reinterpret_cast<const char*>(out.data()) + whole * sizeof(wchar_t), got % sizeof(wchar_t));
        }
        out.resize(whole);
        return out;
    }
    std::string raw = read_raw(max_chars * sizeof(wchar_t));
    const size_t whole = raw.size() / sizeof(wchar_t);
    out.resize(whole);
    if (whole) std::memcpy(out.data(), raw.data(), whole * sizeof(wchar_t));
    if (raw.size() % sizeof(wchar_t)) {
        if (at_end_) throw tk_exception("The long value ends inside a character", 0);
        carry_.assign(raw, whole * sizeof(wchar_t), std::string::npos);
    }
    return out;
}

std::vector<BYTE> ole_long_value::read_bytes(size_t max_bytes)
{
    if (!carry_.empty() || at_end_ || !source_ || max_bytes == 0) {
        std::string raw = read_raw(max_bytes);
        return std::vector<BYTE>(raw.begin(), raw.end());
    }
    // The bytes go straight into the piece.
    std::vector<BYTE> out(max_bytes);
    ULONG got = 0;
    const HRESULT hr = source_->Read(out.data(), static_cast<ULONG>(max_bytes), &got);
    if (FAILED(hr)) throw tk_exception("The long value could not be read from the source", 0);
    if (got < max_bytes) at_end_ = true;
    out.resize(got);
    return out;
}

ole_variant ole_long_value::read_all()
{
    constexpr size_t piece = 1u << 20;
    if (is_text()) {
        std::wstring text;
        for (std::wstring p = read_text(piece); !p.empty(); p = read_text(piece)) text += p;
        return ole_variant(text);
    }
    std::vector<BYTE> bytes;
    for (std::vector<BYTE> p = read_bytes(piece); !p.empty(); p = read_bytes(piece))
        bytes.insert(bytes.end(), p.begin(), p.end());
    ole_variant v;
    v = bytes;
    return v;
}
