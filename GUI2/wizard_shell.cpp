#include "GUI2/wizard_shell.h"

#include <filesystem>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_module.h"
#include "TK/tk_text.h"

wizard_shell::wizard_shell(const std::wstring& caption, int icon_id, int watermark_id, int header_id)
    : ui_property_sheet(caption), icon_id_(icon_id), caption_(caption)
{
    tk_logger::log(1, L"wizard_shell::ctor(%s)", caption.c_str());
    m_psh.dwFlags = PSH_WIZARD97 | PSH_WIZARD | PSH_HASHELP | PSH_NOAPPLYNOW;
    m_psh.hwndParent = nullptr;
    m_psh.nStartPage = 0;
    if (watermark_id) {
        watermark_ = LoadBitmapW(ui_instance(), watermark_id);
        m_psh.hbmWatermark = watermark_;
        m_psh.dwFlags |= PSH_WATERMARK | PSH_USEHBMWATERMARK | PSH_STRETCHWATERMARK;
    }
    if (header_id) {
        header_ = LoadBitmapW(ui_instance(), header_id);
        m_psh.hbmHeader = header_;
        m_psh.dwFlags |= PSH_HEADER | PSH_USEHBMHEADER;
    }
}

wizard_shell::~wizard_shell()
{
    tk_logger::log(1, "wizard_shell::dtor");
    initialized_ = false;
    try {
        if (timer_running_.exchange(false)) ::KillTimer(m_hWnd, k_timer_id);
        if (IsWindow()) DestroyWindow();
    } catch (...) {}
    sheet_window_ = nullptr;
    if (header_) DeleteObject(header_);
    if (watermark_) DeleteObject(watermark_);
    if (icon_) DestroyIcon(icon_);
}

bool wizard_shell::is_initialized()
{
    tk_logger::log(1, "wizard_shell::is_initialized");
    wizard_shell* shell = find();
    if (!shell) {
        tk_logger::log(1, "Before return false");
        return false;
    }
    tk_logger::log(1, "Singleton has been initialized");
    return shell->initialized_.load();
}

void wizard_shell::first_show()
{
    if (initialized_.load()) return;
    SetWindowText(caption_);
    if (icon_id_) {
        const int size = ui_large_icon_size();
        if (!icon_) icon_ = LoadImageIcon(ui_instance(), icon_id_, size, size);
        SetIcon(icon_, TRUE);
    }
    CenterWindow();
    sheet_window_ = m_hWnd;
    initialized_ = true;
}

void wizard_shell::set_timer(UINT period_ms)
{
    wizard_shell& shell = ref();
    if (shell.timer_running_.load()) throw tk_mail_assertion("g_wiz_sh", 260);
    // Called from the conversion worker: the sheet's handle as published on screen.
    if (!::SetTimer(shell.sheet_window_.load(), k_timer_id, period_ms)) throw tk_mail_assertion("g_wiz_sh", 268);
    shell.timer_running_ = true;
}

void wizard_shell::kill_timer()
{
    wizard_shell& shell = ref();
    if (shell.timer_running_.exchange(false)) ::KillTimer(shell.sheet_window_.load(), k_timer_id);
}

