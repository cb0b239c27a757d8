#include "tvxsql_serve.h"
#include <pthread.h>
#include <csignal>
#include <iostream>
#include <stdexcept>
#include <thread>
#include "platform/mssx/mssx_server.h"
#include "platform/mssx/tds/tds_listener.h"

int tvxsql_serve(const std::vector<std::string>& a)
{
    if (a.empty()) throw std::runtime_error("serve needs the server folder");
    std::string dir = a[0], host = "127.0.0.1";
    long port = -1;
    long idle_timeout = -1;
    for (size_t i = 1; i < a.size(); ++i) {
        if (i + 1 >= a.size()) throw std::runtime_error("missing value after " + a[i]);
        if (a[i] == "--host")
            host = a[++i];
        else if (a[i] == "--port") {
            std::string v = a[++i];
            size_t used = 0;
            port = std::stol(v, &used);
            if (used != v.size() || port < 0 || port > 65535) throw std::runtime_error("invalid port " + v);
        } else if (a[i] == "--idle-timeout") {
            std::string v = a[++i];
            size_t used = 0;
            idle_timeout = std::stol(v, &used);
            if (used != v.size() || idle_timeout < 0 || idle_timeout > 7 * 24 * 3600)
                throw std::runtime_error("invalid idle timeout " + v);
        } else
            throw std::runtime_error("unknown option " + a[i]);
    }
    if (port < 0) throw std::runtime_error("serve needs --port N (0 takes a free port)");
    mssx_server check(dir); // fails as a client would when the folder holds no server

    // SIGTERM and SIGINT are taken by one thread, so the sessions' threads never see them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    tds_listener listener(dir, host, static_cast<uint16_t>(port));
    if (idle_timeout >= 0) listener.set_idle_timeout(static_cast<int>(idle_timeout));
    std::cout << "Listening on " << listener.address() << " port " << listener.port() << std::endl;
    std::thread waiter([&] {
        int sig = 0;
        sigwait(&stop_signals, &sig);
        listener.stop();
    });
    listener.serve();
    pthread_kill(waiter.native_handle(), SIGTERM); // ends the waiter when serve ended by itself
    waiter.join();
    std::cout << "Stopped." << std::endl;
    return 0;
}
