#include "platform/mssx/mssx_connection.h"
#include <algorithm>
#include <cstring>
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_rowversion.h"

namespace {
constexpr int kMsgVariableRedeclared = 134;
constexpr int kMsgBreakOutsideLoop = 135;
constexpr int kMsgContinueOutsideLoop = 136;
constexpr int kMsgReturnValueInBatch = 178;
constexpr int kMsgLoopLimit = 50000;
constexpr int kMsgSessionEnded = 0;
constexpr int kMsgSeverityNeedsLog = 2754;
constexpr int kSeverityMessage = 10;  // and below: a message, not an error
constexpr int kSeverityNeedsLog = 19; // and above: WITH LOG only
constexpr int kSeverityFatal = 20;    // and above: the session ends
constexpr int kSeverityMax = 25;

const char* const kStarters[] = {"SELECT", "INSERT",   "UPDATE", "DELETE",     "CREATE",    "ALTER",      "DROP",
                                 "SET",    "USE",      "IF",     "ELSE",       "DECLARE",   "EXEC",       "EXECUTE",
                                 "PRINT",  "BEGIN",    "END",    "TRUNCATE",   "WHILE",     "RETURN",     "GRANT",
                                 "REVOKE", "DENY",     "COMMIT", "ROLLBACK",   "WITH",      "RAISERROR",  "CHECKPOINT",
                                 "BREAK",  "CONTINUE", "BULK",   "THROW",      "MERGE",     "GOTO",       "WAITFOR",
                                 "DBCC",   "OPEN",     "CLOSE",  "DEALLOCATE", "BACKUP",    "RESTORE",    "RECONFIGURE",
                                 "KILL",   "SHUTDOWN", "REVERT", "READTEXT",   "WRITETEXT", "UPDATETEXT", "SAVE"};
// Statements the server knows and does not run: each is refused alone, the batch goes on.
const char* const kNotRun[] = {"MERGE",     "GOTO",       "WAITFOR",     "DBCC",  "OPEN",     "CLOSE",  "DEALLOCATE",
                               "BACKUP",    "RESTORE",    "RECONFIGURE", "KILL",  "SHUTDOWN", "REVERT", "READTEXT",
                               "WRITETEXT", "UPDATETEXT", "SAVE",        "GRANT", "REVOKE",   "DENY"};
constexpr int kMsgThrowNumber = 35100;
constexpr int kThrowSeverity = 16;
constexpr int kFirstUserError = 50000;

bool is_starter(const mssx_token& t)
{
    if (t.kind != mssx_tok::ident) return false;
    for (const char* s : kStarters)
        if (t.is_word(s)) return true;
    return false;
}

// Errors found while the batch is compiled: the batch runs none of its statements.
bool is_syntax_error(int n)
{
    return n == 102 || n == 156 || n == 105 || n == 113 || n == 170 || n == kMsgBreakOutsideLoop ||
           n == kMsgContinueOutsideLoop || n == kMsgReturnValueInBatch || n == kMsgVariableRedeclared;
}
} // namespace

mssx_result_column mssx_col(const std::string& name, const std::string& type_text, bool nullable)
{
    std::string base = type_text;
    std::vector<std::string> args;
    size_t p = type_text.find('(');
    if (p != std::string::npos) {
        base = type_text.substr(0, p);
        std::string inner = type_text.substr(p + 1, type_text.size() - p - 2);
        size_t b = 0;
        for (size_t i = 0; i <= inner.size(); ++i)
            if (i == inner.size() || inner[i] == ',') {
                args.push_back(inner.substr(b, i - b));
                b = i + 1;
            }
    }
    return {name, mssx_make_type(base, args), nullable};
}

mssx_connection::mssx_connection(const std::string& dir, const mssx_login& login)
    : dir_(dir), impl_(std::make_unique<impl>())
{
    server_ = std::make_unique<mssx_server>(dir);
    if (login.integrated)
        login_ = server_->integrated_login();
    else {
        server_->authenticate(login.user, login.password);
        login_ = login.user;
    }
    std::string db = login.database.empty() ? std::string("master") : login.database;
    std::string real = server_->database_name(db);
    if (real.empty() || !server_->has_access(login_, real))
        throw mssx_error(4060, "Cannot open database \"" + db + "\" requested by the login. The login failed.", 11);
    use_database(real);
}

mssx_connection::~mssx_connection()
{
    // The catalog lets go of the handle while it is still open.
    if (catalog_) catalog_->forget();
}

void mssx_connection::use_database(const std::string& name)
{
    std::string file = server_->database_file(name);
    mssx_sqlite fresh;
    fresh.open(file, true);
    mssx_catalog(fresh).ensure_dictionary();
    // The session state stays the same object: a batch that runs USE keeps
    // references to it for its remaining statements.
    if (catalog_) catalog_->forget();
    impl_->db = std::move(fresh);
    impl_->identity_insert.clear();
    impl_->char_columns.clear();
    impl_->char_columns_valid = false;
    if (!catalog_) catalog_ = std::make_unique<mssx_catalog>(impl_->db);
    database_ = name;
    mssx_register_functions(*this);
    mssx_register_rowversion(*this);
    mssx_refresh_system_views(*this);
}

void mssx_drain(mssx_result& r)
{
    if (!r.rest) return;
    std::shared_ptr<mssx_row_source> src = std::move(r.rest);
    std::vector<mssx_value> row;
    while (src->next(row)) r.rows.push_back(std::move(row));
}

mssx_outcome mssx_connection::execute(const std::string& batch) { return run_batch(batch, false, {}); }

void mssx_connection::set_loop_limit(uint64_t iterations) { impl_->loop_limit = iterations; }
void mssx_connection::set_data_dir(const std::string& dir) { impl_->data_dir = dir; }
const std::string& mssx_connection::data_dir() const { return impl_->data_dir; }
bool mssx_connection::closed() const { return impl_->closed; }

mssx_outcome mssx_connection::execute(const std::string& batch, const std::vector<mssx_parameter>& params)
{
    return run_batch(batch, false, params);
}

mssx_outcome mssx_connection::execute_streaming(const std::string& batch) { return run_batch(batch, true, {}); }

