// Readers of the provider's schema rowsets (keys, indexes, tables).
#pragma once
#include <array>
#include <string>

#include "MSS/odb_exception.h"
#include "MSS/odb_recordset.h"
#include "OLE/ole_com_ptr.h"
#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "platform/oledb/oledb.h"

template <size_t N>
class odb_meta_data : public odb_recordset {
public:
    std::array<VARIANT, N> restrictions;
    ole_com_ptr<IDBSchemaRowset> schema_rowset;

    explicit odb_meta_data(IOpenRowset* session) : odb_recordset(std::wstring())
    {
        for (VARIANT& v : restrictions) VariantInit(&v);
        tk_logger::log(1, "odb_meta_data::ctor");
        if (!session) throw tk_mail_assertion("..\\MSS/odb_mdat", 38);
        odb_check(session->QueryInterface(IID_IDBSchemaRowset, schema_rowset.out()));
    }
    ~odb_meta_data() override
    {
        for (VARIANT& v : restrictions) VariantClear(&v);
        schema_rowset.release();
    }

protected:
    void set_restriction(size_t i, const std::wstring& value)
    {
        VariantClear(&restrictions[i]);
        restrictions[i].vt = VT_BSTR;
        restrictions[i].bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    }
    void internal_initialize(REFGUID guid)
    {
        tk_logger::log(1, "odb_meta_data::internal_initialize");
        if (schema_rowset.empty()) throw tk_mail_assertion("..\\MSS/odb_mdat", 62);
        odb_check(schema_rowset->GetRowset(nullptr, guid, static_cast<ULONG>(N), restrictions.data(), IID_IRowset, 0,
                                           nullptr, reinterpret_cast<IUnknown**>(rowset.out())));
        initialize();
    }
};

// DBSCHEMA_PRIMARY_KEYS of one table.
class odb_pk_meta_data : public odb_meta_data<3> {
public:
    odb_pk_meta_data(IOpenRowset* session, const std::wstring& table, const std::wstring& owner);
};

// DBSCHEMA_FOREIGN_KEYS that reference one table.
class odb_fk_meta_data : public odb_meta_data<6> {
public:
    odb_fk_meta_data(IOpenRowset* session, const std::wstring& table, const std::wstring& owner);
};

// DBSCHEMA_INDEXES of one table.
class odb_id_meta_data : public odb_meta_data<5> {
public:
    odb_id_meta_data(IOpenRowset* session, const std::wstring& table, const std::wstring& owner);
};

// DBSCHEMA_TABLES of type TABLE, of one schema or all.
class odb_tl_meta_data : public odb_meta_data<4> {
public:
    odb_tl_meta_data(IOpenRowset* session, const std::wstring& owner);
};
