#include "TK/tk_reg_key.h"

#include <cstring>
#include <cwchar>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

namespace {
bool is_text(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }
} // namespace

tk_reg_key::~tk_reg_key() { close(); }

LSTATUS tk_reg_key::open(HKEY root, const char* sub_key, char* cls, DWORD options, REGSAM access, void* security,
                         DWORD* disposition)
{
    if (!root) throw tk_mail_assertion("tk_regk", 64);
    HKEY opened = nullptr;
    DWORD disp = 0;
    LSTATUS status = RegCreateKeyExA(root, sub_key, 0, cls, options, access, security, &opened, &disp);
    if (status != ERROR_SUCCESS) return status;
    if (disposition) *disposition = disp;
    close();
    key = opened;
    return status;
}

LSTATUS tk_reg_key::close()
{
    if (!key) return ERROR_SUCCESS;
    LSTATUS status = RegCloseKey(key);
    key = nullptr;
    return status;
}

LSTATUS tk_reg_key::get_value(DWORD& value, const char* name)
{
    if (!name) throw tk_mail_assertion("tk_regk", 98);
    tk_logger::log(2, "tk_reg_key::get_value(ulong, %s)", name);
    DWORD type = REG_NONE;
    DWORD read = 0;
    DWORD size = sizeof(read);
    LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&read), &size);
    tk_logger::log(1, "type=%d, size=%d", static_cast<int>(type), static_cast<int>(size));
    if ((status == ERROR_SUCCESS || status == ERROR_MORE_DATA) && type != REG_DWORD) return ERROR_INVALID_DATATYPE;
    if (status == ERROR_SUCCESS) value = read;
    return status;
}

LSTATUS tk_reg_key::get_value(char* buffer, const char* name, DWORD* size)
{
    if (!size) throw tk_mail_assertion("tk_regk", 115);
    if (!name) throw tk_mail_assertion("tk_regk", 116);
    tk_logger::log(2, "tk_reg_key::get_value(LPSTR, %s)", name);
    DWORD type = REG_NONE;
    LSTATUS status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), size);
    tk_logger::log(1, "type=%d, size=%d", static_cast<int>(type), static_cast<int>(*size));
    if ((status == ERROR_SUCCESS || status == ERROR_MORE_DATA) && !is_text(type)) return ERROR_INVALID_DATATYPE;
    return status;
}

LSTATUS tk_reg_key::get_value(wchar_t* buffer, const wchar_t* name, DWORD* size)
{
    if (!size) throw tk_mail_assertion("tk_regk", 132);
    if (!name) throw tk_mail_assertion("tk_regk", 133);
    tk_logger::log(2, L"tk_reg_key::get_value(LPWSTR, %s)", name);
    DWORD type = REG_NONE;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), size);
    tk_logger::log(1, "type=%d, size=%d", static_cast<int>(type), static_cast<int>(*size));
    if ((status == ERROR_SUCCESS || status == ERROR_MORE_DATA) && !is_text(type)) return ERROR_INVALID_DATATYPE;
    return status;
}

LSTATUS tk_reg_key::set_value(DWORD value, const char* name)
{
    if (!key) throw tk_mail_assertion("tk_regk", 149);
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LSTATUS tk_reg_key::set_value(const char* text, const char* name)
{
    if (!text) throw tk_mail_assertion("tk_regk", 156);
    if (!key) throw tk_mail_assertion("tk_regk", 157);
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
}

LSTATUS tk_reg_key::set_value(const wchar_t* text, const wchar_t* name)
{
    if (!text) throw tk_mail_assertion("tk_regk", 164);
    if (!key) throw tk_mail_assertion("tk_regk", 165);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t)));
}
