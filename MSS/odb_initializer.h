// Picks the SQL Server OLE DB provider and brings a data source to the
// initialised state.
#pragma once
#include <string>

#include "OLE/ole_com_ptr.h"
#include "platform/oledb/oledb.h"

class odb_initializer {
public:
    // Whether the last successful test_connection went through a native provider.
    bool native = false;

    // Fills `ds` with an initialised data source, or throws: odb_exception when
    // an installed provider refuses, tk_exception (level 1) when none is usable.
    void test_connection(ole_com_ptr<IDBInitialize>& ds, const std::wstring& server, const std::wstring& user,
                         const std::wstring& password, const std::wstring& database);
    // False when the provider is not installed; odb_exception when it refuses.
    bool test_native_connection(ole_com_ptr<IDBInitialize>& ds, REFCLSID clsid, const std::wstring& server,
                                const std::wstring& user, const std::wstring& password, const std::wstring& database);
    // False when the service component is missing; odb_exception when it refuses.
    bool test_generic_connection(ole_com_ptr<IDBInitialize>& ds, const std::wstring& connection_string);

    // The connection string of the generic provider.
    static std::wstring generic_connection_string(const std::wstring& server, const std::wstring& user,
                                                  const std::wstring& password, const std::wstring& database);
};
