// CREATE TABLE of the embedded server as a structure: the statement is parsed
// whole (syntax errors first, as on the server) and then checked against the
// catalog and created.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_token_reader.h"

enum class mssx_constraint_kind {
    key,           // PRIMARY KEY | UNIQUE [CLUSTERED | NONCLUSTERED] [(cols)]
    foreign_key,   // [FOREIGN KEY (cols)] REFERENCES t [(cols)] [ON DELETE | UPDATE ...]
    check,         // CHECK (expression)
    default_value, // DEFAULT expression, on a column only
};

struct mssx_constraint_spec {
    mssx_constraint_kind kind = mssx_constraint_kind::key;
    std::string name;                 // CONSTRAINT name; empty for a generated name
    bool primary = false;             // key
    std::optional<bool> clustered;    // key
    std::vector<std::string> columns; // key, foreign_key; empty for the column it is declared on
    std::vector<bool> descending;     // key: which columns are DESC
    std::vector<std::string> ref_table;
    std::vector<std::string> ref_columns;
    std::string on_delete, on_update; // "CASCADE", "NO ACTION", "SET NULL", "SET DEFAULT" or empty
    std::string expression;           // check: "(expression)" as written; default_value: the stored form "((0))"
};

struct mssx_column_spec {
    std::string name;
    mssx_type_spec type;          // empty name for a computed column
    std::string computed;         // AS expression, as written
    std::optional<bool> nullable; // the last of NULL, NOT NULL and IDENTITY (not null)
    bool identity = false;
    int64_t seed = 1, increment = 1;
    std::string collation;
    std::vector<mssx_constraint_spec> constraints;
    bool with_values = false;            // DEFAULT ... WITH VALUES (ALTER TABLE ADD: rows there take the default)
    std::vector<std::string> xml_schema; // typed xml: the XML schema collection's name parts
    bool xml_document = false;           // xml(DOCUMENT collection)
};

// One item of the table's list: a column or a table constraint, in the order written.
struct mssx_table_element {
    std::optional<mssx_column_spec> column;
    mssx_constraint_spec constraint; // when no column
};

struct mssx_create_table {
    std::vector<std::string> table; // name parts as written
    std::vector<mssx_table_element> elements;
};

// Reads the items of a table's definition: columns and constraints, as CREATE
// TABLE and ALTER TABLE ... ADD write them.
class mssx_table_item_reader : protected mssx_token_reader {
public:
    using mssx_token_reader::mssx_token_reader;

protected:
    // The end of the item at k: the comma at its level or `close`.
    size_t item_end(size_t close) const;
    // name type [NULL | NOT NULL | IDENTITY ... | COLLATE c | constraints] or name AS expression ...
    mssx_column_spec column();
    // PRIMARY KEY | UNIQUE ..., FOREIGN KEY ... REFERENCES ..., CHECK (...), DEFAULT x (on a column only)
    mssx_constraint_spec constraint(const std::string& cname, bool on_column);

private:
    mssx_column_spec computed(mssx_column_spec& col);
    void identity(mssx_column_spec& col);
    bool integer(size_t a, size_t b, int64_t& out) const;
    mssx_constraint_spec column_constraint();
};

// Parses CREATE TABLE from the tokens [from, to) of `text`; toks[from] is CREATE.
// Throws the server's syntax errors (102, 156) for malformed statements.
mssx_create_table mssx_parse_create_table(const std::vector<mssx_token>& toks, const std::string& text, size_t from,
                                          size_t to);
