// The application object's command table and item states, the item
// factory, and opening and closing the framework's menus.
#include "commands.h"

#include <string.h>

#include <new>

#include "app.h"
#include "app_window.h"
#include "framework_messages.h"
#include "item_kinds.h"
#include "item_list.h"
#include "item_tree.h"
#include "item_values.h"
#include "menu.h"

static int CompareCommands(const CommandInfo* a, const CommandInfo* b) {
    return (int)a->id - (int)b->id;
}

int CApp::AddCommand(WORD id, WORD kind, DWORD cmdFlags, int iconId, int textId, void* data, float widthFactor,
                     float heightFactor) {
    CommandInfo c;
    memset(&c, 0, sizeof c);
    c.id = id;
    c.kind = kind;
    c.widthFactor = widthFactor;
    c.heightFactor = heightFactor;
    c.flags = cmdFlags | kCmdEnabled | kCmdDroppable;  // a bitwise OR: bits already set stay as they are
    c.iconId = (WORD)(iconId == -1 ? id : iconId);
    c.textId = (WORD)(textId == -1 ? id : textId);
    c.data = data;
    return commands.InsertSorted(&c, CompareCommands);
}

int CApp::FindCommandIndex(WORD id) const {
    int lo = 0, hi = commands.count - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo + 1) / 2;
        WORD at = commands.At(mid)->id;
        if (at == id)
            return mid;
        if (id < at)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return -1;
}

CommandInfo* CApp::Command(WORD id) {
    int i = FindCommandIndex(id);
    return i < 0 ? nullptr : commands.At(i);
}

int CApp::GetCommand(WORD id, CommandInfo* out) const {
    int i = FindCommandIndex(id);
    if (i < 0)
        return kMoxErrUnknownCommand;
    *out = *commands.At(i);
    return 0;
}

int CApp::SetCommand(WORD id, const CommandInfo* in) {
    int i = FindCommandIndex(id);
    if (i < 0)
        return kMoxErrUnknownCommand;
    *commands.At(i) = *in;
    UpdateItems(id, false, -1);
    return 0;
}

long CApp::CommandFlags(WORD id) const {
    int i = FindCommandIndex(id);
    // An unknown id has no flags: -1 would read as every flag set, enabled
    // and checked included, to a caller that tests bits.
    return i < 0 ? 0 : (long)commands.At(i)->flags;
}

WORD CApp::CommandType(WORD id) const {
    int i = FindCommandIndex(id);
    return i < 0 ? 0 : commands.At(i)->kind;
}

void CApp::DeleteCommand(WORD id) {
    int i = FindCommandIndex(id);
    if (i >= 0)
        commands.RemoveAt(i);
}

int CApp::EnableCommand(WORD id, bool on) {
    CommandInfo* c = Command(id);
    if (!c)
        return kMoxErrUnknownCommand;
    DWORD before = c->flags;
    if (on)
        c->flags |= kCmdEnabled;
    else
        c->flags &= ~(kCmdEnabled | kCmdHot | kCmdPressed);
    if (c->flags != before) {
        if (!on)
            ShowStatusHelp(FrameByIndex(activeFrame), nullptr);
        UpdateItems(id, false, -1);
    }
    return 0;
}

int CApp::SetCommandChecked(WORD id, bool on) {
    CommandInfo* c = Command(id);
    if (!c)
        return kMoxErrUnknownCommand;
    DWORD before = c->flags;
    c->flags = on ? c->flags | kCmdChecked : c->flags & ~kCmdChecked;
    if (c->flags != before)
        UpdateItems(id, false, -1);
    return 0;
}

void CApp::SetItemState(CUIItem* item, DWORD set, DWORD clear) {
    CommandInfo* c = item ? Command(item->commandId) : nullptr;
    if (!c)
        return;
    DWORD now = set | (c->flags & ~clear);
    if (now == c->flags)
        return;
    c->flags = now;
    // Every item of the command shows the same state.
    for (int i = 0; i < items.count; i++) {
        CUIItem* it = *items.At(i);
        if (it->commandId == item->commandId && it->window)
            InvalidateRect(it->window, nullptr, TRUE);
    }
}

