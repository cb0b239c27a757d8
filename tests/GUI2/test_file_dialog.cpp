#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "GUI2/file_dialog.h"
#include "TK/tk_exception.h"
#include "TK/tk_module.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

const std::pair<std::wstring, std::wstring> k_profiles{
    std::wstring(L"Profile Files (.tvx)\0*.tvx\0All Files (*.*)\0*.*\0", 44), L"Select Profile File"};

class file_dialog_test : public ui_test {
protected:
    void SetUp() override
    {
        ui_test::SetUp();
        dir_ = std::filesystem::temp_directory_path() / ("tvx_file_dialog_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        start_ = std::filesystem::current_path();
    }
    void TearDown() override
    {
        EXPECT_EQ(std::filesystem::current_path(), start_) << "the working folder is restored";
        std::filesystem::remove_all(dir_);
        ui_test::TearDown();
    }
    std::filesystem::path dir_;
    std::filesystem::path start_;
};

} // namespace

TEST_F(file_dialog_test, open_starts_in_the_folder_of_the_initial_path_and_needs_an_existing_file)
{
    std::ofstream(dir_ / "old.tvx") << "x";
    open_file_dialog dlg(nullptr, k_profiles, (dir_ / "old.tvx").wstring());
    ui_automation::queue_file_dialog_answer((dir_ / "nothing.tvx").wstring());
    ui_automation::queue_file_dialog_answer((dir_ / "old.tvx").wstring());
    ASSERT_TRUE(dlg.show());
    EXPECT_EQ(dlg.get_path(), (dir_ / "old.tvx").wstring());
    const auto seen = ui_automation::file_dialogs();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].initial_file, L"old") << "the name without its extension";
    EXPECT_EQ(std::filesystem::path(seen[0].current_dir), dir_) << "the dialog runs in the initial folder";
    EXPECT_EQ(seen[0].flags & OFN_FILEMUSTEXIST, OFN_FILEMUSTEXIST);
    EXPECT_EQ(seen[0].filter.size(), 4u);
    EXPECT_EQ(seen[0].title, L"Select Profile File");
}

TEST_F(file_dialog_test, without_a_folder_a_dialog_starts_in_the_home_then_in_the_last_folder_chosen)
{
    const std::filesystem::path home = dir_ / "home";
    std::filesystem::create_directories(home);
    const char* saved = std::getenv("HOME");
    const std::string saved_home = saved ? saved : "";
    ::setenv("HOME", home.c_str(), 1);
    file_dialog::forget_last_folder();
    {
        open_file_dialog dlg(nullptr, k_profiles, L"");
        EXPECT_FALSE(dlg.show()) << "cancelled";
        EXPECT_EQ(dlg.get_path(), L"");
    }
    // A file chosen elsewhere makes its folder the next start.
    std::filesystem::create_directories(dir_ / "work");
    std::ofstream(dir_ / "work" / "p.tvx") << "x";
    {
        open_file_dialog dlg(nullptr, k_profiles, L"");
        ui_automation::queue_file_dialog_answer((dir_ / "work" / "p.tvx").wstring());
        EXPECT_TRUE(dlg.show());
    }
    {
        save_file_dialog dlg(nullptr, k_profiles, L"", L"tvx");
        EXPECT_FALSE(dlg.show());
    }
    if (saved) ::setenv("HOME", saved_home.c_str(), 1);
    const auto seen = ui_automation::file_dialogs();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].initial_file, L"");
    EXPECT_EQ(std::filesystem::canonical(seen[0].current_dir), std::filesystem::canonical(home))
        << "not the program's folder, where a user seldom may write";
    EXPECT_EQ(std::filesystem::canonical(seen[1].current_dir), std::filesystem::canonical(home));
    EXPECT_EQ(std::filesystem::canonical(seen[2].current_dir), std::filesystem::canonical(dir_ / "work"));
    EXPECT_NE(std::filesystem::canonical(seen[0].current_dir), std::filesystem::canonical(get_module_dir()));
    file_dialog::forget_last_folder();
}

TEST_F(file_dialog_test, an_open_dialog_for_a_file_to_write_takes_a_name_that_does_not_exist_yet)
{
    open_file_dialog dlg(nullptr, k_profiles, (dir_ / "old.log").wstring(), false);
    ui_automation::queue_file_dialog_answer((dir_ / "new.log").wstring());
    ASSERT_TRUE(dlg.show());
    EXPECT_EQ(dlg.get_path(), (dir_ / "new.log").wstring());
    EXPECT_EQ(ui_automation::file_dialogs().at(0).flags & OFN_FILEMUSTEXIST, 0u);
    file_dialog::forget_last_folder();
}

TEST_F(file_dialog_test, save_appends_the_extension_unless_the_name_holds_it_in_the_same_case)
{
    save_file_dialog dlg(nullptr, k_profiles, L"", L"tvx");
    ui_automation::queue_file_dialog_answer((dir_ / "plain").wstring());
    ASSERT_TRUE(dlg.show());
    EXPECT_EQ(dlg.get_path(), (dir_ / "plain.tvx").wstring());

    save_file_dialog dotted(nullptr, k_profiles, L"", L".tvx");
    ui_automation::queue_file_dialog_answer((dir_ / "kept.tvx").wstring());
    ASSERT_TRUE(dotted.show());
    EXPECT_EQ(dotted.get_path(), (dir_ / "kept.tvx").wstring());

    ui_automation::queue_file_dialog_answer((dir_ / "upper.TVX").wstring());
    ASSERT_TRUE(dotted.show());
    EXPECT_EQ(dotted.get_path(), (dir_ / "upper.TVX.tvx").wstring()) << "the test is case-sensitive";

    EXPECT_FALSE(dotted.show()) << "Cancel";
    EXPECT_THROW(save_file_dialog(nullptr, k_profiles, L"", L""), tk_mail_assertion);
}

TEST_F(file_dialog_test, a_name_that_fills_the_buffer_still_gets_its_extension)
{
    save_file_dialog dlg(nullptr, k_profiles, L"", L"tvx");
    std::wstring name = (dir_ / "").wstring();
    name.append(file_dialog::k_max_path - 1 - name.size(), L'n');
    ui_automation::queue_file_dialog_answer(name);
    ASSERT_TRUE(dlg.show());
    EXPECT_EQ(dlg.get_path(), name + L".tvx");
}
