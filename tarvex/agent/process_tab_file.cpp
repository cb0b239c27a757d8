// The agent's table-list file: one SQL Server table name per line.
#include <fstream>
#include <vector>

#include "TK/tk_file_exist.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "tarvex/agent/agent_cmd_line.h"
#include "tarvex/agent/agent_console.h"
#include "tarvex/tarvex_convertor.h"

void process_tab_file(const char* path, tarvex_convertor& driver)
{
    tk_logger::log(1, "process_tab_file(%s)", path);
    static const char* const k_missing =
        "Table names file does not exist.\nPlease verify the correct path/name was given.";
    if (!tk_is_file_exist(std::string(path), TK_FILE_READ)) agent_console::fatal_exit(k_missing);
    std::ifstream in(path, std::ios::binary);
    if (!in) agent_console::fatal_exit(k_missing);

    std::vector<std::wstring> names;
    bool utf8 = false;
    bool first_seen = false;
    std::string line;
    // Whole lines of any length; a trailing carriage return is not part of a name.
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (!first_seen) {
            first_seen = true;
            utf8 = line.compare(0, 3, "\xEF\xBB\xBF") == 0;
            if (utf8) line.erase(0, 3);
            if (line.empty()) continue; // a mark alone on its line names no table
        }
        names.push_back(utf8 ? to_unicode(line) : to_unicode(line, -1));
    }
    if (in.bad()) agent_console::fatal_exit(k_missing);
    driver.selected_tables = std::move(names);
}
