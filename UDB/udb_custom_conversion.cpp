#include "UDB/udb_custom_conversion.h"

#include <memory>
#include <vector>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

namespace {

// A conversion rule; none is ever registered.
class conversion_rule {
public:
    virtual ~conversion_rule() = default;
    virtual bool accepts_value(const udb_field& value) const = 0;
    virtual bool accepts_column(const t_ftd& column) const = 0;
    virtual std::wstring value_text(const udb_field& value) const = 0;
    virtual void column_action(const t_ftd& column, std::wstring& type_name) const = 0;
    virtual std::wstring column_type(const t_ftd& column) const = 0;
};

const std::vector<std::unique_ptr<conversion_rule>>& rules()
{
    static const std::vector<std::unique_ptr<conversion_rule>> none;
    return none;
}

} // namespace

bool udb_custom_conversion::is_acceptable1(const t_ftd& column)
{
    tk_logger::log(1, "udb_custom_conversion::is_acceptable1");
    for (const auto& r : rules())
        if (r->accepts_column(column)) return true;
    return false;
}

std::wstring udb_custom_conversion::handle1(const t_ftd& column)
{
    tk_logger::log(1, "udb_custom_conversion::handle1");
    for (const auto& r : rules())
        if (r->accepts_column(column)) return r->column_type(column);
    return std::wstring();
}

void udb_custom_conversion::handle1_1(const t_ftd& column, std::wstring& type_name)
{
    tk_logger::log(1, "udb_custom_conversion::handle1_1");
    for (const auto& r : rules()) {
        if (r->accepts_column(column)) {
            r->column_action(column, type_name);
            return;
        }
    }
}

bool udb_custom_conversion::is_acceptable2(const udb_field& value)
{
    tk_logger::log(1, "udb_custom_conversion::is_acceptable2");
    for (const auto& r : rules())
        if (r->accepts_value(value)) return true;
    return false;
}

std::wstring udb_custom_conversion::handle2(const udb_field& value)
{
    tk_logger::log(1, "udb_custom_conversion::handle2");
    if (rules().empty()) return std::wstring();
    for (const auto& r : rules())
        if (r->accepts_value(value)) return r->value_text(value);
    throw tk_mail_assertion("udb_rule", 88);
}
