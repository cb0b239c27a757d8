#include "ORA/ora_field_finder.h"

#include "ORA/ora_validator.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "TK/tk_wstring.h"

ora_field_finder::ora_field_finder(const udb_record& record, bool b_uppercase) : b_uppercase(b_uppercase)
{
    tk_logger::log(1, "ora_field_finder::ctor");
    tk_logger::log(1, "ora_field_finder::intialize");
    std::vector<std::wstring> field_names;
    for (size_t i = 0; i < record.size(); ++i) field_names.push_back(record[i].name);
    ora_fn_validator validator(field_names);
    for (size_t i = 0; i < record.size(); ++i) {
        std::wstring name = record[i].name;
        if (b_uppercase) name = tk_wstring(name).to_upper();
        if (validator.is_acceptable(name)) {
            tk_logger::log(1, L"Name '%s' is safe", name.c_str());
        } else {
            const std::wstring safe = validator.get_safe_name(name);
            tk_logger::log(1, L"Generate safe name: %s->%s", name.c_str(), safe.c_str());
            name = safe;
            validator.add_existing_name(name);
        }
        names.push_back(name);
        validator.restricted_names.push_back(name);
    }
}

int32_t ora_field_finder::get_field_idx(const std::wstring& name) const
{
    tk_logger::log(1, "ora_field_finder::get_field_idx");
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int32_t>(i);
    return -1;
}
