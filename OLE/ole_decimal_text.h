// Plain decimal number texts, the form in which SQL Server sends an exact
// numeric and Oracle takes a NUMBER literal.
#pragma once
#include <string>

// "-0012.500" gives "-12.5", "+.50" gives "0.5", "-0.0" gives "0"; a text that
// is not [+-]digits[.digits] (blanks, exponents, grouping) gives "".
std::wstring ole_canonical_decimal(const std::wstring& text);

// The text is already in that canonical form.
bool ole_is_canonical_decimal(const std::wstring& text);
