// A long column value left in the source's stream object, read in pieces by
// whoever writes it, so that it is never held whole in memory.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "OLE/ole_variant.h"
#include "platform/com/com.h"

class ole_long_value final : public IUnknown {
public:
    // What the source stream holds: wide characters or raw bytes.
    enum class form { wide_text, bytes };

    // A VT_UNKNOWN variant holding a new long value over `source` (AddRef'd).
    static ole_variant make(ISequentialStream* source, form f);
    // The long value a variant holds, or null.
    static ole_long_value* of(const ole_variant& v);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    bool is_text() const { return form_ != form::bytes; }
    // The next piece of a text, at most `max_chars` characters; empty at the end.
    // A failed read of the source throws tk_exception.
    std::wstring read_text(size_t max_chars);
    // The next piece of a binary value, at most `max_bytes`; empty at the end.
    std::vector<BYTE> read_bytes(size_t max_bytes);
    // The rest of the value as an ordinary variant (text or byte array), for a
    // writer that needs it whole.
    ole_variant read_all();
    // A new long value that reads this one (from where it stands) in the other
    // form, converted piece by piece through the process code page as a whole
    // value's change of type would; its reads fail as this value's do.
    ole_variant converted_to(form target);

private:
    ole_long_value(ISequentialStream* source, form f);
    ~ole_long_value() override;
    // Reads up to `n` raw bytes of the source after any bytes kept from before.
    std::string read_raw(size_t n);

    ULONG refs_ = 1;
    ISequentialStream* source_;
    form form_;
    std::string carry_; // bytes of a character cut by the previous piece
    bool at_end_ = false;
};
