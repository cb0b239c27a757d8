// tarvex: the conversion wizard.
#include <string>

#include "platform/win32/win_locale.h"
#include "tarvex/wizard/wizard_main.h"

int main(int argc, char** argv)
{
    setup_process_locale();
    // The command line as one text, its words joined by blanks: a profile path
    // with blanks in it arrives whole.
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return WinMain(ui_instance(), nullptr, line.data(), SW_SHOWNORMAL);
}
