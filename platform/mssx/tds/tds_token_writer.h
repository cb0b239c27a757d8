// Builds the token stream of a response: login acknowledgement, environment
// changes, messages, result sets and DONE tokens.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "platform/mssx/mssx_connection.h"
#include "platform/mssx/tds/tds_bytes.h"
#include "platform/mssx/tds/tds_column_format.h"

struct tds_message_text {
    int32_t number = 0;
    uint8_t state = 1;
    uint8_t severity = 0;
    std::string text;
    std::string server;
    std::string procedure;
    int32_t line = 1;
};

class tds_token_writer {
public:
    explicit tds_token_writer(uint32_t tds_version) : version_(tds_version) {}
    std::string& buffer() { return w_.buffer(); }
    size_t size() const { return w_.size(); }
    void clear() { w_.buffer().clear(); }

    void login_ack(const std::string& program, uint32_t program_version);
    void env_change(uint8_t type, const std::string& new_value, const std::string& old_value);
    // A change whose values are bytes (B_VARBYTE), as the transaction ones.
    void env_change_bytes(uint8_t type, const std::string& new_value, const std::string& old_value);
    void env_collation();
    void feature_ext_ack(); // acknowledges no feature
    void error(const tds_message_text& m);
    void info(const tds_message_text& m);
    void done(uint8_t token, uint16_t status, uint16_t cur_cmd, uint64_t rows);
    void return_status(int32_t value);
    void return_int_value(uint16_t ordinal, const std::string& name, int32_t value);

    // A result set: COLMETADATA, then ROW/NBCROW for each row.
    void result(const mssx_result& r);

private:
    uint32_t version_;
    tds_writer w_;
    void message(uint8_t token, const tds_message_text& m);
};

// Whether a result column travels as NOT NULL (then as a fixed-length type
// where the server has one): a NOT NULL column that holds no NULL.
bool tds_sends_not_null(const mssx_result& r, size_t column);

// The formats of a result's columns: widened to hold every value that
// arrives, since expression columns may be typed narrower than their values.
std::vector<tds_column_format> tds_result_formats(const mssx_result& r, uint32_t tds_version);
