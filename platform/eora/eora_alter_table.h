// ALTER TABLE as the embedded Oracle parses it, before any change is made.
#pragma once
#include "platform/eora/eora_session_impl.h"

#include <optional>
#include <string>
#include <vector>

namespace eora {

struct alter_table_stmt {
    enum class action { add_key, add_foreign_key, modify_column };
    name_ref table;
    action what = action::modify_column;

    // ADD [CONSTRAINT name] PRIMARY KEY | UNIQUE | FOREIGN KEY (columns)
    std::string constraint; // empty: the system names it
    bool primary = false;
    std::vector<std::string> columns;
    name_ref referenced; // FOREIGN KEY ... REFERENCES table (columns)
    std::vector<std::string> referenced_columns;
    std::string delete_rule = "NO ACTION"; // ON DELETE CASCADE / SET NULL

    // MODIFY [(] column [type] [DEFAULT expr] [NOT NULL | NULL] [)]
    std::string column;
    std::optional<col_type> type;
    std::optional<std::string> default_text; // as written
    std::optional<bool> nullable;
};

// Parses ALTER TABLE from the token after TABLE to the end of the statement.
// A DEFAULT is read as a literal of the session `s` (ORA errors of its value
// too). Raises ORA-00940 for an action other than ADD or MODIFY, ORA-00904
// for an ADD other than a key, and the syntax errors of each clause.
alter_table_stmt parse_alter_table(session::impl& s, const statement& st, parser& p);

} // namespace eora
