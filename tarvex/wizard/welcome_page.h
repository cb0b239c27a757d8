// The wizard's first page: what the wizard does, and loading a saved profile.
#pragma once
#include "GUI2/gui_finish_page.h"
#include "tarvex/tarvex_convertor.h"

class welcome_page : public welcome_page_t<tarvex_convertor, 103, 2, 0x820> {
public:
    welcome_page();
    bool page_init() override;
    void on_help() override;
    // The activation's own work: the title font and the link.
    void show();
};
