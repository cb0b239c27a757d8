// Errors of the embedded Oracle: an ORA number and the server's own text.
#pragma once
#include <exception>
#include <string>

namespace eora {

class eora_error : public std::exception {
public:
    eora_error(int number, std::string text) : number_(number), text_(std::move(text)) {}
    int number() const noexcept { return number_; }
    // "ORA-00942: table or view does not exist"
    const std::string& text() const noexcept { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }

private:
    int number_;
    std::string text_;
};

// The message of an ORA number with its %s arguments filled in, prefixed
// "ORA-nnnnn: ". Numbers without a known message get Oracle's text for them.
std::string ora_message(int number, const std::string& a1 = {}, const std::string& a2 = {}, const std::string& a3 = {},
                        const std::string& a4 = {});

[[noreturn]] void raise(int number, const std::string& a1 = {}, const std::string& a2 = {}, const std::string& a3 = {},
                        const std::string& a4 = {});

} // namespace eora
