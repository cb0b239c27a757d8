// The one place where an exception the run cannot absorb becomes a message for
// the user; each front end presents it its own way.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "TK/tk_error_converter.h"
#include "TK/tk_exception.h"
#include "TK/tk_singleton.h"

class error_handler : public tk_singleton<error_handler> {
public:
    error_handler(int count, const tk_error_entry* entries);
    ~error_handler() override;

    void load_err_map(int count, const tk_error_entry* entries);

    void set_table_context(const std::wstring& table);
    void set_record_context(const std::wstring& table, int record);
    void clear_context() { set_context(std::string()); }
    void set_context_text(const std::string& text) { set_context(text); }
    std::string get_context() const;

    // Presents the error by its level; a front end may end the process or
    // raise tk_final_exception to stop the run.
    virtual void handle(const tk_exception& e, bool may_continue) = 0;

    void set_quiet(bool value) { quiet_.store(value); }
    bool is_quiet() const { return quiet_.load(); }

    // The code's text, or the exception's own when the map has none.
    std::string get_text(const tk_exception& e);

protected:
    // The message behind the context, logged as "Error:\n%s", then on one line.
    std::string build_message(const tk_exception& e);

private:
    void set_context(std::string text);

    mutable std::mutex context_mutex_; // written by the run, read by whoever reports
    std::string context_;
    std::atomic<bool> quiet_{false};
    std::map<uint32_t, uint32_t> help_topics_; // nothing fills it: no help opens for an error
    tk_error_converter codes_;
};

// The two code-to-text tables: Oracle codes (0x100000 | ORA number) and OLE DB
// codes (0x80000 | the low 16 bits of the HRESULT).
extern const tk_error_entry g_ora_error_table[];
extern const int g_ora_error_count;
extern const tk_error_entry g_odb_error_table[];
extern const int g_odb_error_count;
