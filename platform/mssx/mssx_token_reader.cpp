#include "platform/mssx/mssx_token_reader.h"
#include <algorithm>
#include "platform/mssx/mssx_translator.h"

mssx_token_reader::mssx_token_reader(const std::vector<mssx_token>& toks, const std::string& text, size_t from,
                                     size_t to)
    : T(toks), text_(text), k(from), e(std::min(to, toks.size() - 1))
{}

void mssx_token_reader::fail() const { mssx_syntax_error(at(k)); }

void mssx_token_reader::expect(const char* w)
{
    if (!word(w)) fail();
    ++k;
}

std::string mssx_token_reader::name()
{
    if (k >= e || !T[k].is_name()) fail();
    return T[k++].text;
}

std::vector<std::string> mssx_token_reader::object_name()
{
    std::vector<std::string> parts{name()};
    while (op(".")) {
        ++k;
        if (op(".")) {
            parts.push_back("dbo");
            continue;
        }
        parts.push_back(name());
    }
    return parts;
}

std::vector<std::string> mssx_token_reader::name_list_in_parens(bool sort_order, std::vector<bool>* descending)
{
    if (!op("(")) fail();
    size_t close = mssx_match_paren(T, k, e);
    ++k;
    std::vector<std::string> names;
    while (true) {
        names.push_back(name());
        if (descending) descending->push_back(sort_order && word("DESC"));
        if (sort_order && (word("ASC") || word("DESC"))) ++k;
        if (k == close) break;
        if (!op(",")) fail();
        ++k;
    }
    k = close + 1;
    return names;
}

std::vector<std::string> mssx_token_reader::name_list()
{
    std::vector<std::string> names{name()};
    while (op(",")) {
        ++k;
        names.push_back(name());
    }
    return names;
}

mssx_type_spec mssx_token_reader::type()
{
    mssx_type_spec t;
    t.name = name();
    if (op("(")) {
        size_t close = mssx_match_paren(T, k, e);
        for (size_t j = k + 1; j < close; ++j)
            if (!T[j].is_op(",")) t.args.push_back(T[j].text);
        k = close + 1;
    }
    return t;
}

std::string mssx_token_reader::source(size_t a, size_t b) const
{
    return text_.substr(T[a].begin, T[b - 1].end - T[a].begin);
}

void mssx_token_reader::options()
{
    while (true) {
        if (word("WITH") && k + 1 < e && T[k + 1].is_op("("))
            k = mssx_match_paren(T, k + 1, e) + 1;
        else if (word("ON") && k + 1 < e && T[k + 1].is_name())
            k += 2;
        else if (!not_for_replication())
            break;
    }
}

bool mssx_token_reader::not_for_replication()
{
    if (!(word("NOT") && word("FOR", 1) && word("REPLICATION", 2))) return false;
    k += 3;
    return true;
}

std::string mssx_token_reader::referential_action()
{
    if (word("CASCADE")) {
        ++k;
        return "CASCADE";
    }
    if (word("NO")) {
        ++k;
        expect("ACTION");
        return "NO ACTION";
    }
    expect("SET");
    if (word("NULL")) {
        ++k;
        return "SET NULL";
    }
    expect("DEFAULT");
    return "SET DEFAULT";
}
