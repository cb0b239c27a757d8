#include "platform/ui/ui_message_box.h"

#include <QMessageBox>
#include <QPushButton>

#include <vector>

#include <cstdio>
#include "platform/ui/ui_messages.h"
#include "platform/ui/ui_window_object.h"

namespace ui_detail {

// The buttons of a box type, in order.
std::vector<int> message_box_buttons(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

int message_box_default(UINT type)
{
    const std::vector<int> b = message_box_buttons(type);
    const size_t i = (type & MB_DEFMASK) >> 8;
    return b[i < b.size() ? i : 0];
}

} // namespace ui_detail

using namespace ui_detail;

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    const std::wstring t = text ? text : L"";
    const std::wstring c = caption ? caption : L"Error";
    if (automation_active()) return automation_message_box(owner, t, c, type);
    int answer = message_box_default(type);
    const bool shown = invoke([&] {
        ui_window_object* o = lookup(owner);
        QMessageBox box(o && o->widget ? o->widget->window() : nullptr);
        box.setWindowTitle(qstr(c));
        box.setText(qstr(t));
        switch (type & MB_ICONMASK) {
        case MB_ICONHAND:
            box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONEXCLAMATION:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONASTERISK:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
        }
        std::vector<std::pair<QAbstractButton*, int>> buttons;
        for (int id : message_box_buttons(type)) {
            QMessageBox::StandardButton sb = QMessageBox::Ok;
            switch (id) {
            case IDCANCEL:
                sb = QMessageBox::Cancel;
                break;
            case IDABORT:
                sb = QMessageBox::Abort;
                break;
            case IDRETRY:
                sb = QMessageBox::Retry;
                break;
            case IDIGNORE:
                sb = QMessageBox::Ignore;
                break;
            case IDYES:
                sb = QMessageBox::Yes;
                break;
            case IDNO:
                sb = QMessageBox::No;
                break;
            default:
                break;
            }
            QAbstractButton* b = box.addButton(sb);
            buttons.emplace_back(b, id);
            if (id == answer) box.setDefaultButton(static_cast<QPushButton*>(b));
        }
        push_modal(nullptr);
        box.exec();
        pop_modal(nullptr);
        for (const auto& [b, id] : buttons) {
            if (box.clickedButton() == b) answer = id;
        }
        // Closing a box without Cancel answers its only or default button.
    });
    if (!shown) std::fprintf(stderr, "%s: %s\n", qstr(c).toStdString().c_str(), qstr(t).toStdString().c_str());
    return answer;
}
