#include "platform/mssx/mssx_server.h"
#include <pwd.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include "platform/embedded/embedded_clock.h"
#include "platform/mssx/mssx_catalog.h"
#include "platform/mssx/mssx_lexer.h"

namespace fs = std::filesystem;

namespace {
const char* kServerFile = "server.sqlite";

struct injected {
    std::string pattern;
    int number;
    std::string message;
};
std::mutex g_inject_lock;
std::vector<injected> g_injected;

std::string os_user()
{
    if (const char* u = std::getenv("USER"); u && *u) return u;
    if (passwd* pw = getpwuid(getuid())) return pw->pw_name;
    return "user";
}

std::string file_stem(const std::string& db)
{
    std::string s;
    for (unsigned char c : db) {
        if (std::isalnum(c) || c == '_' || c == '-' || c >= 0x80)
            s += static_cast<char>(std::tolower(c));
        else {
            char b[8];
            std::snprintf(b, sizeof b, "%%%02X", c);
            s += b;
        }
    }
    return s;
}

struct preset {
    const char* key;
    const char* banner;
};
const preset kPresets[] = {
    {"7",
     "Microsoft SQL Server  7.00 - 7.00.623 (Intel X86) \n\tNov 27 1998 22:20:07 \n\tCopyright (c) 1988-1998 Microsoft "
     "Corporation\n\tStandard Edition on Windows NT 4.0 (Build 1381: Service Pack 4)\n"},
    {"2000",
     "Microsoft SQL Server  2000 - 8.00.2039 (Intel X86) \n\tMay  3 2005 23:18:38 \n\tCopyright (c) 1988-2003 "
     "Microsoft Corporation\n\tDeveloper Edition on Windows NT 5.1 (Build 2600: Service Pack 3)\n"},
    {"2005",
     "Microsoft SQL Server 2005 - 9.00.5000.00 (Intel X86) \n\tDec 10 2010 10:56:29 \n\tCopyright (c) 1988-2005 "
     "Microsoft Corporation\n\tExpress Edition on Windows NT 6.1 (Build 7601: Service Pack 1)\n"},
    {"2008",
     "Microsoft SQL Server 2008 R2 (SP2) - 10.50.4000.0 (X64) \n\tJun 28 2012 08:36:30 \n\tCopyright (c) Microsoft "
     "Corporation\n\tDeveloper Edition (64-bit) on Windows NT 6.1 <X64> (Build 7601: Service Pack 1)\n"},
    {"2012",
     "Microsoft SQL Server 2012 (SP4) (KB4018073) - 11.0.7001.0 (X64) \n\tAug 15 2017 10:23:29 \n\tCopyright (c) "
     "Microsoft Corporation\n\tDeveloper Edition (64-bit) on Windows NT 6.3 <X64> (Build 9600: )\n"},
    {"2014",
     "Microsoft SQL Server 2014 (SP3) (KB4022619) - 12.0.6024.0 (X64) \n\tSep  7 2018 01:37:51 \n\tCopyright (c) "
     "Microsoft Corporation\n\tDeveloper Edition (64-bit) on Windows NT 6.3 <X64> (Build 9600: )\n"},
    {"2016",
     "Microsoft SQL Server 2016 (SP2) (KB4052908) - 13.0.5026.0 (X64) \n\tMar 18 2018 09:11:49 \n\tCopyright (c) "
     "Microsoft Corporation\n\tDeveloper Edition (64-bit) on Windows 10 Pro 10.0 <X64> (Build 17763: )\n"},
    {"2017",
     "Microsoft SQL Server 2017 (RTM) - 14.0.1000.169 (X64) \n\tAug 22 2017 17:04:49 \n\tCopyright (C) 2017 Microsoft "
     "Corporation\n\tDeveloper Edition (64-bit) on Linux (Debian GNU/Linux 12 (bookworm))\n"},
    {"2019",
     "Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64) \n\tSep 24 2019 13:48:23 \n\tCopyright (C) 2019 Microsoft "
     "Corporation\n\tDeveloper Edition (64-bit) on Linux (Debian GNU/Linux 12 (bookworm)) <X64>\n"},
    {"2022",
     "Microsoft SQL Server 2022 (RTM) - 16.0.1000.6 (X64) \n\tOct  8 2022 05:58:25 \n\tCopyright (C) 2022 Microsoft "
     "Corporation\n\tDeveloper Edition (64-bit) on Linux (Debian GNU/Linux 12 (bookworm)) <X64>\n"},
    {"azure",
     "Microsoft SQL Azure (RTM) - 12.0.2000.8 \n\tOct  1 2022 10:18:58 \n\tCopyright (C) 2022 Microsoft Corporation\n"},
};
} // namespace

void mssx_fail_next(const std::string& pattern, int number, const std::string& message)
{
    std::lock_guard<std::mutex> g(g_inject_lock);
    g_injected.push_back({mssx_upper(pattern), number, message});
}

