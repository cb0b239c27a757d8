// How the ODBC backend writes a login as a connection string, for FreeTDS and
// for another driver named by the environment.
#include <gtest/gtest.h>
#include <cstdlib>
#include <optional>
#include <string>
#include "platform/oledb/odbp_odbc_link.h"

namespace {

// Sets an environment variable for one scope, then puts the old value back.
class scoped_env {
public:
    scoped_env(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~scoped_env()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    scoped_env(const scoped_env&) = delete;
    scoped_env& operator=(const scoped_env&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

odbp_login login(const std::string& ds)
{
    odbp_login l;
    l.data_source = ds;
    l.user = "sa";
    l.password = "p;w}d";
    l.catalog = "Northwind";
    return l;
}

} // namespace

TEST(OdbcConnectionString, FreeTdsGetsHostPortAndInstanceItsOwnWay)
{
    scoped_env driver("TVX_ODBC_DRIVER", nullptr), extra("TVX_ODBC_EXTRA", nullptr);
    if (odbp_odbc_driver_path().empty()) GTEST_SKIP() << "FreeTDS's ODBC driver is not installed";
    std::string cs = odbp_odbc_connection_string(login("dbhost,1433"));
    EXPECT_EQ(cs.rfind("DRIVER={" + odbp_odbc_driver_path() + "};", 0), 0u) << cs;
    EXPECT_NE(cs.find("SERVER={dbhost};PORT=1433;TDS_Version=7.4;"), std::string::npos) << cs;
    // a password with the separator and a closing brace stays one value
    EXPECT_NE(cs.find("UID={sa};PWD={p;w}}d};DATABASE={Northwind};"), std::string::npos) << cs;

    cs = odbp_odbc_connection_string(login("dbhost\\SQLEXPRESS"));
    EXPECT_NE(cs.find("SERVER={dbhost\\SQLEXPRESS};"), std::string::npos) << cs;
    EXPECT_EQ(cs.find("PORT="), std::string::npos) << cs;

    odbp_login windows = login("dbhost");
    windows.integrated = true;
    cs = odbp_odbc_connection_string(windows);
    EXPECT_NE(cs.find("Trusted_Connection=Yes;"), std::string::npos) << cs;
    EXPECT_EQ(cs.find("PWD="), std::string::npos) << cs;
}

TEST(OdbcConnectionString, AnotherDriverByNameWithExtraText)
{
    scoped_env driver("TVX_ODBC_DRIVER", "ODBC Driver 18 for SQL Server");
    scoped_env extra("TVX_ODBC_EXTRA", "Encrypt=yes;TrustServerCertificate=yes;");
    std::string cs = odbp_odbc_connection_string(login("dbhost,1444"));
    EXPECT_EQ(cs.rfind("DRIVER={ODBC Driver 18 for SQL Server};SERVER={dbhost,1444};", 0), 0u) << cs;
    EXPECT_EQ(cs.find("TDS_Version"), std::string::npos) << cs;
    EXPECT_EQ(cs.size() - cs.rfind("Encrypt=yes;TrustServerCertificate=yes;"),
              std::string("Encrypt=yes;TrustServerCertificate=yes;").size())
        << cs;
}
