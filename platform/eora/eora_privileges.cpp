#include "platform/eora/eora_privileges.h"

#include <algorithm>

namespace eora::priv {

const std::vector<std::string_view>& all()
{
    static const std::vector<std::string_view> list = {
        create_session,   create_user,           alter_user,           drop_user,           create_table,
        create_any_table, alter_any_table,       drop_any_table,       comment_any_table,   lock_any_table,
        select_any_table, insert_any_table,      update_any_table,     delete_any_table,    create_any_index,
        drop_any_index,   create_sequence,       create_any_sequence,  drop_any_sequence,   select_any_sequence,
        create_trigger,   create_any_trigger,    drop_any_trigger,     create_view,         create_any_view,
        drop_any_view,    select_any_dictionary, unlimited_tablespace, grant_any_privilege, grant_any_role,
    };
    return list;
}

bool known(std::string_view name)
{
    const auto& l = all();
    return std::find(l.begin(), l.end(), name) != l.end();
}

const std::vector<std::string_view>& converter_set()
{
    // Those of an overwrite, the mode that needs most, and CREATE VIEW for the views a run may convert.
    static const std::vector<std::string_view> list = {
        create_session,   create_user,      alter_user,          create_any_table,   alter_any_table,
        drop_any_table,   create_any_index, create_any_sequence, create_any_trigger, insert_any_table,
        update_any_table, select_any_table, create_view,
    };
    return list;
}

} // namespace eora::priv
