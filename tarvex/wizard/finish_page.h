// The wizard's last page: the outcome of the run and saving the settings.
#pragma once
#include <string>

#include "GUI2/gui_finish_page.h"
#include "tarvex/tarvex_convertor.h"

class finish_page : public gui_finish_page_t<tarvex_convertor, 116, 4, 0x800> {
public:
    finish_page(std::wstring success, std::wstring failure);
};