mssx_outcome mssx_connection::run_batch(const std::string& batch, bool stream,
                                        const std::vector<mssx_parameter>& params)
{
    mssx_outcome out;
    if (impl_->closed)
        throw mssx_error(kMsgSessionEnded,
                         "A severe error occurred on the current command. The results, if any, should be discarded.",
                         kSeverityFatal);
    for (auto& p : params) impl_->variables[mssx_upper(p.name)] = mssx_variable{p.type, p.value};
    std::string up = mssx_upper(batch);
    if (up.find("SYS") != std::string::npos || up.find("INFORMATION_SCHEMA") != std::string::npos)
        mssx_refresh_system_views(*this);
    try {
        mssx_batch_runner r(*this, batch, out);
        r.stream = stream;
        r.run();
    } catch (const mssx_error& e) {
        out.errors.push_back(e);
    }
    // only the last result may stay on the server, and only when asked
    for (size_t i = 0; i < out.results.size(); ++i) {
        if (stream && i + 1 == out.results.size()) break;
        try {
            mssx_drain(out.results[i]);
        } catch (const mssx_error& e) {
            out.errors.push_back(e);
        }
    }
    impl_->variables.clear();
    return out;
}

// ---------------------------------------------------------------------------

mssx_batch_runner::mssx_batch_runner(mssx_connection& conn, const std::string& batch, mssx_outcome& o)
    : c(conn), s(conn.state()), text(batch), out(o)
{
    T = mssx_lex(batch, s.quoted_identifier);
    mssx_check_nesting(T);
    // a batch that changes nothing reads without the database's write lock, so that another
    // client's long batch does not hold it up (and it holds up no one)
    static const char* const writers[] = {"INSERT",   "UPDATE", "DELETE",  "CREATE", "ALTER", "DROP",
                                          "TRUNCATE", "EXEC",   "EXECUTE", "BULK",   "MERGE"};
    writes = std::any_of(T.begin(), T.end(), [](const mssx_token& t) {
        return t.kind == mssx_tok::ident &&
               std::any_of(std::begin(writers), std::end(writers), [&](const char* w) { return t.is_word(w); });
    });
}

const char* mssx_batch_runner::begin_sql() const { return writes ? "BEGIN IMMEDIATE" : "BEGIN"; }

void mssx_batch_runner::run()
{
    bool own_tx = sqlite3_get_autocommit(c.state().db.get()) != 0;
    if (own_tx) c.state().db.exec(begin_sql());
    try {
        size_t p = 0;
        size_t limit = T.size() - 1;
        // a batch that does not compile runs none of its statements
        compiling = true;
        while (p < limit) p = statement(p, limit, false);
        compiling = false;
        declared.clear();
        p = 0;
        while (p < limit) p = statement(p, limit, true);
    } catch (const mssx_error& e) {
        // a syntax error is found before anything runs on the server: what
        // the batch did up to the faulty statement is undone
        bool compile_error = is_syntax_error(e.number) && own_tx;
        if (own_tx && sqlite3_get_autocommit(c.state().db.get()) == 0)
            c.state().db.exec(compile_error ? "ROLLBACK" : "COMMIT");
        if (compile_error) {
            out.results.clear();
            out.messages.clear();
            out.errors.clear();
            out.rows_affected = -1;
        }
        throw;
    } catch (...) {
        if (own_tx && sqlite3_get_autocommit(c.state().db.get()) == 0) c.state().db.exec("COMMIT");
        throw;
    }
    // USE may have switched the database (and its handle) in between
    if (sqlite3_get_autocommit(c.state().db.get()) == 0) c.state().db.exec("COMMIT");
}

void mssx_batch_runner::expect_word(size_t k, const char* w)
{
    if (!T[k].is_word(w)) mssx_syntax_error(T[k]);
}

std::string mssx_batch_runner::ident_text(size_t k)
{
    if (!T[k].is_name()) mssx_syntax_error(T[k]);
    return T[k].text;
}

std::vector<std::string> mssx_batch_runner::name_parts(size_t& k, size_t e)
{
    std::vector<std::string> parts;
    if (k >= e || !T[k].is_name()) mssx_syntax_error(T[std::min(k, T.size() - 1)]);
    parts.push_back(T[k++].text);
    while (k + 1 < e && T[k].is_op(".")) {
        if (T[k + 1].is_op(".")) {
            parts.push_back("dbo");
            ++k;
            continue;
        }
        if (!T[k + 1].is_name()) mssx_syntax_error(T[k + 1]);
        parts.push_back(T[k + 1].text);
        k += 2;
    }
    return parts;
}

size_t mssx_batch_runner::extent(size_t p, size_t limit)
{
    const mssx_token& first = T[p];
    // MERGE ends with its semicolon: its WHEN clauses hold UPDATE, INSERT and DELETE
    if (first.is_word("MERGE")) {
        int depth = 0;
        for (size_t k = p + 1; k < limit; ++k) {
            if (T[k].is_op("("))
                ++depth;
            else if (T[k].is_op(")"))
                --depth;
            else if (depth == 0 && T[k].is_op(";"))
                return k;
        }
        return limit;
    }
    if (first.is_word("CREATE") && p + 1 < limit &&
        (T[p + 1].is_word("VIEW") || T[p + 1].is_word("PROC") || T[p + 1].is_word("PROCEDURE") ||
         T[p + 1].is_word("FUNCTION") || T[p + 1].is_word("TRIGGER")))
        return limit;
    bool update_set = false, insert_select = false, insert_values = false, with_select = false;
    int depth = 0, cases = 0;
    for (size_t k = p + 1; k < limit; ++k) {
        const mssx_token& t = T[k];
        if (t.is_op("(")) {
            ++depth;
            continue;
        }
        if (t.is_op(")")) {
            --depth;
            continue;
        }
        if (depth > 0) continue;
        if (t.is_op(";")) return k;
        if (t.is_word("CASE")) {
            ++cases;
            continue;
        }
        if (t.is_word("VALUES") && first.is_word("INSERT")) {
            insert_values = true;
            continue;
        }
        if (t.is_word("END") && cases > 0) {
            --cases;
            continue;
        }
        if (cases > 0) continue; // ELSE, WHEN ... of a CASE belong to the expression
        if (!is_starter(t)) continue;
        const mssx_token& prev = T[k - 1];
        if (t.is_word("SELECT")) {
            if (prev.is_word("UNION") || prev.is_word("ALL") || prev.is_word("EXCEPT") || prev.is_word("INTERSECT"))
                continue;
            if (first.is_word("INSERT") && !insert_select && !insert_values) {
                insert_select = true;
                continue;
            }
            if (first.is_word("WITH") && !with_select) {
                with_select = true;
                continue;
            }
        }
        if ((t.is_word("DELETE") || t.is_word("UPDATE")) && prev.is_word("ON")) continue;
        if (t.is_word("INSERT") && prev.is_word("BULK")) continue;
        // GRANT SELECT, INSERT ON t: permissions, not statements
        bool permissions = first.is_word("GRANT") || first.is_word("REVOKE") || first.is_word("DENY");
        if (permissions && (prev.is_op(",") || k == p + 1)) continue;
        if (t.is_word("SET") && first.is_word("UPDATE") && !update_set) {
            update_set = true;
            continue;
        }
        if (first.is_word("ALTER") && (t.is_word("ALTER") || t.is_word("DROP") || t.is_word("SET"))) continue;
        if (first.is_word("DROP") && t.is_word("IF") && k == p + 2) continue; // DROP TABLE IF EXISTS
        if (t.is_word("WITH") && !(prev.is_op(";"))) continue;
        if (t.is_word("BEGIN") && first.is_word("BEGIN")) continue;
        if ((t.is_word("EXEC") || t.is_word("EXECUTE")) && first.is_word("INSERT")) continue;
        return k;
    }
    return limit;
}

