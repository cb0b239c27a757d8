// Hands a problem report to the user's mail client.
#pragma once

// Subject "Bug report on " + title, the report as the note; nothing is shown
// to the user, a missing mail client is only logged.
void tk_send_bug(const char* title, const char* text);

// The support address reports go to.
extern const char* const tk_bug_recipient;
