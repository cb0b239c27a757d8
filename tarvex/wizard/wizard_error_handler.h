// The wizard's way of presenting errors: the internal-error dialog, a message
// box, or the Continue/Abort dialog, and the list of texts for the finish page.
#pragma once
#include <functional>

#include "tarvex/error_handler.h"

class wizard_error_handler : public error_handler {
public:
    // Both code-to-text tables are loaded.
    wizard_error_handler();

    // Returns when the caller may go on; raises tk_final_exception when the run
    // must stop; ends the process after an internal error.
    void handle(const tk_exception& e, bool may_continue) override;

    // How the process ends after an internal error (tests replace it).
    static void set_exit_function(std::function<void(int)> fn);
};
