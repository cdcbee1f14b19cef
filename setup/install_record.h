// The install settings record: a binary registry value named after the
// product under HKLM "Software\Tarnwick" (32-bit view) that setup writes and
// the main program reads at every start. 1,328 bytes, little-endian, texts
// zero-terminated and zero-padded to 260 bytes.
#pragma once
#include <stddef.h>
#include <stdint.h>

constexpr int kCbInstallRecord = 1328;

enum : int {
    kRecValidity = 0,          // u16, 1 when valid
    kRecMajor = 10,            // s16
    kRecMinor = 12,            // s16
    kRecForAllUsers = 14,      // s16
    kRecCustomFolder = 16,     // s16: 1 the data folder is kRecCustomPath
    kRecPerUser = 18,          // s16: with the custom folder, a sub-folder per user
    kRecInstallPath = 20,      // text
    kRecCustomPath = 280,      // text
    kRecVersionUrl = 800,      // text
    kRecDownloadUrl = 1060,    // text
    kRecChoiceExecute = 1320,  // s16 each: the finish page's four choices
    kRecChoiceReadme = 1322,
    kRecChoiceDesktop = 1324,
    kRecChoiceStartMenu = 1326,
};
constexpr size_t kCchRecordText = 260;

int RecordWord(const uint8_t* record, int offset);
void SetRecordWord(uint8_t* record, int offset, int value);  // stored as signed 16 bits
// A text field; out holds kCchRecordText characters.
void RecordText(const uint8_t* record, int offset, char* out);
// Stores text cut to 259 characters, zero-padded; false when it was cut.
bool SetRecordText(uint8_t* record, int offset, const char* text);

// Reads the record of a product into record (zero-filled first; at most
// 1,328 bytes copied). True when the key and value exist and the first
// word is 1.
bool ReadInstallSettings(const char* product, uint8_t* record);
// Sets the first word to 1 and writes the whole record; false when the key
// cannot be created or the value not written.
bool WriteInstallSettings(const char* product, uint8_t* record);
// The data-folder rule: custom 1 the custom folder (for the user's own
// folder with perUser non-zero, followed by a backslash and the desktop
// user's name), custom 0 the (common) application-data folder of the desktop
// user, "\Tarnwick\" and the product. False for another custom value or when
// the path does not fit 260 characters.
bool DataFolderByRule(const char* product, int custom, int perUser, const char* customPath, bool common, char* path);
// The product's data folder by the record's rule, as the desktop user
// (path: 260 characters). False, path unchanged, without a valid record or
// with a custom-folder word other than 0 and 1.
bool GetConfigPath(const char* product, char* path);
// The product's common data folder (shared by all users), the same way:
// the custom folder itself, or the common application-data folder.
bool GetCommonDataPath(const char* product, char* path);
