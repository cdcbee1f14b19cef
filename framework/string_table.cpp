// The string table and the framework's built-in texts (language 0).
#include "string_table.h"

#include <stddef.h>

#define N nullptr
// Not in id order on purpose: the constructor sorts the table.
static TextRecord gFrameworkTexts[] = {
    {0xF002, {" * ", N, "Displays additional items", "Additional Items"}},
    {0xF003, {"Error initializing the application!\nError code 0x%08X.", "Ag"}},
    {0xF004, {"Ready"}},
    {0xF005, {"%s v%d.%d.%d", "Copyright (c) Vellumor. All rights reserved.", "https://www.vellumor.com"}},
    {0xF007,
     {"Could not display the manual \"%s\".\nPlease make sure that a viewer for this file type is installed on "
      "your system.",
      "Could not find the manual \"%s\".\nPlease reinstall the program."}},
    {0xF008,
     {"Could not access the data path!\n%s\nPlease make sure that this path is accessible or choose a different "
      "data path during setup.",
      "Waiting for data folder...", "Quit %s"}},
    {0xF009,
     {"Warning: your current configuration will be overwritten!\nDo you want to continue?", "Configuration file error!",
      "Error restoring data!", "Wrong product!",
      "Some file(s) could not be backed up!\nMaybe they are in use by the program."}},
    {0xF00A, {"Data restored successfully!", "Data backed up successfully!", "Data reset successfully!"}},
    {0xF00B, {"The program must be restarted to apply the changes.\nClick OK to restart the program now."}},
    {0xF00C,
     {"Last check: %02d.%02d.%04d", "Checking...", "Version download error", "Version format error",
      "New version available", "No update available", "Could not start update check", N, N, N, N, "Update Check"}},
    {0xF00F,
     {"Please select a path for archiving:", "Archiving finished successfully!", "Please enter a valid path!",
      "Could not create the archive file!\nPlease check the path."}},
    {0xF105, {""}},
    {0xF150, {"Lock", N, "Lock menu"}},
    {0xF151, {"Bar Positions", N, "Locks the positions of the toolbars"}},
    {0xF152, {"Bar Sizes", N, "Locks the sizes of the toolbars"}},
    {0xF153, {"Window Position", N, "Locks the position of the window"}},
    {0xF154, {"Window Size", N, "Locks the size of the window"}},
    {0xF155, {"Lock All", N, "Locks all window parameters"}},
    {0xF156, {"Resolution Change", N, "Locks the size and position of the window if the screen resolution changes"}},
    {0xF110, {"Always on Top", N, "Keeps the window on top of all others"}},
    {0xF111, {"Show on Taskbar", N, "Shows the window on the Taskbar"}},
    {0xF120, {"Caption", N, "Caption menu"}},
    {0xF121, {"Normal", N, "Normal size window caption"}},
    {0xF122, {"Small", N, "Small window caption"}},
    {0xF123, {"No Caption", N, "No window caption"}},
    {0xF124, {"Borderless", N, "No window borders at all"}},
    {0xF130, {"Color", N, "Color menu"}},
    {0xF131, {"None", N, "No color scheme"}},
    {0xF132, {"Default", N, "Default color scheme"}},
    {0xF133, {"Custom", N, "Custom color scheme"}},
    {0xF134, {"Background", N, "Sets the background color"}},
    {0xF135, {"Focus", N, "Sets the focus color"}},
    {0xF136, {"Text", N, "Sets the text color"}},
    {0xF137, {"Highlighted Text", N, "Sets the highlighted text color"}},
    {0xF140, {"Font", N, "Selects the user interface font"}},
    {0xF141, {"Default", N, "Selects the default user interface font"}},
    {0xF142, {"Custom...", N, "Selects a custom user interface font"}},
    {0xF160, {"Transparency", N, "Sets the transparency"}},
    {0xF161, {"Off", N, "Switches transparency off"}},
    {0xF162, {"10%", N, "10% transparency"}},
    {0xF163, {"20%", N, "20% transparency"}},
    {0xF164, {"30%", N, "30% transparency"}},
    {0xF165, {"40%", N, "40% transparency"}},
    {0xF166, {"50%", N, "50% transparency"}},
    {0xF167, {"60%", N, "60% transparency"}},
    {0xF168, {"70%", N, "70% transparency"}},
    {0xF169, {"80%", N, "80% transparency"}},
    {0xF16A, {"90%", N, "90% transparency"}},
    {0xF16B, {"Ghost", N, "Let the mouse click through the window"}},
    {0xF200, {"OK", "Cancel", "Apply", "Help", "Yes", "No"}},
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
