// Reading an HTTP/1.0 reply's header block: the status of its first line,
// header values found at the start of a line, the announced body length,
// and where a redirect points. Platform-neutral; every input is untrusted.
#pragma once
#include <stddef.h>
#include <stdint.h>

// The header block is received up to this many bytes (its end sequence
// included); a longer one is refused.
constexpr size_t kCbMaxHeaderBlock = 16384;
// The largest body accepted, announced or not. The client fetches version
// texts of a few bytes; anything near this is not one.
constexpr uint32_t kCbMaxBody = 1u << 20;

// The status of a block that starts "HTTP/" with a three-digit status at
// offset 9 ("HTTP/1.0 200 OK"); -1 for anything else (short, garbage).
int HttpReplyStatus(const char* block, size_t cb);

// The value of header `name` (without colon; ASCII case ignored) on a line
// of its own: after the colon and any blanks, up to CR, LF or the end. The
// name must start a line, so "Location" does not match "Content-Location".
// False, with out empty, when missing or when the value does not fit cch.
bool HttpHeaderValue(const char* block, size_t cb, const char* name, char* out, size_t cch);

// What Content-Length announces.
enum : int64_t {
    kHttpLengthNone = -1,  // no Content-Length header: read until the peer closes
    kHttpLengthBad = -2,   // not a decimal number, negative, or above kCbMaxBody
};
int64_t HttpContentLength(const char* block, size_t cb);

// The absolute address a Location value names, relative to the request's
// url: an absolute "http://" or "https://" address as it is, an absolute
// path ("/x") on the request's scheme and host. False for anything else
// (relative paths, other schemes) or when the result does not fit cch.
bool HttpResolveLocation(const char* url, const char* location, char* out, size_t cch);
