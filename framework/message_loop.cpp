// The framework's message loop and its pre-dispatch: keyboard navigation
// of framework menus, edge resizing of borderless frames, Tab cycling, the
// Alt menu bar, then the nearest dialog's own keyboard navigation.
#include <string.h>

#include "app.h"
#include "app_window.h"
#include "dock_bay.h"
#include "framework_messages.h"
#include "menu.h"

namespace {

// The borderless-frame edge drag.
struct EdgeDrag {
    CAppWindow* frame;
    int edge;  // 1 top-left ... 8 top, clockwise from the left
    bool dragging;
    int toLeft, toTop, toRight, toBottom;
};
EdgeDrag gEdge;

bool IsButtonDown(UINT msg) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_NCMBUTTONDOWN:
            return true;
    }
    return false;
}

// A held key's auto-repeat: opening and closing the menu bar on every
// repeat would make it flicker while Alt is down.
bool IsKeyRepeat(LPARAM keyData) {
    return (keyData & 0x40000000) != 0;
}

// True when the window lies in one of the open popups (their items included).
bool InOpenPopup(HWND w) {
    for (CMenu* m = gApp.rootMenu; m; m = m->openChild)
        if (m->popup && (w == m->popup || IsChild(m->popup, w)))
            return true;
    return false;
}

// The menu that takes the keys: from the root, down while no item is hot.
CMenu* KeyMenu() {
    CMenu* cur = gApp.rootMenu;
    while (cur && cur->HotIndex() < 0 && cur->openChild)
        cur = cur->openChild;
    return cur;
}

void Highlight(CMenu* menu, int index) {
    if (menu && index >= 0 && index < menu->popupItems.count)
        SendMessageA((*menu->popupItems.At(index))->window, WM_MOUSEMOVE, 0, -1);
}

bool OnMenuKey(WPARAM key) {
    CMenu* cur = KeyMenu();
    if (!cur || !cur->popupOpen)
        return false;
    int hot = cur->HotIndex();
    CUIItem* hotItem = hot >= 0 ? *cur->popupItems.At(hot) : nullptr;
    bool rootVisible = gApp.rootMenu && gApp.rootMenu->window && IsWindowVisible(gApp.rootMenu->window);
    switch (key) {
        case VK_RETURN:
            if (hotItem)
                SendMessageA(hotItem->window, WM_LBUTTONUP, 0, -1);
            break;
        case VK_ESCAPE:
            if (cur == gApp.rootMenu)
                gApp.MoveMenuSelection(2);
            else
                gApp.CloseMenus(cur);
            break;
        case VK_LEFT:
            if (cur->owner)
                SendMessageA(cur->window, WM_MOUSEMOVE, 0, -1);
            else if (rootVisible)
                gApp.MoveMenuSelection(-1);
            break;
        case VK_RIGHT:
            if (cur->openChild) {
                Highlight(cur->openChild, cur->openChild->NextEnabled(-1, 1));
            } else if (hotItem && hotItem->kind == kKindMenu && (hotItem->CurrentFlags() & kCmdSplit)) {
                CMenu* sub = (CMenu*)hotItem;
                RECT r;
                GetWindowRect(sub->window, &r);
                if (sub->OpenPopup(r) == 0)
                    Highlight(sub, sub->NextEnabled(-1, 1));
            } else if (rootVisible) {
                gApp.MoveMenuSelection(1);
            }
            break;
        case VK_UP:
        case VK_DOWN:
            Highlight(cur, cur->NextEnabled(hot < 0 ? (key == VK_DOWN ? -1 : 0) : hot, key == VK_DOWN ? 1 : -1));
            break;
        default:
            if (key >= 14 && key <= 36)
                gApp.MoveMenuSelection(2);
            break;  // other keys are swallowed while a menu is open
    }
    return true;
}

int EdgeAt(CAppWindow* f, POINT screen) {
    POINT p = screen;
    ScreenToClient(f->window, &p);
    int W = (f->normalRect.right - f->normalRect.left) - 5, H = (f->normalRect.bottom - f->normalRect.top) - 5;
    if (p.x < 0 || p.y < 0 || p.x > W + 5 || p.y > H + 5)
        return 0;
    if (p.x < 5)
        return p.y < 5 ? 1 : p.y >= H ? 3 : 2;
    if (p.x < W)
        return p.y < 5 ? 8 : p.y >= H ? 4 : 0;
    return p.y < 5 ? 7 : p.y >= H ? 5 : 6;
}

bool OnEdgeMouse(MSG* m) {
    POINT pt = m->pt;
    if (gEdge.dragging && gEdge.frame && GetCapture() != gEdge.frame->window) {
        // The capture went elsewhere (the button-up with it): the drag is over.
        gEdge.dragging = false;
        gEdge.frame = nullptr;
    }
    if (gEdge.dragging && gEdge.frame) {
        gApp.SetDragCursor(gEdge.edge);
        RECT r = gEdge.frame->normalRect;
        int e = gEdge.edge;
        if (e == 1 || e == 2 || e == 3)
            r.left = pt.x - gEdge.toLeft;
        if (e == 1 || e == 7 || e == 8)
            r.top = pt.y - gEdge.toTop;
        if (e == 5 || e == 6 || e == 7)
            r.right = pt.x + gEdge.toRight;
        if (e == 3 || e == 4 || e == 5)
            r.bottom = pt.y + gEdge.toBottom;
        gEdge.frame->Relayout(&r);
        return true;
    }
    CAppWindow* f = gApp.FrameOfWindow(WindowFromPoint(pt));
    if (f && (f->flags & kFrameBorderless) && !(f->flags & kFrameLockSize)) {
        int edge = EdgeAt(f, pt);
        if (edge) {
            POINT c = pt;
            ScreenToClient(f->window, &c);
            int W = (f->normalRect.right - f->normalRect.left) - 5, H = (f->normalRect.bottom - f->normalRect.top) - 5;
            gEdge = {f, edge, false, c.x, c.y, W - c.x + 5, H - c.y + 5};
            gApp.SetDragCursor(edge);
            return true;
        }
    }
    gEdge.frame = nullptr;
    return false;
}

}  // namespace

