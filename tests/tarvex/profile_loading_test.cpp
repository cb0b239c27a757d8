// A profile is loaded whole or not at all: a file that is no profile, a mode
// the run does not take or type mappings that cannot be read leave every
// setting of the driver as it was, in the agent as in the driver itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_text.h"
#include "agent_process.h"
#include "tarvex/tarvex_convertor.h"

namespace fs = std::filesystem;

namespace {

class profile_loading : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tvx_profile_loading_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& text) const
    {
        const fs::path p = dir / name;
        std::ofstream(p) << text;
        return p.string();
    }

    fs::path dir;
};

// The settings a refused profile must not touch.
struct snapshot {
    std::vector<std::wstring> tables;
    std::wstring src, dest, ora_host, mss_host;
    uint32_t mode = 0;
    bool uppercase = false, skip_idx = false;
    size_t mappings = 0;

    explicit snapshot(const tarvex_convertor& d)
        : tables(d.selected_tables),
          src(d.src),
          dest(d.dest),
          ora_host(d.oracle_host),
          mss_host(d.mssql_host),
          mode(d.mode),
          uppercase(d.uppercase),
          skip_idx(d.skip_idx),
          mappings(d.by_source.size())
    {}
    bool operator==(const snapshot&) const = default;
};

const std::string k_lists = "[Selected Tables]\ndbo.New\n\n[Available Queries]\n\n[Selected Views]\n\n";
const std::string k_settings =
    "[Generic settings]\nsrc=other\ndest=OTHER\nskip indexes=1\n\n"
    "[Oracle settings]\nhost=elsewhere\nuppercase=1\n\n"
    "[MS SQL Server settings]\nserver=elsewhere\n\n";

} // namespace

TEST_F(profile_loading, a_refused_profile_changes_no_setting_of_the_driver)
{
    struct refused {
        const char* what;
        std::string text;
        bool throws; // else load_profile answers false
    };
    const std::vector<refused> cases = {
        {"mode 7", k_lists + k_settings + "[Generic settings]\nmode=7\n", true},
        {"no list sections", k_settings, true},
        {"no views section", "[Selected Tables]\ndbo.New\n\n[Available Queries]\n\n" + k_settings, true},
        {"broken type mappings", k_lists + k_settings + "[Type Mappings]\ntables:\n    fields:\n", false},
    };
    for (const refused& c : cases) {
        tk_logger logger(nullptr, false, 3, false);
        tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
        d.selected_tables = {L"[dbo].[Old]"};
        d.src = L"mine";
        d.oracle_host = L"here";
        d.mode = 2;
        const snapshot before(d);
        const std::string path = write("p.tvx", c.text);
        if (c.throws) {
            EXPECT_THROW(d.open_profile(to_unicode(path)), tk_exception) << c.what;
        } else {
            EXPECT_FALSE(d.open_profile(to_unicode(path))) << c.what;
        }
        EXPECT_TRUE(snapshot(d) == before) << c.what << ": the profile was applied in part";
    }
}

TEST_F(profile_loading, a_whole_profile_is_applied)
{
    tk_logger logger(nullptr, false, 3, false);
    tarvex_convertor d(tarvex_convertor::settings_source::agent_defaults);
    ASSERT_TRUE(d.open_profile(to_unicode(write("p.tvx", k_lists + k_settings + "[Generic settings]\nmode=1\n"))));
    EXPECT_EQ(d.selected_tables, std::vector<std::wstring>{L"dbo.New"});
    EXPECT_EQ(d.src, L"other");
    EXPECT_EQ(d.oracle_host, L"elsewhere");
    EXPECT_EQ(d.mode, 1u);
    EXPECT_TRUE(d.uppercase);
}

TEST_F(profile_loading, the_agent_refuses_a_file_without_the_list_sections_before_any_connection)
{
    for (const std::string& text : {std::string(), std::string("not a profile at all\n"),
                                    std::string("[Generic settings]\nsrc=db\ndest=o\nmode=0\n")}) {
        const agent_result r = run_agent({"--profile=" + write("p.tvx", text)});
        EXPECT_EQ(r.status, 255) << text;
        EXPECT_EQ(r.out.rfind("Error:\nThe file is not a profile: it has no [Selected Tables] section.", 0), 0u)
            << text << ": " << r.out << r.err;
    }
}
