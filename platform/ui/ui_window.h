// Windows and controls by handle: messages, texts, checks, enabling, showing,
// timers. Every call may come from any thread: work on windows is carried out on
// the user-interface thread, and a call from another thread waits for it (as a
// sent message does), except PostMessageW, which returns at once.
#pragma once
#include <string>

#include "platform/ui/ui_messages.h"
#include "platform/ui/ui_types.h"

// What receives the messages of a dialog, a property page or a property sheet.
// Answer true when the message is handled; lResult then is the message's result.
class ui_message_target {
public:
    virtual ~ui_message_target() = default;
    virtual bool ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) = 0;
    // Called after the window is gone; the object may then be destroyed.
    virtual void OnFinalMessage(HWND /*hWnd*/) {}
};

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wparam = 0, LPARAM lparam = 0);
// Queues the message; it is delivered on the user-interface thread if the window
// still exists then. False when the window does not exist.
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wparam = 0, LPARAM lparam = 0);

BOOL IsWindow(HWND hwnd);
BOOL DestroyWindow(HWND hwnd);
HWND GetParent(HWND hwnd);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND hwnd);
// The active top-level window of the program (the innermost modal one), or null.
HWND GetActiveWindow();
HWND GetDesktopWindow();
HWND SetFocus(HWND hwnd);
HWND GetFocus();
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL IsWindowVisible(HWND hwnd);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextLengthW(HWND hwnd);
// Copies at most count - 1 characters and a NUL; returns the characters copied.
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int count);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int count);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and clears the other buttons with ids first..last.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wparam = 0, LPARAM lparam = 0);
BOOL CenterWindow(HWND hwnd, HWND center_on = nullptr);
BOOL BringWindowToTop(HWND hwnd);
BOOL SetForegroundWindow(HWND hwnd);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL GetWindowRect(HWND hwnd, RECT* rect);

// Timers: WM_TIMER with the id reaches the window's message target every
// `elapse` ms. Answers the id, or 0 when the window does not exist.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, void* timer_proc = nullptr);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Drawing contexts, just enough to measure text and read the screen resolution.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
int GetDeviceCaps(HDC dc, int index);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strike_out, DWORD char_set, DWORD out_precision, DWORD clip_precision, DWORD quality,
                  DWORD pitch_and_family, LPCWSTR face);

// Common controls: the version query and the class initialisation.
struct INITCOMMONCONTROLSEX {
    DWORD dwSize = sizeof(INITCOMMONCONTROLSEX);
    DWORD dwICC = 0;
};
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc);

// HTML Help: opens the help file (HH_DISPLAY_TOPIC), or the topic of the help
// context id `data` (HH_HELP_CONTEXT), in the program's help window. The help
// file is the contents page of a folder of HTML topics whose "topics.map" maps
// context ids to topic files. Answers the help window, or null when the file or
// the topic cannot be shown.
HWND HtmlHelpW(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data);

// Thin wrapper of a window handle with the calls the dialogs use most.
class CWindow {
public:
    CWindow(HWND h = nullptr) : m_hWnd(h) {}
    virtual ~CWindow() = default;
    CWindow(const CWindow&) = default;
    CWindow& operator=(const CWindow&) = default;
    operator HWND() const { return m_hWnd; }

    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT SendMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageW(m_hWnd, msg, w, l); }
    BOOL PostMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageW(m_hWnd, msg, w, l); }
    LRESULT SendDlgItemMessage(int id, UINT msg, WPARAM w = 0, LPARAM l = 0) const
    {
        return ::SendDlgItemMessageW(m_hWnd, id, msg, w, l);
    }
    BOOL SetWindowText(const std::wstring& text) const { return ::SetWindowTextW(m_hWnd, text.c_str()); }
    std::wstring GetWindowText() const;
    BOOL SetDlgItemText(int id, const std::wstring& text) const { return ::SetDlgItemTextW(m_hWnd, id, text.c_str()); }
    // The control's text, cut to at most max_chars characters when max_chars >= 0.
    std::wstring GetDlgItemText(int id, int max_chars = -1) const;
    BOOL CheckDlgButton(int id, UINT check) const { return ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
    BOOL CheckRadioButton(int first, int last, int check) const
    {
        return ::CheckRadioButton(m_hWnd, first, last, check);
    }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
    BOOL CenterWindow(HWND center_on = nullptr) const { return ::CenterWindow(m_hWnd, center_on); }
    BOOL BringWindowToTop() const { return ::BringWindowToTop(m_hWnd); }
    HWND SetFocus() const { return ::SetFocus(m_hWnd); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) const { return ::SetTimer(m_hWnd, id, elapse); }
    BOOL KillTimer(UINT_PTR id) const { return ::KillTimer(m_hWnd, id); }
    HICON SetIcon(HICON icon, BOOL big = TRUE) const
    {
        return reinterpret_cast<HICON>(
            SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }
    void SetFont(HFONT font) const { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }
    BOOL DestroyWindow();

    HWND m_hWnd;
};
