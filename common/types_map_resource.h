// Dialog 135, the type-mapping dialog's controls.
#pragma once
#include "platform/ui/ui.h"

namespace types_map_resource {

enum {
    IDD = 135,
    IDC_TABLE = 1003,
    IDC_NAME = 1004,
    IDC_DEFAULT = 1005,
    IDC_LENGTH = 1006,
    IDC_PREC = 1007,
    IDC_SCALE = 1008,
    IDC_TYPE = 1302,
    IDC_LIST = 1316,
    IDC_LENGTH_LABEL = 1340,
    IDC_PREC_LABEL = 1341,
    IDC_SCALE_LABEL = 1342,
};

// Registers the template once; later calls do nothing.
inline void register_dialog()
{
    static const ui_dialog_resource dialog(
        IDD, {L"Edit Table",
              330,
              230,
              {
                  ui_rc::listview(IDC_LIST, 7, 7, 316, 110, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS),
                  ui_rc::groupbox(L" Table info ", -1, 7, 121, 316, 28),
                  ui_rc::ltext(L"&Name:", -1, 14, 133, 40, 8),
                  ui_rc::edittext(IDC_TABLE, 60, 131, 256, 13),
                  ui_rc::groupbox(L" Field info ", -1, 7, 152, 316, 54),
                  ui_rc::ltext(L"N&ame:", -1, 14, 164, 40, 8),
                  ui_rc::edittext(IDC_NAME, 60, 162, 100, 13),
                  ui_rc::ltext(L"&Type:", -1, 168, 164, 30, 8),
                  ui_rc::combobox(IDC_TYPE, 200, 162, 116, 100, CBS_DROPDOWNLIST),
                  ui_rc::ltext(L"&Default:", -1, 14, 184, 40, 8),
                  ui_rc::edittext(IDC_DEFAULT, 60, 182, 100, 13),
                  ui_rc::ltext(L"&Length:", IDC_LENGTH_LABEL, 168, 184, 30, 8),
                  ui_rc::edittext(IDC_LENGTH, 200, 182, 40, 13, ES_AUTOHSCROLL | ES_NUMBER),
                  ui_rc::hidden(ui_rc::ltext(L"&Prec.:", IDC_PREC_LABEL, 168, 184, 30, 8)),
                  ui_rc::hidden(ui_rc::edittext(IDC_PREC, 200, 182, 30, 13, ES_AUTOHSCROLL | ES_NUMBER)),
                  ui_rc::hidden(ui_rc::ltext(L"&Scale:", IDC_SCALE_LABEL, 240, 184, 30, 8)),
                  ui_rc::hidden(ui_rc::edittext(IDC_SCALE, 272, 182, 30, 13, ES_AUTOHSCROLL | ES_NUMBER)),
                  ui_rc::defpushbutton(L"OK", IDOK, 155, 210, 54, 14),
                  ui_rc::pushbutton(L"Cancel", IDCANCEL, 213, 210, 54, 14),
                  ui_rc::pushbutton(L"Help", IDHELP, 271, 210, 52, 14),
              }});
    (void)dialog;
}

} // namespace types_map_resource
