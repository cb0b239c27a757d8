// BSTR: a uint32 count of characters before the text, a NUL after it.
#include "platform/oleaut/oleauto.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

namespace {

constexpr size_t prefix_bytes = sizeof(uint32_t);
static_assert(prefix_bytes % alignof(OLECHAR) == 0);

uint32_t* header_of(BSTR bstr) { return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(bstr) - prefix_bytes); }

// Allocates room for cch characters and the NUL; copies pch when given, else zeroes.
BSTR allocate(const OLECHAR* pch, UINT cch)
{
    // Any UINT count fits in a 64-bit size.
    static_assert(sizeof(size_t) > sizeof(UINT));
    const size_t bytes = prefix_bytes + (static_cast<size_t>(cch) + 1) * sizeof(OLECHAR);
    char* block = static_cast<char*>(std::malloc(bytes));
    if (!block) return nullptr;
    *reinterpret_cast<uint32_t*>(block) = cch;
    BSTR text = reinterpret_cast<BSTR>(block + prefix_bytes);
    if (pch)
        std::memcpy(text, pch, static_cast<size_t>(cch) * sizeof(OLECHAR));
    else
        std::memset(text, 0, static_cast<size_t>(cch) * sizeof(OLECHAR));
    text[cch] = L'\0';
    return text;
}

} // namespace

BSTR SysAllocString(const OLECHAR* psz)
{
    if (!psz) return nullptr;
    const size_t n = std::wcslen(psz);
    if (n > std::numeric_limits<UINT>::max()) return nullptr;
    return allocate(psz, static_cast<UINT>(n));
}

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) { return allocate(pch, cch); }

BOOL SysReAllocStringLen(BSTR* pbstr, const OLECHAR* pch, UINT cch)
{
    if (!pbstr) return FALSE;
    // The source may point into the old text, so build the new one first.
    BSTR fresh = allocate(pch, cch);
    if (!fresh) return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

BOOL SysReAllocString(BSTR* pbstr, const OLECHAR* psz)
{
    if (!pbstr) return FALSE;
    if (!psz) {
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        return TRUE;
    }
    const size_t n = std::wcslen(psz);
    if (n > std::numeric_limits<UINT>::max()) return FALSE;
    return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(n));
}

void SysFreeString(BSTR bstr)
{
    if (bstr) std::free(header_of(bstr));
}

UINT SysStringLen(BSTR bstr) { return bstr ? *header_of(bstr) : 0; }

UINT SysStringByteLen(BSTR bstr) { return SysStringLen(bstr) * static_cast<UINT>(sizeof(OLECHAR)); }