int CApp::MoveMenuSelection(int how) {
    if (how == 0)
        menuBar.RemoveAll();
    CAppWindow* active = FrameByIndex(activeFrame);
    if (menuBar.count == 0) {
        if (!active)
            return 1;
        SendMessageA(active->window, MoxMSG_MENUBARLIST, 0, (LPARAM)&menuBar);
        if (menuBar.count == 0)
            for (int i = 0; i < bars.count; i++) {
                CBar* bar = *bars.At(i);
                if (bar->frameIndex != active->index)
                    continue;
                for (int k = 0; k < bar->items.count; k++) {
                    CMenu* m = dynamic_cast<CMenu*>(*bar->items.At(k));
                    if (m && (m->CurrentFlags() & kCmdMenuBar))
                        menuBar.Add(&m);
                }
            }
    }
    int at = menuBar.count;
    for (int i = 0; i < menuBar.count; i++)
        if (*menuBar.At(i) == rootMenu)
            at = i;
    CMenu* open = rootMenu;
    if (menuBar.count > 0 || how == 2)
        CloseMenus(nullptr);
    if (how == 2) {
        if (open && open->window)
            SendMessageA(open->window, WM_MOUSELEAVE, 0, -1);
        menuBar.RemoveAll();
        return 0;
    }
    int n = menuBar.count;
    int start = how == 0 ? -1 : at;
    int dir = how == -1 ? -1 : 1;
    for (int step = 1; step <= n; step++) {
        int i = ((start + dir * step) % n + n) % n;
        CMenu* m = *menuBar.At(i);
        if (m->window && IsWindowVisible(m->window) && m->commandId != kCmdSeparatorId &&
            (m->CurrentFlags() & kCmdEnabled)) {
            RECT r;
            GetWindowRect(m->window, &r);
            if (m->OpenPopup(r) == 0) {
                menuKeyboard = true;
                SendMessageA(m->window, WM_MOUSEMOVE, 0, -1);
            }
            return 0;
        }
    }
    return 0;
}

void CApp::PreDispatch(MSG* m) {
    bool menusOpen = menuKeyboard || (menuTracking && rootMenu);
    if (menusOpen) {
        // A press outside every open popup closes them; one on an item inside does not.
        if (IsButtonDown(m->message) && !InOpenPopup(WindowFromPoint(m->pt)))
            CloseMenus(nullptr);
        else if (m->message == WM_KEYDOWN && OnMenuKey(m->wParam))
            return;
        else if (m->message == WM_SYSKEYDOWN) {
            if (m->wParam == VK_MENU && !IsKeyRepeat(m->lParam))
                MoveMenuSelection(2);
            return;
        }
    } else {
        switch (m->message) {
            case WM_MOUSEMOVE:
            case WM_NCMOUSEMOVE:
                if (OnEdgeMouse(m))
                    return;
                break;
            case WM_LBUTTONDOWN:
            case WM_NCLBUTTONDOWN:
                if (gEdge.frame) {
                    SetCapture(gEdge.frame->window);
                    gEdge.dragging = true;
                    SetDragCursor(gEdge.edge);
                    return;
                }
                break;
            case WM_LBUTTONUP:
            case WM_NCLBUTTONUP:
                if (gEdge.dragging) {
                    ReleaseCapture();
                    gEdge.dragging = false;
                    return;
                }
                break;
            case WM_KEYDOWN:
                if (m->wParam == VK_TAB) {
                    CAppWindow* f = FrameByIndex(activeFrame);
                    if (f && f->window == GetAncestor(m->hwnd, GA_ROOT) &&
                        f->CycleFocus(GetKeyState(VK_SHIFT) < 0 ? -1 : 1))
                        return;
                }
                break;
            case WM_SYSKEYDOWN:
                // Only a menu that really opened swallows Alt.
                if (m->wParam == VK_MENU && !IsKeyRepeat(m->lParam) && MoveMenuSelection(0) == 0 && rootMenu)
                    return;
                break;
        }
    }
    for (HWND w = m->hwnd; w; w = GetParent(w)) {
        char cls[16];
        if (GetClassNameA(w, cls, sizeof cls) && strcmp(cls, "#32770") == 0) {
            if (IsDialogMessageA(w, m))
                return;
            break;
        }
    }
    TranslateMessage(m);
    DispatchMessageA(m);
}

int CApp::Run() {
    inLoop = true;
    MSG m;
    int code = 0;
    for (;;) {
        BOOL r = GetMessageA(&m, nullptr, 0, 0);
        if (r == 0) {
            code = (int)m.wParam;
            break;
        }
        if (r == -1)
            break;
        PreDispatch(&m);
    }
    inLoop = false;
    return code;
}
