#include "framework/string_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Expected {
    unsigned id;
    int slot;
    const char* text;
};

// The framework's texts as the program shows them (slot 1 and 2 of 0xF005
// are checked for presence only).
const Expected kFrameworkTexts[] = {
    {0xF002, 0, " * "},
    {0xF002, 2, "Displays additional items"},
    {0xF002, 3, "Additional Items"},
    {0xF003, 0, "Error initializing the application!\nError code 0x%08X."},
    {0xF003, 1, "Ag"},
    {0xF004, 0, "Ready"},
    {0xF005, 0, "%s v%d.%d.%d"},
    {0xF007, 0,
     "Could not display the manual \"%s\".\nPlease make sure that a viewer for this file type is installed on your "
     "system."},
    {0xF007, 1, "Could not find the manual \"%s\".\nPlease reinstall the program."},
    {0xF008, 0,
     "Could not access the data path!\n%s\nPlease make sure that this path is accessible or choose a different data "
     "path during setup."},
    {0xF008, 1, "Waiting for data folder..."},
    {0xF008, 2, "Quit %s"},
    {0xF009, 0, "Warning: your current configuration will be overwritten!\nDo you want to continue?"},
    {0xF009, 1, "Configuration file error!"},
    {0xF009, 2, "Error restoring data!"},
    {0xF009, 3, "Wrong product!"},
    {0xF009, 4, "Some file(s) could not be backed up!\nMaybe they are in use by the program."},
    {0xF009, 5,
     "The backup was not written!\nAn existing file of that name was left as it was. Please check the path and the "
     "free disk space."},
    {0xF009, 6,
     "This archive cannot be restored!\nIt holds \"%s\", which is not a settings file of this program. Nothing was "
     "changed."},
    {0xF00A, 0, "Data restored successfully!"},
    {0xF00A, 1, "Data backed up successfully!"},
    {0xF00A, 2, "Data reset successfully!"},
    {0xF00B, 0, "The program must be restarted to apply the changes.\nClick OK to restart the program now."},
    {0xF00C, 0, "Last check: %02d.%02d.%04d"},
    {0xF00C, 1, "Checking..."},
    {0xF00C, 2, "Version download error"},
    {0xF00C, 3, "Version format error"},
    {0xF00C, 4, "New version available"},
    {0xF00C, 5, "No update available"},
    {0xF00C, 6, "Could not start update check"},
    {0xF00C, 7, "The server's identity could not be verified"},
    {0xF00C, 11, "Update Check"},
    {0xF00F, 0, "Please select a path for archiving:"},
    {0xF00F, 1, "Archiving finished successfully!"},
    {0xF00F, 2, "Please enter a valid path!"},
    {0xF00F, 3, "Could not create the archive file!\nPlease check the path."},
    {0xF105, 0, ""},
    {0xF110, 0, "Always on Top"},
    {0xF110, 2, "Keeps the window on top of all others"},
    {0xF111, 0, "Show on Taskbar"},
    {0xF111, 2, "Shows the window on the Taskbar"},
    {0xF120, 0, "Caption"},
    {0xF120, 2, "Caption menu"},
    {0xF121, 0, "Normal"},
    {0xF121, 2, "Normal size window caption"},
    {0xF122, 0, "Small"},
    {0xF122, 2, "Small window caption"},
    {0xF123, 0, "No Caption"},
    {0xF123, 2, "No window caption"},
    {0xF124, 0, "Borderless"},
    {0xF124, 2, "No window borders at all"},
    {0xF130, 0, "Color"},
    {0xF130, 2, "Color menu"},
    {0xF131, 0, "None"},
    {0xF131, 2, "No color scheme"},
    {0xF132, 0, "Default"},
    {0xF132, 2, "Default color scheme"},
    {0xF133, 0, "Custom"},
    {0xF133, 2, "Custom color scheme"},
    {0xF134, 0, "Background"},
    {0xF134, 2, "Sets the background color"},
    {0xF135, 0, "Focus"},
    {0xF135, 2, "Sets the focus color"},
    {0xF136, 0, "Text"},
    {0xF136, 2, "Sets the text color"},
    {0xF137, 0, "Highlighted Text"},
    {0xF137, 2, "Sets the highlighted text color"},
    {0xF140, 0, "Font"},
    {0xF140, 2, "Selects the user interface font"},
    {0xF141, 0, "Default"},
    {0xF141, 2, "Selects the default user interface font"},
    {0xF142, 0, "Custom..."},
    {0xF142, 2, "Selects a custom user interface font"},
    {0xF150, 0, "Lock"},
    {0xF150, 2, "Lock menu"},
    {0xF151, 0, "Bar Positions"},
    {0xF151, 2, "Locks the positions of the toolbars"},
    {0xF152, 0, "Bar Sizes"},
    {0xF152, 2, "Locks the sizes of the toolbars"},
    {0xF153, 0, "Window Position"},
    {0xF153, 2, "Locks the position of the window"},
    {0xF154, 0, "Window Size"},
    {0xF154, 2, "Locks the size of the window"},
    {0xF155, 0, "Lock All"},
    {0xF155, 2, "Locks all window parameters"},
    {0xF156, 0, "Resolution Change"},
    {0xF156, 2, "Locks the size and position of the window if the screen resolution changes"},
    {0xF160, 0, "Transparency"},
    {0xF160, 2, "Sets the transparency"},
    {0xF161, 0, "Off"},
    {0xF161, 2, "Switches transparency off"},
    {0xF16B, 0, "Ghost"},
    {0xF16B, 2, "Let the mouse click through the window"},
    {0xF200, 0, "OK"},
    {0xF200, 1, "Cancel"},
    {0xF200, 2, "Apply"},
    {0xF200, 3, "Help"},
    {0xF200, 4, "Yes"},
    {0xF200, 5, "No"},
};

