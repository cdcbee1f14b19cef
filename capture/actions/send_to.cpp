// Send To: the list of targets, the action, the drop on a shell Send-To
// item and the owner-drawn target menu.
#include "capture/actions/send_to.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <stdlib.h>
#include <string.h>

#include "base/str_util.h"
#include "capture/actions/actions.h"
#include "capture/app_texts.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/message_box.h"
#include "framework/shell_util.h"

const char kAskForDestination[] = "<Ask for destination>";

SendToTarget gSendTo[kMaxSendTargets];
int gSendToCount = 0;
HIMAGELIST gSendToIcons = nullptr;

namespace {

// Tab image list indices of the fixed targets.
const int kIconEditor = 8, kIconWord = 9;
// The target menu's first command id (ids 1..count).
const UINT kFirstMenuId = 1;
const UINT_PTR kWordWaitTimer = 1;

// A send to the word processor is running (its conversation may last
// three DDE time-outs while the GUI keeps pumping): the Send actions are
// refused meanwhile.
bool gWordSendRunning = false;
int gWordFileCounter = 0;

// Sends given up while their thread still runs (a hung window holds up
// its connect, or the program quits meanwhile): the thread deletes the
// file when it ends, FreeSendToList at the latest.
struct LeftSend {
    HANDLE thread;
    char path[kCchPath2];
};
const int kMaxLeftSends = 16;
LeftSend gLeftSends[kMaxLeftSends];
int gLeftSendCount = 0;

// Keeps the thread of a send given up, forgetting those that have ended;
// false when there is no room (the thread alone deletes the file then).
bool KeepLeftSend(HANDLE thread, const char* path) {
    int kept = 0;
    for (int i = 0; i < gLeftSendCount; i++) {
        if (WaitForSingleObject(gLeftSends[i].thread, 0) == WAIT_TIMEOUT)
            gLeftSends[kept++] = gLeftSends[i];
        else
            CloseHandle(gLeftSends[i].thread);
    }
    gLeftSendCount = kept;
    if (kept == kMaxLeftSends || !StrCopy(gLeftSends[kept].path, countof(gLeftSends[kept].path), path))
        return false;
    gLeftSends[kept].thread = thread;
    gLeftSendCount++;
    return true;
}

IMalloc* gShellMalloc = nullptr;
IShellFolder* gDesktop = nullptr;
bool gOleUp = false;

int CompareTargets(const void* a, const void* b) {
    return _stricmp(((const SendToTarget*)a)->name, ((const SendToTarget*)b)->name);
}

void AddFixedTarget(const char* name, int kind, int icon) {
    SendToTarget& t = gSendTo[gSendToCount++];
    t.item = nullptr;
    t.kind = kind;
    t.icon = icon;
    StrCopy(t.name, countof(t.name), name);
}

// The item-ID list of parent followed by child (shell allocator), or null.
LPITEMIDLIST JoinIdLists(LPCITEMIDLIST parent, LPCITEMIDLIST child) {
    size_t cbParent = 0, cbChild = 0;
    for (LPCITEMIDLIST p = parent; p && p->mkid.cb; p = NextItemId(p))
        cbParent += p->mkid.cb;
    for (LPCITEMIDLIST p = child; p && p->mkid.cb; p = NextItemId(p))
        cbChild += p->mkid.cb;
    LPITEMIDLIST joined = (LPITEMIDLIST)gShellMalloc->Alloc(cbParent + cbChild + 2);
    if (!joined)
        return nullptr;
    memcpy(joined, parent, cbParent);
    memcpy((BYTE*)joined + cbParent, child, cbChild);
    memset((BYTE*)joined + cbParent + cbChild, 0, 2);
    return joined;
}

// The item's index in the system small-icon list; the icon handle the call
// also hands out is not kept.
int SystemIconIndex(LPCITEMIDLIST folder, LPCITEMIDLIST child) {
    LPITEMIDLIST full = JoinIdLists(folder, child);
    if (!full)
        return 0;
    SHFILEINFOA info;
    memset(&info, 0, sizeof info);
    HIMAGELIST list = (HIMAGELIST)SHGetFileInfoA((const char*)full, 0, &info, sizeof info,
                                                 SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_ICON | SHGFI_SMALLICON);
    if (list)
        gSendToIcons = list;
    if (info.hIcon)
        DestroyIcon(info.hIcon);
    gShellMalloc->Free(full);
    return info.iIcon;
}

// The Send-To folder bound as a shell folder (caller releases) and its
// item-ID list (caller frees), or false.
bool BindSendToFolder(IShellFolder** folder, LPITEMIDLIST* pidl) {
    *folder = nullptr;
    *pidl = nullptr;
    if (!gDesktop || FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_SENDTO, pidl)) || !*pidl)
        return false;
    if (FAILED(gDesktop->BindToObject(*pidl, nullptr, IID_IShellFolder, (void**)folder)) || !*folder) {
        gShellMalloc->Free(*pidl);
        *pidl = nullptr;
        return false;
    }
    return true;
}

