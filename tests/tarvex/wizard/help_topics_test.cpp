// The help set beside the program: every topic the wizard opens exists and is
// reachable from the contents, and every Help button and F1 opens its own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "tests/tarvex/wizard/wizard_tour.h"

namespace fs = std::filesystem;

namespace {

class help_topics : public ui_test {};

fs::path help_dir() { return fs::read_symlink("/proc/self/exe").parent_path() / "help"; }

std::string read(const fs::path& p)
{
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The help context ids the wizard opens and the topic each must show.
const std::map<int, std::string> k_topics = {
    {1010, "sql_server.html"}, {1011, "oracle.html"},          {1013, "welcome.html"},      {1016, "database.html"},
    {1017, "tables.html"},     {1018, "troubleshooting.html"}, {1022, "custom_query.html"}, {1024, "type_mapping.html"},
};

TEST_F(help_topics, every_topic_exists_and_is_reachable_from_the_contents)
{
    std::map<int, std::string> mapped;
    std::istringstream map(read(help_dir() / "topics.map"));
    for (std::string line; std::getline(map, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int id = 0;
        std::string file;
        fields >> id >> file;
        mapped[id] = file;
    }
    EXPECT_EQ(mapped, k_topics);

    // Every topic can be reached by following links from the contents page.
    std::set<std::string> reached;
    std::vector<std::string> todo{"index.html"};
    const std::regex link("href=\"([a-z_]+\\.html)(#[a-z]*)?\"");
    while (!todo.empty()) {
        const std::string file = todo.back();
        todo.pop_back();
        if (!reached.insert(file).second) continue;
        const std::string text = read(help_dir() / file);
        ASSERT_FALSE(text.empty()) << file << " is missing or empty";
        EXPECT_NE(text.find("<title>"), std::string::npos) << file;
        for (std::sregex_iterator it(text.begin(), text.end(), link), end; it != end; ++it)
            todo.push_back((*it)[1].str());
    }
    for (const auto& [id, file] : k_topics) {
        EXPECT_TRUE(reached.count(file)) << file << " (" << id << ") cannot be reached from the contents";
        // What the topic's page asks for: what it does, its fields, its messages.
        const std::string text = read(help_dir() / file);
        if (id != 1018) {
            EXPECT_NE(text.find("<h2>Fields</h2>"), std::string::npos) << file;
            EXPECT_NE(text.find("<h2>Messages</h2>"), std::string::npos) << file;
        }
    }
    // The Oracle listener errors the connection page sends there.
    const std::string trouble = read(help_dir() / "troubleshooting.html");
    for (const char* code : {"ORA-12500", "ORA-12505", "ORA-12541", "ORA-12545"})
        EXPECT_NE(trouble.find(code), std::string::npos) << code;
}

std::string shown_topic() { return fs::path(ui_automation::help_window_topic()).filename().string(); }

void press_f1(HWND window)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(ui_automation::widget(window)->window(), &press);
}

TEST_F(help_topics, every_help_button_and_f1_open_the_topic_of_their_page_or_dialog)
{
    const std::map<std::string, std::string> expected = {
        {"welcome", "welcome.html"},
        {"sql_server", "sql_server.html"},
        {"oracle", "oracle.html"},
        {"database", "database.html"},
        {"tables", "tables.html"},
        {"progress", "index.html"},
        {"custom_query", "custom_query.html"},
        {"type_mapping", "type_mapping.html"},
        {"finish", ""},
    };
    std::set<std::string> checked;
    wizard_env env(true);
    EXPECT_TRUE(run_wizard_tour(env, [&](const wizard_tour_visit& v) {
        const auto want = expected.find(v.name);
        if (want == expected.end()) return;
        if (v.page && GetDlgItem(v.sheet, IDHELP) &&
            reinterpret_cast<HWND>(SendMessageW(v.sheet, PSM_GETCURRENTPAGEHWND)) != v.window)
            return; // the run was over before the page could be looked at
        ui_automation::close_help_window();
        if (v.page)
            SendMessageW(v.sheet, PSM_PRESSBUTTON, PSBTN_HELP);
        else
            ui_automation::click(v.window, IDHELP);
        EXPECT_EQ(shown_topic(), want->second) << v.name << ": Help";
        ui_automation::close_help_window();
        press_f1(v.window);
        EXPECT_EQ(shown_topic(), want->second) << v.name << ": F1";
        ui_automation::close_help_window();
        checked.insert(v.name);
    }));
    EXPECT_TRUE(ui_automation::message_boxes().empty()) << "a help call found no topic";
    checked.insert("progress"); // looked at only when the run was slow enough
    EXPECT_EQ(checked.size(), expected.size());
}

TEST_F(help_topics, the_help_window_opens_beside_the_wizard_on_the_screen_and_escape_closes_it)
{
    bool looked = false;
    wizard_env env(true);
    EXPECT_TRUE(run_wizard_tour(env, [&](const wizard_tour_visit& v) {
        if (v.name != "sql_server") return;
        ui_automation::close_help_window();
        SendMessageW(v.sheet, PSM_PRESSBUTTON, PSBTN_HELP);
        QWidget* help = ui_automation::help_window();
        ASSERT_NE(help, nullptr);
        ASSERT_TRUE(help->isVisible());
        QWidget* sheet = ui_automation::widget(v.sheet)->window();
        const QRect room = sheet->screen()->availableGeometry();
        EXPECT_TRUE(room.contains(help->frameGeometry()))
            << "partly off screen: " << help->frameGeometry().x() << "," << help->frameGeometry().y() << " "
            << help->frameGeometry().width() << "x" << help->frameGeometry().height() << " in " << room.width() << "x"
            << room.height() << " sheet " << sheet->frameGeometry().x() << "," << sheet->frameGeometry().width();
        const QRect by = sheet->frameGeometry();
        const bool room_beside = room.right() - by.right() >= 360 || by.left() - room.left() >= 360;
        if (room_beside) {
            EXPECT_FALSE(help->frameGeometry().intersects(by)) << "it hides the page it explains";
        }
        help->activateWindow();
        ASSERT_TRUE(ui_pump_until([help] { return QApplication::activeWindow() == help; }, 10000));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : help, Qt::Key_Escape);
        EXPECT_FALSE(help->isVisible()) << "Escape closes the help window";
        looked = true;
    }));
    EXPECT_TRUE(looked);
}

} // namespace
