// The open and save file dialogs of the wizard. Each keeps the process's
// working folder as it was.
#pragma once
#include <string>
#include <utility>

#include "platform/ui/ui.h"

class file_dialog {
public:
    // filter_title: the filter (pairs of display text and pattern, each ended by a
    // NUL) and the title. The initial path gives the file name (without its
    // extension) and the starting folder; without a folder the dialog starts in
    // the folder of the last file chosen in any dialog, else in the user's home
    // (the program's own folder is seldom one the user may write to).
    file_dialog(HWND owner, const std::pair<std::wstring, std::wstring>& filter_title,
                const std::wstring& initial_path);
    virtual ~file_dialog() = default;
    file_dialog(const file_dialog&) = delete;
    file_dialog& operator=(const file_dialog&) = delete;

    // True when the user chose a file.
    virtual bool show() = 0;
    // The chosen path.
    std::wstring get_path() const { return path_; }
    // The folder the next dialog without a folder of its own starts in.
    static std::wstring start_folder();
    // Forgets the last folder, as a new run of the program starts.
    static void forget_last_folder();

    static constexpr DWORD k_max_path = 260;

protected:
    // Runs the platform's dialog in the starting folder; true with path_ set.
    bool run(bool save);

    OPENFILENAMEW ofn_;
    std::wstring buffer_; // the platform's file-name buffer
    std::wstring filter_;
    std::wstring title_;
    std::wstring initial_dir_;
    std::wstring path_;
};

class open_file_dialog : public file_dialog {
public:
    // must_exist: only an existing file is taken; a file about to be written
    // (a new log) is chosen with it false.
    open_file_dialog(HWND owner, const std::pair<std::wstring, std::wstring>& filter_title,
                     const std::wstring& initial_path, bool must_exist = true);
    bool show() override;
};

class save_file_dialog : public file_dialog {
public:
    // ext: the default extension, with or without its leading "."; it must not be empty.
    save_file_dialog(HWND owner, const std::pair<std::wstring, std::wstring>& filter_title,
                     const std::wstring& initial_path, const std::wstring& ext);
    // A chosen name that does not contain the extension (exact case) gets it appended.
    bool show() override;

private:
    std::wstring ext_;
};
