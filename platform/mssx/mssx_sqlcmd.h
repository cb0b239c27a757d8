// What sqlcmd does to a script's lines before the server sees them: its
// variables ($(name), :setvar) and its :on error command.
#pragma once
#include <map>
#include <string>

struct mssx_sqlcmd_state {
    // by upper-case name: sqlcmd compares variable names without regard to case
    std::map<std::string, std::string> variables;
    bool exit_on_error = false; // :on error exit (ignore is the default)

    void set(const std::string& name, const std::string& value);
    // The line with every $(name) replaced by its value. Throws mssx_error (a fatal scripting error) for a
    // variable not defined or a $( not closed on the line.
    std::string substitute(const std::string& line, int line_no) const;
    // Runs the line when it is a command of sqlcmd (":setvar name [value]", ":on error exit|ignore") and
    // tells whether it was one; another command is a fatal scripting error.
    bool command(const std::string& line, int line_no);
};
