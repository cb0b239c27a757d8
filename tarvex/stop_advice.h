// What the user can do about an Oracle error that ends a run: one sentence
// shown after Oracle's own message.
#pragma once
#include <string>

class ora_exception;

// Empty when there is nothing to add to Oracle's message.
std::string stop_advice(const ora_exception& e);
