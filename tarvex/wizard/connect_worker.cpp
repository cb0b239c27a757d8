#include "tarvex/wizard/connect_worker.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/ui/ui.h"
#include "tarvex/wizard/wizard_art.h"

namespace {

constexpr int k_first_wait_frame = 502;
constexpr int k_wait_frames = 8;
constexpr int k_wait_icon_size = 32;

} // namespace

void register_wait_animation_resources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        using namespace ui_rc;
        ui_register_dialog(101, ui_dialog_template{L"",
                                                   186,
                                                   54,
                                                   {
                                                       icon(k_first_wait_frame, 1301, 10, 14),
                                                       ltext(L"", 1320, 42, 12, 136, 30),
                                                   }});
        // Eight frames of a ring of dots with one bright dot going round.
        for (int k = 0; k < k_wait_frames; ++k)
            ui_register_icon(k_first_wait_frame + k, wizard_wait_frame(k, k_wait_frames, k_wait_icon_size));
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
