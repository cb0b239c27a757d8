#include "platform/win32/win_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/win32/win_codepage.h"
#include "platform/win32/win_error.h"
#include "platform/win32/win_line_reader.h"

namespace fs = std::filesystem;

namespace {

const char* const k_root_name = "HKEY_CURRENT_USER";
const char* const k_header = "; tvx registry 1";

// One line of the file: a section header, a value, or anything else (kept as written).
struct reg_line {
    enum kind_t { other, section, value } kind = other;
    std::string raw;
    std::string key;  // section: the path below the root
    std::string name; // value: its name
    registry_value val;
};

std::mutex g_mutex;                      // one store operation at a time in this process
std::map<uintptr_t, std::string> g_keys; // open handles and their key paths
uintptr_t g_next_key = 0x1000;

std::string fold(const std::string& s)
{
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool same_name(const std::string& a, const std::string& b) { return fold(a) == fold(b); }

std::string normalize_key(const std::string& path)
{
    std::string out;
    for (char c : path) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

std::string quote(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

// Reads a quoted text at pos; pos ends after the closing quote.
std::optional<std::string> unquote(const std::string& s, size_t& pos)
{
    if (pos >= s.size() || s[pos] != '"') return std::nullopt;
    std::string out;
    for (++pos; pos < s.size(); ++pos) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < s.size()) {
            char e = s[++pos];
            out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::string utf8(const std::wstring& w) { return utf8_encode(w); }
std::wstring wide(const std::string& s) { return *utf8_decode(s, false); }

reg_line parse_line(const std::string& raw)
{
    reg_line line;
    line.raw = raw;
    const std::string& s = raw;
    if (s.size() >= 2 && s.front() == '[' && s.back() == ']') {
        std::string path = s.substr(1, s.size() - 2);
        std::string root = k_root_name;
        if (same_name(path.substr(0, root.size()), root) && (path.size() == root.size() || path[root.size()] == '\\')) {
            line.kind = reg_line::section;
            line.key = normalize_key(path.substr(root.size()));
        }
        return line;
    }
    size_t pos = 0;
    auto name = unquote(s, pos);
    if (!name || pos >= s.size() || s[pos] != '=') return line;
    ++pos;
    std::string rest = s.substr(pos);
    if (rest.rfind("dword:", 0) == 0 && rest.size() == 14) {
        char* end = nullptr;
        unsigned long v = std::strtoul(rest.c_str() + 6, &end, 16);
        if (!end || *end != '\0') return line;
        line.val.type = REG_DWORD;
        line.val.number = static_cast<DWORD>(v);
    } else {
        DWORD type = REG_SZ;
        if (rest.rfind("expand:", 0) == 0) {
            type = REG_EXPAND_SZ;
            pos += 7;
        }
        auto text = unquote(s, pos);
        if (!text || pos != s.size()) return line;
        line.val.type = type;
        line.val.text = wide(*text);
    }
    line.kind = reg_line::value;
    line.name = *name;
    return line;
}

std::string format_value(const std::string& name, const registry_value& v)
{
    std::string out = quote(name) + "=";
    if (v.type == REG_DWORD) {
        static const char k_hex[] = "0123456789abcdef";
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) out += k_hex[(v.number >> shift) & 0xF];
        return out;
    }
    if (v.type == REG_EXPAND_SZ) out += "expand:";
    return out + quote(utf8(v.text));
}

// The store file, locked for the length of one operation.
class store_file {
public:
    explicit store_file(bool write) : path_(registry_file_path())
    {
        std::error_code ec;
        fs::create_directories(fs::path(path_).parent_path(), ec);
        std::string lock_path = path_ + ".lock";
        lock_fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lock_fd_ >= 0) ::flock(lock_fd_, write ? LOCK_EX : LOCK_SH);
    }
    ~store_file()
    {
        if (lock_fd_ >= 0) ::close(lock_fd_); // releases the lock
    }
    store_file(const store_file&) = delete;
    store_file& operator=(const store_file&) = delete;

    bool locked() const { return lock_fd_ >= 0; }

    std::vector<reg_line> read() const
    {
        std::vector<reg_line> lines;
        std::ifstream in(path_, std::ios::binary);
        win_line_reader reader(in);
        std::string raw;
        while (reader.next(raw)) lines.push_back(parse_line(raw));
        return lines;
    }

    // Writes a new file beside the old one and renames it over it.
    DWORD write(const std::vector<reg_line>& lines) const
    {
        std::string text;
        if (lines.empty() || lines.front().raw != k_header) text += std::string(k_header) + "\n";
        for (const auto& l : lines) text += l.raw + "\n";
        std::string tmp = path_ + ".tmp." + std::to_string(::getpid());
        int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return win_error_from_errno(errno);
        const char* p = text.data();
        size_t left = text.size();
        while (left > 0) {
            ssize_t n = ::write(fd, p, left);
            if (n < 0) {
                if (errno == EINTR) continue;
                DWORD err = win_error_from_errno(errno);
                ::close(fd);
                ::unlink(tmp.c_str());
                return err;
            }
            p += n;
            left -= static_cast<size_t>(n);
        }
        if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(tmp.c_str(), path_.c_str()) != 0) {
            DWORD err = win_error_from_errno(errno);
            ::unlink(tmp.c_str());
            return err;
        }
        return ERROR_SUCCESS;
    }

private:
    std::string path_;
    int lock_fd_ = -1;
};

// Index of the section of a key, or -1.
long find_section(const std::vector<reg_line>& lines, const std::string& key)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].kind == reg_line::section && same_name(lines[i].key, key)) return static_cast<long>(i);
    return -1;
}

