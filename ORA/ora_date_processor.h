// Turns an Oracle default date text ("D-MON-YYYY") into "YYYY-MM-DD". No object
// of it is created in a run, so date defaults read back from Oracle stay empty.
#pragma once
#include <string>
#include <vector>

#include "TK/tk_singleton.h"

class ora_date_processor : public tk_singleton<ora_date_processor> {
public:
    std::vector<std::wstring> months1; // first list of month names, January first
    std::vector<std::wstring> months2; // second list

    std::wstring get_canonized_str(const std::wstring& text) const;
};
