// A user's tour of the whole wizard against the embedded servers: the seven
// pages in turn with a conversion, and every dialog the wizard can open on the
// way. Each page and dialog is handed to a visitor while it is on screen.
#pragma once
#include <functional>
#include <string>

#include "tests/tarvex/wizard/wizard_env.h"

struct wizard_tour_visit {
    std::string name;      // a short name: "welcome", "type_mapping_decimal", ...
    HWND window = nullptr; // the page or the dialog
    HWND sheet = nullptr;  // the sheet holding a page (null for dialogs)
    bool page = false;
};

// Runs the tour; false (with a gtest failure) when it could not get through.
// The visitor may press Help or F1 on what it is shown; it must leave the
// window as it found it.
bool run_wizard_tour(wizard_env& env, const std::function<void(const wizard_tour_visit&)>& visit);
