#include "ORA/t_lob_desc.h"

#include "TK/tk_logger.h"

t_lob_desc::t_lob_desc(uint32_t idx, uint32_t idx_in, VARTYPE vt, const std::wstring& name)
    : idx(idx), idx_in(idx_in), vt(vt), name(name)
{
    tk_logger::log(1, L"t_lob_desc::ctor1(%d,%d,%s)", static_cast<int>(idx), static_cast<int>(idx_in), name.c_str());
}
