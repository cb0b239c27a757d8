// Arbitrary scripts split into batches as sqlcmd reads them (GO lines, $(name), :setvar, :on error).
#include <cstddef>
#include <cstdint>
#include <string>
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_sqlcmd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    mssx_sqlcmd_state st;
    st.set("given", "value");
    try {
        auto batches = mssx_split_batches(text, &st);
        for (auto& b : batches)
            if (b.text.empty() || b.repeat < 1) __builtin_trap();
    } catch (const mssx_error&) {}
    return 0;
}