void ListShellTargets() {
    IShellFolder* folder;
    LPITEMIDLIST folderPidl;
    if (!BindSendToFolder(&folder, &folderPidl))
        return;
    IEnumIDList* items = nullptr;
    if (SUCCEEDED(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items)) && items) {
        LPITEMIDLIST child = nullptr;
        ULONG fetched = 0;
        while (gSendToCount < kMaxShellTargets && items->Next(1, &child, &fetched) == S_OK && child) {
            SendToTarget& t = gSendTo[gSendToCount];
            STRRET name;
            memset(&name, 0, sizeof name);
            if (SUCCEEDED(folder->GetDisplayNameOf(child, SHGDN_NORMAL, &name)) &&
                StrRetToAnsi(&name, child, t.name, countof(t.name))) {
                t.item = child;
                t.kind = kSendShellItem;
                t.icon = SystemIconIndex(folderPidl, child);
                gSendToCount++;
            } else {
                gShellMalloc->Free(child);
            }
            child = nullptr;
        }
        items->Release();
    }
    folder->Release();
    gShellMalloc->Free(folderPidl);
}

// The data object of a file, as the shell hands it to drop targets
// (caller releases), or null.
IDataObject* FileDataObject(HWND owner, const char* path) {
    WCHAR wide[kCchPath];
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, (int)countof(wide)))
        return nullptr;
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(gDesktop->ParseDisplayName(owner, nullptr, wide, nullptr, &pidl, nullptr)) || !pidl)
        return nullptr;
    // Split into the parent and the last item.
    LPITEMIDLIST last = pidl;
    for (LPITEMIDLIST p = pidl; p->mkid.cb; p = (LPITEMIDLIST)NextItemId(p))
        last = p;
    IShellFolder* parent = gDesktop;
    gDesktop->AddRef();
    if (last != pidl) {
        USHORT saved = last->mkid.cb;
        last->mkid.cb = 0;  // pidl now ends before its last item
        IShellFolder* bound = nullptr;
        HRESULT hr = gDesktop->BindToObject(pidl, nullptr, IID_IShellFolder, (void**)&bound);
        last->mkid.cb = saved;
        parent->Release();
        parent = SUCCEEDED(hr) ? bound : nullptr;
    }
    IDataObject* data = nullptr;
    if (parent) {
        LPCITEMIDLIST child = last;
        if (FAILED(parent->GetUIObjectOf(owner, 1, &child, IID_IDataObject, nullptr, (void**)&data)))
            data = nullptr;
        parent->Release();
    }
    gShellMalloc->Free(pidl);
    return data;
}

