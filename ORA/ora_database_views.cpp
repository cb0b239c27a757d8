// ora_database: views, and the cleaning of view texts.
#include "ORA/ora_database.h"
#include "ORA/ora_exception.h"
#include "ORA/ora_validator.h"
#include "TK/tk_logger.h"
#include "UDB/udb_name_compare.h"
#include "UDB/udb_recordset.h"

namespace {

void erase_all(std::wstring& text, const std::wstring& what)
{
    for (size_t pos = text.find(what); pos != std::wstring::npos; pos = text.find(what, pos))
        text.erase(pos, what.size());
}

bool starts_with_select(const std::wstring& text)
{
    return text.size() >= 6 && udb_same_name(text.substr(0, 6), L"select");
}

} // namespace

std::wstring ora_database::remove_comments(const std::wstring& src)
{
    tk_logger::log(1, L"remove_comments(%s)", src.c_str());
    std::wstring text = src;
    if (text.size() <= 1) return text;
    bool in_quote = false;
    size_t start = std::wstring::npos; // the comment being scanned
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const wchar_t c = text[i];
        if (start != std::wstring::npos) {
            // Inside a comment only its end matters: quotes and dashes there are text.
            if (c == L'\n') {
                tk_logger::log(1, "Gonna cut string from %d to %d", static_cast<int>(start), static_cast<int>(i));
                text.erase(start, i - start);
                i = start;
                start = std::wstring::npos;
            }
            continue;
        }
        if (c == L'\'') {
            in_quote = !in_quote;
        } else if (!in_quote && c == L'-' && text[i + 1] == L'-') {
            start = i;
            tk_logger::log(1, "Got comment at pos=%d", static_cast<int>(start));
            ++i;
        }
    }
    if (start != std::wstring::npos) {
        tk_logger::log(1, "Gonna cut string from %d to %d", static_cast<int>(start), static_cast<int>(text.size()));
        text.erase(start);
    }
    return text;
}

std::wstring ora_database::refine_view_out(const std::wstring& src)
{
    tk_logger::log(1, L"ora_database::refine_view_out(%s)", src.c_str());
    std::wstring text = remove_comments(src);
    for (const wchar_t* clause : {L"WITH CHECK OPTION", L"with check option", L"WITH OBJECT IDENTIFIER",
                                  L"with object identifier", L"WITH READ ONLY", L"with read only"})
        erase_all(text, clause);
    return text;
}

std::wstring ora_database::refine_view_in(const std::wstring& src)
{
    tk_logger::log(1, L"sql_database::refine_view_in(%s)", src.c_str());
    std::wstring text;
    for (wchar_t c : src) {
        if (c == L'[' || c == L']') {
            if (!b_uppercase) text.push_back(L'"');
        } else {
            text.push_back(c);
        }
    }
    erase_all(text, L"DISTINCTROW");
    const size_t n = text.size();
    static const char* const seen[] = {"Last symbol: '%c'", "Pre-last symbol: '%c'", "Pre-pre-last symbol: '%c'"};
    static const char* const replaced[] = {"REPLACED!", "REPLACED #2!", "REPLACED #3!"};
    for (size_t k = 0; k < 3 && k < n; ++k) {
        wchar_t& c = text[n - 1 - k];
        tk_logger::log(1, seen[k], static_cast<int>(c));
        if (c == L';') {
            c = L' ';
            tk_logger::log(1, "%s", replaced[k]);
        }
    }
    return names_map.do_global_replace1(text, L"", L"");
}

void ora_database::create_views(view_list& list)
{
    tk_logger::log(1, "ora_database::create_views");
    std::vector<std::wstring> names;
    for (const auto& v : list) names.push_back(v.first);
    ora_tn_validator validator(names, std::vector<std::wstring>());
    for (const auto& [given, text] : list) {
        tk_logger::log(1, L"Processing '%s'", given.c_str());
        tk_logger::log(1, L"\t'%s'", text.c_str());
        if (!starts_with_select(text)) {
            tk_logger::log(1, "Skip non-select query");
            continue;
        }
        std::wstring name = given;
        if (!validator.is_acceptable(name)) {
            name = validator.get_safe_name(name);
            names_map.add_tn_mapping(given, name);
            tk_logger::log(1, L"Store generated column name '%s'", name.c_str());
            validator.add_existing_name(name);
        }
        // Quoted: the validator lets blanks, dots and lower case through.
        const std::wstring sql = L"CREATE OR REPLACE VIEW \"" + name + L"\" AS " + refine_view_in(text);
        try {
            query(sql);
        } catch (const tk_exception& e) {
            tk_logger::log(1, "Error while creating view:\n%s\n", e.what());
            error_sink.report(tk_exception("Can't create view.", 0), L"View '" + name + L"'");
        }
    }
}
