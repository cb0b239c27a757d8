#include "GUI2/file_dialog.h"

#include <cstdlib>
#include <mutex>

#include "TK/tk_exception.h"
#include "TK/tk_file_wname.h"
#include "TK/tk_logger.h"
#include "TK/tk_temp_chdir.h"
#include "TK/tk_text.h"

namespace {

std::mutex g_last_folder_mutex;
std::wstring g_last_folder; // the folder of the last file chosen

std::wstring home_folder()
{
    for (const char* name : {"USERPROFILE", "HOME"})
        if (const char* v = std::getenv(name); v && *v) {
            std::wstring dir = to_unicode(std::string(v));
            if (dir.back() != L'/' && dir.back() != L'\\') dir += L'/';
            return dir;
        }
    return std::wstring();
}

} // namespace

std::wstring file_dialog::start_folder()
{
    {
        std::lock_guard<std::mutex> lock(g_last_folder_mutex);
        if (!g_last_folder.empty()) return g_last_folder;
    }
    return home_folder();
}

void file_dialog::forget_last_folder()
{
    std::lock_guard<std::mutex> lock(g_last_folder_mutex);
    g_last_folder.clear();
}

file_dialog::file_dialog(HWND owner, const std::pair<std::wstring, std::wstring>& filter_title,
                         const std::wstring& initial_path)
    : buffer_(k_max_path, L'\0'), filter_(filter_title.first), title_(filter_title.second)
{
    // The list ends with a second NUL; c_str() adds the last one.
    if (filter_.empty() || filter_.back() != L'\0') filter_.push_back(L'\0');
    const tk_file_wname parts(initial_path);
    const std::wstring name = parts.name.substr(0, k_max_path - 1);
    std::copy(name.begin(), name.end(), buffer_.begin());
    // A path without a folder of its own (the splitter would answer the program's).
    const bool has_folder = initial_path.find_first_of(L"/\\:") != std::wstring::npos;
    initial_dir_ = has_folder ? parts.drive + parts.dir : start_folder();
    ofn_.hwndOwner = owner;
    ofn_.hInstance = ui_instance();
    ofn_.lpstrFilter = filter_.c_str();
    ofn_.lpstrFile = buffer_.data();
    ofn_.nMaxFile = k_max_path;
    ofn_.lpstrInitialDir = initial_dir_.empty() ? nullptr : initial_dir_.c_str();
    ofn_.lpstrTitle = title_.c_str();
}

bool file_dialog::run(bool save)
{
    // The dialog may change folders; the program's own working folder comes back.
    const tk_temp_chdir chdir(to_utf8(initial_dir_));
    const BOOL chosen = save ? GetSaveFileNameW(&ofn_) : GetOpenFileNameW(&ofn_);
    if (!chosen) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            tk_logger::log(2, "file_dialog: the chosen name is too long");
        return false;
    }
    path_ = buffer_.c_str();
    const tk_file_wname parts(path_);
    if (!(parts.drive + parts.dir).empty()) {
        std::lock_guard<std::mutex> lock(g_last_folder_mutex);
        g_last_folder = parts.drive + parts.dir;
    }
    return true;
}

open_file_dialog::open_file_dialog(HWND owner, const std::pair<std::wstring, std::wstring>& filter_title,
                                   const std::wstring& initial_path, bool must_exist)
    : file_dialog(owner, filter_title, initial_path)
{
    ofn_.Flags = must_exist ? OFN_FILEMUSTEXIST : 0;
}

bool open_file_dialog::show() { return run(false); }

save_file_dialog::save_file_dialog(HWND owner, const std::pair<std::wstring, std::wstring>& filter_title,
                                   const std::wstring& initial_path, const std::wstring& ext)
    : file_dialog(owner, filter_title, initial_path)
{
    if (ext.empty()) throw tk_mail_assertion("g_f_dlg", 111);
    ext_ = ext.front() == L'.' ? ext : L"." + ext;
}

bool save_file_dialog::show()
{
    if (!run(true)) return false;
    // Kept in a string of its own: the extension always fits.
    if (path_.find(ext_) == std::wstring::npos) path_ += ext_;
    return true;
}
