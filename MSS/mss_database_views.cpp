// mss_database: views on a SQL Server target, and the rewriting of view
// texts written for another server.
#include <array>

#include "MSS/icomparer.h"
#include "MSS/mss_database.h"
#include "MSS/mss_sql_text.h"
#include "MSS/mss_validator.h"
#include "MSS/mss_view_rewrite.h"
#include "TK/tk_logger.h"

namespace {

struct view_keyword {
    const wchar_t* prefix;
    const wchar_t* written;
    const wchar_t* suffix; // replaces the matching ")"; empty = none
};

const std::array<view_keyword, 8> k_view_keywords{{
    {L"_cp", L"", L""},
    {L"_utf", L"", L""},
    {L"_latin", L"", L""},
    {L"now", L"getdate", L""},
    {L"isnull", L"", L") is null"},
    {L"from_unixtime", L"DateAdd(ss,", L"),'01-01-1970')"},
    {L"curdate", L"cast", L"getdate() as date)"},
    {L"curtime", L"convert", L"time, getdate())"},
}};

void replace_all(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    for (size_t pos = text.find(from); pos != std::wstring::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

} // namespace

std::wstring mss_rewrite_view_text(const std::wstring& text)
{
    tk_logger::log(1, "mss_database::refine_view");
    static const std::vector<icomparer> comparers = [] {
        std::vector<icomparer> out;
        for (const view_keyword& k : k_view_keywords) out.emplace_back(k.prefix);
        return out;
    }();
    std::wstring out;
    out.reserve(text.size());
    bool in_literal = false, backquote_opens = true, word_start = false, skipping = false;
    int depth = 0;
    std::wstring suffix;
    int suffix_depth = 0;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const wchar_t c = text[i];
        if (c == L'\'') {
            out += c;
            in_literal = !in_literal;
            if (in_literal) skipping = false;
            continue;
        }
        if (in_literal) {
            out += c;
            continue;
        }
        if (c == L'`') {
            out += backquote_opens ? L'[' : L']';
            if (backquote_opens) skipping = false;
            backquote_opens = !backquote_opens;
            continue;
        }
        if (c == L'(') {
            ++depth;
            skipping = false;
        } else if (c == L')') {
            --depth;
            if (!suffix.empty() && depth == suffix_depth) {
                out += suffix;
                tk_logger::log(1, L"After adding suffix: '%s'", out.c_str());
                suffix.clear();
                continue;
            }
        }
        if (c == L' ' || c == L',' || c == L'(') {
            // Skipping drops the rest of a rewritten word, never the next words.
            skipping = false;
            out += c;
            word_start = true;
            continue;
        }
        if (word_start && n - i - 1 >= 3) {
            bool matched = false;
            for (size_t k = 0; k < comparers.size() && !matched; ++k) {
                if (comparers[k].compare(text, i) != 0) continue;
                matched = true;
                out += k_view_keywords[k].written;
                if (*k_view_keywords[k].suffix) {
                    suffix = k_view_keywords[k].suffix;
                    suffix_depth = depth;
                }
            }
            if (matched) {
                skipping = true;
                word_start = false;
                continue;
            }
        }
        if (!skipping) out += c;
        word_start = false;
    }
    replace_all(out, L"IFNULL", L"ISNULL");
    replace_all(out, L"ifnull", L"isnull");
    return out;
}

std::wstring mss_database::refine_view(const std::wstring& text) const
{
    tk_logger::log(1, L"mss_database::refine_view(%s)", text.c_str());
    return names_map.do_global_replace1(mss_rewrite_view_text(text), L"", L"");
}

void mss_database::create_views(view_list& list)
{
    tk_logger::log(2, "mss_database::create_views");
    std::vector<std::wstring> names;
    for (const auto& [name, text] : list) names.push_back(name);
    mss_tn_validator validator(names, std::vector<std::wstring>());
    for (auto& [source_name, text] : list) {
        std::wstring name = source_name;
        tk_logger::log(2, L"Processing '%s'", name.c_str());
        tk_logger::log(2, L"\t'%s'", text.c_str());
        try {
            if (!validator.is_acceptable(name)) {
                const std::wstring safe = validator.get_safe_name(name);
                names_map.add_tn_mapping(name, safe);
                tk_logger::log(1, L"Store generated column name '%s'", safe.c_str());
                tk_logger::log(1, L"udb_validator::add_existing_name(%s)", safe.c_str());
                validator.add_existing_name(safe);
                name = safe;
            }
            // OBJECT_ID parses its argument as a name: one holding dots or brackets is bracketed.
            const bool plain = name.find_first_of(L".[]") == std::wstring::npos;
            query(L"IF OBJECT_ID(" + sql_literal(plain ? name : sql_ident(name)) + L") IS NOT NULL DROP VIEW " +
                  sql_ident(name))
                .reset();
            query(L"CREATE VIEW " + sql_ident(name) + L" AS " + refine_view(text)).reset();
        } catch (const tk_exception& e) {
            tk_logger::log(3, "Error while creating view:\n%s\n", e.what());
            error_sink.report(tk_exception("Can't create view.", 0), L"View '" + name + L"'");
        }
    }
}
