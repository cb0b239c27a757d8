#include "tarvex/wizard/wizard_main.h"

#include <cstddef>
#include <memory>

#include "GUI2/wizard_shell.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_module.h"
#include "TK/tk_text.h"
#include "platform/win32/win_format.h"
#include "tarvex/tarvex_convertor.h"
#include "tarvex/wizard/finish_page.h"
#include "tarvex/wizard/listed_table.h"
#include "tarvex/wizard/mssql_settings_page.h"
#include "tarvex/wizard/oracle_settings_page.h"
#include "tarvex/wizard/progress_page.h"
#include "tarvex/wizard/sel_file_page.h"
#include "tarvex/wizard/tvx_sel_tables_page.h"
#include "tarvex/wizard/welcome_page.h"
#include "tarvex/wizard/wizard_art.h"
#include "tarvex/wizard/wizard_error_handler.h"

extern const unsigned char tvx_art_watermark_png[];
extern const std::size_t tvx_art_watermark_png_size;
extern const unsigned char tvx_art_header_png[];
extern const std::size_t tvx_art_header_png_size;

namespace {

constexpr int k_icon = 501;
constexpr int k_watermark = 311;
constexpr int k_header = 312;
constexpr int k_major = 5;
constexpr int k_minor = 5;

// The program's pictures: its icon (drawn by the program), the watermark of the
// exterior pages and the header image of the interior ones (carried in it).
constexpr int k_icon_size = 48;

const bool g_images = [] {
    ui_register_icon(k_icon, wizard_program_icon(k_icon_size));
    ui_register_bitmap(k_watermark, ui_decode_image(tvx_art_watermark_png, tvx_art_watermark_png_size));
    ui_register_bitmap(k_header, ui_decode_image(tvx_art_header_png, tvx_art_header_png_size));
    return true;
}();

const wchar_t* const k_success =
    L"Wizard has migrated your MS SQL database to\nOracle server successfully.\n\n"
    L"Click 'Finish' to exit the wizard.";
const wchar_t* const k_failure =
    L"There were some errors while converting the database.\n"
    L"Click 'Finish' to exit the wizard.";

// What a window's handler let escape goes to the error handler, as at the entry.
void present(std::exception_ptr e)
{
    try {
        std::rethrow_exception(e);
    } catch (const tk_final_exception&) {
        tk_logger::log(2, "The user stopped the work");
    } catch (const tk_exception& x) {
        if (error_handler* h = error_handler::find()) h->handle(x, true);
    } catch (const std::exception& x) {
        wizard_shell::error(std::string(x.what()));
    }
}

// Everything between the error handler and the teardown.
struct wizard_run {
    std::unique_ptr<tarvex_convertor> driver;
    std::unique_ptr<std::wstring> cmd_line;
    std::unique_ptr<wizard_shell> shell;
    std::unique_ptr<welcome_page> welcome;
    std::unique_ptr<mssql_settings_page> mssql;
    std::unique_ptr<oracle_settings_page> oracle;
    std::unique_ptr<sel_file_page> database;
    std::unique_ptr<tvx_sel_tables_page> tables;
    std::unique_ptr<progress_page> progress;
    std::unique_ptr<finish_page> finish;

    // Reverse order of construction; the progress page waits for its run.
    void tear_down()
    {
        finish.reset();
        progress.reset();
        tables.reset();
        database.reset();
        oracle.reset();
        mssql.reset();
        welcome.reset();
        shell.reset();
        cmd_line.reset();
        driver.reset();
    }
};

// Before a quick launch converts anything: the profile's tables that the source
// does not list are named, and the user decides whether the others are converted.
bool profile_tables_found(tarvex_convertor& driver)
{
    std::vector<std::wstring> wanted = driver.selected_tables;
    for (const auto& [name, text] : driver.selected_queries)
        if (text.empty()) wanted.push_back(name);
    if (wanted.empty()) return true;
    std::vector<std::wstring> listed;
    driver.get_all_tables(listed);
    std::wstring missing;
    for (const auto& name : wanted)
        if (find_listed_table(listed, name) < 0) missing += L"\n    " + name;
    if (missing.empty()) return true;
    tk_logger::log(3, L"QUICK LAUNCH: tables not found:%s", missing.c_str());
    return wizard_shell::question(L"These tables of the profile are not in the source database '" + driver.src +
                                      L"' and cannot be converted:" + missing +
                                      L"\n\nConvert the rest of the profile anyway?",
                                  MB_DEFBUTTON2);
}

// Ends a quick launch whose profile was refused (reported already).
struct quick_launch_refused {};

void add_page(wizard_shell& shell, ui_property_page& page) { shell.AddPage(page.Create()); }

} // namespace

std::wstring wizard_caption() { return L"Dremlow " + win_format(L"%d.%d", k_major, k_minor); }

