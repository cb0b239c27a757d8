#include "MSS/odb_column_props.h"

odb_column_props::odb_column_props() { set_.guidPropertySet = DBPROPSET_COLUMN; }

odb_column_props::~odb_column_props()
{
    for (DBPROP& p : props_) VariantClear(&p.vValue);
}

DBPROP& odb_column_props::slot(DBPROPID id)
{
    for (DBPROP& p : props_)
        if (p.dwPropertyID == id) {
            VariantClear(&p.vValue);
            return p;
        }
    DBPROP p{};
    p.dwPropertyID = id;
    p.dwOptions = DBPROPOPTIONS_REQUIRED;
    p.dwStatus = DBPROPSTATUS_OK;
    p.colid = DB_NULLID;
    VariantInit(&p.vValue);
    props_.push_back(p);
    return props_.back();
}

void odb_column_props::set_bool(DBPROPID id, bool value)
{
    DBPROP& p = slot(id);
    p.vValue.vt = VT_BOOL;
    p.vValue.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void odb_column_props::set_text(DBPROPID id, const std::wstring& text)
{
    DBPROP& p = slot(id);
    p.vValue.vt = VT_BSTR;
    p.vValue.bstrVal = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
}

void odb_column_props::set_value(DBPROPID id, const VARIANT& value)
{
    DBPROP& p = slot(id);
    VariantCopy(&p.vValue, &value);
}

const DBPROP* odb_column_props::find(DBPROPID id) const
{
    for (const DBPROP& p : props_)
        if (p.dwPropertyID == id) return &p;
    return nullptr;
}

DBPROPSET* odb_column_props::get_set()
{
    set_.rgProperties = props_.data();
    set_.cProperties = static_cast<ULONG>(props_.size());
    return &set_;
}
