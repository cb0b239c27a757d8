// Test hook: the next statement whose text matches a pattern fails with a
// chosen ORA number.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace eora {

void inject_error(const std::string& pattern, int ora_number);
void clear_injections();
// The number injected for `text` (consumed), if any.
std::optional<int> take_injection(std::string_view text);

} // namespace eora
