#include "platform/mssx/mssx_bulk_file.h"
#include "platform/mssx/mssx_code_page.h"
#include "platform/mssx/mssx_error.h"

namespace {

constexpr int kMsgUnexpectedEnd = 4832;

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string mssx_bulk_terminator(const std::string& w, bool row)
{
    if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) {
        std::string bytes;
        for (size_t i = 2; i + 1 < w.size(); i += 2) {
            int h = hex_digit(w[i]), l = hex_digit(w[i + 1]);
            if (h < 0 || l < 0) return w;
            bytes += static_cast<char>(h * 16 + l);
        }
        return bytes;
    }
    if (row && w == "\\n") return "\r\n";
    std::string out;
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] != '\\' || i + 1 == w.size()) {
            out += w[i];
            continue;
        }
        char n = w[++i];
        if (n == 't')
            out += '\t';
        else if (n == 'n')
            out += '\n';
        else if (n == 'r')
            out += '\r';
        else if (n == '0')
            out += '\0';
        else if (n == '\\')
            out += '\\';
        else {
            out += '\\';
            out += n;
        }
    }
    return out;
}

std::vector<std::vector<std::optional<std::string>>> mssx_read_bulk_file(const std::string& bytes, size_t fields,
                                                                         const mssx_bulk_format& f)
{
    // the file as UTF-8 text; the terminators are text of the same kind
    std::string text;
    if (f.widechar) {
        size_t skip = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                              static_cast<unsigned char>(bytes[1]) == 0xFE
                          ? 2
                          : 0;
        text = mssx_utf8_of_utf16le(bytes.substr(skip));
    } else if (f.code_page == 0 || f.code_page == kMssxUtf8CodePage) {
        text = bytes;
        if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    } else
        text = mssx_from_code_page(bytes, f.code_page);
    std::vector<std::vector<std::optional<std::string>>> rows;
    if (fields == 0) return rows;
    size_t pos = 0;
    int64_t row_no = 0;
    while (pos < text.size()) {
        ++row_no;
        std::vector<std::optional<std::string>> row;
        for (size_t i = 0; i < fields; ++i) {
            const std::string& term = i + 1 == fields ? f.row_terminator : f.field_terminator;
            size_t end = term.empty() ? std::string::npos : text.find(term, pos);
            if (end == std::string::npos) {
                // the last row may end with the file
                if (i + 1 == fields && pos <= text.size())
                    end = text.size();
                else
                    throw mssx_error(kMsgUnexpectedEnd,
                                     "Bulk load: An unexpected end of file was encountered in the data file.");
            }
            std::string v = text.substr(pos, end - pos);
            row.push_back(v.empty() ? std::nullopt : std::optional<std::string>(std::move(v)));
            pos = std::min(text.size(), end + term.size());
        }
        if (row_no < f.first_row) continue;
        if (f.last_row > 0 && row_no > f.last_row) break;
        rows.push_back(std::move(row));
    }
    return rows;
}
