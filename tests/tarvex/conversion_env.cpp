#include "conversion_env.h"
#include "platform/eora/eora_privileges.h"

#include <gtest/gtest.h>
#include <cmath>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "TK/tk_text.h"
#include "platform/eora/eora_text.h"
#include "platform/mssx/mssx_lexer.h"

namespace fs = std::filesystem;

recording_handler::recording_handler() : error_handler(g_ora_error_count, g_ora_error_table)
{
    load_err_map(g_odb_error_count, g_odb_error_table);
}

void recording_handler::handle(const tk_exception& e, bool /*may_continue*/)
{
    errors.push_back({e.level, build_message(e)});
}

conversion_env::conversion_env(const std::string& ora_charset)
{
    std::string tmpl = (fs::temp_directory_path() / "tvx_conv_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
    dir_ = tmpl;
    mssx_server::create(mss_dir(), "sa");
    fs::create_directories(ora_dir());
    eora::session::create_service(ora_dir() + "/" + service + ".db", system_password, ora_charset);
}

conversion_env::~conversion_env()
{
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void conversion_env::create_database(const std::string& db)
{
    mssx_login login;
    login.integrated = true;
    mssx_connection conn(mss_dir(), login);
    mssx_outcome out = conn.execute("CREATE DATABASE [" + db + "]");
    if (!out.errors.empty()) throw std::runtime_error(out.errors.front().what());
}

void conversion_env::run_script(const std::string& db, const std::string& script)
{
    mssx_login login;
    login.integrated = true;
    login.database = db;
    mssx_connection conn(mss_dir(), login);
    for (const auto& batch : mssx_split_batches(script))
        for (int k = 0; k < batch.repeat; ++k) {
            mssx_outcome out = conn.execute(batch.text);
            for (const auto& e : out.errors)
                ADD_FAILURE() << "source script, line " << batch.first_line << ": " << e.what();
        }
}

void conversion_env::load_file(const std::string& db, const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::stringstream ss;
    ss << in.rdbuf();
    run_script(db, ss.str());
}

mssx_result conversion_env::source_query(const std::string& db, const std::string& sql)
{
    mssx_login login;
    login.integrated = true;
    login.database = db;
    mssx_connection conn(mss_dir(), login);
    mssx_outcome out = conn.execute(sql);
    if (!out.errors.empty()) throw std::runtime_error(std::string(out.errors.front().what()) + " in " + sql);
    if (out.results.empty()) throw std::runtime_error("no result: " + sql);
    return out.results.front();
}

void conversion_env::create_user(const std::string& user, const std::string& password)
{
    std::vector<std::string> all;
    for (std::string_view p : eora::priv::converter_set()) all.emplace_back(p);
    create_user(user, password, all);
}

void conversion_env::create_user(const std::string& user, const std::string& password,
                                 const std::vector<std::string>& privileges)
{
    oracle_exec("CREATE USER \"" + eora::upper(user) + "\" IDENTIFIED BY \"" + password + "\"");
    oracle_exec("ALTER USER \"" + eora::upper(user) + "\" QUOTA UNLIMITED ON \"USERS\"");
    std::string list;
    for (const auto& p : privileges) list += (list.empty() ? "" : ", ") + p;
    if (!list.empty()) oracle_exec("GRANT " + list + " TO \"" + eora::upper(user) + "\"");
}

ora_rows conversion_env::oracle_query(const std::string& sql)
{
    eora::session s(ora_dir() + "/" + service + ".db", "SYSTEM", system_password);
    auto st = s.prepare(sql);
    eora::exec_result r = s.execute(*st, {});
    ora_rows rows;
    if (!r.cur) throw std::runtime_error("not a query: " + sql);
    rows.columns = r.cur->columns();
    while (r.cur->next()) rows.rows.push_back(r.cur->row());
    return rows;
}

void conversion_env::oracle_exec(const std::string& sql)
{
    eora::session s(ora_dir() + "/" + service + ".db", "SYSTEM", system_password);
    auto st = s.prepare(sql);
    s.execute(*st, {});
    s.commit();
}

std::vector<std::string> conversion_env::oracle_list(const std::string& sql)
{
    std::vector<std::string> out;
    for (const auto& row : oracle_query(sql).rows) out.push_back(row.at(0).s);
    return out;
}

int64_t conversion_env::oracle_count(const std::string& quoted_table)
{
    auto list = oracle_list("SELECT COUNT(*) FROM " + quoted_table);
    return list.empty() ? -1 : std::stoll(list.front());
}

std::set<std::string> conversion_env::oracle_tables(const std::string& owner)
{
    auto list = oracle_list("SELECT TABLE_NAME FROM ALL_TABLES WHERE OWNER = '" + owner + "'");
    return {list.begin(), list.end()};
}

void conversion_env::configure(tarvex_convertor& driver, const std::string& db, const std::string& user,
                               const std::string& password)
{
    driver.src = to_unicode(db);
    driver.dest = to_unicode(service);
    driver.store_oracle_settings(to_unicode("file:" + ora_dir()), to_unicode(user), to_unicode(password), L"");
    driver.windows_auth = true;
    driver.store_mssql_settings(to_unicode("file:" + mss_dir()), L"", L"");
    driver.connect_mssql_server();
    driver.connect_oracle_server(driver.dest);
}

std::string canonical_number(const std::string& text)
{
    std::string s = text;
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.erase(0, 1);
    }
    std::string int_part = s, frac;
    if (auto dot = s.find('.'); dot != std::string::npos) {
        int_part = s.substr(0, dot);
        frac = s.substr(dot + 1);
    }
    int_part.erase(0, std::min(int_part.find_first_not_of('0'), int_part.size()));
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    if (int_part.empty()) int_part = "0";
    std::string out = int_part + (frac.empty() ? "" : "." + frac);
    return negative && out != "0" ? "-" + out : out;
}

namespace {

std::string float_text(double d, int digits)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, d);
    return buf;
}

