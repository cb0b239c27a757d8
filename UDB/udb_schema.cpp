#include "UDB/udb_schema.h"

#include "TK/tk_logger.h"
#include "UDB/udb_name_compare.h"

udb_schema::udb_schema(bool flag) : flag(flag) { tk_logger::log(1, "udb_schema::ctor"); }

udb_schema::~udb_schema()
{
    tk_logger::log(1, "udb_schema::dtor");
    fields.clear();
    tk_logger::log(1, "udb_schema::dtor - at the end");
}

t_ftd* udb_schema::lookup(const std::wstring& name) const
{
    for (const auto& f : fields)
        if (f && udb_same_name(f->name, name)) return f.get();
    return nullptr;
}

t_ftd& udb_schema::missing(const std::wstring& name)
{
    tk_logger::log(3, L"Field '%s' not found", name.c_str());
    // Callers may have edited the previous answer; hand out a fresh empty one.
    empty_ = t_ftd();
    return empty_;
}

const t_ftd& udb_schema::missing_const(const std::wstring& name)
{
    tk_logger::log(3, L"Field '%s' not found", name.c_str());
    static const t_ftd empty;
    return empty;
}

bool udb_schema::find_field(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_schema::find_field(%s)", name.c_str());
    tk_logger::log(1, "Schema size=%d", static_cast<int>(fields.size()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const t_ftd* f = fields[i].get();
        tk_logger::log(1, "Processing field #%d, ptr=%p", static_cast<int>(i), static_cast<const void*>(f));
        if (!f) continue;
        tk_logger::log(1, L"Field name: '%s'", f->name.c_str());
        if (udb_same_name(f->name, name)) return true;
    }
    return false;
}

int32_t udb_schema::get_field_idx(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_schema::get_field_idx(%s)", name.c_str());
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i] && udb_same_name(fields[i]->name, name)) return static_cast<int32_t>(i);
    return -1;
}

uint32_t udb_schema::get_field_size(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_schema::get_field_size(%s)", name.c_str());
    if (const t_ftd* f = lookup(name)) return f->size;
    tk_logger::log(3, L"Field '%s' not found", name.c_str());
    return 0xFFFFFFFFu;
}

VARTYPE udb_schema::get_field_type(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_schema::get_field_type(%s)", name.c_str());
    if (const t_ftd* f = lookup(name)) return f->vartype;
    tk_logger::log(2, L"Field '%s' not found", name.c_str());
    return VT_NULL;
}

t_ftd& udb_schema::get_field1(const std::wstring& name)
{
    tk_logger::log(1, L"udb_schema::get_field1(%s)", name.c_str());
    if (t_ftd* f = lookup(name)) return *f;
    return missing(name);
}

t_ftd& udb_schema::get_field2(const std::wstring& name)
{
    tk_logger::log(1, L"udb_schema::get_field2(%s)", name.c_str());
    if (t_ftd* f = lookup(name)) return *f;
    return missing(name);
}

const t_ftd& udb_schema::get_field1(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_schema::get_field1(%s)", name.c_str());
    if (const t_ftd* f = lookup(name)) return *f;
    return missing_const(name);
}

const t_ftd& udb_schema::get_field2(const std::wstring& name) const
{
    tk_logger::log(1, L"udb_schema::get_field2(%s)", name.c_str());
    if (const t_ftd* f = lookup(name)) return *f;
    return missing_const(name);
}

void udb_schema::set_field_comment(const std::wstring& name, const std::wstring& comment)
{
    tk_logger::log(1, L"udb_schema::set_field_comment(%s,%s)", name.c_str(), comment.c_str());
    if (comment.empty()) return;
    if (t_ftd* f = lookup(name))
        f->comment = comment;
    else
        tk_logger::log(2, L"Field '%s' not found", name.c_str());
}

bool udb_schema::conform_to(const udb_schema& dest) const
{
    tk_logger::log(1, "udb_schema::conform_to");
    if (fields.size() != dest.fields.size()) {
        tk_logger::log(2, "Tables are not conformed: src_size=%d, dest_size=%d", static_cast<int>(fields.size()),
                       static_cast<int>(dest.fields.size()));
        return false;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const t_ftd& s = *fields[i];
        const t_ftd& d = *dest.fields[i];
        if (!s.conform_to(d)) {
            tk_logger::log(2, "Column #%d doesn't conform (src_vt=%d, src_size=%d, dest_vt=%d, dest_size=%d)",
                           static_cast<int>(i + 1), static_cast<int>(s.vartype), static_cast<int>(s.size),
                           static_cast<int>(d.vartype), static_cast<int>(d.size));
            return false;
        }
    }
    return true;
}
