// The string table and the framework's built-in texts (language 0).
#include "string_table.h"

#include <stddef.h>

#include "commands.h"

#define N nullptr
// Not in id order on purpose: the constructor sorts the table.
static TextRecord gFrameworkTexts[] = {
    {IDS_MOX_MORE_ITEMS, {" * ", N, "Displays additional items", "Additional Items"}},
    {IDS_MOX_INIT_ERROR, {"Error initializing the application!\nError code 0x%08X.", "Ag"}},
    {IDS_MOX_READY, {"Ready"}},
    {IDS_MOX_PRODUCT_INFO,
     {"%s v%d.%d.%d", "Copyright (c) Vellumor. All rights reserved.", "https://www.vellumor.com"}},
    {IDS_MOX_MANUAL,
     {"Could not display the manual \"%s\".\nPlease make sure that a viewer for this file type is installed on "
      "your system.",
      "Could not find the manual \"%s\".\nPlease reinstall the program."}},
    {IDS_MOX_DATA_FOLDER,
     {"Could not access the data path!\n%s\nPlease make sure that this path is accessible or choose a different "
      "data path during setup.",
      "Waiting for data folder...", "Quit %s"}},
    {IDS_MOX_CONFIG,
     {"Warning: your current configuration will be overwritten!\nDo you want to continue?", "Configuration file error!",
      "Error restoring data!", "Wrong product!",
      "Some file(s) could not be backed up!\nMaybe they are in use by the program.",
      "The backup was not written!\nAn existing file of that name was left as it was. Please check the path and the "
      "free disk space.",
      "This archive cannot be restored!\nIt holds \"%s\", which is not a settings file of this program. Nothing "
      "was changed."}},
    {IDS_MOX_CONFIG_DONE, {"Data restored successfully!", "Data backed up successfully!", "Data reset successfully!"}},
    {IDS_MOX_RESTART, {"The program must be restarted to apply the changes.\nClick OK to restart the program now."}},
    {IDS_MOX_UPDATE_CHECK,
     {"Last check: %02d.%02d.%04d", "Checking...", "Version download error", "Version format error",
      "New version available", "No update available", "Could not start update check",
      "The server's identity could not be verified", N, N, N, "Update Check"}},
    {IDS_MOX_ARCHIVE,
     {"Please select a path for archiving:", "Archiving finished successfully!", "Please enter a valid path!",
      "Could not create the archive file!\nPlease check the path."}},
    {IDM_MOX_WINDOW_MENU, {""}},
    {IDM_MOX_LOCK, {"Lock", N, "Lock menu"}},
    {IDM_MOX_LOCK_BAR_POSITIONS, {"Bar Positions", N, "Locks the positions of the toolbars"}},
    {IDM_MOX_LOCK_BAR_SIZES, {"Bar Sizes", N, "Locks the sizes of the toolbars"}},
    {IDM_MOX_LOCK_POSITION, {"Window Position", N, "Locks the position of the window"}},
    {IDM_MOX_LOCK_SIZE, {"Window Size", N, "Locks the size of the window"}},
    {IDM_MOX_LOCK_ALL, {"Lock All", N, "Locks all window parameters"}},
    {IDM_MOX_LOCK_RESOLUTION,
     {"Resolution Change", N, "Locks the size and position of the window if the screen resolution changes"}},
    {IDM_MOX_ON_TOP, {"Always on Top", N, "Keeps the window on top of all others"}},
    {IDM_MOX_TASKBAR, {"Show on Taskbar", N, "Shows the window on the Taskbar"}},
    {IDM_MOX_CAPTION, {"Caption", N, "Caption menu"}},
    {IDM_MOX_CAPTION_NORMAL, {"Normal", N, "Normal size window caption"}},
    {IDM_MOX_CAPTION_SMALL, {"Small", N, "Small window caption"}},
    {IDM_MOX_CAPTION_NONE, {"No Caption", N, "No window caption"}},
    {IDM_MOX_BORDERLESS, {"Borderless", N, "No window borders at all"}},
    {IDM_MOX_COLOR, {"Color", N, "Color menu"}},
    {IDM_MOX_SCHEME_NONE, {"None", N, "No color scheme"}},
    {IDM_MOX_SCHEME_DEFAULT, {"Default", N, "Default color scheme"}},
    {IDM_MOX_SCHEME_CUSTOM, {"Custom", N, "Custom color scheme"}},
    {IDM_MOX_COLOR_BACKGROUND, {"Background", N, "Sets the background color"}},
    {IDM_MOX_COLOR_FOCUS, {"Focus", N, "Sets the focus color"}},
    {IDM_MOX_COLOR_TEXT, {"Text", N, "Sets the text color"}},
    {IDM_MOX_COLOR_HIGHLIGHT_TEXT, {"Highlighted Text", N, "Sets the highlighted text color"}},
    {IDM_MOX_FONT, {"Font", N, "Selects the user interface font"}},
    {IDM_MOX_FONT_DEFAULT, {"Default", N, "Selects the default user interface font"}},
    {IDM_MOX_FONT_CUSTOM, {"Custom...", N, "Selects a custom user interface font"}},
    {IDM_MOX_TRANSPARENCY, {"Transparency", N, "Sets the transparency"}},
    {IDM_MOX_TRANSPARENCY_OFF, {"Off", N, "Switches transparency off"}},
    {TransparencyCommand(10), {"10%", N, "10% transparency"}},
    {TransparencyCommand(20), {"20%", N, "20% transparency"}},
    {TransparencyCommand(30), {"30%", N, "30% transparency"}},
    {TransparencyCommand(40), {"40%", N, "40% transparency"}},
    {TransparencyCommand(50), {"50%", N, "50% transparency"}},
    {TransparencyCommand(60), {"60%", N, "60% transparency"}},
    {TransparencyCommand(70), {"70%", N, "70% transparency"}},
    {TransparencyCommand(80), {"80%", N, "80% transparency"}},
    {IDM_MOX_TRANSPARENCY_90, {"90%", N, "90% transparency"}},
    {IDM_MOX_GHOST, {"Ghost", N, "Let the mouse click through the window"}},
    {IDS_MOX_BUTTONS, {"OK", "Cancel", "Apply", "Help", "Yes", "No"}},
    {kTextEnd, {}},
};
#undef N

