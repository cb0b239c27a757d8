// The trace log: lines at or above a minimum level appended to one file.
#pragma once
#include <atomic>
#include <climits>
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
    // A line below the level costs one inline test: no call, no formatting.
#if defined(__GNUC__) && !defined(__clang__)
    [[gnu::always_inline]] static inline void log(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)))
    {
        if (level >= threshold_.load(std::memory_order_relaxed)) write(level, fmt, __builtin_va_arg_pack());
    }
#else
    // Without the forwarding builtin the caller's format is not checked here.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-security"
#pragma clang diagnostic ignored "-Wformat-nonliteral"
    template <class... Args>
    [[gnu::always_inline]] static inline void log(int level, const char* fmt, Args... args)
    {
        if (level >= threshold_.load(std::memory_order_relaxed)) write(level, fmt, args...);
    }
#pragma clang diagnostic pop
#endif
    template <class... Args>
    [[gnu::always_inline]] static inline void log(int level, const wchar_t* fmt, Args... args)
    {
        if (level >= threshold_.load(std::memory_order_relaxed)) write_wide(level, fmt, args...);
    }

    // The registered logger writes lines of this level.
    static bool traces(int level) { return level >= threshold_.load(std::memory_order_relaxed) && accepted(level); }

    // Text longer than this (in wide characters, with the terminator) is cut.
    static constexpr size_t k_wide_line_chars = 10240;

private:
    static void write(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    static void write_wide(int level, const wchar_t* fmt, ...);
    static bool accepted(int level);
    bool accepts(int level) const { return enabled_.load(std::memory_order_relaxed) && level >= min_level_; }
    // Makes the level test follow this logger when it is the registered one.
    void publish(bool registered);

    // Above every level while no logger is registered or the registered one is off.
    static constexpr int k_off = INT_MAX;
    // The lowest level the registered logger writes; only a filter ahead of the
    // full test under the line's lock, so it never lets a line through alone.
    inline static std::atomic<int> threshold_{k_off};
    inline static std::mutex publish_mutex_;
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
