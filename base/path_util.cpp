// Path and text helpers.
#include "path_util.h"

#include <string.h>

bool AddTrailingBackslash(char* path, size_t cch) {
    size_t len = strnlen(path, cch);
    if (len >= cch)
        return false;
    if (len == 0 || path[len - 1] == '\\')
        return true;
    if (len + 2 > cch)
        return false;
    path[len] = '\\';
    path[len + 1] = '\0';
    return true;
}

void RemoveTrailingBackslash(char* path) {
    size_t len = strlen(path);
    if (len > 0 && path[len - 1] == '\\')
        path[len - 1] = '\0';
}

bool StripExtension(char* name, size_t cch) {
    size_t len = strnlen(name, cch);
    if (len >= cch)
        return false;
    if (len >= 4 && name[len - 4] == '.')
        name[len - 4] = '\0';
    return true;
}

const char* FileNamePart(const char* path) {
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

const char* LastPathComponent(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

const char* FileExtension(const char* path) {
    const char* dot = strrchr(LastPathComponent(path), '.');
    return dot ? dot + 1 : "";
}

static unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? (unsigned char)(c - 'a' + 'A') : c;
}

const char* FindTextNoCase(const char* text, const char* pattern) {
    for (const char* t = text;; t++) {
        size_t i = 0;
        while (pattern[i] && t[i] && FoldAscii((unsigned char)t[i]) == FoldAscii((unsigned char)pattern[i]))
            i++;
        if (!pattern[i])
            return t;
        if (!t[i] || !*t)  // the rest of the text is shorter than the pattern
            return nullptr;
    }
}
