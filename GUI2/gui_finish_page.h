// The first and the last page of a wizard: the welcome page that loads a
// profile, and the finish page that shows the outcome and saves one.
#pragma once
#include <string>
#include <vector>

#include "GUI2/file_dialog.h"
#include "GUI2/wizard_page.h"
#include "GUI2/wizard_shell.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"

// The filter of profile files: "Profile Files (.ext)", "*.ext", then all files,
// each ended by a NUL. Extensions other than 3 or 4 characters are refused.
inline std::wstring gui_profile_filter(const std::wstring& ext, const wchar_t* log_format, int line)
{
    std::wstring filter = L"Profile Files (." + ext + L")|*." + ext + L"|All Files (*.*)|*.*|";
    tk_logger::log(1, log_format, filter.c_str());
    if (ext.size() < 3 || ext.size() > 4) throw tk_mail_assertion("..\\GUI2/g_finish", line);
    for (auto& c : filter)
        if (c == L'|') c = L'\0';
    return filter;
}

// A failed load or save of a profile is said to the user on the page; it never
// reaches the window system's callbacks.
inline void gui_report_profile_error(const tk_exception& e)
{
    tk_logger::log(3, "Error:\n%s", e.what());
    wizard_shell::error(std::string(e.what()));
}

// The page's title font: 13 points of the sans-serif face, created once and
// kept as the page's own font (deleted with the page).
inline HFONT gui_create_title_font(HWND page)
{
    HDC dc = GetDC(page);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(page, dc);
    return CreateFontW(-13 * dpi / 72, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, L"Segoe UI");
}

template <class t_converter, int ID, DWORD BTN, DWORD FLAGS>
class welcome_page_t : public wizard_page<ID, BTN, FLAGS> {
    using base = wizard_page<ID, BTN, FLAGS>;

public:
    static constexpr int ctl_title = 1337;
    static constexpr int ctl_load = 1115;
    static constexpr int ctl_link = 1320;

    void set_profile_ext(const std::wstring& ext) { profile_ext = ext; }
    const std::wstring& get_profile_ext() const { return profile_ext; }

    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override
    {
        if (msg == WM_COMMAND && LOWORD(wparam) == ctl_load && HIWORD(wparam) == BN_CLICKED) {
            on_load();
            result = 0;
            return true;
        }
        return base::ProcessWindowMessage(hwnd, msg, wparam, lparam, result);
    }

    void on_load()
    {
        try {
            const std::wstring filter = gui_profile_filter(profile_ext, L"welcome_page_t::on_load(%s)", 267);
            open_file_dialog dialog(this->m_hWnd, std::make_pair(filter, std::wstring(L"Select Profile File")),
                                    std::wstring());
            if (!dialog.show()) return;
            const std::wstring path = dialog.get_path();
            // A file that is not a whole profile must not pass for loaded.
            if (!t_converter::ref().open_profile(path))
                wizard_shell::error(L"The settings could not be loaded from\n" + path);
        } catch (const tk_exception& e) {
            gui_report_profile_error(e);
        }
    }

protected:
    // The title in its font (the link static 1320 opens its address by itself).
    void show_title()
    {
        if (!this->m_font) this->m_font = gui_create_title_font(this->m_hWnd);
        ::SendMessageW(this->GetDlgItem(ctl_title), WM_SETFONT, reinterpret_cast<WPARAM>(this->m_font), TRUE);
    }

    std::wstring profile_ext;
};

template <int ID, DWORD BTN, DWORD FLAGS>
class gui_finish_page : public wizard_page<ID, BTN, FLAGS> {
    using base = wizard_page<ID, BTN, FLAGS>;

public:
    static constexpr int ctl_title = 1313;
    static constexpr int ctl_text = 1314;
    static constexpr int ctl_errors = 1016;
    static constexpr int ctl_store = 1116;

    gui_finish_page(std::wstring success, std::wstring failure)
        : success_text(std::move(success)), error_text(std::move(failure))
    {}

