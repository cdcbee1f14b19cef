// The instance window, the tray icons of frames, the restart request, the
// Startup-folder link and the message-pumping wait.
#include "instance_window.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "app.h"
#include "app_window.h"
#include "base/str_util.h"
#include "framework_messages.h"
#include "monitors.h"
#include "schedules.h"

static int gPhantomTicks;

int PhantomTickCount() {
    return gPhantomTicks;
}

bool IsProcessElevated(int osCode) {
    if (osCode < 600)
        return true;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return true;
    TOKEN_ELEVATION elevation;
    DWORD cb = 0;
    bool elevated = !GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &cb) ||
                    elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

static LONG RoundHalfAway(double v) {
    return (LONG)(v < 0 ? v - 0.5 : v + 0.5);
}

// Each frame keeps its place relative to its monitor when the layout changes.
static void OnDisplayChange() {
    gMonitors.sets[1] = gMonitors.sets[0];  // the old layout, for the ratios
    RefreshMonitors();
    for (int i = gApp.frames.count - 1; i >= 0; i--) {
        CAppWindow* f = *gApp.frames.At(i);
        if (f->flags & (kFrameResolutionLock | kFrameHidden))
            continue;
        RECT r = f->windowRect, was, now;
        MonitorRectFromPoint(r.left, r.top, &now, 0);
        MonitorRectFromPoint(r.left, r.top, &was, 1);
        double ow = was.right - was.left, oh = was.bottom - was.top;
        if (ow <= 0 || oh <= 0)
            continue;
        double sx = (now.right - now.left) / ow, sy = (now.bottom - now.top) / oh;
        LONG left = RoundHalfAway(r.left * sx), top = RoundHalfAway(r.top * sy);
        LONG width = RoundHalfAway(r.right * sx - r.left * sx), height = RoundHalfAway(r.bottom * sy - r.top * sy);
        MoveWindow(f->window, left, top, width, height, TRUE);
        f->windowRect = {left, top, left + width, top + height};
    }
    for (int i = gApp.frames.count - 1; i >= 0; i--)
        SendMessageA((*gApp.frames.At(i))->window, MoxMSG_DISPLAYCHANGED, 0, 0);
}

static void OnInstanceMessage(WPARAM request, LPARAM crc) {
    if ((uint32_t)crc != gApp.productCrc)
        return;  // another product built on the framework
    switch (request) {
        case MoxMSG_RESTART:
            gApp.RequestRestart(-1, nullptr, false);
            break;
        case MoxMSG_SECONDSTART:
            // The user looks for the program: no frame may let clicks through.
            for (int i = 0; i < gApp.frames.count; i++)
                if ((*gApp.frames.At(i))->clickThrough)
                    (*gApp.frames.At(i))->SetClickThrough(false);
            gApp.SendToMainFrame((UINT)request, request, crc);
            break;
        case MoxMSG_QUIT:
            // Only the named requests travel on: another process must not be
            // able to send the main frame an arbitrary message.
            gApp.SendToMainFrame((UINT)request, request, crc);
            break;
    }
}

