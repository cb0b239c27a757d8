// A rowset of fixed rows for reading tests without a server.
#pragma once
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/oledb/oledb.h"

struct fake_column {
    std::wstring name;
    DBTYPE type;
    DBLENGTH size;
    DBCOLUMNFLAGS flags = DBCOLUMNFLAGS_ISNULLABLE;
    BYTE precision = 0;
    BYTE scale = 0;
};

// One value: its text (bytes for binary columns), or NULL, or a status.
struct fake_value {
    std::optional<std::wstring> text;
    DBSTATUS forced_status = DBSTATUS_S_OK;
    std::vector<BYTE> bytes;
    static fake_value null() { return fake_value{}; }
    static fake_value status(DBSTATUS s)
    {
        fake_value v;
        v.forced_status = s;
        v.text = L"";
        return v;
    }
    static fake_value binary(std::vector<BYTE> b)
    {
        fake_value v;
        v.bytes = std::move(b);
        v.text = L"";
        return v;
    }
    fake_value() = default;
    fake_value(const wchar_t* t) : text(t) {}
    fake_value(std::wstring t) : text(std::move(t)) {}
};

class fake_rowset : public IRowset, public IColumnsInfo, public IAccessor {
public:
    std::vector<fake_column> cols;
    std::vector<std::vector<fake_value>> rows;
    int next_rows_calls = 0;
    int restart_calls = 0;
    size_t pos = 0;
    std::vector<DBBINDING> bound;

    fake_rowset(std::vector<fake_column> c, std::vector<std::vector<fake_value>> r)
        : cols(std::move(c)), rows(std::move(r))
    {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IRowset || riid == IID_IUnknown)
            *ppv = static_cast<IRowset*>(this);
        else if (riid == IID_IColumnsInfo)
            *ppv = static_cast<IColumnsInfo*>(this);
        else if (riid == IID_IAccessor)
            *ppv = static_cast<IAccessor*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ++refs_;
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT AddRefRows(DBCOUNTITEM, const HROW[], DBREFCOUNT[], DBROWSTATUS[]) override { return S_OK; }
    HRESULT GetData(HROW row, HACCESSOR, void* data) override
    {
        BYTE* buf = static_cast<BYTE*>(data);
        const std::vector<fake_value>& values = rows.at(row - 1);
        for (const DBBINDING& b : bound) {
            const fake_value& v = values.at(b.iOrdinal - 1);
            DBSTATUS status = v.forced_status;
            DBLENGTH length = 0;
            if (status == DBSTATUS_S_OK && !v.text) status = DBSTATUS_S_ISNULL;
            if (status == DBSTATUS_S_OK) {
                if (b.wType == DBTYPE_BYTES) {
                    length = v.bytes.size();
                    if (length > b.cbMaxLen) status = DBSTATUS_S_TRUNCATED;
                    if (length > 0) // an empty vector may have no data
                        std::memcpy(buf + b.obValue, v.bytes.data(), std::min<size_t>(length, b.cbMaxLen));
                } else {
                    length = v.text->size() * sizeof(WCHAR);
                    const size_t room = b.cbMaxLen >= sizeof(WCHAR) ? b.cbMaxLen - sizeof(WCHAR) : 0;
                    if (length > room) status = DBSTATUS_S_TRUNCATED;
                    const size_t n = std::min<size_t>(length, room);
                    std::memcpy(buf + b.obValue, v.text->data(), n);
                    std::memset(buf + b.obValue + n, 0, sizeof(WCHAR));
                }
            }
            std::memcpy(buf + b.obStatus, &status, sizeof(status));
            std::memcpy(buf + b.obLength, &length, sizeof(length));
        }
        return S_OK;
    }
    HRESULT GetNextRows(HCHAPTER, DBROWOFFSET, DBROWCOUNT n, DBCOUNTITEM* obtained, HROW** handles) override
    {
        ++next_rows_calls;
        DBCOUNTITEM k = 0;
        while (k < static_cast<DBCOUNTITEM>(n) && pos < rows.size()) (*handles)[k++] = ++pos;
        *obtained = k;
        return k < static_cast<DBCOUNTITEM>(n) ? DB_S_ENDOFROWSET : S_OK;
    }
    HRESULT ReleaseRows(DBCOUNTITEM, const HROW[], DBROWOPTIONS[], DBREFCOUNT[], DBROWSTATUS[]) override
    {
        return S_OK;
    }
    HRESULT RestartPosition(HCHAPTER) override
    {
        ++restart_calls;
        pos = 0;
        return S_OK;
    }

    HRESULT GetColumnInfo(DBORDINAL* n, DBCOLUMNINFO** info, OLECHAR** strings) override
    {
        *n = cols.size();
        size_t chars = 0;
        for (const fake_column& c : cols) chars += c.name.size() + 1;
        *strings = static_cast<OLECHAR*>(CoTaskMemAlloc(chars * sizeof(OLECHAR)));
        *info = static_cast<DBCOLUMNINFO*>(CoTaskMemAlloc(sizeof(DBCOLUMNINFO) * (cols.empty() ? 1 : cols.size())));
        OLECHAR* p = *strings;
        for (size_t i = 0; i < cols.size(); ++i) {
            DBCOLUMNINFO& ci = (*info)[i];
            ci = DBCOLUMNINFO{};
            std::memcpy(p, cols[i].name.c_str(), (cols[i].name.size() + 1) * sizeof(OLECHAR));
            ci.pwszName = p;
            p += cols[i].name.size() + 1;
            ci.iOrdinal = i + 1;
            ci.dwFlags = cols[i].flags;
            ci.ulColumnSize = cols[i].size;
            ci.wType = cols[i].type;
            ci.bPrecision = cols[i].precision;
            ci.bScale = cols[i].scale;
        }
        return S_OK;
    }
    HRESULT MapColumnIDs(DBORDINAL, const DBID[], DBORDINAL[]) override { return E_NOTIMPL; }

    HRESULT AddRefAccessor(HACCESSOR, DBREFCOUNT*) override { return S_OK; }
    HRESULT CreateAccessor(DBACCESSORFLAGS, DBCOUNTITEM n, const DBBINDING b[], DBLENGTH, HACCESSOR* h,
                           DBBINDSTATUS status[]) override
    {
        bound.assign(b, b + n);
        for (DBCOUNTITEM i = 0; i < n; ++i) status[i] = DBBINDSTATUS_OK;
        *h = 1;
        return S_OK;
    }
    HRESULT GetBindings(HACCESSOR, DBACCESSORFLAGS*, DBCOUNTITEM*, DBBINDING**) override { return E_NOTIMPL; }
    HRESULT ReleaseAccessor(HACCESSOR, DBREFCOUNT*) override { return S_OK; }

protected:
    ~fake_rowset() override = default;

private:
    ULONG refs_ = 1;
};