void mssx_clear_injected_failures()
{
    std::lock_guard<std::mutex> g(g_inject_lock);
    g_injected.clear();
}

void mssx_check_injected(const std::string& statement_text)
{
    std::lock_guard<std::mutex> g(g_inject_lock);
    if (g_injected.empty()) return;
    std::string up = mssx_upper(statement_text);
    for (auto it = g_injected.begin(); it != g_injected.end(); ++it) {
        if (up.find(it->pattern) != std::string::npos) {
            mssx_error e(it->number,
                         it->message.empty() ? "Injected failure " + std::to_string(it->number) + "." : it->message);
            g_injected.erase(it);
            throw e;
        }
    }
}

void mssx_server::create(const std::string& dir, const std::string& sa_password)
{
    // the folder holds passwords and every database: its owner's alone, whatever the umask
    if (fs::create_directories(dir)) fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace);
    if (fs::exists(fs::path(dir) / kServerFile)) throw mssx_error(1801, "A server already exists in '" + dir + "'.");
    mssx_sqlite db;
    db.open((fs::path(dir) / kServerFile).string(), true);
    db.exec(R"SQL(
CREATE TABLE logins(name TEXT PRIMARY KEY COLLATE NOCASE, password TEXT, sysadmin INTEGER, integrated INTEGER);
CREATE TABLE login_access(login TEXT COLLATE NOCASE, database_name TEXT COLLATE NOCASE, PRIMARY KEY(login, database_name));
CREATE TABLE databases(name TEXT PRIMARY KEY COLLATE NOCASE, file TEXT, database_id INTEGER, created TEXT);
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT);
INSERT INTO databases VALUES('master', 'master.sqlite', 1, '2003-04-08 09:13:36.390');
INSERT INTO databases VALUES('tempdb', 'tempdb.sqlite', 2, '2003-04-08 09:13:36.390');
INSERT INTO databases VALUES('model', 'model.sqlite', 3, '2003-04-08 09:13:36.390');
INSERT INTO databases VALUES('msdb', 'msdb.sqlite', 4, '2003-04-08 09:13:36.390');
INSERT INTO settings VALUES('integrated', '1');
)SQL");
    auto st = db.prepare("INSERT INTO settings VALUES('version', ?1)");
    st.bind(1, std::string(kPresets[9].banner));
    st.step();
    auto l = db.prepare("INSERT INTO logins VALUES(?1, ?2, ?3, ?4)");
    l.bind(1, std::string("sa")).bind(2, sa_password).bind(3, int64_t(1)).bind(4, int64_t(0));
    l.step();
    l.reset();
    l.bind(1, os_user()).bind(2, std::string()).bind(3, int64_t(1)).bind(4, int64_t(1));
    l.step();
}

mssx_server::mssx_server(const std::string& dir) : dir_(dir)
{
    fs::path p = fs::path(dir) / kServerFile;
    std::error_code ec;
    if (!fs::exists(p, ec))
        throw mssx_error(17, "[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access denied.", 16);
    db_.open(p.string(), false);
}

void mssx_server::add_login(const std::string& name, const std::string& password, bool sysadmin)
{
    auto st = db_.prepare("SELECT 1 FROM logins WHERE name=?1");
    st.bind(1, name);
    if (st.step()) throw mssx_error(15025, "The server principal '" + name + "' already exists.");
    auto l = db_.prepare("INSERT INTO logins VALUES(?1, ?2, ?3, 0)");
    l.bind(1, name).bind(2, password).bind(3, int64_t(sysadmin));
    l.step();
}

void mssx_server::grant_access(const std::string& login, const std::string& database)
{
    auto l = db_.prepare("INSERT OR IGNORE INTO login_access VALUES(?1, ?2)");
    l.bind(1, login).bind(2, database);
    l.step();
}

void mssx_server::authenticate(const std::string& login, const std::string& password)
{
    auto st = db_.prepare("SELECT password FROM logins WHERE name=?1 AND integrated=0");
    st.bind(1, login);
    if (!st.step() || st.text(0) != password) throw mssx_error(18456, "Login failed for user '" + login + "'.", 14);
}

std::string mssx_server::integrated_login()
{
    auto st = db_.prepare("SELECT value FROM settings WHERE key='integrated'");
    std::string user = os_user();
    if (!st.step() || st.text(0) != "1")
        throw mssx_error(
            18456,
            "Login failed. The login is from an untrusted domain and cannot be used with Windows authentication.", 14);
    auto l = db_.prepare("SELECT name FROM logins WHERE name=?1 AND integrated=1");
    l.bind(1, user);
    if (!l.step()) throw mssx_error(18456, "Login failed for user '" + user + "'.", 14);
    return l.text(0);
}

