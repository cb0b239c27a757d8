#include "platform/ui/ui_file_dialog.h"

#include <QFileDialog>

#include <atomic>
#include <filesystem>
#include <vector>

#include "platform/ui/ui_messages.h"
#include "platform/ui/ui_window_object.h"

using namespace ui_detail;

namespace {

std::atomic<DWORD> g_last_error{0};

std::vector<std::wstring> split_filter(LPCWSTR filter)
{
    std::vector<std::wstring> out;
    if (!filter) return out;
    const wchar_t* p = filter;
    while (*p) {
        std::wstring item(p);
        out.push_back(item);
        p += item.size() + 1;
    }
    return out;
}

bool has_extension(const std::wstring& path)
{
    const std::wstring name = std::filesystem::path(path).filename().wstring();
    const size_t dot = name.rfind(L'.');
    return dot != std::wstring::npos && dot != 0;
}

BOOL run_file_dialog(OPENFILENAMEW* ofn, bool save)
{
    g_last_error = 0;
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) return FALSE;
    file_dialog_request r;
    r.save = save;
    r.owner = ofn->hwndOwner;
    r.title = ofn->lpstrTitle ? ofn->lpstrTitle : (save ? L"Save As" : L"Open");
    r.initial_file = ofn->lpstrFile;
    r.initial_dir = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : L"";
    r.filter = split_filter(ofn->lpstrFilter);
    r.flags = ofn->Flags;

    std::wstring path;
    bool chosen = false;
    if (automation_active()) {
        chosen = automation_file_dialog(r, path);
    } else {
        invoke([&] {
            ui_window_object* o = lookup(r.owner);
            QFileDialog dlg(o && o->widget ? o->widget->window() : nullptr, qstr(r.title));
            dlg.setOption(QFileDialog::DontUseNativeDialog, true);
            dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
            dlg.setFileMode(save                            ? QFileDialog::AnyFile
                            : (r.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                            : QFileDialog::AnyFile);
            QStringList filters;
            for (size_t i = 0; i + 1 < r.filter.size(); i += 2)
                filters << qstr(r.filter[i]) + " (" + qstr(r.filter[i + 1]).replace(';', ' ') + ")";
            if (!filters.isEmpty()) dlg.setNameFilters(filters);
            if (!r.initial_dir.empty()) dlg.setDirectory(qstr(r.initial_dir));
            if (!r.initial_file.empty()) dlg.selectFile(qstr(r.initial_file));
            push_modal(nullptr);
            const int done = dlg.exec();
            pop_modal(nullptr);
            if (done == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) {
                path = wstr(dlg.selectedFiles().front());
                chosen = true;
            }
        });
    }
    if (!chosen) return FALSE;
    if (ofn->lpstrDefExt && *ofn->lpstrDefExt && !has_extension(path)) path += std::wstring(L".") + ofn->lpstrDefExt;
    if (path.size() + 1 > ofn->nMaxFile) {
        g_last_error = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::copy(path.begin(), path.end(), ofn->lpstrFile);
    ofn->lpstrFile[path.size()] = L'\0';
    const size_t slash = path.rfind(L'/');
    ofn->nFileOffset = static_cast<WORD>(slash == std::wstring::npos ? 0 : slash + 1);
    const size_t dot = path.rfind(L'.');
    ofn->nFileExtension =
        static_cast<WORD>(dot == std::wstring::npos || dot < ofn->nFileOffset ? path.size() : dot + 1);
    return TRUE;
}

} // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW* ofn) { return run_file_dialog(ofn, false); }
BOOL GetSaveFileNameW(OPENFILENAMEW* ofn) { return run_file_dialog(ofn, true); }
DWORD CommDlgExtendedError() { return g_last_error.load(); }
