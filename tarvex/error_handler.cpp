#include "tarvex/error_handler.h"

#include "TK/tk_logger.h"
#include "TK/tk_text.h"

error_handler::error_handler(int count, const tk_error_entry* entries) : codes_(count, entries)
{
    tk_logger::log(2, "error_handler::ctor");
}

error_handler::~error_handler() = default;

void error_handler::load_err_map(int count, const tk_error_entry* entries)
{
    tk_logger::log(2, "error_handler::load_err_map");
    codes_.load_map(count, entries);
}

void error_handler::set_context(std::string text)
{
    std::lock_guard<std::mutex> lock(context_mutex_);
    context_ = std::move(text);
}

std::string error_handler::get_context() const
{
    std::lock_guard<std::mutex> lock(context_mutex_);
    return context_;
}

void error_handler::set_table_context(const std::wstring& table) { set_context(to_ansi(table)); }

void error_handler::set_record_context(const std::wstring& table, int record)
{
    // Built without a length limit: a long table name is never cut.
    set_context(to_ansi(table + L", record #" + std::to_wstring(record)));
}

std::string error_handler::get_text(const tk_exception& e)
{
    std::string text = codes_.convert(static_cast<int32_t>(e.code));
    return text.empty() ? std::string(e.what()) : text;
}

std::string error_handler::build_message(const tk_exception& e)
{
    std::string context = get_context();
    std::string message = context.empty() ? get_text(e) : context + ": " + get_text(e);
    tk_logger::log(3, "Error:\n%s", message.c_str());
    for (char& c : message)
        if (c == '\n') c = ' ';
    return message;
}
