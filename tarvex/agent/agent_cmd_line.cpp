#include "tarvex/agent/agent_cmd_line.h"

#include <cerrno>
#include <cstdlib>

#include "TK/ansi_cmd_line.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "UDB/udb_profile.h"
#include "tarvex/agent/agent_console.h"
#include "tarvex/profile_text.h"
#include "tarvex/tarvex_convertor.h"

namespace {

enum option_code {
    opt_dest = 0,
    opt_help = 1,
    opt_logfile = 2,
    opt_mode = 3,
    opt_mssqlh = 4,
    opt_mssqlu = 5,
    opt_mssqlp = 6,
    opt_oraclh = 7,
    opt_oraclu = 8,
    opt_oraclp = 9,
    opt_port = 10,
    opt_silent = 11,
    opt_skip_idx = 12,
    opt_src = 13,
    opt_tab_def = 14,
    opt_tab_file = 15,
    opt_uppercase = 16,
    opt_profile = 17,
    opt_view_owned = 18,
};

const tk_cmd_option k_options[] = {
    {opt_dest, "--dest="},
    {opt_help, "--help"},
    {opt_logfile, "--logfile="},
    {opt_mode, "--mode="},
    {opt_mssqlh, "--mssqlh="},
    {opt_mssqlu, "--mssqlu="},
    {opt_mssqlp, "--mssqlp="},
    {opt_oraclh, "--oraclh="},
    {opt_oraclu, "--oraclu="},
    {opt_oraclp, "--oraclp="},
    {opt_port, "--port="},
    {opt_profile, "--profile="},
    {opt_silent, "--silent"},
    {opt_skip_idx, "--skip_idx"},
    {opt_src, "--src="},
    {opt_tab_def, "--tab_def"},
    {opt_tab_file, "--tab_file="},
    {opt_uppercase, "--uppercase"},
    {opt_view_owned, "--view_owned"},
    {-1, ""},
};

const char* prefix_of(int code)
{
    for (const tk_cmd_option* o = k_options; o->prefix[0]; ++o)
        if (o->code == code) return o->prefix;
    return "";
}

// A wide option value; an undecodable one is an option error, never dropped silently.
std::wstring wide_value(const ansi_cmd_line& cmd)
{
    std::wstring out;
    if (!a2w(cmd.get_value(), out))
        agent_console::fatal_exit(std::string("Invalid characters in option ") + prefix_of(cmd.get_code()));
    return out;
}

// The exact decimal rendering of 0, 1 or 2.
bool parse_mode(const char* text, uint32_t& mode)
{
    errno = 0;
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    tk_logger::log(2, "\tgot mode %d", static_cast<int>(n));
    if (errno != 0 || end == text || *end != '\0' || std::to_string(n) != text) return false;
    if (static_cast<unsigned long>(n) > 2) return false;
    mode = static_cast<uint32_t>(n);
    return true;
}

// Loads a profile; a profile that loads only in part is an option error.
bool load_profile(const std::string& path_text, tarvex_convertor& driver)
{
    std::wstring path;
    if (!a2w(path_text.c_str(), path)) agent_console::fatal_exit("Invalid characters in option --profile=");
    udb_profile profile;
    profile.load(path);
    const std::wstring mode = profile.get_value(profile_text::generic, L"mode");
    if (!mode.empty() && !tarvex_convertor::is_valid_mode(mode))
        agent_console::fatal_exit("Invalid merge/overwrite mode");
    if (!driver.load_profile(profile))
        agent_console::fatal_exit("Profile cannot be loaded: its type mappings are invalid.");
    // Without the key the login decides, as on the command line.
    if (profile.get_value(profile_text::mssql, L"windows authentication").empty())
        driver.windows_auth = driver.mssql_user.empty() && driver.mssql_password.empty();
    return true;
}

} // namespace

