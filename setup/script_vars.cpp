// The variable table: lookup, substitution and the typed readers.
#include "script_vars.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include "setup_base.h"

struct VarEntry {
    char name[kCchVarName];
    char value[kCchVarValue];
    double number;  // the value's leading number
    size_t nameLength;
    size_t valueLength;
};

// Entries are allocated one by one so that GetVarText's pointers survive
// the growth of the table.
static VarEntry** gVars;
static int gVarCount;
static int gVarCapacity;
static const int kVarGrowth = 16;

double LeadingNumber(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
        p++;
    double sign = 1;
    if (*p == '-' || *p == '+')
        sign = *p++ == '-' ? -1 : 1;
    double value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10 + (*p++ - '0');
    if (*p == '.') {
        // The digits as one number over a power of ten: no scale that drifts.
        // Past 17 digits a double holds no more; the rest are read and dropped.
        double digits = 0, divisor = 1;
        for (p++; *p >= '0' && *p <= '9'; p++) {
            if (divisor < 1e17) {
                digits = digits * 10 + (*p - '0');
                divisor *= 10;
            }
        }
        value += digits / divisor;
    }
    return sign * value;
}

// The index of the first entry, in table order, whose name stands at the
// start of text; -1 when there is none.
static int LookupIndex(const char* text) {
    for (int i = 0; i < gVarCount; i++) {
        VarEntry* e = gVars[i];
        if (e->nameLength > 0 && strncmp(text, e->name, e->nameLength) == 0)
            return i;
    }
    return -1;
}

static VarEntry* Lookup(const char* text) {
    int i = LookupIndex(text);
    return i < 0 ? nullptr : gVars[i];
}

int SetVar(const char* name, const char* value) {
    if (!name || !*name)
        return -1;
    int index = LookupIndex(name);
    VarEntry* e = index < 0 ? nullptr : gVars[index];
    if (!e) {
        if (gVarCount == gVarCapacity) {
            void* grown = realloc(gVars, (size_t)(gVarCapacity + kVarGrowth) * sizeof *gVars);
            if (!grown)
                return -1;
            gVars = (VarEntry**)grown;
            gVarCapacity += kVarGrowth;
        }
        e = (VarEntry*)calloc(1, sizeof *e);
        if (!e)
            return -1;
        index = gVarCount;
        gVars[gVarCount++] = e;
    }
    StrCopy(e->name, countof(e->name), name);
    StrCopy(e->value, countof(e->value), value ? value : "");
    e->nameLength = strlen(e->name);
    e->valueLength = strlen(e->value);
    e->number = LeadingNumber(e->value);
    return index;
}

int GetVar(const char* name, char* buf, size_t cch) {
    int index = LookupIndex(name);
    if (index >= 0 && buf && cch)
        StrCopy(buf, cch, gVars[index]->value);
    return index;
}

const char* GetVarText(const char* name) {
    VarEntry* e = Lookup(name);
    return e ? e->value : "";
}

int GetVarInt(const char* name) {
    VarEntry* e = Lookup(name);
    if (!e)
        return -1;
    double n = e->number;
    if (n >= (double)INT_MAX)
        return INT_MAX;
    if (n <= (double)INT_MIN)
        return INT_MIN;
    return (int)n;
}

bool SubstituteVars(char* text, size_t cch) {
    if (!text || cch == 0)
        return true;
    size_t len = strnlen(text, cch - 1);
    text[len] = '\0';
    bool whole = true;
    // Ends of the inserted values that enclose the current position,
    // innermost last: their count is the depth of the position.
    size_t regionEnd[kMaxSubstituteDepth];
    int depth = 0;
    for (size_t pos = 0; pos < len;) {
        while (depth > 0 && regionEnd[depth - 1] <= pos)
            depth--;
        VarEntry* e = depth < kMaxSubstituteDepth ? Lookup(text + pos) : nullptr;
        if (!e) {
            pos++;
            continue;
        }
        size_t room = cch - 1 - pos;
        size_t valueLength = e->valueLength < room ? e->valueLength : room;
        // A folder that ends in a backslash (a drive root, "C:\") followed
        // by a backslash in the text gives one backslash: "C:\x", not "C:\\x".
        size_t consumed = e->nameLength;
        if (e->valueLength > 0 && e->value[e->valueLength - 1] == '\\' && text[pos + consumed] == '\\')
            consumed++;
        size_t tailStart = pos + consumed;
        size_t tail = len - tailStart;
        if (e->valueLength + tail > room)
            whole = false;
        size_t keptTail = tail < room - valueLength ? tail : room - valueLength;
        memmove(text + pos + valueLength, text + tailStart, keptTail);
        memcpy(text + pos, e->value, valueLength);
        len = pos + valueLength + keptTail;
        text[len] = '\0';
        for (int i = 0; i < depth; i++) {
            size_t end = regionEnd[i] >= tailStart ? regionEnd[i] - consumed + valueLength : pos + valueLength;
            regionEnd[i] = end < len ? end : len;
        }
        regionEnd[depth++] = pos + valueLength;
        // The value is scanned again from its second character on; an
        // empty value leaves nothing to skip.
        if (valueLength > 0)
            pos++;
    }
    return whole;
}

void ClearVariables() {
    for (int i = 0; i < gVarCount; i++)
        free(gVars[i]);
    free(gVars);
    gVars = nullptr;
    gVarCount = gVarCapacity = 0;
}
