#include <gtest/gtest.h>

#include "ORA/ora_exception.h"
#include "tarvex/error_handler.h"

namespace {

class recording_handler : public error_handler {
public:
    recording_handler() : error_handler(g_ora_error_count, g_ora_error_table)
    {
        load_err_map(g_odb_error_count, g_odb_error_table);
    }
    void handle(const tk_exception& e, bool) override { shown.push_back(build_message(e)); }
    std::vector<std::string> shown;
};

tk_exception coded(uint32_t code, const char* text)
{
    tk_exception e(text, 0);
    e.code = code;
    return e;
}

} // namespace

TEST(error_handler, tables_hold_every_entry_with_matching_codes)
{
    EXPECT_EQ(g_ora_error_count, 12);
    EXPECT_EQ(g_odb_error_count, 27);
    for (int i = 0; i < g_ora_error_count; ++i) EXPECT_EQ(g_ora_error_table[i].code & 0xFFF00000, 0x100000);
}

TEST(error_handler, message_is_context_then_mapped_text_on_one_line)
{
    recording_handler h;
    h.set_table_context(L"T");
    h.handle(coded(0x1003F9, "ORA-01017: invalid username/password"), false);
    h.set_record_context(L"[dbo].[A]", 2);
    h.handle(coded(0x100001, "ORA-00001"), false);
    h.handle(coded(0x80999, "provider says no"), false);
    h.clear_context();
    h.handle(coded(0, "plain"), false);
    ASSERT_EQ(h.shown.size(), 4u);
    EXPECT_EQ(h.shown[0], "T: Invalid user name or password.");
    EXPECT_EQ(h.shown[1],
              "[dbo].[A], record #2: Duplicate field values being used for an unique index were found. "
              "See 'Troubleshooting' article of the product documentation for solution.");
    EXPECT_EQ(h.shown[2], "[dbo].[A], record #2: provider says no");
    EXPECT_EQ(h.shown[3], "plain");
}

TEST(error_handler, long_context_is_never_cut)
{
    recording_handler h;
    std::wstring name(400, L'x');
    h.set_record_context(name, 12345);
    EXPECT_EQ(h.get_context(), std::string(400, 'x') + ", record #12345");
}
