#include "MSS/mss_error_sink.h"

#include "TK/tk_logger.h"

void mss_error_sink::report(const tk_exception& error, const std::wstring& context) const
{
    tk_logger::log(3, L"%s: %hs", context.c_str(), error.what());
    if (on_error) on_error(error, context);
}