std::string agent_usage_text()
{
    return "TVXAGENT v5.5 - SQL Server to Oracle conversion agent\n"
           "Usage: TVXAGENT.EXE OPTIONS\n"
           "\n"
           "   --dest=...     Oracle database name\n"
           "   --help         display this help message and exit\n"
           "   --logfile=...  path to the file where execution trace will be written\n"
           "   --mode=...     how to process tables that already exist in Oracle database\n"
           "                  (0 - overwrite, 1 - merge, 2 - skip)\n"
           "   --mssqlh=...   MS SQL server IP address or network name\n"
           "   --mssqlu=...   MS SQL user name\n"
           "   --mssqlp=...   MS SQL user password\n"
           "   --oraclh=...   Network name or IP address of Oracle server\n"
           "   --oraclu=...   Oracle user name\n"
           "   --oraclp=...   Oracle user password\n"
           "   --port=...     Oracle port\n"
           "   --profile=...  path to the file to load conversion settings from\n"
           "   --silent       disable program output\n"
           "   --skip_idx     skip converting indexes\n"
           "   --src=...      MS SQL database name\n"
           "   --tab_def      convert table definitions only\n"
           "   --tab_file=... file containing the list of tables to convert\n"
           "                  (one table name per line)\n"
           "   --uppercase    make table names uppercase\n"
           "   --view_owned   work with tables owned by the specified Oracle user only\n"
           "\n"
           "NOTES:\n"
           "   1) You can omit 'mssqlh' parameter to connect local MS SQL server.\n"
           "   2) You can omit 'mssqlu' and 'mssqlp' parameters to connect to MS SQL\n"
           "      server using Windows authentication\n"
           "   3) The default mode is 'overwrite'. You can change it using\n"
           "      '--mode' parameter\n"
           "   4) If you omit 'tab_file' parameter, all database tables will be converted.\n";
}

bool parse_cmd_line(int argc, const char* const* argv, tarvex_convertor& driver)
{
    tk_logger::log(2, "parse_cmd_line");
    for (int i = 0; i < argc; ++i) tk_logger::log(1, "parameter #%d: %s", i, argv[i]);

    std::wstring ora_host = L"localhost", ora_port = L"1521", ora_user, ora_password;
    std::wstring mss_host, mss_user, mss_password;
    bool profile_loaded = false;

    ansi_cmd_line cmd(argc, argv, k_options);
    for (; cmd.has_more(); cmd.next()) {
        const char* value = cmd.get_value();
        switch (cmd.get_code()) {
        case opt_dest:
            driver.dest = wide_value(cmd);
            tk_logger::log(2, L"\tparse_cmd_line - got dest %s", driver.dest.c_str());
            break;
        case opt_help:
            agent_console::fatal_exit(agent_usage_text());
        case opt_logfile:
            tk_logger::log(1, "parse_cmd_line - got logfile %s", value);
            driver.set_logfile(value);
            break;
        case opt_mode:
            if (!parse_mode(value, driver.mode)) agent_console::fatal_exit("Invalid merge/overwrite mode");
            break;
        case opt_mssqlh:
            mss_host = wide_value(cmd);
            break;
        case opt_mssqlu:
            mss_user = wide_value(cmd);
            break;
        case opt_mssqlp:
            mss_password = wide_value(cmd);
            break;
        case opt_oraclh:
            ora_host = wide_value(cmd);
            break;
        case opt_oraclu:
            ora_user = wide_value(cmd);
            break;
        case opt_oraclp:
            ora_password = wide_value(cmd);
            break;
        case opt_port:
            ora_port = wide_value(cmd);
            break;
        case opt_profile:
            tk_logger::log(1, "parse_cmd_line - got profile %s", value);
            profile_loaded = load_profile(value, driver) || profile_loaded;
            break;
        case opt_silent:
            tk_logger::log(1, "parse_cmd_line - silent mode is ON");
            driver.set_silent(true);
            agent_console::set_silent(true);
            if (error_handler* h = error_handler::find()) h->set_quiet(true);
            break;
        case opt_skip_idx:
            driver.skip_idx = true;
            tk_logger::log(2, "\tskip converting indexes");
            break;
        case opt_src:
            driver.src = wide_value(cmd);
            tk_logger::log(2, L"\tparse_cmd_line - got src %s", driver.src.c_str());
            break;
        case opt_tab_def:
            driver.tab_def = true;
            tk_logger::log(2, "\tconvert table definitions only");
            break;
        case opt_tab_file:
            tk_logger::log(2, "\tparse_cmd_line - got tab_file %s", value);
            process_tab_file(value, driver);
            break;
        case opt_uppercase:
            driver.uppercase = true;
            tk_logger::log(2, "\tmake table names uppercase");
            break;
        case opt_view_owned:
            driver.set_view_owned(true);
            tk_logger::log(2, "\tb_view_owned is ON");
            break;
        default:
            break; // judged once every option has been acted on
        }
    }
    if (!cmd.get_unrecognized().empty()) return false;
    if (driver.src.empty()) agent_console::fatal_exit("You should enter MS SQL database name");
    if (driver.dest.empty()) agent_console::fatal_exit("You should enter Oracle database name");
    if (!profile_loaded) {
        driver.store_oracle_settings(ora_host, ora_user, ora_password, ora_port);
        driver.windows_auth = mss_user.empty() && mss_password.empty();
        driver.store_mssql_settings(mss_host, mss_user, mss_password);
    } else {
        tk_logger::log(2, "A profile was loaded: the command line's connection options are not used");
    }
    return true;
}
