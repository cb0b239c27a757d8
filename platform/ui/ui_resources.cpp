#include "platform/ui/ui_resources.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QStyle>

#include <map>
#include <mutex>

#include "platform/ui/ui_module.h"
#include "platform/ui/ui_window_object.h"

// Handles of images and fonts; the registry below owns them until deleted.
struct ui_gdi_object {
    virtual ~ui_gdi_object() = default;
};
struct ui_icon_object : ui_gdi_object {
    std::shared_ptr<const ui_image> image;
};
struct ui_bitmap_object : ui_gdi_object {
    std::shared_ptr<const ui_image> image;
};
struct ui_font_object : ui_gdi_object {
    QFont font;
};

namespace {

std::mutex g_mutex;

std::map<int, std::shared_ptr<const ui_dialog_template>>& dialogs()
{
    static std::map<int, std::shared_ptr<const ui_dialog_template>> m;
    return m;
}
std::map<int, std::shared_ptr<const ui_image>>& icons()
{
    static std::map<int, std::shared_ptr<const ui_image>> m;
    return m;
}
std::map<int, std::shared_ptr<const ui_image>>& bitmaps()
{
    static std::map<int, std::shared_ptr<const ui_image>> m;
    return m;
}
// Live handles, by address.
std::map<const void*, std::unique_ptr<ui_gdi_object>>& handles()
{
    static std::map<const void*, std::unique_ptr<ui_gdi_object>> m;
    return m;
}

template <class T>
T* keep(std::unique_ptr<T> obj)
{
    T* p = obj.get();
    std::lock_guard<std::mutex> lock(g_mutex);
    handles().emplace(static_cast<const void*>(p), std::move(obj));
    return p;
}

template <class T>
T* live(const void* p)
{
    if (!p) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = handles().find(p);
    return it == handles().end() ? nullptr : dynamic_cast<T*>(it->second.get());
}

bool forget(const void* p)
{
    std::unique_ptr<ui_gdi_object> gone;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = handles().find(p);
    if (it == handles().end()) return false;
    gone = std::move(it->second);
    handles().erase(it);
    return true;
}

template <class M>
typename M::mapped_type find_in(M& m, int id)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = m.find(id);
    return it == m.end() ? nullptr : it->second;
}

} // namespace

void ui_register_dialog(int id, ui_dialog_template t)
{
    auto p = std::make_shared<const ui_dialog_template>(std::move(t));
    std::lock_guard<std::mutex> lock(g_mutex);
    dialogs()[id] = std::move(p);
}

void ui_register_icon(int id, ui_image image)
{
    auto p = std::make_shared<const ui_image>(std::move(image));
    std::lock_guard<std::mutex> lock(g_mutex);
    icons()[id] = std::move(p);
}

void ui_register_bitmap(int id, ui_image image)
{
    auto p = std::make_shared<const ui_image>(std::move(image));
    std::lock_guard<std::mutex> lock(g_mutex);
    bitmaps()[id] = std::move(p);
}

std::shared_ptr<const ui_dialog_template> ui_find_dialog(int id) { return find_in(dialogs(), id); }
namespace {

ui_image image_of(const QImage& source)
{
    const QImage decoded = source.convertToFormat(QImage::Format_ARGB32);
    ui_image img;
    img.width = decoded.width();
    img.height = decoded.height();
    img.argb.resize(static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            img.argb[static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)] =
                decoded.pixel(x, y);
    return img;
}

std::shared_ptr<const ui_image> system_icon(int id)
{
    QStyle::StandardPixmap which;
    switch (id) {
    case IDI_HAND:
        which = QStyle::SP_MessageBoxCritical;
        break;
    case IDI_QUESTION:
        which = QStyle::SP_MessageBoxQuestion;
        break;
    case IDI_EXCLAMATION:
        which = QStyle::SP_MessageBoxWarning;
        break;
    case IDI_ASTERISK:
        which = QStyle::SP_MessageBoxInformation;
        break;
    case IDI_APPLICATION:
        which = QStyle::SP_DesktopIcon;
        break;
    default:
        return nullptr;
    }
    if (!ui_is_ui_thread() || !qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
    QStyle* style = QApplication::style();
    if (!style) return nullptr;
    const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize);
    const QPixmap pm = style->standardIcon(which).pixmap(size > 0 ? size : 32);
    if (pm.isNull()) return nullptr;
    return std::make_shared<const ui_image>(image_of(pm.toImage()));
}

} // namespace

std::shared_ptr<const ui_image> ui_find_icon(int id)
{
    if (auto registered = find_in(icons(), id)) return registered;
    return system_icon(id);
}
std::shared_ptr<const ui_image> ui_find_bitmap(int id) { return find_in(bitmaps(), id); }

