// SQLite names of the embedded Oracle's objects. SQLite compares names
// without regard to ASCII case and keeps tables, views, indexes and triggers
// in one namespace; Oracle compares quoted names exactly and keeps indexes
// and constraints apart from tables. Each Oracle name is therefore stored in
// a form that keeps its case apart ('~' before each lower-case letter), and
// each kind of object gets a prefix of its own.
#pragma once
#include <string>
#include <string_view>

namespace eora {

// The SQLite form of one Oracle name (a column, an alias, one part of a
// table name): '~' before each ASCII lower-case letter, '~' and '.'.
std::string stored_name(std::string_view oracle_name);
// The Oracle name of a stored form; text that is no stored form (an
// expression SQLite named a result column after) comes back as it is.
std::string oracle_name(std::string_view stored);

// SQLite name of a table or view (tables, views and sequences share a namespace).
std::string table_storage(const std::string& owner, const std::string& name);
// SQLite name of an index: never equal to a table's.
std::string index_storage(const std::string& owner, const std::string& name);
// SQLite name of a trigger that enforces a constraint, one for each `what`.
std::string constraint_storage(const std::string& owner, const std::string& name, const std::string& what);

// A column or alias quoted for SQLite text.
std::string q_name(std::string_view oracle_name);

} // namespace eora
