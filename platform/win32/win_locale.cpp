#include "platform/win32/win_locale.h"

#include <langinfo.h>
#include <clocale>
#include <cstring>

void setup_process_locale()
{
    if (std::setlocale(LC_CTYPE, "")) {
        const char* cs = nl_langinfo(CODESET);
        if (cs && (std::strcmp(cs, "UTF-8") == 0 || std::strcmp(cs, "utf8") == 0)) return;
    }
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "C.utf8");
}
