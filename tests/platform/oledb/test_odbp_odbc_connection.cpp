// How the ODBC backend writes a login as a connection string, for FreeTDS and
// for another driver named by the environment.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include "platform/mssx/mssx_error.h"
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

namespace {

// A loopback port that nothing listens on (taken from the system, then let go).
int closed_port()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (s >= 0) ::close(s);
        return 0;
    }
    ::close(s);
    return ntohs(a.sin_port);
}

mssx_error connect_error(const std::string& connection_string)
{
    try {
        odbp_odbc_link link(connection_string);
    } catch (const mssx_error& e) {
        return e;
    }
    ADD_FAILURE() << "connected through " << connection_string;
    return mssx_error(0, "");
}

} // namespace

// A failed connect keeps the product's own text first, then the driver
// manager's and the driver's reasons with their SQLSTATE and native error.
TEST(OdbcConnectErrors, CarryTheReasonsOfTheDriverManagerAndTheDriver)
{
    scoped_env extra("TVX_ODBC_EXTRA", nullptr);
    {
        scoped_env driver("TVX_ODBC_DRIVER", "/nonexistent/folder/libno-such-driver.so");
        const mssx_error e = connect_error(odbp_odbc_connection_string(login("127.0.0.1,1")));
        EXPECT_EQ(e.number, 17);
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("[DBNETLIB][ConnectionOpen (Connect()).]SQL Server does not exist or access denied.", 0),
                  0u)
            << text;
        EXPECT_NE(text.find("/nonexistent/folder/libno-such-driver.so"), std::string::npos) << text;
        EXPECT_NE(text.find("(SQLSTATE "), std::string::npos) << text;
    }
    if (odbp_odbc_driver_path().empty()) GTEST_SKIP() << "FreeTDS's ODBC driver is not installed";
    const int port = closed_port();
    ASSERT_NE(port, 0);
    scoped_env driver("TVX_ODBC_DRIVER", nullptr);
    const mssx_error e = connect_error(odbp_odbc_connection_string(login("127.0.0.1," + std::to_string(port))));
    EXPECT_EQ(e.number, 17);
    const std::string text = e.what();
    // the driver's own words after the product's: a refused connection is not a wrong password
    EXPECT_NE(text.find("[FreeTDS]"), std::string::npos) << text;
    EXPECT_NE(text.find("(SQLSTATE 08"), std::string::npos) << text;
}