bool key_exists(const std::vector<reg_line>& lines, const std::string& key)
{
    std::string k = fold(key);
    for (const auto& l : lines) {
        if (l.kind != reg_line::section) continue;
        std::string f = fold(l.key);
        if (f == k || (f.size() > k.size() && f.compare(0, k.size(), k) == 0 && f[k.size()] == '\\') || k.empty())
            return true;
    }
    return false;
}

std::optional<std::string> key_path(HKEY key)
{
    auto it = g_keys.find(reinterpret_cast<uintptr_t>(key));
    if (it == g_keys.end()) return std::nullopt;
    return it->second;
}

LSTATUS finish(DWORD status)
{
    SetLastError(status);
    return static_cast<LSTATUS>(status);
}

// The bytes a query returns for a value: ANSI or wide text with its NUL, or the DWORD.
std::optional<std::string> value_bytes(const registry_value& v, bool wide_form)
{
    if (v.type == REG_DWORD) return std::string(reinterpret_cast<const char*>(&v.number), sizeof(DWORD));
    if (wide_form) {
        std::wstring t = v.text + L'\0';
        return std::string(reinterpret_cast<const char*>(t.data()), t.size() * sizeof(wchar_t));
    }
    auto a = wide_to_mb(CP_ACP, v.text);
    if (!a) return std::nullopt;
    return *a + '\0';
}

LSTATUS query(HKEY key, const std::wstring& name, DWORD* type, BYTE* data, DWORD* size, bool wide_form)
{
    if (data && !size) return finish(ERROR_INVALID_PARAMETER);
    registry_value v;
    LSTATUS status = registry_get(key, name, v);
    if (status != ERROR_SUCCESS) return status;
    auto bytes = value_bytes(v, wide_form);
    if (!bytes) return finish(ERROR_INVALID_PARAMETER);
    if (type) *type = v.type;
    const DWORD needed = static_cast<DWORD>(bytes->size());
    if (data) {
        if (*size < needed) {
            *size = needed;
            return finish(ERROR_MORE_DATA);
        }
        std::memcpy(data, bytes->data(), needed);
    }
    if (size) *size = needed;
    return finish(ERROR_SUCCESS);
}

std::optional<registry_value> value_from_bytes(DWORD type, const BYTE* data, DWORD size, bool wide_form)
{
    registry_value v;
    v.type = type;
    if (type == REG_DWORD) {
        if (!data || size < sizeof(DWORD)) return std::nullopt;
        std::memcpy(&v.number, data, sizeof(DWORD));
        return v;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    if (!data && size != 0) return std::nullopt;
    if (wide_form) {
        std::wstring w(size / sizeof(wchar_t), L'\0');
        if (!w.empty()) std::memcpy(w.data(), data, w.size() * sizeof(wchar_t));
        v.text = w.substr(0, std::wcslen(w.c_str())); // up to the NUL, within the size
    } else {
        std::string a(reinterpret_cast<const char*>(data), size);
        auto w = mb_to_wide(CP_ACP, std::string_view(a.c_str(), std::strlen(a.c_str())), false);
        if (!w) return std::nullopt;
        v.text = *w;
    }
    return v;
}

} // namespace

std::string registry_file_path()
{
    if (const char* f = std::getenv("TVX_REGISTRY_FILE"); f && *f) return f;
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        base = x;
    else if (const char* h = std::getenv("HOME"); h && *h)
        base = std::string(h) + "/.config";
    else
        base = ".config";
    return base + "/tarvex/registry.reg";
}

