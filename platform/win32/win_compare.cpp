#include "platform/win32/win_compare.h"

#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <mutex>
#include <optional>

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "platform/win32/win_codepage.h"
#include "platform/win32/win_error.h"

namespace {

std::mutex g_locale_mutex;
std::string g_locale_override;
std::atomic<unsigned> g_locale_generation{0};

std::string environment_locale()
{
    for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            std::string name(v);
            name = name.substr(0, name.find_first_of(".@"));
            if (name == "C" || name == "POSIX") return "root";
            return name;
        }
    }
    return "root";
}

std::string collation_locale()
{
    std::lock_guard lock(g_locale_mutex);
    return g_locale_override.empty() ? environment_locale() : g_locale_override;
}

// One collator per thread: ICU collators may not be shared while comparing.
icu::Collator* thread_collator()
{
    thread_local std::unique_ptr<icu::Collator> collator;
    thread_local unsigned generation = ~0u;
    unsigned current = g_locale_generation.load();
    if (!collator || generation != current) {
        UErrorCode status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(icu::Locale(collation_locale().c_str()), status));
        if (U_FAILURE(status) || !collator) {
            status = U_ZERO_ERROR;
            collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
            if (U_FAILURE(status)) collator.reset();
        }
        if (collator) {
            status = U_ZERO_ERROR;
            collator->setStrength(icu::Collator::TERTIARY);
        }
        generation = current;
    }
    return collator.get();
}

icu::UnicodeString to_icu(std::wstring_view text)
{
    std::u16string u = to_utf16le(text);
    return icu::UnicodeString(u.data(), static_cast<int32_t>(u.size()));
}

std::wstring_view bounded(const wchar_t* s, int len)
{
    if (!s) return {};
    return len < 0 ? std::wstring_view(s, std::wcslen(s)) : std::wstring_view(s, static_cast<size_t>(len));
}

} // namespace

int compare_string(LCID, DWORD flags, std::wstring_view a, std::wstring_view b)
{
    icu::Collator* coll = thread_collator();
    if (!coll) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    icu::UnicodeString ua = to_icu(a);
    icu::UnicodeString ub = to_icu(b);
    if (flags & NORM_IGNORECASE) {
        ua.foldCase();
        ub.foldCase();
    }
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r = coll->compare(ua, ub, status);
    if (U_FAILURE(status)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return r == UCOL_LESS ? CSTR_LESS_THAN : r == UCOL_EQUAL ? CSTR_EQUAL : CSTR_GREATER_THAN;
}

int CompareStringW(LCID lcid, DWORD flags, const wchar_t* a, int a_len, const wchar_t* b, int b_len)
{
    if (!a || !b) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return compare_string(lcid, flags, bounded(a, a_len), bounded(b, b_len));
}

int CompareStringA(LCID lcid, DWORD flags, const char* a, int a_len, const char* b, int b_len)
{
    if (!a || !b) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string_view na = a_len < 0 ? std::string_view(a) : std::string_view(a, static_cast<size_t>(a_len));
    std::string_view nb = b_len < 0 ? std::string_view(b) : std::string_view(b, static_cast<size_t>(b_len));
    auto wa = mb_to_wide(CP_ACP, na, false);
    auto wb = mb_to_wide(CP_ACP, nb, false);
    if (!wa || !wb) return 0;
    return compare_string(lcid, flags, *wa, *wb);
}

std::optional<std::string> compare_key(DWORD flags, std::wstring_view text)
{
    icu::Collator* coll = thread_collator();
    if (!coll) return std::nullopt;
    icu::UnicodeString u = to_icu(text);
    if (flags & NORM_IGNORECASE) u.foldCase();
    // The collator's sort key of the text compare_string compares: ICU makes
    // equal keys exactly for texts its comparison calls equal.
    std::string key(64, '\0');
    int32_t n = coll->getSortKey(u, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (n > static_cast<int32_t>(key.size())) {
        key.assign(static_cast<size_t>(n), '\0');
        n = coll->getSortKey(u, reinterpret_cast<uint8_t*>(key.data()), n);
    }
    if (n <= 0) return std::nullopt;
    key.resize(static_cast<size_t>(n));
    if (key.back() != '\0') key.push_back('\0');
    return key;
}

unsigned collation_generation() { return g_locale_generation.load(); }

void set_collation_locale(const std::string& name)
{
    {
        std::lock_guard lock(g_locale_mutex);
        g_locale_override = name;
    }
    g_locale_generation.fetch_add(1);
}

wchar_t char_upper(wchar_t c) { return static_cast<wchar_t>(u_toupper(static_cast<UChar32>(c))); }

bool is_char_alnum(wchar_t c) { return u_isalnum(static_cast<UChar32>(c)); }

bool is_char_alpha(wchar_t c) { return u_isalpha(static_cast<UChar32>(c)); }