std::string upper_ascii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// Date and time as "YYYY-MM-DD HH:MM:SS" plus, unless cut to seconds, three digits of fraction.
std::string date_text(const std::string& s, bool seconds_only)
{
    std::string base = s.substr(0, 19);
    if (base.size() == 10) base += " 00:00:00";
    if (seconds_only) return base;
    std::string frac = s.size() > 20 && s[19] == '.' ? s.substr(20) : "";
    frac = (frac + "000").substr(0, 3);
    return base + "." + frac;
}

std::string hex(const std::string& bytes)
{
    static const char* d = "0123456789ABCDEF";
    std::string h;
    for (unsigned char b : bytes) {
        h += d[b >> 4];
        h += d[b & 15];
    }
    return h;
}

std::string guid_text(std::string s)
{
    if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
    return upper_ascii(s);
}

enum class value_class { number, floating, single, date, offset, time, binary, guid, text };

value_class classify(const mssx_type& t)
{
    if (t.name == "uniqueidentifier") return value_class::guid;
    // A real is compared as the float it is.
    if (t.name == "real" || (t.name == "float" && t.precision > 0 && t.precision <= 24)) return value_class::single;
    if (t.is_float()) return value_class::floating;
    if (t.is_integer() || t.is_exact_decimal() || t.name == "bit") return value_class::number;
    if (t.name == "time") return value_class::time;
    // Every digit and the offset: the target keeps both.
    if (t.name == "datetimeoffset") return value_class::offset;
    if (t.is_datetime()) return value_class::date;
    if (t.is_binary()) return value_class::binary;
    return value_class::text;
}

// `lob`: the target column is a CLOB or BLOB, which keeps an empty value apart from NULL.
std::string source_text(const mssx_type& t, const mssx_value& v, value_class c, bool seconds_only, bool lob)
{
    if (mssx_is_null(v)) return "NULL";
    switch (c) {
    case value_class::floating:
    case value_class::single: {
        const double d = std::holds_alternative<double>(v) ? std::get<double>(v) : std::stod(mssx_text(t, v));
        // Oracle's NUMBER ends below 1E126: such a value arrives as NULL (and is reported).
        if (std::fabs(d) > 1e126) return "NULL";
        return float_text(c == value_class::single ? static_cast<float>(d) : d, c == value_class::single ? 9 : 17);
    }
    case value_class::number:
        return canonical_number(mssx_text(t, v));
    case value_class::date:
        return date_text(mssx_text(t, v), seconds_only);
    case value_class::time:
        return mssx_text(t, v).substr(0, 8);
    case value_class::offset:
        return mssx_text(t, v);
    case value_class::binary: {
        // Oracle keeps no empty value: an empty binary arrives as NULL.
        const std::string& bytes = std::get<mssx_blob>(v).bytes;
        return bytes.empty() ? (lob ? "''" : "NULL") : hex(bytes);
    }
    case value_class::guid:
        return guid_text(mssx_text(t, v));
    case value_class::text: {
        std::string s = mssx_text(t, v);
        if (s.empty() && !lob) return "NULL"; // Oracle keeps no empty text
        return "'" + s + "'";
    }
    }
    return "?";
}

