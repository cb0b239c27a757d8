// Step 1 of the wizard: the SQL Server connection, tested in a worker thread
// behind the wait animation before the wizard goes on.
#pragma once
#include "TK/tk_thread.h"
#include "common/mss_set.h"
#include "tarvex/tarvex_convertor.h"
#include "tarvex/wizard/connect_worker.h"

class mssql_settings_page : public mss_settings_page<tarvex_convertor>, public tk_thread {
public:
    // The connect worker; the page's thread runs it while it animates.
    class animation : public connect_animation {
    public:
        animation();
        void operator()() override;
    };

    mssql_settings_page();
    ~mssql_settings_page() override;

    int on_next() override;
    int on_back() override;
    void on_help() override;

    // Starts the worker, runs the animation modally and answers whether it connected
    // (also used by the quick launch, which never shows the page).
    bool connect();
    bool is_connected() const { return anim.is_connected(); }

protected:
    tk_thread_functor* create_functor() override { return &anim; }

private:
    animation anim;
};
