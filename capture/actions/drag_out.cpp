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

// Writes gImage (the smaller of JPEG and PNG) to the next temporary file;
// path (cch) receives its name. The image keeps its name: the temporary
// file is not the image's file.
bool WriteDragFile(char* path, size_t cch) {
    char temp[kCchPath];
    DWORD n = GetTempPathA((DWORD)countof(temp), temp);
    if (n == 0 || n >= countof(temp) || !AddTrailingBackslash(temp, countof(temp)))
        return false;
    if (!StrFmt(path, cch, "%sVellumor Pro (%d).opt", temp, gDragCounter++))
        return false;
    char name[countof(gImageName)];
    StrCopy(name, countof(name), gImageName);
    int r = SaveOptimal(path, cch);
    StrCopy(gImageName, countof(gImageName), name);
    return r == kActionDone;
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
    if (data && source) {
        DWORD effect = DROPEFFECT_NONE;
        DoDragDrop(data, source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
    }
    // Whatever the target did: a temporary file must not outlive the drag.
    DeleteFileA(path);
    if (SUCCEEDED(ole))
        OleUninitialize();
    if (source)
        source->Release();
    if (data)
        data->Release();
    return 1;
}
