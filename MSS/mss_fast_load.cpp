#include "MSS/mss_fast_load.h"

#include <cstring>
#include <cwctype>

#include "MSS/CSeqStream.h"
#include "MSS/mss_engine.h"
#include "MSS/odb_exception.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"

mss_fast_load::mss_fast_load() : long_threshold(8000) { tk_logger::log(1, "mss_fast_load::ctor"); }

mss_fast_load::~mss_fast_load()
{
    tk_logger::log(1, "mss_fast_load::dtor");
    drop_streams();
    accessor.release();
    fast_load.release();
    tk_logger::log(1, "mss_fast_load::dtor - at the end");
}

HRESULT mss_fast_load::open_table(IOpenRowset* session, const std::wstring& table, const udb_schema& schema,
                                  bool keep_identity)
{
    if (b_open) throw tk_mail_assertion("mss_floa", 147);
    if (table.empty()) throw tk_mail_assertion("mss_floa", 148);
    tk_logger::log(1, "mss_fast_load::open_table");
    if (!session) return E_INVALIDARG;
    std::wstring name = table;
    DBID id{};
    id.eKind = DBKIND_NAME;
    id.uName.pwszName = name.data();
    DBPROP prop{};
    prop.dwPropertyID = SSPROP_FASTLOADKEEPIDENTITY;
    prop.dwOptions = DBPROPOPTIONS_OPTIONAL;
    prop.colid = DB_NULLID;
    VariantInit(&prop.vValue);
    prop.vValue.vt = VT_BOOL;
    prop.vValue.boolVal = keep_identity ? VARIANT_TRUE : VARIANT_FALSE;
    DBPROPSET set{&prop, 1, DBPROPSET_SQLSERVERROWSET};
    ole_com_ptr<IRowsetFastLoad> rowset;
    HRESULT hr =
        session->OpenRowset(nullptr, &id, nullptr, IID_IRowsetFastLoad, 1, &set, reinterpret_cast<IUnknown**>(&rowset));
    if (FAILED(hr) || !rowset.p) {
        tk_logger::log(2, "open_rowset->OpenRowset failed: %08X", static_cast<unsigned>(hr));
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    const mss_engine* engine = mss_engine::find();
    hr = accessor.BindColumns(rowset.p, schema, long_threshold, engine && engine->is_2008_mode(),
                              engine ? engine->version : 0);
    if (FAILED(hr)) {
        tk_logger::log(2, "CDynamicAccessor::BindColumns failed: %08X", static_cast<unsigned>(hr));
        return hr;
    }
    fast_load = std::move(rowset);
    counter = 0;
    tk_logger::log(1, "b_open_table->true");
    b_open = true;
    return S_OK;
}

DBTYPE mss_fast_load::bound_type(DBORDINAL ordinal) const
{
    const DBBINDING* b = accessor.binding(ordinal);
    return b ? b->wType : DBTYPE_EMPTY;
}

DBLENGTH mss_fast_load::bound_length(DBORDINAL ordinal) const
{
    const DBBINDING* b = accessor.binding(ordinal);
    return b ? b->cbMaxLen : 0;
}

bool mss_fast_load::bind_data2(const void* data, DBLENGTH length, DBORDINAL ordinal)
{
    return bind_data3(data, length, ordinal);
}

bool mss_fast_load::bind_data3(const void* data, DBLENGTH length, DBORDINAL ordinal)
{
    if (!b_open) throw tk_mail_assertion("mss_floa", 70);
    tk_logger::log(1, "mss_fast_load::bind_data3(%d,%d,%d)", data ? 1 : 0, static_cast<int>(length),
                   static_cast<int>(ordinal));
    const DBBINDING* b = accessor.binding(ordinal);
    if (!b) return false;
    tk_logger::log(1, "Step #3: t=%d", static_cast<int>(b->wType));
    tk_logger::log(1, "BindData: type=%d, prec=%d, scale=%d", static_cast<int>(b->wType), b->bPrecision, b->bScale);
    BYTE* value = accessor.value(ordinal);
    if (b->wType == DBTYPE_IUNKNOWN) {
        // A stream still held from a row that was never inserted is ours to release.
        IUnknown* held = nullptr;
        std::memcpy(&held, value, sizeof held);
        if (held) held->Release();
        std::memset(value, 0, sizeof held);
    }
    if (!data && length == 0) {
        tk_logger::log(1, "Setting NULL-flag");
        accessor.set_status(ordinal, DBSTATUS_S_ISNULL);
        accessor.set_length(ordinal, 0);
        return true;
    }
    if (!data || length > b->cbMaxLen) return false;
    accessor.set_status(ordinal, DBSTATUS_S_OK);
    accessor.set_length(ordinal, length);
    std::memcpy(value, data, length);
    return true;
}

void mss_fast_load::bind_stream(CSeqStream* stream, DBORDINAL ordinal)
{
    IUnknown* unk = stream;
    if (!bind_data3(&unk, sizeof unk, ordinal)) {
        stream->Release();
        throw tk_exception("The stream cannot be bound to its column.", 0);
    }
    accessor.set_length(ordinal, stream->length());
}

void mss_fast_load::bind_data1(double value, DBORDINAL ordinal)
{
    const DBBINDING* b = accessor.binding(ordinal);
    const mss_engine* engine = mss_engine::find();
    DB_NUMERIC numeric{};
    DBLENGTH length = 0;
    DBSTATUS status = DBSTATUS_S_OK;
    HRESULT hr = E_FAIL;
    // The conversion object may be missing; that is a failed conversion, not a crash.
    if (b && engine && engine->data_convert.p)
        hr = engine->data_convert.p->DataConvert(DBTYPE_R8, DBTYPE_NUMERIC, sizeof value, &length, &value, &numeric,
                                                 sizeof numeric, DBSTATUS_S_OK, &status, b->bPrecision, b->bScale,
                                                 DBDATACONVERT_DEFAULT);
    if (FAILED(hr) || status != DBSTATUS_S_OK) {
        tk_logger::log(3, "mss_table::fast_append. Conversion error. Decimal type. Column#: %d",
                       static_cast<int>(ordinal));
        throw tk_exception("Cannot cast types.", 0);
    }
    bind_data3(&numeric, sizeof numeric, ordinal);
}

void mss_fast_load::drop_streams()
{
    // Streams bound for a row that was never inserted are still ours.
    for (size_t i = 0; i < accessor.column_count(); ++i) {
        const DBORDINAL ordinal = i + 1;
        const DBBINDING* b = accessor.binding(ordinal);
        if (!b || b->wType != DBTYPE_IUNKNOWN || accessor.buffer() == nullptr) continue;
        BYTE* value = accessor.value(ordinal);
        IUnknown* held = nullptr;
        std::memcpy(&held, value, sizeof held);
        if (held) held->Release();
        std::memset(value, 0, sizeof held);
    }
}

void mss_fast_load::insert_data()
{
    if (!b_open) throw tk_mail_assertion("mss_floa", 112);
    if (!fast_load.p) throw tk_mail_assertion("mss_floa", 113);
    const HRESULT hr = fast_load->InsertRow(accessor.handle(), accessor.buffer());
    // The provider took over the streams of the row, whatever the outcome.
    for (size_t i = 0; i < accessor.column_count(); ++i) {
        const DBBINDING* b = accessor.binding(i + 1);
        if (b && b->wType == DBTYPE_IUNKNOWN) std::memset(accessor.value(i + 1), 0, sizeof(IUnknown*));
    }
    if (FAILED(hr)) {
        tk_logger::log(3, "m_spFastLoad->InsertRow failed: %08X", static_cast<unsigned>(hr));
        throw odb_exception(hr, true);
    }
    counter = (counter + 1) % batch_size;
    if (counter == 0) {
        const HRESULT c = fast_load->Commit(FALSE);
        if (FAILED(c)) {
            tk_logger::log(3, "m_spFastLoad->Commit failed: %08X", static_cast<unsigned>(c));
            throw odb_exception(c, true);
        }
    }
}

void mss_fast_load::close_table()
{
    if (!b_open) throw tk_mail_assertion("mss_floa", 198);
    tk_logger::log(1, "Right before m_spFastLoad->Commit");
    b_open = false;
    drop_streams();
    HRESULT hr = fast_load.p ? fast_load->Commit(TRUE) : S_OK;
    std::unique_ptr<odb_exception> failure;
    if (FAILED(hr)) {
        tk_logger::log(3, "m_spFastLoad->Commit failed: %08X", static_cast<unsigned>(hr));
        failure = std::make_unique<odb_exception>(hr, true);
    }
    tk_logger::log(1, "Right after m_spFastLoad->Commit");
    accessor.release();
    fast_load.release();
    counter = 0;
    tk_logger::log(1, "mss_fast_load::close_table - at the end");
    if (failure) throw *failure;
}

bool mss_numeric_from_text(const std::wstring& text, BYTE precision, BYTE scale, DB_NUMERIC& out)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
    std::wstring int_digits, frac_digits;
    while (i < text.size() && std::iswdigit(static_cast<wint_t>(text[i]))) int_digits += text[i++];
    if (i < text.size() && text[i] == L'.') {
        ++i;
        while (i < text.size() && std::iswdigit(static_cast<wint_t>(text[i]))) frac_digits += text[i++];
    }
    if (i != text.size() || (int_digits.empty() && frac_digits.empty()) || precision < 1 || precision > 38 ||
        scale > precision)
        return false;
    const bool round_up = frac_digits.size() > scale && frac_digits[scale] >= L'5';
    frac_digits.resize(scale, L'0');
    unsigned __int128 v = 0;
    for (wchar_t c : int_digits + frac_digits) {
        if (v >= (static_cast<unsigned __int128>(1) << 120)) return false;
        v = v * 10 + static_cast<unsigned>(c - L'0');
    }
    if (round_up) v += 1;
    unsigned __int128 limit = 1;
    for (int k = 0; k < precision; ++k) limit *= 10;
    if (v >= limit) return false;
    out = DB_NUMERIC{};
    out.precision = precision;
    out.scale = scale;
    out.sign = negative && v != 0 ? 0 : 1;
    for (int k = 0; k < 16; ++k) {
        out.val[k] = static_cast<BYTE>(v & 0xFF);
        v >>= 8;
    }
    return true;
}
