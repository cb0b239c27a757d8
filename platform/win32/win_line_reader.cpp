#include "platform/win32/win_line_reader.h"

bool win_line_reader::next(std::string& line)
{
    if (!std::getline(in_, line)) return false;
    if (first_ && line.compare(0, 3, "\xef\xbb\xbf") == 0) line.erase(0, 3);
    first_ = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
