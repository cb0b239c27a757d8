#include "TK/tk_logger.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "TK/tk_file_name.h"
#include "TK/tk_module.h"
#include "TK/tk_text.h"
#include "platform/win32/win_codepage.h"
#include "platform/win32/win_file.h"
#include "platform/win32/win_format.h"
#include "platform/win32/win_time.h"

namespace {

std::string default_log_name()
{
    tk_file_name name(get_module_file_name());
    name.ext = ".log";
    return name.get_path();
}

} // namespace

tk_logger::tk_logger(const char* file, bool enabled, int min_level, bool timestamps)
    : min_level_(min_level), enabled_(enabled), timestamps_(timestamps)
{
    file_ = file ? std::string(file) : default_log_name();
    if (enabled) {
        if (std::FILE* f = open_private_file(file_, false)) std::fclose(f);
        truncated_ = true;
    }
    publish(true);
}

tk_logger::~tk_logger() { publish(false); }

void tk_logger::publish(bool registered)
{
    std::lock_guard lock(publish_mutex_);
    if (find() != this) return;
    threshold_.store(registered && enabled_.load() ? min_level_ : k_off);
}

void tk_logger::set_file_name(const char* file)
{
    if (!file) throw tk_mail_assertion("..\\TK/tk_log", 82);
    std::lock_guard lock(mutex_);
    file_ = file;
}

void tk_logger::set_enabled(bool enabled)
{
    enabled_.store(enabled);
    publish(true);
}

std::string tk_logger::get_file_name() const
{
    std::lock_guard lock(mutex_);
    return file_;
}

std::FILE* tk_logger::open_line()
{
    if (!truncated_) {
        if (std::FILE* f = open_private_file(file_, false)) std::fclose(f);
        truncated_ = true;
    }
    std::FILE* f = open_private_file(file_, true);
    if (!f) report_failure(errno);
    if (f && timestamps_) {
        SYSTEMTIME st{};
        get_local_time(st);
        std::fprintf(f, "%02d:%02d:%02d ", st.wHour, st.wMinute, st.wSecond);
    }
    return f;
}

void tk_logger::close_line(std::FILE* f)
{
    if (crlf_) std::fputs("\r\n", f);
    const bool failed = std::ferror(f) != 0;
    const int error = errno;
    if (std::fclose(f) != 0 || failed) report_failure(failed ? error : errno);
}

void tk_logger::report_failure(int error)
{
    if (failure_reported_) return;
    failure_reported_ = true;
    std::fprintf(stderr, "Log file '%s' cannot be written: %s\n", file_.c_str(), std::strerror(error));
}

bool tk_logger::accepted(int level)
{
    const tk_logger* self = find();
    return self && self->accepts(level);
}

void tk_logger::write(int level, const char* fmt, ...)
{
    tk_logger* self = find();
    if (!self || !self->accepts(level) || !fmt) return;
    std::lock_guard lock(self->mutex_);
    std::FILE* f = self->open_line();
    if (!f) return;
    va_list args;
    va_start(args, fmt);
    std::vfprintf(f, fmt, args);
    va_end(args);
    self->close_line(f);
}

void tk_logger::write_wide(int level, const wchar_t* fmt, ...)
{
    tk_logger* self = find();
    if (!self || !self->accepts(level) || !fmt) return;
    va_list args;
    va_start(args, fmt);
    std::wstring text = win_vformat_cut(fmt, args, k_wide_line_chars);
    va_end(args);
    std::string utf8 = utf8_encode(text);
    std::lock_guard lock(self->mutex_);
    std::FILE* f = self->open_line();
    if (!f) return;
    std::fwrite(utf8.data(), 1, utf8.size(), f);
    self->close_line(f);
}
