// Name lookup on a thread of its own (see host_lookup.h).
#include "host_lookup.h"

#include <process.h>
#include <string.h>
#include <ws2tcpip.h>

#include "base/str_util.h"

namespace {

// Shared by the caller and the lookup thread; the last of the two to let
// go frees it, so a caller that gave up leaves nothing dangling.
struct Lookup {
    volatile LONG refs = 2;
    HANDLE done = nullptr;  // set when the lookup ended
    char host[kCchPath] = "";
    bool found = false;
    in_addr addr = {};
};

void Release(Lookup* l) {
    if (InterlockedDecrement(&l->refs) == 0) {
        CloseHandle(l->done);
        delete l;
    }
}

unsigned __stdcall LookupThread(void* param) {
    Lookup* l = (Lookup*)param;
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* result = nullptr;
    if (getaddrinfo(l->host, nullptr, &hints, &result) == 0) {
        for (addrinfo* a = result; a; a = a->ai_next) {
            if (a->ai_family == AF_INET && a->ai_addr && a->ai_addrlen >= (int)sizeof(sockaddr_in)) {
                l->addr = ((const sockaddr_in*)a->ai_addr)->sin_addr;
                l->found = true;
                break;
            }
        }
        freeaddrinfo(result);
    }
    SetEvent(l->done);
    Release(l);
    return 0;
}

DWORD Elapsed(DWORD start) {
    DWORD now = GetTickCount();
    return now >= start ? now - start : now;
}

}  // namespace

int LookupHostV4(const char* host, DWORD limitMs, volatile const BYTE* cancel, in_addr* addr) {
    if (!host || !*host)
        return kLookupFailed;
    Lookup* l = new Lookup;
    l->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!l->done || !StrCopy(l->host, countof(l->host), host)) {
        if (l->done)
            CloseHandle(l->done);
        delete l;
        return kLookupFailed;
    }
    uintptr_t thread = _beginthreadex(nullptr, 0, LookupThread, l, 0, nullptr);
    if (!thread) {
        CloseHandle(l->done);
        delete l;
        return kLookupFailed;
    }
    CloseHandle((HANDLE)thread);
    DWORD start = GetTickCount();
    int result = kLookupTimedOut;
    for (;;) {
        if (WaitForSingleObject(l->done, 20) == WAIT_OBJECT_0) {
            result = l->found ? kLookupOk : kLookupFailed;
            if (l->found)
                *addr = l->addr;
            break;
        }
        if (cancel && *cancel) {
            result = kLookupCancelled;
            break;
        }
        if (Elapsed(start) > limitMs)
            break;
    }
    Release(l);
    return result;
}
