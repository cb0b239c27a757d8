// Property sheets in wizard mode and their pages.
#pragma once
#include <string>
#include <vector>

#include "platform/ui/ui_window.h"

class ui_property_page;

// The page record. lParam carries the page object that receives the page's
// messages (ui_property_page sets it to itself).
struct PROPSHEETPAGEW {
    DWORD dwSize = sizeof(PROPSHEETPAGEW);
    DWORD dwFlags = PSP_DEFAULT;
    HINSTANCE hInstance = nullptr;
    int pszTemplate = 0; // dialog resource id
    LPCWSTR pszTitle = nullptr;
    LPARAM lParam = 0;
    LPCWSTR pszHeaderTitle = nullptr;
    LPCWSTR pszHeaderSubTitle = nullptr;
};

// Makes a page handle from the record (texts are copied). The handle belongs to
// the sheet it is added to; one never added is freed with DestroyPropertySheetPage.
HPROPSHEETPAGE CreatePropertySheetPageW(const PROPSHEETPAGEW* page);
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);

struct PROPSHEETHEADERW {
    DWORD dwSize = sizeof(PROPSHEETHEADERW);
    DWORD dwFlags = 0;
    HWND hwndParent = nullptr;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    LPCWSTR pszCaption = nullptr;
    UINT nStartPage = 0;
    HBITMAP hbmWatermark = nullptr;
    HBITMAP hbmHeader = nullptr;
};

// Base of a page: the page's messages (WM_INITDIALOG, WM_COMMAND, WM_NOTIFY with
// a PSHNOTIFY whose hdr.hwndFrom is the sheet) reach ProcessWindowMessage.
// Results of notifications are the lResult of the handler.
class ui_property_page : public CWindow, public ui_message_target {
public:
    explicit ui_property_page(int template_id);
    // Destroys the page window if it still exists.
    ~ui_property_page() override;
    ui_property_page(const ui_property_page&) = delete;
    ui_property_page& operator=(const ui_property_page&) = delete;

    // A handle made from this page's record.
    HPROPSHEETPAGE Create() { return CreatePropertySheetPageW(&m_psp); }
    // Sets the header texts and their flags.
    void SetHeaderTitle(const std::wstring& title);
    void SetHeaderSubTitle(const std::wstring& subtitle);

    bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return false; }

    PROPSHEETPAGEW m_psp;

private:
    std::wstring header_title_;
    std::wstring header_subtitle_;
};

// A wizard property sheet. Pages are activated in the order added; Next, Back,
// Finish, Cancel and Help send the page the matching PSN_* notification and act
// on its result as the Windows wizard does.
class ui_property_sheet : public CWindow, public ui_message_target {
public:
    explicit ui_property_sheet(const std::wstring& caption = std::wstring(), UINT start_page = 0);
    // Destroys the sheet window if it still exists, and the page handles it holds.
    ~ui_property_sheet() override;
    ui_property_sheet(const ui_property_sheet&) = delete;
    ui_property_sheet& operator=(const ui_property_sheet&) = delete;

    // Adds a page handle: sent as PSM_ADDPAGE when the sheet exists, else kept for its creation.
    BOOL AddPage(HPROPSHEETPAGE page);
    // Runs the sheet modally; answers 1 after Finish, 0 after Cancel, -1 when it
    // cannot be created (no pages).
    INT_PTR DoModal(HWND owner = nullptr);
    // Creates the sheet modeless and shows its first page; the sheet closes itself
    // after Finish or Cancel (the result is then in modeless_result()).
    HWND Create(HWND owner = nullptr);
    INT_PTR modeless_result() const { return m_result; }

    void SetWizardButtons(DWORD flags) { PostMessage(PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags)); }
    BOOL SetActivePageByID(int id) { return static_cast<BOOL>(SendMessage(PSM_SETCURSELID, 0, id)); }
    HWND GetActivePage() const { return reinterpret_cast<HWND>(SendMessage(PSM_GETCURRENTPAGEHWND)); }
    void PressButton(int button) { SendMessage(PSM_PRESSBUTTON, static_cast<WPARAM>(button)); }
    void SetTitle(const std::wstring& caption);

    // Messages of the sheet itself (WM_TIMER, WM_HELP, ...); unhandled ones get
    // the sheet's own processing.
    bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return false; }

    PROPSHEETHEADERW m_psh;

protected:
    std::vector<HPROPSHEETPAGE> m_pages; // handles not yet given to a window
    std::wstring m_caption;
    INT_PTR m_result = 0;

private:
    HWND create_window(HWND owner, bool modal);
    friend void sheet_store_result(ui_property_sheet* sheet, INT_PTR result);
};
