// A wizard driven offscreen against the embedded servers: the registry in a
// temporary file, the error handler, the driver and the shell, built in the
// program's order; pages are added by each test and shown modeless. Tests run
// as ui_test fixtures (automation on, stray exceptions and modal loops fail).
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GUI2/wizard_page.h"
#include "GUI2/wizard_shell.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "platform/ui/ui.h"
#include "platform/ui/ui_automation.h"
#include "tests/platform/ui/ui_test_support.h"
#include "tests/tarvex/conversion_env.h"

class wizard_env {
public:
    // wizard_errors: errors are presented as the wizard does (dialogs, the list
    // for the finish page); else they are only recorded.
    explicit wizard_env(bool wizard_errors = false);
    ~wizard_env();
    wizard_env(const wizard_env&) = delete;
    wizard_env& operator=(const wizard_env&) = delete;

    // The registry file the driver loads from and stores into.
    const std::string& registry_file() const { return registry_file_; }
    std::string registry_text() const;

    // A fresh driver (its settings come from the registry file); the old one,
    // if any, stores its settings first.
    tarvex_convertor& new_driver();
    void drop_driver() { driver_.reset(); }
    tarvex_convertor& driver() { return *driver_; }

    wizard_shell& shell() { return *shell_; }
    // A fresh sheet for another walk (the old one is destroyed).
    void new_shell();
    // Adds the pages and shows the sheet on the first of them.
    void show(const std::vector<wizard_page_base*>& pages);
    // Pumps events until the condition holds; false after the timeout.
    bool pump_until(const std::function<bool()>& done, int timeout_ms = 20000);
    HWND active_page();
    void press(int button); // PSBTN_*

    // The texts of the message boxes shown so far.
    std::vector<std::wstring> boxes();
    std::string file_url(const std::string& dir) const { return "file:" + dir; }

    tk_logger logger{nullptr, false, 3, false};
    conversion_env servers;
    // The errors recorded (only without wizard_errors).
    recording_handler& recorded() { return *recorded_; }

private:
    std::unique_ptr<error_handler> handler_;
    recording_handler* recorded_ = nullptr;
    std::string registry_file_;
    std::unique_ptr<tarvex_convertor> driver_;
    std::unique_ptr<wizard_shell> shell_;
};

// The text of a control.
std::wstring item_text(HWND dialog, int id);
bool is_checked(HWND dialog, int id);
bool is_enabled(HWND dialog, int id);
std::wstring w(const std::string& s);
