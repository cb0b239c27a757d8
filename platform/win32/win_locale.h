// The process locale every program and test runner sets at start.
#pragma once

// LC_CTYPE becomes a UTF-8 locale (the environment's when it is UTF-8, else
// C.UTF-8), so wide and narrow text convert inside printf. LC_NUMERIC is left
// alone: numbers always print and parse with ".".
void setup_process_locale();
