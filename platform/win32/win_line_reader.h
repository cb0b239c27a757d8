// Lines of a text file that may come from Windows: an optional UTF-8
// byte-order mark before the first line, and LF or CRLF line ends.
#pragma once
#include <istream>
#include <string>

class win_line_reader {
public:
    explicit win_line_reader(std::istream& in) : in_(in) {}

    // The next line without its line end (and without the mark on the first
    // line); false at the end of the input.
    bool next(std::string& line);

private:
    std::istream& in_;
    bool first_ = true;
};
