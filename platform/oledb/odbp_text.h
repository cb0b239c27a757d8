// UTF-8 and wide text at the provider's seam (wide text is wchar_t).
#pragma once
#include <string>

std::wstring odbp_widen(const std::string& utf8);
// The same into out, whose room is reused (a malformed byte gives U+FFFD).
void odbp_widen(const std::string& utf8, std::wstring& out);
std::string odbp_narrow(const std::wstring& wide);
std::string odbp_narrow(const wchar_t* wide);