std::string target_text(const eora::value& v, const eora::col_type& t, value_class c, bool seconds_only)
{
    if (v.is_null()) return "NULL";
    if (t.is_lob() && v.s.empty()) return "''";
    switch (c) {
    case value_class::floating:
    case value_class::single: {
        // Exactly the source's double, or float for a real.
        const double d = std::stod(v.s);
        return float_text(c == value_class::single ? static_cast<float>(d) : d, c == value_class::single ? 9 : 17);
    }
    case value_class::number:
        return canonical_number(v.s);
    case value_class::date:
        return date_text(v.s, seconds_only);
    case value_class::time:
        // A time of day lands in a DATE with SQL Server's date part; any other date part shows.
        return v.s.size() >= 19 && v.s.compare(0, 11, "1900-01-01 ") == 0 ? v.s.substr(11, 8) : v.s;
    case value_class::offset:
        return v.s;
    case value_class::binary:
        return hex(v.s);
    case value_class::guid:
        return guid_text(v.s);
    case value_class::text:
        return "'" + v.s + "'";
    }
    return "?";
}

bool same_name(const std::string& a, const std::string& b) { return upper_ascii(a) == upper_ascii(b); }

} // namespace

void expect_same_rows(conversion_env& env, const std::string& db, const std::string& source_sql,
                      const std::string& oracle_table, const table_map& map)
{
    mssx_result src = env.source_query(db, source_sql);
    ora_rows dst = env.oracle_query("SELECT * FROM " + oracle_table);

    // Target column of each source column, or -1 when it was dropped.
    std::vector<int> target_of;
    size_t expected_columns = 0;
    for (const auto& c : src.columns) {
        if (map.dropped.count(c.name)) {
            target_of.push_back(-1);
            for (const auto& d : dst.columns)
                EXPECT_FALSE(same_name(d.name, c.name)) << oracle_table << " still has dropped column " << c.name;
            continue;
        }
        ++expected_columns;
        auto it = map.renamed.find(c.name);
        const std::string want = it == map.renamed.end() ? c.name : it->second;
        int found = -1;
        for (size_t i = 0; i < dst.columns.size(); ++i)
            if (same_name(dst.columns[i].name, want)) found = static_cast<int>(i);
        EXPECT_GE(found, 0) << oracle_table << " has no column " << want;
        target_of.push_back(found);
    }
    EXPECT_EQ(dst.columns.size(), expected_columns) << oracle_table;

    std::vector<std::string> want_rows, got_rows;
    for (const auto& row : src.rows) {
        std::string a;
        for (size_t i = 0; i < src.columns.size(); ++i) {
            if (target_of[i] < 0) continue;
            const auto& tcol = dst.columns[static_cast<size_t>(target_of[i])];
            value_class c = classify(src.columns[i].type);
            const bool seconds_only = c == value_class::date && tcol.type.k == eora::kind::date;
            a += source_text(src.columns[i].type, row[i], c, seconds_only, tcol.type.is_lob()) + " | ";
        }
        want_rows.push_back(a);
    }
    for (const auto& row : dst.rows) {
        std::string b;
        for (size_t i = 0; i < src.columns.size(); ++i) {
            if (target_of[i] < 0) continue;
            const auto& tcol = dst.columns[static_cast<size_t>(target_of[i])];
            value_class c = classify(src.columns[i].type);
            const bool seconds_only = c == value_class::date && tcol.type.k == eora::kind::date;
            b += target_text(row[static_cast<size_t>(target_of[i])], tcol.type, c, seconds_only) + " | ";
        }
        got_rows.push_back(b);
    }
    std::sort(want_rows.begin(), want_rows.end());
    std::sort(got_rows.begin(), got_rows.end());
    EXPECT_EQ(got_rows.size(), want_rows.size()) << oracle_table;
    for (size_t i = 0; i < std::min(want_rows.size(), got_rows.size()); ++i)
        EXPECT_EQ(got_rows[i], want_rows[i]) << oracle_table << ", row " << i;
}

std::set<std::string> expect_every_table_converted(conversion_env& env, const std::string& db,
                                                   const std::set<std::string>& except)
{
    mssx_result tables = env.source_query(
        db, "SELECT TABLE_SCHEMA, TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_TYPE = 'BASE TABLE'");
    std::set<std::string> names;
    for (const auto& row : tables.rows) {
        const std::string schema = std::get<std::string>(row[0]), table = std::get<std::string>(row[1]);
        names.insert(schema + "." + table);
        if (except.count(schema + "." + table)) continue;
        expect_same_rows(env, db, "SELECT * FROM [" + schema + "].[" + table + "]",
                         "\"" + schema + "\".\"" + table + "\"");
    }
    return names;
}
