// BULK INSERT table FROM 'file' WITH (...): the rows of a data file into a table.
#include <filesystem>
#include <fstream>
#include <sstream>
#include "platform/mssx/mssx_bulk_file.h"
#include "platform/mssx/mssx_connection_impl.h"
#include "platform/mssx/mssx_rowversion.h"

namespace {

constexpr int kMsgNoFile = 4860;
constexpr int kMsgConversion = 4864;
constexpr int kMsgNotSupported = 50000;

std::string hex_bytes(const std::string& text)
{
    std::string t = text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? text.substr(2) : text;
    std::string out;
    auto val = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (t.size() % 2) throw mssx_error(0, "odd");
    for (size_t i = 0; i < t.size(); i += 2) {
        int h = val(t[i]), l = val(t[i + 1]);
        if (h < 0 || l < 0) throw mssx_error(0, "not hex");
        out += static_cast<char>(h * 16 + l);
    }
    return out;
}

} // namespace

void mssx_batch_runner::bulk_insert(size_t p, size_t e)
{
    size_t k = p + 1;
    expect_word(k++, "INSERT");
    std::vector<std::string> parts = name_parts(k, e);
    expect_word(k++, "FROM");
    if (T[k].kind != mssx_tok::string && T[k].kind != mssx_tok::nstring) mssx_syntax_error(T[k]);
    std::string file = T[k++].text;
    mssx_bulk_format f;
    bool keep_identity = false, keep_nulls = false;
    if (k < e && T[k].is_word("WITH")) {
        ++k;
        if (!T[k].is_op("(")) mssx_syntax_error(T[k]);
        size_t close = mssx_match_paren(T, k, e);
        ++k;
        while (k < close) {
            std::string opt = mssx_upper(ident_text(k++));
            std::string value;
            if (T[k].is_op("=")) {
                ++k;
                value = T[k].text;
                if (T[k].kind == mssx_tok::op || k >= close) mssx_syntax_error(T[k]);
                ++k;
            }
            auto number = [&]() {
                try {
                    return std::stoll(value);
                } catch (const std::exception&) {
                    mssx_syntax_error(T[k - 1]);
                }
            };
            if (opt == "FIELDTERMINATOR")
                f.field_terminator = mssx_bulk_terminator(value, false);
            else if (opt == "ROWTERMINATOR")
                f.row_terminator = mssx_bulk_terminator(value, true);
            else if (opt == "DATAFILETYPE") {
                std::string v = mssx_upper(value);
                if (v == "WIDECHAR" || v == "WIDENATIVE")
                    f.widechar = true;
                else if (v != "CHAR")
                    throw mssx_error(kMsgNotSupported,
                                     "DATAFILETYPE = '" + value + "' is not supported by the embedded server.");
            } else if (opt == "CODEPAGE") {
                std::string v = mssx_upper(value);
                if (v == "RAW")
                    f.code_page = 0;
                else if (v == "ACP")
                    f.code_page = kMssxDefaultCodePage;
                else if (v == "OEM")
                    throw mssx_error(kMsgNotSupported, "CODEPAGE = 'OEM' is not supported by the embedded server.");
                else
                    f.code_page = static_cast<int>(number());
            } else if (opt == "FIRSTROW")
                f.first_row = number();
            else if (opt == "LASTROW")
                f.last_row = number();
            else if (opt == "KEEPIDENTITY")
                keep_identity = true;
            else if (opt == "KEEPNULLS")
                keep_nulls = true;
            else if (opt == "TABLOCK" || opt == "CHECK_CONSTRAINTS" || opt == "FIRE_TRIGGERS" || opt == "BATCHSIZE" ||
                     opt == "ROWS_PER_BATCH" || opt == "KILOBYTES_PER_BATCH" || opt == "MAXERRORS") {
                // how the server batches and locks: one transaction here, constraints always checked
            } else if (opt == "ORDER") {
                if (!T[k].is_op("(")) mssx_syntax_error(T[k]);
                k = mssx_match_paren(T, k, close) + 1;
            } else
                throw mssx_error(kMsgNotSupported,
                                 "BULK INSERT ... WITH (" + opt + ") is not supported by the embedded server.");
            if (k < close && !T[k].is_op(",")) mssx_syntax_error(T[k]);
            if (k < close) ++k;
        }
        k = close + 1;
    }
    if (k < e) mssx_syntax_error(T[k]);

    std::string sch, name;
    mssx_split_object(parts, sch, name);
    auto t = c.catalog().load_table(sch, name);
    if (!t) throw mssx_error(208, "Invalid object name '" + mssx_join_names(parts) + "'.");
    std::filesystem::path path(file);
    if (path.is_relative() && !s.data_dir.empty()) path = std::filesystem::path(s.data_dir) / path;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw mssx_error(kMsgNoFile, "Cannot bulk load. The file \"" + file +
                                         "\" does not exist or you don't have file access rights.");
    std::stringstream bytes;
    bytes << in.rdbuf();

    // the file holds a field for every column but the computed ones
    std::vector<size_t> fields;
    for (size_t i = 0; i < t->columns.size(); ++i)
        if (t->columns[i].computed.empty()) fields.push_back(i);
    auto rows = mssx_read_bulk_file(bytes.str(), fields.size(), f);

    keep_identity = keep_identity || mssx_iequal(s.identity_insert, t->storage());
    s.db.exec("SAVEPOINT mssx_bulk_insert");
    int64_t count = 0;
    try {
        for (auto& row : rows) {
            std::vector<int> cols;
            std::vector<std::optional<mssx_value>> vals;
            for (size_t j = 0; j < fields.size(); ++j) {
                const mssx_column_def& col = t->columns[fields[j]];
                // identity values of the file are checked by nothing and not kept, unless asked; rowversions never
                if ((col.identity && !keep_identity) || mssx_is_rowversion(col.type)) continue;
                std::optional<mssx_value> v;
                if (row[j]) {
                    try {
                        v = col.type.is_binary() ? mssx_value(mssx_blob{hex_bytes(*row[j])}) : mssx_value(*row[j]);
                        v = mssx_convert(col.type, *v, s.dateformat);
                    } catch (const mssx_error&) {
                        throw mssx_error(kMsgConversion,
                                         "Bulk load data conversion error (type mismatch or invalid character for "
                                         "the specified codepage) for row " +
                                             std::to_string(count + f.first_row) + ", column " + std::to_string(j + 1) +
                                             " (" + col.name + ").");
                    }
                } else if (keep_nulls)
                    v = mssx_value{};
                if (!v && !col.default_text.empty() && !keep_nulls) continue; // the column's default
                cols.push_back(static_cast<int>(fields[j]));
                vals.push_back(v ? v : std::optional<mssx_value>(mssx_value{}));
            }
            mssx_insert_row(c, *t, cols, vals, keep_identity);
            t = c.catalog().load_table(sch, name);
            ++count;
        }
    } catch (...) {
        // the file goes in whole or not at all
        s.db.exec("ROLLBACK TO mssx_bulk_insert");
        s.db.exec("RELEASE mssx_bulk_insert");
        c.catalog().forget();
        throw;
    }
    s.db.exec("RELEASE mssx_bulk_insert");
    out.rows_affected = (out.rows_affected < 0 ? 0 : out.rows_affected) + count;
    if (!s.nocount)
        out.messages.push_back("(" + std::to_string(count) + " row" + (count == 1 ? "" : "s") + " affected)");
}
