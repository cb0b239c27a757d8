// Every page and dialog of the wizard laid out at the desktop's font and at a
// font a quarter larger: no two controls of one window overlap, none leaves its
// window, and every text fits its control as the font measures it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTextDocument>
#include <QTreeWidget>

#include <set>
#include <sstream>

#include "tests/tarvex/wizard/wizard_tour.h"

namespace {

class layout : public ui_test {};

std::string str(const QRect& r)
{
    std::ostringstream out;
    out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    return out.str();
}

std::string name_of(QWidget* w)
{
    std::string text;
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        text = b->text().toStdString();
    else if (auto* l = qobject_cast<QLabel*>(w))
        text = l->text().left(40).toStdString();
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        text = g->title().toStdString();
    return std::string(w->metaObject()->className()) + " '" + text + "' at " + str(w->geometry());
}

QString without_mnemonics(QString t)
{
    QString out;
    for (int i = 0; i < t.size(); ++i) {
        if (t[i] == QLatin1Char('&') && i + 1 < t.size()) ++i;
        out += t[i];
    }
    return out;
}

// Why a control's text does not fit it, or empty.
std::string misfit(QWidget* w)
{
    const QFontMetrics fm(w->font());
    QStyle* style = w->style();
    const auto too_small = [&](int need_w, int need_h) {
        if (need_w <= w->width() && need_h <= w->height()) return std::string();
        return name_of(w) + " needs " + std::to_string(need_w) + "x" + std::to_string(need_h);
    };
    if (auto* l = qobject_cast<QLabel*>(w)) {
        if (!l->pixmap().isNull() || l->text().isEmpty()) return {};
        QString text = l->text();
        if (Qt::mightBeRichText(text)) {
            QTextDocument doc;
            doc.setHtml(text);
            text = doc.toPlainText();
        }
        const QRect r = l->contentsRect();
        const int flags = Qt::AlignLeft | Qt::AlignTop | (l->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect need = fm.boundingRect(QRect(0, 0, r.width(), 100000), flags, text);
        if (need.width() <= r.width() && need.height() <= r.height()) return {};
        return name_of(w) + " needs " + str(need);
    }
    if (auto* b = qobject_cast<QCheckBox*>(w))
        return too_small(style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                             style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w) +
                             fm.horizontalAdvance(without_mnemonics(b->text())),
                         std::max(fm.height(), style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, w)));
    if (auto* b = qobject_cast<QRadioButton*>(w))
        return too_small(style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
                             style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w) +
                             fm.horizontalAdvance(without_mnemonics(b->text())),
                         std::max(fm.height(), style->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr, w)));
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
        return too_small(fm.horizontalAdvance(without_mnemonics(b->text())) +
                             style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w) + 2 * frame,
                         fm.height() + 2 * frame);
    }
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return too_small(fm.horizontalAdvance(without_mnemonics(g->title())) + 2 * fm.averageCharWidth(),
                         2 * fm.height());
    if (auto* e = qobject_cast<QLineEdit*>(w)) return too_small(0, e->minimumSizeHint().height());
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return too_small(0, fm.height() + 2 * e->frameWidth());
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        // The closed box is one line, whatever its list's height in the template.
        if (w->height() > 2 * fm.height())
            return name_of(w) + " is taller than one line (" + std::to_string(fm.height()) + ")";
        return too_small(0, c->minimumSizeHint().height());
    }
    if (auto* v = qobject_cast<QTreeWidget*>(w)) {
        const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, w);
        for (int c = 0; c < v->columnCount(); ++c) {
            const QString head = v->headerItem()->text(c);
            if (fm.horizontalAdvance(head) + 2 * margin > v->header()->sectionSize(c))
                return name_of(w) + " header '" + head.toStdString() + "' cut";
            for (int r = 0; r < v->topLevelItemCount(); ++r) {
                const QString cell = v->topLevelItem(r)->text(c);
                // The view elides a text wider than its cell less the focus frame's margins.
                const int frame = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, w) + 1;
                if (c > 0 && fm.horizontalAdvance(cell) + 2 * frame > v->columnWidth(c))
                    return name_of(w) + " cell '" + cell.toStdString() + "' cut";
            }
        }
    }
    return {};
}

// A control inside a group box lies in the box's frame, below its title.
bool inside_group(QWidget* group, QWidget* w)
{
    auto* g = qobject_cast<QGroupBox*>(group);
    if (!g) return false;
    const QFontMetrics fm(g->font());
    const QRect inner = g->geometry().adjusted(1, fm.height() - 2, -1, -1);
    return inner.contains(w->geometry());
}

