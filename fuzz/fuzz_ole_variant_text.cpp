// Arbitrary text through every text parser of the value type: from_string for
// each target type, the date parser, and the platform's number and date readers.
#include "OLE/ole_date.h"
#include "OLE/ole_decimal_text.h"
#include "OLE/ole_guid_extractor.h"
#include "OLE/ole_variant.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

const VARTYPE targets[] = {VT_I1,   VT_UI1,  VT_I2,  VT_UI2,  VT_I4,      VT_UI4,         VT_I8,
                           VT_UI8,  VT_R4,   VT_R8,  VT_CY,   VT_DECIMAL, VT_DATE,        VT_BOOL,
                           VT_BLOB, VT_BSTR, VT_INT, VT_UINT, VT_ERROR,   VT_BLOB_OBJECT, VT_BYTE_ARRAY};

void exercise(const ole_variant& v)
{
    (void)v.to_string();
    (void)v.to_wstring();
    (void)v.to_long();
    (void)v.to_i8();
    (void)v.to_ui8();
    (void)v.to_bool();
    for (VARTYPE vt : {VT_I4, VT_I8, VT_UI8, VT_UI1, VT_R8, VT_CY, VT_DECIMAL, VT_BSTR, VT_DATE, VT_BLOB}) {
        try {
            ole_variant copy(v);
            copy.change_type(vt);
            (void)copy.to_string();
        } catch (const tk_exception&) {}
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const VARTYPE vt = targets[data[0] % (sizeof(targets) / sizeof(targets[0]))];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        exercise(ole_variant::from_string(text, vt));
    } catch (const tk_exception&) {}
    const ole_date date(text);
    (void)date.to_string(true);
    (void)date.to_wstring(false);
    (void)ole_guid_extractor(text).get_hex_guid();

    std::wstring wide;
    wide.reserve(text.size());
    for (unsigned char c : text) wide.push_back(static_cast<wchar_t>(c));
    // A canonical decimal text is its own canonical form.
    const std::wstring canonical = ole_canonical_decimal(wide);
    if (!canonical.empty() && !ole_is_canonical_decimal(canonical)) __builtin_trap();
    DECIMAL dec{};
    if (SUCCEEDED(VarDecFromStr(wide.c_str(), 1033, 0, &dec))) {
        BSTR b = nullptr;
        if (SUCCEEDED(VarBstrFromDec(&dec, 1033, 0, &b))) {
            DECIMAL back{};
            // The printed form must read back as the same value.
            if (FAILED(VarDecFromStr(b, 1033, 0, &back)) || back.Lo64 != dec.Lo64 || back.Hi32 != dec.Hi32 ||
                back.scale != dec.scale || back.sign != dec.sign)
                __builtin_trap();
            SysFreeString(b);
        }
    }
    CY cy{};
    (void)VarCyFromStr(wide.c_str(), 1033, 0, &cy);
    DATE d = 0;
    if (SUCCEEDED(VarDateFromStr(wide.c_str(), 1033, 0, &d))) {
        SYSTEMTIME st{};
        (void)VariantTimeToSystemTime(d, &st);
    }
    return 0;
}
