// The program's resources: dialog templates, icons and bitmaps, each registered
// under its resource id by the code that owns it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_messages.h"

// The kinds of controls a dialog template may hold.
enum class ui_control_kind {
    static_text,  // LTEXT/CTEXT/RTEXT
    group_box,    // GROUPBOX
    push_button,  // PUSHBUTTON/DEFPUSHBUTTON (BS_DEFPUSHBUTTON in style)
    check_box,    // CHECKBOX (BS_CHECKBOX: the owner flips it) or AUTOCHECKBOX
    radio_button, // RADIOBUTTON (the owner checks it) or AUTORADIOBUTTON
    edit,         // EDITTEXT (ES_MULTILINE, ES_PASSWORD, ES_READONLY...)
    combo_box,    // COMBOBOX (CBS_DROPDOWN editable, CBS_DROPDOWNLIST; CBS_SORT)
    list_box,     // LISTBOX (LBS_SORT)
    list_view,    // SysListView32 in report mode
    progress_bar, // msctls_progress32
    icon,         // static with SS_ICON; text is unused, image = icon id
    bitmap,       // static with SS_BITMAP; image = bitmap id
    hyperlink,    // a static that shows a link and opens it when clicked
};

// One control of a dialog template. Positions and sizes are in dialog units.
struct ui_control_template {
    ui_control_kind kind = ui_control_kind::static_text;
    int id = -1;
    std::wstring text;
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    bool hidden = false;   // NOT WS_VISIBLE
    bool disabled = false; // WS_DISABLED
    int image = 0;         // icon or bitmap resource id of icon/bitmap statics
};

struct ui_dialog_template {
    std::wstring caption;
    int cx = 0, cy = 0; // dialog units
    std::vector<ui_control_template> controls;
};

// A generated image: width x height pixels, ARGB, row by row.
struct ui_image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
};

// A picture from the bytes of an image file (PNG, BMP) carried by the program;
// an empty image when they cannot be read.
ui_image ui_decode_image(const unsigned char* data, size_t size);

// Registers (or replaces) a resource. Safe to call from static initialisers.
void ui_register_dialog(int id, ui_dialog_template t);
void ui_register_icon(int id, ui_image image);
void ui_register_bitmap(int id, ui_image image);

// The registered resource, or null. An icon id of the system's icons that the
// program did not register answers the theme's icon (on the user-interface thread).
std::shared_ptr<const ui_dialog_template> ui_find_dialog(int id);
std::shared_ptr<const ui_image> ui_find_icon(int id);
std::shared_ptr<const ui_image> ui_find_bitmap(int id);

// The system's icons (LoadIcon with no instance): drawn from the desktop's
// theme, so that an error looks as the user's other programs show errors.
constexpr int IDI_APPLICATION = 32512;
constexpr int IDI_HAND = 32513;
constexpr int IDI_QUESTION = 32514;
constexpr int IDI_EXCLAMATION = 32515;
constexpr int IDI_ASTERISK = 32516;
constexpr int IDI_ERROR = IDI_HAND;
constexpr int IDI_WARNING = IDI_EXCLAMATION;
constexpr int IDI_INFORMATION = IDI_ASTERISK;

// A simple generated picture: a filled rectangle with a border and, when
// `glyph` is not 0, a diagonal stripe pattern phase (used for animation frames).
ui_image ui_make_image(int width, int height, uint32_t fill, uint32_t border, int glyph = 0);

// Registers a template from a static initialiser of the owning source file:
//   static const ui_dialog_resource dlg106(106, {L"", 317, 143, { ui_rc::ltext(...), ... }});
struct ui_dialog_resource {
    ui_dialog_resource(int id, ui_dialog_template t) { ui_register_dialog(id, std::move(t)); }
};

// Builders that read like the lines of a dialog script.
namespace ui_rc {
ui_control_template ltext(const std::wstring& text, int id, int x, int y, int cx, int cy, DWORD style = 0);
ui_control_template groupbox(const std::wstring& text, int id, int x, int y, int cx, int cy);
ui_control_template pushbutton(const std::wstring& text, int id, int x, int y, int cx, int cy, DWORD style = 0);
ui_control_template defpushbutton(const std::wstring& text, int id, int x, int y, int cx, int cy);
// A check box the owner flips itself (BS_CHECKBOX); auto_check makes it flip on click.
ui_control_template checkbox(const std::wstring& text, int id, int x, int y, int cx, int cy, bool auto_check = false);
// A radio button the owner checks itself (BS_RADIOBUTTON); auto_radio makes a group.
ui_control_template radiobutton(const std::wstring& text, int id, int x, int y, int cx, int cy,
                                bool auto_radio = false);
ui_control_template edittext(int id, int x, int y, int cx, int cy, DWORD style = ES_AUTOHSCROLL);
ui_control_template combobox(int id, int x, int y, int cx, int cy, DWORD style = CBS_DROPDOWN);
ui_control_template listbox(int id, int x, int y, int cx, int cy, DWORD style = LBS_NOTIFY);
ui_control_template listview(int id, int x, int y, int cx, int cy, DWORD style = LVS_REPORT | LVS_SINGLESEL);
ui_control_template progress(int id, int x, int y, int cx, int cy);
ui_control_template icon(int icon_id, int id, int x, int y, int cx = 21, int cy = 20);
ui_control_template bitmap(int bitmap_id, int id, int x, int y, int cx, int cy);
ui_control_template hyperlink(const std::wstring& text, int id, int x, int y, int cx, int cy);
// The same control, hidden or disabled in the template.
ui_control_template hidden(ui_control_template c);
ui_control_template disabled(ui_control_template c);
} // namespace ui_rc

// Loading resources as handles (the handles are owned by the caller).
HICON LoadIconW(HINSTANCE instance, int id);
// Loads an icon at the given size (0 keeps the image's own size).
HICON LoadImageIcon(HINSTANCE instance, int id, int cx, int cy);
HBITMAP LoadBitmapW(HINSTANCE instance, int id);
BOOL DestroyIcon(HICON icon);
BOOL DeleteObject(HGDIOBJ object);
// Size of the large icon (SM_CXICON / SM_CYICON).
int ui_large_icon_size();
// The image behind a handle (null for a null handle).
std::shared_ptr<const ui_image> ui_image_of(HICON icon);
std::shared_ptr<const ui_image> ui_image_of(HBITMAP bitmap);

// The program instance handle (the module's own).
HINSTANCE ui_instance();
