// Finding and loading the client library: the search order, and a library
// that cannot be loaded or lacks a function is reported by name.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/oci/oci_client_library.h"

namespace fs = std::filesystem;

namespace {

class client_folders : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("tvx_oci_lib_" + std::to_string(getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "home" / "lib");
        fs::create_directories(root / "a");
        fs::create_directories(root / "b");
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    static void touch(const fs::path& p) { std::ofstream(p) << "x"; }
    fs::path root;
};

} // namespace

TEST_F(client_folders, a_named_library_is_the_only_candidate)
{
    auto c = oci_client_candidates("/opt/x/libclntsh.so.19.1", (root / "home").c_str(), (root / "a").c_str());
    EXPECT_EQ(c, std::vector<std::string>{"/opt/x/libclntsh.so.19.1"});
}

TEST_F(client_folders, oracle_home_then_library_path_then_the_loaders_own_search)
{
    touch(root / "home" / "lib" / "libclntsh.so.12.1");
    touch(root / "home" / "lib" / "libclntsh.so.19.1");
    touch(root / "home" / "lib" / "libclntsh.so.9.2");
    touch(root / "home" / "lib" / "libclntshcore.so.19.1"); // not the client
    touch(root / "b" / "libclntsh.so.21.1");
    const std::string path = (root / "a").string() + "::" + (root / "b").string();
    auto c = oci_client_candidates(nullptr, (root / "home").c_str(), path.c_str());
    const std::string h = (root / "home" / "lib").string() + "/";
    const std::string a = (root / "a").string() + "/";
    const std::string b = (root / "b").string() + "/";
    std::vector<std::string> want{h + "libclntsh.so",      h + "libclntsh.so.19.1", h + "libclntsh.so.12.1",
                                  h + "libclntsh.so.9.2",  a + "libclntsh.so",      b + "libclntsh.so",
                                  b + "libclntsh.so.21.1", "libclntsh.so",          "libclntsh.so.23.1",
                                  "libclntsh.so.21.1",     "libclntsh.so.19.1",     "libclntsh.so.18.1",
                                  "libclntsh.so.12.1",     "libclntsh.so.11.1"};
    EXPECT_EQ(c, want);
    // An empty name counts as unset, as do missing variables.
    auto d = oci_client_candidates("", nullptr, nullptr);
    EXPECT_EQ(d.front(), "libclntsh.so");
    EXPECT_EQ(d.size(), 7u);
}

TEST(client_library, every_function_of_the_stand_in_is_found)
{
    std::string problem;
    auto lib = oci_client_library::open(TVX_OCI_STANDIN, problem);
    ASSERT_TRUE(lib) << problem;
    EXPECT_EQ(problem, "");
    EXPECT_EQ(lib->path(), TVX_OCI_STANDIN);
    // The library's own functions, not the program's.
    EXPECT_NE(reinterpret_cast<void*>(lib->api().OCIStmtExecute), reinterpret_cast<void*>(&::OCIStmtExecute));
    EXPECT_NE(reinterpret_cast<void*>(lib->api().OCIStmtExecute),
              reinterpret_cast<void*>(oci_embedded_api().OCIStmtExecute));
#define TVX_EXPECT_FOUND(name) EXPECT_NE(lib->api().name, nullptr) << #name;
    TVX_OCI_FUNCTIONS(TVX_EXPECT_FOUND)
#undef TVX_EXPECT_FOUND
}

TEST(client_library, a_library_without_a_function_is_named_as_unusable)
{
    std::string problem;
    auto lib = oci_client_library::open(TVX_OCI_STANDIN_PARTIAL, problem);
    EXPECT_FALSE(lib);
    EXPECT_EQ(problem, std::string("The Oracle client library ") + TVX_OCI_STANDIN_PARTIAL +
                           " cannot be used: it has no function OCILobWrite.");
}

TEST(client_library, a_file_that_does_not_load_is_named_with_the_reason)
{
    const fs::path bad = fs::temp_directory_path() / ("tvx_oci_bad_" + std::to_string(getpid()) + ".so");
    std::ofstream(bad) << "not a library";
    std::string problem;
    EXPECT_FALSE(oci_client_library::open(bad.string(), problem));
    EXPECT_EQ(problem.rfind("The Oracle client library " + bad.string() + " cannot be loaded: ", 0), 0u) << problem;
    fs::remove(bad);
    EXPECT_FALSE(oci_client_library::open("/nonexistent/libclntsh.so", problem));
    EXPECT_NE(problem.find("/nonexistent/libclntsh.so cannot be loaded: "), std::string::npos) << problem;
}
