// The Oracle client library (libclntsh.so), loaded at run time and never
// linked: where it is looked for, and its functions looked up by name.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/oci/oci_api.h"

class oci_client_library {
public:
    ~oci_client_library();
    oci_client_library(const oci_client_library&) = delete;
    oci_client_library& operator=(const oci_client_library&) = delete;

    // Loads the library at `path` (a path, or a bare name for the loader's own
    // search). Null when it cannot be loaded or lacks a function; `problem`
    // then says which library and why.
    static std::unique_ptr<oci_client_library> open(const std::string& path, std::string& problem);

    const oci_api& api() const { return api_; }
    const std::string& path() const { return path_; }

private:
    oci_client_library() = default;
    void* handle_ = nullptr;
    std::string path_;
    oci_api api_;
};

// Where the client library is looked for, in order: `named` alone when it is
// set (TVX_OCI_LIBRARY); else libclntsh.so and its versioned names in
// ORACLE_HOME/lib and in each folder of LD_LIBRARY_PATH, then the bare names
// for the loader's default path. Null arguments count as unset.
std::vector<std::string> oci_client_candidates(const char* named, const char* oracle_home, const char* ld_library_path);

// The process's client library, found from the environment and loaded on the
// first call that succeeds; it stays loaded. Null when none can be loaded:
// `problem` then names the library that failed and why, or is empty when
// there was none to try.
const oci_client_library* oci_loaded_client(std::string& problem);