LSTATUS RegCreateKeyExA(HKEY root, LPCSTR sub_key, DWORD, LPSTR, DWORD, REGSAM, void*, HKEY* result, DWORD* disposition)
{
    if (root != HKEY_CURRENT_USER) return finish(ERROR_INVALID_HANDLE);
    if (!result || !sub_key) return finish(ERROR_INVALID_PARAMETER);
    const std::string key = normalize_key(sub_key);
    std::lock_guard lock(g_mutex);
    store_file file(true);
    if (!file.locked()) return finish(ERROR_ACCESS_DENIED);
    auto lines = file.read();
    bool existed = key_exists(lines, key);
    if (!existed) {
        if (!lines.empty() && !lines.back().raw.empty()) lines.push_back(parse_line(""));
        lines.push_back(parse_line("[" + std::string(k_root_name) + "\\" + key + "]"));
        DWORD err = file.write(lines);
        if (err != ERROR_SUCCESS) return finish(err);
    }
    uintptr_t id = g_next_key++;
    g_keys[id] = key;
    *result = reinterpret_cast<HKEY>(id);
    if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    return finish(ERROR_SUCCESS);
}

LSTATUS RegCloseKey(HKEY key)
{
    std::lock_guard lock(g_mutex);
    if (g_keys.erase(reinterpret_cast<uintptr_t>(key)) == 0) return finish(ERROR_INVALID_HANDLE);
    return finish(ERROR_SUCCESS);
}

LSTATUS registry_get(HKEY key, const std::wstring& name, registry_value& out)
{
    std::lock_guard lock(g_mutex);
    auto path = key_path(key);
    if (!path) return finish(ERROR_INVALID_HANDLE);
    store_file file(false);
    if (!file.locked()) return finish(ERROR_ACCESS_DENIED);
    auto lines = file.read();
    long sec = find_section(lines, *path);
    if (sec < 0) return finish(ERROR_FILE_NOT_FOUND);
    const std::string n = utf8(name);
    for (size_t i = static_cast<size_t>(sec) + 1; i < lines.size() && lines[i].kind != reg_line::section; ++i) {
        if (lines[i].kind == reg_line::value && same_name(lines[i].name, n)) {
            out = lines[i].val;
            return finish(ERROR_SUCCESS);
        }
    }
    return finish(ERROR_FILE_NOT_FOUND);
}

LSTATUS registry_set(HKEY key, const std::wstring& name, const registry_value& value)
{
    if (value.type != REG_DWORD && value.type != REG_SZ && value.type != REG_EXPAND_SZ)
        return finish(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(g_mutex);
    auto path = key_path(key);
    if (!path) return finish(ERROR_INVALID_HANDLE);
    store_file file(true);
    if (!file.locked()) return finish(ERROR_ACCESS_DENIED);
    auto lines = file.read();
    long sec = find_section(lines, *path);
    if (sec < 0) {
        lines.push_back(parse_line("[" + std::string(k_root_name) + "\\" + *path + "]"));
        sec = static_cast<long>(lines.size()) - 1;
    }
    const std::string n = utf8(name);
    reg_line line = parse_line(format_value(n, value));
    size_t end = static_cast<size_t>(sec) + 1;
    bool replaced = false;
    for (; end < lines.size() && lines[end].kind != reg_line::section; ++end) {
        if (lines[end].kind == reg_line::value && same_name(lines[end].name, n)) {
            line = parse_line(format_value(lines[end].name, value)); // keeps the stored spelling
            lines[end] = line;
            replaced = true;
            break;
        }
    }
    if (!replaced) {
        // After the section's last value, before blank lines that separate sections.
        size_t at = static_cast<size_t>(sec) + 1;
        for (size_t i = at; i < lines.size() && lines[i].kind != reg_line::section; ++i)
            if (lines[i].kind == reg_line::value) at = i + 1;
        lines.insert(lines.begin() + static_cast<long>(at), line);
    }
    return finish(file.write(lines));
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size)
{
    auto w = mb_to_wide(CP_ACP, name ? name : "", false);
    if (!w) return finish(ERROR_INVALID_PARAMETER);
    return query(key, *w, type, data, size, false);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size)
{
    return query(key, name ? name : L"", type, data, size, true);
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    auto w = mb_to_wide(CP_ACP, name ? name : "", false);
    auto v = value_from_bytes(type, data, size, false);
    if (!w || !v) return finish(ERROR_INVALID_PARAMETER);
    return registry_set(key, *w, *v);
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    auto v = value_from_bytes(type, data, size, true);
    if (!v) return finish(ERROR_INVALID_PARAMETER);
    return registry_set(key, name ? name : L"", *v);
}
