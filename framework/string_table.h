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
