#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "tests/platform/ui/ui_test_support.h"

namespace {
class ui_box_test : public ui_test {};
} // namespace

TEST_F(ui_box_test, message_boxes_answer_their_default_button_unless_told)
{
    EXPECT_EQ(MessageBoxW(nullptr, L"Sure?", L"Question", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, L"Sure?", L"Question", MB_YESNO | MB_DEFBUTTON2), IDNO);
    ui_automation::queue_message_box_answer(IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, L"Sure?", nullptr, MB_YESNO | MB_DEFBUTTON2), IDYES);
    const auto boxes = ui_automation::message_boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].caption, L"Error") << "a box without caption is titled Error";
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, MB_ICONQUESTION);
}

TEST_F(ui_box_test, file_dialogs_fill_the_buffer_and_refuse_what_does_not_fit_or_exist)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tvx_ui_box_test_" + std::to_string(::getpid())); // one per process
    std::filesystem::create_directories(dir);
    const std::wstring existing = (dir / "present.tvx").wstring();
    std::ofstream(dir / "present.tvx") << "x";

    std::wstring buffer(260, L'\0');
    OPENFILENAMEW ofn;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = 260;
    ofn.lpstrFilter = L"Profile Files (.tvx)\0*.tvx\0All Files (*.*)\0*.*\0";
    ofn.lpstrTitle = L"Select Profile File";
    ofn.Flags = OFN_FILEMUSTEXIST;

    ui_automation::queue_file_dialog_answer((dir / "missing.tvx").wstring());
    ui_automation::queue_file_dialog_answer(existing);
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::wstring(buffer.c_str()), existing) << "the missing file was refused, the next one taken";
    const auto seen = ui_automation::file_dialogs();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].filter,
              (std::vector<std::wstring>{L"Profile Files (.tvx)", L"*.tvx", L"All Files (*.*)", L"*.*"}));
    EXPECT_EQ(seen[0].title, L"Select Profile File");

    EXPECT_FALSE(GetOpenFileNameW(&ofn)) << "nothing queued: Cancel";
    EXPECT_EQ(CommDlgExtendedError(), 0u);

    OPENFILENAMEW save;
    std::wstring small(8, L'\0');
    save.lpstrFile = small.data();
    save.nMaxFile = 8;
    ui_automation::queue_file_dialog_answer(L"/tmp/a-long-name.tvx");
    EXPECT_FALSE(GetSaveFileNameW(&save));
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);

    std::wstring out(260, L'\0');
    save.lpstrFile = out.data();
    save.nMaxFile = 260;
    save.lpstrDefExt = L"tvx";
    ui_automation::queue_file_dialog_answer(L"/tmp/profile");
    ASSERT_TRUE(GetSaveFileNameW(&save));
    EXPECT_EQ(std::wstring(out.c_str()), L"/tmp/profile.tvx");
    std::filesystem::remove_all(dir);
}
