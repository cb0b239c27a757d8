#include "tarvex/wizard/finish_page.h"

#include <utility>

namespace {

using namespace ui_rc;

const ui_dialog_resource dialog116(
    116, ui_dialog_template{L"",
                            317,
                            193,
                            {
                                ltext(L"Conversion is Completed", 1313, 115, 8, 195, 24),
                                ltext(L"", 1314, 115, 40, 195, 40),
                                hidden(edittext(1016, 115, 84, 195, 80, ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL)),
                                pushbutton(L"&Save Settings...", 1116, 115, 170, 80, 14),
                            }});

} // namespace

finish_page::finish_page(std::wstring success, std::wstring failure)
    : gui_finish_page_t(std::move(success), std::move(failure))
{}