size_t mssx_batch_runner::statement(size_t p, size_t limit, bool exec_it)
{
    const mssx_token& t = T[p];
    // after BREAK, CONTINUE or RETURN the statements up to the loop's (or batch's) end are only passed over
    if (flow != flow_kind::normal) exec_it = false;
    if (t.is_op(";")) return p + 1;
    if (t.is_word("IF")) return if_statement(p, limit, exec_it);
    if (t.is_word("WHILE")) return while_statement(p, limit, exec_it);
    if (t.is_word("BEGIN")) return block(p, limit, exec_it);
    if (!is_starter(t)) mssx_syntax_error(t);
    size_t e = t.is_word("BREAK") || t.is_word("CONTINUE") ? p + 1 : extent(p, limit);
    if (compiling) compile_check(p, e);
    if (!exec_it) {
        if (e < limit && T[e].is_op(";")) ++e;
        return e;
    }
    if (t.is_word("BREAK") || t.is_word("CONTINUE") || t.is_word("RETURN")) {
        flow = t.is_word("BREAK") ? flow_kind::leave_loop
                                  : (t.is_word("CONTINUE") ? flow_kind::next_iteration : flow_kind::leave_batch);
        if (e < limit && T[e].is_op(";")) ++e;
        return e;
    }
    int64_t affected_before = out.rows_affected;
    size_t results_before = out.results.size();
    statement_rowcount = 0;
    int error_now = 0;
    // a result left on the server is read whole before anything else runs
    try {
        if (!out.results.empty()) mssx_drain(out.results.back());
    } catch (const mssx_error& err) {
        out.errors.push_back(err);
        out.results.pop_back();
    }
    std::string stmt_text = text.substr(T[p].begin, T[e > p ? e - 1 : p].end - T[p].begin);
    try {
        mssx_check_injected(stmt_text);
        refresh_views_for(stmt_text);
        std::string U = mssx_upper(t.text);
        if (U == "CREATE" || U == "DROP" || U == "ALTER" || U == "EXEC" || U == "EXECUTE" || U == "USE")
            catalog_changed = true;
        if (U == "USE")
            use(p, e);
        else if (U == "SET")
            set(p, e);
        else if (U == "CREATE")
            create(p, e);
        else if (U == "DROP")
            drop(p, e);
        else if (U == "ALTER")
            alter_table(p, e);
        else if (U == "INSERT")
            insert(p, e);
        else if (U == "BULK")
            bulk_insert(p, e);
        else if (U == "UPDATE" || U == "DELETE" || U == "TRUNCATE")
            update_delete(p, e);
        else if (U == "SELECT" || U == "WITH")
            select(p, e);
        else if (U == "RAISERROR")
            raiserror(p, e);
        else if (U == "CHECKPOINT") {
            // every statement is written through: nothing waits for a checkpoint
        } else if (std::any_of(std::begin(kNotRun), std::end(kNotRun), [&](const char* w) { return U == w; }))
            throw mssx_error(50000, U + " is not supported by the embedded server.", 16, t.line);
        else if (U == "THROW")
            throw_statement(p, e);
        else if (U == "DECLARE")
            declare(p, e);
        else if (U == "EXEC" || U == "EXECUTE")
            exec(p, e);
        else if (U == "PRINT")
            out.messages.push_back(mssx_text(mssx_make_type("nvarchar", {"4000"}), eval(p + 1, e)));
        else if (U == "COMMIT" || U == "ROLLBACK") {
            // transactions of the client are not kept apart; the batch commits
        } else
            mssx_syntax_error(t);
    } catch (mssx_error& err) {
        if (err.line == 0) err.line = t.line;
        if (is_syntax_error(err.number)) throw;
        out.errors.push_back(err);
        error_now = err.number;
    }
    last_error = error_now;
    // @@ROWCOUNT: what the statement changed, or the rows its result holds
    if (out.results.size() > results_before)
        counted_result = out.results.size() - 1;
    else {
        counted_result = kNoResult;
        last_rowcount = out.rows_affected != affected_before ? out.rows_affected - std::max<int64_t>(affected_before, 0)
                                                             : statement_rowcount;
    }
    if (e < limit && T[e].is_op(";")) ++e;
    return e;
}

void mssx_batch_runner::compile_check(size_t p, size_t e)
{
    const mssx_token& t = T[p];
    if (t.is_word("BREAK") && loops == 0)
        throw mssx_error(kMsgBreakOutsideLoop, "Cannot use a BREAK statement outside the scope of a WHILE statement.",
                         15, t.line);
    if (t.is_word("CONTINUE") && loops == 0)
        throw mssx_error(kMsgContinueOutsideLoop,
                         "Cannot use a CONTINUE statement outside the scope of a WHILE statement.", 15, t.line);
    if (t.is_word("RETURN") && e > p + 1)
        throw mssx_error(kMsgReturnValueInBatch,
                         "A RETURN statement with a return value cannot be used in this context.", 15, t.line);
    if (t.is_word("DECLARE")) {
        // the variables of a batch have one declaration each, wherever it is
        int depth = 0;
        for (size_t k = p + 1; k < e; ++k) {
            if (T[k].is_op("("))
                ++depth;
            else if (T[k].is_op(")"))
                --depth;
            else if (depth == 0 && T[k].kind == mssx_tok::variable && (k == p + 1 || T[k - 1].is_op(","))) {
                if (!declared.insert(mssx_upper(T[k].text)).second)
                    throw mssx_error(kMsgVariableRedeclared,
                                     "The variable name '" + T[k].text +
                                         "' has already been declared. Variable names must be unique within a query "
                                         "batch or stored procedure.",
                                     15, T[k].line);
            }
        }
    }
}

