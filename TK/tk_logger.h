// The trace log: lines at or above a minimum level appended to one file.
#pragma once
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "TK/tk_singleton.h"

class tk_logger : public tk_singleton<tk_logger> {
public:
    // A null file name means the program's own path with the extension ".log".
    // When enabled, the file is emptied at once.
    tk_logger(const char* file, bool enabled, int min_level, bool timestamps);
    ~tk_logger() override;

    void set_file_name(const char* file);
    void set_enabled(bool enabled);

    std::string get_file_name() const;
    bool is_enabled() const { return enabled_.load(); }
    int get_min_level() const { return min_level_; }

    // Windows printf conventions; reach the registered logger themselves.
    static void log(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    static void log(int level, const wchar_t* fmt, ...);

    // The registered logger writes lines of this level.
    static bool traces(int level);

    // Text longer than this (in wide characters, with the terminator) is cut.
    static constexpr size_t k_wide_line_chars = 10240;

private:
    bool accepts(int level) const { return enabled_.load(std::memory_order_relaxed) && level >= min_level_; }
    // Opens the file for one line, emptying it first the first time; null when it cannot be opened.
    std::FILE* open_line();
    void close_line(std::FILE* f);
    // The first line that cannot be stored is reported on the error stream; later ones are not.
    void report_failure(int error);

    mutable std::mutex mutex_; // one line at a time, from any thread
    std::string file_;
    const int min_level_;
    const bool crlf_ = true;
    std::atomic<bool> enabled_;
    bool truncated_ = false;
    bool failure_reported_ = false;
    const bool timestamps_;
};
