// Framework windows: the "MoxWindow" class and its framework procedure.
#include "app_window.h"

#include <string.h>

#include "app.h"
#include "framework_messages.h"

static const char kFrameClass[] = "MoxWindow";

CAppWindow::~CAppWindow() {
    if (window && IsWindow(window))
        DestroyWindow(window);
    if (trayIcon)
        DestroyIcon(trayIcon);
}

int CAppWindow::Create(WORD idx, WNDPROC appProc, const char* title, int iconId, DWORD frameFlags, const RECT* rect) {
    index = idx;
    flags = frameFlags;
    WNDCLASSA wc;
    if (!GetClassInfoA(gApp.instance, kFrameClass, &wc)) {
        memset(&wc, 0, sizeof wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = AppWindowProc;
        wc.hInstance = gApp.instance;
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
        wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
        wc.lpszClassName = kFrameClass;
        if (!RegisterClassA(&wc))
            return kMoxErrWindowCreate;
    }
    DWORD exStyle = (flags & kFrameTaskbarButton) ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
    if (flags & kFrameAlwaysOnTop)
        exStyle |= WS_EX_TOPMOST;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, w = CW_USEDEFAULT, h = CW_USEDEFAULT;
    if (rect && rect->right > rect->left && rect->bottom > rect->top) {
        x = rect->left;
        y = rect->top;
        w = rect->right - rect->left;
        h = rect->bottom - rect->top;
    }
    window = CreateWindowExA(exStyle, kFrameClass, title ? title : gApp.productName, WS_OVERLAPPEDWINDOW, x, y, w, h,
                             nullptr, nullptr, gApp.instance, this);
    if (!window)
        return kMoxErrWindowCreate;
    GetWindowRect(window, &windowRect);
    if (iconId > 0) {
        HICON ic = LoadIconA(gApp.instance, MAKEINTRESOURCEA(iconId));
        if (ic)
            SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)ic);
    }
    if (appProc) {
        gApp.frameworkWndProc = AppWindowProc;
        SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)appProc);
    }
    return 0;
}

LRESULT CALLBACK AppWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_NCCREATE:
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA*)lp)->lpCreateParams);
            break;
        case WM_CLOSE:
            // A frame is closed by the application, never by the close box alone.
            ShowWindow(hwnd, SW_HIDE);
            return 0;
        case WM_EXITSIZEMOVE: {
            CAppWindow* frame = (CAppWindow*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
            if (frame)
                GetWindowRect(hwnd, &frame->windowRect);
            break;
        }
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}
