// The common open and save file dialogs.
#pragma once
#include "platform/ui/ui_types.h"

struct OPENFILENAMEW {
    DWORD lStructSize = sizeof(OPENFILENAMEW);
    HWND hwndOwner = nullptr;
    HINSTANCE hInstance = nullptr;
    // Pairs of display text and pattern ("*.log;*.txt"), each ended by a NUL,
    // the list ended by a second NUL.
    LPCWSTR lpstrFilter = nullptr;
    LPWSTR lpstrCustomFilter = nullptr;
    DWORD nMaxCustFilter = 0;
    DWORD nFilterIndex = 0;
    // In: the initial file name; out: the chosen path. nMaxFile counts the NUL.
    LPWSTR lpstrFile = nullptr;
    DWORD nMaxFile = 0;
    LPWSTR lpstrFileTitle = nullptr;
    DWORD nMaxFileTitle = 0;
    LPCWSTR lpstrInitialDir = nullptr;
    LPCWSTR lpstrTitle = nullptr;
    DWORD Flags = 0;
    WORD nFileOffset = 0;
    WORD nFileExtension = 0;
    // Appended (after a ".") to a chosen name that has no extension.
    LPCWSTR lpstrDefExt = nullptr;
    LPARAM lCustData = 0;
};

constexpr DWORD OFN_READONLY = 0x1;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_NOCHANGEDIR = 0x8;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;
constexpr DWORD OFN_EXPLORER = 0x80000;

constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

// True when the user chose a file; its path is then in lpstrFile. False after
// Cancel or an error (see CommDlgExtendedError: 0 after Cancel).
BOOL GetOpenFileNameW(OPENFILENAMEW* ofn);
BOOL GetSaveFileNameW(OPENFILENAMEW* ofn);
DWORD CommDlgExtendedError();
