// Arbitrary text through the T-SQL batch splitter, lexer, query translator and statement parsers.
#include <cstddef>
#include <cstdint>
#include <string>
#include "platform/mssx/mssx_alter_table.h"
#include "platform/mssx/mssx_create_table.h"
#include "platform/mssx/mssx_error.h"
#include "platform/mssx/mssx_lexer.h"
#include "platform/mssx/mssx_translator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    mssx_translate_env env;
    env.version = "Microsoft SQL Server 2022";
    env.resolve_table = [](const std::vector<std::string>& parts) { return "\"" + parts.back() + "\""; };
    env.is_char_column = [](const std::string& c) { return !c.empty() && c[0] == 'c'; };
    env.variable = [](const std::string& n) -> std::optional<std::string> {
        if (n.size() > 1 && n[1] == 'v') return std::string("1");
        return std::nullopt;
    };
    std::vector<mssx_batch> batches;
    try {
        batches = mssx_split_batches(text);
    } catch (const mssx_error&) {
        return 0;
    }
    for (auto& batch : batches) {
        for (bool quoted : {true, false}) {
            try {
                auto toks = mssx_lex(batch.text, quoted);
                if (toks[0].is_word("ALTER")) (void)mssx_parse_alter_table(toks, batch.text, 0, toks.size() - 1);
                if (toks[0].is_word("CREATE")) (void)mssx_parse_create_table(toks, batch.text, 0, toks.size() - 1);
                (void)mssx_translate(toks, 0, toks.size() - 1, env);
            } catch (const mssx_error&) {
                // refusing the text is the expected answer to most inputs
            }
        }
    }
    return 0;
}