void CApp::UpdateItems(WORD id, bool relayout, int value) {
    CommandInfo* c = Command(id);
    for (int i = 0; i < items.count; i++) {
        CUIItem* it = *items.At(i);
        if (it->commandId != id || !it->window)
            continue;
        if (value != -1 && c && (c->flags & kCmdEnabled)) {
            if (it->Update(value))
                RedrawWindow(it->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        } else {
            RedrawWindow(it->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
        }
        if (relayout && it->bar) {
            it->bar->Layout(it->bar->length, it->bar->thickness, true);
            if (it->bar->bayId == kBayFloating)
                it->bar->Dock(kBayFloating, it->bar->x, it->bar->y, it->bar->length, it->bar->thickness, false);
            else if (it->bar->owner)
                it->bar->owner->Relayout(nullptr);
        }
    }
}

void CApp::ShowStatusHelp(CAppWindow* frame, CUIItem* item) {
    gItemState.statusShown = item;
    if (!frame)
        return;
    frame->SetStatusText(-2, item ? item->GetText(2) : Text(IDS_MOX_READY, 0));
}

CUIItem* CApp::CreateUIItem(WORD kind, void* object) {
    switch (kind) {
        case kKindButton:
            return new (std::nothrow) CButton;
        case kKindStatic:
            return new (std::nothrow) CStatic;
        case kKindMenu:
            return new (std::nothrow) CMenu;
        case kKindSeparator:
            return new (std::nothrow) CSeparator;
        case kKindTree:
            return new (std::nothrow) CTree;
        case kKindList:
            return new (std::nothrow) CList;
        case kKindSlider:
            return new (std::nothrow) CSlider;
        case kKindBrushSize:
            return new (std::nothrow) CBrushSize;
        case kKindColor:
            return new (std::nothrow) CColor;
        case kKindPalette:
            return new (std::nothrow) CPalette;
        case kKindObject:
            return (CUIItem*)object;
    }
    return nullptr;  // 7, 8 and every other number have no class
}

CMenu* CApp::CloseMenus(CUIItem* item) {
    if (item) {
        HWND container = item->window ? GetParent(item->window) : nullptr;
        CMenu* open = container ? (CMenu*)SendMessageA(container, MoxMSG_GETPOPUP, 0, 0) : nullptr;
        if (open) {
            open->ClosePopup();
            SendMessageA(container, MoxMSG_SETPOPUP, 0, 0);
        }
        return open;
    }
    menuTracking = false;
    menuKeyboard = false;
    if (rootMenu) {
        CMenu* root = rootMenu;
        if (root->window && GetParent(root->window))
            SendMessageA(GetParent(root->window), MoxMSG_SETPOPUP, 0, 0);
        root->ClosePopup();
        rootMenu = nullptr;
        ShowStatusHelp(FrameByIndex(activeFrame), nullptr);
    }
    return nullptr;
}

CMenu* CApp::ShowPopupMenu(WORD id, POINT at, CAppWindow* frame) {
    CloseMenus(nullptr);
    menuBar.RemoveAll();
    if (!frame)
        return nullptr;
    // One shared menu object; its previous window and popup go first, so
    // that opening the menu again and again leaves nothing behind.
    delete sharedMenu;
    sharedMenu = new CMenu;
    int rc = sharedMenu->Create(id, frame->window, frame->window, nullptr);
    if (rc != 0) {
        lastPopupResult = rc;
        return nullptr;
    }
    SetForegroundWindow(frame->window);
    RECT anchor = {at.x, at.y, at.x, at.y};
    lastPopupResult = sharedMenu->OpenPopup(anchor);
    return lastPopupResult == 0 ? sharedMenu : nullptr;
}
