// The data files BULK INSERT reads: fields and rows cut at their
// terminators, in a code page or UTF-16 (DATAFILETYPE = 'widechar').
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct mssx_bulk_format {
    std::string field_terminator = "\t";
    std::string row_terminator = "\r\n"; // '\n' as written means CR LF, as SQL Server reads it
    bool widechar = false;               // UTF-16LE file
    int code_page = 0;                   // char files: 0 = as stored (RAW), 65001, 1252 ...
    int64_t first_row = 1;
    int64_t last_row = 0; // 0: to the end
};

// A terminator as BULK INSERT's options write it: \t \n \r \0 \\ or 0xhh..., other text as it is.
// `row` tells a ROWTERMINATOR ('\n' alone stands for CR LF).
std::string mssx_bulk_terminator(const std::string& written, bool row);

// The rows of a data file, `fields` fields a row, as UTF-8 text; std::nullopt for an empty field.
// Throws mssx_error 4832 when the file ends inside a row.
std::vector<std::vector<std::optional<std::string>>> mssx_read_bulk_file(const std::string& bytes, size_t fields,
                                                                         const mssx_bulk_format& f);
