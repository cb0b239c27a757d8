#include "tarvex/wizard/connect_worker.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/ui/ui.h"

void register_wait_animation_resources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        using namespace ui_rc;
        ui_register_dialog(101, ui_dialog_template{L"",
                                                   186,
                                                   54,
                                                   {
                                                       icon(502, 1301, 10, 14),
                                                       ltext(L"", 1320, 42, 12, 136, 30),
                                                   }});
        // Eight frames of a turning stripe pattern.
        for (int k = 0; k < 8; ++k) ui_register_icon(502 + k, ui_make_image(32, 32, 0xFFF4F0E0u, 0xFF3060A0u, k + 1));
    });
}

void wait_for_worker(const tk_thread& thread)
{
    while (thread.is_running()) {
        if (ui_is_running() && ui_is_ui_thread())
            ui_pump_events(10);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool run_connect_worker(tk_thread& thread, connect_animation& animation)
{
    // The worker of the last attempt closes the dialog before it ends.
    wait_for_worker(thread);
    animation.reset();
    if (!thread.start()) return false;
    animation.DoModal(GetActiveWindow());
    // The worker closes the dialog just before it ends; its result is final only then.
    wait_for_worker(thread);
    return animation.is_connected();
}
