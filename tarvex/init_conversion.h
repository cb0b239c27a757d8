// The scope of one conversion run: the finished flag, the start and end lines,
// COM for the running thread and the front end's timer.
#pragma once
#include <atomic>

class conversion_front_end;

class init_conversion {
public:
    init_conversion(std::atomic<bool>* finished, int com_initialized, conversion_front_end* front_end);
    ~init_conversion();
    init_conversion(const init_conversion&) = delete;
    init_conversion& operator=(const init_conversion&) = delete;

private:
    int com_initialized_;
    bool com_owned_ = false;
    std::atomic<bool>* finished_;
};