int DropOnTarget(HWND owner, const SendToTarget& target, IDataObject* data) {
    IShellFolder* folder;
    LPITEMIDLIST folderPidl;
    if (!BindSendToFolder(&folder, &folderPidl))
        return kDropFailed;
    gShellMalloc->Free(folderPidl);
    IDropTarget* drop = nullptr;
    LPCITEMIDLIST child = target.item;
    int r = kDropFailed;
    if (SUCCEEDED(folder->GetUIObjectOf(owner, 1, &child, IID_IDropTarget, nullptr, (void**)&drop)) && drop) {
        r = DropDataOnTarget(drop, data);
        drop->Release();
    }
    folder->Release();
    return r;
}

void ShowSendError(HWND owner, UINT textId, const char* value) {
    AppMessageBox(owner, nullptr, gApp.Text((WORD)textId, 0), kBoxErrorOk, 0, value);
}

// The target the user picks from the menu at the cursor, or null.
const SendToTarget* AskForTarget(HWND owner) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    for (int i = 0; i < gSendToCount; i++)
        AppendMenuA(menu, MF_OWNERDRAW, kFirstMenuId + i, (const char*)&gSendTo[i]);
    POINT at;
    GetCursorPos(&at);
    // Without the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(owner);
    UINT chosen = (UINT)TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    DestroyMenu(menu);
    if (chosen < kFirstMenuId || chosen >= kFirstMenuId + (UINT)gSendToCount)
        return nullptr;
    return &gSendTo[chosen - kFirstMenuId];
}

// The file to send: gOpt.SndFilename (".png" added when its extension is
// not one of ours, and kept so) in the temporary folder unless it names a
// drive. False when it does not fit.
bool SendFilePath(char* path, size_t cch) {
    char name[kCchPath];
    if (!StrCopy(name, countof(name), gOpt.SndFilename))
        return false;
    if (SaveTypeFromExtension(name) < 0) {
        if (!StrCat(name, countof(name), ".png"))
            return false;
        StrCopy(gOpt.SndFilename, countof(gOpt.SndFilename), name);
    }
    if (name[0] && name[1] == ':')
        return StrCopy(path, cch, name);
    char temp[kCchPath];
    DWORD n = GetTempPathA((DWORD)countof(temp), temp);
    if (n == 0 || n >= countof(temp))
        return false;
    return StrCopy(path, cch, temp) && StrCat(path, cch, name);
}

// SendToWord's results.
enum { kWordSendFailed = 0, kWordSendDone = 1, kWordSendQuit = 2 };

// Runs the word processor's conversation on its thread while the GUI keeps
// pumping, and deletes the file once it ended. The wait is bounded: a
// connect still waiting for a hung top-level window after
// kWordConnectLimit, or a conversation past kWordSendLimit (its three
// transactions time out after 5 s each), is left behind and fails; a quit
// ends the wait at once.
int SendToWord(const char* path) {
    const DWORD kWordConnectLimit = 5000, kWordSendLimit = 20000;
    WordSend* send = NewWordSend(path);
    if (!send) {
        DeleteFileA(path);
        return kWordSendFailed;
    }
    gWordSendRunning = true;
    DWORD id;
    HANDLE thread = CreateThread(nullptr, 0, InsertPictureThread, send, 0, &id);
    if (!thread)
        ReleaseWordSend(send);  // the thread's reference
    bool quit = false;
    DWORD start = GetTickCount();
    while (thread && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        DWORD waited = GetTickCount() - start;
        if ((send->stage == kWordConnecting && waited >= kWordConnectLimit) || waited >= kWordSendLimit)
            break;
        if (!gApp.Wait(20, kWordWaitTimer)) {
            quit = true;
            break;
        }
    }
    bool inserted = thread && send->stage == kWordInserted;
    send->abandoned = 1;
    if (thread && (WaitForSingleObject(thread, 0) != WAIT_TIMEOUT || !KeepLeftSend(thread, send->path)))
        CloseHandle(thread);
    ReleaseWordSend(send);
    gWordSendRunning = false;
    return quit ? kWordSendQuit : inserted ? kWordSendDone : kWordSendFailed;
}

