#include "TK/tk_converter.h"

#include "TK/tk_exception.h"
#include "TK/tk_file_exist.h"
#include "TK/tk_file_name.h"
#include "TK/tk_logger.h"

#include "platform/win32/win_file.h"

tk_converter::tk_converter() { tk_logger::log(2, "tk_converter::ctor"); }

void tk_converter::set_silent(bool value) { silent = value; }

void tk_converter::set_logfile(const std::string& name)
{
    tk_logger::log(1, "tk_convertor::set_logfile(%s)", name.c_str());
    tk_logger* logger = tk_logger::find();
    if (!logger) return;
    log_file = name;
    if (name.empty()) {
        tk_logger::log(1, "Filename is empty");
        return;
    }
    if (tk_is_path_exist(name)) throw tk_exception("Logfile name specifies an existing path.", 1);
    if (tk_is_file_exist(name, TK_FILE_READ) && !tk_is_file_exist(name, TK_FILE_READ_WRITE))
        throw tk_exception("Logfile name specifies an existing read-only file.", 1);
    tk_file_name parts(name);
    if (!tk_is_path_exist(parts.get_folder()))
        throw tk_exception("Logfile path does not exist.\nPlease verify the correct path was given.", 1);
    const std::string why = file_write_refusal(parts.get_path());
    if (!why.empty()) throw tk_exception("Logfile cannot be written: " + why, 1);
    // The absolute form, so a later change of the working folder cannot move the log.
    logger->set_file_name(parts.get_path().c_str());
    logger->set_enabled(true);
}
