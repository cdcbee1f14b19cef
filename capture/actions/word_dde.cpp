// The word processor's DDE conversation: "WINWORD" / "System", a new
// document when it has none open, then the picture inserted; and the
// record that the conversation's thread shares with the GUI thread.
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

// The connect waits for every top-level window to answer its broadcast, as
// long as any of them hangs; the GUI thread may give up meanwhile, and the
// picture is then not sent once the connect ends.
DWORD Converse(DWORD instance, WordSend* send) {
    HSZ service = DdeCreateStringHandleA(instance, "WINWORD", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, "System", CP_WINANSI);
    HCONV conv = DdeConnect(instance, service, topic, nullptr);
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topic);
    if (!conv)
        return 1;
    send->stage = kWordConnected;
    bool ok = false;
    if (!send->abandoned) {
        if (!HasOpenDocument(instance, conv))
            Execute(conv, "[FileNew]");
        char command[kCchText];
        ok = !send->abandoned && StrFmt(command, countof(command), "[InsertPicture (\"%s\")]", send->path) &&
             Execute(conv, command);
    }
    DdeDisconnect(conv);
    return ok ? 0 : 1;
}

}  // namespace

WordSend* NewWordSend(const char* path) {
    WordSend* send = (WordSend*)calloc(1, sizeof(WordSend));
    if (!send)
        return nullptr;
    if (!StrCopy(send->path, countof(send->path), path)) {
        free(send);
        return nullptr;
    }
    send->refs = 2;
    send->stage = kWordConnecting;
    return send;
}

void ReleaseWordSend(WordSend* send) {
    if (InterlockedDecrement(&send->refs) != 0)
        return;
    DeleteFileA(send->path);
    free(send);
}

DWORD WINAPI InsertPictureThread(LPVOID param) {
    WordSend* send = (WordSend*)param;
    DWORD instance = 0;
    DWORD code = 1;
    if (DdeInitializeA(&instance, IgnoreDde, APPCMD_CLIENTONLY, 0) == DMLERR_NO_ERROR) {
        code = Converse(instance, send);
        DdeUninitialize(instance);
    }
    send->stage = code == 0 ? kWordInserted : kWordFailed;
    ReleaseWordSend(send);
    return code;
}