void mssx_server::set_integrated(bool allowed)
{
    auto st = db_.prepare("INSERT OR REPLACE INTO settings VALUES('integrated', ?1)");
    st.bind(1, std::string(allowed ? "1" : "0"));
    st.step();
}

bool mssx_server::is_sysadmin(const std::string& login)
{
    auto st = db_.prepare("SELECT sysadmin FROM logins WHERE name=?1");
    st.bind(1, login);
    return st.step() && st.integer(0) != 0;
}

bool mssx_server::has_access(const std::string& login, const std::string& database)
{
    if (is_sysadmin(login) || mssx_iequal(database, "master") || mssx_iequal(database, "tempdb")) return true;
    auto st = db_.prepare("SELECT 1 FROM login_access WHERE login=?1 AND database_name=?2");
    st.bind(1, login).bind(2, database);
    return st.step();
}

mssx_stmt& mssx_server::kept(const char* sql)
{
    auto it = stmts_.find(sql);
    if (it == stmts_.end()) it = stmts_.emplace(sql, db_.prepare(sql)).first;
    return it->second;
}

namespace {
// Resets a kept statement when its use ends, so that it holds no read transaction open.
struct stmt_use {
    mssx_stmt& st;
    ~stmt_use() { st.reset(); }
};
} // namespace

std::vector<std::string> mssx_server::databases()
{
    auto& st = kept("SELECT name FROM databases ORDER BY name COLLATE NOCASE");
    stmt_use use{st};
    std::vector<std::string> out;
    while (st.step()) out.push_back(st.text(0));
    return out;
}

bool mssx_server::database_exists(const std::string& name) { return !database_name(name).empty(); }

std::string mssx_server::database_name(const std::string& name)
{
    auto st = db_.prepare("SELECT name FROM databases WHERE name=?1");
    st.bind(1, name);
    return st.step() ? st.text(0) : std::string();
}

int64_t mssx_server::database_id(const std::string& name)
{
    auto st = db_.prepare("SELECT database_id FROM databases WHERE name=?1");
    st.bind(1, name);
    return st.step() ? st.integer(0) : 0;
}

std::string mssx_server::database_file(const std::string& name)
{
    auto st = db_.prepare("SELECT file FROM databases WHERE name=?1");
    st.bind(1, name);
    if (!st.step())
        throw mssx_error(911, "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
    return (fs::path(dir_) / st.text(0)).string();
}

void mssx_server::create_database(const std::string& name)
{
    if (database_exists(name))
        throw mssx_error(1801, "Database '" + name + "' already exists. Choose a different database name.");
    std::string file = file_stem(name) + ".sqlite";
    std::error_code ec;
    fs::remove(fs::path(dir_) / file, ec);
    fs::remove(fs::path(dir_) / (file + "-wal"), ec);
    fs::remove(fs::path(dir_) / (file + "-shm"), ec);
    auto id = db_.prepare("SELECT COALESCE(MAX(database_id), 4) + 1 FROM databases");
    id.step();
    int64_t next = id.integer(0);
    auto st = db_.prepare("INSERT INTO databases VALUES(?1, ?2, ?3, ?4)");
    st.bind(1, name).bind(2, file).bind(3, next).bind(4, embedded::now_text(3));
    st.step();
    mssx_sqlite db;
    db.open((fs::path(dir_) / file).string(), true);
    mssx_catalog(db).ensure_dictionary();
}

void mssx_server::drop_database(const std::string& name)
{
    std::string file = database_file(name);
    if (mssx_iequal(name, "master") || mssx_iequal(name, "tempdb") || mssx_iequal(name, "model") ||
        mssx_iequal(name, "msdb"))
        throw mssx_error(3708, "Cannot drop the database '" + name + "' because it is a system database.");
    auto st = db_.prepare("DELETE FROM databases WHERE name=?1");
    st.bind(1, name);
    st.step();
    auto a = db_.prepare("DELETE FROM login_access WHERE database_name=?1");
    a.bind(1, name);
    a.step();
    std::error_code ec;
    fs::remove(file, ec);
    fs::remove(file + "-wal", ec);
    fs::remove(file + "-shm", ec);
}

std::string mssx_server::version()
{
    auto& st = kept("SELECT value FROM settings WHERE key='version'");
    stmt_use use{st};
    return st.step() ? st.text(0) : std::string(kPresets[9].banner);
}

void mssx_server::set_version(const std::string& v)
{
    std::string text = v;
    for (auto& p : kPresets)
        if (mssx_iequal(v, p.key)) text = p.banner;
    auto st = db_.prepare("INSERT OR REPLACE INTO settings VALUES('version', ?1)");
    st.bind(1, text);
    st.step();
}

int mssx_server::major_version_of(const std::string& v)
{
    size_t dash = v.find(" - ");
    if (dash == std::string::npos) return 16;
    return std::atoi(v.c_str() + dash + 3);
}
