// The user's change to one column: new name, target type, or dropped.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "OLE/ole_long_value.h"
#include "OLE/ole_variant.h"
#include "TK/tk_logger.h"
#include "UDB/t_ftd.h"
#include "UDB/udb_field.h"
#include "UDB/udb_value_exception.h"
#include "tarvex/mutator_conversion_exception.h"
#include "tarvex/udb_properties.h"

template <class Field, class NativeType>
class udb_field_mutator : public udb_properties {
public:
    static constexpr int32_t status_changed = 1;
    static constexpr int32_t status_dropped = 2;

    udb_field_mutator(const std::wstring& name, const NativeType& nt, int32_t st = status_changed)
        : new_name(name), native_type(nt), status(st)
    {}

    property_map& get_properties() override
    {
        properties.clear();
        properties[L"new_name"] = new_name;
        properties[L"type"] = native_type.name;
        properties[L"default_value"] = native_type.default_value;
        properties[L"character_set"] = native_type.character_set;
        properties[L"length"] = std::to_wstring(native_type.length);
        properties[L"scale"] = std::to_wstring(native_type.scale);
        properties[L"precision"] = std::to_wstring(native_type.precision);
        return properties;
    }
    udb_properties* get_child(const std::wstring&) override { return nullptr; }
    udb_properties* get_child_by_target(const std::wstring&) override { return nullptr; }

    // A copy of the source column that carries the chosen type's text.
    virtual std::shared_ptr<t_ftd> get_native_type(const t_ftd* src)
    {
        if (!src) return nullptr;
        auto f = std::make_shared<t_ftd>(*src);
        f->native_type = native_type.to_text();
        return f;
    }

    // The name the column gets in the target: an empty new name keeps the source's.
    const std::wstring& target_name(const std::wstring& source_name) const
    {
        return new_name.empty() ? source_name : new_name;
    }

    // A source number going to a type that holds it exactly keeps its own
    // type: a money or bigint value through a double would lose digits.
    bool keeps_source_type(VARTYPE source) const
    {
        switch (source) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DECIMAL:
            return native_type.holds_any_number();
        default:
            return false;
        }
    }

    void modify1(t_ftd& f)
    {
        tk_logger::log(1, "udb_field_mutator::modify1");
        if (!new_name.empty()) f.name = new_name;
        const bool keep = keeps_source_type(f.vartype);
        if (new_ole_type != VT_NULL && !keep) f.vartype = new_ole_type;
        f.native_type = native_type.to_text();
        tk_logger::log(1, L"\tf.native_type=%s", f.native_type.c_str());
        f.size = static_cast<uint32_t>(native_type.length);
        tk_logger::log(1, "\tf.size=%d", static_cast<int>(f.size));
        tk_logger::log(2, "\told dw_reserved=%d, new dw_reserved=%d", static_cast<int>(f.dw_reserved),
                       static_cast<int>(new_ole_flags));
        if (!keep) f.dw_reserved = new_ole_flags;
        f.default_value = ole_variant(native_type.default_value);
        if (new_ole_type == VT_DECIMAL) {
            tk_logger::log(1, "Setting new prec/scale for VT_DECIMAL");
            f.dw_reserved =
                (static_cast<uint32_t>(native_type.precision) << 8) | static_cast<uint32_t>(native_type.scale);
        }
    }

    void modify2(Field& f)
    {
        tk_logger::log(1, "udb_field_mutator::modify2");
        f.name = target_name(f.name);
        if (ole_long_value* lv = ole_long_value::of(f)) {
            map_long_value(f, *lv);
        } else if (new_ole_type != VT_NULL && !keeps_source_type(f.get_type())) {
            try {
                f.change_type(new_ole_type);
            } catch (const ole_cast_exception&) {
                throw mutator_conversion_exception();
            }
        }
        f.size = native_type.length;
    }

    // A long value stays in its stream: it passes as it is to a type of its own
    // kind, is converted piece by piece to the other kind, and is refused for
    // its record by any other type (it is far too long for one).
    void map_long_value(Field& f, ole_long_value& lv)
    {
        if (new_ole_type == VT_NULL) return;
        const bool to_text = new_ole_type == VT_BSTR || new_ole_type == VT_LPWSTR || new_ole_type == VT_LPSTR;
        const bool to_bytes = ole_variant::is_binary(new_ole_type);
        if (!to_text && !to_bytes)
            throw udb_value_exception(f.name, L"a long value cannot be converted to " + native_type.to_text());
        if (to_text == lv.is_text()) return;
        tk_logger::log(1, "Long value converted in pieces to %s", to_text ? "text" : "bytes");
        ole_variant& value = f;
        value = lv.converted_to(to_text ? ole_long_value::form::wide_text : ole_long_value::form::bytes);
    }

    std::wstring new_name;
    VARTYPE new_ole_type = VT_NULL; // VT_NULL keeps the source's type
    uint32_t new_ole_flags = 0;
    NativeType native_type;
    int32_t status;
};
