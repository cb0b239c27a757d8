// The session and command objects.
#include <cstring>
#include "platform/mssx/mssx_lexer.h"
#include "platform/oledb/odbp_errors.h"
#include "platform/oledb/odbp_object.h"
#include "platform/oledb/odbp_provider.h"
#include "platform/oledb/odbp_rowset.h"
#include "platform/oledb/odbp_text.h"

namespace {

std::wstring source_of(const odbp_settings& s) { return s.generic ? kOdbpGenericSource : kOdbpNativeSource; }

std::optional<std::string> restriction(ULONG n, const VARIANT r[], ULONG i)
{
    if (i >= n || !r || r[i].vt != VT_BSTR || !r[i].bstrVal) return std::nullopt;
    return odbp_narrow(r[i].bstrVal);
}

bool variant_true(const VARIANT& v) { return v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE; }

// A type name of the server from an OLE DB column description.
mssx_type type_of_desc(const DBCOLUMNDESC& d)
{
    if (d.pwszTypeName && *d.pwszTypeName) {
        std::string t = odbp_narrow(d.pwszTypeName);
        std::vector<std::string> args;
        size_t p = t.find('(');
        std::string base = p == std::string::npos ? t : t.substr(0, p);
        if (p != std::string::npos) {
            std::string inner = t.substr(p + 1, t.find(')') - p - 1);
            size_t b = 0;
            for (size_t i = 0; i <= inner.size(); ++i)
                if (i == inner.size() || inner[i] == ',') {
                    args.push_back(inner.substr(b, i - b));
                    b = i + 1;
                }
        } else {
            std::string l = mssx_upper(base);
            if (l == "DECIMAL" || l == "NUMERIC")
                args = {std::to_string(d.bPrecision ? d.bPrecision : 18), std::to_string(d.bScale)};
            else if (l == "VARCHAR" || l == "NVARCHAR" || l == "VARBINARY" || l == "CHAR" || l == "NCHAR" ||
                     l == "BINARY")
                args = {d.ulColumnSize == 0 || d.ulColumnSize > (l[0] == 'N' ? 4000u : 8000u)
                            ? "max"
                            : std::to_string(d.ulColumnSize)};
        }
        return mssx_make_type(base, args);
    }
    auto sized = [&](const char* name, DBLENGTH limit) {
        return mssx_make_type(name, {d.ulColumnSize == 0 || d.ulColumnSize > limit ? std::string("max")
                                                                                   : std::to_string(d.ulColumnSize)});
    };
    switch (d.wType) {
    case DBTYPE_I2:
    case DBTYPE_I1:
        return mssx_make_type("smallint", {});
    case DBTYPE_I4:
    case DBTYPE_UI2:
        return mssx_make_type("int", {});
    case DBTYPE_I8:
    case DBTYPE_UI4:
    case DBTYPE_UI8:
        return mssx_make_type("bigint", {});
    case DBTYPE_UI1:
        return mssx_make_type("tinyint", {});
    case DBTYPE_R4:
        return mssx_make_type("real", {});
    case DBTYPE_R8:
        return mssx_make_type("float", {});
    case DBTYPE_CY:
        return mssx_make_type("money", {});
    case DBTYPE_BOOL:
        return mssx_make_type("bit", {});
    case DBTYPE_NUMERIC:
    case DBTYPE_DECIMAL:
        return mssx_make_type("decimal", {std::to_string(d.bPrecision ? d.bPrecision : 18), std::to_string(d.bScale)});
    case DBTYPE_STR:
        return sized("varchar", 8000);
    case DBTYPE_WSTR:
    case DBTYPE_BSTR:
        return sized("nvarchar", 4000);
    case DBTYPE_BYTES:
        return sized("varbinary", 8000);
    case DBTYPE_DBTIMESTAMP:
    case DBTYPE_DATE:
        return mssx_make_type("datetime", {});
    case DBTYPE_DBDATE:
        return mssx_make_type("date", {});
    case DBTYPE_DBTIME:
    case DBTYPE_DBTIME2:
        return mssx_make_type("time", {});
    case DBTYPE_GUID:
        return mssx_make_type("uniqueidentifier", {});
    case DBTYPE_XML:
        return mssx_make_type("xml", {});
    default:
        throw mssx_error(2715,
                         "Column, parameter, or variable #1: Cannot find data type " + std::to_string(d.wType) + ".");
    }
}

std::string default_literal(const VARIANT& v)
{
    switch (v.vt) {
    case VT_BSTR:
        return odbp_narrow(v.bstrVal ? v.bstrVal : L"");
    case VT_I2:
        return std::to_string(v.iVal);
    case VT_I4:
        return std::to_string(v.lVal);
    case VT_R8: {
        char b[64];
        std::snprintf(b, sizeof b, "%.17g", v.dblVal);
        return b;
    }
    case VT_BOOL:
        return v.boolVal ? "1" : "0";
    case VT_EMPTY:
    case VT_NULL:
        return "NULL";
    default: {
        // any other typed value (decimal, money, 64-bit, bytes...) as its text
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, &v, 0, VT_BSTR)) || !text.bstrVal) {
            VariantClear(&text);
            throw mssx_error(2715, "Column default value of type " + std::to_string(v.vt) + " cannot be converted.");
        }
        std::string out = odbp_narrow(text.bstrVal);
        VariantClear(&text);
        for (char& c : out)
            if (c == ',') c = '.';
        return out;
    }
    }
}

