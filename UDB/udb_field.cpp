#include "UDB/udb_field.h"

#include "TK/tk_logger.h"

udb_field::udb_field() { tk_logger::log(1, "udb_field::empty ctor"); }

udb_field::udb_field(const std::wstring& name, int32_t size, const ole_variant& value, bool, bool)
    : ole_variant(value), size(size), name(name)
{
    tk_logger::log(1, "udb_field::ctor #2");
    tk_logger::log(1, L"name=%s, size=%d", name.c_str(), static_cast<int>(size));
}

udb_field::udb_field(const udb_field& other) : ole_variant(other), size(other.size), name(other.name)
{
    tk_logger::log(1, "udb_field::copy ctor");
}

udb_field& udb_field::operator=(const udb_field& other)
{
    if (this != &other) {
        ole_variant::operator=(other);
        size = other.size;
        name = other.name;
    }
    return *this;
}

udb_field::~udb_field() = default;

VARTYPE udb_field::get_type() const
{
    tk_logger::log(1, "ole_variant::get_type");
    return value.vt;
}
