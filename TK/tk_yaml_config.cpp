#include "TK/tk_yaml_config.h"

#include <fstream>

#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/win32/win_line_reader.h"

bool tk_yaml_config::load(const char* file, std::map<std::wstring, std::vector<std::wstring>>& out,
                          const std::set<std::wstring>& excluded)
{
    tk_logger::log(2, "tk_yaml_config::load(%s)", file ? file : "");
    if (!file) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string key;
    std::string line;
    // Files written on Windows: a byte-order mark and CRLF line ends.
    win_line_reader reader(in);
    while (reader.next(line)) {
        tk_logger::log(1, "Got text line: %s", line.c_str());
        std::string text = tk_trim(line);
        if (text.empty()) {
            tk_logger::log(1, "Skip empty line");
            continue;
        }
        if (text.back() == ':') {
            key = text.substr(0, text.size() - 1);
            continue;
        }
        if (text.front() != '-') continue;
        const std::string value = tk_trim(text.substr(1));
        std::wstring wide_value = to_unicode(value);
        if (excluded.count(wide_value)) {
            tk_logger::log(1, "String '%s' has not passed the filter", value.c_str());
            continue;
        }
        out[to_unicode(key)].push_back(wide_value);
        tk_logger::log(1, "String '%s' has been stored under key='%s'", value.c_str(), key.c_str());
    }
    return true;
}