LRESULT CALLBACK PhantomWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == gApp.instanceMessage && msg != 0) {
        OnInstanceMessage(wp, lp);
        return 0;
    }
    if (msg == gApp.taskbarMessage && msg != 0) {
        gApp.SendToMainFrame(MoxMSG_TASKBARCREATED, 0, 0);
        return 0;
    }
    switch (msg) {
        case WM_CREATE:
            SetTimer(hwnd, kPhantomTimerId, kPhantomTimerMs, nullptr);
            break;
        case WM_DESTROY:
            KillTimer(hwnd, kPhantomTimerId);
            break;
        case WM_ENDSESSION:
            if (wp)
                gApp.SaveAppRecord();
            break;
        case WM_DISPLAYCHANGE:
            OnDisplayChange();
            break;
        case WM_TIMER:
            if (wp == kPhantomTimerId && ++gPhantomTicks > 23) {
                gPhantomTicks = 0;
                RunDueSchedules();
            }
            break;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void CApp::SetTrayIcon(WORD index, int iconId, const char* tipFormat, ...) {
    char tip[260];
    if (tipFormat) {
        va_list args;
        va_start(args, tipFormat);
        vsnprintf(tip, countof(tip), tipFormat, args);
        va_end(args);
        tip[countof(tip) - 1] = '\0';
    } else {
        StrCopy(tip, countof(tip), productName);
    }
    HICON h =
        iconId < 0 ? nullptr : (HICON)LoadImageA(instance, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 64, 64, LR_SHARED);
    SetTrayIconRaw(index, h, tip);
}

void CApp::SetTrayIconRaw(WORD index, HICON h, const char* tip) {
    CAppWindow* frame = FrameByIndex(index);
    NOTIFYICONDATAA nid;
    memset(&nid, 0, sizeof nid);
    nid.cbSize = sizeof nid;
    nid.hWnd = frame ? frame->window : GetDesktopWindow();
    nid.uID = index;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = MoxMSG_TRAYNOTIFY;
    nid.hIcon = h;
    StrCopy(nid.szTip, countof(nid.szTip), tip ? tip : productName);
    if (frame) {
        if (frame->trayIcon && frame->trayIcon != h)
            DestroyIcon(frame->trayIcon);  // shared icons ignore this
        frame->trayIcon = h;
    }
    if (!h) {
        Shell_NotifyIconA(NIM_DELETE, &nid);
        return;
    }
    if (!Shell_NotifyIconA(NIM_MODIFY, &nid))
        Shell_NotifyIconA(NIM_ADD, &nid);
}

int CApp::SetAutoStart(bool enable, const char* extraArgs, bool onlyIfMissing, const char* iconPath,
                       const char* linkName) {
    char args[kCchText];
    StrFmt(args, countof(args), "%s %s %s", "-WAITFORDATAPATH", "-AUTOSTART", extraArgs ? extraArgs : "");
    HRESULT co = CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_SPEED_OVER_MEMORY);
    // Only a successful initialisation is undone (OLE may own the thread already).
    bool uninit = co == S_OK || co == S_FALSE;
    int result = kMoxErrStartupLink;
    char install[kCchPath], target[kCchPath], startup[MAX_PATH] = "", link[kCchPath];
    InstallSettingsText(installSettings, kInstallFolder, install, countof(install));
    if (StrFmt(target, countof(target), "%s\\%s.exe", install, productName) &&
        SHGetSpecialFolderPathA(nullptr, startup, CSIDL_STARTUP, TRUE) &&
        StrFmt(link, countof(link), "%s%s%s.lnk", startup,
               startup[0] && startup[strlen(startup) - 1] == '\\' ? "" : "\\",
               linkName && *linkName ? linkName : productName)) {
        if (!enable) {
            DeleteFileA(link);
            result = 0;
        } else if (onlyIfMissing && GetFileAttributesA(link) != INVALID_FILE_ATTRIBUTES) {
            result = 0;
        } else {
            IShellLinkA* sl = nullptr;
            if (SUCCEEDED(
                    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&sl))) {
                sl->SetPath(target);
                sl->SetArguments(args);
                sl->SetIconLocation(iconPath && *iconPath ? iconPath : target, 0);
                IPersistFile* pf = nullptr;
                if (SUCCEEDED(sl->QueryInterface(IID_IPersistFile, (void**)&pf))) {
                    WCHAR wide[kCchPath];
                    if (MultiByteToWideChar(CP_ACP, 0, link, -1, wide, (int)countof(wide)) &&
                        SUCCEEDED(pf->Save(wide, TRUE)))
                        result = 0;
                    pf->Release();
                }
                sl->Release();
            }
        }
    }
    if (uninit)
        CoUninitialize();
    return result;
}

bool CApp::Wait(UINT ms, UINT_PTR timerId) {
    if (!instanceWindow || GetWindowThreadProcessId(instanceWindow, nullptr) != GetCurrentThreadId()) {
        Sleep(ms);
        return true;
    }
    if (!SetTimer(instanceWindow, timerId, ms, nullptr))
        return true;
    MSG m;
    bool quit = false;
    int code = 0;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_TIMER && m.hwnd == instanceWindow && m.wParam == timerId)
            break;
        PreDispatch(&m);  // the waits keep the framework's keyboard handling too
    }
    if (m.message == WM_QUIT) {
        quit = true;
        code = (int)m.wParam;
    }
    KillTimer(instanceWindow, timerId);
    if (quit)
        PostQuitMessage(code);  // the outer loop ends as well
    return !quit;
}
