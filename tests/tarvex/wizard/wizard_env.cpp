#include "tests/tarvex/wizard/wizard_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "TK/tk_text.h"
#include "tarvex/wizard/wizard_error_handler.h"

wizard_env::wizard_env(bool wizard_errors)
{
    if (wizard_errors) {
        handler_ = std::make_unique<wizard_error_handler>();
    } else {
        auto recording = std::make_unique<recording_handler>();
        recorded_ = recording.get();
        handler_ = std::move(recording);
    }
    registry_file_ = servers.dir() + "/registry.reg";
    ::setenv("TVX_REGISTRY_FILE", registry_file_.c_str(), 1);
    new_driver();
    new_shell();
}

void wizard_env::new_shell()
{
    if (shell_ && ::IsWindow(shell_->m_hWnd)) shell_->DestroyWindow();
    shell_.reset();
    shell_ = std::make_unique<wizard_shell>(L"Dremlow 5.5", 501, 311, 312);
}

wizard_env::~wizard_env()
{
    if (shell_ && ::IsWindow(shell_->m_hWnd)) shell_->DestroyWindow();
    shell_.reset();
    driver_.reset();
    handler_.reset();
    ::unsetenv("TVX_REGISTRY_FILE");
}

std::string wizard_env::registry_text() const
{
    std::ifstream in(registry_file_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

tarvex_convertor& wizard_env::new_driver()
{
    driver_.reset();
    driver_ = std::make_unique<tarvex_convertor>(tarvex_convertor::settings_source::registry);
    return *driver_;
}

void wizard_env::show(const std::vector<wizard_page_base*>& pages)
{
    for (wizard_page_base* page : pages) shell_->AddPage(page->Create());
    shell_->Create(nullptr);
    ui_automation::pump(0); // what the first page posted on its activation
}

bool wizard_env::pump_until(const std::function<bool()>& done, int timeout_ms)
{
    return ui_pump_until(done, timeout_ms);
}

HWND wizard_env::active_page() { return shell_->GetActivePage(); }

void wizard_env::press(int button)
{
    // Pages enable the sheet's buttons by posted messages: a button is pressed
    // once it can be (one left disabled stays so, and the press does nothing).
    const int id = button == PSBTN_BACK     ? ID_WIZBACK
                   : button == PSBTN_NEXT   ? ID_WIZNEXT
                   : button == PSBTN_FINISH ? ID_WIZFINISH
                                            : 0;
    if (id != 0) pump_until([&] { return is_enabled(shell_->m_hWnd, id); }, 20000);
    shell_->PressButton(button);
    ui_automation::pump(0); // what the next page posted on its activation
}

std::vector<std::wstring> wizard_env::boxes()
{
    std::vector<std::wstring> out;
    for (const auto& b : ui_automation::message_boxes()) out.push_back(b.text);
    return out;
}

std::wstring item_text(HWND dialog, int id) { return CWindow(dialog).GetDlgItemText(id); }
bool is_checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
bool is_enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
std::wstring w(const std::string& s) { return to_unicode(s); }
