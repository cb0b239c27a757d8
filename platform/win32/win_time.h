// Local time and sleeping.
#pragma once
#include "platform/win32/win_types.h"

// All eight fields from the clock, in the local time zone; wDayOfWeek 0 = Sunday.
void get_local_time(SYSTEMTIME& st);
inline void GetLocalTime(SYSTEMTIME* st)
{
    if (st) get_local_time(*st);
}

void sleep_ms(DWORD ms);
inline void Sleep(DWORD ms) { sleep_ms(ms); }
