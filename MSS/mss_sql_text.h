// Quoting of names and values that are put into SQL Server statement texts,
// and of values put into OLE DB connection strings.
#pragma once
#include <string>

// A string literal: 'text' with every quote doubled. Texts that hold a quote
// or any non-ASCII character get the N prefix so that the server keeps them
// as Unicode; plain ASCII names stay byte-identical to the unquoted form.
std::wstring sql_literal(const std::wstring& text);

// A bracketed identifier: [name] with every ']' doubled. A name that already
// is in bracketed form ("[a]]b]", "[o].[t]") passes unchanged.
std::wstring sql_ident(const std::wstring& name);

// Whether the text is a bracketed identifier (or a dotted chain of them)
// whose inner ']' characters are all doubled.
bool sql_is_bracketed(const std::wstring& name);

// A value for a "key=value;" connection string: values holding ';', '=',
// quotes, braces or outer blanks are enclosed in double quotes (embedded
// double quotes doubled); any other value is returned as it is.
std::wstring conn_string_value(const std::wstring& value);
