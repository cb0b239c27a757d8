#include "platform/oledb/odbp_rowset.h"
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include "platform/mssx/mssx_lexer.h"
#include "platform/oledb/odbp_errors.h"
#include "platform/oledb/odbp_object.h"
#include "platform/oledb/odbp_text.h"

namespace {

// The longest value SQL Server stores in a hierarchyid.
constexpr DBLENGTH k_hierarchyid_bytes = 892;

} // namespace

odbp_column_meta odbp_meta_of(const mssx_result_column& c, bool generic)
{
    const mssx_type& t = c.type;
    const std::string& n = t.name;
    odbp_column_meta m{DBTYPE_WSTR, 0, 0xFF, 0xFF, c.nullable ? DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL : 0};
    auto fixed = [&](DBTYPE w, DBLENGTH s, BYTE p, BYTE sc) {
        m.wType = w;
        m.size = s;
        m.precision = p;
        m.scale = sc;
        m.flags |= DBCOLUMNFLAGS_ISFIXEDLENGTH;
    };
    const DBLENGTH kMax = 0xFFFFFFFF;
    if (n == "int")
        fixed(DBTYPE_I4, 4, 10, 0xFF);
    else if (n == "smallint")
        fixed(DBTYPE_I2, 2, 5, 0xFF);
    else if (n == "tinyint")
        fixed(DBTYPE_UI1, 1, 3, 0xFF);
    else if (n == "bigint")
        fixed(DBTYPE_I8, 8, 19, 0xFF);
    else if (n == "ole_ui2")
        fixed(DBTYPE_UI2, 2, 5, 0xFF);
    else if (n == "ole_ui4")
        fixed(DBTYPE_UI4, 4, 10, 0xFF);
    else if (n == "ole_ui8")
        fixed(DBTYPE_UI8, 8, 20, 0xFF);
    else if (n == "ole_date")
        fixed(DBTYPE_DATE, 8, 0xFF, 0xFF);
    else if (n == "bit")
        fixed(DBTYPE_BOOL, 2, 0xFF, 0xFF);
    else if (n == "real")
        fixed(DBTYPE_R4, 4, 7, 0xFF);
    else if (n == "float")
        fixed(DBTYPE_R8, 8, 15, 0xFF);
    else if (n == "money")
        fixed(DBTYPE_CY, 8, 19, 4);
    else if (n == "smallmoney")
        fixed(DBTYPE_CY, 8, 10, 4);
    else if (n == "decimal" || n == "numeric")
        fixed(DBTYPE_NUMERIC, 19, static_cast<BYTE>(t.precision), static_cast<BYTE>(t.scale));
    else if (n == "char" || n == "varchar") {
        m.wType = DBTYPE_STR;
        m.size = t.length < 0 ? kMax : static_cast<DBLENGTH>(t.length);
        if (t.length < 0) m.flags |= DBCOLUMNFLAGS_ISLONG;
        if (n == "char") m.flags |= DBCOLUMNFLAGS_ISFIXEDLENGTH;
    } else if (n == "text") {
        m.wType = DBTYPE_STR;
        m.size = 2147483647;
        m.flags |= DBCOLUMNFLAGS_ISLONG;
    } else if (n == "nchar" || n == "nvarchar") {
        m.size = t.length < 0 ? kMax : static_cast<DBLENGTH>(t.length);
        if (t.length < 0) m.flags |= DBCOLUMNFLAGS_ISLONG;
        if (n == "nchar") m.flags |= DBCOLUMNFLAGS_ISFIXEDLENGTH;
    } else if (n == "ntext") {
        m.size = 1073741823;
        m.flags |= DBCOLUMNFLAGS_ISLONG;
    } else if (n == "xml") {
        m.wType = generic ? DBTYPE_WSTR : DBTYPE_XML;
        m.size = generic ? 1073741823 : kMax;
        m.flags |= DBCOLUMNFLAGS_ISLONG;
    } else if (n == "binary" || n == "varbinary") {
        m.wType = DBTYPE_BYTES;
        m.size = t.length < 0 ? kMax : static_cast<DBLENGTH>(t.length);
        if (t.length < 0) m.flags |= DBCOLUMNFLAGS_ISLONG;
        if (n == "binary") m.flags |= DBCOLUMNFLAGS_ISFIXEDLENGTH;
    } else if (n == "image") {
        m.wType = DBTYPE_BYTES;
        m.size = 2147483647;
        m.flags |= DBCOLUMNFLAGS_ISLONG;
    } else if (n == "timestamp" || n == "rowversion") {
        fixed(DBTYPE_BYTES, 8, 0xFF, 0xFF);
        m.flags |= DBCOLUMNFLAGS_ISROWVER;
    } else if (n == "datetime")
        fixed(DBTYPE_DBTIMESTAMP, 16, 23, 3);
    else if (n == "smalldatetime")
        fixed(DBTYPE_DBTIMESTAMP, 16, 16, 0);
    else if (n == "datetime2") {
        if (generic) {
            m.size = static_cast<DBLENGTH>(t.scale ? 20 + t.scale : 19);
        } else
            fixed(DBTYPE_DBTIMESTAMP, 16, static_cast<BYTE>(t.scale ? 20 + t.scale : 19), static_cast<BYTE>(t.scale));
    } else if (n == "date") {
        if (generic)
            m.size = 10;
        else
            fixed(DBTYPE_DBDATE, 6, 10, 0xFF);
    } else if (n == "time") {
        if (generic)
            m.size = static_cast<DBLENGTH>(t.scale ? 9 + t.scale : 8);
        else
            fixed(DBTYPE_DBTIME2, 12, static_cast<BYTE>(t.scale ? 9 + t.scale : 8), static_cast<BYTE>(t.scale));
    } else if (n == "datetimeoffset") {
        if (generic)
            m.size = static_cast<DBLENGTH>(t.scale ? 34 + t.scale : 33);
        else
            fixed(DBTYPE_DBTIMESTAMPOFFSET, 20, static_cast<BYTE>(t.scale ? 27 + t.scale : 26),
                  static_cast<BYTE>(t.scale));
    } else if (n == "uniqueidentifier")
        fixed(DBTYPE_GUID, 16, 0xFF, 0xFF);
    else if (n == "sql_variant") {
        m.wType = DBTYPE_VARIANT;
        m.size = 8016;
    } else if (n == "hierarchyid") {
        // SQL Server bounds a hierarchyid at 892 bytes.
        m.wType = DBTYPE_UDT;
        m.size = k_hierarchyid_bytes;
    } else if (n == "geometry" || n == "geography") {
        m.wType = DBTYPE_UDT;
        m.size = kMax;
        m.flags |= DBCOLUMNFLAGS_ISLONG;
    } else
        m.size = 4000;
    return m;
}

