#include "tarvex/wizard/welcome_page.h"

namespace {

using namespace ui_rc;

const ui_dialog_resource dialog103(
    103, ui_dialog_template{
             L"",
             317,
             193,
             {
                 ltext(L"Welcome to Korvane\nConversion Wizard\n", 1337, 115, 8, 195, 40),
                 ltext(L"This wizard helps you to migrate Microsoft SQL", -1, 115, 60, 195, 8),
                 ltext(L"database to Oracle server. Click 'Next' to continue.", -1, 115, 70, 195, 8),
                 pushbutton(L"&Load Settings...", 1115, 115, 100, 80, 14),
                 hyperlink(L"<a href=\"https://korvane.example/\">Korvane on the web</a>", 1320, 115, 170, 195, 10),
             }});

} // namespace

welcome_page::welcome_page() = default;

bool welcome_page::page_init()
{
    show();
    return true;
}

void welcome_page::show()
{
    tk_logger::log(2, "welcome_page::show");
    if (tarvex_convertor* conv = tarvex_convertor::find())
        tk_logger::log(1, "mssql_server.b_view_owned=%d", conv->is_view_owned() ? 1 : 0);
    show_title();
}

void welcome_page::on_help() { wizard_shell::display_help(1013); }
