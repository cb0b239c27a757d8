// The column property set handed to ITableDefinition::CreateTable for one
// column; it owns its properties and their values.
#pragma once
#include <string>
#include <vector>

#include "platform/oledb/oledb.h"

class odb_column_props {
public:
    odb_column_props();
    odb_column_props(const odb_column_props&) = delete;
    odb_column_props& operator=(const odb_column_props&) = delete;
    ~odb_column_props();

    void set_bool(DBPROPID id, bool value);
    void set_text(DBPROPID id, const std::wstring& text);
    // Takes a copy of the value.
    void set_value(DBPROPID id, const VARIANT& value);

    // The property, or null when it was not set.
    const DBPROP* find(DBPROPID id) const;
    // The set over the properties; valid until the next change.
    DBPROPSET* get_set();

private:
    DBPROP& slot(DBPROPID id);
    std::vector<DBPROP> props_;
    DBPROPSET set_{};
};