HRESULT odbp_column_info(const std::vector<mssx_result_column>& cols, bool generic, DBORDINAL* pc, DBCOLUMNINFO** info,
                         OLECHAR** strings)
{
    if (!pc || !info || !strings) return E_INVALIDARG;
    *pc = cols.size();
    size_t chars = 0;
    std::vector<std::wstring> names;
    for (auto& c : cols) {
        names.push_back(odbp_widen(c.name));
        chars += names.back().size() + 1;
    }
    *info = static_cast<DBCOLUMNINFO*>(CoTaskMemAlloc(sizeof(DBCOLUMNINFO) * (cols.empty() ? 1 : cols.size())));
    *strings = static_cast<OLECHAR*>(CoTaskMemAlloc(sizeof(OLECHAR) * (chars ? chars : 1)));
    if (!*info || !*strings) return E_OUTOFMEMORY;
    OLECHAR* p = *strings;
    for (size_t i = 0; i < cols.size(); ++i) {
        odbp_column_meta m = odbp_meta_of(cols[i], generic);
        DBCOLUMNINFO& ci = (*info)[i];
        std::memset(&ci, 0, sizeof ci);
        std::memcpy(p, names[i].c_str(), (names[i].size() + 1) * sizeof(OLECHAR));
        ci.pwszName = p;
        p += names[i].size() + 1;
        ci.iOrdinal = i + 1;
        ci.dwFlags = m.flags;
        ci.ulColumnSize = m.size;
        ci.wType = m.wType;
        ci.bPrecision = m.precision;
        ci.bScale = m.scale;
        ci.columnid.eKind = DBKIND_NAME;
        ci.columnid.uName.pwszName = ci.pwszName;
    }
    return S_OK;
}