// Sorts a table ascending by id in place; returns the records before the end.
static int SortTable(TextRecord* table) {
    int count = 0;
    while (table[count].id != kTextEnd)
        count++;
    for (int i = 1; i < count; i++) {
        for (int j = i; j > 0 && table[j].id < table[j - 1].id; j--) {
            TextRecord t = table[j];
            table[j] = table[j - 1];
            table[j - 1] = t;
        }
    }
    return count;
}

// Search by halves over a sorted table of count records.
static TextRecord* FindRecord(TextRecord* table, int count, unsigned id) {
    if (!table || count <= 0)
        return nullptr;
    int lo = 0, hi = count - 1;
    while (hi - lo >= 2) {
        int mid = (int)((lo + hi) * 0.5 + 0.5);
        if (id < table[mid].id)
            hi = mid;
        else
            lo = mid;
    }
    if (table[lo].id == id)
        return &table[lo];
    if (table[hi].id == id)
        return &table[hi];
    return nullptr;
}

CStringTable::CStringTable() {
    languageNames_[0] = "English";
    languageNames_[1] = "Deutsch";
    appTables_[0] = appTables_[1] = nullptr;
    appCounts_[0] = appCounts_[1] = 0;
    frameworkTables_[0] = gFrameworkTexts;
    frameworkCounts_[0] = SortTable(gFrameworkTexts);
    frameworkTables_[1] = nullptr;
    frameworkCounts_[1] = 0;
    language_ = 0;
}

int CStringTable::SetAppTable(int language, TextRecord* table) {
    if (language != 0 && language != 1)
        return kErrBadLanguage;
    if (!table)
        table = appTables_[0];
    if (appTables_[language] || !table)
        return 0;
    appTables_[language] = table;
    appCounts_[language] = SortTable(table);
    return 0;
}

const char* CStringTable::Get(unsigned id, int slot) const {
    if (id >= kTextEnd || slot < 0 || slot >= kTextSlots)
        return nullptr;
    int lang = language_;
    const TextRecord* rec;
    if (id < kFirstFrameworkText) {
        if (!appTables_[lang])
            lang = 0;
        rec = FindRecord(appTables_[lang], appCounts_[lang], id);
    } else {
        if (!frameworkTables_[lang])
            lang = 0;
        rec = FindRecord(frameworkTables_[lang], frameworkCounts_[lang], id);
    }
    return rec ? rec->slots[slot] : nullptr;
}

void CStringTable::SetText(unsigned id, int slot, const char* text) {
    if (id >= kTextEnd || slot < 0 || slot >= kTextSlots)
        return;
    TextRecord* rec = FindRecord(appTables_[language_], appCounts_[language_], id);
    if (rec)
        rec->slots[slot] = text;
}

void CStringTable::SetLanguage(int language) {
    language_ = (language == 1) ? 1 : 0;
}

const char* CStringTable::LanguageName(int language) const {
    return (language == 0 || language == 1) ? languageNames_[language] : nullptr;
}
