#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// Every scratch file of the tests, and of the programs they start, goes into
// one folder of this process, removed when the tests end.
class scratch_temp_dir {
public:
    scratch_temp_dir()
    {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        std::string tmpl = ((ec ? std::filesystem::path("/tmp") : base) / "tvx_test_XXXXXX").string();
        if (!mkdtemp(tmpl.data())) return;
        dir_ = tmpl;
        setenv("TMPDIR", dir_.c_str(), 1);
    }
    ~scratch_temp_dir()
    {
        if (dir_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    scratch_temp_dir(const scratch_temp_dir&) = delete;
    scratch_temp_dir& operator=(const scratch_temp_dir&) = delete;

private:
    std::string dir_;
};

} // namespace

int main(int argc, char** argv)
{
    // Wide/narrow conversions inside printf need a UTF-8 character type;
    // numbers keep the "C" decimal point.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "");
    // Where the test data and the shared fixtures are, unless the caller says
    // otherwise; a test program started by hand finds them too.
    setenv("TVX_TEST_DATA", TVX_TEST_DATA_DIR, 0);
    setenv("TVX_FIXTURES", TVX_FIXTURES_DIR, 0);
    ::testing::InitGoogleTest(&argc, argv);
    int status = 0;
    {
        scratch_temp_dir scratch;
        status = RUN_ALL_TESTS();
    }
    return status;
}