namespace {

// The stream a DBTYPE_IUNKNOWN binding hands out for one value: it reads the
// value where the result holds it, or where the server left it, in pieces,
// so that a long value is never copied whole. A text column's stream holds
// wide characters, as its DBTYPE_WSTR binding would; a binary column's holds
// its bytes.
class value_stream final : public ISequentialStream {
public:
    // Over a value the row holds.
    value_stream(std::shared_ptr<const void> owner, const mssx_result_column& col, const mssx_value& v, bool binary)
        : owner_(std::move(owner)), binary_(binary)
    {
        const std::string* data = nullptr;
        if (auto b = std::get_if<mssx_blob>(&v))
            data = &b->bytes;
        else if (auto t = std::get_if<std::string>(&v); t && col.type.is_string())
            data = t;
        else {
            own_ = mssx_text(col.type, v);
            data = &own_;
        }
        window_ = data->data();
        window_size_ = data->size();
    }
    // Over a value left on the server.
    value_stream(std::shared_ptr<odbp_long_value> source, bool binary) : source_(std::move(source)), binary_(binary) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ISequentialStream) {
            *ppv = static_cast<ISequentialStream*>(this);
            AddRef();
            return S_OK;
        }
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
    HRESULT Read(void* pv, ULONG cb, ULONG* read) override
    {
        if (read) *read = 0;
        if (!pv) return STG_E_INVALIDPOINTER;
        auto* out = static_cast<BYTE*>(pv);
        ULONG n = 0;
        try {
            if (binary_) {
                while (n < cb) {
                    if (at_ < window_size_) {
                        const size_t k = std::min<size_t>(cb - n, window_size_ - at_);
                        std::memcpy(out + n, window_ + at_, k);
                        at_ += k;
                        n += static_cast<ULONG>(k);
                        continue;
                    }
                    if (!source_) break;
                    // Nothing at hand: bytes go from the server straight into the caller's room.
                    const size_t got = source_->read(offset_, out + n, cb - n);
                    if (got == 0) break;
                    offset_ += got;
                    n += static_cast<ULONG>(got);
                }
            } else {
                // Whole characters only: a caller asks in multiples of WCHAR.
                while (n + sizeof(WCHAR) <= cb && fill()) {
                    // A run of single-byte characters at hand goes over in one loop.
                    const size_t room = std::min<size_t>((cb - n) / sizeof(WCHAR), window_size_ - at_);
                    size_t k = 0;
                    for (; k < room && static_cast<unsigned char>(window_[at_ + k]) < 0x80; ++k) {
                        const WCHAR c = static_cast<unsigned char>(window_[at_ + k]);
                        std::memcpy(out + n + k * sizeof(WCHAR), &c, sizeof c);
                    }
                    at_ += k;
                    n += static_cast<ULONG>(k * sizeof(WCHAR));
                    if (k == room) continue; // out of room, or of the bytes at hand
                    const WCHAR c = next_char();
                    std::memcpy(out + n, &c, sizeof c);
                    n += sizeof c;
                }
            }
        } catch (const mssx_error&) {
            if (read) *read = n;
            return STG_E_READFAULT;
        }
        if (read) *read = n;
        return n < cb ? S_FALSE : S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }

    // The length of the stream's content in bytes. Throws mssx_error.
    DBLENGTH length()
    {
        if (binary_) return source_ ? source_->size() : window_size_;
        DBLENGTH chars = 0;
        auto count = [&](const char* p, size_t n) {
            for (size_t i = 0; i < n; ++i)
                if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) ++chars;
        };
        if (!source_) {
            count(window_, window_size_);
        } else if (const uint64_t total = source_->size(); total <= kPiece && offset_ == 0 && window_size_ == 0) {
            // A value of one piece is read once: counted here, then handed out by Read.
            buffer_.resize(static_cast<size_t>(total));
            size_t got = 0;
            while (got < buffer_.size()) {
                const size_t k = source_->read(got, buffer_.data() + got, buffer_.size() - got);
                if (k == 0) break;
                got += k;
            }
            window_ = buffer_.data();
            window_size_ = got;
            offset_ = got;
            at_ = 0;
            count(window_, window_size_);
        } else {
            std::vector<char> piece(static_cast<size_t>(std::min<uint64_t>(kPiece, total)));
            for (uint64_t at = 0;;) {
                const size_t got = source_->read(at, piece.data(), piece.size());
                if (got == 0) break;
                count(piece.data(), got);
                at += got;
            }
        }
        return chars * sizeof(WCHAR);
    }