bool check_common_controls(uint32_t version)
{
    tk_logger::log(1, "comctl32.dll version=%X", version);
    if (version < 0x50050) {
        wizard_shell::error(
            std::wstring(L"Incorrect version of comctl32.dll. Microsoft Internet Explorer 5\n"
                         L"or later is required to proceed with the application."));
        return false;
    }
    INITCOMMONCONTROLSEX icc;
    icc.dwICC = ICC_BAR_CLASSES | ICC_COOL_CLASSES;
    if (!InitCommonControlsEx(&icc)) {
        wizard_shell::error(std::wstring(L"Failed to initialize GUI library"));
        return false;
    }
    return true;
}

int WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR cmd_line, int /*show*/)
{
    ui_module module;
    if (FAILED(module.Init(instance))) return -1;
    tk_logger logger(nullptr, false, 3, false);
    int result = 0;
    std::unique_ptr<wizard_error_handler> handler;
    wizard_run run;
    try {
        handler = std::make_unique<wizard_error_handler>();
        ui_set_uncaught_handler(present);
        if (!check_common_controls(get_dll_version(L"comctl32.dll"))) {
            ui_set_uncaught_handler(nullptr);
            return -1;
        }
        const bool quick = cmd_line && *cmd_line;
        // A quick launch runs what its profile says: what the profile leaves out
        // comes from the driver's own defaults, never from the servers that the
        // registry names for the interactive wizard.
        run.driver = std::make_unique<tarvex_convertor>(quick ? tarvex_convertor::settings_source::agent_defaults
                                                              : tarvex_convertor::settings_source::registry);
        if (quick) {
            // The whole line is the profile's path, quotes and blanks included.
            std::wstring wide;
            if (a2w(cmd_line, wide)) {
                tk_logger::log(2, "QUICK LAUNCH: profile=%s", cmd_line);
                run.cmd_line = std::make_unique<std::wstring>(wide);
                // A profile that cannot be loaded whole ends the program before
                // anything connects, so that nothing is converted.
                try {
                    if (!run.driver->open_profile(*run.cmd_line))
                        throw tk_exception(L"The profile '" + *run.cmd_line +
                                               L"' cannot be loaded: its type mappings are invalid. "
                                               L"Nothing will be converted.",
                                           TK_LEVEL_STOP);
                } catch (const tk_exception& e) {
                    handler->handle(e, true);
                    result = -1;
                    throw quick_launch_refused();
                }
            } else {
                wizard_shell::error(
                    std::wstring(L"The profile's path holds characters that are not text: "
                                 L"no profile was loaded and nothing will be converted."));
                result = -1;
                throw quick_launch_refused();
            }
        }
        tk_logger::log(1, "WinMain: mssql_server.b_view_owned=%d", run.driver->is_view_owned() ? 1 : 0);

        run.shell = std::make_unique<wizard_shell>(wizard_caption(), k_icon, k_watermark, k_header);
        run.welcome = std::make_unique<welcome_page>();
        run.welcome->set_profile_ext(L"tvx");
        run.mssql = std::make_unique<mssql_settings_page>();
        run.oracle = std::make_unique<oracle_settings_page>();
        run.database = std::make_unique<sel_file_page>();
        run.tables = std::make_unique<tvx_sel_tables_page>();
        run.tables->SetHeaderTitle(L"Step 4 of 5");
        run.tables->SetHeaderSubTitle(L"Select tables to convert");
        if (!quick) {
            add_page(*run.shell, *run.welcome);
            add_page(*run.shell, *run.mssql);
            add_page(*run.shell, *run.oracle);
            add_page(*run.shell, *run.database);
            add_page(*run.shell, *run.tables);
        } else if (!run.mssql->connect() || !run.oracle->connect() || !profile_tables_found(*run.driver)) {
            run.tear_down();
            module.Term();
            ui_set_uncaught_handler(nullptr);
            return -1;
        }
        run.progress = std::make_unique<progress_page>();
        add_page(*run.shell, *run.progress);
        run.finish = std::make_unique<finish_page>(k_success, k_failure);
        run.finish->set_profile_ext(L"tvx");
        add_page(*run.shell, *run.finish);

        result = static_cast<int>(run.shell->DoModal(GetActiveWindow()));
    } catch (const quick_launch_refused&) {
        tk_logger::log(2, "QUICK LAUNCH: the profile was refused");
    } catch (const tk_exception& e) {
        if (handler) handler->handle(e, true);
    } catch (const std::exception& e) {
        wizard_shell::error(std::string(e.what()));
    }
    try {
        run.tear_down();
    } catch (const std::exception& e) {
        tk_logger::log(3, "Teardown: %s", e.what());
    }
    module.Term();
    ui_set_uncaught_handler(nullptr);
    return result;
}
