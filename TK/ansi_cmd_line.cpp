#include "TK/ansi_cmd_line.h"

#include <cstring>

#include "TK/tk_exception.h"

ansi_cmd_line::ansi_cmd_line(int argc, const char* const* argv, const tk_cmd_option* table)
    : table_(table), cursor_(argv + (argc > 0 ? 1 : 0)), left_(argc > 0 ? argc - 1 : 0)
{
    if (left_ > 0) parse(*cursor_);
}

void ansi_cmd_line::next()
{
    if (!has_more()) throw tk_mail_assertion("tk_cmdli", 60);
    ++cursor_;
    --left_;
    current_ = false;
    if (left_ > 0) parse(*cursor_);
}

void ansi_cmd_line::parse(const char* arg)
{
    if (!has_more()) throw tk_mail_assertion("tk_cmdli", 19);
    const char* text = arg ? arg : "";
    const tk_cmd_option* opt = table_;
    // The empty prefix that ends the table matches every argument.
    while (opt->prefix[0] && std::strncmp(text, opt->prefix, std::strlen(opt->prefix)) != 0) ++opt;
    value_ = text + std::strlen(opt->prefix);
    current_ = true;
    if (opt->prefix[0]) {
        code_ = opt->code;
    } else {
        code_ = -1;
        unrecognized_.emplace_back(text); // no fixed limit: any number is reported with the usage text
    }
}

int ansi_cmd_line::get_code() const
{
    if (!current_) throw tk_mail_assertion("tk_cmdli", 147);
    return code_;
}

const char* ansi_cmd_line::get_value() const
{
    if (!current_) throw tk_mail_assertion("tk_cmdli", 140);
    return value_;
}
