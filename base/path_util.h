// Small helpers on 8-bit paths and texts. Every helper that writes takes
// the buffer's capacity in characters and never writes beyond it.
#pragma once
#include <stddef.h>

// Appends '\' to a non-empty path that lacks it. False (path unchanged)
// when the result would not fit cch or the path is not terminated in cch.
bool AddTrailingBackslash(char* path, size_t cch);
// Removes one trailing '\'.
void RemoveTrailingBackslash(char* path);
// Cuts a name at its fourth character from the end when that is a '.'
// ("shot.png" -> "shot"); shorter names stay. False when the name is not
// terminated within cch (nothing changed).
bool StripExtension(char* name, size_t cch);
// The text after the last '\', or the whole path.
const char* FileNamePart(const char* path);
// The last component of a path: the text after its last '\', '/' or ':'
// (a drive), or the whole path.
const char* LastPathComponent(const char* path);
// The extension of a path's last component: the text after its last dot,
// or "" when it has none. Points into path (or at a static "").
const char* FileExtension(const char* path);
// The first place in text where pattern occurs, ASCII case ignored; null
// when none. An empty pattern matches at the start.
const char* FindTextNoCase(const char* text, const char* pattern);
