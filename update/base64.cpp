// Base64 encoding with 76-character lines.
#include "base64.h"

#include <stdlib.h>
#include <string.h>

char* Base64Encode(const void* data, long length, size_t* outLength) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (outLength)
        *outLength = 0;
    if (!data)
        return nullptr;
    size_t n = length < 0 ? strlen((const char*)data) : (size_t)length;
    if (n == 0)
        return nullptr;
    size_t chars = (n + 2) / 3 * 4;
    char* out = (char*)malloc(chars + chars / 76 * 2 + 2);
    if (!out)
        return nullptr;
    const unsigned char* p = (const unsigned char*)data;
    size_t o = 0, groups = 0;
    for (size_t i = 0; i < n; i += 3) {
        unsigned v = (unsigned)p[i] << 16;
        if (i + 1 < n)
            v |= (unsigned)p[i + 1] << 8;
        if (i + 2 < n)
            v |= p[i + 2];
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        out[o++] = i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
        out[o++] = i + 2 < n ? kAlphabet[v & 63] : '=';
        if (++groups % 19 == 0) {
            out[o++] = '\r';
            out[o++] = '\n';
        }
    }
    out[o] = '\0';
    if (outLength)
        *outLength = o;
    return out;
}
