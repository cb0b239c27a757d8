// Folders and files of a service: only their owner reads them, whatever the
// umask, since a service file holds its users' passwords.
#pragma once
#include <string>

namespace eora {

// Mode of a folder of services, and of each file in it.
inline constexpr unsigned k_private_folder_mode = 0700;
inline constexpr unsigned k_private_file_mode = 0600;

// Creates `path` and each missing folder above it with mode 0700; one that
// exists is left as it is. False when one cannot be made.
bool create_private_folders(const std::string& path);
// Gives a file of ours mode 0600 (the umask may have taken bits a program
// needs, or left others).
void make_private(int fd);

} // namespace eora
