#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "TK/tk_exception.h"
#include "UDB/udb_profile.h"

namespace fs = std::filesystem;

namespace {

class profile_file : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("udb_profile_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }
    std::wstring path(const char* name) const { return (dir / name).wstring(); }
    std::string read(const std::wstring& p) const
    {
        std::ifstream in(fs::path(p), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    void write(const std::wstring& p, const std::string& bytes) const
    {
        std::ofstream out(fs::path(p), std::ios::binary);
        out << bytes;
    }
    fs::path dir;
};

TEST(udb_profile, new_profile_has_the_four_sections)
{
    udb_profile p;
    ASSERT_EQ(p.sections.size(), 4u);
    EXPECT_TRUE(p.get_available_queries().empty());
    EXPECT_TRUE(p.get_selected_tables().empty());
    EXPECT_TRUE(p.get_selected_views().empty());
    EXPECT_TRUE(p.sections.count(L"Generic settings"));
    EXPECT_TRUE(p.line_sections.empty());
}

TEST(udb_profile, missing_list_section_throws)
{
    udb_profile p;
    p.sections.erase(L"Selected Views");
    EXPECT_THROW(p.get_selected_views(), tk_exception);
}

TEST(udb_profile, values_append_and_the_first_wins)
{
    udb_profile p;
    EXPECT_EQ(p.get_value(L"Oracle settings", L"host"), L"");
    p.set_value(L"Oracle settings", L"host", L"one");
    p.set_value(L"Oracle settings", L"host", L"two");
    EXPECT_EQ(p.get_value(L"Oracle settings", L"host"), L"one");
    EXPECT_EQ(p.sections[L"Oracle settings"].size(), 2u);
    EXPECT_EQ(p.get_value(L"Oracle settings", L"port"), L"");
    p.add_section(L"Oracle settings");
    EXPECT_EQ(p.sections[L"Oracle settings"].size(), 2u);
    EXPECT_TRUE(p.get_lines(L"Type Mappings").empty());
    EXPECT_TRUE(p.line_sections.count(L"Type Mappings"));
}

TEST_F(profile_file, store_writes_the_exact_layout)
{
    udb_profile p;
    p.set_value(L"Selected Tables", L"dbo.T1", L"");
    p.set_value(L"Selected Tables", L"Q1", L"SELECT 1");
    p.set_value(L"Generic settings", L"mode", L"");
    p.set_value(L"Generic settings", L"src", L"db\u00E9");
    p.add_line(L"Type Mappings", L"  table: T1");
    p.add_line(L"Type Mappings", L"    column: A");
    p.add_line(L"A lines", L"x");
    const std::wstring f = path("p.tvx");
    ASSERT_TRUE(p.store(f));
    EXPECT_EQ(read(f),
              "[Available Queries]\n\n"
              "[Generic settings]\nmode=\nsrc=db\xC3\xA9\n\n"
              "[Selected Tables]\ndbo.T1\nQ1=SELECT 1\n\n"
              "[Selected Views]\n\n"
              "[A lines]\nx\n"
              "[Type Mappings]\n  table: T1\n    column: A\n");
}

TEST_F(profile_file, store_keeps_every_value_on_one_line)
{
    udb_profile p;
    p.set_value(L"Available Queries", L"Q", L"SELECT a\r\nFROM t\nWHERE 1=1");
    const std::wstring f = path("p.tvx");
    ASSERT_TRUE(p.store(f));
    udb_profile q;
    q.load(f);
    ASSERT_EQ(q.get_available_queries().size(), 1u);
    EXPECT_EQ(q.get_value(L"Available Queries", L"Q"), L"SELECT a  FROM t WHERE 1=1");
}

TEST_F(profile_file, store_is_private_and_replaces_the_old_file)
{
    const std::wstring f = path("p.tvx");
    write(f, "old");
    ::chmod(fs::path(f).c_str(), 0644);
    udb_profile p;
    p.set_value(L"Oracle settings", L"password", L"secret");
    ASSERT_TRUE(p.store(f));
    struct stat st {};
    ASSERT_EQ(::stat(fs::path(f).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(read(f).find("password=secret"), std::string::npos);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(profile_file, failed_store_answers_false_and_keeps_the_old_file)
{
    const std::wstring f = path("p.tvx");
    write(f, "[Generic settings]\nsrc=old\n");
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    udb_profile p;
    p.set_value(L"Generic settings", L"src", L"new");
    EXPECT_FALSE(p.store(f));
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(read(f), "[Generic settings]\nsrc=old\n");
}

TEST_F(profile_file, store_into_a_missing_folder_is_false)
{
    udb_profile p;
    EXPECT_FALSE(p.store(path("no/such/dir/p.tvx")));
}

TEST_F(profile_file, short_write_answers_false_and_keeps_the_old_file)
{
    const std::wstring f = path("p.tvx");
    write(f, "[Generic settings]\nsrc=old\n");
    udb_profile p;
    p.set_value(L"Generic settings", L"src", std::wstring(4096, L'n'));
    // A file size limit makes write fail as a full disk would.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool stored = p.store(f);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_FALSE(stored);
    EXPECT_EQ(read(f), "[Generic settings]\nsrc=old\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(profile_file, failed_rename_answers_false_and_leaves_no_temporary)
{
    fs::create_directory(dir / "taken");
    udb_profile p;
    EXPECT_FALSE(p.store(path("taken")));
    EXPECT_TRUE(fs::is_directory(dir / "taken"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(profile_file, round_trip_of_every_section_kind)
{
    udb_profile p;
    p.set_value(L"Selected Tables", L"dbo.T1", L"");
    p.set_value(L"Selected Tables", L"Q1", L"SELECT * FROM T WHERE A = 'x=y'");
    p.set_value(L"Available Queries", L"Q2", L"SELECT 2");
    p.set_value(L"Selected Views", L"V1", L"SELECT 3");
    p.set_value(L"Generic settings", L"mode", L"1");
    p.set_value(L"Generic settings", L"logfile", L"");
    p.set_value(L"Oracle settings", L"host", L"h\u4E2D\U0001F600");
    p.set_value(L"MS SQL Server settings", L"windows authentication", L"0");
    p.add_line(L"Type Mappings", L"  table: T1");
    p.add_line(L"Type Mappings", L"    column: A");
    p.add_line(L"Type Mappings", L"        default_value: a=b");
    const std::wstring f = path("p.tvx");
    ASSERT_TRUE(p.store(f));

    udb_profile q;
    q.load(f);
    for (const auto& [name, pairs] : p.sections)
        EXPECT_EQ(q.sections[name], pairs) << std::string(name.begin(), name.end());
    EXPECT_EQ(q.get_lines(L"Type Mappings"), p.line_sections[L"Type Mappings"]);
}

TEST_F(profile_file, load_appends_on_every_call)
{
    const std::wstring f = path("p.tvx");
    write(f, "[Generic settings]\nsrc=a\n[Type Mappings]\n  t\n");
    udb_profile p;
    p.load(f);
    p.load(f);
    EXPECT_EQ(p.sections[L"Generic settings"].size(), 2u);
    EXPECT_EQ(p.get_lines(L"Type Mappings"), (udb_profile::line_list{L"  t", L"  t"}));
}

TEST_F(profile_file, load_classifies_lines)
{
    const std::wstring f = path("p.tvx");
    write(f,
          "[ my sec ]\n"
          " a = b \n"
          "a=b=c\n"
          "   \n"
          "[x\n"
          "  bare key  \n"
          "[]\n"
          "k=\n");
    udb_profile p;
    p.load(f);
    const udb_profile::pair_list expect{{L"a", L"b"}, {L"a", L"b=c"}, {L"[x", L""}, {L"bare key", L""}};
    EXPECT_EQ(p.sections[L" my sec "], expect);
    EXPECT_EQ(p.line_sections[L" my sec "], (udb_profile::line_list{L" a = b ", L"a=b=c", L"[x", L"  bare key  "}));
    EXPECT_EQ(p.sections[L""], (udb_profile::pair_list{{L"k", L""}}));
}

TEST_F(profile_file, text_before_the_first_header_stops_reading)
{
    const std::wstring f = path("p.tvx");
    write(f, "\n  \nkey=value\n[Generic settings]\nsrc=a\n");
    udb_profile p;
    p.load(f);
    EXPECT_EQ(p.get_value(L"Generic settings", L"src"), L"") << "nothing after the stray line is read";
    EXPECT_THROW(p.get_selected_tables(), tk_exception_ex) << "such a file is no profile";
}

TEST_F(profile_file, a_file_without_its_list_sections_is_told_apart_from_a_profile)
{
    struct file_case {
        const char* what;
        std::string text;
        const char* missing; // the first list section it lacks, or null
    };
    const std::vector<file_case> cases = {
        {"empty file", "", "Selected Tables"},
        {"unrelated text", "hello world\nsecond line\n", "Selected Tables"},
        {"only the settings", "[Generic settings]\nsrc=a\n", "Selected Tables"},
        {"no views", "[Selected Tables]\ndbo.T\n[Available Queries]\n", "Selected Views"},
        {"every list, empty", "[Selected Tables]\n\n[Available Queries]\n\n[Selected Views]\n\n", nullptr},
    };
    for (const file_case& c : cases) {
        const std::wstring f = path("p.tvx");
        write(f, c.text);
        udb_profile p;
        p.load(f);
        auto all = [&p] {
            p.get_selected_tables();
            p.get_available_queries();
            p.get_selected_views();
        };
        if (!c.missing) {
            EXPECT_NO_THROW(all()) << c.what;
            continue;
        }
        try {
            all();
            ADD_FAILURE() << c.what << ": loaded as a profile";
        } catch (const tk_exception_ex& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("[" + std::string(c.missing) + "]"), std::string::npos) << c.what << ": " << text;
            EXPECT_EQ(e.level, TK_LEVEL_STOP) << c.what;
        }
    }
}

TEST_F(profile_file, a_profile_that_holds_settings_keeps_its_sections_when_a_file_is_added)
{
    const std::wstring f = path("p.tvx");
    write(f, "[Generic settings]\nsrc=a\n");
    udb_profile p;
    p.set_value(L"Selected Tables", L"dbo.T", L"");
    p.load(f);
    EXPECT_EQ(p.get_selected_tables().size(), 1u);
    EXPECT_NO_THROW(p.get_selected_views());
    EXPECT_EQ(p.get_value(L"Generic settings", L"src"), L"a");
}

TEST_F(profile_file, bom_and_crlf_load_like_lf)
{
    const std::string lf = "[Generic settings]\nsrc=a\n\n[Type Mappings]\n  table: T\n    default_value: x=y\n";
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const std::wstring a = path("lf.tvx"), b = path("bom_crlf.tvx"), c = path("bom.tvx"), d = path("crlf.tvx");
    write(a, lf);
    write(b, "\xEF\xBB\xBF" + crlf);
    write(c, "\xEF\xBB\xBF" + lf);
    write(d, crlf);
    udb_profile pa, pb, pc, pd;
    pa.load(a);
    pb.load(b);
    pc.load(c);
    pd.load(d);
    EXPECT_EQ(pd.sections, pa.sections);
    EXPECT_EQ(pd.line_sections, pa.line_sections);
    EXPECT_EQ(pa.get_value(L"Generic settings", L"src"), L"a");
    EXPECT_EQ(pa.get_lines(L"Type Mappings"), (udb_profile::line_list{L"  table: T", L"    default_value: x=y"}));
    EXPECT_EQ(pb.sections, pa.sections);
    EXPECT_EQ(pb.line_sections, pa.line_sections);
    EXPECT_EQ(pc.sections, pa.sections);
    EXPECT_EQ(pc.line_sections, pa.line_sections);
}

TEST_F(profile_file, very_long_lines_load)
{
    std::wstring query = L"SELECT ";
    while (query.size() < 100 * 1024) query += L"column_with_a_long_name, ";
    query += L"x FROM t";
    udb_profile p;
    p.set_value(L"Selected Tables", L"Q", query);
    const std::wstring f = path("p.tvx");
    ASSERT_TRUE(p.store(f));
    udb_profile q;
    q.load(f);
    EXPECT_EQ(q.get_value(L"Selected Tables", L"Q"), query);
}

TEST_F(profile_file, missing_file_is_a_level_1_error)
{
    udb_profile p;
    try {
        p.load(path("none.tvx"));
        FAIL() << "no exception";
    } catch (const tk_exception& e) {
        EXPECT_STREQ(e.what(), "Profile does not exist. Please verify the correct path/name was given.");
        EXPECT_EQ(e.level, 1);
    }
    EXPECT_EQ(p.sections.size(), 4u);
}

TEST_F(profile_file, invalid_utf8_throws_a_conversion_error)
{
    const std::wstring f = path("p.tvx");
    write(f, "[Generic settings]\nsrc=\xC3\x28\n");
    udb_profile p;
    EXPECT_THROW(p.load(f), tk_exception);
}

} // namespace
