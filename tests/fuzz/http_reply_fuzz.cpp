// libFuzzer target: the HTTP client's reading of a reply's header block:
// the status line, header lookups at line starts, Content-Length and the
// redirect target.
// Seeds: replies of every kind.
// clang-format off
// seed: printf 'HTTP/1.0 200 OK\r\nContent-Length: 5\r\nLast-Modified: Tue, 08 Dec 2026\r\n\r\n' > ok
// seed: printf 'HTTP/1.1 301 Moved\r\nContent-Location: /x\r\nLocation: /v.txt\r\n\r\n' > redirect
// seed: printf 'HTTP/1.0 302 Found\r\nlocation:   https://127.0.0.1/a?b=c\r\n\r\n' > absolute
// clang-format on
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "update/http_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kCbMaxHeaderBlock)
        return 0;
    std::string block((const char*)data, size);  // the client appends a NUL too
    const char* b = block.c_str();
    volatile int status = HttpReplyStatus(b, size);
    (void)status;
    volatile int64_t length = HttpContentLength(b, size);
    (void)length;
    char value[1040], next[1040];
    if (HttpHeaderValue(b, size, "Location", value, sizeof value)) {
        HttpResolveLocation("https://127.0.0.1/v.txt", value, next, sizeof next);
        HttpResolveLocation("http://h", value, next, 24);
    }
    HttpHeaderValue(b, size, "Last-Modified", value, 16);
    return 0;
}
