#include "tarvex/agent/agent_main.h"

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "tarvex/agent/agent_cmd_line.h"
#include "tarvex/agent/agent_console.h"
#include "tarvex/tarvex_convertor.h"

namespace {

// Exit statuses: the convention of Oracle's own loader for a load with rejected rows.
constexpr int k_exit_everything_arrived = 0;
constexpr int k_exit_something_refused = 2;
constexpr int k_exit_stopped = -1;

int run(int argc, char** argv)
{
    tk_logger logger(nullptr, false, 3, false);
    console_error_handler handler;
    console_front_end console;
    try {
        tarvex_convertor driver(tarvex_convertor::settings_source::agent_defaults);
        driver.set_front_end(&console);
        if (argc < 2 || !parse_cmd_line(argc, argv, driver)) agent_console::fatal_exit(agent_usage_text());
        driver.connect_oracle_server(driver.dest);
        driver.connect_mssql_server();
        if (!driver.mssql_server.is_db_exist(driver.src))
            agent_console::fatal_exit("Database '" + to_ansi(driver.src) + "' does not exist");
        driver();
        // A run that did not reach its end converted nothing a script can rely on.
        if (!driver.run_completed()) return k_exit_stopped;
        return driver.get_summary().everything_arrived() ? k_exit_everything_arrived : k_exit_something_refused;
    } catch (const tk_exception& e) {
        handler.handle(e, false);
        return -1;
    } catch (const std::exception& e) {
        agent_console::fatal_exit(e.what());
    }
}

} // namespace

int agent_main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const agent_console::program_exit& e) {
        return e.code;
    }
}
