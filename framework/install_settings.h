// The install settings record that setup writes into the registry
// (HKLM "Software\Tarnwick", a binary value named after the product), and
// the data folders start-up derives from it.
#pragma once
#include <windows.h>

// Bytes of the record that the program needs and keeps.
constexpr int kCbInstallSettings = 1326;

// Field offsets within the record.
enum : int {
    kInstallValidity = 0,       // u16, 1 when valid
    kInstallCustomFolder = 16,  // u16, non-zero: the custom data folder is used
    kInstallPerUser = 18,       // u16, non-zero: a sub-folder per user below the custom folder
    kInstallFolder = 20,        // char[260]
    kInstallCustomDataFolder = 280,
    kInstallVersionUrl = 800,
    kInstallDownloadUrl = 1060,
};

// Copies min(size, 1326) bytes of the value named valueName into out (which
// holds 1326 bytes) and returns that count; 0 when the key or value is
// missing, empty or unreadable (nothing copied).
int ReadInstallSettings(const char* valueName, BYTE* out);

// A text field of the record, NUL-terminated within its 260 bytes.
void InstallSettingsText(const BYTE* settings, int offset, char* out, size_t cch);

// Derives the user and common data folders (each 260 characters) from the
// record and the product name. False when a folder would not fit its buffer.
bool DeriveDataFolders(const BYTE* settings, const char* product, char* userFolder, char* commonFolder);
