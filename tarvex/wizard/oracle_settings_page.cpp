#include "tarvex/wizard/oracle_settings_page.h"

#include "GUI2/wizard_shell.h"
#include "ORA/ora_exception.h"
#include "TK/tk_logger.h"
#include "tarvex/error_handler.h"

namespace {

using namespace ui_rc;

const ui_dialog_resource dialog132(
    132, ui_dialog_template{L"",
                            317,
                            143,
                            {
                                ltext(L"&Server (IP or network name):", -1, 7, 10, 110, 8),
                                edittext(1003, 120, 8, 150, 13),
                                ltext(L"&Database name:", -1, 7, 28, 110, 8),
                                edittext(1014, 120, 26, 150, 13),
                                ltext(L"Po&rt:", -1, 7, 46, 110, 8),
                                edittext(1004, 120, 44, 50, 13),
                                ltext(L"&Username:", -1, 7, 64, 110, 8),
                                edittext(1012, 120, 62, 150, 13),
                                ltext(L"&Password:", -1, 7, 82, 110, 8),
                                edittext(1013, 120, 80, 150, 13, ES_AUTOHSCROLL | ES_PASSWORD),
                                ltext(L"If the program has been installed on Oracle server machine, you can leave", -1,
                                      7, 104, 300, 8),
                                ltext(L"'Server' editbox empty. It is necessary to specify the port only if it differs",
                                      -1, 7, 114, 300, 8),
                                ltext(L"from default value 1521.", -1, 7, 124, 300, 8),
                            }});

bool is_listener_error(uint32_t code)
{
    const uint32_t ora = code & 0xFFFF;
    return ora == 12500 || ora == 12505 || ora == 12541 || ora == 12545;
}

} // namespace

oracle_settings_page::animation::animation() : connect_animation(L"Connecting to Oracle server.\nPlease wait...") {}

void oracle_settings_page::animation::operator()()
{
    tk_logger::log(2, "oracle_settings_page::animation::operator()");
    com_scope com;
    connected.store(false);
    try {
        tarvex_convertor& conv = tarvex_convertor::ref();
        tk_logger::log(1, L"Just before calling 'connect_oracle_server', dest=%s", conv.dest.c_str());
        conv.connect_oracle_server(conv.dest);
        connected.store(true);
    } catch (const ora_exception& e) {
        error_handler* h = error_handler::find();
        wizard_shell::error(h ? h->get_text(e) : std::string(e.what()));
        if (is_listener_error(e.code)) wizard_shell::display_help(1018);
    } catch (const tk_exception& e) {
        try {
            error_handler::ref().handle(e, false);
        } catch (const tk_final_exception&) {
            // The user stopped: a failed connection like any other.
        } catch (const std::exception& inner) {
            tk_logger::log(3, "Error while reporting a connection error:\n%s", inner.what());
        }
    } catch (const tk_final_exception&) {
    } catch (const std::exception& e) {
        // Shown and survived: the page stays, the settings are kept.
        wizard_shell::error(std::string(e.what()));
    }
    close();
}

oracle_settings_page::oracle_settings_page() : tk_thread(false)
{
    register_wait_animation_resources();
    SetHeaderTitle(L"Step 2 of 5");
    SetHeaderSubTitle(L"Connect to Oracle server");
}

oracle_settings_page::~oracle_settings_page() { wait_for_worker(*this); }

bool oracle_settings_page::page_init()
{
    tk_logger::log(1, "oracle_settings_page::page_init");
    SetDlgItemText(ctl_database, tarvex_convertor::ref().dest);
    return ora_settings_page2<tarvex_convertor>::page_init();
}

void oracle_settings_page::store_settings()
{
    ora_settings_page2<tarvex_convertor>::store_settings();
    tarvex_convertor::ref().dest = GetDlgItemText(ctl_database, max_text);
}

bool oracle_settings_page::connect() { return run_connect_worker(*this, anim); }

int oracle_settings_page::on_next()
{
    tk_logger::log(1, "oracle_settings_page::on_next");
    store_settings();
    if (tarvex_convertor::ref().dest.empty()) {
        wizard_shell::message(std::wstring(L"You should enter Oracle database name"));
        return -1;
    }
    if (connect()) {
        tk_logger::log(2, "Connection has been established");
        return 0;
    }
    tk_logger::log(2, "Cannot connect to Oracle");
    return -1;
}

int oracle_settings_page::on_back()
{
    store_settings();
    return 0;
}

void oracle_settings_page::on_help() { wizard_shell::display_help(1011); }
