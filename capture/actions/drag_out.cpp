// Dragging the current image out as a file: the temporary file, the drag
// and the clean-up.
#include "capture/actions/drag_out.h"

#include <string.h>

#include "base/path_util.h"
#include "base/str_util.h"
#include "capture/actions/actions.h"
#include "capture/app_texts.h"
#include "capture/state/image_state.h"
#include "framework/app.h"
#include "framework/message_box.h"

namespace {

int gDragCounter = 1;
// The temporary files' names: the prefix, a number, then one of the endings.
const char kDragPrefix[] = "Vellumor Pro (";
const char* const kDragEndings[] = {").jpg", ").png", ").opt"};
const int kMaxDragNameTries = 10000;
const ULONGLONG kDragFileAge = 24ull * 60 * 60 * 10000000;  // a day in FILETIME units

// A name that DragImageOut gives its files: "Vellumor Pro (<digits>)" with
// one of the endings (case ignored). The short names that the search also
// matches never pass.
bool IsDragFileName(const char* name) {
    size_t n = strlen(kDragPrefix);
    if (_strnicmp(name, kDragPrefix, n) != 0)
        return false;
    const char* p = name + n;
    const char* digits = p;
    while (*p >= '0' && *p <= '9')
        p++;
    if (p == digits)
        return false;
    for (const char* ending : kDragEndings)
        if (_stricmp(p, ending) == 0)
            return true;
    return false;
}

ULONGLONG FileTimeValue(const FILETIME& t) {
    return ((ULONGLONG)t.dwHighDateTime << 32) | t.dwLowDateTime;
}

// Writes gImage (the smaller of JPEG and PNG) to a new temporary file;
// path (cch) receives its name. The file only ever takes a name that is
// free: a copy drop of an earlier run may have left "Vellumor Pro (1).png"
// for a target that reads it later, so the counter moves past what exists.
// The image keeps its name: the temporary file is not the image's file.
bool WriteDragFile(char* path, size_t cch) {
    char temp[kCchPath];
    DWORD n = GetTempPathA((DWORD)countof(temp), temp);
    if (n == 0 || n >= countof(temp) || !AddTrailingBackslash(temp, countof(temp)))
        return false;
    OptimalTemp t;
    if (!StrFmt(path, cch, "%s%s%d).opt", temp, kDragPrefix, gDragCounter) || WriteOptimalTemp(path, &t) != kActionDone)
        return false;
    char ext[8];
    bool named = StrCopy(ext, countof(ext), FileExtension(t.target)) && ext[0];
    for (int tries = 0; named && tries < kMaxDragNameTries; tries++) {
        if (!StrFmt(t.target, countof(t.target), "%s%s%d).%s", temp, kDragPrefix, gDragCounter++, ext))
            break;
        if (CommitOptimalTemp(&t, false))
            return StrCopy(path, cch, t.target);
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
            return false;  // the temporary file is gone
    }
    DeleteFileA(t.tmp);
    return false;
}

}  // namespace

int DragImageOut(HWND owner) {
    if (!gImage.IsValid())
        return 0;
    char path[kCchPath2];
    if (!WriteDragFile(path, countof(path))) {
        AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text(IDS_SAVE_FAILED, 0));
        return 0;
    }
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium;
    memset(&medium, 0, sizeof medium);
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = MakeDropFiles(path);
    IDropSource* source = nullptr;
    IDataObject* data = nullptr;
    if (medium.hGlobal && FAILED(CreateDataObject(&format, &medium, 1, &data)))
        GlobalFree(medium.hGlobal);  // not taken over
    CreateDropSource(&source);
    HRESULT ole = OleInitialize(nullptr);
    HRESULT result = DRAGDROP_S_CANCEL;
    DWORD effect = DROPEFFECT_NONE;
    if (data && source)
        result = DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    // A target that took a copy may read the file long after the drop (an
    // upload, a browser's file field, a copy in the background): the file
    // stays, and a later start-up removes it (RemoveOldDragFiles). A moved
    // file is the target's; a cancelled drag leaves nothing behind.
    if (result != DRAGDROP_S_DROP || effect == DROPEFFECT_MOVE)
        DeleteFileA(path);
    if (SUCCEEDED(ole))
        OleUninitialize();
    if (source)
        source->Release();
    if (data)
        data->Release();
    return 1;
}

int RemoveOldDragFiles() {
    char temp[kCchPath], pattern[kCchPath2], path[kCchPath2];
    DWORD n = GetTempPathA((DWORD)countof(temp), temp);
    if (n == 0 || n >= countof(temp) || !AddTrailingBackslash(temp, countof(temp)) ||
        !StrFmt(pattern, countof(pattern), "%s%s*", temp, kDragPrefix))
        return 0;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int removed = 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsDragFileName(found.cFileName))
            continue;
        if (FileTimeValue(now) - FileTimeValue(found.ftLastWriteTime) <= kDragFileAge ||
            FileTimeValue(found.ftLastWriteTime) > FileTimeValue(now))
            continue;
        if (StrFmt(path, countof(path), "%s%s", temp, found.cFileName) && DeleteFileA(path))
            removed++;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return removed;
}
