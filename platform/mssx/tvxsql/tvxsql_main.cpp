// Command-line client of the embedded SQL Server: creates a server folder,
// runs T-SQL scripts with GO batches and single queries.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_sqlcmd.h"
#include "tvxsql_serve.h"

namespace {

const char* kUsage =
    "usage:\n"
    "  tvxsql create DIR [-P sa_password]\n"
    "  tvxsql DIR [-E | -U login -P password] [-d database] [-v name=value]... [--data-dir DIR] -i script.sql\n"
    "  tvxsql DIR [-E | -U login -P password] [-d database] -Q \"query\"\n"
    "  tvxsql DIR --version (7|2000|2005|2008|2012|2014|2016|2017|2019|2022|azure|\"banner text\")\n"
    "  tvxsql DIR --add-login NAME PASSWORD [--sysadmin] [--grant DATABASE]...\n"
    "  tvxsql serve DIR [--host 127.0.0.1] --port N [--idle-timeout SECONDS]\n"
    "Without -U the connection uses the integrated login of the current user.\n";

size_t width_of(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

void print_result(const mssx_result& r)
{
    std::vector<std::vector<std::string>> cells;
    std::vector<size_t> w;
    for (auto& c : r.columns) w.push_back(width_of(c.name));
    for (auto& row : r.rows) {
        std::vector<std::string> line;
        for (size_t i = 0; i < row.size(); ++i) {
            std::string s = mssx_is_null(row[i]) ? "NULL" : mssx_text(r.columns[i].type, row[i]);
            if (r.columns[i].type.is_binary() && !mssx_is_null(row[i])) s = "0x" + s;
            std::replace(s.begin(), s.end(), '\n', ' ');
            std::replace(s.begin(), s.end(), '\r', ' ');
            w[i] = std::max(w[i], width_of(s));
            line.push_back(std::move(s));
        }
        cells.push_back(std::move(line));
    }
    auto pad = [](const std::string& s, size_t n) {
        return s + std::string(n > width_of(s) ? n - width_of(s) : 0, ' ');
    };
    for (size_t i = 0; i < r.columns.size(); ++i) std::cout << (i ? " " : "") << pad(r.columns[i].name, w[i]);
    std::cout << "\n";
    for (size_t i = 0; i < r.columns.size(); ++i) std::cout << (i ? " " : "") << std::string(w[i], '-');
    std::cout << "\n";
    for (auto& line : cells) {
        for (size_t i = 0; i < line.size(); ++i) std::cout << (i ? " " : "") << pad(line[i], w[i]);
        std::cout << "\n";
    }
    std::cout << "\n(" << r.rows.size() << (r.rows.size() == 1 ? " row" : " rows") << " affected)\n";
}

bool report(const mssx_outcome& out, int first_line)
{
    for (auto& m : out.messages)
        if (m.rfind("(", 0) != 0) std::cout << m << "\n";
    for (auto& r : out.results) print_result(r);
    for (auto& e : out.errors)
        std::cerr << "Msg " << e.number << ", Level " << e.severity << ", State 1, Line "
                  << (first_line + std::max(e.line, 1) - 1) << "\n"
                  << e.what() << "\n";
    return out.errors.empty();
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> a(argv + 1, argv + argc);
    try {
        if (a.size() >= 2 && a[0] == "create") {
            std::string pw = "sa";
            for (size_t i = 2; i + 1 < a.size(); ++i)
                if (a[i] == "-P") pw = a[i + 1];
            mssx_server::create(a[1], pw);
            std::cout << "Created an embedded SQL Server in " << a[1] << " (login sa).\n";
            return 0;
        }
        if (!a.empty() && a[0] == "serve") return tvxsql_serve(std::vector<std::string>(a.begin() + 1, a.end()));
        if (a.empty() || a[0] == "-h" || a[0] == "--help") {
            std::cerr << kUsage;
            return a.empty() ? 1 : 0;
        }
        std::string dir = a[0];
        mssx_login login;
        login.integrated = true;
        std::string script, query, data_dir;
        mssx_sqlcmd_state sqlcmd;
        for (size_t i = 1; i < a.size(); ++i) {
            auto next = [&]() -> std::string {
                if (i + 1 >= a.size()) throw std::runtime_error("missing value after " + a[i]);
                return a[++i];
            };
            if (a[i] == "-E")
                login.integrated = true;
            else if (a[i] == "-U") {
                login.user = next();
                login.integrated = false;
            } else if (a[i] == "-P")
                login.password = next();
            else if (a[i] == "-d")
                login.database = next();
            else if (a[i] == "-i")
                script = next();
            else if (a[i] == "-Q")
                query = next();
            else if (a[i] == "--data-dir")
                data_dir = next();
            else if (a[i] == "-v") {
                // -v name=value [name=value ...]
                while (i + 1 < a.size() && a[i + 1].find('=') != std::string::npos && a[i + 1][0] != '-') {
                    std::string nv = a[++i];
                    sqlcmd.set(nv.substr(0, nv.find('=')), nv.substr(nv.find('=') + 1));
                }
            } else if (a[i] == "--version") {
                mssx_server s(dir);
                s.set_version(next());
                std::cout << s.version();
                return 0;
            } else if (a[i] == "--add-login") {
                std::string name = next(), pw = next();
                bool sysadmin = false;
                std::vector<std::string> grants;
                while (i + 1 < a.size()) {
                    if (a[i + 1] == "--sysadmin") {
                        sysadmin = true;
                        ++i;
                    } else if (a[i + 1] == "--grant" && i + 2 < a.size()) {
                        grants.push_back(a[i + 2]);
                        i += 2;
                    } else
                        break;
                }
                mssx_server s(dir);
                s.add_login(name, pw, sysadmin);
                for (auto& g : grants) s.grant_access(name, g);
                return 0;
            } else
                throw std::runtime_error("unknown option " + a[i]);
        }
        if (script.empty() == query.empty()) {
            std::cerr << kUsage;
            return 1;
        }
        mssx_connection conn(dir, login);
        if (!query.empty()) {
            if (!data_dir.empty()) conn.set_data_dir(data_dir);
            return report(conn.execute(query), 1) ? 0 : 1;
        }
        std::ifstream in(script, std::ios::binary);
        if (!in) {
            std::cerr << "Cannot open the script '" << script << "'.\n";
            return 1;
        }
        std::stringstream ss;
        ss << in.rdbuf();
        // BULK INSERT reads data files from the script's folder unless told otherwise
        conn.set_data_dir(data_dir.empty() ? std::filesystem::path(script).parent_path().string() : data_dir);
        bool ok = true;
        for (auto& b : mssx_split_batches(ss.str(), &sqlcmd))
            for (int k = 0; k < b.repeat; ++k) {
                bool batch_ok = report(conn.execute(b.text), b.first_line);
                ok = batch_ok && ok;
                if (conn.closed()) return 1; // a fatal error ended the session
                if (!batch_ok && b.exit_on_error) return 1;
            }
        return ok ? 0 : 1;
    } catch (const mssx_error& e) {
        std::cerr << "Msg " << e.number << ", Level " << e.severity << ", State 1\n" << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "tvxsql: " << e.what() << "\n";
        return 1;
    }
}
