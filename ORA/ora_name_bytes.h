// Oracle measures identifiers in bytes of the database character set (UTF-8 here).
#pragma once
#include <cstddef>
#include <string>

// Bytes of the UTF-8 form of `text`.
size_t ora_name_bytes(const std::wstring& text);

// The longest head of `text` whose UTF-8 form takes at most `bytes` bytes,
// cut between characters.
std::wstring ora_fit_bytes(const std::wstring& text, size_t bytes);
