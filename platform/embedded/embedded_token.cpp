#include "platform/embedded/embedded_token.h"

#include <cctype>

namespace embedded {

bool token::is_word(std::string_view w) const
{
    if (kind != token_kind::ident || text.size() != w.size()) return false;
    for (size_t i = 0; i < w.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(w[i])) return false;
    return true;
}

} // namespace embedded
