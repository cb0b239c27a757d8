// Text at the OCI seam: OCI works in UTF-16 while the product's wide text is wchar_t.
#pragma once
#include <string>
#include <string_view>

std::u16string ora_to_u16(std::wstring_view text);
// The same conversion into a buffer kept by the caller, whose room is reused.
void ora_to_u16(std::wstring_view text, std::u16string& out);
std::wstring ora_from_u16(const char16_t* text, size_t chars);
std::wstring ora_from_u16(const std::u16string& text);
// Length in chars of a NUL-terminated UTF-16 buffer, bounded by the buffer size.
size_t ora_u16_len(const char16_t* text, size_t max_chars);
