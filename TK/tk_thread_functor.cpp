#include "TK/tk_thread_functor.h"

#include "platform/win32/win_time.h"

void tk_thread_functor::operator()()
{
    while (!is_done()) step();
    finish();
}

bool tk_thread_functor::is_done() { return stop_requested(); }

void tk_thread_functor::step() { Sleep(100); }

void tk_thread_functor::finish() {}
