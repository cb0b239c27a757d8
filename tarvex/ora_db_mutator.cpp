#include "tarvex/ora_db_mutator.h"

#include "MSS/mss_split_tab_name.h"
#include "ORA/ora_util.h"

ora_db_mutator::ora_db_mutator()
{
    // "[dbo].[Orders]" and "dbo.Orders" name one table: a mapping made on one
    // form survives a profile that stores the other.
    canonical = [](const std::wstring& name) {
        std::wstring table, owner;
        mss_split_tab_name(name, table, owner);
        return owner + std::wstring(1, L'\0') + table; // a NUL joins them: no name can fake it
    };
}

void ora_db_mutator::get_native_type_info(t_ftd& f, ora_native_type& nt)
{
    tk_logger::log(1, "ora_db_mutator::get_native_type_info(%d)", static_cast<int>(f.vartype));
    nt.name = get_ora_native_type(f, true);
    nt.length = static_cast<int32_t>(f.size);
    nt.default_value = make_ora_def_val(&f);
    if (f.vartype == VT_DECIMAL) {
        nt.scale = static_cast<int32_t>(f.dw_reserved & 0xFF);
        nt.precision = static_cast<int32_t>((f.dw_reserved >> 8) & 0xFF);
    }
    f.native_type = nt.to_text();

    switch (f.vartype) {
    case VT_I2:
    case VT_UI1:
        f.native_type = L"NUMBER(5,0)";
        break;
    case VT_I4:
    case VT_UI2:
    case VT_INT:
        f.native_type = L"NUMBER(11,0)";
        break;
    case VT_BOOL:
    case VT_I1:
        f.native_type = L"NUMBER(3,0)";
        break;
    case VT_R4:
    case VT_R8:
    case VT_CY:
        f.native_type = L"NUMBER";
        break;
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_UINT:
        f.native_type = L"NUMBER(19,0)";
        break;
    case VT_DECIMAL: {
        const uint32_t scale = f.dw_reserved & 0xFF;
        const uint32_t precision = (f.dw_reserved >> 8) & 0xFF;
        if (f.dw_reserved != 0 && precision != 0 && precision >= scale) {
            f.native_type = L"NUMBER(" + std::to_wstring(precision) + L"," + std::to_wstring(scale) + L")";
            tk_logger::log(1, L"VT_DECIMAL->%s", f.native_type.c_str());
        } else {
            tk_logger::log(1, "VT_DECIMAL with invalid prec/scale");
            f.native_type = L"NUMBER";
        }
        break;
    }
    default:
        break;
    }
}
