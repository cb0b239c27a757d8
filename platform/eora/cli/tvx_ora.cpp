// tvx-ora: command-line client of the embedded Oracle. Creates services and
// users, runs SQL and shows what a conversion wrote.
#include "platform/embedded/embedded_sqlite.h"
#include "platform/eora/eora_error.h"
#include "platform/eora/eora_lexer.h"
#include "platform/eora/eora_private_folder.h"
#include "platform/eora/eora_privileges.h"
#include "platform/eora/eora_script.h"
#include "platform/eora/eora_session.h"
#include "platform/eora/eora_text.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* usage =
    "usage:\n"
    "  tvx-ora create-service DIR SERVICE SYSTEM_PASSWORD [--charset SET] [--ncharset SET]\n"
    "                         [--max-identifier-length N] [--banner TEXT]\n"
    "  tvx-ora create-user    DIR SERVICE SYSTEM_PASSWORD USER PASSWORD [--no-grants | --grant LIST]\n"
    "  tvx-ora sql            DIR SERVICE USER PASSWORD (-e SQL | -f FILE | -)\n"
    "  tvx-ora tables         DIR SERVICE USER PASSWORD [--rows N]\n"
    "The data source of the service is //file:DIR:1521/SERVICE.\n"
    "--charset: AL32UTF8 (default), UTF8, WE8MSWIN1252, WE8ISO8859P1, US7ASCII; --ncharset: AL16UTF16\n"
    "(default) or UTF8.\n"
    "create-user grants the privileges a conversion needs; --grant names others (comma-separated),\n"
    "--no-grants none (the user cannot even log on until granted CREATE SESSION).\n"
    "Statements end with ';'; a trigger ends with a line holding only '/'.\n";

std::string service_file(const std::string& dir, const std::string& service)
{
    return (std::filesystem::path(dir) / (eora::upper(service) + ".db")).string();
}

// Display form of one value.
std::string show(const eora::value& v, const eora::result_column& c)
{
    if (v.is_null()) return "";
    std::string s = v.s;
    if (v.kind == eora::value::vk::bytes) {
        static const char* d = "0123456789ABCDEF";
        std::string h;
        for (unsigned char b : s) {
            h += d[b >> 4];
            h += d[b & 15];
        }
        s = h;
    }
    if (c.type.is_lob() && s.size() > 60) s = s.substr(0, 57) + "...";
    for (char& ch : s)
        if (ch == '\n' || ch == '\r' || ch == '\t') ch = ' ';
    return s;
}

size_t width(const std::string& s) { return eora::utf16_length(s); }

void print_table(eora::cursor& cur, std::ostream& out, long limit)
{
    const auto& cols = cur.columns();
    std::vector<std::vector<std::string>> rows;
    long total = 0;
    while (cur.next()) {
        ++total;
        if (limit >= 0 && total > limit) continue;
        std::vector<std::string> r;
        for (size_t i = 0; i < cols.size(); ++i) r.push_back(show(cur.row()[i], cols[i]));
        rows.push_back(std::move(r));
    }
    std::vector<size_t> w(cols.size());
    for (size_t i = 0; i < cols.size(); ++i) {
        w[i] = width(cols[i].name);
        for (const auto& r : rows) w[i] = std::max(w[i], width(r[i]));
    }
    auto line = [&](const std::vector<std::string>& cells, const std::vector<bool>* right) {
        for (size_t i = 0; i < cells.size(); ++i) {
            std::string pad(w[i] - width(cells[i]), ' ');
            if (i) out << " | ";
            if (right && (*right)[i])
                out << pad << cells[i];
            else
                out << cells[i] << (i + 1 < cells.size() ? pad : "");
        }
        out << "\n";
    };
    std::vector<std::string> head;
    std::vector<bool> right;
    for (const auto& c : cols) {
        head.push_back(c.name);
        right.push_back(c.type.is_numeric());
    }
    line(head, nullptr);
    for (size_t i = 0; i < cols.size(); ++i) out << (i ? "-+-" : "") << std::string(w[i], '-');
    out << "\n";
    for (const auto& r : rows) line(r, &right);
    out << "(" << total << (total == 1 ? " row" : " rows");
    if (limit >= 0 && total > limit) out << ", " << limit << " shown";
    out << ")\n";
}

int run_statements(eora::session& s, const std::vector<std::string>& stmts)
{
    int failures = 0;
    for (const auto& text : stmts) {
        try {
            auto st = s.prepare(text);
            eora::exec_result r = s.execute(*st, {});
            if (r.cur) {
                print_table(*r.cur, std::cout, -1);
            } else if (st->verb == "INSERT" || st->verb == "UPDATE" || st->verb == "DELETE") {
                std::cout << r.rows << (r.rows == 1 ? " row " : " rows ")
                          << (st->verb == "INSERT"   ? "created"
                              : st->verb == "UPDATE" ? "updated"
                                                     : "deleted")
                          << ".\n";
            } else if (r.info) {
                std::cout << "Warning: " << r.info_text << "\n";
            } else {
                std::cout << st->verb << " done.\n";
            }
        } catch (const eora::eora_error& e) {
            std::cerr << e.text() << "\n";
            ++failures;
        }
    }
    s.commit();
    return failures ? 1 : 0;
}

