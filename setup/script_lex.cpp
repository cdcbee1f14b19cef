// The script's lexical rules: statements, keywords and arguments.
#include <string.h>

#include "script.h"

const KeywordInfo kKeywords[kKwCount] = {
    {"Set", 2, 2, false},           {"CloseProgram", 1, 1, false},
    {"CreateDir", 1, 1, true},      {"CopyFile", 3, 2, true},
    {"CreateLink", 4, 2, true},     {"ChangeNotify", 1, 1, true},
    {"CreateRegValSz", 5, 4, true}, {"CreateRegValDW", 5, 4, true},
    {"CopyUninstall", 1, 1, false}, {"CreateSetupInfo", 2, 2, false},
    {"DeleteFile", 2, 1, true},     {"RemoveDir", 2, 1, true},
    {"DeleteRegKey", 4, 2, true},   {"DeleteRegVal", 4, 3, true},
    {"PatchFile", 3, 3, true},      {"If", 5, 3, false},
    {"Else", 0, 0, false},          {"Endif", 0, 0, false},
    {"StopService", 1, 1, false},   {"PhaseBegin", 1, 0, false},
    {"PhaseEnd", 0, 0, false},      {"Run", 3, 1, true},
    {"Call", 5, 1, true},           {"Error", 1, 1, false},
    {"Status", 1, 1, false},        {"Status2", 1, 1, false},
    {"LogonTrigger", 3, 1, false},
};

static bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

static const char* SkipBlanks(const char* p) {
    while (IsBlank(*p))
        p++;
    return p;
}

static const char* LineEnd(const char* p) {
    while (*p && *p != '\r')
        p++;
    return p;
}

static bool StartsWithNoCase(const char* text, const char* word, size_t n) {
    for (size_t i = 0; i < n; i++) {
        char a = text[i], b = word[i];
        if (a >= 'a' && a <= 'z')
            a = (char)(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z')
            b = (char)(b - 'a' + 'A');
        if (a != b)
            return false;
    }
    return true;
}

Keyword MatchKeyword(const char* pos, const char** args, const char** end) {
    const char* p = SkipBlanks(pos);
    *args = *end = p;
    if (!*p)
        return kKwNone;
    for (int k = 0; k < kKwCount; k++) {
        size_t n = strlen(kKeywords[k].name);
        // strncmp-like: stops at the text's zero, which is no blank.
        if (strnlen(p, n + 1) > n && StartsWithNoCase(p, kKeywords[k].name, n) && IsBlank(p[n])) {
            *args = SkipBlanks(p + n);
            *end = LineEnd(p + n);
            return (Keyword)k;
        }
    }
    *end = LineEnd(p);
    return kKwNone;
}

const char* NextStatement(const char* end) {
    return *end ? SkipBlanks(end + 1) : end;
}

int NextArg(const char** cursor, const char* end, char* out) {
    const char* p = SkipBlanks(*cursor);
    size_t n = 0;
    out[0] = '\0';
    if (p >= end) {
        *cursor = p;
        return 5;
    }
    bool quoted = *p == '"';
    if (quoted)
        p++;
    for (; p < end && *p && *p != '\r' && *p != (quoted ? '"' : ','); p++) {
        if (n < kCchArg - 1)
            out[n++] = *p == '^' ? '"' : *p;
    }
    if (quoted && p < end && *p == '"')
        p++;
    if (!quoted)
        while (n > 0 && out[n - 1] == ' ')
            n--;
    out[n] = '\0';
    p = SkipBlanks(p);
    if (p < end && *p == ',')
        p++;
    *cursor = p;
    return 0;
}
