#include "platform/eora/eora_private_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace eora {

bool create_private_folders(const std::string& path)
{
    std::filesystem::path p(path);
    if (p.empty()) return false;
    std::error_code ec;
    if (std::filesystem::is_directory(p, ec)) return true;
    const std::filesystem::path parent = p.parent_path();
    if (!parent.empty() && parent != p && !create_private_folders(parent.string())) return false;
    if (::mkdir(p.c_str(), k_private_folder_mode) != 0) return errno == EEXIST && std::filesystem::is_directory(p, ec);
    // mkdir's mode passes through the umask: set it whole.
    return ::chmod(p.c_str(), k_private_folder_mode) == 0;
}

void make_private(int fd)
{
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) return;
    if ((st.st_mode & 0777) != k_private_file_mode) ::fchmod(fd, k_private_file_mode);
}

} // namespace eora
