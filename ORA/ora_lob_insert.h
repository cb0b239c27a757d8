// Writes the LOB values of one inserted row through locators selected FOR UPDATE by its ROWID.
#pragma once
#include <string>
#include <vector>

#include "ORA/ora_stmt.h"
#include "ORA/t_lob_desc.h"
#include "UDB/udb_record.h"
#include "UDB/udb_schema.h"
#include "platform/oci/oci.h"

// A column whose value goes through a LOB locator rather than a literal.
bool ora_is_lob_column(const t_ftd& ftd);

class ora_lob_insert {
public:
    // A value goes to the server in pieces of this many characters (CLOB) or
    // bytes (BLOB), so that no whole copy of it is made on the way.
    static constexpr size_t lob_piece_chars = size_t{1} << 19;
    static constexpr size_t lob_piece_bytes = size_t{1} << 20;

    // The LOB columns of a table schema; values are taken at the column positions.
    ora_lob_insert(const std::wstring& table_name, const udb_schema& schema);
    // Ready descriptors (the array insert keeps the values in a record of its own).
    ora_lob_insert(const std::wstring& table_name, const std::vector<t_lob_desc>& descs);
    ~ora_lob_insert();
    ora_lob_insert(const ora_lob_insert&) = delete;
    ora_lob_insert& operator=(const ora_lob_insert&) = delete;

    void init();
    // Selects the row's locators and writes every non-empty value; the caller
    // commits. A failed write names its column. One object serves every row
    // of its table whose LOB values sit in the same columns and fields.
    void insert(const std::wstring& rowid, const udb_record& record);
    void write_clob(size_t k, const udb_record& record);
    void write_blob(size_t k, const udb_record& record);

    const std::vector<t_lob_desc>& get_descs() const { return ld; }

private:
    // Sends the pieces `next` yields (empty at the end) in the character set
    // form `form`; false when there were none.
    template <class Piece, class Next>
    bool write_pieces(size_t k, ub2 csid, ub1 form, Next next);
    // The character set form of the LOB locator k holds, as the server gave it.
    ub1 locator_form(size_t k);

    std::wstring table_name;
    std::vector<t_lob_desc> ld;
    std::vector<OCILobLocator*> locators;
    // The locator query, prepared once: its defines and its ROWID bind stay
    // valid from row to row, since only a prepare drops them.
    std::wstring select_sql;
    ora_stmt stmt;
    std::vector<OCIDefine*> defines;
    OCIBind* rowid_bind = nullptr;
    std::u16string rowid16; // the row's ROWID, bound for the next execute
};
