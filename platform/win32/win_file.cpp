#include "platform/win32/win_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/win32/win_error.h"

bool file_open_test(const std::string& path, win_open_mode mode)
{
    int flags = O_RDONLY;
    if (mode == win_open_mode::read_write)
        flags = O_RDWR;
    else if (mode == win_open_mode::create_always)
        flags = O_WRONLY | O_CREAT | O_TRUNC;
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        set_last_error_from_errno();
        return false;
    }
    struct stat st {};
    bool is_dir = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    ::close(fd);
    if (is_dir) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool is_directory(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        set_last_error_from_errno();
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (::access(path.c_str(), X_OK) != 0) {
        set_last_error_from_errno();
        return false;
    }
    return true;
}

std::optional<std::string> get_cwd()
{
    std::vector<char> buf(256);
    for (;;) {
        if (::getcwd(buf.data(), buf.size())) return std::string(buf.data());
        if (errno != ERANGE) {
            set_last_error_from_errno();
            return std::nullopt;
        }
        buf.resize(buf.size() * 2);
    }
}

bool change_dir(const std::string& path)
{
    if (::chdir(path.c_str()) != 0) {
        set_last_error_from_errno();
        return false;
    }
    return true;
}

std::optional<std::string> module_path()
{
    std::vector<char> buf(256);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            set_last_error_from_errno();
            return std::nullopt;
        }
        if (static_cast<size_t>(n) < buf.size()) {
            std::string path(buf.data(), static_cast<size_t>(n));
            const std::string deleted = " (deleted)";
            if (path.size() > deleted.size() &&
                path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
                path.erase(path.size() - deleted.size());
            return path;
        }
        buf.resize(buf.size() * 2);
    }
}

std::FILE* open_private_file(const std::string& path, bool append)
{
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    const int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        set_last_error_from_errno();
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, append ? "ab" : "wb");
    if (!f) {
        set_last_error_from_errno();
        ::close(fd);
    }
    return f;
}

std::string file_write_refusal(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return std::strerror(errno);
    std::string why;
    if (::write(fd, "", 0) < 0) why = std::strerror(errno);
    ::close(fd);
    return why;
}

namespace {

bool write_all(int fd, const std::string& data)
{
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool replace_private_file(const std::string& path, const std::string& data)
{
    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        set_last_error_from_errno();
        return false;
    }
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && write_all(fd, data) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = std::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        set_last_error_from_errno();
        ::unlink(tmp.c_str());
    }
    return ok;
}