class command final : public ICommandText, public odbp_object {
public:
    command(std::shared_ptr<odbp_backend> c, odbp_settings s, IUnknown* session)
        : c_(std::move(c)), s_(std::move(s)), session_(session)
    {
        if (session_) session_->AddRef();
    }
    ~command() override
    {
        if (session_) session_->Release();
    }
    ODBP_IUNKNOWN_METHODS
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ICommand || riid == IID_ICommandText)
            return give(static_cast<ICommandText*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Cancel() override { return S_OK; }
    HRESULT Execute(IUnknown* outer, REFIID riid, DBPARAMS*, DBROWCOUNT* affected, IUnknown** pp) override
    {
        odbp_clear_error();
        if (pp) *pp = nullptr;
        if (outer) return DB_E_NOAGGREGATION;
        if (!has_text_)
            return odbp_fail(DB_E_NOCOMMAND, L"No command text was set for the command object.", source_of(s_));
        odbp_batch out = c_->execute(text_);
        if (affected) *affected = out.rows_affected;
        if (!out.errors.empty()) return odbp_fail(out.errors, false, source_of(s_));
        if (riid == IID_NULL || !pp || !out.result) return S_OK;
        // going back to the start runs the command again, as a server does
        auto reopen = [c = c_, text = text_]() -> std::unique_ptr<odbp_cursor> {
            odbp_batch again = c->execute(text);
            if (!again.errors.empty()) throw again.errors.front();
            if (!again.result) throw mssx_error(50000, "The command gave no rows when run again.");
            return std::move(again.result);
        };
        return odbp_create_rowset(std::move(out.result), reopen, s_.generic, riid, pp);
    }
    HRESULT GetDBSession(REFIID riid, IUnknown** pp) override
    {
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (!session_) return S_FALSE;
        return session_->QueryInterface(riid, reinterpret_cast<void**>(pp));
    }
    HRESULT GetCommandText(GUID* dialect, LPOLESTR* text) override
    {
        odbp_clear_error();
        if (!text) return E_INVALIDARG;
        if (!has_text_) {
            *text = nullptr;
            return DB_E_NOCOMMAND;
        }
        if (dialect) *dialect = DBGUID_DBSQL;
        std::wstring w = odbp_widen(text_);
        *text = static_cast<LPOLESTR>(CoTaskMemAlloc((w.size() + 1) * sizeof(OLECHAR)));
        std::memcpy(*text, w.c_str(), (w.size() + 1) * sizeof(OLECHAR));
        return S_OK;
    }
    HRESULT SetCommandText(REFGUID dialect, LPCOLESTR text) override
    {
        odbp_clear_error();
        if (!(dialect == DBGUID_DBSQL || dialect == DBGUID_DEFAULT))
            return odbp_fail(static_cast<HRESULT>(0x80040E1Bu), L"The command dialect is not supported.",
                             source_of(s_));
        has_text_ = text != nullptr;
        text_ = odbp_narrow(text);
        return S_OK;
    }

private:
    std::shared_ptr<odbp_backend> c_;
    odbp_settings s_;
    IUnknown* session_;
    std::string text_;
    bool has_text_ = false;
};

