// The OLE date number: days since 1899-12-30, the time of day as a fraction.
// Negative numbers carry the time as a positive fraction of their magnitude
// (-1.25 is 1899-12-29 06:00). Text is read and written the en-US way.
#include "platform/oleaut/oleauto.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <cwctype>
#include <string>
#include <vector>

namespace {

constexpr double min_date = -657434.0;        // 0100-01-01
constexpr double max_date = 2958465.99999999; // 9999-12-31 23:59:59.999...
constexpr long long epoch_days = -25569;      // 1899-12-30 in days since 1970-01-01

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long days_from_civil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civil_from_days(long long z, int& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yy + (m <= 2));
}

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(int y, unsigned m)
{
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

// Two-digit years in the OLE window 1930-2029.
int full_year(int y)
{
    if (y < 100) return y < 30 ? 2000 + y : 1900 + y;
    return y;
}

// The date number of a checked calendar date and time; the time fraction is
// added away from zero on negative days.
bool make_date(int y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s, unsigned ms, DATE* out)
{
    if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > days_in_month(y, mo) || h > 23 || mi > 59 || s > 59 ||
        ms > 999)
        return false;
    const double days = static_cast<double>(days_from_civil(y, mo, d) - epoch_days);
    const double frac = (h * 3600000.0 + mi * 60000.0 + s * 1000.0 + ms) / 86400000.0;
    *out = days >= 0 ? days + frac : days - frac;
    return true;
}

} // namespace

INT SystemTimeToVariantTime(const SYSTEMTIME* st, DATE* pvtime)
{
    if (!st || !pvtime) return FALSE;
    return make_date(full_year(st->wYear), st->wMonth, st->wDay, st->wHour, st->wMinute, st->wSecond, st->wMilliseconds,
                     pvtime)
               ? TRUE
               : FALSE;
}

INT VariantTimeToSystemTime(DATE vtime, SYSTEMTIME* st)
{
    if (!st || !(vtime >= min_date && vtime <= max_date)) return FALSE;
    double whole = std::trunc(vtime);
    // Nearest second of the time of day; a full day carries over.
    long long secs = std::llround(std::fabs(vtime - whole) * 86400.0);
    long long day = static_cast<long long>(whole);
    if (secs >= 86400) {
        secs -= 86400;
        day += 1; // later in time, whichever side of the epoch
    }
    // A negative day with a time of day before 1899-12-30: -0.25 is 06:00 of day 0.
    int y = 0;
    unsigned m = 0, d = 0;
    civil_from_days(day + epoch_days, y, m, d);
    if (y > 9999 || y < 100) return FALSE;
    st->wYear = static_cast<WORD>(y);
    st->wMonth = static_cast<WORD>(m);
    st->wDay = static_cast<WORD>(d);
    const long long dow = (day + epoch_days + 4) % 7; // 1970-01-01 was a Thursday
    st->wDayOfWeek = static_cast<WORD>(dow < 0 ? dow + 7 : dow);
    st->wHour = static_cast<WORD>(secs / 3600);
    st->wMinute = static_cast<WORD>(secs / 60 % 60);
    st->wSecond = static_cast<WORD>(secs % 60);
    st->wMilliseconds = 0;
    return TRUE;
}

// ---- text ---------------------------------------------------------------------------

