// Step 2 of the wizard: the Oracle connection, tested in a worker thread behind
// the wait animation before the wizard goes on.
#pragma once
#include "TK/tk_thread.h"
#include "common/ora_set2.h"
#include "tarvex/tarvex_convertor.h"
#include "tarvex/wizard/connect_worker.h"

class oracle_settings_page : public ora_settings_page2<tarvex_convertor>, public tk_thread {
public:
    static constexpr int ctl_database = 1014;

    class animation : public connect_animation {
    public:
        animation();
        void operator()() override;
    };

    oracle_settings_page();
    ~oracle_settings_page() override;

    bool page_init() override;
    void store_settings() override;
    int on_next() override;
    int on_back() override;
    void on_help() override;

    bool connect();
    bool is_connected() const { return anim.is_connected(); }

protected:
    tk_thread_functor* create_functor() override { return &anim; }

private:
    animation anim;
};
