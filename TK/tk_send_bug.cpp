#include "TK/tk_send_bug.h"

#include <cstdio>
#include <string>

#include "TK/tk_logger.h"
#include "TK/tk_temp_chdir.h"
#include "platform/win32/win_file.h"
#include "platform/win32/win_library.h"
#include "platform/win32/win_mapi.h"
#include "platform/win32/win_time.h"

const char* const tk_bug_recipient = "Quellsoft Support <support@quellsoft.example>";

void tk_send_bug(const char* title, const char* text)
{
    tk_logger::log(2, "tk_send_bug(%s|%s)", title ? title : "", text ? text : "");
    std::string subject = std::string("Bug report on ") + (title ? title : "");
    std::string note = text ? text : "";
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::string date = std::to_string(now.wYear) + "/" + std::to_string(now.wMonth) + "/" + std::to_string(now.wDay) +
                       " " + std::to_string(now.wHour) + ":" + std::to_string(now.wMinute);
    std::string recipient_name = tk_bug_recipient;

    MapiRecipDesc originator{};
    MapiRecipDesc recipient{};
    recipient.ulRecipClass = MAPI_TO;
    recipient.lpszName = recipient_name.data();
    MapiMessage message{};
    message.lpszSubject = subject.data();
    message.lpszNoteText = note.data();
    message.lpszDateReceived = date.data();
    message.flFlags = MAPI_UNREAD;
    message.lpOriginator = &originator;
    message.nRecipCount = 1;
    message.lpRecips = &recipient;

    tk_temp_chdir keep(get_cwd().value_or(std::string()));
    HMODULE mapi = LoadLibraryW(L"MAPI32.DLL");
    if (!mapi) {
        tk_logger::log(2, "Failed to locate MAPI32.DLL");
        return;
    }
    auto send = reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(mapi, "MAPISendMail"));
    tk_logger::log(2, "lpfnMAPISendMail=%p", reinterpret_cast<void*>(send));
    if (send) {
        ULONG result = send(0, 0, &message, 0, 0);
        tk_logger::log(2, "lpfnMAPISendMail returns %d", static_cast<int>(result));
    }
    FreeLibrary(mapi);
}
