// Column holders of an Oracle result: one per column, chosen by the column's OCI data type.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "OLE/ole_variant.h"
#include "UDB/t_ftd.h"
#include "platform/oci/oci.h"

class ora_type {
public:
    ora_type(OCIParam* param, uint16_t data_type);
    virtual ~ora_type();
    ora_type(const ora_type&) = delete;
    ora_type& operator=(const ora_type&) = delete;

    virtual VARTYPE get_vartype() const;
    virtual t_ftd get_ftd() const;
    virtual ole_variant to_variant() = 0;
    virtual void define(OCIStmt* stmt, ub4 pos) = 0;

    bool is_null() const { return ind == -1; }
    const std::wstring& get_name() const { return name; }
    uint32_t get_size() const { return data_size; }
    uint16_t get_data_type() const { return data_type; }
    sb2 get_indicator() const { return ind; }

protected:
    // OCIDefineByPos through check_err; text holders also ask for UTF-16 on the define.
    void define_buffer(OCIStmt* stmt, ub4 pos, void* buf, sb4 len, ub2 type, ub2* rlen, bool set_csid);
    void read_data_size(OCIParam* param);
    void log_truncation() const;

    OCIDefine* def = nullptr;
    std::wstring name;
    bool nullable = true;
    uint32_t data_size = 0;
    uint16_t ext_type = 0;
    sb2 ind = 0;
    uint16_t data_type = 0;
};

class ora_string : public ora_type {
public:
    ora_string(OCIParam* param, uint16_t data_type);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 pos) override;

private:
    std::vector<char16_t> buf;
};

class ora_number : public ora_type {
public:
    ora_number(OCIParam* param, uint16_t data_type);
    VARTYPE get_vartype() const override { return vartype; }
    t_ftd get_ftd() const override;
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 pos) override;

private:
    uint32_t precision = 0;
    uint32_t scale = 0;
    VARTYPE vartype = VT_R8;
    std::vector<char16_t> buf;
};

class ora_binary : public ora_type {
public:
    ora_binary(OCIParam* param, uint16_t data_type);
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 pos) override;

private:
    std::vector<uint8_t> buf;
    ub2 rlen = 0;
};

class ora_lob : public ora_type {
public:
    ora_lob(OCIParam* param, uint16_t data_type);
    ~ora_lob() override;
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 pos) override;
    // One chunk from `offset` (1-based); returns the amount read (characters for a CLOB, bytes for a BLOB).
    ub4 read_lob(ub4 offset, void* buffer, ub4 buffer_len);

private:
    OCILobLocator* loc = nullptr;
};

class ora_date : public ora_type {
public:
    ora_date(OCIParam* param, uint16_t data_type);
    ~ora_date() override;
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 pos) override;

private:
    OCIDateTime* dt = nullptr;
};

// LONG, LONG RAW, ROWID and interval columns, fetched as their text.
class ora_str_repr : public ora_type {
public:
    ora_str_repr(OCIParam* param, uint16_t data_type);
    VARTYPE get_vartype() const override;
    ole_variant to_variant() override;
    void define(OCIStmt* stmt, ub4 pos) override;

private:
    bool is_long_raw() const { return data_type == 24; }
    std::vector<char16_t> buf;
};

class ora_dummy : public ora_type {
public:
    ora_dummy(OCIParam* param, uint16_t data_type);
    ole_variant to_variant() override;
    void define(OCIStmt*, ub4) override {}
};