ui_image ui_make_image(int width, int height, uint32_t fill, uint32_t border, int glyph)
{
    ui_image img;
    img.width = std::max(0, width);
    img.height = std::max(0, height);
    img.argb.assign(static_cast<size_t>(img.width) * static_cast<size_t>(img.height), fill);
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            uint32_t& px = img.argb[static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)];
            if (x == 0 || y == 0 || x == img.width - 1 || y == img.height - 1)
                px = border;
            else if (glyph && ((x + y + glyph * 2) % 8) < 2)
                px = border;
        }
    }
    return img;
}

ui_image ui_decode_image(const unsigned char* data, size_t size)
{
    const QImage decoded = QImage::fromData(data, static_cast<int>(size));
    return decoded.isNull() ? ui_image{} : image_of(decoded);
}

namespace ui_rc {

namespace {
ui_control_template make(ui_control_kind kind, const std::wstring& text, int id, int x, int y, int cx, int cy,
                         DWORD style)
{
    ui_control_template c;
    c.kind = kind;
    c.text = text;
    c.id = id;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    c.style = style;
    return c;
}
} // namespace

ui_control_template ltext(const std::wstring& text, int id, int x, int y, int cx, int cy, DWORD style)
{
    return make(ui_control_kind::static_text, text, id, x, y, cx, cy, style);
}
ui_control_template groupbox(const std::wstring& text, int id, int x, int y, int cx, int cy)
{
    return make(ui_control_kind::group_box, text, id, x, y, cx, cy, BS_GROUPBOX);
}
ui_control_template pushbutton(const std::wstring& text, int id, int x, int y, int cx, int cy, DWORD style)
{
    return make(ui_control_kind::push_button, text, id, x, y, cx, cy, style);
}
ui_control_template defpushbutton(const std::wstring& text, int id, int x, int y, int cx, int cy)
{
    return make(ui_control_kind::push_button, text, id, x, y, cx, cy, BS_DEFPUSHBUTTON);
}
ui_control_template checkbox(const std::wstring& text, int id, int x, int y, int cx, int cy, bool auto_check)
{
    return make(ui_control_kind::check_box, text, id, x, y, cx, cy, auto_check ? BS_AUTOCHECKBOX : BS_CHECKBOX);
}
ui_control_template radiobutton(const std::wstring& text, int id, int x, int y, int cx, int cy, bool auto_radio)
{
    return make(ui_control_kind::radio_button, text, id, x, y, cx, cy,
                auto_radio ? BS_AUTORADIOBUTTON : BS_RADIOBUTTON);
}
ui_control_template edittext(int id, int x, int y, int cx, int cy, DWORD style)
{
    return make(ui_control_kind::edit, L"", id, x, y, cx, cy, style);
}
ui_control_template combobox(int id, int x, int y, int cx, int cy, DWORD style)
{
    return make(ui_control_kind::combo_box, L"", id, x, y, cx, cy, style);
}
ui_control_template listbox(int id, int x, int y, int cx, int cy, DWORD style)
{
    return make(ui_control_kind::list_box, L"", id, x, y, cx, cy, style);
}
ui_control_template listview(int id, int x, int y, int cx, int cy, DWORD style)
{
    return make(ui_control_kind::list_view, L"", id, x, y, cx, cy, style);
}
ui_control_template progress(int id, int x, int y, int cx, int cy)
{
    return make(ui_control_kind::progress_bar, L"", id, x, y, cx, cy, 0);
}
ui_control_template icon(int icon_id, int id, int x, int y, int cx, int cy)
{
    auto c = make(ui_control_kind::icon, L"", id, x, y, cx, cy, SS_ICON);
    c.image = icon_id;
    return c;
}
ui_control_template bitmap(int bitmap_id, int id, int x, int y, int cx, int cy)
{
    auto c = make(ui_control_kind::bitmap, L"", id, x, y, cx, cy, SS_BITMAP);
    c.image = bitmap_id;
    return c;
}
ui_control_template hyperlink(const std::wstring& text, int id, int x, int y, int cx, int cy)
{
    return make(ui_control_kind::hyperlink, text, id, x, y, cx, cy, SS_NOTIFY);
}
ui_control_template hidden(ui_control_template c)
{
    c.hidden = true;
    return c;
}
ui_control_template disabled(ui_control_template c)
{
    c.disabled = true;
    return c;
}

} // namespace ui_rc

HICON LoadIconW(HINSTANCE instance, int id) { return LoadImageIcon(instance, id, 0, 0); }

HICON LoadImageIcon(HINSTANCE /*instance*/, int id, int cx, int cy)
{
    auto img = ui_find_icon(id);
    if (!img) return nullptr;
    auto obj = std::make_unique<ui_icon_object>();
    if (cx > 0 && cy > 0 && (cx != img->width || cy != img->height)) {
        // Scaled to the size asked for, as the system does.
        const QImage scaled = ui_detail::qimage_of(*img)
                                  .scaled(cx, cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                  .convertToFormat(QImage::Format_ARGB32);
        ui_image out;
        out.width = scaled.width();
        out.height = scaled.height();
        out.argb.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x)
                out.argb[static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)] =
                    scaled.pixel(x, y);
        obj->image = std::make_shared<const ui_image>(std::move(out));
    } else {
        obj->image = img;
    }
    return keep(std::move(obj));
}

