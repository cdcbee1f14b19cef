// The word processor's DDE conversation: "WINWORD" / "System", a new
// document when it has none open, then the picture inserted.
#include <windows.h>
// The headers below need windows.h first.
#include <ddeml.h>
#include <stdlib.h>
#include <string.h>

#include "base/str_util.h"
#include "capture/actions/send_to.h"

namespace {

const DWORD kDdeTimeout = 5000;

HDDEDATA CALLBACK IgnoreDde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return 0;
}

// Fewer than two tabs in the "Topics" reply: no document is open.
bool HasOpenDocument(DWORD instance, HCONV conv) {
    HSZ topics = DdeCreateStringHandleA(instance, "Topics", CP_WINANSI);
    HDDEDATA reply = DdeClientTransaction(nullptr, 0, conv, topics, CF_TEXT, XTYP_REQUEST, kDdeTimeout, nullptr);
    DdeFreeStringHandle(instance, topics);
    if (!reply)
        return false;
    DWORD size = 0;
    const char* text = (const char*)DdeAccessData(reply, &size);
    int tabs = 0;
    for (DWORD i = 0; text && i < size && text[i]; i++)
        if (text[i] == '\t')
            tabs++;
    DdeUnaccessData(reply);
    DdeFreeDataHandle(reply);
    return tabs >= 2;
}

bool Execute(HCONV conv, const char* command) {
    HDDEDATA r = DdeClientTransaction((BYTE*)command, (DWORD)strlen(command) + 1, conv, nullptr, 0, XTYP_EXECUTE,
                                      kDdeTimeout, nullptr);
    return r != nullptr;
}

DWORD Converse(DWORD instance, const char* path) {
    HSZ service = DdeCreateStringHandleA(instance, "WINWORD", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, "System", CP_WINANSI);
    HCONV conv = DdeConnect(instance, service, topic, nullptr);
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topic);
    if (!conv)
        return 1;
    if (!HasOpenDocument(instance, conv))
        Execute(conv, "[FileNew]");
    char command[kCchText];
    bool ok = StrFmt(command, countof(command), "[InsertPicture (\"%s\")]", path) && Execute(conv, command);
    DdeDisconnect(conv);
    return ok ? 0 : 1;
}

}  // namespace

DWORD WINAPI InsertPictureThread(LPVOID param) {
    char* path = (char*)param;
    DWORD instance = 0;
    DWORD code = 1;
    if (path && DdeInitializeA(&instance, IgnoreDde, APPCMD_CLIENTONLY, 0) == DMLERR_NO_ERROR) {
        code = Converse(instance, path);
        DdeUninitialize(instance);
    }
    free(path);
    return code;
}
