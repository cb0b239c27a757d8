#include "platform/win32/win_mapi.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/win_codepage.h"

extern char** environ;

namespace {

const char* const k_client = "xdg-email";

// ANSI-page text as UTF-8 for the mail client.
std::string as_utf8(const char* text)
{
    if (!text) return std::string();
    auto wide = mb_to_wide(CP_ACP, text, false);
    return wide ? utf8_encode(*wide) : std::string();
}

} // namespace

bool mapi_available()
{
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string_view dirs(path);
    for (;;) {
        size_t end = dirs.find(':');
        std::string_view dir = dirs.substr(0, end);
        std::string candidate(dir.empty() ? std::string_view(".") : dir);
        candidate.append("/").append(k_client);
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        if (end == std::string_view::npos) return false;
        dirs.remove_prefix(end + 1);
    }
}

ULONG MAPISendMail(LHANDLE, ULONG_PTR, MapiMessage* message, FLAGS, ULONG)
{
    if (!message) return MAPI_E_FAILURE;
    std::vector<std::string> args = {k_client, "--utf8"};
    if (message->lpszSubject) {
        args.push_back("--subject");
        args.push_back(as_utf8(message->lpszSubject));
    }
    if (message->lpszNoteText) {
        args.push_back("--body");
        args.push_back(as_utf8(message->lpszNoteText));
    }
    for (ULONG i = 0; message->lpRecips && i < message->nRecipCount; ++i) {
        const MapiRecipDesc& r = message->lpRecips[i];
        const char* who = r.lpszName ? r.lpszName : r.lpszAddress;
        if (who) args.push_back(as_utf8(who));
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, k_client, nullptr, nullptr, argv.data(), environ) != 0) return MAPI_E_FAILURE;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return MAPI_E_FAILURE;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? SUCCESS_SUCCESS : MAPI_E_FAILURE;
}
