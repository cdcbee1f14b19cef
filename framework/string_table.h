// CStringTable: every user-visible text of the program, addressed by a
// 16-bit id and a slot 0-15. Ids from 0xF000 up are the framework's own,
// built in; lower ids come from the application's table.
#pragma once
#include <stdint.h>

#include "framework_messages.h"

constexpr int kTextSlots = 16;
constexpr uint16_t kTextEnd = 0xFFFF;  // id of the record that ends a table
constexpr uint16_t kFirstFrameworkText = 0xF000;
constexpr int kErrBadLanguage = kMoxErrLanguage;

// The framework's own texts (the window menu's commands have texts under
// their command ids, commands.h). Slots as the built-in table lists them.
enum : uint16_t {
    IDS_MOX_MORE_ITEMS = 0xF002,    // the " * " menu of the items a bar cannot show
    IDS_MOX_INIT_ERROR = 0xF003,    // 0 the start-up error; 1 "Ag", measured for a text height
    IDS_MOX_READY = 0xF004,         // the idle status text
    IDS_MOX_PRODUCT_INFO = 0xF005,  // 0 "%s v%d.%d.%d", 1 copyright, 2 web address
    IDS_MOX_MANUAL = 0xF007,        // 0 no viewer, 1 manual missing
    IDS_MOX_DATA_FOLDER = 0xF008,   // 0 not accessible, 1 waiting, 2 "Quit %s"
    IDS_MOX_CONFIG = 0xF009,        // configuration backup, restore and reset questions and errors
    IDS_MOX_CONFIG_DONE = 0xF00A,   // their success messages
    IDS_MOX_RESTART = 0xF00B,       // the restart question
    IDS_MOX_UPDATE_CHECK = 0xF00C,
    IDS_MOX_ARCHIVE = 0xF00F,
    IDS_MOX_BUTTONS = 0xF200,  // 0 OK, 1 Cancel, 2 Apply, 3 Help, 4 Yes, 5 No
};

// One id and its slot texts (null = no text). A table is an array of these
// ended by a record whose id is kTextEnd.
struct TextRecord {
    uint16_t id;
    const char* slots[kTextSlots];
};

class CStringTable {
  public:
    // Sorts the built-in framework table; language 0, no application table.
    CStringTable();
    CStringTable(const CStringTable&) = delete;
    CStringTable& operator=(const CStringTable&) = delete;

    // Installs the application's table for a language (0 or 1); a null table
    // means language 0's table. A language that already has a table keeps it.
    // The table is sorted in place and must outlive this object; SetText
    // writes into it. Returns 0, or kErrBadLanguage for another language.
    int SetAppTable(int language, TextRecord* table);

    // The text of (id, slot), or null. Application ids fall back to language
    // 0's table when the current language has none, framework ids to the
    // built-in table.
    const char* Get(unsigned id, int slot) const;

    // Replaces one slot pointer of an application id in the current
    // language's table (text must outlive its use). Ignores id 0xFFFF, a slot
    // above 15, a missing table or an unknown id.
    void SetText(unsigned id, int slot, const char* text);

    // The language in use, from the (Mox)App record: 0 "English",
    // 1 "Deutsch"; any other value selects 0.
    void SetLanguage(int language);
    int Language() const { return language_; }
    // "English" / "Deutsch", or null for another index.
    const char* LanguageName(int language) const;

  private:
    const char* languageNames_[2];
    TextRecord* appTables_[2];
    TextRecord* frameworkTables_[2];  // [1] stays null: language 0's serves
    int appCounts_[2];                // records of each language's table
    int frameworkCounts_[2];
    int language_;
};
