#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "MSS/mss_engine.h"
#include "OLE/ole_long_value.h"
#include "UDB/udb_profile.h"
#include "UDB/udb_value_exception.h"
#include "tarvex/ora_db_mutator.h"

namespace {

ora_native_type nt(const wchar_t* name, int length, int scale = 0, int precision = 0, const wchar_t* def = L"")
{
    ora_native_type t;
    t.name = name;
    t.length = length;
    t.scale = scale;
    t.precision = precision;
    t.default_value = def;
    return t;
}

std::shared_ptr<t_ftd> column(const wchar_t* name, VARTYPE vt, uint32_t size = 0, uint32_t hint = 0)
{
    auto f = std::make_shared<t_ftd>();
    f->name = name;
    f->vartype = vt;
    f->size = size;
    f->dw_reserved = hint;
    return f;
}

std::unique_ptr<udb_field> field(const wchar_t* name, const ole_variant& v)
{
    return std::make_unique<udb_field>(name, 0, v);
}

// A source stream over fixed bytes, as the provider hands a long value.
class fixed_stream final : public ISequentialStream {
public:
    explicit fixed_stream(std::string d) : data_(std::move(d)) {}
    HRESULT QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT Read(void* pv, ULONG cb, ULONG* got) override
    {
        const size_t n = std::min<size_t>(cb, data_.size() - pos_);
        std::memcpy(pv, data_.data() + pos_, n);
        pos_ += n;
        *got = static_cast<ULONG>(n);
        return n < cb ? S_FALSE : S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

private:
    ~fixed_stream() override = default;
    std::string data_;
    size_t pos_ = 0;
    ULONG refs_ = 1;
};

ole_variant long_text(const std::wstring& text)
{
    auto* s = new fixed_stream(std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
    ole_variant v = ole_long_value::make(s, ole_long_value::form::wide_text);
    s->Release();
    return v;
}

} // namespace

TEST(type_mapping_text, stores_and_reads_back_dropped_and_changed_columns)
{
    ora_db_mutator db;
    auto* tm = db.add_table_mutator(L"[dbo].[Orders]", L"ORDERS_X");
    tm->update_field(L"Freight", L"FREIGHT_AMT", nt(L"NUMBER", 0, 2, 12, L"0"));
    tm->update_field(L"ShipVia", L"ShipVia", nt(L"VARCHAR2", 20))->status = 2;
    tm->properties[L"note"] = L"kept";

    udb_profile profile;
    ASSERT_TRUE(db.store_profile(profile));
    const auto& lines = profile.get_lines(L"Type Mappings");
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], L"database:");
    EXPECT_EQ(lines[1], L"tables:");
    EXPECT_EQ(lines[2], L"  - name: [dbo].[Orders]");
    EXPECT_EQ(lines[3], L"    new_name: ORDERS_X");
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"      - name:Freight"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"        status: deleted"), lines.end());
    EXPECT_EQ(lines.back(), L"        note: kept");

    ora_db_mutator back;
    ASSERT_TRUE(back.load_profile(profile));
    auto* t2 = back.get_table_mutator(L"[dbo].[Orders]");
    ASSERT_NE(t2, nullptr);
    EXPECT_EQ(t2->new_name, L"ORDERS_X");
    auto* freight = t2->get_field_mutator(L"Freight");
    ASSERT_NE(freight, nullptr);
    EXPECT_EQ(freight->new_name, L"FREIGHT_AMT");
    EXPECT_EQ(freight->status, 1);
    EXPECT_EQ(freight->native_type.precision, 12);
    EXPECT_EQ(freight->native_type.scale, 2);
    EXPECT_EQ(freight->native_type.default_value, L"0");
    EXPECT_EQ(freight->new_ole_type, VT_DECIMAL); // a scaled NUMBER keeps every digit
    auto* via = t2->get_field_mutator(L"ShipVia");
    ASSERT_NE(via, nullptr);
    EXPECT_EQ(via->status, 2);
    EXPECT_EQ(t2->properties[L"note"], L"kept");
}

TEST(type_mapping_text, reading_is_all_or_nothing)
{
    ora_db_mutator db;
    db.add_table_mutator(L"old", L"OLD")->update_field(L"a", L"A", nt(L"NUMBER", 0));
    udb_profile profile;
    for (const wchar_t* l : {L"tables:", L"  - name: T", L"    fields:", L"      - name:c", L"        type: DATE",
                             L"        stauts: deleted"})
        profile.add_line(L"Type Mappings", l);
    EXPECT_FALSE(db.load_profile(profile));
    EXPECT_TRUE(db.by_source.empty()); // the earlier mappings are gone too

    udb_profile early;
    for (const wchar_t* l : {L"tables:", L"    fields:"}) early.add_line(L"Type Mappings", l);
    EXPECT_FALSE(db.load_profile(early));

    udb_profile no_type;
    for (const wchar_t* l : {L"tables:", L"  - name: T", L"    fields:", L"      - name:c", L"        length: 4"})
        no_type.add_line(L"Type Mappings", l);
    EXPECT_FALSE(db.load_profile(no_type));
}

