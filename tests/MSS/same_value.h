// Whether two values are the same value, bit for bit where it matters: the
// type, the stored bits of numbers (so -0 differs from 0), text with its
// length, bytes, and the shadows of 64-bit integers and dates.
#pragma once
#include <cstring>
#include <sstream>
#include <string>

#include "OLE/ole_variant.h"

inline std::string value_bits(const ole_variant& v)
{
    std::ostringstream out;
    out << "vt=" << v.value.vt << " i8=" << v.i8_value << " ui8=" << v.ui8_value;
    const SYSTEMTIME& d = v.date_parts;
    out << " parts=" << d.wYear << '-' << d.wMonth << '-' << d.wDay << ' ' << d.wHour << ':' << d.wMinute << ':'
        << d.wSecond << '.' << d.wMilliseconds << '+' << v.date_sub_ms_ns << "ns dow=" << d.wDayOfWeek << " value=";
    auto raw = [&](const void* p, size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i) out << static_cast<int>(b[i]) << ',';
    };
    switch (v.value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        break;
    case VT_BSTR: {
        const UINT n = v.value.bstrVal ? SysStringLen(v.value.bstrVal) : 0;
        out << "bstr(" << (v.value.bstrVal ? "set" : "null") << ',' << n << "):";
        raw(v.value.bstrVal, n * sizeof(OLECHAR));
        break;
    }
    case VT_BYTE_ARRAY: {
        BYTE* data = nullptr;
        const size_t n = v.get_bytes(&data);
        out << "bytes(" << n << "):";
        raw(data, n);
        break;
    }
    case VT_DECIMAL: {
        const DECIMAL& d = v.value.decVal;
        out << "dec scale=" << static_cast<int>(d.scale) << " sign=" << static_cast<int>(d.sign) << " hi=" << d.Hi32
            << " lo=" << d.Lo64;
        break;
    }
    default:
        raw(&v.value.llVal, sizeof(v.value.llVal));
        break;
    }
    return out.str();
}

inline bool same_value(const ole_variant& a, const ole_variant& b) { return value_bits(a) == value_bits(b); }