class session final : public IOpenRowset,
                      public IDBCreateCommand,
                      public IDBSchemaRowset,
                      public ITableDefinition,
                      public odbp_object {
public:
    session(std::shared_ptr<odbp_backend> c, odbp_settings s) : c_(std::move(c)), s_(std::move(s)) {}
    ODBP_IUNKNOWN_METHODS
    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IOpenRowset) return give(static_cast<IOpenRowset*>(this), ppv);
        if (riid == IID_IDBCreateCommand) return give(static_cast<IDBCreateCommand*>(this), ppv);
        if (riid == IID_IDBSchemaRowset) return give(static_cast<IDBSchemaRowset*>(this), ppv);
        if (riid == IID_ITableDefinition) return give(static_cast<ITableDefinition*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT OpenRowset(IUnknown* outer, DBID* table, DBID*, REFIID riid, ULONG nsets, DBPROPSET sets[],
                       IUnknown** pp) override
    {
        odbp_clear_error();
        if (pp) *pp = nullptr;
        if (outer) return DB_E_NOAGGREGATION;
        if (!table || table->eKind != DBKIND_NAME || !table->uName.pwszName) return E_INVALIDARG;
        std::string name = odbp_narrow(table->uName.pwszName);
        bool keep_identity = false;
        for (ULONG i = 0; i < nsets && sets; ++i)
            for (ULONG k = 0; k < sets[i].cProperties; ++k) {
                DBPROP& p = sets[i].rgProperties[k];
                p.dwStatus = DBPROPSTATUS_OK;
                if (sets[i].guidPropertySet == DBPROPSET_SQLSERVERROWSET &&
                    p.dwPropertyID == SSPROP_FASTLOADKEEPIDENTITY)
                    keep_identity = variant_true(p.vValue);
            }
        if (!pp) return S_OK;
        try {
            if (riid == IID_IRowsetFastLoad) {
                if (!s_.fast_load)
                    return odbp_fail(E_NOINTERFACE, L"Fast load was not enabled on the data source.", source_of(s_));
                return odbp_create_fast_load(c_, s_, name, keep_identity, riid, pp);
            }
            return table_rowset(name, riid, pp);
        } catch (const mssx_error& e) {
            return odbp_fail(e, false, source_of(s_));
        }
    }

    HRESULT CreateCommand(IUnknown* outer, REFIID riid, IUnknown** pp) override
    {
        odbp_clear_error();
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (outer) return DB_E_NOAGGREGATION;
        return odbp_create_command(c_, s_, static_cast<IOpenRowset*>(this), riid, pp);
    }

    HRESULT GetRowset(IUnknown* outer, REFGUID schema, ULONG n, const VARIANT r[], REFIID riid, ULONG, DBPROPSET[],
                      IUnknown** pp) override
    {
        odbp_clear_error();
        if (!pp) return E_INVALIDARG;
        *pp = nullptr;
        if (outer) return DB_E_NOAGGREGATION;
        mssx_restrictions rs;
        for (ULONG i = 0; i < n; ++i) rs.push_back(restriction(n, r, i));
        try {
            odbp_schema which;
            if (schema == DBSCHEMA_TABLES)
                which = odbp_schema::tables;
            else if (schema == DBSCHEMA_PRIMARY_KEYS)
                which = odbp_schema::primary_keys;
            else if (schema == DBSCHEMA_FOREIGN_KEYS)
                which = odbp_schema::foreign_keys;
            else if (schema == DBSCHEMA_INDEXES)
                which = odbp_schema::indexes;
            else
                return odbp_fail(E_INVALIDARG, L"The schema rowset is not supported.", source_of(s_));
            auto reopen = [c = c_, which, rs] { return c->schema_rowset(which, rs); };
            return odbp_create_rowset(c_->schema_rowset(which, rs), reopen, s_.generic, riid, pp);
        } catch (const mssx_error& e) {
            return odbp_fail(e, false, source_of(s_));
        }
    }
    HRESULT GetSchemas(ULONG* pc, GUID** schemas, ULONG** support) override
    {
        if (!pc || !schemas) return E_INVALIDARG;
        const GUID all[] = {DBSCHEMA_TABLES, DBSCHEMA_PRIMARY_KEYS, DBSCHEMA_FOREIGN_KEYS, DBSCHEMA_INDEXES};
        *pc = 4;
        *schemas = static_cast<GUID*>(CoTaskMemAlloc(sizeof all));
        std::memcpy(*schemas, all, sizeof all);
        if (support) {
            *support = static_cast<ULONG*>(CoTaskMemAlloc(sizeof(ULONG) * 4));
            const ULONG bits[] = {0xF, 0x7, 0x3F, 0x1F};
            std::memcpy(*support, bits, sizeof bits);
        }
        return S_OK;
    }

    HRESULT CreateTable(IUnknown* outer, DBID* table, DBORDINAL n, const DBCOLUMNDESC descs[], REFIID riid, ULONG,
                        DBPROPSET[], DBID** newid, IUnknown** pp) override
    {
        odbp_clear_error();
        if (pp) *pp = nullptr;
        if (newid) *newid = nullptr;
        if (outer) return DB_E_NOAGGREGATION;
        if (!table || table->eKind != DBKIND_NAME || !table->uName.pwszName || (n && !descs)) return E_INVALIDARG;
        std::vector<mssx_new_column> cols;
        try {
            for (DBORDINAL i = 0; i < n; ++i) {
                const DBCOLUMNDESC& d = descs[i];
                mssx_new_column col;
                col.name =
                    d.dbcid.eKind == DBKIND_NAME && d.dbcid.uName.pwszName ? odbp_narrow(d.dbcid.uName.pwszName) : "";
                col.type = type_of_desc(d);
                for (ULONG s = 0; s < d.cPropertySets && d.rgPropertySets; ++s) {
                    if (!(d.rgPropertySets[s].guidPropertySet == DBPROPSET_COLUMN)) continue;
                    for (ULONG k = 0; k < d.rgPropertySets[s].cProperties; ++k) {
                        DBPROP& p = d.rgPropertySets[s].rgProperties[k];
                        p.dwStatus = DBPROPSTATUS_OK;
                        if (p.dwPropertyID == DBPROP_COL_AUTOINCREMENT)
                            col.identity = variant_true(p.vValue);
                        else if (p.dwPropertyID == DBPROP_COL_NULLABLE)
                            col.nullable = variant_true(p.vValue);
                        else if (p.dwPropertyID == DBPROP_COL_DEFAULT && p.vValue.vt != VT_EMPTY)
                            col.default_sql = default_literal(p.vValue);
                    }
                }
                cols.push_back(std::move(col));
            }
            std::string name = odbp_narrow(table->uName.pwszName);
            c_->create_table(name, cols);
            if (pp && riid != IID_NULL) return table_rowset(name, riid, pp);
            return S_OK;
        } catch (const mssx_error& e) {
            if (e.number == 2714)
                return odbp_fail(
                    DB_E_DUPLICATETABLEID,
                    std::vector<odbp_error_record>{{DB_E_DUPLICATETABLEID, 2714, "42S01", odbp_widen(e.what())}},
                    source_of(s_));
            return odbp_fail(e, false, source_of(s_));
        }
    }
    HRESULT DropTable(DBID* table) override
    {
        odbp_clear_error();
        if (!table || table->eKind != DBKIND_NAME || !table->uName.pwszName) return E_INVALIDARG;
        std::string name = odbp_narrow(table->uName.pwszName);
        odbp_batch out = c_->execute("DROP TABLE " + odbp_held_name(name));
        if (!out.errors.empty()) {
            if (out.errors[0].number == 3701)
                return odbp_fail(
                    DB_E_NOTABLE,
                    std::vector<odbp_error_record>{{DB_E_NOTABLE, 3701, "42S02", odbp_widen(out.errors[0].what())}},
                    source_of(s_));
            return odbp_fail(out.errors, false, source_of(s_));
        }
        return S_OK;
    }
    HRESULT AddColumn(DBID*, DBCOLUMNDESC*, DBID**) override { return DB_E_NOTSUPPORTED; }
    HRESULT DropColumn(DBID*, DBID*) override { return DB_E_NOTSUPPORTED; }

private:
    // The rows of a table, read as the client goes (throws mssx_error).
    HRESULT table_rowset(const std::string& name, REFIID riid, IUnknown** pp)
    {
        auto reopen = [c = c_, name] { return c->open_table(name); };
        return odbp_create_rowset(c_->open_table(name), reopen, s_.generic, riid, pp);
    }

    std::shared_ptr<odbp_backend> c_;
    odbp_settings s_;
};

} // namespace

HRESULT odbp_create_session(std::shared_ptr<odbp_backend> conn, const odbp_settings& s, REFIID riid, IUnknown** pp)
{
    auto* o = new session(std::move(conn), s);
    HRESULT hr = o->QueryInterface(riid, reinterpret_cast<void**>(pp));
    o->Release();
    return hr;
}

HRESULT odbp_create_command(std::shared_ptr<odbp_backend> conn, const odbp_settings& s, IUnknown* sess, REFIID riid,
                            IUnknown** pp)
{
    auto* o = new command(std::move(conn), s, sess);
    HRESULT hr = o->QueryInterface(riid, reinterpret_cast<void**>(pp));
    o->Release();
    return hr;
}