TEST(type_mapping_text, rename_only_tables_and_crlf_lines_survive)
{
    udb_profile profile;
    for (const wchar_t* l :
         {L"database:\r", L"  owner: me\r", L"tables:\r", L"  - name: T\r", L"    new_name: U\r", L"    fields:\r",
          L"    properties:\r", L"        at: 12:30\r", L"  - name: V\r", L"    fields:\r", L"      - name:c\r",
          L"        type: DATE\r", L"        status: Deleted\r"})
        profile.add_line(L"Type Mappings", l);
    ora_db_mutator db;
    ASSERT_TRUE(db.load_profile(profile));
    ASSERT_NE(db.get_table_mutator(L"T"), nullptr);
    EXPECT_EQ(db.get_table_mutator(L"T")->new_name, L"U");
    EXPECT_TRUE(db.get_table_mutator(L"T")->properties.empty()); // a value with a colon is dropped
    EXPECT_EQ(db.properties[L"owner"], L"me");
    auto* v = db.get_table_mutator(L"V");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->new_name, L"V");
    ASSERT_NE(v->get_field_mutator(L"c"), nullptr);
    EXPECT_EQ(v->get_field_mutator(L"c")->status, 1); // only "deleted" drops
}

TEST(type_mapping_text, missing_section_empties_the_mappings)
{
    ora_db_mutator db;
    db.add_table_mutator(L"T", L"T");
    udb_profile profile;
    EXPECT_TRUE(db.load_profile(profile));
    EXPECT_TRUE(db.by_source.empty());
    udb_profile out;
    EXPECT_TRUE(db.store_profile(out));
    EXPECT_EQ(out.get_lines(L"Type Mappings"), (std::vector<std::wstring>{L"database:", L"tables:"}));
}

TEST(table_mutator, drops_renames_and_retypes_schema_records_and_indexes)
{
    mss_engine engine(false); // "owner.table" names split only across owners
    engine.b_view_owned = false;
    ora_db_mutator db;
    auto* tm = db.add_table_mutator(L"[dbo].[T]", L"T2");
    tm->update_field(L"a", L"A1", nt(L"NUMBER", 0, 0, 9));
    tm->update_field(L"b", L"", nt(L"VARCHAR2", 30))->status = 2;
    tm->update_field(L"c", L"", nt(L"VARCHAR2", 30));

    udb_schema schema;
    schema.push_back(column(L"a", VT_I2));
    schema.push_back(column(L"b", VT_BSTR, 10));
    schema.push_back(column(L"c", VT_DATE, 0, 2));
    schema.push_back(column(L"d", VT_BSTR, 5));
    udb_indexes indexes;
    indexes.push_back(udb_index(L"PK_T", true, true, {L"a", L"b"}));
    indexes.push_back(udb_index(L"IX_B", false, false, {L"b"}));

    // Found by the other spelling of the same table name.
    EXPECT_EQ(db.modify1(L"dbo.T", schema, indexes), L"T2");
    ASSERT_EQ(schema.size(), 3u);
    EXPECT_EQ(schema[0].name, L"A1");
    EXPECT_EQ(schema[0].vartype, VT_I4);
    EXPECT_EQ(schema[1].name, L"c"); // an empty new name keeps the source's
    EXPECT_EQ(schema[1].dw_reserved, 0u);
    EXPECT_EQ(schema[1].native_type, L"VARCHAR2(30)");
    EXPECT_EQ(schema[2].name, L"d");
    ASSERT_EQ(indexes.size(), 1u); // IX_B lost its only column
    EXPECT_EQ(indexes[0].fields, (std::vector<std::wstring>{L"A1"}));

    udb_record rec;
    rec.push_back(field(L"a", ole_variant(short(7))));
    rec.push_back(field(L"b", ole_variant(std::wstring(L"gone"))));
    rec.push_back(field(L"c", ole_variant(std::wstring(L"x"))));
    rec.push_back(field(L"d", ole_variant(std::wstring(L"keep"))));
    udb_record* out = tm->modify2(&rec);
    ASSERT_EQ(out->size(), 3u);
    EXPECT_EQ(out->at(0).name, L"A1");
    EXPECT_EQ(out->at(0).to_long(), 7);
    EXPECT_EQ(out->at(1).name, L"c");
    EXPECT_EQ(out->at(2).to_wstring(), L"keep");
}

