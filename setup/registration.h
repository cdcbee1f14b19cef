// What setup keeps in the product's uninstall registration beside the
// values Windows shows: the files it put into "Init" and the folders it made,
// as lists of names separated by "|".
#pragma once
#include <stddef.h>

extern const char kInitFilesValue[];    // "InitFiles": names of files in "#INSTALLPATH#\Init"
extern const char kMadeFoldersValue[];  // "MadeFolders": the install folder and parents the install made

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\<product>" (HKLM);
// false when it does not fit.
bool UninstallKeyOf(const char* product, char* key, size_t cch);
// A string value of the registration; false (out "") when the key or the
// value is missing.
bool ReadRegistrationText(const char* product, const char* value, char* out, size_t cch);
// Writes a string value into the existing registration; false when it cannot.
bool WriteRegistrationText(const char* product, const char* value, const char* text);
// True when list ("|" between names) holds name, without case.
bool ListHasName(const char* list, const char* name);
// Adds name to the list value unless it is there; false when it cannot.
bool AddToRegistrationList(const char* product, const char* value, const char* name);
