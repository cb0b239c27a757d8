// Custom conversion rules that may override a column's target type text or
// a value's literal text. No rule is registered in this system, so every
// query answers as for an empty rule list.
#pragma once
#include <string>

struct t_ftd;
class udb_field;

class udb_custom_conversion {
public:
    static bool is_acceptable1(const t_ftd& column);
    static std::wstring handle1(const t_ftd& column);
    static void handle1_1(const t_ftd& column, std::wstring& type_name);
    static bool is_acceptable2(const udb_field& value);
    static std::wstring handle2(const udb_field& value);
};