TEST(table_mutator, an_unconvertible_value_is_a_level_0_error_of_its_own)
{
    ora_table_mutator tm(L"T");
    tm.update_field(L"n", L"N", nt(L"NUMBER", 0, 0, 5));
    udb_record rec;
    SYSTEMTIME st{2024, 2, 4, 29, 13, 45, 12, 347};
    rec.push_back(field(L"n", ole_variant(st))); // a date never becomes a number
    try {
        tm.modify2(&rec);
        FAIL() << "expected an error";
    } catch (const mutator_conversion_exception& e) {
        EXPECT_EQ(e.level, 0);
        EXPECT_STREQ(e.what(), "Data conversion is not supported for given type mapping");
    }
}

TEST(native_type, integer_precisions_get_a_type_that_holds_every_value)
{
    VARTYPE vt = VT_EMPTY;
    uint32_t hint = 77;
    auto type_of = [&](int precision, int scale) {
        ora_native_type::get_udb_type(nt(L"NUMBER", 0, scale, precision), vt, hint);
        return vt;
    };
    EXPECT_EQ(type_of(2, 0), VT_I1);
    EXPECT_EQ(type_of(3, 0), VT_I2);
    EXPECT_EQ(type_of(4, 0), VT_I2);
    EXPECT_EQ(type_of(5, 0), VT_I4);
    EXPECT_EQ(type_of(9, 0), VT_I4);
    EXPECT_EQ(type_of(10, 0), VT_I8);
    EXPECT_EQ(type_of(19, 0), VT_I8);
    EXPECT_EQ(type_of(19, 4), VT_DECIMAL);
    EXPECT_EQ(type_of(28, 2), VT_DECIMAL);
    EXPECT_EQ(type_of(30, 2), VT_R8);
    EXPECT_EQ(type_of(0, 0), VT_R8);
    EXPECT_EQ(hint, 77u); // never written
    ora_native_type::get_udb_type(nt(L"NO_SUCH_TYPE", 0), vt, hint);
    EXPECT_EQ(vt, VT_BSTR);
}

TEST(native_type, default_oracle_types_of_source_columns)
{
    ora_db_mutator db;
    auto info = [&](VARTYPE vt, uint32_t hint) {
        t_ftd f;
        f.name = L"x";
        f.vartype = vt;
        f.dw_reserved = hint;
        ora_native_type n;
        db.get_native_type_info(f, n);
        return f.native_type;
    };
    EXPECT_EQ(info(VT_I4, 0), L"NUMBER(11,0)");
    EXPECT_EQ(info(VT_UI1, 0), L"NUMBER(5,0)");
    EXPECT_EQ(info(VT_BOOL, 0), L"NUMBER(3,0)");
    EXPECT_EQ(info(VT_I8, 0), L"NUMBER(19,0)");
    EXPECT_EQ(info(VT_CY, 0), L"NUMBER");
    EXPECT_EQ(info(VT_DECIMAL, 0x0A02), L"NUMBER(10,2)");
    EXPECT_EQ(info(VT_DECIMAL, 0x0210), L"NUMBER");
}

TEST(table_mutator, a_long_value_passes_whole_is_converted_in_pieces_or_is_refused_for_its_record)
{
    const std::wstring text(3000, L'x');
    struct mapping {
        const wchar_t* type;
        int length;
        bool refused;
        bool stays_text;
    };
    // The mapping dialog always stores a type, a rename too: each kind of target.
    for (const mapping& m :
         {mapping{L"CLOB", 0, false, true}, mapping{L"NCLOB", 0, false, true}, mapping{L"NVARCHAR2", 2000, false, true},
          mapping{L"BLOB", 0, false, false}, mapping{L"NUMBER", 0, true, false}, mapping{L"DATE", 0, true, false}}) {
        ora_table_mutator tm(L"T");
        tm.update_field(L"t", L"T2", nt(m.type, m.length));
        udb_record rec;
        rec.push_back(field(L"t", long_text(text)));
        if (m.refused) {
            EXPECT_THROW(tm.modify2(&rec), udb_value_exception) << m.type;
            continue;
        }
        udb_record* out = nullptr;
        ASSERT_NO_THROW(out = tm.modify2(&rec)) << m.type;
        ASSERT_EQ(out->size(), 1u);
        EXPECT_EQ(out->at(0).name, L"T2");
        ole_long_value* lv = ole_long_value::of(out->at(0));
        ASSERT_NE(lv, nullptr) << m.type << ": the value stays in its stream";
        EXPECT_EQ(lv->is_text(), m.stays_text) << m.type;
        const ole_variant whole = lv->read_all();
        if (m.stays_text) {
            EXPECT_TRUE(whole.to_wstring() == text) << m.type;
        } else {
            BYTE* data = nullptr;
            ASSERT_EQ(whole.get_bytes(&data), text.size());
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), text.size()), std::string(text.size(), 'x'));
        }
    }
}