// The template's controls of a window, as shown now.
std::vector<QWidget*> shown_controls(HWND window)
{
    std::vector<QWidget*> out;
    for (HWND c : ui_automation::controls(window))
        if (QWidget* w = ui_automation::widget(c); w && !w->isHidden()) out.push_back(w);
    return out;
}

void check_window(const std::string& where, QWidget* surface, const std::vector<QWidget*>& controls)
{
    const QRect room = surface->rect();
    for (size_t i = 0; i < controls.size(); ++i) {
        QWidget* a = controls[i];
        EXPECT_TRUE(room.contains(a->geometry())) << where << ": " << name_of(a) << " leaves its window " << str(room);
        const std::string bad = misfit(a);
        EXPECT_TRUE(bad.empty()) << where << ": " << bad;
        for (size_t j = i + 1; j < controls.size(); ++j) {
            QWidget* b = controls[j];
            if (!a->geometry().intersects(b->geometry()) || inside_group(a, b) || inside_group(b, a)) continue;
            ADD_FAILURE() << where << ": " << name_of(a) << " overlaps " << name_of(b);
        }
    }
}

// A page in its sheet: the page's controls clear of the header and the
// watermark, the page within the sheet, and the sheet's own buttons.
void check_page(const std::string& where, HWND page, HWND sheet)
{
    QWidget* pw = ui_automation::widget(page);
    ASSERT_NE(pw, nullptr) << where;
    check_window(where, pw, shown_controls(page));
    QWidget* area = pw->parentWidget();
    ASSERT_NE(area, nullptr);
    EXPECT_TRUE(area->rect().contains(pw->geometry()))
        << where << ": page " << str(pw->geometry()) << " in " << str(area->rect());
    for (QObject* o : area->children()) {
        auto* other = qobject_cast<QWidget*>(o);
        if (!other || other == pw || other->isHidden() || ui_automation::controls(page).empty()) continue;
        // Another page of the sheet is hidden; what shows is the header or the watermark.
        for (QWidget* c : shown_controls(page)) {
            const QRect in_area(pw->mapTo(area, QPoint(0, 0)) + c->pos(), c->size());
            EXPECT_FALSE(in_area.intersects(other->geometry()))
                << where << ": " << name_of(c) << " under " << other->metaObject()->className() << " at "
                << str(other->geometry());
        }
    }
    check_window(where + " (sheet)", ui_automation::widget(sheet), shown_controls(sheet));
}

void tour_at(double scale)
{
    const QFont saved = QApplication::font();
    QFont font = saved;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * scale);
    else
        font.setPixelSize(static_cast<int>(font.pixelSize() * scale + 0.5));
    QApplication::setFont(font);
    const std::string size = " at " + std::to_string(QFontInfo(font).pixelSize()) + " px";
    std::set<QSize, bool (*)(const QSize&, const QSize&)> sheet_sizes([](const QSize& a, const QSize& b) {
        return a.width() != b.width() ? a.width() < b.width() : a.height() < b.height();
    });
    std::set<std::string> seen;
    {
        wizard_env env(true);
        EXPECT_TRUE(run_wizard_tour(env, [&](const wizard_tour_visit& v) {
            seen.insert(v.name);
            if (v.name == "tables") {
                // The two lists alike, with even margins at the page's sides.
                QWidget* avail = ui_automation::widget(GetDlgItem(v.window, 1317));
                QWidget* chosen = ui_automation::widget(GetDlgItem(v.window, 1318));
                const int page_width = ui_automation::widget(v.window)->width();
                EXPECT_NEAR(avail->x(), page_width - chosen->geometry().right() - 1, 2) << size;
                EXPECT_NEAR(avail->width(), chosen->width(), 2) << size;
            }
            if (v.page) {
                check_page(v.name + size, v.window, v.sheet);
                sheet_sizes.insert(ui_automation::widget(v.sheet)->size());
            } else {
                check_window(v.name + size, ui_automation::widget(v.window), shown_controls(v.window));
            }
        }));
    }
    QApplication::setFont(saved);
    EXPECT_EQ(sheet_sizes.size(), 1u) << "the sheet changes size from page to page" << size;
    EXPECT_EQ(seen, (std::set<std::string>{"internal_error", "continue_or_abort", "welcome", "sql_server",
                                           "wait_animation", "oracle", "database", "tables", "custom_query",
                                           "type_mapping", "type_mapping_decimal", "progress", "finish"}));
}

TEST_F(layout, every_page_and_dialog_fits_at_the_desktop_font) { tour_at(1.0); }

TEST_F(layout, every_page_and_dialog_fits_at_a_font_a_quarter_larger) { tour_at(1.25); }

TEST_F(layout, every_page_and_dialog_fits_at_a_font_half_as_large_again) { tour_at(1.5); }

} // namespace
