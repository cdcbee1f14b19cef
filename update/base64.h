// Base64 for the Basic authorization value of the HTTP client.
#pragma once
#include <stddef.h>

// The standard alphabet with '=' padding, "\r\n" after every 76 characters
// (also after a last full line). length -1: the C-string length of data.
// Returns a NUL-terminated text the caller frees with free(), and its
// length (line breaks included) in *outLength (may be null); null for null
// data, a length of 0 or no memory.
char* Base64Encode(const void* data, long length, size_t* outLength);
