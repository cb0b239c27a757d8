#include "MSS/odb_meta_data.h"

odb_pk_meta_data::odb_pk_meta_data(IOpenRowset* session, const std::wstring& table, const std::wstring& owner)
    : odb_meta_data<3>(session)
{
    tk_logger::log(1, L"odb_pk_meta_data::ctor(%s)", table.c_str());
    if (!owner.empty()) set_restriction(1, owner);
    set_restriction(2, table);
    internal_initialize(DBSCHEMA_PRIMARY_KEYS);
}

odb_fk_meta_data::odb_fk_meta_data(IOpenRowset* session, const std::wstring& table, const std::wstring& owner)
    : odb_meta_data<6>(session)
{
    tk_logger::log(1, L"odb_fk_meta_data::ctor(%s)", table.c_str());
    if (!owner.empty()) set_restriction(1, owner);
    set_restriction(2, table);
    internal_initialize(DBSCHEMA_FOREIGN_KEYS);
}

odb_id_meta_data::odb_id_meta_data(IOpenRowset* session, const std::wstring& table, const std::wstring& owner)
    : odb_meta_data<5>(session)
{
    tk_logger::log(1, L"odb_id_meta_data::ctor(%s)", table.c_str());
    if (!owner.empty()) set_restriction(1, owner);
    set_restriction(4, table);
    internal_initialize(DBSCHEMA_INDEXES);
}

odb_tl_meta_data::odb_tl_meta_data(IOpenRowset* session, const std::wstring& owner) : odb_meta_data<4>(session)
{
    tk_logger::log(1, "odb_tl_meta_data::ctor");
    if (!owner.empty()) set_restriction(1, owner);
    set_restriction(3, L"TABLE");
    internal_initialize(DBSCHEMA_TABLES);
}
