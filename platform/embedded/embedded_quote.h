// Quoting of names and text for SQL that the embedded servers hand to SQLite.
#pragma once
#include <string>

namespace embedded {

// An SQLite identifier: "name", with each " doubled.
std::string quote_ident(const std::string& name);
// An SQLite text literal: 'text', with each ' doubled.
std::string quote_literal(const std::string& text);

} // namespace embedded
