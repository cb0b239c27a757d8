// An embedded SQL Server in a temporary folder, with Northwind loaded once
// per test program.
#pragma once
#include <string>

struct mss_test_server {
    std::string dir;   // the server folder
    std::wstring host; // "file:" + dir, the server name to connect to
    std::string sa_password = "Sa-Secret1";
    bool northwind = false; // the fixture script ran without errors

    // The shared server with Northwind; empty `dir` when the fixture is missing.
    static mss_test_server& shared();
    // A fresh server without databases.
    static mss_test_server fresh();
    // Runs a T-SQL script (GO batches) as sa; throws on the first error.
    void run(const std::string& script, const std::string& database = std::string()) const;
};