    bool page_init() override
    {
        tk_logger::log(2, "gui_finish_page::page_init");
        if (!this->m_font) this->m_font = gui_create_title_font(this->m_hWnd);
        ::SendMessageW(this->GetDlgItem(ctl_title), WM_SETFONT, reinterpret_cast<WPARAM>(this->m_font), TRUE);
        HWND sheet = this->GetParent();
        for (int id : {IDCANCEL, IDHELP}) {
            HWND button = ::GetDlgItem(sheet, id);
            tk_logger::log(2, "wizard_shell::enable_button(%08X)",
                           static_cast<unsigned>(reinterpret_cast<uintptr_t>(button)));
            if (button) ::EnableWindow(button, FALSE);
        }
        wizard_shell* shell = wizard_shell::find();
        const std::vector<std::string> errors = shell ? shell->get_errors() : std::vector<std::string>();
        // Success only for a run that ended with everything arrived, whatever was collected.
        if (errors.empty() && run_succeeded()) {
            tk_logger::log(2, "Display success-message");
            this->SetDlgItemText(ctl_text, success_text);
            return true;
        }
        tk_logger::log(2, "Display errors");
        this->SetDlgItemText(ctl_text, error_text);
        if (errors.empty()) return true;
        this->show_ctrl(ctl_errors, true);
        HWND box = this->GetDlgItem(ctl_errors);
        ::SetWindowTextW(box, L"");
        for (std::string text : errors) {
            for (char& c : text)
                if (c == '\n') c = ' ';
            append(box, to_unicode(text));
            append(box, L"\r\n\r\n");
        }
        ::SendMessageW(box, EM_SETREADONLY, TRUE);
        return true;
    }

    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override
    {
        if (msg == WM_COMMAND && LOWORD(wparam) == ctl_errors && HIWORD(wparam) == EN_SETFOCUS && first_focus) {
            on_first_focus();
            result = 0;
            return true;
        }
        return base::ProcessWindowMessage(hwnd, msg, wparam, lparam, result);
    }

    const std::wstring& get_success_text() const { return success_text; }
    const std::wstring& get_error_text() const { return error_text; }

protected:
    // Whether the run behind the page reached its end with every table and record arrived.
    virtual bool run_succeeded() const { return true; }

    // The errors are for reading: nothing selected, the caret in view, and Finish in focus.
    void on_first_focus()
    {
        HWND box = this->GetDlgItem(ctl_errors);
        ::SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(-1), 0);
        ::SendMessageW(box, EM_SCROLLCARET);
        if (HWND finish = ::GetDlgItem(this->GetParent(), ID_WIZFINISH)) ::SetFocus(finish);
        first_focus = false;
    }

    static void append(HWND box, const std::wstring& text)
    {
        const int end = ::GetWindowTextLengthW(box);
        ::SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(end), end);
        ::SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    }

    bool first_focus = true;
    std::wstring success_text;
    std::wstring error_text;
};

template <class t_converter, int ID, DWORD BTN, DWORD FLAGS>
class gui_finish_page_t : public gui_finish_page<ID, BTN, FLAGS> {
    using base = gui_finish_page<ID, BTN, FLAGS>;

public:
    gui_finish_page_t(std::wstring success, std::wstring failure) : base(std::move(success), std::move(failure)) {}

    void set_profile_ext(const std::wstring& ext) { profile_ext = ext; }
    const std::wstring& get_profile_ext() const { return profile_ext; }

    bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override
    {
        if (msg == WM_COMMAND && LOWORD(wparam) == base::ctl_store && HIWORD(wparam) == BN_CLICKED) {
            on_store();
            result = 0;
            return true;
        }
        return base::ProcessWindowMessage(hwnd, msg, wparam, lparam, result);
    }

    void on_store()
    {
        try {
            const std::wstring filter = gui_profile_filter(profile_ext, L"gui_finish_page_t::on_store(%s)", 142);
            save_file_dialog dialog(this->m_hWnd, std::make_pair(filter, std::wstring(L"Select Profile File")),
                                    std::wstring(), profile_ext);
            if (!dialog.show()) return;
            const std::wstring path = dialog.get_path();
            // A profile that was not written must not pass for saved.
            if (!t_converter::ref().save_profile(path))
                wizard_shell::error(L"The settings could not be saved to\n" + path);
        } catch (const tk_exception& e) {
            gui_report_profile_error(e);
        }
    }

protected:
    bool run_succeeded() const override { return t_converter::ref().run_succeeded(); }

    std::wstring profile_ext;
};
