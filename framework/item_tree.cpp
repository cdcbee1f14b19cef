// The tree item: a tree control made as the item's window, with the
// command's procedure installed on it.
#include "item_tree.h"

#include "app.h"
#include "framework_messages.h"

int CTree::Create(WORD id, HWND parent, HWND notify, CMenu* ownerMenu) {
    CommandInfo* cmd = gApp.Command(id);
    if (!cmd)
        return kMoxErrWindowCreate;
    cmd->flags &= ~kCmdDroppable;  // a tree is never dropped from a short bar
    flags = cmd->flags | kCmdFill;
    if (cmd->flags & kCmdArrowPressed)
        style |= WS_TABSTOP;
    window = CreateWindowExA(WS_EX_STATICEDGE, WC_TREEVIEWA, "", style, 0, 0, 64, 64, parent, (HMENU)(UINT_PTR)id,
                             gApp.instance, nullptr);
    if (!window)
        return kMoxErrWindowCreate;
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)this);
    commandId = id;
    notifyWindow = notify;
    owner = ownerMenu;
    totalWidth = totalHeight = 64;
    if (cmd->data) {
        previousProc = (WNDPROC)SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)cmd->data);
        // The bound procedure came after the control's creation: it gets its
        // WM_CREATE now. A real creation record, since the ANSI message
        // thunk reads it (a null one crashes there).
        CREATESTRUCTA cs;
        memset(&cs, 0, sizeof cs);
        cs.hInstance = gApp.instance;
        cs.hMenu = (HMENU)(UINT_PTR)id;
        cs.hwndParent = parent;
        cs.cx = cs.cy = 64;
        cs.style = (LONG)style;
        cs.lpszName = "";
        cs.lpszClass = WC_TREEVIEWA;
        cs.dwExStyle = WS_EX_STATICEDGE;
        SendMessageA(window, WM_CREATE, 0, (LPARAM)&cs);
    }
    return 0;
}

CTree* CTree::FromWindow(HWND hwnd) {
    return (CTree*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
}

LRESULT CTree::CallPrevious(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return previousProc ? CallWindowProcA(previousProc, hwnd, msg, wp, lp) : DefWindowProcA(hwnd, msg, wp, lp);
}

void CTree::OnDestroy() {
    if (imageList) {
        ImageList_Destroy(imageList);
        imageList = nullptr;
    }
    // The control goes with the item; Destroy then finds no window left.
    HWND control = window;
    window = nullptr;
    DestroyWindow(control);
}
