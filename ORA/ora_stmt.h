// One OCI statement handle for the span of one SQL text.
#pragma once
#include <string>
#include <vector>

#include "platform/oci/oci.h"

// A text value bound by name instead of written as a literal.
struct ora_text_bind {
    std::u16string placeholder; // ":v1"
    std::u16string text;
    bool national = false;    // the column holds national text: bound in the national character set
    bool long_column = false; // the column is a LONG: bound as one, whatever its length
};

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
    // Prepare, bind each of `binds` (their texts must outlive the execute), then execute once.
    sword run(const std::wstring& sql, const std::vector<ora_text_bind>& binds, ub4 mode = OCI_DEFAULT);

    // Binds one text value of the prepared statement, by the kind of its
    // column: a LONG column takes SQLT_LNG, every other one SQLT_CHR (a value
    // bound as LONG elsewhere is refused with ORA-01461).
    void bind_text(const ora_text_bind& b);

private:
    OCIStmt* stmt = nullptr;
    std::u16string text; // the last text prepared, as OCI takes it
};
