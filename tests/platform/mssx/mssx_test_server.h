// A throw-away embedded server folder for tests.
#pragma once
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/mssx_lexer.h"

struct mssx_test_server {
    std::string dir;
    explicit mssx_test_server(const std::string& tag)
    {
        dir =
            (std::filesystem::temp_directory_path() / ("tvx_mssx_" + tag + "_" + std::to_string(::getpid()))).string();
        std::filesystem::remove_all(dir);
        mssx_server::create(dir, "secret");
    }
    ~mssx_test_server()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    mssx_login sa(const std::string& db = std::string()) const { return {"sa", "secret", false, db}; }
    // The first result of one statement as sa in db; an error is thrown.
    mssx_result query(const std::string& db, const std::string& sql) const
    {
        mssx_connection c(dir, sa(db));
        mssx_outcome out = c.execute(sql);
        if (!out.errors.empty()) throw out.errors.front();
        return out.results.at(0);
    }
    // Runs a script the way the client does; returns every error.
    std::vector<mssx_error> run_script(const std::string& text, const std::string& db = std::string()) const
    {
        mssx_connection c(dir, sa(db));
        std::vector<mssx_error> errors;
        for (auto& b : mssx_split_batches(text))
            for (int k = 0; k < b.repeat; ++k)
                for (auto& e : c.execute(b.text).errors) errors.push_back(e);
        return errors;
    }
};

// One cell as the client prints it; "NULL" for a null.
inline std::string mssx_cell(const mssx_result& r, size_t row, size_t col)
{
    return mssx_is_null(r.rows.at(row).at(col)) ? "NULL" : mssx_text(r.columns.at(col).type, r.rows[row][col]);
}

inline std::string mssx_read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::string mssx_fixture(const std::string& rel)
{
    const char* root = std::getenv("TVX_FIXTURES");
    std::string base = root ? root : "../shared/fixtures";
    return base + "/" + rel;
}
