#include "tarvex/ora_native_type.h"

#include "ORA/ora_engine.h"
#include "ORA/ora_util.h"
#include "TK/tk_logger.h"
#include "platform/oleaut/oleauto.h"

namespace {

constexpr uint16_t k_number_code = 2; // NUMBER, FLOAT, BINARY_FLOAT, BINARY_DOUBLE

VARTYPE bare_number_type()
{
    ora_engine* eng = ora_engine::find();
    return eng && eng->b_int64 ? VT_I8 : VT_R8;
}

} // namespace

std::wstring ora_native_type::to_text() const { return get_ora_native_type1(name, length, scale, precision); }

void ora_native_type::get_udb_type(const ora_native_type& nt, VARTYPE& vt, uint32_t& /*hint*/)
{
    tk_logger::log(2, "ora_native_type::get_udb_type");
    const auto& types = ora_engine::get_ora_supported_types();
    auto it = types.find(nt.name);
    if (it == types.end()) {
        vt = VT_BSTR;
    } else if (it->second != k_number_code) {
        vt = get_ora_vartype(it->second);
    } else if (nt.scale > 0) {
        // Up to 28 digits a decimal keeps every digit; a double would not.
        vt = nt.precision <= 28 ? VT_DECIMAL : VT_R8;
    } else if (nt.precision == 0 && nt.scale == 0) {
        vt = bare_number_type();
    } else if (nt.precision <= 2) {
        vt = VT_I1;
    } else if (nt.precision <= 4) {
        vt = VT_I2;
    } else if (nt.precision <= 9) {
        vt = VT_I4;
    } else if (nt.precision <= 19) {
        vt = VT_I8;
    } else {
        vt = bare_number_type();
    }
    tk_logger::log(2, "output: type=%d", static_cast<int>(vt));
}