size_t mssx_batch_runner::condition_end(size_t p, size_t limit)
{
    size_t k = p + 1;
    int depth = 0, cases = 0;
    while (k < limit) {
        if (T[k].is_op("("))
            ++depth;
        else if (T[k].is_op(")"))
            --depth;
        else if (T[k].is_word("CASE"))
            ++cases;
        else if (T[k].is_word("END") && cases > 0)
            --cases;
        else if (depth == 0 && cases == 0 && is_starter(T[k]))
            break;
        ++k;
    }
    if (k >= limit || k == p + 1) mssx_syntax_error(T[k]);
    return k;
}

size_t mssx_batch_runner::if_statement(size_t p, size_t limit, bool exec_it)
{
    size_t k = condition_end(p, limit);
    bool cond = false;
    if (exec_it) {
        try {
            mssx_check_injected(text.substr(T[p].begin, T[k - 1].end - T[p].begin));
            refresh_views_for(text.substr(T[p].begin, T[k - 1].end - T[p].begin));
            cond = eval_condition(p + 1, k);
        } catch (mssx_error& err) {
            if (err.line == 0) err.line = T[p].line;
            if (is_syntax_error(err.number)) throw;
            out.errors.push_back(err);
            exec_it = false; // neither branch runs after a failed condition
        }
    }
    size_t next = statement(k, limit, exec_it && cond);
    if (next < limit && T[next].is_word("ELSE")) next = statement(next + 1, limit, exec_it && !cond);
    return next;
}

size_t mssx_batch_runner::while_statement(size_t p, size_t limit, bool exec_it)
{
    size_t k = condition_end(p, limit);
    ++loops;
    size_t end = statement(k, limit, false);
    if (exec_it) {
        std::string cond_text = text.substr(T[p].begin, T[k - 1].end - T[p].begin);
        while (true) {
            bool cond = false;
            try {
                mssx_check_injected(cond_text);
                refresh_views_for(cond_text);
                cond = eval_condition(p + 1, k);
            } catch (mssx_error& err) {
                if (err.line == 0) err.line = T[p].line;
                if (is_syntax_error(err.number)) throw;
                out.errors.push_back(err);
                break;
            }
            if (!cond) break;
            // a loop that does not end would hold the database: the batch ends instead
            if (++iterations > s.loop_limit) {
                out.errors.push_back(mssx_error(kMsgLoopLimit,
                                                "The batch ended after " + std::to_string(s.loop_limit) +
                                                    " iterations of its WHILE loops, the embedded server's limit.",
                                                16, T[p].line));
                flow = flow_kind::leave_batch;
                break;
            }
            statement(k, limit, true);
            if (flow == flow_kind::leave_loop) {
                flow = flow_kind::normal;
                break;
            }
            if (flow == flow_kind::next_iteration) flow = flow_kind::normal;
            if (flow == flow_kind::leave_batch) break;
        }
    }
    --loops;
    return end;
}

size_t mssx_batch_runner::block(size_t p, size_t limit, bool exec_it)
{
    if (p + 1 < limit && (T[p + 1].is_word("TRAN") || T[p + 1].is_word("TRANSACTION"))) {
        size_t e = p + 2;
        if (e < limit && T[e].is_name() && !is_starter(T[e])) ++e;
        return e;
    }
    // find the matching END (CASE ... END pairs inside count too)
    int depth = 0;
    size_t end = limit;
    for (size_t k = p; k < limit; ++k) {
        if (T[k].is_word("BEGIN") || T[k].is_word("CASE"))
            ++depth;
        else if (T[k].is_word("END") && --depth == 0) {
            end = k;
            break;
        }
    }
    if (end == limit) mssx_syntax_error(T[limit]);
    size_t k = p + 1;
    while (k < end) k = statement(k, end, exec_it);
    return end + 1;
}