std::vector<Expected> AllFrameworkTexts() {
    std::vector<Expected> all(std::begin(kFrameworkTexts), std::end(kFrameworkTexts));
    static std::string percent[9][2];
    for (int i = 0; i < 9; i++) {
        percent[i][0] = std::to_string((i + 1) * 10) + "%";
        percent[i][1] = percent[i][0] + " transparency";
        all.push_back({0xF162u + i, 0, percent[i][0].c_str()});
        all.push_back({0xF162u + i, 2, percent[i][1].c_str()});
    }
    return all;
}

bool Listed(const std::vector<Expected>& all, unsigned id, int slot) {
    for (const Expected& e : all)
        if (e.id == id && e.slot == slot)
            return true;
    return false;
}

void ExpectFrameworkTexts(const CStringTable& t) {
    std::vector<Expected> all = AllFrameworkTexts();
    for (const Expected& e : all) {
        const char* got = t.Get(e.id, e.slot);
        ASSERT_NE(got, nullptr) << std::hex << e.id << " slot " << e.slot;
        EXPECT_STREQ(got, e.text) << std::hex << e.id << " slot " << e.slot;
    }
    ASSERT_NE(t.Get(0xF005, 1), nullptr);
    ASSERT_NE(t.Get(0xF005, 2), nullptr);
    EXPECT_GT(strlen(t.Get(0xF005, 1)), 0u);
    EXPECT_GT(strlen(t.Get(0xF005, 2)), 0u);
    // Every slot not listed is empty, over the whole framework range.
    for (unsigned id = 0xF000; id < 0xFFFF; id++) {
        for (int slot = 0; slot < kTextSlots; slot++) {
            if (!Listed(all, id, slot) && !(id == 0xF005 && (slot == 1 || slot == 2))) {
                ASSERT_EQ(t.Get(id, slot), nullptr) << std::hex << id << " slot " << slot;
            }
        }
    }
}

}  // namespace

TEST(StringTable, FrameworkTextsInBothLanguages) {
    CStringTable t;
    EXPECT_STREQ(t.LanguageName(0), "English");
    EXPECT_STREQ(t.LanguageName(1), "Deutsch");
    EXPECT_EQ(t.LanguageName(2), nullptr);
    EXPECT_EQ(t.Language(), 0);
    ExpectFrameworkTexts(t);
    t.SetLanguage(1);
    EXPECT_EQ(t.Language(), 1);
    ExpectFrameworkTexts(t);  // language 1 falls back to the built-in texts
    t.SetLanguage(7);         // anything else reads as 0
    EXPECT_EQ(t.Language(), 0);
    t.SetLanguage(-1);
    EXPECT_EQ(t.Language(), 0);
    // A second table object sorts the already sorted built-in table again.
    CStringTable second;
    ExpectFrameworkTexts(second);
}

TEST(StringTable, EdgeCasesOfGet) {
    CStringTable t;
    EXPECT_STREQ(t.Get(0xF200, 4), "Yes");
    EXPECT_EQ(t.Get(0xF200, 6), nullptr);
    EXPECT_EQ(t.Get(0xF004, 16), nullptr);
    EXPECT_EQ(t.Get(0xF004, -1), nullptr);
    EXPECT_EQ(t.Get(0xFFFF, 0), nullptr);
    EXPECT_EQ(t.Get(0x10000 + 0xF004, 0), nullptr);
    EXPECT_EQ(t.Get(0xF001, 0), nullptr);
    EXPECT_EQ(t.Get(0xF201, 0), nullptr);
    EXPECT_EQ(t.Get(0x0100, 0), nullptr);  // no application table yet
}

