// Common file dialog, folder browser and shell helpers.
#include "shell_util.h"

#include <commdlg.h>
#include <shlwapi.h>
#include <string.h>

#include "base/str_util.h"
#include "monitors.h"

static char gFileDialogPath[kCchPath];
static char gBrowsePath[kCchPath];

void FilterDefaultExtension(const char* filter, int index, char* ext, size_t cch) {
    ext[0] = '\0';
    if (!filter)
        return;
    if (index < 0)
        index = 0;
    const char* p = filter;
    for (int i = 0; *p; i++) {
        const char* pattern = p + strlen(p) + 1;  // the description's pattern
        if (!*pattern)
            return;  // a description without pattern ends the list
        if (i == index) {
            size_t len = strcspn(pattern, ";");
            const char* dot = nullptr;
            for (size_t k = 0; k < len; k++)
                if (pattern[k] == '.')
                    dot = pattern + k;
            if (!dot)
                return;
            size_t extLen = len - (dot + 1 - pattern);
            if (extLen == 0 || extLen >= cch || strcspn(dot + 1, "*?") < extLen)
                return;
            memcpy(ext, dot + 1, extLen);
            ext[extLen] = '\0';
            return;
        }
        p = pattern + strlen(pattern) + 1;
    }
}

const char* FileDialog(bool save, const char* filter, signed char index, int* chosenIndex, char* folder,
                       const char* initialName) {
    constexpr DWORD kSaveFlags =
        OFN_ENABLESIZING | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    constexpr DWORD kOpenFlags =
        OFN_ENABLESIZING | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    static_assert(kSaveFlags == 0x88080E && kOpenFlags == 0x88100C, "dialog flags");
    if (!StrCopy(gFileDialogPath, countof(gFileDialogPath), initialName)) {
        gFileDialogPath[0] = '\0';
        return nullptr;  // a name that doesn't fit is not cut
    }
    char defExt[16];
    FilterDefaultExtension(filter, index, defExt, countof(defExt));
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof(ofn));
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = (DWORD)(index + 1);
    ofn.lpstrFile = gFileDialogPath;
    ofn.nMaxFile = countof(gFileDialogPath);
    ofn.lpstrInitialDir = (folder && folder[0]) ? folder : nullptr;
    ofn.lpstrDefExt = defExt[0] ? defExt : nullptr;
    ofn.Flags = save ? kSaveFlags : kOpenFlags;
    BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!ok && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
        gFileDialogPath[0] = '\0';  // the preset name was refused: once more without it
        ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    }
    if (!ok)
        return nullptr;
    if (folder) {
        size_t cut = ofn.nFileOffset < strlen(gFileDialogPath) ? ofn.nFileOffset : strlen(gFileDialogPath);
        memcpy(folder, gFileDialogPath, cut);  // cut < kCchPath: the path fits its buffer
        folder[cut] = '\0';
    }
    if (chosenIndex)
        *chosenIndex = (int)ofn.nFilterIndex - 1;
    return gFileDialogPath;
}

static int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM, LPARAM) {
    if (msg == BFFM_INITIALIZED)
        CenterWindow(hwnd, nullptr);
    return 0;
}

const char* BrowseForFolder(const char* title, UINT flags) {
    // CoInitializeEx fails with RPC_E_CHANGED_MODE on a thread that
    // OleInitialize set up: then it must not be balanced by CoUninitialize.
    HRESULT hrInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool uninit = hrInit == S_OK || hrInit == S_FALSE;
    char display[kCchPath] = "";
    BROWSEINFOA bi;
    memset(&bi, 0, sizeof(bi));
    bi.hwndOwner = GetActiveWindow();
    bi.pszDisplayName = display;
    bi.lpszTitle = title;
    bi.ulFlags = flags | BIF_NEWDIALOGSTYLE;
    bi.lpfn = BrowseCallback;
    LPITEMIDLIST pidl = SHBrowseForFolderA(&bi);
    const char* result = nullptr;
    if (pidl) {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(pidl, path) && StrCopy(gBrowsePath, countof(gBrowsePath), path))
            result = gBrowsePath;
        CoTaskMemFree(pidl);
    }
    if (uninit)
        CoUninitialize();
    return result;
}

bool CommonControlsAbove470() {
    HMODULE lib = LoadLibraryA("comctl32.dll");
    if (!lib)
        return false;
    bool above = false;
    DLLGETVERSIONPROC getVersion = (DLLGETVERSIONPROC)(void*)GetProcAddress(lib, "DllGetVersion");
    if (getVersion) {
        DLLVERSIONINFO info;
        memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        if (SUCCEEDED(getVersion(&info)))
            above = ((info.dwMajorVersion << 16) | (info.dwMinorVersion & 0xFFFF)) > ((4u << 16) | 70u);
    }
    FreeLibrary(lib);
    return above;
}

bool GetSpecialFolderPath(int csidl, char* path, size_t cch) {
    char tmp[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, tmp)) || !tmp[0] ||
        !StrCopy(path, cch, tmp)) {
        if (cch)
            path[0] = '\0';
        return false;
    }
    return true;
}

struct PhantomSearch {
    const char* productName;
    HWND found;
};

static BOOL CALLBACK CheckPhantom(HWND hwnd, LPARAM param) {
    PhantomSearch* s = (PhantomSearch*)param;
    char cls[64], title[kCchPath];
    if (!GetClassNameA(hwnd, cls, countof(cls)) || lstrcmpiA(cls, "MoxPhantom") != 0)
        return TRUE;
    title[0] = '\0';
    GetWindowTextA(hwnd, title, countof(title));
    if (strcmp(title, s->productName) != 0)
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND FindPhantomWindow(const char* productName) {
    PhantomSearch s = {productName, nullptr};
    EnumWindows(CheckPhantom, (LPARAM)&s);
    return s.found;
}

LPCITEMIDLIST NextItemId(LPCITEMIDLIST pidl) {
    if (!pidl || pidl->mkid.cb == 0)
        return nullptr;
    return (LPCITEMIDLIST)((const BYTE*)pidl + pidl->mkid.cb);
}

bool StrRetToAnsi(STRRET* strRet, LPCITEMIDLIST pidl, char* out, size_t cch) {
    if (!cch)
        return false;
    out[0] = '\0';
    bool ok = false;
    switch (strRet->uType) {
        case STRRET_WSTR:
            if (strRet->pOleStr) {
                ok = WideCharToMultiByte(CP_ACP, 0, strRet->pOleStr, -1, out, (int)cch, nullptr, nullptr) > 0;
                CoTaskMemFree(strRet->pOleStr);
                strRet->pOleStr = nullptr;
            }
            break;
        case STRRET_OFFSET:
            ok = pidl && StrCopy(out, cch, (const char*)pidl + strRet->uOffset);
            break;
        case STRRET_CSTR:
            ok = StrCopy(out, cch, strRet->cStr);
            break;
    }
    if (!ok)
        out[0] = '\0';
    return ok;
}
