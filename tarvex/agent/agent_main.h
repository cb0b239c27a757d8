// The agent's whole program behind main: options, both connections, the run,
// and the exit status.
#pragma once

// 0 after a run that reached its end, -1 otherwise.
int agent_main(int argc, char** argv);
