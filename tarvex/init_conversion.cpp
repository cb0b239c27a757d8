#include "tarvex/init_conversion.h"

#include "TK/tk_logger.h"
#include "platform/com/com.h"
#include "platform/win32/win_time.h"
#include "tarvex/conversion_front_end.h"

namespace {

void log_time(const char* fmt)
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    tk_logger::log(3, fmt, t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute, t.wSecond);
}

} // namespace

init_conversion::init_conversion(std::atomic<bool>* finished, int com_initialized, conversion_front_end* front_end)
    : com_initialized_(com_initialized), finished_(finished)
{
    finished_->store(false);
    tk_logger::log(2, "init_conversion::ctor");
    log_time("Conversion started on %02d/%02d/%04d at %02d:%02d:%02d\n");
    if (!com_initialized_) com_owned_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    if (front_end) {
        try {
            front_end->start_timer();
        } catch (...) {
            // The destructor will not run: end the scope here.
            if (com_owned_) CoUninitialize();
            finished_->store(true, std::memory_order_release);
            throw;
        }
    }
    tk_logger::log(2, "finish_flag=%d", finished_->load() ? 1 : 0);
}

init_conversion::~init_conversion()
{
    tk_logger::log(2, "init_conversion::dtor");
    if (com_owned_) CoUninitialize();
    log_time("Conversion ended on %02d/%02d/%04d at %02d:%02d:%02d\n");
    finished_->store(true, std::memory_order_release); // the run's last write, on every path
}
