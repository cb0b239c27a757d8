// What a client can make the endpoint hold and how long: the room and time
// before login, idle clients, the number of clients, repeated failed logins.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/mssx/mssx_server.h"
#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_constants.h"
#include "platform/mssx/tds/tds_login_guard.h"
#include "platform/mssx/tds/tds_packet.h"
#include "tds_odbc_client.h"
#include "tds_test_endpoint.h"

namespace {

using namespace std::chrono;

// A packet of `type` with `data`, the end-of-message bit as given.
std::string packet(uint8_t type, const std::string& data, bool eom)
{
    tds_writer w;
    w.u8(type);
    w.u8(eom ? tds::kStatusEom : 0);
    w.u16_be(static_cast<uint16_t>(data.size() + tds::kHeaderSize));
    w.u16_be(0);
    w.u8(1);
    w.u8(0);
    w.bytes(data);
    return w.buffer();
}

// Both ends of a local stream socket, closed at the end.
struct socket_pair {
    int fd[2] = {-1, -1};
    socket_pair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fd), 0); }
    ~socket_pair()
    {
        for (int f : fd)
            if (f >= 0) ::close(f);
    }
};

// Connects to the endpoint on the loopback address; -1 when refused.
int connect_raw(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

// Whether the peer closes the socket within `bound` (reading and dropping whatever comes first).
bool closed_within(int fd, milliseconds bound)
{
    const auto until = steady_clock::now() + bound;
    char buf[4096];
    while (steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        const int left = static_cast<int>(duration_cast<milliseconds>(until - steady_clock::now()).count());
        if (::poll(&p, 1, std::max(left, 1)) <= 0) continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return true;
    }
    return false;
}

} // namespace

TEST(TdsChannel, RefusesAMessageLargerThanItsRoom)
{
    socket_pair sp;
    tds_channel ch(sp.fd[0]);
    ch.set_max_message(1000);
    const std::string part = packet(tds::kPacketPrelogin, std::string(600, 'x'), false);
    ASSERT_EQ(::send(sp.fd[1], part.data(), part.size(), 0), static_cast<ssize_t>(part.size()));
    ASSERT_EQ(::send(sp.fd[1], part.data(), part.size(), 0), static_cast<ssize_t>(part.size()));
    tds_message m;
    EXPECT_THROW(ch.read_message(m), tds_protocol_error);

    // within its room a message of several packets arrives whole
    tds_channel roomy(sp.fd[0]);
    roomy.set_max_message(2000);
    const std::string last = packet(tds::kPacketPrelogin, std::string(10, 'y'), true);
    ::send(sp.fd[1], part.data(), part.size(), 0);
    ::send(sp.fd[1], last.data(), last.size(), 0);
    ASSERT_TRUE(roomy.read_message(m));
    EXPECT_EQ(m.payload, std::string(600, 'x') + std::string(10, 'y'));
}

TEST(TdsChannel, GivesUpOnAnIdleClientAndAtItsDeadline)
{
    {
        socket_pair sp;
        tds_channel ch(sp.fd[0]);
        ch.set_idle_timeout(milliseconds(150));
        tds_message m;
        const auto t0 = steady_clock::now();
        EXPECT_THROW(ch.read_message(m), tds_protocol_error);
        EXPECT_GE(steady_clock::now() - t0, milliseconds(150));
    }
    {
        // a byte now and then does not keep a client that has not logged in past its deadline
        socket_pair sp;
        tds_channel ch(sp.fd[0]);
        ch.set_deadline(steady_clock::now() + milliseconds(300));
        ch.set_idle_timeout(milliseconds(200));
        std::thread trickle([fd = sp.fd[1]] {
            const std::string p = packet(tds::kPacketPrelogin, std::string(100, 'z'), false);
            for (char c : p) {
                if (::send(fd, &c, 1, MSG_NOSIGNAL) != 1) return;
                std::this_thread::sleep_for(milliseconds(20));
            }
        });
        tds_message m;
        const auto t0 = steady_clock::now();
        EXPECT_THROW(ch.read_message(m), tds_protocol_error);
        const auto took = steady_clock::now() - t0;
        EXPECT_GE(took, milliseconds(250));
        EXPECT_LT(took, seconds(3));
        ::shutdown(sp.fd[1], SHUT_RDWR);
        trickle.join();
    }
}

