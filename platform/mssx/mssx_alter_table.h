// ALTER TABLE of the embedded server as a structure: the statement is parsed
// whole (syntax errors first, as on the server) and then applied to the catalog.
#pragma once
#include <optional>
#include <string>
#include <vector>
#include "platform/mssx/mssx_create_table.h"
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_token_reader.h"

enum class mssx_alter_action {
    add_column,        // ADD name type [NULL | NOT NULL] [DEFAULT x [WITH VALUES]] ... | name AS expression
    add_key,           // ADD [CONSTRAINT n] PRIMARY KEY | UNIQUE [CLUSTERED | NONCLUSTERED] (cols)
    add_foreign_key,   // ADD [CONSTRAINT n] FOREIGN KEY (cols) REFERENCES t [(cols)] [ON DELETE|UPDATE ...]
    add_check,         // ADD [CONSTRAINT n] CHECK (expression)
    add_default,       // ADD [CONSTRAINT n] DEFAULT expression FOR column
    drop_constraint,   // DROP [CONSTRAINT] n [, n ...]
    drop_column,       // DROP COLUMN n [, n ...]
    alter_column,      // ALTER COLUMN name type [COLLATE c] [NULL | NOT NULL]
    enable_constraints // CHECK | NOCHECK CONSTRAINT ALL | n [, n ...]
};

struct mssx_alter_table {
    std::vector<std::string> table; // name parts as written
    std::optional<bool> with_check; // WITH CHECK / WITH NOCHECK before the action
    mssx_alter_action action = mssx_alter_action::add_column;
    std::string constraint; // ADD CONSTRAINT name; empty for a generated name

    // add_column: the column as written (type, nullability, default, identity, constraints, computed)
    std::optional<mssx_column_spec> column_spec;
    // ADD a, b, ...: the items after the first, each an ADD of its own, applied in order
    std::vector<mssx_alter_table> more;

    // add_column, alter_column, add_default (its column)
    std::string column;
    mssx_type_spec type;
    std::optional<bool> nullable; // NULL / NOT NULL as written
    std::string collation;        // ALTER COLUMN ... COLLATE

    // add_key, add_foreign_key (referencing columns)
    bool primary = false;
    std::optional<bool> clustered;
    std::vector<std::string> columns;
    std::vector<bool> descending; // add_key: which columns are DESC

    // add_foreign_key
    std::vector<std::string> ref_table; // name parts as written
    std::vector<std::string> ref_columns;
    std::string on_delete, on_update; // "CASCADE", "NO ACTION", "SET NULL", "SET DEFAULT" or empty

    // add_check: "(expression)" as written; add_default: the stored form "((0))"
    std::string expression;

    // drop_constraint, drop_column, enable_constraints
    std::vector<std::string> names;
    bool all = false;    // CHECK | NOCHECK CONSTRAINT ALL
    bool enable = false; // CHECK (true) or NOCHECK (false) CONSTRAINT
};

// Parses ALTER TABLE from the tokens [from, to) of `text`; toks[from] is ALTER.
// Throws the server's syntax errors (102, 156) for malformed statements.
mssx_alter_table mssx_parse_alter_table(const std::vector<mssx_token>& toks, const std::string& text, size_t from,
                                        size_t to);