void mssx_batch_runner::use(size_t p, size_t e)
{
    if (p + 2 != e) mssx_syntax_error(T[std::min(p + 2, e)]);
    std::string name = ident_text(p + 1);
    std::string real = c.server().database_name(name);
    if (real.empty())
        throw mssx_error(911, "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
    if (!c.server().has_access(c.login(), real))
        throw mssx_error(916,
                         "The server principal \"" + c.login() + "\" is not able to access the database \"" + real +
                             "\" under the current security context.",
                         14);
    if (sqlite3_get_autocommit(c.state().db.get()) == 0) c.state().db.exec("COMMIT");
    c.use_database(real);
    out.messages.push_back("Changed database context to '" + real + "'.");
    if (sqlite3_get_autocommit(c.state().db.get()) != 0) c.state().db.exec(begin_sql());
}

void mssx_batch_runner::set(size_t p, size_t e)
{
    size_t k = p + 1;
    if (k < e && T[k].kind == mssx_tok::variable) {
        std::string name = mssx_upper(T[k].text);
        auto it = s.variables.find(name);
        if (it == s.variables.end())
            throw mssx_error(137, "Must declare the scalar variable \"" + T[k].text + "\".", 15);
        const mssx_token& op = T[k + 1];
        if (op.is_op("="))
            it->second.value = mssx_convert(it->second.type, eval(k + 2, e), s.dateformat);
        else if (op.is_op("+=") || op.is_op("-=") || op.is_op("*=") || op.is_op("/=")) {
            // @v op= expr is @v = @v op (expr); text is joined left to right, so needs no parentheses
            if (k + 2 >= e) mssx_syntax_error(T[e]);
            bool joined = it->second.type.is_string();
            mssx_token bare = op;
            bare.text = op.text.substr(0, 1);
            mssx_token open = op, close = op;
            open.text = "(";
            close.text = ")";
            std::vector<mssx_token> expr{T[k], bare};
            if (!joined) expr.push_back(open);
            expr.insert(expr.end(), T.begin() + static_cast<std::ptrdiff_t>(k + 2),
                        T.begin() + static_cast<std::ptrdiff_t>(e));
            if (!joined) expr.push_back(close);
            expr.push_back(T.back());
            mssx_result r = mssx_run_query(c, "SELECT " + mssx_translate(expr, 0, expr.size() - 1, env()));
            mssx_value v = r.rows.empty() || r.rows[0].empty() ? mssx_value{} : r.rows[0][0];
            it->second.value = mssx_convert(it->second.type, v, s.dateformat);
        } else
            mssx_syntax_error(op);
        statement_rowcount = 1;
        return;
    }
    auto on_off = [&](size_t i) {
        if (T[i].is_word("ON")) return true;
        if (T[i].is_word("OFF")) return false;
        mssx_syntax_error(T[i]);
    };
    // several options may share one ON/OFF: SET ANSI_NULLS, QUOTED_IDENTIFIER ON
    std::vector<std::string> opts;
    while (k < e && T[k].kind == mssx_tok::ident && !T[k].is_word("ON") && !T[k].is_word("OFF")) {
        opts.push_back(mssx_upper(T[k].text));
        ++k;
        if (opts.back() == "IDENTITY_INSERT" || opts.back() == "DATEFORMAT" || opts.back() == "ROWCOUNT" ||
            opts.back() == "LANGUAGE" || opts.back() == "LOCK_TIMEOUT" || opts.back() == "TRANSACTION" ||
            opts.back() == "DATEFIRST" || opts.back() == "TEXTSIZE" || opts.back() == "DEADLOCK_PRIORITY")
            break;
        if (k < e && T[k].is_op(","))
            ++k;
        else
            break;
    }
    if (opts.empty()) mssx_syntax_error(T[k]);
    const std::string& o = opts[0];
    if (o == "IDENTITY_INSERT") {
        std::vector<std::string> parts = name_parts(k, e);
        bool on = on_off(k);
        std::string sch, name;
        mssx_split_object(parts, sch, name);
        auto t = c.catalog().load_table(sch, name);
        if (!t) {
            std::string shown;
            for (auto& x : parts) shown += (shown.empty() ? "" : ".") + x;
            throw mssx_error(208, "Invalid object name '" + shown + "'.");
        }
        bool has_identity = std::any_of(t->columns.begin(), t->columns.end(), [](auto& col) { return col.identity; });
        if (!has_identity)
            throw mssx_error(8106, "Table '" + t->storage() +
                                       "' does not have the identity property. Cannot perform SET operation.");
        if (on) {
            if (!s.identity_insert.empty() && !mssx_iequal(s.identity_insert, t->storage()))
                throw mssx_error(8107, "IDENTITY_INSERT is already ON for table '" + c.database() + "." +
                                           s.identity_insert + "'. Cannot perform SET operation for table '" +
                                           t->storage() + "'.");
            s.identity_insert = t->storage();
        } else if (mssx_iequal(s.identity_insert, t->storage()))
            s.identity_insert.clear();
        return;
    }
    if (o == "DATEFORMAT") {
        std::string f = mssx_upper(T[k].text);
        static const char* ok[] = {"MDY", "DMY", "YMD", "YDM", "MYD", "DYM"};
        if (std::none_of(std::begin(ok), std::end(ok), [&](const char* x) { return f == x; }))
            throw mssx_error(2741, "SET DATEFORMAT date order '" + T[k].text + "' is invalid.");
        std::string lower;
        for (char ch : f) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        s.dateformat = lower;
        return;
    }
    static const char* ignored[] = {"ANSI_NULLS",
                                    "ANSI_PADDING",
                                    "ANSI_WARNINGS",
                                    "ARITHABORT",
                                    "CONCAT_NULL_YIELDS_NULL",
                                    "NUMERIC_ROUNDABORT",
                                    "XACT_ABORT",
                                    "ANSI_NULL_DFLT_ON",
                                    "ANSI_NULL_DFLT_OFF",
                                    "IMPLICIT_TRANSACTIONS",
                                    "CURSOR_CLOSE_ON_COMMIT",
                                    "ANSI_DEFAULTS",
                                    "ARITHIGNORE",
                                    "ROWCOUNT",
                                    "LANGUAGE",
                                    "LOCK_TIMEOUT",
                                    "TRANSACTION",
                                    "DATEFIRST",
                                    "TEXTSIZE",
                                    "DEADLOCK_PRIORITY",
                                    "STATISTICS",
                                    "FMTONLY",
                                    "NOEXEC",
                                    "QUOTED_IDENTIFIER",
                                    "NOCOUNT"};
    for (auto& opt : opts)
        if (std::none_of(std::begin(ignored), std::end(ignored), [&](const char* x) { return opt == x; }))
            throw mssx_error(195, "'" + opt + "' is not a recognized SET option.", 15);
    if (o == "ROWCOUNT" || o == "LANGUAGE" || o == "LOCK_TIMEOUT" || o == "TRANSACTION" || o == "DATEFIRST" ||
        o == "TEXTSIZE" || o == "DEADLOCK_PRIORITY")
        return;
    if (o == "STATISTICS") ++k;
    bool on = on_off(k);
    for (auto& opt : opts) {
        if (opt == "QUOTED_IDENTIFIER")
            s.quoted_identifier = on;
        else if (opt == "NOCOUNT")
            s.nocount = on;
    }
}

void mssx_batch_runner::declare(size_t p, size_t e)
{
    size_t k = p + 1;
    while (k < e) {
        if (T[k].kind != mssx_tok::variable) mssx_syntax_error(T[k]);
        std::string name = mssx_upper(T[k].text);
        ++k;
        if (T[k].is_word("AS")) ++k;
        std::string tname = ident_text(k++);
        std::vector<std::string> args;
        if (k < e && T[k].is_op("(")) {
            size_t m = mssx_match_paren(T, k, e);
            for (size_t i = k + 1; i < m; ++i)
                if (!T[i].is_op(",")) args.push_back(T[i].text);
            k = m + 1;
        }
        mssx_variable v{resolve_type(tname, args), std::monostate{}};
        // run again by a loop: the variable keeps its value unless the declaration sets one
        if (auto it = s.variables.find(name); it != s.variables.end()) v.value = it->second.value;
        if (k < e && T[k].is_op("=")) {
            size_t end = k + 1;
            int depth = 0;
            while (end < e && !(depth == 0 && T[end].is_op(","))) {
                if (T[end].is_op("(")) ++depth;
                if (T[end].is_op(")")) --depth;
                ++end;
            }
            v.value = mssx_convert(v.type, eval(k + 1, end), s.dateformat);
            k = end;
        }
        s.variables[name] = v;
        if (k < e && T[k].is_op(","))
            ++k;
        else
            break;
    }
}

std::string mssx_sqlite_literal(const mssx_value& v)
{
    if (mssx_is_null(v)) return "NULL";
    if (auto i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (auto d = std::get_if<double>(&v)) {
        char b[64];
        std::snprintf(b, sizeof b, "%.17g", *d);
        return b;
    }
    if (auto t = std::get_if<std::string>(&v)) return mssx_sq_literal(*t);
    // binary values (parameters of a remote call, rowversions) keep their bytes
    const auto& bytes = std::get<mssx_blob>(v).bytes;
    static const char* hex = "0123456789ABCDEF";
    std::string lit = "X'";
    lit.reserve(bytes.size() * 2 + 3);
    for (unsigned char ch : bytes) {
        lit += hex[ch >> 4];
        lit += hex[ch & 15];
    }
    return lit + "'";
}

mssx_translate_env mssx_batch_runner::env()
{
    mssx_translate_env env;
    env.version = c.server().version();
    env.resolve_table = [this](const std::vector<std::string>& parts) {
        if (parts.size() == 1 && ctes.count(mssx_upper(parts[0]))) return mssx_sq_ident(parts[0]);
        return mssx_resolve_for_query(c, parts);
    };
    auto load_columns = [this]() {
        if (s.char_columns_valid) return;
        s.char_columns.clear();
        s.column_types.clear();
        auto st = s.db.prepare(
            "SELECT lower(name), type_name, length, prec, scale, collation FROM mssx_columns ORDER BY object_id, "
            "ordinal");
        while (st.step()) {
            mssx_type t;
            t.name = st.text(1);
            t.length = st.integer(2);
            t.precision = static_cast<int>(st.integer(3));
            t.scale = static_cast<int>(st.integer(4));
            t.code_page = mssx_code_page_of(st.text(5));
            if (t.is_string()) s.char_columns.insert(st.text(0));
            s.column_types.emplace(st.text(0), t);
        }
        s.char_columns_valid = true;
    };
    auto lower = [](const std::string& col) {
        std::string l;
        for (char ch : col) l += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return l;
    };
    env.is_char_column = [this, load_columns, lower](const std::string& col) {
        load_columns();
        return s.char_columns.count(lower(col)) > 0;
    };
    env.column_type = [this, load_columns, lower](const std::string& col) -> std::optional<mssx_type> {
        load_columns();
        auto it = s.column_types.find(lower(col));
        if (it == s.column_types.end()) return std::nullopt;
        return it->second;
    };
    env.dateformat = s.dateformat;
    env.variable = [this](const std::string& name) -> std::optional<std::string> {
        std::string up = mssx_upper(name);
        if (up == "@@ERROR") return std::to_string(last_error);
        if (up == "@@DBTS") return mssx_sqlite_literal(mssx_current_dbts(s.db));
        if (up == "@@ROWCOUNT") {
            if (counted_result < out.results.size()) {
                mssx_drain(out.results[counted_result]);
                return std::to_string(out.results[counted_result].rows.size());
            }
            return std::to_string(last_rowcount);
        }
        auto it = s.variables.find(up);
        if (it == s.variables.end()) return std::nullopt;
        return mssx_sqlite_literal(it->second.value);
    };
    env.column_names = [this](const std::string& sql) {
        std::vector<std::string> names;
        auto st = s.db.prepare(sql);
        for (int i = 0; i < st.columns(); ++i) names.push_back(sqlite3_column_name(st.get(), i));
        return names;
    };
    return env;
}

mssx_value mssx_batch_runner::eval(size_t a, size_t b)
{
    if (a >= b) mssx_syntax_error(T[a]);
    if (b == a + 1) {
        const mssx_token& t = T[a];
        switch (t.kind) {
        case mssx_tok::string:
        case mssx_tok::nstring:
            return t.text;
        case mssx_tok::binary:
            return mssx_blob{t.text};
        case mssx_tok::number:
            if (t.text.find_first_of(".eE") == std::string::npos && t.text.size() < 19)
                return int64_t(std::stoll(t.text));
            return t.text;
        default:
            if (t.is_word("NULL")) return std::monostate{};
        }
    }
    if (b == a + 2 && (T[a].is_op("-") || T[a].is_op("+")) && T[a + 1].kind == mssx_tok::number) {
        const std::string& n = T[a + 1].text;
        if (n.find_first_of(".eE") == std::string::npos && n.size() < 19)
            return int64_t(std::stoll(n) * (T[a].is_op("-") ? -1 : 1));
        return (T[a].is_op("-") ? "-" : "") + n;
    }
    std::string sql = "SELECT " + mssx_translate(T, a, b, env());
    mssx_result r = mssx_run_query(c, sql);
    if (r.rows.empty() || r.rows[0].empty()) return std::monostate{};
    return r.rows[0][0];
}

bool mssx_batch_runner::eval_condition(size_t a, size_t b)
{
    std::string sql = "SELECT CASE WHEN " + mssx_translate(T, a, b, env()) + " THEN 1 ELSE 0 END";
    mssx_result r = mssx_run_query(c, sql);
    return !r.rows.empty() && std::holds_alternative<int64_t>(r.rows[0][0]) && std::get<int64_t>(r.rows[0][0]) == 1;
}

void mssx_batch_runner::select(size_t p, size_t e)
{
    // SELECT @v = expr, ... [FROM ...]: assignment
    if (p + 2 < e && T[p + 1].kind == mssx_tok::variable && T[p + 2].is_op("=")) {
        std::vector<std::pair<std::string, std::pair<size_t, size_t>>> items;
        size_t k = p + 1;
        size_t from = e;
        while (k < e) {
            if (T[k].kind != mssx_tok::variable || !T[k + 1].is_op("=")) mssx_syntax_error(T[k]);
            size_t start = k + 2, end = start;
            int depth = 0;
            while (end < e) {
                if (T[end].is_op("("))
                    ++depth;
                else if (T[end].is_op(")"))
                    --depth;
                else if (depth == 0 && (T[end].is_op(",") || T[end].is_word("FROM") || T[end].is_word("WHERE")))
                    break;
                ++end;
            }
            items.push_back({mssx_upper(T[k].text), {start, end}});
            if (end < e && T[end].is_op(",")) {
                k = end + 1;
                continue;
            }
            from = end;
            break;
        }
        std::string sql = "SELECT ";
        for (size_t i = 0; i < items.size(); ++i) {
            if (i) sql += ", ";
            sql += mssx_translate(T, items[i].second.first, items[i].second.second, env());
        }
        if (from < e) sql += " " + mssx_translate(T, from, e, env());
        mssx_result r = mssx_run_query(c, sql);
        statement_rowcount = static_cast<int64_t>(r.rows.size());
        if (r.rows.empty()) return;
        for (size_t i = 0; i < items.size(); ++i) {
            auto it = s.variables.find(items[i].first);
            if (it == s.variables.end())
                throw mssx_error(137, "Must declare the scalar variable \"" + items[i].first + "\".", 15);
            it->second.value = mssx_convert(it->second.type, r.rows.back()[i], s.dateformat);
        }
        return;
    }
    if (T[p].is_word("WITH")) {
        // WITH name [(columns)] AS (query), ...: SQLite runs the same form
        ctes.clear();
        size_t k = p + 1;
        while (k < e && T[k].is_name()) {
            ctes.insert(mssx_upper(T[k].text));
            ++k;
            if (T[k].is_op("(")) k = mssx_match_paren(T, k, e) + 1;
            expect_word(k++, "AS");
            if (!T[k].is_op("(")) mssx_syntax_error(T[k]);
            k = mssx_match_paren(T, k, e) + 1;
            if (k < e && T[k].is_op(","))
                ++k;
            else
                break;
        }
        if (k >= e || !T[k].is_word("SELECT")) mssx_syntax_error(T[std::min(k, e)]);
    }
    for (size_t k = p; k < e; ++k)
        if (T[k].is_word("INTO") && !(k > p && T[k - 1].is_word("INSERT")))
            throw mssx_error(102, "SELECT ... INTO is not supported by the embedded server; create the table first.",
                             15, T[k].line);
    std::vector<std::optional<mssx_type>> types;
    mssx_translate_env en = env();
    en.item_types = &types;
    std::string sql = mssx_translate(T, p, e, en);
    mssx_result r = mssx_run_query(c, sql, stream);
    mssx_apply_item_types(r, types);
    out.results.push_back(std::move(r));
}

void mssx_batch_runner::exec(size_t p, size_t e)
{
    size_t k = p + 1;
    if (k < e && T[k].is_op("(")) {
        size_t m = mssx_match_paren(T, k, e);
        mssx_value v = eval(k + 1, m);
        std::string inner = mssx_text(mssx_make_type("nvarchar", {"max"}), v);
        mssx_batch_runner nested(c, inner, out);
        size_t q = 0, limit = nested.T.size() - 1;
        while (q < limit) q = nested.statement(q, limit, true);
        return;
    }
    std::vector<std::string> parts = name_parts(k, e);
    std::string proc = parts.back();
    std::vector<std::pair<std::string, std::string>> params;
    while (k < e) {
        std::string pname;
        if (T[k].kind == mssx_tok::variable && k + 1 < e && T[k + 1].is_op("=")) {
            pname = T[k].text;
            k += 2;
        }
        const mssx_token& v = T[k];
        std::string value;
        if (v.kind == mssx_tok::string || v.kind == mssx_tok::nstring || v.kind == mssx_tok::qident ||
            v.kind == mssx_tok::number || v.kind == mssx_tok::ident)
            value = v.text;
        else if (v.is_op("-") && k + 1 < e && T[k + 1].kind == mssx_tok::number) {
            value = "-" + T[k + 1].text;
            ++k;
        } else if (v.kind == mssx_tok::variable) {
            auto it = s.variables.find(mssx_upper(v.text));
            if (it == s.variables.end())
                throw mssx_error(137, "Must declare the scalar variable \"" + v.text + "\".", 15);
            value = mssx_text(it->second.type, it->second.value);
        } else
            mssx_syntax_error(v);
        params.push_back({pname, value});
        ++k;
        if (k < e && T[k].is_op(","))
            ++k;
        else if (k < e)
            mssx_syntax_error(T[k]);
    }
    if (mssx_iequal(proc, "sp_executesql")) {
        if (params.empty())
            throw mssx_error(
                201, "Procedure or function 'sp_executesql' expects parameter '@statement', which was not supplied.");
        mssx_batch_runner nested(c, params[0].second, out);
        size_t q = 0, limit = nested.T.size() - 1;
        while (q < limit) q = nested.statement(q, limit, true);
        return;
    }
    if (mssx_iequal(proc, "sp_addtype")) return add_type(params);
    if (mssx_iequal(proc, "sp_addextendedproperty")) return add_extended_property(params);
    if (mssx_system_procedure(c, proc, params, out)) return;
    std::string sch, name;
    mssx_split_object(parts, sch, name);
    auto obj = c.catalog().find_object(sch, name);
    if (obj && obj->type == 'P')
        throw mssx_error(50000, "Stored procedure '" + name + "' is kept but cannot be run by this server.");
    throw mssx_error(2812, "Could not find stored procedure '" + proc + "'.", 16);
}

void mssx_batch_runner::refresh_views_for(const std::string& statement_text)
{
    if (!catalog_changed) return;
    std::string up = mssx_upper(statement_text);
    if (up.find("SYS") == std::string::npos && up.find("INFORMATION_SCHEMA") == std::string::npos) return;
    mssx_refresh_system_views(c);
    catalog_changed = false;
}

mssx_type mssx_batch_runner::resolve_type(const std::string& name, const std::vector<std::string>& args, bool* not_null)
{
    try {
        return mssx_make_type(name, args);
    } catch (const mssx_error&) {
        auto alias = c.catalog().alias_type(name);
        if (!alias || !args.empty()) throw;
        if (not_null) *not_null = !alias->nullable;
        return mssx_col("", alias->base).type;
    }
}

void mssx_batch_runner::add_type(const std::vector<std::pair<std::string, std::string>>& params)
{
    // sp_addtype [@typename =] name, [@phystype =] 'base(args)' [, [@nulltype =] 'NULL' | 'NOT NULL']
    std::string name, base, nulltype;
    for (size_t i = 0; i < params.size(); ++i) {
        std::string key = mssx_upper(params[i].first);
        if (key == "@TYPENAME" || (key.empty() && i == 0))
            name = params[i].second;
        else if (key == "@PHYSTYPE" || (key.empty() && i == 1))
            base = params[i].second;
        else if (key == "@NULLTYPE" || (key.empty() && i == 2))
            nulltype = mssx_upper(params[i].second);
    }
    if (name.empty() || base.empty())
        throw mssx_error(201,
                         "Procedure or function 'sp_addtype' expects parameter '@phystype', which was not supplied.");
    if (c.catalog().alias_type(name))
        throw mssx_error(15029, "The data type '" + name + "' already exists in the current database.");
    mssx_type t = mssx_col("", base).type; // refuses an unknown base type
    c.catalog().create_alias_type({name, "dbo", t.sql_text(), nulltype != "NOT NULL" && nulltype != "NONULL"});
}

void mssx_batch_runner::create_type(size_t p, size_t e)
{
    // CREATE TYPE [schema.]name FROM base [(args)] [NULL | NOT NULL]
    size_t k = p + 2;
    std::vector<std::string> parts = name_parts(k, e);
    std::string sch, name;
    mssx_split_object(parts, sch, name);
    if (!T[k].is_word("FROM"))
        throw mssx_error(
            50000,
            "CREATE TYPE other than an alias type (CREATE TYPE ... FROM) is not supported by the embedded server.", 16,
            T[p].line);
    ++k;
    std::string base = ident_text(k++);
    std::vector<std::string> args;
    if (k < e && T[k].is_op("(")) {
        size_t m = mssx_match_paren(T, k, e);
        for (size_t j = k + 1; j < m; ++j)
            if (!T[j].is_op(",")) args.push_back(T[j].text);
        k = m + 1;
    }
    bool nullable = true;
    if (k + 1 < e && T[k].is_word("NOT") && T[k + 1].is_word("NULL")) {
        nullable = false;
        k += 2;
    } else if (k < e && T[k].is_word("NULL"))
        ++k;
    if (k < e) mssx_syntax_error(T[k]);
    if (c.catalog().alias_type(name))
        throw mssx_error(219, "The type '" + name + "' already exists, or you do not have permission to create it.");
    c.catalog().create_alias_type({name, sch, mssx_make_type(base, args).sql_text(), nullable});
}

void mssx_batch_runner::add_extended_property(const std::vector<std::pair<std::string, std::string>>& params)
{
    static const char* keys[] = {"@NAME",       "@VALUE",      "@LEVEL0TYPE", "@LEVEL0NAME",
                                 "@LEVEL1TYPE", "@LEVEL1NAME", "@LEVEL2TYPE", "@LEVEL2NAME"};
    std::vector<std::string> fields(8);
    for (size_t i = 0; i < params.size(); ++i) {
        std::string key = mssx_upper(params[i].first);
        size_t slot = i;
        for (size_t j = 0; j < 8; ++j)
            if (key == keys[j]) slot = j;
        if (slot < 8) fields[slot] = params[i].second;
    }
    if (fields[0].empty())
        throw mssx_error(
            201, "Procedure or function 'sp_addextendedproperty' expects parameter '@name', which was not supplied.");
    c.catalog().add_extended_property(fields);
}

void mssx_batch_runner::throw_statement(size_t p, size_t e)
{
    // THROW number, message, state: an error of severity 16 that ends the batch
    std::vector<std::pair<size_t, size_t>> args;
    size_t start = p + 1;
    int depth = 0;
    for (size_t i = p + 1; i <= e; ++i) {
        if (i < e && T[i].is_op("("))
            ++depth;
        else if (i < e && T[i].is_op(")"))
            --depth;
        else if (i == e || (depth == 0 && T[i].is_op(","))) {
            if (i == start) mssx_syntax_error(T[i]);
            args.push_back({start, i});
            start = i + 1;
        }
    }
    if (args.size() != 3) {
        if (e == p + 1)
            throw mssx_error(10704,
                             "To rethrow an error, a THROW statement must be used inside a CATCH block. Insert the "
                             "THROW statement inside a CATCH block, or add error parameters to the THROW statement.",
                             15, T[p].line);
        mssx_syntax_error(T[e]);
    }
    mssx_value num = eval(args[0].first, args[0].second);
    auto n = std::get_if<int64_t>(&num);
    if (!n || *n < kFirstUserError)
        throw mssx_error(kMsgThrowNumber,
                         "The error number specified in THROW is invalid. The number must be from 50000 through "
                         "2147483647.",
                         16, T[p].line);
    std::string text = mssx_text(mssx_make_type("nvarchar", {"2048"}), eval(args[1].first, args[1].second));
    out.errors.push_back(mssx_error(static_cast<int>(*n), text, kThrowSeverity, T[p].line));
    flow = flow_kind::leave_batch;
}

void mssx_batch_runner::raiserror(size_t p, size_t e)
{
    // RAISERROR (message, severity, state [, arguments]) [WITH ...]
    size_t k = p + 1;
    if (!T[k].is_op("(")) mssx_syntax_error(T[k]);
    size_t m = mssx_match_paren(T, k, e);
    std::vector<std::pair<size_t, size_t>> args;
    size_t start = k + 1;
    int depth = 0;
    for (size_t i = k + 1; i <= m; ++i) {
        if (i < m && T[i].is_op("("))
            ++depth;
        else if (i < m && T[i].is_op(")"))
            --depth;
        else if (i == m || (depth == 0 && T[i].is_op(","))) {
            args.push_back({start, i});
            start = i + 1;
        }
    }
    if (args.size() < 3) mssx_syntax_error(T[m]);
    mssx_value msg = eval(args[0].first, args[0].second);
    mssx_value sev = eval(args[1].first, args[1].second);
    int severity = std::holds_alternative<int64_t>(sev) ? static_cast<int>(std::get<int64_t>(sev)) : 16;
    std::string text;
    int number = 50000;
    if (auto n = std::get_if<int64_t>(&msg)) {
        number = static_cast<int>(*n);
        text = "Error " + std::to_string(*n) + ".";
    } else
        text = mssx_text(mssx_make_type("nvarchar", {"max"}), msg);
    // %s and %d take the arguments in turn
    size_t next = 3;
    for (size_t pos = text.find('%'); pos != std::string::npos && pos + 1 < text.size(); pos = text.find('%', pos)) {
        char f = text[pos + 1];
        if ((f == 's' || f == 'd' || f == 'i') && next < args.size()) {
            std::string v = mssx_text(mssx_make_type("nvarchar", {"max"}), eval(args[next].first, args[next].second));
            ++next;
            text.replace(pos, 2, v);
            pos += v.size();
        } else
            pos += 2;
    }
    // WITH LOG | NOWAIT | SETERROR, ...
    bool with_log = false;
    if (m + 1 < e && T[m + 1].is_word("WITH")) {
        for (size_t i = m + 2; i < e; ++i) {
            if (T[i].is_op(",")) continue;
            if (!T[i].is_word("LOG") && !T[i].is_word("NOWAIT") && !T[i].is_word("SETERROR")) mssx_syntax_error(T[i]);
            with_log = with_log || T[i].is_word("LOG");
        }
    } else if (m + 1 < e) {
        mssx_syntax_error(T[m + 1]);
    }
    severity = std::min(severity, kSeverityMax);
    if (severity <= kSeverityMessage) {
        out.messages.push_back(text);
        return;
    }
    if (severity >= kSeverityNeedsLog && !with_log)
        throw mssx_error(kMsgSeverityNeedsLog,
                         "Error severity levels greater than 18 can only be specified by members of the sysadmin "
                         "role, using the WITH LOG option.",
                         16, T[p].line);
    if (severity >= kSeverityFatal) {
        // the client gets the error and the session ends: nothing more of the batch runs
        out.errors.push_back(mssx_error(number, text, severity, T[p].line));
        flow = flow_kind::leave_batch;
        s.closed = true;
        return;
    }
    throw mssx_error(number, text, severity, T[p].line);
}

void mssx_split_object(const std::vector<std::string>& parts, std::string& schema, std::string& name)
{
    name = parts.back();
    schema = parts.size() >= 2 ? parts[parts.size() - 2] : std::string("dbo");
    if (schema.empty()) schema = "dbo";
}