private:
    static constexpr size_t kPiece = size_t{1} << 18; // bytes read from the server at a time

    ~value_stream() override = default;

    // True while bytes are left; refills the window from the server.
    bool fill()
    {
        if (at_ < window_size_) return true;
        if (!source_) return false;
        // No more room than the rest of the value takes (at least a byte, to see its end).
        const uint64_t size = source_->size();
        buffer_.resize(static_cast<size_t>(std::clamp<uint64_t>(size > offset_ ? size - offset_ : 0, 1, kPiece)));
        window_size_ = source_->read(offset_, buffer_.data(), buffer_.size());
        window_ = buffer_.data();
        offset_ += window_size_;
        at_ = 0;
        return window_size_ > 0;
    }
    int peek() { return fill() ? static_cast<unsigned char>(window_[at_]) : -1; }

    // Decodes one UTF-8 character; a malformed byte gives U+FFFD.
    WCHAR next_char()
    {
        const int lead = peek();
        ++at_;
        size_t more = lead < 0x80             ? 0
                      : (lead & 0xE0) == 0xC0 ? 1
                      : (lead & 0xF0) == 0xE0 ? 2
                      : (lead & 0xF8) == 0xF0 ? 3
                                              : 4;
        if (more == 0) return static_cast<WCHAR>(lead);
        if (more == 4) return 0xFFFD;
        char32_t cp = static_cast<char32_t>(lead) & (0x3F >> more);
        for (; more; --more) {
            const int c = peek();
            if (c < 0 || (c & 0xC0) != 0x80) return 0xFFFD;
            ++at_;
            cp = (cp << 6) | (static_cast<char32_t>(c) & 0x3F);
        }
        return static_cast<WCHAR>(cp);
    }

    ULONG refs_ = 1;
    std::shared_ptr<const void> owner_; // keeps the value alive after its row is released
    std::shared_ptr<odbp_long_value> source_;
    bool binary_;
    std::string own_;
    std::vector<char> buffer_;
    const char* window_ = nullptr; // the bytes at hand: the whole value, or a piece read from the server
    size_t window_size_ = 0;
    size_t at_ = 0;
    uint64_t offset_ = 0; // of the next piece on the server
};

// The whole of a long value left on the server, as the value the row would
// have held (`kind` tells text from bytes). Throws mssx_error.
mssx_value read_whole(odbp_long_value& source, const mssx_value& kind)
{
    std::string all(static_cast<size_t>(source.size()), '\0');
    size_t got = 0;
    while (got < all.size()) {
        const size_t n = source.read(got, all.data() + got, all.size() - got);
        if (n == 0) break;
        got += n;
    }
    all.resize(got);
    if (std::holds_alternative<mssx_blob>(kind)) return mssx_blob{std::move(all)};
    return all;
}

struct accessor_def {
    std::vector<DBBINDING> bindings;
    ULONG refs = 1;
};

