#include "tarvex/mapping_type_files.h"

#include <mutex>
#include <set>

#include "TK/tk_exception.h"
#include "TK/tk_logger.h"
#include "TK/tk_module.h"
#include "TK/tk_yaml_config.h"

namespace {

std::mutex files_mutex;
std::string files_folder; // empty: the program's own folder
std::map<std::string, mapping_type_files::type_map> loaded;

std::string folder_locked()
{
    if (!files_folder.empty()) return files_folder;
    return get_module_dir();
}

} // namespace

void mapping_type_files::set_folder(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(files_mutex);
    files_folder = folder;
    loaded.clear();
}

std::string mapping_type_files::folder()
{
    std::lock_guard<std::mutex> lock(files_mutex);
    return folder_locked();
}

std::vector<std::wstring> mapping_type_files::lookup(const char* file, const std::wstring& key, const char* load_line)
{
    const std::string name = file ? file : "";
    std::lock_guard<std::mutex> lock(files_mutex);
    auto it = loaded.find(name);
    if (it == loaded.end()) {
        if (load_line) tk_logger::log(1, "%s", load_line);
        std::string path = folder_locked();
        if (!path.empty() && path.back() != '/') path += '/';
        path += name;
        type_map types;
        if (name.empty() || !tk_yaml_config::load(path.c_str(), types, {}))
            throw tk_exception("Cannot find " + name + ". Custom type mapping is not available.", 1);
        it = loaded.emplace(name, std::move(types)).first;
    }
    auto found = it->second.find(key);
    if (found == it->second.end()) return {};
    return found->second;
}

void mapping_type_files::reset()
{
    std::lock_guard<std::mutex> lock(files_mutex);
    loaded.clear();
}
