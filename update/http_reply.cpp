// Reading an HTTP reply's header block (see http_reply.h).
#include "http_reply.h"

#include <string.h>

#include "base/str_util.h"

static char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

static bool StartsNoCase(const char* p, const char* end, const char* word) {
    for (; *word; p++, word++)
        if (p >= end || Lower(*p) != Lower(*word))
            return false;
    return true;
}

int HttpReplyStatus(const char* block, size_t cb) {
    if (!block || cb < 12 || memcmp(block, "HTTP/", 5) != 0 || block[8] != ' ')
        return -1;
    int status = 0;
    for (int i = 9; i < 12; i++) {
        if (block[i] < '0' || block[i] > '9')
            return -1;
        status = status * 10 + (block[i] - '0');
    }
    // After the three digits: the reason phrase or the end of the line.
    if (cb > 12 && block[12] != ' ' && block[12] != '\r' && block[12] != '\n')
        return -1;
    return status;
}

// The start of the value of header `name`, or null; *valueEnd its end.
static const char* FindHeader(const char* block, size_t cb, const char* name, const char** valueEnd) {
    const char* end = block + cb;
    size_t len = strlen(name);
    // The first line is the status line; headers follow it.
    const char* line = (const char*)memchr(block, '\n', cb);
    while (line && line < end) {
        line++;
        if (StartsNoCase(line, end, name) && line + len < end && line[len] == ':') {
            const char* v = line + len + 1;
            while (v < end && (*v == ' ' || *v == '\t'))
                v++;
            const char* e = v;
            while (e < end && *e != '\r' && *e != '\n' && *e != '\0')
                e++;
            *valueEnd = e;
            return v;
        }
        line = (const char*)memchr(line, '\n', (size_t)(end - line));
    }
    return nullptr;
}

bool HttpHeaderValue(const char* block, size_t cb, const char* name, char* out, size_t cch) {
    if (cch)
        out[0] = '\0';
    const char* e = nullptr;
    const char* v = block ? FindHeader(block, cb, name, &e) : nullptr;
    if (!v || (size_t)(e - v) >= cch)
        return false;
    memcpy(out, v, (size_t)(e - v));
    out[e - v] = '\0';
    return true;
}

int64_t HttpContentLength(const char* block, size_t cb) {
    const char* e = nullptr;
    const char* v = block ? FindHeader(block, cb, "Content-Length", &e) : nullptr;
    if (!v)
        return kHttpLengthNone;
    while (e > v && (e[-1] == ' ' || e[-1] == '\t'))
        e--;
    if (v == e)
        return kHttpLengthBad;
    int64_t n = 0;
    for (const char* p = v; p < e; p++) {
        if (*p < '0' || *p > '9')
            return kHttpLengthBad;
        n = n * 10 + (*p - '0');
        if (n > (int64_t)kCbMaxBody)
            return kHttpLengthBad;
    }
    return n;
}

bool HttpResolveLocation(const char* url, const char* location, char* out, size_t cch) {
    if (cch)
        out[0] = '\0';
    if (!url || !location)
        return false;
    if (strncmp(location, "http://", 7) == 0 || strncmp(location, "https://", 8) == 0)
        return location[location[4] == 's' ? 8 : 7] != '\0' && StrCopy(out, cch, location);
    if (location[0] != '/' || location[1] == '/')
        return false;  // relative paths and scheme-relative addresses are refused
    const char* host = strstr(url, "//");
    if (!host)
        return false;
    host += 2;
    size_t hostEnd = strcspn(host, "/");
    size_t prefix = (size_t)(host - url) + hostEnd;
    if (prefix + strlen(location) >= cch)
        return false;
    memcpy(out, url, prefix);
    out[prefix] = '\0';
    return StrCat(out, cch, location);
}
