// Starts `tvxsql serve` on a free port of 127.0.0.1 over a throw-away server
// folder, and stops it with SIGTERM at the end. Every wait is bounded.
#pragma once
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>
#include "platform/mssx/mssx_connection.h"

struct tds_test_endpoint {
    std::string dir;
    int port = 0;
    pid_t pid = -1;
    int out_fd = -1;
    std::string banner;
    bool owns_dir = true;

    // Serves a server folder the caller made and keeps.
    struct existing_folder {
        std::string dir;
    };
    explicit tds_test_endpoint(existing_folder f) : dir(std::move(f.dir)), owns_dir(false) {}

    explicit tds_test_endpoint(const std::string& tag, const std::string& sa_password = "Secret#1")
    {
        dir = (std::filesystem::temp_directory_path() / ("tvx_tds_" + tag + "_" + std::to_string(::getpid()))).string();
        std::filesystem::remove_all(dir);
        mssx_server::create(dir, sa_password);
    }
    ~tds_test_endpoint()
    {
        stop();
        std::error_code ec;
        if (owns_dir) std::filesystem::remove_all(dir, ec);
    }

    // Runs a script in the folder directly (before or besides the endpoint).
    void setup(const std::string& sql, const std::string& db = std::string(), const std::string& pw = "Secret#1")
    {
        mssx_connection c(dir, mssx_login{"sa", pw, false, db});
        auto out = c.execute(sql);
        if (!out.errors.empty()) throw out.errors.front();
    }

    void start()
    {
        int p[2];
        if (::pipe(p) != 0) throw std::runtime_error("pipe");
        pid = ::fork();
        if (pid == 0) {
            ::dup2(p[1], 1);
            ::close(p[0]);
            ::close(p[1]);
            ::execl(TVXSQL_PATH, TVXSQL_PATH, "serve", dir.c_str(), "--host", "127.0.0.1", "--port", "0",
                    (char*)nullptr);
            ::_exit(127);
        }
        ::close(p[1]);
        out_fd = p[0];
        // the first line names the port; wait at most 20 s for it
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (banner.find('\n') == std::string::npos) {
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
                    .count());
            if (left <= 0) throw std::runtime_error("the endpoint did not start");
            pollfd pf{out_fd, POLLIN, 0};
            if (::poll(&pf, 1, left) <= 0) continue;
            char buf[256];
            ssize_t n = ::read(out_fd, buf, sizeof buf);
            if (n <= 0) throw std::runtime_error("the endpoint ended at start: " + banner);
            banner.append(buf, static_cast<size_t>(n));
        }
        auto at = banner.find("port ");
        if (at == std::string::npos) throw std::runtime_error("no port in " + banner);
        port = std::stoi(banner.substr(at + 5));
    }

    // SIGTERM, then the exit status (or -1 when it had to be killed after 20 s).
    int stop()
    {
        if (pid <= 0) return -1;
        ::kill(pid, SIGTERM);
        int status = 0;
        int result = -1;
        for (int i = 0; i < 200; ++i) {
            pid_t r = ::waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (result == -1 && ::waitpid(pid, &status, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        pid = -1;
        if (out_fd >= 0) ::close(out_fd);
        out_fd = -1;
        return result;
    }
};

// Runs a shell command with a time bound; returns its output (stdout and stderr).
inline std::string tds_run_command(const std::string& cmd, int* exit_code = nullptr)
{
    std::string full = "timeout 60 " + cmd + " 2>&1";
    FILE* p = ::popen(full.c_str(), "r");
    std::string out;
    if (!p) return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    int st = ::pclose(p);
    if (exit_code) *exit_code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
}
