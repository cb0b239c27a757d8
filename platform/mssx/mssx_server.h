// An embedded SQL Server: a folder holding the server file (logins, access
// per database, databases, the version banner) and one SQLite file per database.
#pragma once
#include <map>
#include <string>
#include <vector>
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_sqlite.h"

class mssx_server {
public:
    // Creates the folder and the server file with the login `sa` (sysadmin)
    // and the current OS user as an integrated login. Fails when one exists.
    static void create(const std::string& dir, const std::string& sa_password);
    // Opens an existing server; throws the error a client gets when no
    // server answers (native 17) when the folder holds none.
    explicit mssx_server(const std::string& dir);

    const std::string& dir() const { return dir_; }

    void add_login(const std::string& name, const std::string& password, bool sysadmin);
    void grant_access(const std::string& login, const std::string& database);
    // Throws 18456 when the login is unknown or the password is wrong.
    void authenticate(const std::string& login, const std::string& password);
    // The login name of an integrated ("SSPI") connection; throws 18456 when
    // integrated logins are not allowed.
    std::string integrated_login();
    void set_integrated(bool allowed);
    bool is_sysadmin(const std::string& login);
    bool has_access(const std::string& login, const std::string& database);

    std::vector<std::string> databases(); // sorted by name
    bool database_exists(const std::string& name);
    std::string database_name(const std::string& name); // as created (case kept); empty when absent
    std::string database_file(const std::string& name);
    int64_t database_id(const std::string& name); // 0 when absent
    void create_database(const std::string& name);
    void drop_database(const std::string& name);

    std::string version();
    // A banner text, or one of the presets "7", "2000", "2005", "2008", "2012",
    // "2014", "2016", "2017", "2019", "2022", "azure".
    void set_version(const std::string& banner_or_preset);
    bool is_azure() { return is_azure_banner(version()); }
    int major_version() { return major_version_of(version()); } // 7 .. 16; 12 for Azure
    static bool is_azure_banner(const std::string& banner) { return banner.rfind("Microsoft SQL Azure", 0) == 0; }
    static int major_version_of(const std::string& banner);

private:
    // A statement asked for on every query (the version, the database list), prepared once.
    mssx_stmt& kept(const char* sql);

    std::string dir_;
    mssx_sqlite db_;
    std::map<const char*, mssx_stmt> stmts_;
};

// Tests make the next statement whose text contains `pattern` (any case)
// fail with the given native error number (and text, or a generic one).
void mssx_fail_next(const std::string& pattern, int number, const std::string& message = std::string());
void mssx_clear_injected_failures();
// Throws the injected error when one matches the statement text.
void mssx_check_injected(const std::string& statement_text);
