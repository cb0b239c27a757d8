// Handles, records and small helpers of the window framework.
#pragma once
#include <cstdint>

#include "platform/win32/win_types.h"

struct ui_window_object;
struct ui_icon_object;
struct ui_bitmap_object;
struct ui_font_object;
struct ui_dc_object;
struct ui_sheet_page_object;

typedef ui_window_object* HWND;
typedef ui_icon_object* HICON;
typedef ui_bitmap_object* HBITMAP;
typedef ui_font_object* HFONT;
typedef ui_dc_object* HDC;
typedef ui_sheet_page_object* HPROPSHEETPAGE;
typedef void* HGDIOBJ;
typedef HMODULE HINSTANCE;

typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t DWORD_PTR;

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

// Header of every WM_NOTIFY record.
struct NMHDR {
    HWND hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};

// Property-sheet notifications.
struct PSHNOTIFY {
    NMHDR hdr;
    LPARAM lParam = 0;
};

// List-view item notifications (LVN_ITEMCHANGING, LVN_ITEMCHANGED, NM_DBLCLK...).
struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
    POINT ptAction;
    LPARAM lParam = 0;
};

struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
    POINT ptAction;
    LPARAM lParam = 0;
    UINT uKeyFlags = 0;
};

// A list-view column (LVM_INSERTCOLUMNW).
struct LVCOLUMNW {
    UINT mask = 0;
    int fmt = 0;
    int cx = 0;
    LPWSTR pszText = nullptr;
    int cchTextMax = 0;
    int iSubItem = 0;
};

// A list-view item or sub-item (LVM_INSERTITEMW, LVM_SETITEMW, LVM_GETITEMW...).
struct LVITEMW {
    UINT mask = 0;
    int iItem = 0;
    int iSubItem = 0;
    UINT state = 0;
    UINT stateMask = 0;
    LPWSTR pszText = nullptr;
    int cchTextMax = 0;
    int iImage = 0;
    LPARAM lParam = 0;
};

constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xffff); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xffff); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return static_cast<WPARAM>((static_cast<DWORD>(high) << 16) | low); }
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return static_cast<LPARAM>((static_cast<DWORD>(high) << 16) | low); }
constexpr DWORD MAKELONG(WORD low, WORD high) { return (static_cast<DWORD>(high) << 16) | low; }
// The list-view state-image index as state bits (1 unchecked, 2 checked).
constexpr UINT INDEXTOSTATEIMAGEMASK(UINT i) { return i << 12; }
