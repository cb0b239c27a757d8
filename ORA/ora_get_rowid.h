// Runs one INSERT ... RETURNING ROWID INTO :1 and hands back the new row's ROWID.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ORA/ora_stmt.h"
#include "platform/oci/oci.h"

class ora_get_rowid {
public:
    static constexpr ub4 buffer_bytes = 512;

    ora_get_rowid();
    ~ora_get_rowid();
    ora_get_rowid(const ora_get_rowid&) = delete;
    ora_get_rowid& operator=(const ora_get_rowid&) = delete;

    // Executes and returns the ROWID text; `binds` are the statement's value
    // placeholders. With `commit` off the row waits for the caller's commit
    // (its LOB values are still to be written).
    std::wstring do_insert(const std::wstring& sql, const std::vector<ora_text_bind>& binds = {}, bool commit = true);

    static sb4 cbf_no_data(void* ctx, OCIBind* bind, ub4 iter, ub4 index, void** bufpp, ub4* alenp, ub1* piecep,
                           void** indpp);
    static sb4 cbf_get_data(void* ctx, OCIBind* bind, ub4 iter, ub4 index, void** bufpp, ub4** alenpp, ub1* piecep,
                            void** indpp, ub2** rcodepp);

private:
    ub4 returned_length = buffer_bytes;
    ora_stmt stmt;
    OCIBind* bind = nullptr;
    std::vector<char16_t> buffer;
};
