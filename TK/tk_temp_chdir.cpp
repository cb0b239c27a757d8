#include "TK/tk_temp_chdir.h"

#include "TK/tk_logger.h"
#include "TK/tk_module.h"
#include "platform/win32/win_file.h"

tk_temp_chdir::tk_temp_chdir(const std::string& folder)
{
    tk_logger::log(1, "tk_temp_chdir::ctor");
    initialize(folder.empty() ? get_module_dir() : folder);
}

void tk_temp_chdir::initialize(const std::string& folder)
{
    tk_logger::log(2, "tk_temp_chdir::initialize(%s)", folder.c_str());
    ok = false;
    auto cwd = get_cwd();
    if (!cwd) {
        tk_logger::log(2, "_getcwd failed");
        return;
    }
    saved = *cwd;
    ok = change_dir(folder);
    if (!ok) tk_logger::log(2, "_chdir failed");
}

tk_temp_chdir::~tk_temp_chdir()
{
    tk_logger::log(1, "tk_temp_chdir::dtor");
    if (ok) change_dir(saved);
    tk_logger::log(1, "tk_temp_chdir::dtor - at the END");
}
