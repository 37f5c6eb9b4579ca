#include "ui/properties_general_resources.h"

#include <mutex>

#include "win/process.h"
#include "win/user.h"

namespace {

using namespace win_dialogs;

// Controls the builders of the template helpers do not offer.
control_template control(const wchar_t* class_name, int id, std::wstring text, DWORD style, short x,
                         short y, short cx, short cy) {
    control_template c;
    c.class_name = class_name;
    c.text = std::move(text);
    c.id = id;
    c.style = style | WS_CHILD | WS_VISIBLE;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    return c;
}

control_template separator(int id, short y) {
    return control(WC_STATICW, id, L"", SS_ETCHEDHORZ, 7, y, 240, 1);
}

control_template icon(short x, short y) {
    return control(WC_STATICW, IDC_GENERAL_ICON, L"", SS_ICON, x, y, 21, 20);
}

// A value the page shows: a read-only edit without a frame, so that the
// text can be selected and copied.
control_template value(int id, short y) {
    return control(WC_EDITW, id, L"", ES_LEFT | ES_READONLY | ES_AUTOHSCROLL, 70, y, 177, 10);
}

control_template radio(int id, std::wstring text, short x, short y, short cx, bool first) {
    return control(WC_BUTTONW, id, std::move(text),
                   BS_AUTORADIOBUTTON | WS_TABSTOP | (first ? WS_GROUP : 0), x, y, cx, 10);
}

control_template description(short y, short cy) {
    return control(WC_EDITW, IDC_GENERAL_DESCRIPTION, L"",
                   ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_BORDER |
                       WS_VSCROLL | WS_TABSTOP,
                   7, y, 240, cy);
}

// The page with the rows both pages open with: icon, name, type, location
// and size; the page's own rows follow.
dialog_template page_template(std::vector<control_template> rows) {
    dialog_template t;
    t.style = WS_CHILD | DS_CONTROL | DS_SETFONT;
    t.cx = 254;
    t.cy = 252;
    t.controls = {
        icon(7, 7),
        edit_text(IDC_GENERAL_NAME, 40, 10, 207, 14, ES_AUTOHSCROLL),
        separator(IDC_GENERAL_LINE_NAME, 33),
        left_text(IDC_GENERAL_TYPE_LABEL, L"Type:", 7, 40, 60, 8),
        value(IDC_GENERAL_TYPE, 40),
        left_text(IDC_GENERAL_LOCATION_LABEL, L"Location:", 7, 54, 60, 8),
        value(IDC_GENERAL_LOCATION, 54),
        left_text(IDC_GENERAL_SIZE_LABEL, L"Size:", 7, 68, 60, 8),
        value(IDC_GENERAL_SIZE, 68),
    };
    t.controls.insert(t.controls.end(), rows.begin(), rows.end());
    return t;
}

// Rows 14 dialog units apart; the lower part moves up for several items
// into the place of the rows that only one item has.
dialog_template file_template() {
    return page_template({
        separator(IDC_GENERAL_LINE_SIZE, 82),
        left_text(IDC_GENERAL_DATE_LABEL, L"Date:", 7, 89, 60, 8),
        value(IDC_GENERAL_DATE, 89),
        left_text(IDC_GENERAL_LINK_LABEL, L"Link:", 7, 103, 60, 8),
        value(IDC_GENERAL_LINK, 103),
        separator(IDC_GENERAL_LINE_LINK, 117),
        left_text(IDC_GENERAL_ACCESS_LABEL, L"Access permission:", 7, 124, 60, 18),
        radio(IDC_GENERAL_PUBLIC, L"Public: anyone can find and open this file", 70, 124, 177,
              true),
        radio(IDC_GENERAL_HIDDEN, L"Hidden: only people with its link can open this file", 70, 135,
              177, false),
        radio(IDC_GENERAL_PRIVATE, L"Private: only you can open this file", 70, 146, 177, false),
        separator(IDC_GENERAL_LINE_ACCESS, 159),
        left_text(IDC_GENERAL_DESCRIPTION_LABEL, L"File Description / Keywords:", 7, 164, 240, 8),
        description(174, 20),
        left_text(IDC_GENERAL_PRICE_LABEL, L"File Price", 7, 200, 60, 8),
        radio(IDC_GENERAL_FREE, L"Free", 70, 199, 36, true),
        radio(IDC_GENERAL_PRICED, L"$", 108, 199, 20, false),
        edit_text(IDC_GENERAL_PRICE, 130, 197, 50, 13, ES_AUTOHSCROLL),
        // The link to the service's page for selling files follows "More".
        left_text(IDC_GENERAL_PRICE_NOTE, L"Enter price for download of this file. More", 7, 214,
                  140, 8),
    });
}

dialog_template folder_template() {
    return page_template({
        left_text(IDC_GENERAL_CONTENTS_LABEL, L"Contains:", 7, 82, 60, 8),
        value(IDC_GENERAL_CONTENTS, 82),
        separator(IDC_GENERAL_LINE_ACCESS, 96),
        left_text(IDC_GENERAL_DATE_LABEL, L"Created:", 7, 103, 60, 8),
        value(IDC_GENERAL_DATE, 103),
        left_text(IDC_GENERAL_LINK_LABEL, L"Link:", 7, 117, 60, 8),
        value(IDC_GENERAL_LINK, 117),
        separator(IDC_GENERAL_LINE_SIZE, 131),
        left_text(IDC_GENERAL_ACCESS_LABEL, L"Access permission:", 7, 138, 60, 18),
        radio(IDC_GENERAL_PUBLIC, L"Public: anyone can find and open its files", 70, 138, 177,
              true),
        radio(IDC_GENERAL_HIDDEN, L"Hidden: only people with a link can open its files", 70, 150,
              177, false),
        radio(IDC_GENERAL_PRIVATE, L"Private: only you can open its files", 70, 162, 177, false),
        separator(IDC_GENERAL_LINE_LINK, 176),
        left_text(IDC_GENERAL_DESCRIPTION_LABEL, L"Description:", 7, 183, 240, 8),
        description(193, 40),
    });
}

}  // namespace

void register_properties_general_resources() {
    static std::once_flag once;
    std::call_once(once, [] {
        const HMODULE module = win_module::this_module();
        register_dialog(module, IDD_PROPERTIES_FILE_GENERAL, file_template());
        register_dialog(module, IDD_PROPERTIES_FOLDER_GENERAL, folder_template());
        register_strings(module, {
                                     {IDS_PRODUCT_NAME, L"Calvimora"},
                                     {IDS_FOLDERS_FILES, L"%d folders, %d files"},
                                     {IDS_ALL_OF_TYPE, L"All of type %s"},
                                     {IDS_MULTIPLE_TYPES, L"Multiple Types"},
                                     {IDS_ERROR_CALCULATING_SIZE, L"Error calculating size"},
                                     {IDS_ERROR_LOADING_LINK, L"Error loading link"},
                                     {IDS_ERROR_LOADING_DESCRIPTION, L"Error loading description"},
                                     {IDS_ERROR_LOADING_PERMISSIONS, L"Error loading permissions"},
                                     {IDS_ERROR_LOADING_PRICE, L"Error loading price"},
                                     {IDS_UNKNOWN_DATE, L"Unknown"},
                                     {IDS_CONTENTS_FOLDERS_FILES, L"%d folders, %d files"},
                                 });
    });
}
