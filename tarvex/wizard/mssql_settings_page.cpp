#include "tarvex/wizard/mssql_settings_page.h"

#include "GUI2/wizard_shell.h"
#include "MSS/odb_exception.h"
#include "TK/tk_logger.h"
#include "tarvex/error_handler.h"

namespace {

using namespace ui_rc;

const ui_dialog_resource dialog118(
    118, ui_dialog_template{
             L"",
             317,
             143,
             {
                 ltext(L"Provide necessary information to establish MS SQL server connection.", -1, 7, 4, 300, 10),
                 ltext(L"MS &SQL Server:", -1, 7, 22, 70, 8),
                 edittext(1014, 80, 20, 150, 13),
                 ltext(L"Leave 'MS SQL Server' field empty to connect to local server.", -1, 80, 36, 220, 8),
                 groupbox(L" Connect using: ", -1, 7, 50, 300, 86),
                 radiobutton(L"&Windows authentication", 1329, 15, 62, 150, 10),
                 radiobutton(L"S&QL Server authentication", 1330, 15, 76, 150, 10),
                 ltext(L"&Login:", -1, 27, 92, 50, 8),
                 edittext(1012, 80, 90, 120, 13),
                 ltext(L"&Password:", -1, 27, 108, 50, 8),
                 edittext(1013, 80, 106, 120, 13, ES_AUTOHSCROLL | ES_PASSWORD),
                 checkbox(L"&Connect as database owner", 1202, 27, 122, 150, 10),
             }});

std::string mapped_text(const tk_exception& e)
{
    if (error_handler* h = error_handler::find()) return h->get_text(e);
    return e.what();
}

} // namespace

mssql_settings_page::animation::animation() : connect_animation(L"Connecting to MS SQL server.\nPlease wait...") {}

void mssql_settings_page::animation::operator()()
{
    tk_logger::log(2, "mssql_settings_page::animation::operator()");
    com_scope com;
    connected.store(false);
    try {
        tarvex_convertor::ref().connect_mssql_server();
        connected.store(true);
    } catch (const odb_exception& e) {
        if ((e.code & 0xFFFF) == 0x4005)
            wizard_shell::error(std::wstring(
                L"MS SQL Server does not exist or access denied.\nCheck to verify the correct host was given."));
        else
            wizard_shell::error(mapped_text(e));
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

mssql_settings_page::mssql_settings_page() : tk_thread(false)
{
    register_wait_animation_resources();
    SetHeaderTitle(L"Step 1 of 5");
    SetHeaderSubTitle(L"Connect to MS SQL server");
}

mssql_settings_page::~mssql_settings_page()
{
    // The worker uses this page's animation: it must be gone first.
    wait_for_worker(*this);
}

bool mssql_settings_page::connect() { return run_connect_worker(*this, anim); }

int mssql_settings_page::on_next()
{
    store();
    return connect() ? 0 : -1;
}

int mssql_settings_page::on_back()
{
    store();
    return 0;
}

void mssql_settings_page::on_help() { wizard_shell::display_help(1010); }