namespace {

struct token {
    enum kind_t { number, month, ampm, colon, slash, dash, dot, comma } kind;
    long value = 0; // number value, month 1..12, 0 = AM / 1 = PM
    int digits = 0; // digits of a number
};

int month_of(const std::wstring& word)
{
    static const wchar_t* const names[] = {L"january", L"february", L"march",     L"april",   L"may",      L"june",
                                           L"july",    L"august",   L"september", L"october", L"november", L"december"};
    if (word.size() < 3) return 0;
    for (int i = 0; i < 12; ++i) {
        const std::wstring name = names[i];
        if (word.size() <= name.size() && name.compare(0, word.size(), word) == 0) return i + 1;
    }
    if (word == L"sept") return 9;
    return 0;
}

bool weekday(const std::wstring& word)
{
    static const wchar_t* const names[] = {L"sunday",   L"monday", L"tuesday", L"wednesday",
                                           L"thursday", L"friday", L"saturday"};
    if (word.size() < 3) return false;
    for (const wchar_t* n : names) {
        const std::wstring name = n;
        if (word.size() <= name.size() && name.compare(0, word.size(), word) == 0) return true;
    }
    return false;
}

bool tokenize(const OLECHAR* p, std::vector<token>& out)
{
    while (*p) {
        const wchar_t c = *p;
        if (c >= L'0' && c <= L'9') {
            token t{token::number};
            while (*p >= L'0' && *p <= L'9') {
                if (t.digits < 9) t.value = t.value * 10 + (*p - L'0');
                ++t.digits;
                ++p;
            }
            if (t.digits > 9) return false;
            out.push_back(t);
            continue;
        }
        if (std::iswalpha(static_cast<wint_t>(c))) {
            std::wstring word;
            while (std::iswalpha(static_cast<wint_t>(*p)))
                word.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(*p++))));
            if (word == L"am" || word == L"a" || word == L"pm" || word == L"p") {
                out.push_back(token{token::ampm, word[0] == L'p' ? 1 : 0});
            } else if (const int m = month_of(word)) {
                out.push_back(token{token::month, m});
            } else if (!weekday(word)) {
                return false;
            }
            continue;
        }
        switch (c) {
        case L':':
            out.push_back(token{token::colon});
            break;
        case L'/':
            out.push_back(token{token::slash});
            break;
        case L'-':
            out.push_back(token{token::dash});
            break;
        case L'.':
            out.push_back(token{token::dot});
            break;
        case L',':
            out.push_back(token{token::comma});
            break;
        case L' ':
        case L'\t':
        case L'\n':
        case L'\r':
            break;
        default:
            return false;
        }
        ++p;
    }
    return true;
}

} // namespace