void wizard_shell::write_log(const std::wstring& text)
{
    tk_logger::log(1, L"wizard_shell::write_log(%s)", text.c_str());
    HWND page = ref().get_current_page();
    if (!page) return;
    HWND box = ::GetDlgItem(page, k_log_box_id);
    if (!box) {
        tk_logger::log(1, "Editbox failed to be initialized");
        return;
    }
    // Past the end: the caret goes to the end of the text.
    ::SendMessageW(box, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
    ::SendMessageW(box, EM_SCROLLCARET);
    ::SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring wizard_shell::box_caption(const wchar_t* kind)
{
    wizard_shell* shell = find();
    if (shell && shell->initialized_.load()) return shell->caption_ + L" " + kind;
    return kind;
}

HWND wizard_shell::box_owner()
{
    wizard_shell* shell = find();
    return (shell && shell->initialized_.load()) ? shell->sheet_window_.load() : nullptr;
}

void wizard_shell::error(const std::wstring& text)
{
    tk_logger::log(1, L"wizard_shell::error(%s)", text.c_str());
    MessageBoxW(box_owner(), text.c_str(), box_caption(L"Error").c_str(), MB_OK | MB_ICONSTOP);
    tk_logger::log(3, L"%s", text.c_str());
}

void wizard_shell::error(const std::string& text) { error(to_unicode(text, -1)); }

void wizard_shell::message(const std::wstring& text)
{
    tk_logger::log(1, L"wizard_shell::message(%s)", text.c_str());
    MessageBoxW(box_owner(), text.c_str(), box_caption(L"Message").c_str(), MB_OK | MB_ICONINFORMATION);
    tk_logger::log(3, L"%s", text.c_str());
}

bool wizard_shell::question(const std::wstring& text, UINT extra_flags)
{
    return MessageBoxW(box_owner(), text.c_str(), box_caption(L"Question").c_str(),
                       MB_YESNO | MB_ICONQUESTION | extra_flags) == IDYES;
}

std::wstring wizard_shell::help_file()
{
    // The help set: a folder of HTML topics beside the program, entered by its contents page.
    std::filesystem::path p(tk_get_module_wpath());
    return (p.parent_path() / L"help" / L"index.html").wstring();
}

void wizard_shell::display_help()
{
    tk_logger::log(1, "wizard_shell::display_help");
    open_help(HH_DISPLAY_TOPIC, 0);
}

void wizard_shell::display_help(int topic)
{
    tk_logger::log(1, "wizard_shell::display_help(%d)", topic);
    open_help(HH_HELP_CONTEXT, static_cast<DWORD_PTR>(topic));
}

void wizard_shell::open_help(UINT command, DWORD_PTR topic)
{
    const std::wstring file = help_file();
    std::error_code ec;
    // A topic the set lacks is a set that is not whole: the same remedy.
    if (!std::filesystem::exists(std::filesystem::path(file), ec) ||
        !HtmlHelpW(GetDesktopWindow(), file.c_str(), command, topic)) {
        tk_logger::log(2, "No help for topic %d", static_cast<int>(topic));
        error(std::wstring(L"Help file does not exist. Reinstall the program."));
    }
}

void wizard_shell::add_error(const std::string& text)
{
    wizard_shell& shell = ref();
    std::lock_guard<std::mutex> lock(shell.errors_mutex_);
    if (shell.errors_.size() < k_max_errors) shell.errors_.push_back(text);
}

std::vector<std::string> wizard_shell::get_errors()
{
    wizard_shell& shell = ref();
    std::lock_guard<std::mutex> lock(shell.errors_mutex_);
    return shell.errors_;
}

size_t wizard_shell::error_count()
{
    wizard_shell& shell = ref();
    std::lock_guard<std::mutex> lock(shell.errors_mutex_);
    return shell.errors_.size();
}

void wizard_shell::clear_errors()
{
    wizard_shell& shell = ref();
    std::lock_guard<std::mutex> lock(shell.errors_mutex_);
    shell.errors_.clear();
}

bool wizard_shell::ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    lResult = 0;
    if (uMsg == WM_TIMER) {
        if (wParam == k_timer_id) {
            HWND page = reinterpret_cast<HWND>(::SendMessageW(hWnd, PSM_GETCURRENTPAGEHWND));
            if (page) ::SendMessageW(page, WM_TIMER, wParam, lParam);
        }
        return true;
    }
    if (uMsg == WM_HELP) {
        HWND page = reinterpret_cast<HWND>(::SendMessageW(hWnd, PSM_GETCURRENTPAGEHWND));
        if (page) {
            PSHNOTIFY n;
            n.hdr.hwndFrom = hWnd;
            n.hdr.idFrom = 0;
            n.hdr.code = PSN_HELP;
            ::SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
        }
        lResult = TRUE;
        return true;
    }
    return false;
}