class rowset final : public IRowset, public IColumnsInfo, public IAccessor, public IRowsetInfo, public odbp_object {
public:
    rowset(std::unique_ptr<odbp_cursor> rows, odbp_reopen reopen, bool generic)
        : rows_(std::move(rows)), reopen_(std::move(reopen)), generic_(generic), columns_(rows_->columns())
    {
        // What every value of a column needs of its type, worked out once for the rowset.
        for (const mssx_result_column& c : columns_)
            rules_.push_back({odbp_meta_of(c, generic_).wType == DBTYPE_BYTES, mssx_text_rule_of(c.type)});
    }
    ODBP_IUNKNOWN_METHODS
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IRowset) return give(static_cast<IRowset*>(this), ppv);
        if (riid == IID_IColumnsInfo) return give(static_cast<IColumnsInfo*>(this), ppv);
        if (riid == IID_IAccessor) return give(static_cast<IAccessor*>(this), ppv);
        if (riid == IID_IRowsetInfo) return give(static_cast<IRowsetInfo*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    // IRowset
    HRESULT AddRefRows(DBCOUNTITEM c, const HROW rows[], DBREFCOUNT refs[], DBROWSTATUS st[]) override
    {
        std::lock_guard<std::mutex> g(lock_);
        for (DBCOUNTITEM i = 0; i < c; ++i) {
            auto it = held_.find(rows[i]);
            if (refs) refs[i] = it == held_.end() ? 0 : ++it->second.refs;
            if (st) st[i] = it == held_.end() ? DBROWSTATUS_E_INVALID_LOCAL : 0;
        }
        return S_OK;
    }
    HRESULT GetData(HROW hRow, HACCESSOR hAccessor, void* pData) override
    {
        odbp_clear_error();
        std::lock_guard<std::mutex> g(lock_);
        auto it = accessors_.find(hAccessor);
        if (it == accessors_.end()) return DB_E_BADACCESSORHANDLE;
        auto held = held_.find(hRow);
        if (held == held_.end()) return DB_E_BADROWHANDLE;
        if (!pData) return E_INVALIDARG;
        const auto& row = *held->second.values;
        const auto& longs = held->second.longs;
        bool errors = false;
        for (const DBBINDING& b : it->second.bindings) {
            auto* base = static_cast<BYTE*>(pData);
            DBSTATUS status = DBSTATUS_S_OK;
            DBLENGTH length = 0;
            if (b.iOrdinal < 1 || b.iOrdinal > columns_.size()) {
                status = DBSTATUS_E_BADACCESSOR;
                errors = true;
            } else {
                const mssx_value& v = row[b.iOrdinal - 1];
                const mssx_result_column& col = columns_[b.iOrdinal - 1];
                const column_rule& rule = rules_[b.iOrdinal - 1];
                const auto& left = longs.empty() ? nullptr : longs[b.iOrdinal - 1];
                if (left)
                    status = convert_left(col, rule, v, left, b, base + b.obValue, length);
                else if (mssx_is_null(v))
                    status = DBSTATUS_S_ISNULL;
                else
                    status = convert(col, rule, v, b, base + b.obValue, length, held->second.values);
                if (status == DBSTATUS_E_CANTCONVERTVALUE) errors = true;
            }
            if (b.dwPart & DBPART_STATUS) std::memcpy(base + b.obStatus, &status, sizeof status);
            if (b.dwPart & DBPART_LENGTH) std::memcpy(base + b.obLength, &length, sizeof length);
        }
        return errors ? DB_E_ERRORSOCCURRED : S_OK;
    }
    HRESULT GetNextRows(HCHAPTER, DBROWOFFSET offset, DBROWCOUNT cRows, DBCOUNTITEM* obtained, HROW** rows) override
    {
        odbp_clear_error();
        if (!obtained || !rows) return E_INVALIDARG;
        *obtained = 0;
        if (cRows < 0) return DB_E_NOTSUPPORTED;
        std::lock_guard<std::mutex> g(lock_);
        std::vector<std::vector<mssx_value>> got;
        std::vector<std::vector<std::shared_ptr<odbp_long_value>>> got_longs;
        try {
            std::vector<mssx_value> row;
            for (DBROWOFFSET skip = offset; skip > 0 && !at_end_; --skip) at_end_ = !rows_->next(row);
            while (!at_end_ && got.size() < static_cast<size_t>(cRows)) {
                if (rows_->next(row)) {
                    std::vector<std::shared_ptr<odbp_long_value>> longs;
                    for (size_t i = 0; i < row.size(); ++i) {
                        auto l = rows_->long_value(i);
                        if (!l) continue;
                        longs.resize(row.size());
                        longs[i] = std::move(l);
                    }
                    got.push_back(std::move(row));
                    got_longs.push_back(std::move(longs));
                } else {
                    at_end_ = true;
                }
            }
        } catch (const mssx_error& e) {
            at_end_ = true;
            return odbp_fail(e, false, generic_ ? kOdbpGenericSource : kOdbpNativeSource);
        }
        size_t n = got.size();
        if (n == 0) return DB_S_ENDOFROWSET;
        if (!*rows) {
            *rows = static_cast<HROW*>(CoTaskMemAlloc(sizeof(HROW) * n));
            if (!*rows) return E_OUTOFMEMORY;
        }
        for (size_t i = 0; i < n; ++i) {
            HROW h = next_row_++;
            held_[h] = held_row{std::make_shared<const std::vector<mssx_value>>(std::move(got[i])), 1,
                                std::move(got_longs[i])};
            (*rows)[i] = h;
        }
        *obtained = n;
        return n < static_cast<size_t>(cRows) ? DB_S_ENDOFROWSET : S_OK;
    }
    HRESULT ReleaseRows(DBCOUNTITEM c, const HROW rows[], DBROWOPTIONS[], DBREFCOUNT refs[], DBROWSTATUS st[]) override
    {
        std::lock_guard<std::mutex> g(lock_);
        for (DBCOUNTITEM i = 0; i < c; ++i) {
            auto it = held_.find(rows[i]);
            DBREFCOUNT left = 0;
            if (it != held_.end() && (left = --it->second.refs) == 0) held_.erase(it);
            if (refs) refs[i] = left;
            if (st) st[i] = it == held_.end() ? DBROWSTATUS_E_INVALID_LOCAL : 0;
        }
        return S_OK;
    }
    HRESULT RestartPosition(HCHAPTER) override
    {
        odbp_clear_error();
        std::lock_guard<std::mutex> g(lock_);
        if (!reopen_) return DB_E_CANNOTRESTART_LOCAL;
        try {
            rows_ = reopen_();
        } catch (const mssx_error& e) {
            at_end_ = true;
            return odbp_fail(e, false, generic_ ? kOdbpGenericSource : kOdbpNativeSource);
        }
        at_end_ = false;
        return S_OK;
    }

    // IColumnsInfo
    HRESULT GetColumnInfo(DBORDINAL* pc, DBCOLUMNINFO** info, OLECHAR** strings) override
    {
        odbp_clear_error();
        return odbp_column_info(columns_, generic_, pc, info, strings);
    }
    HRESULT MapColumnIDs(DBORDINAL n, const DBID ids[], DBORDINAL cols[]) override
    {
        bool any_bad = false;
        for (DBORDINAL i = 0; i < n; ++i) {
            cols[i] = DB_INVALIDCOLUMN;
            if (ids[i].eKind == DBKIND_NAME && ids[i].uName.pwszName)
                for (size_t k = 0; k < columns_.size(); ++k)
                    if (mssx_iequal(columns_[k].name, odbp_narrow(ids[i].uName.pwszName))) cols[i] = k + 1;
            any_bad = any_bad || cols[i] == DB_INVALIDCOLUMN;
        }
        return any_bad ? DB_S_ERRORSOCCURRED : S_OK;
    }

    // IAccessor
    HRESULT AddRefAccessor(HACCESSOR h, DBREFCOUNT* pc) override
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = accessors_.find(h);
        if (it == accessors_.end()) return DB_E_BADACCESSORHANDLE;
        ++it->second.refs;
        if (pc) *pc = it->second.refs;
        return S_OK;
    }
    HRESULT CreateAccessor(DBACCESSORFLAGS flags, DBCOUNTITEM n, const DBBINDING b[], DBLENGTH, HACCESSOR* ph,
                           DBBINDSTATUS st[]) override
    {
        odbp_clear_error();
        if (!ph) return E_INVALIDARG;
        *ph = DB_NULL_HACCESSOR;
        if (!(flags & DBACCESSOR_ROWDATA)) return DB_E_BADACCESSORFLAGS_LOCAL;
        if (n && !b) return E_INVALIDARG;
        bool bad = false;
        for (DBCOUNTITEM i = 0; i < n; ++i) {
            DBBINDSTATUS s = DBBINDSTATUS_OK;
            if (b[i].iOrdinal < 1 || b[i].iOrdinal > columns_.size())
                s = DBBINDSTATUS_BADORDINAL;
            else if (!supported(b[i].wType))
                s = DBBINDSTATUS_UNSUPPORTEDCONVERSION;
            if (st) st[i] = s;
            bad = bad || s != DBBINDSTATUS_OK;
        }
        if (bad) return DB_E_ERRORSOCCURRED;
        std::lock_guard<std::mutex> g(lock_);
        HACCESSOR h = next_accessor_++;
        accessors_[h].bindings.assign(b, b + n);
        *ph = h;
        return S_OK;
    }
    HRESULT GetBindings(HACCESSOR h, DBACCESSORFLAGS* flags, DBCOUNTITEM* pc, DBBINDING** pb) override
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = accessors_.find(h);
        if (it == accessors_.end()) return DB_E_BADACCESSORHANDLE;
        if (flags) *flags = DBACCESSOR_ROWDATA;
        if (pc) *pc = it->second.bindings.size();
        if (pb) {
            *pb = static_cast<DBBINDING*>(
                CoTaskMemAlloc(sizeof(DBBINDING) * (it->second.bindings.empty() ? 1 : it->second.bindings.size())));
            std::memcpy(*pb, it->second.bindings.data(), sizeof(DBBINDING) * it->second.bindings.size());
        }
        return S_OK;
    }
    HRESULT ReleaseAccessor(HACCESSOR h, DBREFCOUNT* pc) override
    {
        std::lock_guard<std::mutex> g(lock_);
        auto it = accessors_.find(h);
        if (it == accessors_.end()) return DB_E_BADACCESSORHANDLE;
        ULONG left = --it->second.refs;
        if (left == 0) accessors_.erase(it);
        if (pc) *pc = left;
        return S_OK;
    }

    // IRowsetInfo
    HRESULT GetProperties(ULONG, const DBPROPIDSET[], ULONG* pc, DBPROPSET** ps) override
    {
        if (pc) *pc = 0;
        if (ps) *ps = nullptr;
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
    static constexpr DBORDINAL DB_INVALIDCOLUMN = ~DBORDINAL(0);
    static constexpr HRESULT DB_E_BADACCESSORFLAGS_LOCAL = static_cast<HRESULT>(0x80040E46u);
    static constexpr HRESULT DB_E_CANNOTRESTART_LOCAL = static_cast<HRESULT>(0x80040E18u);
    static constexpr DBROWSTATUS DBROWSTATUS_E_INVALID_LOCAL = 5;

    // What a column's values need of its type, decided when the rowset is made.
    struct column_rule {
        bool binary;         // a stream of its bytes (else of wide text)
        mssx_text_rule text; // how a value is written as text
    };

    struct held_row {
        std::shared_ptr<const std::vector<mssx_value>> values; // shared with the row's value streams
        DBREFCOUNT refs;
        // By column: the values left on the server; empty when none was.
        std::vector<std::shared_ptr<odbp_long_value>> longs;
    };

    static bool supported(DBTYPE t)
    {
        return t == DBTYPE_WSTR || t == DBTYPE_STR || t == DBTYPE_BYTES || t == DBTYPE_IUNKNOWN || t == DBTYPE_I4 ||
               t == DBTYPE_I2 || t == DBTYPE_I8 || t == DBTYPE_R8 || t == DBTYPE_BOOL || t == DBTYPE_UI4;
    }

    // A value left on the server: a stream reads it in pieces; any other
    // binding takes it whole. A value that cannot be read cannot be converted.
    DBSTATUS convert_left(const mssx_result_column& col, const column_rule& rule, const mssx_value& kind,
                          const std::shared_ptr<odbp_long_value>& source, const DBBINDING& b, BYTE* dst,
                          DBLENGTH& length)
    {
        try {
            if (b.wType != DBTYPE_IUNKNOWN) {
                const mssx_value whole = read_whole(*source, kind);
                return convert(col, rule, whole, b, dst, length, nullptr);
            }
            if (!b.pObject || b.pObject->iid != IID_ISequentialStream) return DBSTATUS_E_CANTCONVERTVALUE;
            auto* stream = new value_stream(source, rule.binary);
            try {
                length = stream->length();
            } catch (...) {
                stream->Release();
                throw;
            }
            if (!(b.dwPart & DBPART_VALUE)) {
                stream->Release();
                return DBSTATUS_S_OK;
            }
            // The consumer owns the reference and releases the stream.
            ISequentialStream* p = stream;
            std::memcpy(dst, &p, sizeof p);
            return DBSTATUS_S_OK;
        } catch (const mssx_error&) {
            length = 0;
            return DBSTATUS_E_CANTCONVERTVALUE;
        }
    }

    DBSTATUS convert(const mssx_result_column& col, const column_rule& rule, const mssx_value& v, const DBBINDING& b,
                     BYTE* dst, DBLENGTH& length, const std::shared_ptr<const std::vector<mssx_value>>& row)
    {
        switch (b.wType) {
        case DBTYPE_IUNKNOWN: {
            if (!b.pObject || b.pObject->iid != IID_ISequentialStream) return DBSTATUS_E_CANTCONVERTVALUE;
            auto* stream = new value_stream(row, col, v, rule.binary);
            length = stream->length();
            if (!(b.dwPart & DBPART_VALUE)) {
                stream->Release();
                return DBSTATUS_S_OK;
            }
            // The consumer owns the reference and releases the stream.
            ISequentialStream* p = stream;
            std::memcpy(dst, &p, sizeof p);
            return DBSTATUS_S_OK;
        }
        case DBTYPE_WSTR: {
            std::wstring& w = wide_;
            odbp_widen(mssx_text(col.type, rule.text, v), w);
            length = w.size() * sizeof(WCHAR);
            if (!(b.dwPart & DBPART_VALUE)) return DBSTATUS_S_OK;
            if (b.cbMaxLen < sizeof(WCHAR)) return length ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
            size_t fit = std::min(w.size(), b.cbMaxLen / sizeof(WCHAR) - 1);
            std::memcpy(dst, w.data(), fit * sizeof(WCHAR));
            reinterpret_cast<WCHAR*>(dst)[fit] = 0;
            const DBSTATUS status = fit < w.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
            if (w.capacity() > kKeptWideChars) std::wstring().swap(w); // a long value's room is not kept
            return status;
        }
        case DBTYPE_STR: {
            std::string s = mssx_text(col.type, rule.text, v);
            length = s.size();
            if (!(b.dwPart & DBPART_VALUE)) return DBSTATUS_S_OK;
            if (b.cbMaxLen < 1) return length ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
            size_t fit = std::min(s.size(), b.cbMaxLen - 1);
            std::memcpy(dst, s.data(), fit);
            dst[fit] = 0;
            return fit < s.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
        }
        case DBTYPE_BYTES: {
            std::string bytes =
                std::holds_alternative<mssx_blob>(v) ? std::get<mssx_blob>(v).bytes : mssx_text(col.type, rule.text, v);
            length = bytes.size();
            if (!(b.dwPart & DBPART_VALUE)) return DBSTATUS_S_OK;
            size_t fit = std::min(bytes.size(), static_cast<size_t>(b.cbMaxLen));
            std::memcpy(dst, bytes.data(), fit);
            return fit < bytes.size() ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
        }
        default: {
            // numbers through their text form
            std::string s = mssx_text(col.type, rule.text, v);
            if (col.type.name == "bit") s = s == "1" ? "-1" : "0";
            char* end = nullptr;
            if (b.wType == DBTYPE_R8) {
                double d = std::strtod(s.c_str(), &end);
                if (end == s.c_str()) return DBSTATUS_E_CANTCONVERTVALUE;
                std::memcpy(dst, &d, sizeof d);
                length = sizeof d;
                return DBSTATUS_S_OK;
            }
            long long n = std::strtoll(s.c_str(), &end, 10);
            if (end == s.c_str()) return DBSTATUS_E_CANTCONVERTVALUE;
            if (b.wType == DBTYPE_I8) {
                int64_t x = n;
                std::memcpy(dst, &x, 8);
                length = 8;
            } else if (b.wType == DBTYPE_I4 || b.wType == DBTYPE_UI4) {
                int32_t x = static_cast<int32_t>(n);
                std::memcpy(dst, &x, 4);
                length = 4;
            } else {
                int16_t x = static_cast<int16_t>(n);
                std::memcpy(dst, &x, 2);
                length = 2;
            }
            return DBSTATUS_S_OK;
        }
        }
    }

    std::unique_ptr<odbp_cursor> rows_;
    odbp_reopen reopen_;
    bool generic_;
    std::vector<mssx_result_column> columns_;
    std::vector<column_rule> rules_; // by column
    std::mutex lock_;
    bool at_end_ = false;
    std::map<HROW, held_row> held_; // rows fetched and not yet released
    HROW next_row_ = 1;
    std::map<HACCESSOR, accessor_def> accessors_;
    HACCESSOR next_accessor_ = 1;
    static constexpr size_t kKeptWideChars = size_t{1} << 16;
    std::wstring wide_; // a value's wide text, its room kept from value to value (under lock_)
};

} // namespace

HRESULT odbp_create_rowset(std::unique_ptr<odbp_cursor> rows, odbp_reopen reopen, bool generic, REFIID riid,
                           IUnknown** pp)
{
    auto* r = new rowset(std::move(rows), std::move(reopen), generic);
    HRESULT hr = r->QueryInterface(riid, reinterpret_cast<void**>(pp));
    r->Release();
    return hr;
}