TEST(TdsLoginGuard, EachFailureInARowWaitsLongerAndIsLogged)
{
    EXPECT_EQ(tds_login_guard::delay_for(1), milliseconds(250));
    EXPECT_EQ(tds_login_guard::delay_for(2), milliseconds(500));
    EXPECT_EQ(tds_login_guard::delay_for(3), milliseconds(1000));
    EXPECT_EQ(tds_login_guard::delay_for(40), milliseconds(4000));

    tds_login_guard g;
    std::ostringstream log;
    std::streambuf* old = std::cerr.rdbuf(log.rdbuf());
    auto t0 = steady_clock::now();
    g.failed("127.0.0.1", "sa");
    g.failed("127.0.0.1", "sa");
    const auto two = steady_clock::now() - t0;
    std::cerr.rdbuf(old);
    EXPECT_GE(two, milliseconds(750));
    EXPECT_NE(log.str().find("Login failed for user 'sa' from 127.0.0.1 (1 failure)"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("(2 failures in a row)"), std::string::npos) << log.str();

    // a success forgets the address; stop ends a wait at once
    g.succeeded("127.0.0.1");
    old = std::cerr.rdbuf(log.rdbuf());
    std::thread stopper([&] {
        std::this_thread::sleep_for(milliseconds(50));
        g.stop();
    });
    t0 = steady_clock::now();
    for (int i = 0; i < 6; ++i) g.failed("127.0.0.2", "x");
    const auto stopped = steady_clock::now() - t0;
    std::cerr.rdbuf(old);
    stopper.join();
    EXPECT_LT(stopped, seconds(2));
}

class TdsLimits : public ::testing::Test {
protected:
    tds_test_endpoint e{"limits_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
    void SetUp() override { e.start(); }
};

TEST_F(TdsLimits, AClientThatNeverEndsItsPreloginIsDisconnected)
{
    const int fd = connect_raw(e.port);
    ASSERT_GE(fd, 0);
    const std::string part = packet(tds::kPacketPrelogin, std::string(4000, 'p'), false);
    size_t sent = 0;
    for (int i = 0; i < 200 && sent <= 2 * tds::kMaxUnauthenticatedMessage; ++i) {
        const ssize_t n = ::send(fd, part.data(), part.size(), MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    EXPECT_TRUE(closed_within(fd, seconds(10)));
    ::close(fd);
    // the endpoint still serves others
    tds_odbc_client c;
    EXPECT_TRUE(c.connect(e.port, "sa", "Secret#1")) << c.error_text();
}

TEST_F(TdsLimits, ClientsBeyondTheLimitAreTurnedAway)
{
    std::vector<int> held;
    for (size_t i = 0; i < tds::kMaxConnections; ++i) {
        const int fd = connect_raw(e.port);
        ASSERT_GE(fd, 0);
        held.push_back(fd);
    }
    // the listener takes them one by one: the extra one is closed once all are served
    bool turned_away = false;
    for (int attempt = 0; attempt < 50 && !turned_away; ++attempt) {
        const int extra = connect_raw(e.port);
        ASSERT_GE(extra, 0);
        turned_away = closed_within(extra, milliseconds(200));
        ::close(extra);
    }
    EXPECT_TRUE(turned_away);
    for (int fd : held) ::close(fd);
    // once they left, a client gets in again (the listener notices the leaving within its poll round)
    bool served = false;
    for (int attempt = 0; attempt < 50 && !served; ++attempt) {
        tds_odbc_client c;
        served = c.connect(e.port, "sa", "Secret#1");
    }
    EXPECT_TRUE(served);
}

TEST_F(TdsLimits, RepeatedWrongPasswordsAreAnsweredSlowerAndSlower)
{
    const auto t0 = steady_clock::now();
    for (int i = 0; i < 3; ++i) {
        tds_odbc_client bad;
        EXPECT_FALSE(bad.connect(e.port, "sa", "wrong"));
        EXPECT_TRUE(bad.has_error(18456)) << bad.error_text();
    }
    EXPECT_GE(steady_clock::now() - t0, milliseconds(250 + 500 + 1000));
    tds_odbc_client good;
    EXPECT_TRUE(good.connect(e.port, "sa", "Secret#1")) << good.error_text();
}

TEST(MssxServerFolder, IsItsOwnersAloneWhateverTheUmask)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tvx_umask_server";
    std::filesystem::remove_all(dir);
    const mode_t old = ::umask(0);
    mssx_server::create(dir.string(), "pw");
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    std::filesystem::remove_all(dir);
}