HBITMAP LoadBitmapW(HINSTANCE /*instance*/, int id)
{
    auto img = ui_find_bitmap(id);
    if (!img) return nullptr;
    auto obj = std::make_unique<ui_bitmap_object>();
    obj->image = img;
    return keep(std::move(obj));
}

BOOL DestroyIcon(HICON icon) { return live<ui_icon_object>(icon) && forget(icon) ? TRUE : FALSE; }

BOOL DeleteObject(HGDIOBJ object)
{
    if (!live<ui_bitmap_object>(object) && !live<ui_font_object>(object)) return FALSE;
    return forget(object) ? TRUE : FALSE;
}

int ui_large_icon_size() { return 32; }

std::shared_ptr<const ui_image> ui_image_of(HICON icon)
{
    auto* o = live<ui_icon_object>(icon);
    return o ? o->image : nullptr;
}

std::shared_ptr<const ui_image> ui_image_of(HBITMAP bitmap)
{
    auto* o = live<ui_bitmap_object>(bitmap);
    return o ? o->image : nullptr;
}

HINSTANCE ui_instance()
{
    static int module_marker = 0;
    return &module_marker;
}

HFONT CreateFontW(int height, int /*width*/, int /*escapement*/, int /*orientation*/, int weight, DWORD italic,
                  DWORD underline, DWORD strike_out, DWORD /*char_set*/, DWORD /*out_precision*/,
                  DWORD /*clip_precision*/, DWORD /*quality*/, DWORD pitch_and_family, LPCWSTR face)
{
    auto obj = std::make_unique<ui_font_object>();
    if (face && *face) obj->font.setFamily(QString::fromWCharArray(face));
    if ((pitch_and_family & 0xF0) == FF_SWISS) obj->font.setStyleHint(QFont::SansSerif);
    if (height != 0) obj->font.setPixelSize(height < 0 ? -height : height);
    // Windows weights run 100..900; Qt's enumerators use the same scale.
    if (weight > 0) obj->font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    obj->font.setItalic(italic != 0);
    obj->font.setUnderline(underline != 0);
    obj->font.setStrikeOut(strike_out != 0);
    return keep(std::move(obj));
}

namespace ui_detail {

QFont font_of(HFONT font)
{
    auto* o = live<ui_font_object>(font);
    return o ? o->font : QFont();
}

QImage qimage_of(const ui_image& image)
{
    QImage img(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            img.setPixel(
                x, y, image.argb[static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)]);
    return img;
}

QPixmap pixmap_of(const ui_image& image, int cx, int cy)
{
    QPixmap p = QPixmap::fromImage(qimage_of(image));
    if (cx > 0 && cy > 0 && (cx != image.width || cy != image.height))
        p = p.scaled(cx, cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return p;
}

} // namespace ui_detail

// Drawing contexts: a window's font and the screen's resolution.
struct ui_dc_object : ui_gdi_object {
    HWND window = nullptr;
    HFONT font = nullptr;
};

HDC GetDC(HWND hwnd)
{
    auto obj = std::make_unique<ui_dc_object>();
    obj->window = hwnd;
    return keep(std::move(obj));
}

int ReleaseDC(HWND /*hwnd*/, HDC dc) { return live<ui_dc_object>(dc) && forget(dc) ? 1 : 0; }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    auto* d = live<ui_dc_object>(dc);
    auto* f = live<ui_font_object>(object);
    if (!d || !f) return nullptr;
    HFONT old = d->font;
    d->font = static_cast<HFONT>(f);
    return old;
}

int GetDeviceCaps(HDC /*dc*/, int index)
{
    if (index != LOGPIXELSX && index != LOGPIXELSY) return 0;
    int dpi = 96;
    ui_detail::invoke([&] {
        if (QScreen* s = QGuiApplication::primaryScreen())
            dpi = static_cast<int>(index == LOGPIXELSY ? s->logicalDotsPerInchY() : s->logicalDotsPerInchX());
    });
    return dpi;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size)
{
    auto* d = live<ui_dc_object>(dc);
    if (!d || !size || (!text && count > 0)) return FALSE;
    const QString t = QString::fromWCharArray(text, std::max(0, count));
    ui_detail::invoke([&] {
        QFont font;
        if (d->font)
            font = ui_detail::font_of(d->font);
        else if (ui_window_object* o = ui_detail::lookup(d->window); o && o->widget)
            font = o->widget->font();
        const QFontMetrics fm(font);
        size->cx = fm.horizontalAdvance(t);
        size->cy = fm.height();
    });
    return TRUE;
}
