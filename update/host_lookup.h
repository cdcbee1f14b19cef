// Name lookup that a time limit and a cancel byte can end: getaddrinfo runs
// on a thread of its own, which the caller leaves behind when the limit
// passes or the byte is set. The thread keeps what it uses alive until it
// ends by itself.
#pragma once
#include <winsock2.h>

#include <windows.h>

enum : int { kLookupOk = 0, kLookupFailed = 1, kLookupTimedOut = 2, kLookupCancelled = 3 };

// The first IPv4 address of host into *addr within limitMs milliseconds;
// a non-zero *cancel (the pointer may be null) ends the wait early.
int LookupHostV4(const char* host, DWORD limitMs, volatile const BYTE* cancel, in_addr* addr);
