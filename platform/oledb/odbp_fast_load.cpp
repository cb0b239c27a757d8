// The bulk-insert rowset: rows arrive through an accessor, are held until
// Commit and then written in one go.
#include <cstring>
#include <map>
#include "platform/oledb/odbp_errors.h"
#include "platform/oledb/odbp_object.h"
#include "platform/oledb/odbp_provider.h"
#include "platform/oledb/odbp_rowset.h"
#include "platform/oledb/odbp_text.h"

namespace {

std::string pad2(int v)
{
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string numeric_text(const DB_NUMERIC& n)
{
    unsigned __int128 v = 0;
    for (int i = 15; i >= 0; --i) v = (v << 8) | n.val[i];
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v);
    if (n.scale) {
        if (digits.size() <= n.scale) digits.insert(0, n.scale - digits.size() + 1, '0');
        digits.insert(digits.size() - n.scale, ".");
    }
    return (n.sign ? "" : "-") + digits;
}

class fast_load final : public IRowsetFastLoad,
                        public IColumnsInfo,
                        public IAccessor,
                        public IRowsetInfo,
                        public odbp_object {
public:
    fast_load(std::shared_ptr<odbp_backend> c, odbp_settings s, std::string table, bool keep_identity)
        : c_(std::move(c)), s_(std::move(s)), table_(std::move(table)), keep_identity_(keep_identity)
    {
        columns_ = c_->table_columns(table_); // the table must exist
    }
    ODBP_IUNKNOWN_METHODS
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IRowsetFastLoad) return give(static_cast<IRowsetFastLoad*>(this), ppv);
        if (riid == IID_IColumnsInfo) return give(static_cast<IColumnsInfo*>(this), ppv);
        if (riid == IID_IAccessor) return give(static_cast<IAccessor*>(this), ppv);
        if (riid == IID_IRowsetInfo) return give(static_cast<IRowsetInfo*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT InsertRow(HACCESSOR h, void* data) override
    {
        odbp_clear_error();
        auto it = accessors_.find(h);
        if (it == accessors_.end()) return DB_E_BADACCESSORHANDLE;
        if (!data) return E_INVALIDARG;
        // Every column NULL until bound; built in place (copying a default
        // value here trips a false maybe-uninitialized warning of g++ 12).
        std::vector<std::optional<mssx_value>> row(columns_.size());
        for (auto& cell : row) cell.emplace(std::monostate{});
        std::vector<bool> given(columns_.size(), false);
        auto* base = static_cast<BYTE*>(data);
        for (const DBBINDING& b : it->second) {
            if (b.iOrdinal < 1 || b.iOrdinal > columns_.size()) return DB_E_BADACCESSORHANDLE;
            DBSTATUS st = DBSTATUS_S_OK;
            if (b.dwPart & DBPART_STATUS) std::memcpy(&st, base + b.obStatus, sizeof st);
            DBLENGTH len = 0;
            bool has_len = (b.dwPart & DBPART_LENGTH) != 0;
            if (has_len) std::memcpy(&len, base + b.obLength, sizeof len);
            size_t i = b.iOrdinal - 1;
            given[i] = true;
            if (st == DBSTATUS_S_ISNULL) {
                row[i].emplace(std::monostate{});
                continue;
            }
            if (st == DBSTATUS_S_DEFAULT) {
                row[i] = std::nullopt;
                continue;
            }
            BYTE* v = base + b.obValue;
            switch (b.wType) {
            case DBTYPE_WSTR: {
                const auto* w = reinterpret_cast<const wchar_t*>(v);
                size_t n = has_len ? len / sizeof(WCHAR) : std::wcslen(w);
                row[i] = odbp_narrow(std::wstring(w, n));
                break;
            }
            case DBTYPE_STR: {
                const char* s = reinterpret_cast<const char*>(v);
                row[i] = std::string(s, has_len ? len : std::strlen(s));
                break;
            }
            case DBTYPE_BYTES:
                row[i] = mssx_blob{std::string(reinterpret_cast<const char*>(v), len)};
                break;
            case DBTYPE_I2: {
                int16_t x = 0;
                std::memcpy(&x, v, 2);
                row[i] = int64_t(x);
                break;
            }
            case DBTYPE_I4: {
                int32_t x = 0;
                std::memcpy(&x, v, 4);
                row[i] = int64_t(x);
                break;
            }
            case DBTYPE_I8: {
                int64_t x = 0;
                std::memcpy(&x, v, 8);
                row[i] = x;
                break;
            }
            case DBTYPE_UI8: {
                uint64_t x = 0;
                std::memcpy(&x, v, 8);
                if (x > static_cast<uint64_t>(INT64_MAX))
                    row[i] = std::to_string(x); // beyond bigint: the server's conversion refuses it
                else
                    row[i] = static_cast<int64_t>(x);
                break;
            }
            case DBTYPE_UI1:
                row[i] = int64_t(*v);
                break;
            case DBTYPE_BOOL: {
                VARIANT_BOOL x = 0;
                std::memcpy(&x, v, 2);
                row[i] = int64_t(x != 0);
                break;
            }
            case DBTYPE_R4: {
                float x = 0;
                std::memcpy(&x, v, 4);
                row[i] = double(x);
                break;
            }
            case DBTYPE_R8: {
                double x = 0;
                std::memcpy(&x, v, 8);
                row[i] = x;
                break;
            }
            case DBTYPE_CY: {
                int64_t x = 0;
                std::memcpy(&x, v, 8);
                DB_NUMERIC n{};
                n.scale = 4;
                n.sign = x >= 0;
                unsigned __int128 m =
                    x >= 0 ? static_cast<unsigned __int128>(x) : static_cast<unsigned __int128>(-(x + 1)) + 1;
                for (int k = 0; k < 16; ++k) {
                    n.val[k] = static_cast<BYTE>(m & 0xFF);
                    m >>= 8;
                }
                row[i] = numeric_text(n);
                break;
            }
            case DBTYPE_NUMERIC: {
                DB_NUMERIC n{};
                std::memcpy(&n, v, sizeof n);
                row[i] = numeric_text(n);
                break;
            }
            case DBTYPE_DBDATE: {
                DBDATE d{};
                std::memcpy(&d, v, sizeof d);
                row[i] = std::to_string(d.year) + "-" + pad2(d.month) + "-" + pad2(d.day);
                break;
            }
            case DBTYPE_DBTIME2: {
                DBTIME2 t{};
                std::memcpy(&t, v, sizeof t);
                char f[16];
                std::snprintf(f, sizeof f, ".%09u", t.fraction);
                row[i] = pad2(t.hour) + ":" + pad2(t.minute) + ":" + pad2(t.second) + f;
                break;
            }
            case DBTYPE_DBTIMESTAMP: {
                DBTIMESTAMP t{};
                std::memcpy(&t, v, sizeof t);
                char f[16];
                std::snprintf(f, sizeof f, ".%09u", t.fraction);
                char d[16];
                std::snprintf(d, sizeof d, "%04d", t.year);
                row[i] = std::string(d) + "-" + pad2(t.month) + "-" + pad2(t.day) + " " + pad2(t.hour) + ":" +
                         pad2(t.minute) + ":" + pad2(t.second) + f;
                break;
            }
            case DBTYPE_GUID: {
                GUID g{};
                std::memcpy(&g, v, sizeof g);
                char s[40];
                std::snprintf(s, sizeof s, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2,
                              g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                              g.Data4[6], g.Data4[7]);
                row[i] = std::string(s);
                break;
            }
            case DBTYPE_IUNKNOWN: {
                // the provider takes over the stream reference: read it whole, then release it
                IUnknown* unk = nullptr;
                std::memcpy(&unk, v, sizeof unk);
                if (!unk) {
                    row[i].emplace(std::monostate{});
                    break;
                }
                ISequentialStream* stream = nullptr;
                HRESULT hr = unk->QueryInterface(IID_ISequentialStream, reinterpret_cast<void**>(&stream));
                unk->Release();
                if (FAILED(hr)) return odbp_fail(DB_E_CANTCONVERTVALUE, L"The bound object is not a stream.", source());
                std::string bytes;
                char buf[65536];
                ULONG got = 0;
                while (SUCCEEDED(stream->Read(buf, sizeof buf, &got)) && got > 0) bytes.append(buf, got);
                stream->Release();
                const mssx_type& t = columns_[i].type;
                if (t.is_binary())
                    row[i] = mssx_blob{bytes};
                else if (t.is_nchar()) {
                    std::wstring w(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(WCHAR));
                    row[i] = odbp_narrow(w);
                } else
                    row[i] = bytes;
                break;
            }
            default:
                return odbp_fail(DB_E_CANTCONVERTVALUE, L"The binding type is not supported by the bulk path.",
                                 source());
            }
        }
        for (size_t i = 0; i < given.size(); ++i)
            if (!given[i]) row[i] = std::nullopt; // unbound columns take their defaults
        pending_.push_back(std::move(row));
        return S_OK;
    }

    HRESULT Commit(BOOL) override
    {
        odbp_clear_error();
        std::vector<mssx_error> errors;
        try {
            errors = c_->bulk_append(table_, columns_, pending_, keep_identity_);
        } catch (const mssx_error& e) {
            errors.push_back(e);
        }
        pending_.clear();
        if (!errors.empty()) return odbp_fail(errors, false, source());
        return S_OK;
    }

    HRESULT GetColumnInfo(DBORDINAL* pc, DBCOLUMNINFO** info, OLECHAR** strings) override
    {
        return odbp_column_info(columns_, s_.generic, pc, info, strings);
    }
    HRESULT MapColumnIDs(DBORDINAL, const DBID[], DBORDINAL[]) override { return DB_E_NOTSUPPORTED; }

    HRESULT AddRefAccessor(HACCESSOR, DBREFCOUNT*) override { return S_OK; }
    HRESULT CreateAccessor(DBACCESSORFLAGS, DBCOUNTITEM n, const DBBINDING b[], DBLENGTH, HACCESSOR* ph,
                           DBBINDSTATUS st[]) override
    {
        odbp_clear_error();
        if (!ph || (n && !b)) return E_INVALIDARG;
        bool bad = false;
        for (DBCOUNTITEM i = 0; i < n; ++i) {
            DBBINDSTATUS s =
                b[i].iOrdinal < 1 || b[i].iOrdinal > columns_.size() ? DBBINDSTATUS_BADORDINAL : DBBINDSTATUS_OK;
            if (st) st[i] = s;
            bad = bad || s != DBBINDSTATUS_OK;
        }
        if (bad) return DB_E_ERRORSOCCURRED;
        HACCESSOR h = next_++;
        accessors_[h].assign(b, b + n);
        *ph = h;
        return S_OK;
    }
    HRESULT GetBindings(HACCESSOR, DBACCESSORFLAGS*, DBCOUNTITEM*, DBBINDING**) override { return DB_E_NOTSUPPORTED; }
    HRESULT ReleaseAccessor(HACCESSOR h, DBREFCOUNT* pc) override
    {
        if (pc) *pc = 0;
        return accessors_.erase(h) ? S_OK : DB_E_BADACCESSORHANDLE;
    }

    // Stream support is reported as a rowset property the writer may ask for.
    HRESULT GetProperties(ULONG, const DBPROPIDSET[], ULONG* pc, DBPROPSET** ps) override
    {
        if (!pc || !ps) return E_INVALIDARG;
        *pc = 1;
        *ps = static_cast<DBPROPSET*>(CoTaskMemAlloc(sizeof(DBPROPSET)));
        DBPROP* p = static_cast<DBPROP*>(CoTaskMemAlloc(sizeof(DBPROP)));
        p->dwPropertyID = DBPROP_ISequentialStream_LOCAL;
        p->dwOptions = DBPROPOPTIONS_REQUIRED;
        p->dwStatus = DBPROPSTATUS_OK;
        p->colid = DB_NULLID;
        VariantInit(&p->vValue);
        p->vValue.vt = VT_BOOL;
        p->vValue.boolVal = VARIANT_TRUE;
        (*ps)->rgProperties = p;
        (*ps)->cProperties = 1;
        (*ps)->guidPropertySet = DBPROPSET_ROWSET;
        return S_OK;
    }
    HRESULT GetReferencedRowset(DBORDINAL, REFIID, IUnknown** pp) override
    {
        if (pp) *pp = nullptr;
        return DB_E_NOTSUPPORTED;
    }
    HRESULT GetSpecification(REFIID, IUnknown** pp) override
    {
        if (pp) *pp = nullptr;
        return S_FALSE;
    }

private:
    static constexpr DBPROPID DBPROP_ISequentialStream_LOCAL = 0x89;
    std::wstring source() const { return s_.generic ? kOdbpGenericSource : kOdbpNativeSource; }
    std::shared_ptr<odbp_backend> c_;
    odbp_settings s_;
    std::string table_;
    bool keep_identity_;
    std::vector<mssx_result_column> columns_;
    std::map<HACCESSOR, std::vector<DBBINDING>> accessors_;
    HACCESSOR next_ = 1;
    std::vector<std::vector<std::optional<mssx_value>>> pending_;
};

} // namespace

HRESULT odbp_create_fast_load(std::shared_ptr<odbp_backend> conn, const odbp_settings& s, const std::string& table,
                              bool keep_identity, REFIID riid, IUnknown** pp)
{
    try {
        auto* o = new fast_load(std::move(conn), s, table, keep_identity);
        HRESULT hr = o->QueryInterface(riid, reinterpret_cast<void**>(pp));
        o->Release();
        return hr;
    } catch (const mssx_error& e) {
        return odbp_fail(e, false, s.generic ? kOdbpGenericSource : kOdbpNativeSource);
    }
}
