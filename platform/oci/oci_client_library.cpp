#include "platform/oci/oci_client_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace {

const char* const library_name = "libclntsh.so";
// Versioned names of the client releases, newest first, for the loader's own
// search (a folder we can list is searched for every version it holds).
const char* const known_versions[] = {"23.1", "21.1", "19.1", "18.1", "12.1", "11.1"};

// The version numbers after "libclntsh.so.", compared as numbers.
std::vector<int> version_of(const std::string& file)
{
    std::vector<int> v;
    std::string rest = file.substr(std::strlen(library_name) + 1);
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t dot = rest.find('.', pos);
        if (dot == std::string::npos) dot = rest.size();
        v.push_back(std::atoi(rest.substr(pos, dot - pos).c_str()));
        pos = dot + 1;
    }
    return v;
}

void add_folder(std::vector<std::string>& out, const std::string& dir)
{
    namespace fs = std::filesystem;
    if (dir.empty()) return;
    std::error_code ec;
    out.push_back((fs::path(dir) / library_name).string());
    std::vector<std::string> versioned;
    const std::string prefix = std::string(library_name) + ".";
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) versioned.push_back(name);
    }
    std::sort(versioned.begin(), versioned.end(),
              [](const std::string& a, const std::string& b) { return version_of(a) > version_of(b); });
    for (const auto& name : versioned) out.push_back((fs::path(dir) / name).string());
}

} // namespace

oci_client_library::~oci_client_library()
{
    // Opened with RTLD_NODELETE: handles the library gave out stay valid.
    if (handle_) dlclose(handle_);
}

std::unique_ptr<oci_client_library> oci_client_library::open(const std::string& path, std::string& problem)
{
    // Local, so its symbols never stand in for ours nor ours for its.
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!h) {
        const char* e = dlerror();
        problem = "The Oracle client library " + path + " cannot be loaded: " + (e ? e : "unknown reason");
        return nullptr;
    }
    std::unique_ptr<oci_client_library> lib(new oci_client_library);
    lib->handle_ = h;
    lib->path_ = path;
    std::string missing;
#define TVX_OCI_LOOKUP(name)                                              \
    if (void* sym = dlsym(h, #name))                                      \
        lib->api_.name = reinterpret_cast<decltype(lib->api_.name)>(sym); \
    else if (missing.empty())                                             \
        missing = #name;
    TVX_OCI_FUNCTIONS(TVX_OCI_LOOKUP)
#undef TVX_OCI_LOOKUP
    if (!missing.empty()) {
        problem = "The Oracle client library " + path + " cannot be used: it has no function " + missing + ".";
        return nullptr;
    }
    return lib;
}

std::vector<std::string> oci_client_candidates(const char* named, const char* oracle_home, const char* ld_library_path)
{
    std::vector<std::string> out;
    if (named && *named) {
        out.push_back(named);
        return out;
    }
    if (oracle_home && *oracle_home) add_folder(out, (std::filesystem::path(oracle_home) / "lib").string());
    if (ld_library_path) {
        std::string dirs = ld_library_path;
        size_t pos = 0;
        while (pos <= dirs.size()) {
            size_t colon = dirs.find(':', pos);
            if (colon == std::string::npos) colon = dirs.size();
            add_folder(out, dirs.substr(pos, colon - pos));
            pos = colon + 1;
        }
    }
    out.push_back(library_name);
    for (const char* v : known_versions) out.push_back(std::string(library_name) + "." + v);
    return out;
}

const oci_client_library* oci_loaded_client(std::string& problem)
{
    static std::mutex mu;
    static std::unique_ptr<oci_client_library> loaded;
    // Every call routed to the library asks: once loaded, no lock.
    static std::atomic<const oci_client_library*> ready{nullptr};
    problem.clear();
    if (const oci_client_library* lib = ready.load(std::memory_order_acquire)) return lib;
    std::lock_guard<std::mutex> lock(mu);
    if (loaded) return loaded.get();
    const char* named = std::getenv("TVX_OCI_LIBRARY");
    const bool by_name = named && *named;
    for (const std::string& candidate :
         oci_client_candidates(named, std::getenv("ORACLE_HOME"), std::getenv("LD_LIBRARY_PATH"))) {
        const bool is_path = candidate.find('/') != std::string::npos;
        std::error_code ec;
        if (is_path && !by_name && !std::filesystem::exists(candidate, ec)) continue;
        std::string why;
        loaded = oci_client_library::open(candidate, why);
        if (loaded) {
            ready.store(loaded.get(), std::memory_order_release);
            return loaded.get();
        }
        // A bare name the loader does not find is no client; one it finds
        // but cannot load (a missing dependency) is worth telling.
        if (!is_path && why.find(": " + candidate + ": ") != std::string::npos) continue;
        if (problem.empty()) problem = why;
    }
    return nullptr;
}
