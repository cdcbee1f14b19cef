// Shortcuts: shell links saved through a temporary file (so that the
// folders of the link path can be created first), and web links written as
// text.
#include "shortcut.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

#include "archive.h"
#include "file_ops.h"
#include "setup_base.h"

static int CreateWebLink(const char* target, const char* link) {
    char path[kCchPath2], text[kCchText2];
    if (!StrFmt(path, countof(path), "%s.url", link) ||
        !StrFmt(text, countof(text), "[InternetShortcut]\r\nURL=%s", target))
        return 1;
    return WriteFileCreatingFolders(path, text, (DWORD)strlen(text)) == 0 ? 0 : 1;
}

// Saves a shell link to the file wide names. True on success.
static bool SaveShellLink(const char* target, const char* arguments, const char* icon, const WCHAR* file) {
    IShellLinkA* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&shellLink)))
        return false;
    IPersistFile* persist = nullptr;
    bool ok = SUCCEEDED(shellLink->SetPath(target)) && SUCCEEDED(shellLink->SetArguments(arguments)) &&
              SUCCEEDED(shellLink->SetIconLocation(icon, 0)) &&
              SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void**)&persist)) &&
              SUCCEEDED(persist->Save(file, TRUE));
    if (persist)
        persist->Release();
    shellLink->Release();
    return ok;
}

int CreateShortcut(const char* target, const char* link, const char* arguments, const char* icon) {
    if (_strnicmp(target, "http://", 7) == 0 || _strnicmp(target, "https://", 8) == 0)
        return CreateWebLink(target, link);
    char temp[kCchPath], tempLink[kCchPath2], path[kCchPath2];
    WCHAR wide[kCchPath2];
    if (!GetTempFolder(temp, countof(temp)) || !StrFmt(tempLink, countof(tempLink), "%s\\Temp.%s", temp, "lnk") ||
        !StrFmt(path, countof(path), "%s.lnk", link) ||
        !MultiByteToWideChar(CP_ACP, 0, tempLink, -1, wide, countof(wide)))
        return 1;
    HRESULT init = CoInitialize(nullptr);
    bool saved = SaveShellLink(target, arguments ? arguments : "", icon && *icon ? icon : target, wide);
    if (SUCCEEDED(init))
        CoUninitialize();
    if (!saved)
        return 1;
    DWORD cb = 0;
    char* bytes = LoadFileOrRecord(tempLink, &cb, 0);
    DeleteFileA(tempLink);
    if (!bytes)
        return 2;
    int written = WriteFileCreatingFolders(path, bytes, cb);
    free(bytes);
    return written == 0 ? 0 : 3;
}
