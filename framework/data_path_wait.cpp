// The data-folder waiter, the write test and the tinted tray icon.
#include "data_path_wait.h"

#include <shellapi.h>
#include <string.h>

#include "base/file_util.h"
#include "base/str_util.h"
#include "framework_messages.h"
#include "visuals.h"

static const char kWaitClass[] = "MoxWaitForDataPath";
static const UINT kTrayId = 1;
static const UINT kCmdCancel = 1;

int CDataPathWait::CreateFolderPath(const char* path) {
    return ::CreateFolderPath(path, false);  // no pause: the waiter paces its own tries
}

int TestDataFolderWrite(const char* folder) {
    char path[kCchPath];
    if (!StrCopy(path, countof(path), folder))
        return 1;
    size_t n = strlen(path);
    if (n > 0 && path[n - 1] == '\\')
        path[n - 1] = '\0';
    if (!StrCat(path, countof(path), "\\MoxWriteTest.tmp"))
        return 1;
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(h);
    DeleteFileA(path);
    return 0;
}

void CDataPathWait::ShowIcon(HICON icon) {
    NOTIFYICONDATAA nid;
    memset(&nid, 0, sizeof nid);
    nid.cbSize = sizeof nid;
    nid.hWnd = window_;
    nid.uID = kTrayId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = MoxMSG_TRAYNOTIFY;
    nid.hIcon = icon;
    StrCopy(nid.szTip, countof(nid.szTip), tip_);  // the tray keeps 127 characters
    if (!Shell_NotifyIconA(NIM_MODIFY, &nid))
        Shell_NotifyIconA(NIM_ADD, &nid);
}

void CDataPathWait::OnTray(LPARAM mouseMsg) {
    if (mouseMsg != WM_LBUTTONDOWN && mouseMsg != WM_LBUTTONDBLCLK && mouseMsg != WM_RBUTTONDOWN)
        return;
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    AppendMenuA(menu, MF_STRING, kCmdCancel, menuText_);
    POINT pt;
    GetCursorPos(&pt);
    SetForegroundWindow(window_);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, window_, nullptr);
    DestroyMenu(menu);
}

LRESULT CALLBACK CDataPathWait::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CDataPathWait* wait = (CDataPathWait*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    switch (msg) {
        case WM_NCCREATE:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA*)lp)->lpCreateParams);
            break;
        case MoxMSG_TRAYNOTIFY:
            if (wait)
                wait->OnTray(lp);
            return 0;
        case WM_COMMAND:
            if (wait && LOWORD(wp) == kCmdCancel) {
                wait->cancelled_ = true;
                return 0;
            }
            break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

int CDataPathWait::Wait(const char* folder, int tries, int iconId, const char* tip, const char* menuText) {
    int created = CreateFolderPath(folder);
    if (created == 0)
        return 0;
    HICON normal = nullptr, tinted = nullptr;
    bool shown = false;
    for (int pass = 0; tries != 0 && !cancelled_; pass++) {
        if (pass == 0) {
            normal = (HICON)LoadImageA(instance_, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
            tinted = TintIcon(normal, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_BTNSHADOW));
            WNDCLASSA wc;
            memset(&wc, 0, sizeof wc);
            wc.lpfnWndProc = WndProc;
            wc.hInstance = instance_;
            wc.lpszClassName = kWaitClass;
            RegisterClassA(&wc);
            window_ = CreateWindowExA(WS_EX_TOOLWINDOW, kWaitClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      instance_, this);
        }
        StrCopy(tip_, countof(tip_), tip);
        StrCopy(menuText_, countof(menuText_), menuText);
        if (window_) {
            ShowIcon((pass % 2 == 0 && tinted) ? tinted : normal);
            shown = true;
        }
        for (int i = 0; i < 10 && !cancelled_; i++) {
            MSG m;
            while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (m.message == WM_QUIT) {  // keep the quit for the caller's loop
                    PostQuitMessage((int)m.wParam);
                    cancelled_ = true;
                    break;
                }
                if (!window_ || !IsDialogMessageA(window_, &m)) {
                    TranslateMessage(&m);
                    DispatchMessageA(&m);
                }
            }
            if (!cancelled_)
                Sleep(100);
        }
        if (cancelled_)
            break;
        created = CreateFolderPath(folder);
        if (tries > 0)
            tries--;
        if (created == 0)
            break;
    }
    if (shown) {
        NOTIFYICONDATAA nid;
        memset(&nid, 0, sizeof nid);
        nid.cbSize = sizeof nid;
        nid.hWnd = window_;
        nid.uID = kTrayId;
        Shell_NotifyIconA(NIM_DELETE, &nid);
    }
    if (normal)
        DestroyIcon(normal);
    if (tinted)
        DestroyIcon(tinted);
    if (window_)
        DestroyWindow(window_);
    window_ = nullptr;
    if (created == 0)
        return 0;
    return cancelled_ ? 1 : 2;
}
