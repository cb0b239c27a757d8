// A small ODBC client over unixODBC and FreeTDS's driver, named by its path
// so that no odbcinst.ini entry is needed.
#pragma once
#include <sql.h>
#include <sqlext.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

struct tds_odbc_error {
    std::string sqlstate;
    long native = 0;
    std::string text;
};

class tds_odbc_client {
public:
    tds_odbc_client()
    {
        // FreeTDS reads no system configuration: an empty one of our own
        static const std::string conf = [] {
            auto p =
                std::filesystem::temp_directory_path() / ("tvx_tds_freetds_" + std::to_string(::getpid()) + ".conf");
            std::ofstream(p) << "[global]\n";
            return p.string();
        }();
        ::setenv("FREETDSCONF", conf.c_str(), 1);
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    }
    ~tds_odbc_client()
    {
        if (stmt_) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        if (connected_) SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    tds_odbc_client(const tds_odbc_client&) = delete;
    tds_odbc_client& operator=(const tds_odbc_client&) = delete;

    static std::string connection_string(int port, const std::string& user, const std::string& pw,
                                         const std::string& db, const std::string& tds_version = "7.4")
    {
        return std::string("DRIVER=") + TDSODBC_PATH + ";SERVER=127.0.0.1;PORT=" + std::to_string(port) +
               ";UID=" + user + ";PWD=" + pw + (db.empty() ? std::string() : ";DATABASE=" + db) +
               ";TDS_Version=" + tds_version + ";ClientCharset=UTF-8";
    }

    bool connect(int port, const std::string& user, const std::string& pw, const std::string& db = std::string(),
                 const std::string& tds_version = "7.4")
    {
        std::string cs = connection_string(port, user, pw, db, tds_version);
        SQLCHAR out[1024];
        SQLSMALLINT outlen = 0;
        SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, (SQLCHAR*)cs.c_str(), SQL_NTS, out, sizeof out, &outlen,
                                        SQL_DRIVER_NOPROMPT);
        connected_ = SQL_SUCCEEDED(rc);
        if (!connected_) collect(SQL_HANDLE_DBC, dbc_);
        return connected_;
    }

    // A fresh statement handle (the previous one is freed).
    SQLHSTMT stmt()
    {
        if (stmt_) SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        stmt_ = nullptr;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
        return stmt_;
    }
    SQLHSTMT current() const { return stmt_; }

    bool exec(const std::string& sql)
    {
        stmt();
        SQLRETURN rc = SQLExecDirect(stmt_, (SQLCHAR*)sql.c_str(), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            collect(SQL_HANDLE_STMT, stmt_);
            return false;
        }
        return true;
    }

    // Every row of the current result as text (NULL as nullopt), columns read as SQL_C_CHAR.
    std::vector<std::vector<std::optional<std::string>>> rows()
    {
        std::vector<std::vector<std::optional<std::string>>> out;
        SQLSMALLINT cols = 0;
        SQLNumResultCols(stmt_, &cols);
        while (SQL_SUCCEEDED(SQLFetch(stmt_))) {
            std::vector<std::optional<std::string>> row;
            for (SQLUSMALLINT c = 1; c <= cols; ++c) row.push_back(text(c));
            out.push_back(std::move(row));
        }
        return out;
    }

    std::optional<std::string> text(SQLUSMALLINT col, SQLSMALLINT ctype = SQL_C_CHAR)
    {
        std::string value;
        std::vector<char> buf(65536);
        for (;;) {
            SQLLEN ind = 0;
            SQLRETURN rc = SQLGetData(stmt_, col, ctype, buf.data(), static_cast<SQLLEN>(buf.size()), &ind);
            if (rc == SQL_NO_DATA) break;
            if (!SQL_SUCCEEDED(rc)) {
                collect(SQL_HANDLE_STMT, stmt_);
                return std::string("<error ") + (errors.empty() ? "" : errors.back().text) + ">";
            }
            if (ind == SQL_NULL_DATA) return std::nullopt;
            size_t term = ctype == SQL_C_CHAR ? 1 : ctype == SQL_C_WCHAR ? 2 : 0;
            size_t got = (ind == SQL_NO_TOTAL || static_cast<size_t>(ind) > buf.size() - term)
                             ? buf.size() - term
                             : static_cast<size_t>(ind);
            value.append(buf.data(), got);
            if (rc == SQL_SUCCESS) break;
        }
        return value;
    }

    std::vector<tds_odbc_error> errors;

    void collect(SQLSMALLINT type, SQLHANDLE h)
    {
        for (SQLSMALLINT i = 1;; ++i) {
            SQLCHAR state[6] = {0}, msg[2048] = {0};
            SQLINTEGER native = 0;
            SQLSMALLINT len = 0;
            if (!SQL_SUCCEEDED(SQLGetDiagRec(type, h, i, state, &native, msg, sizeof msg, &len))) break;
            errors.push_back({reinterpret_cast<char*>(state), static_cast<long>(native), reinterpret_cast<char*>(msg)});
        }
    }
    bool has_error(long native) const
    {
        for (auto& e : errors)
            if (e.native == native) return true;
        return false;
    }
    std::string error_text() const
    {
        std::string s;
        for (auto& e : errors) s += e.sqlstate + " " + std::to_string(e.native) + " " + e.text + "\n";
        return s;
    }

private:
    SQLHENV env_ = nullptr;
    SQLHDBC dbc_ = nullptr;
    SQLHSTMT stmt_ = nullptr;
    bool connected_ = false;
};
