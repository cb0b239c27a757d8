#include "UDB/udb_record.h"

#include "TK/tk_logger.h"
#include "UDB/udb_name_compare.h"

udb_record::~udb_record() { clear(); }

bool udb_record::find_field(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_record::find_field(%s)", name.c_str());
    for (const auto& f : fields) {
        if (!f) continue;
        tk_logger::log(1, L"Processing %s", f->name.c_str());
        if (udb_same_name(f->name, name)) return true;
    }
    return false;
}

udb_field& udb_record::find_field(const std::wstring& name, field_ref_t)
{
    tk_logger::log(1, L"udb_schema::find_field(%s)", name.c_str());
    for (const auto& f : fields)
        if (f && udb_same_name(f->name, name)) return *f;
    // A caller may have written into the previous answer: hand out a fresh empty field.
    if (!empty_)
        empty_ = std::make_unique<udb_field>();
    else
        *empty_ = udb_field();
    return *empty_;
}

void udb_record::clear() { fields.clear(); }