// Hands the written file over to one send to the word processor: renamed
// to "<name>-<n><extension>" beside it (the first free n of this run), so
// that no later send rewrites or deletes a file that a conversation may
// still name. own (cch) receives the file to send; the written path itself
// when the rename fails.
void TakeOwnWordFile(const char* path, char* own, size_t cch) {
    const char* slash = strrchr(path, '\\');
    const char* dot = strrchr(path, '.');
    if (!dot || (slash && dot < slash))
        dot = path + strlen(path);
    for (int tries = 0; tries < 1000; tries++) {
        if (!StrFmt(own, cch, "%.*s-%d%s", (int)(dot - path), path, ++gWordFileCounter, dot))
            break;
        if (MoveFileExA(path, own, 0))
            return;
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            break;
    }
    StrCopy(own, cch, path);
}

bool RunEditor(HWND owner, const char* path) {
    if (!gOpt.EdtProgPath[0]) {
        AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_NO_EDITOR, 0));
        return false;
    }
    // Quoted, so that a path with blanks reaches the editor as one argument.
    char args[kCchPath2];
    if (!StrFmt(args, countof(args), "\"%s\"", path) ||
        (INT_PTR)ShellExecuteA(owner, nullptr, gOpt.EdtProgPath, args, nullptr, SW_SHOW) <= 32) {
        ShowSendError(owner, IDS_CANT_EXECUTE, gOpt.EdtProgPath);
        return false;
    }
    return true;
}

}  // namespace

void BuildSendToList() {
    gOleUp = SUCCEEDED(OleInitialize(nullptr));
    gSendToCount = 0;
    if (SUCCEEDED(SHGetMalloc(&gShellMalloc)) && gShellMalloc && SUCCEEDED(SHGetDesktopFolder(&gDesktop)) && gDesktop)
        ListShellTargets();
    AddFixedTarget("Image Editor", kSendEditor, kIconEditor);
    AddFixedTarget("MS Word", kSendWord, kIconWord);
    qsort(gSendTo, (size_t)gSendToCount, sizeof gSendTo[0], CompareTargets);
}

void FreeSendToList() {
    // The threads of sends given up still run: their files go now, as the
    // program ends and the threads with it.
    for (int i = 0; i < gLeftSendCount; i++) {
        if (WaitForSingleObject(gLeftSends[i].thread, 0) == WAIT_TIMEOUT)
            DeleteFileA(gLeftSends[i].path);
        CloseHandle(gLeftSends[i].thread);
    }
    gLeftSendCount = 0;
    for (int i = 0; i < gSendToCount; i++) {
        if (gSendTo[i].item && gShellMalloc)
            gShellMalloc->Free(gSendTo[i].item);
        gSendTo[i].item = nullptr;
    }
    gSendToCount = 0;
    if (gDesktop)
        gDesktop->Release();
    if (gShellMalloc)
        gShellMalloc->Release();
    gDesktop = nullptr;
    gShellMalloc = nullptr;
    gSendToIcons = nullptr;
    if (gOleUp)
        OleUninitialize();
    gOleUp = false;
}

const SendToTarget* FindSendTarget(const char* name) {
    for (int i = 0; i < gSendToCount; i++)
        if (_stricmp(gSendTo[i].name, name) == 0)
            return &gSendTo[i];
    return nullptr;
}