HRESULT VarDateFromStr(const OLECHAR* strIn, LCID, ULONG dwFlags, DATE* pdateOut)
{
    if (!strIn || !pdateOut) return E_INVALIDARG;
    std::vector<token> toks;
    if (!tokenize(strIn, toks) || toks.empty()) return DISP_E_TYPEMISMATCH;

    // The time: numbers joined by ":", an optional ".fraction" of seconds, AM/PM.
    long hms[3] = {0, 0, 0};
    long ms = 0;
    int time_parts = 0;
    int ampm = -1;
    std::vector<token> date_toks;
    for (size_t i = 0; i < toks.size(); ++i) {
        const token& t = toks[i];
        if (t.kind == token::ampm) {
            if (ampm >= 0) return DISP_E_TYPEMISMATCH;
            ampm = static_cast<int>(t.value);
            continue;
        }
        if (t.kind == token::number && i + 1 < toks.size() && toks[i + 1].kind == token::colon) {
            if (time_parts) return DISP_E_TYPEMISMATCH;
            size_t j = i;
            while (true) {
                if (j >= toks.size() || toks[j].kind != token::number || time_parts == 3) return DISP_E_TYPEMISMATCH;
                hms[time_parts++] = toks[j].value;
                if (j + 1 < toks.size() && toks[j + 1].kind == token::colon) {
                    j += 2;
                    continue;
                }
                break;
            }
            // Fractional seconds: ".ddd", kept to the millisecond.
            if (time_parts == 3 && j + 2 < toks.size() && toks[j + 1].kind == token::dot &&
                toks[j + 2].kind == token::number) {
                const token& f = toks[j + 2];
                long v = f.value;
                int digits = f.digits;
                while (digits > 3) {
                    v /= 10;
                    --digits;
                }
                while (digits < 3) {
                    v *= 10;
                    ++digits;
                }
                ms = v;
                j += 2;
            }
            i = j;
            continue;
        }
        date_toks.push_back(t);
    }
    if (ampm >= 0 && time_parts == 0) {
        // "5 PM": a lone number before AM/PM is an hour.
        if (!date_toks.empty() && date_toks.back().kind == token::number) {
            hms[0] = date_toks.back().value;
            time_parts = 1;
            date_toks.pop_back();
        } else {
            return DISP_E_TYPEMISMATCH;
        }
    }
    if (ampm >= 0) {
        if (hms[0] < 1 || hms[0] > 12) return DISP_E_TYPEMISMATCH;
        hms[0] = hms[0] % 12 + (ampm == 1 ? 12 : 0);
    }

    // The date: numbers and at most one month name, separators ignored.
    std::vector<token> nums;
    int month_name = 0;
    for (const token& t : date_toks) {
        if (t.kind == token::number)
            nums.push_back(t);
        else if (t.kind == token::month) {
            if (month_name) return DISP_E_TYPEMISMATCH;
            month_name = static_cast<int>(t.value);
        }
    }
    long y = 0, m = 0, d = 0;
    bool has_date = true;
    auto year_of = [](const token& t) {
        return t.digits <= 2 ? (t.value < 30 ? 2000 + t.value : 1900 + t.value) : t.value;
    };
    if (month_name) {
        m = month_name;
        if (nums.size() == 2) {
            // "Dec 31 2016", "31 Dec 2016", "2016 Dec 31"
            if (nums[0].digits >= 3 || nums[0].value > 31) {
                y = year_of(nums[0]);
                d = nums[1].value;
            } else {
                d = nums[0].value;
                y = year_of(nums[1]);
            }
        } else if (nums.size() == 1) {
            d = nums[0].value;
            std::time_t now = std::time(nullptr);
            std::tm tmv{};
            localtime_r(&now, &tmv);
            y = tmv.tm_year + 1900;
        } else {
            return DISP_E_TYPEMISMATCH;
        }
    } else if (nums.size() == 3) {
        if (nums[0].digits >= 3 || nums[0].value > 31) { // year first: 2016-12-31
            y = year_of(nums[0]);
            m = nums[1].value;
            d = nums[2].value;
        } else { // the US order: 12/31/2016
            m = nums[0].value;
            d = nums[1].value;
            y = year_of(nums[2]);
        }
    } else if (nums.size() == 2) {
        m = nums[0].value;
        d = nums[1].value;
        std::time_t now = std::time(nullptr);
        std::tm tmv{};
        localtime_r(&now, &tmv);
        y = tmv.tm_year + 1900;
    } else if (nums.empty()) {
        has_date = false;
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    if (!has_date && time_parts == 0) return DISP_E_TYPEMISMATCH;
    if (time_parts == 1 && ampm < 0) return DISP_E_TYPEMISMATCH;

    DATE result = 0;
    if (has_date && !(dwFlags & VAR_TIMEVALUEONLY)) {
        if (!make_date(static_cast<int>(y), static_cast<unsigned>(m), static_cast<unsigned>(d), 0, 0, 0, 0, &result))
            return DISP_E_TYPEMISMATCH;
    }
    if (hms[0] > 23 || hms[1] > 59 || hms[2] > 59) return DISP_E_TYPEMISMATCH;
    if (!(dwFlags & VAR_DATEVALUEONLY)) {
        const double frac = (hms[0] * 3600000.0 + hms[1] * 60000.0 + hms[2] * 1000.0 + ms) / 86400000.0;
        result = result >= 0 ? result + frac : result - frac;
    }
    *pdateOut = result;
    return S_OK;
}

HRESULT VarBstrFromDate(DATE dateIn, LCID, ULONG, BSTR* pbstrOut)
{
    if (!pbstrOut) return E_INVALIDARG;
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(dateIn, &st)) return DISP_E_OVERFLOW;
    std::string text;
    char buf[64];
    const bool has_date = std::trunc(dateIn) != 0;
    const bool has_time = st.wHour || st.wMinute || st.wSecond;
    if (has_date || !has_time) {
        std::snprintf(buf, sizeof(buf), "%u/%u/%u", st.wMonth, st.wDay, st.wYear);
        text = buf;
    }
    if (has_time) {
        const unsigned h12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
        std::snprintf(buf, sizeof(buf), "%u:%02u:%02u %s", h12, st.wMinute, st.wSecond, st.wHour < 12 ? "AM" : "PM");
        if (!text.empty()) text += ' ';
        text += buf;
    }
    std::wstring wide(text.begin(), text.end());
    BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!b) return E_OUTOFMEMORY;
    *pbstrOut = b;
    return S_OK;
}
