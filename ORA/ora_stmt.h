// One OCI statement handle for the span of one SQL text.
#pragma once
#include <string>
#include "platform/oci/oci.h"

class ora_stmt {
public:
    ora_stmt();
    ~ora_stmt();
    ora_stmt(const ora_stmt&) = delete;
    ora_stmt& operator=(const ora_stmt&) = delete;

    OCIStmt* get() const { return stmt; }

    // OCIStmtPrepare in native syntax; the length given to OCI is in bytes.
    sword prepare(const std::wstring& sql);
    // Prepare, then execute `iters` iterations; both statuses through check_err.
    sword run(const std::wstring& sql, ub4 iters = 1, ub4 mode = OCI_DEFAULT);

private:
    OCIStmt* stmt = nullptr;
    std::u16string text; // the last text prepared, as OCI takes it
};