TEST(StringTable, ApplicationTables) {
    // Unsorted, as an application may write it.
    TextRecord english[] = {
        {300, {"Three hundred", nullptr, "help 300"}},
        {5, {"Five"}},
        {100, {"Hundred", "Ctrl+H"}},
        {7, {"Seven"}},
        {kTextEnd, {}},
    };
    TextRecord german[] = {
        {100, {"Hundert"}},
        {kTextEnd, {}},
    };
    TextRecord other[] = {
        {5, {"Other five"}},
        {kTextEnd, {}},
    };
    CStringTable t;
    EXPECT_EQ(t.SetAppTable(2, english), kErrBadLanguage);
    EXPECT_EQ(t.SetAppTable(-1, english), kErrBadLanguage);
    EXPECT_EQ(t.Get(5, 0), nullptr);  // nothing was installed
    EXPECT_EQ(t.SetAppTable(0, english), 0);
    EXPECT_EQ(english[0].id, 5);  // sorted in place
    EXPECT_EQ(english[3].id, 300);
    EXPECT_STREQ(t.Get(5, 0), "Five");
    EXPECT_STREQ(t.Get(7, 0), "Seven");
    EXPECT_STREQ(t.Get(100, 1), "Ctrl+H");
    EXPECT_STREQ(t.Get(300, 2), "help 300");
    EXPECT_EQ(t.Get(300, 1), nullptr);
    EXPECT_EQ(t.Get(6, 0), nullptr);    // absent id
    EXPECT_EQ(t.Get(4, 0), nullptr);    // below the first
    EXPECT_EQ(t.Get(301, 0), nullptr);  // above the last
    EXPECT_EQ(t.SetAppTable(0, other), 0);
    EXPECT_STREQ(t.Get(5, 0), "Five");  // the first table is kept

    // Language 1 without its own table: language 0's texts.
    t.SetLanguage(1);
    EXPECT_STREQ(t.Get(300, 0), "Three hundred");
    EXPECT_STREQ(t.Get(0xF200, 1), "Cancel");
    // Language 1's own table, with its own count: a one-record table must not
    // cut language 0's lookups to one record.
    EXPECT_EQ(t.SetAppTable(1, german), 0);
    EXPECT_STREQ(t.Get(100, 0), "Hundert");
    EXPECT_EQ(t.Get(300, 0), nullptr);
    t.SetLanguage(0);
    EXPECT_STREQ(t.Get(300, 0), "Three hundred");
    EXPECT_STREQ(t.Get(100, 0), "Hundred");
}

TEST(StringTable, NullTableMeansLanguageZeros) {
    TextRecord english[] = {{20, {"Twenty"}}, {10, {"Ten"}}, {kTextEnd, {}}};
    CStringTable t;
    EXPECT_EQ(t.SetAppTable(1, nullptr), 0);  // nothing to share yet
    EXPECT_EQ(t.SetAppTable(0, english), 0);
    EXPECT_EQ(t.SetAppTable(1, nullptr), 0);
    t.SetLanguage(1);
    EXPECT_STREQ(t.Get(10, 0), "Ten");
    EXPECT_STREQ(t.Get(20, 0), "Twenty");
}

TEST(StringTable, SetTextChangesOneSlotOfTheCurrentLanguage) {
    TextRecord english[] = {{30, {"a"}}, {10, {"b"}}, {20, {"c"}}, {kTextEnd, {}}};
    TextRecord german[] = {{20, {"d"}}, {kTextEnd, {}}};
    CStringTable t;
    t.SetText(20, 0, "nothing installed");  // no table: ignored
    t.SetAppTable(0, english);
    t.SetAppTable(1, german);
    t.SetText(20, 3, "status");
    EXPECT_STREQ(t.Get(20, 3), "status");
    EXPECT_STREQ(t.Get(20, 0), "c");
    t.SetText(20, 16, "x");  // slot out of range
    t.SetText(0xFFFF, 0, "x");
    t.SetText(25, 0, "x");      // unknown id
    t.SetText(0xF004, 0, "x");  // framework texts are not the application's
    EXPECT_STREQ(t.Get(0xF004, 0), "Ready");
    for (int i = 0; i < 3; i++)
        for (int s = 0; s < kTextSlots; s++)
            EXPECT_TRUE(english[i].slots[s] == nullptr || strcmp(english[i].slots[s], "x") != 0);
    t.SetLanguage(1);
    t.SetText(20, 0, "neu");
    EXPECT_STREQ(t.Get(20, 0), "neu");
    t.SetLanguage(0);
    EXPECT_STREQ(t.Get(20, 0), "c");
}
