// Prefix scanner of a program's arguments against a fixed option table.
#pragma once
#include <string>
#include <vector>

// One option: its code and the prefix an argument must start with. The table
// ends with an entry whose prefix is empty; it matches any argument.
struct tk_cmd_option {
    int code;
    const char* prefix;
};

class TCmdLine {
public:
    virtual ~TCmdLine() = default;
    virtual void next() = 0;
    virtual bool has_more() const = 0;
};

class ansi_cmd_line : public TCmdLine {
public:
    // Starts after the program name and matches the first argument.
    ansi_cmd_line(int argc, const char* const* argv, const tk_cmd_option* table);

    void next() override;
    bool has_more() const override { return left_ > 0; }

    // The current argument's code (-1 when unrecognised) and the text after its prefix.
    int get_code() const;
    const char* get_value() const;

    // Arguments that matched no prefix, in order.
    const std::vector<std::string>& get_unrecognized() const { return unrecognized_; }

private:
    void parse(const char* arg);

    const tk_cmd_option* table_;
    const char* value_ = nullptr;
    int code_ = -1;
    bool current_ = false;
    std::vector<std::string> unrecognized_;
    const char* const* cursor_;
    int left_;
};
