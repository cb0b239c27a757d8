// The single value type of the database model: a VARIANT plus shadows that
// keep 64-bit integers and dates with milliseconds exact.
#pragma once
#include "OLE/ole_cast_exception.h"
#include "OLE/ole_type_exception.h"
#include "platform/oleaut/oleauto.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A one-dimensional SAFEARRAY of bytes: the form every binary value takes.
constexpr VARTYPE VT_BYTE_ARRAY = VT_ARRAY | VT_UI1;

class ole_variant {
public:
    ole_variant();
    explicit ole_variant(const SYSTEMTIME& st);
    // A date whose fraction goes below the millisecond: `sub_ms_ns` nanoseconds (0 to 999999) more.
    ole_variant(const SYSTEMTIME& st, uint32_t sub_ms_ns);
    ole_variant(const CY& cy);
    ole_variant(const DECIMAL& dec);
    ole_variant(const OLECHAR* bstr); // a copy up to the first NUL
    ole_variant(bool b);
    ole_variant(char c);
    ole_variant(BYTE b);
    ole_variant(short s);
    ole_variant(unsigned short s);
    ole_variant(int i);
    ole_variant(unsigned int u);
    ole_variant(long i8);
    ole_variant(long long i8);
    ole_variant(unsigned long ui8);
    ole_variant(unsigned long long ui8);
    ole_variant(float f);
    ole_variant(double d);
    ole_variant(const BYTE* data, size_t count); // binary
    ole_variant(const char* text);               // as std::string; never a bool
    ole_variant(const std::string& text);
    ole_variant(const std::wstring& text);
    ole_variant(const ole_variant& src);
    virtual ~ole_variant();

    ole_variant& operator=(const ole_variant& src);
    ole_variant& operator=(const OLECHAR* bstr);
    ole_variant& operator=(const std::vector<BYTE>& bytes);
    ole_variant& operator=(const std::string& text);
    ole_variant& operator=(const std::wstring& text);

    virtual std::string to_string() const;
    virtual std::wstring to_wstring() const;

    // Byte arrays.
    void allocate_safe_array(size_t size);
    void attach_binary(const BYTE* data, size_t count);
    void attach_binary(const std::vector<BYTE>& bytes);
    // The element count and the array's data (null when there is none).
    size_t get_bytes(BYTE** data) const;

    void get_systemtime(SYSTEMTIME& st) const;
    // The date's text with every digit of its fraction as to_string gives it.
    std::string date_text() const;

    void attach_string(const std::string& text);
    void attach_wstring(const std::wstring& text);

    int to_long() const;
    LONGLONG to_i8() const;
    ULONGLONG to_ui8() const;
    double to_double() const;
    bool to_bool() const;

    static ole_variant from_string(const std::string& text, VARTYPE vt);
    static ole_variant from_wstring(const std::wstring& text, VARTYPE vt);

    // Converts in place; a refused conversion throws ole_cast_exception.
    void change_type(VARTYPE vt);

    static bool is_binary(VARTYPE vt);

    LONGLONG i8_value = 0;       // the value while the type is VT_I8
    ULONGLONG ui8_value = 0;     // the value while the type is VT_UI8
    SYSTEMTIME date_parts{};     // the date with milliseconds while the type is VT_DATE
    uint32_t date_sub_ms_ns = 0; // and the nanoseconds below its milliseconds (0 to 999999)
    VARIANT value;

private:
    void initialize();
    void copy_from(const ole_variant& src);
    void clear();
    void set_date(const SYSTEMTIME& st);
    void set_bytes_from(const void* data, size_t count);
    void change_from_64(VARTYPE vt);
    void change_to_64(VARTYPE vt);
    void change_to_binary(VARTYPE vt);
};

// upper - lower + 1 of the array's first dimension, 0 when lower > upper.
int get_safe_array_size(const SAFEARRAY* psa);

// Replaces the vector's content by the count bytes and returns it.
std::vector<BYTE>& convert_to_byte_array(const BYTE* data, size_t count, std::vector<BYTE>& out);
