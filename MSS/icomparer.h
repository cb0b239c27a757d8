// Case-insensitive test of a keyword at a position of a text.
#pragma once
#include <string>

class icomparer {
public:
    explicit icomparer(const std::wstring& keyword);

    // 0 when the text holds the keyword at the position (letter case ignored),
    // else negative or positive. A keyword that would reach the end of the
    // text is never equal.
    int compare(const std::wstring& text, size_t position) const;

    const std::wstring& keyword() const { return keyword_; }

private:
    std::wstring keyword_;
};