int tables(eora::session& s, long rows)
{
    auto list = s.prepare("SELECT OWNER, TABLE_NAME FROM ALL_TABLES ORDER BY OWNER, TABLE_NAME");
    auto r = s.execute(*list, {});
    std::vector<std::pair<std::string, std::string>> names;
    while (r.cur->next()) names.emplace_back(r.cur->row()[0].s, r.cur->row()[1].s);
    r.cur.reset();
    for (const auto& n : names) {
        auto quote = [](const std::string& x) { return "\"" + x + "\""; };
        std::string t = quote(n.first) + "." + quote(n.second);
        auto cnt = s.prepare("SELECT COUNT(*) FROM " + t);
        auto c = s.execute(*cnt, {});
        std::string count = c.cur->next() ? c.cur->row()[0].s : "?";
        std::cout << n.first << "." << n.second << ": " << count << (count == "1" ? " row" : " rows") << "\n";
        if (rows > 0 && count != "0") {
            auto sel = s.prepare("SELECT * FROM " + t);
            auto q = s.execute(*sel, {});
            print_table(*q.cur, std::cout, rows);
        }
        std::cout << "\n";
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> a(argv + 1, argv + argc);
    try {
        if (a.size() >= 4 && a[0] == "create-service") {
            std::string file = service_file(a[1], a[2]);
            std::string charset = "AL32UTF8", ncharset = "AL16UTF16";
            std::vector<std::pair<std::string, std::string>> settings;
            if (a.size() % 2 != 0) {
                std::cerr << usage;
                return 2;
            }
            for (size_t i = 4; i + 1 < a.size(); i += 2) {
                if (a[i] == "--charset") {
                    charset = eora::upper(a[i + 1]);
                } else if (a[i] == "--ncharset") {
                    ncharset = eora::upper(a[i + 1]);
                } else if (a[i] == "--max-identifier-length") {
                    settings.emplace_back("max_identifier_length", a[i + 1]);
                } else if (a[i] == "--banner") {
                    settings.emplace_back("banner", a[i + 1]);
                } else {
                    std::cerr << usage;
                    return 2;
                }
            }
            if (!eora::create_private_folders(a[1])) {
                std::cerr << "cannot create the folder " << a[1] << "\n";
                return 2;
            }
            eora::session::create_service(file, a[3], charset, ncharset);
            embedded::sqlite_db db;
            db.open(file, SQLITE_OPEN_READWRITE);
            embedded::sqlite_stmt st = db.prepare("UPDATE _ora_settings SET value=?2 WHERE name=?1");
            for (const auto& [key, value] : settings) {
                st.reset();
                sqlite3_bind_text(st.get(), 1, key.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(st.get(), 2, value.c_str(), -1, SQLITE_TRANSIENT);
                st.step();
            }
            std::cout << "Service " << eora::upper(a[2]) << " created: //file:" << a[1] << ":1521/" << eora::upper(a[2])
                      << "\n";
            return 0;
        }
        if ((a.size() == 6 || a.size() == 7 || a.size() == 8) && a[0] == "create-user") {
            // The privileges a conversion needs, unless told otherwise.
            std::string grants;
            for (std::string_view p : eora::priv::converter_set())
                grants += (grants.empty() ? "" : ", ") + std::string(p);
            if (a.size() == 7 && a[6] == "--no-grants") {
                grants.clear();
            } else if (a.size() == 8 && a[6] == "--grant") {
                grants = a[7];
            } else if (a.size() != 6) {
                std::cerr << usage;
                return 2;
            }
            eora::session s(service_file(a[1], a[2]), "SYSTEM", a[3]);
            std::string user = "\"" + eora::upper(a[4]) + "\"";
            std::vector<std::string> stmts = {"CREATE USER " + user + " IDENTIFIED BY \"" + a[5] + "\"",
                                              "ALTER USER " + user + " QUOTA UNLIMITED ON \"USERS\""};
            if (!grants.empty()) stmts.push_back("GRANT " + grants + " TO " + user);
            return run_statements(s, stmts);
        }
        if (a.size() >= 6 && a[0] == "sql") {
            eora::session s(service_file(a[1], a[2]), a[3], a[4]);
            std::string script;
            if (a[5] == "-e" && a.size() == 7) {
                script = a[6];
            } else if (a[5] == "-f" && a.size() == 7) {
                std::ifstream in(a[6], std::ios::binary);
                if (!in) {
                    std::cerr << "cannot read " << a[6] << "\n";
                    return 2;
                }
                std::stringstream ss;
                ss << in.rdbuf();
                script = ss.str();
            } else if (a[5] == "-" && a.size() == 6) {
                std::stringstream ss;
                ss << std::cin.rdbuf();
                script = ss.str();
            } else {
                std::cerr << usage;
                return 2;
            }
            return run_statements(s, eora::split_script(script));
        }
        if ((a.size() == 5 || a.size() == 7) && a[0] == "tables") {
            long rows = 0;
            if (a.size() == 7) {
                if (a[5] != "--rows") {
                    std::cerr << usage;
                    return 2;
                }
                rows = std::stol(a[6]);
            }
            eora::session s(service_file(a[1], a[2]), a[3], a[4]);
            return tables(s, rows);
        }
    } catch (const eora::eora_error& e) {
        std::cerr << e.text() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 2;
    }
    std::cerr << usage;
    return 2;
}
