// UTF-8 and wide text at the provider's seam (wide text is wchar_t).
#pragma once
#include <string>

std::wstring odbp_widen(const std::string& utf8);
std::string odbp_narrow(const std::wstring& wide);
std::string odbp_narrow(const wchar_t* wide);
