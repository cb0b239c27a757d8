// Arbitrary statement text through the embedded Oracle's tokenizer, parser
// and translator (parse only, so the service never grows), the query parser
// on its own (text that is no statement's), plus the number and date readers
// and the script splitter.
#include "platform/eora/eora_datetime.h"
#include "platform/eora/eora_error.h"
#include "platform/eora/eora_number.h"
#include "platform/eora/eora_script.h"
#include "platform/eora/eora_select_parse.h"
#include "platform/eora/eora_session.h"
#include "platform/eora/eora_storage_name.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace {

eora::session& session()
{
    static std::unique_ptr<eora::session> s = [] {
        auto dir = std::filesystem::temp_directory_path() / ("fuzz_eora_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::string file = (dir / "ORCL.db").string();
        std::filesystem::remove(file);
        eora::session::create_service(file, "manager");
        auto p = std::make_unique<eora::session>(file, "SYSTEM", "manager");
        for (const char* sql : {"CREATE TABLE T (A NUMBER(5,2) NOT NULL, B VARCHAR2(10), C CLOB, D DATE)",
                                "CREATE SEQUENCE S", "ALTER TABLE T ADD CONSTRAINT PK PRIMARY KEY (A)"}) {
            auto st = p->prepare(sql);
            p->execute(*st, {});
        }
        return p;
    }();
    return *s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    eora::session& s = session();
    try {
        auto st = s.prepare(text);
        std::vector<eora::value> binds(st->binds.size());
        s.execute(*st, binds, true);
    } catch (const eora::eora_error&) {}
    try {
        auto toks = eora::tokenize(text, 128);
        try {
            eora::parse_select(toks, 0, toks.size() - 1);
        } catch (const eora::eora_error&) {}
        eora::parse_expressions(toks, 0, toks.size() - 1);
    } catch (const eora::eora_error&) {}
    try {
        eora::parse_decimal(text);
        size_t cut = text.find('|');
        if (cut != std::string::npos) eora::parse_datetime(text.substr(0, cut), text.substr(cut + 1));
    } catch (const eora::eora_error&) {}
    eora::split_script(text);
    // Every name comes back from its stored form, and no two share one in SQLite's eyes.
    const std::string stored = eora::stored_name(text);
    if (eora::oracle_name(stored) != text) __builtin_trap();
    for (size_t i = 0; i < stored.size(); ++i)
        if (stored[i] >= 'a' && stored[i] <= 'z' && (i == 0 || stored[i - 1] != '~')) __builtin_trap();
    return 0;
}
