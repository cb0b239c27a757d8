// TVXAGENT: one unattended conversion from the command line.
#include "platform/win32/win_locale.h"
#include "tarvex/agent/agent_main.h"

int main(int argc, char** argv)
{
    setup_process_locale();
    return agent_main(argc, argv);
}
