#include "ORA/ora_exception.h"
#include "TK/tk_logger.h"

ora_exception::ora_exception(int32_t ora_code, const std::string& text)
    : tk_exception(text, 0)
{
    tk_logger::log(1, "ora_exception::ctor");
    code = code_mark | (static_cast<uint32_t>(ora_code) & 0xFFFF);
}