int DropOnSendToTarget(HWND owner, const char* path, const char* name) {
    const SendToTarget* target = FindSendTarget(name);
    if (!target || target->kind != kSendShellItem || !gDesktop)
        return kDropNoTarget;
    HRESULT ole = OleInitialize(nullptr);
    int r = kDropNoData;
    IDataObject* data = FileDataObject(owner, path);
    if (data) {
        r = DropOnTarget(owner, *target, data);
        data->Release();
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
    return r;
}

int DropDataOnTarget(IDropTarget* drop, IDataObject* data) {
    // As the shell drops: the target picks copy, move or link.
    const DWORD offered = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    DWORD effect = offered;
    POINTL at = {0, 0};
    if (FAILED(drop->DragEnter(data, MK_LBUTTON, at, &effect)) || (effect & offered) == 0) {
        drop->DragLeave();
        return kDropNoTarget;
    }
    effect = offered;
    return SUCCEEDED(drop->Drop(data, MK_LBUTTON, at, &effect)) ? kDropDone : kDropFailed;
}

bool WordSendRunning() {
    return gWordSendRunning;
}

int SendImageTo(HWND owner) {
    if (!gImage.IsValid())
        return kActionNoImage;
    const int kFailed = 3;
    if (gWordSendRunning) {
        // Refused before anything is written: the running send's file stays.
        AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_WORD_BUSY, 0));
        return kFailed;
    }
    char path[kCchPath2];
    if (!SendFilePath(path, countof(path)) || WriteImageFile(path) != kActionDone) {
        AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_SAVE_FAILED, 0));
        return kFailed;
    }
    const SendToTarget* target;
    if (strcmp(gOpt.SndTarget, kAskForDestination) != 0) {
        target = FindSendTarget(gOpt.SndTarget);
        if (!target)
            return kFailed;  // the stored target is gone: the main dialog shows
    } else {
        target = AskForTarget(owner);
        if (!target)
            return kActionCancelled;
    }
    switch (target->kind) {
        case kSendShellItem:
            if (DropOnSendToTarget(owner, path, target->name) != kDropDone) {
                AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_CANT_SEND, 0));
                return kFailed;
            }
            return kActionDone;
        case kSendEditor:
            return RunEditor(owner, path) ? kActionDone : kFailed;
    }
    char own[kCchPath2];
    TakeOwnWordFile(path, own, countof(own));
    switch (SendToWord(own)) {
        case kWordSendDone:
            return kActionDone;
        case kWordSendQuit:
            return kActionCancelled;  // the program ends: no message
    }
    AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_NO_WORD, 0));
    return kFailed;
}

bool MeasureSendMenuItem(HWND owner, UINT dpi, MEASUREITEMSTRUCT* item) {
    if (item->CtlType != ODT_MENU || item->itemID < kFirstMenuId || item->itemID >= kFirstMenuId + (UINT)gSendToCount)
        return false;
    const SendToTarget* target = (const SendToTarget*)item->itemData;
    double s = dpi / 96.0;
    HDC dc = GetDC(owner);
    HGDIOBJ old = SelectObject(dc, gApp.UiFont(dpi, false));
    SIZE size = {0, 0};
    GetTextExtentPoint32A(dc, target->name, (int)strlen(target->name), &size);
    SelectObject(dc, old);
    ReleaseDC(owner, dc);
    item->itemWidth = (UINT)((int)(16 * s) + size.cx + (int)(10 * s));
    item->itemHeight = (UINT)(size.cy + (int)(8 * s));
    return true;
}

bool DrawSendMenuItem(UINT dpi, HIMAGELIST tabIcons, const DRAWITEMSTRUCT* item) {
    if (item->CtlType != ODT_MENU || item->itemID < kFirstMenuId || item->itemID >= kFirstMenuId + (UINT)gSendToCount)
        return false;
    const SendToTarget* target = (const SendToTarget*)item->itemData;
    double s = dpi / 96.0;
    bool selected = (item->itemState & ODS_SELECTED) != 0;
    HDC dc = item->hDC;
    RECT rc = item->rcItem;
    FillRect(dc, &rc, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
    int iconSize = (int)(16 * s);
    HGDIOBJ oldFont = SelectObject(dc, gApp.UiFont(dpi, false));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    RECT text = rc;
    text.left += (int)(10 * s + iconSize);
    DrawTextA(dc, target->name, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
    HIMAGELIST list = target->kind == kSendShellItem ? gSendToIcons : tabIcons;
    if (list)
        ImageList_DrawEx(list, target->icon, dc, rc.left + (int)(4 * s), rc.top + (rc.bottom - rc.top - iconSize) / 2,
                         iconSize, iconSize, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
    return true;
}
