// The list item: a container ("MoxAppUIItem" with its own procedure in
// front of the item procedure) holding a column header and an owner-drawn
// sorted list box, scrolled sideways together by the container's bar.
#include "item_list.h"

#include <stdlib.h>
#include <string.h>
#include <windowsx.h>

#include "app.h"
#include "app_window.h"
#include "base/str_util.h"
#include "framework_messages.h"

static const int kHeaderId = 1;
static const int kListBoxId = 2;
static const int kLineStep = 16;  // pixels per scroll line

static LRESULT CALLBACK ListContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
static LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

HIMAGELIST MakeSortArrows(int rowHeight) {
    int h = rowHeight / 3;
    if (h % 2 == 0)
        h--;
    if (h < 1)
        h = 1;
    HIMAGELIST il = ImageList_Create(2 * h, h, ILC_COLOR24 | ILC_MASK, 4, 0);
    if (!il)
        return nullptr;
    const COLORREF key = RGB(255, 0, 255);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    for (int img = 0; img < 4; img++) {
        HBITMAP bmp = CreateCompatibleBitmap(screen, 2 * h, h);
        HGDIOBJ old = SelectObject(mem, bmp);
        RECT all = {0, 0, 2 * h, h};
        HBRUSH back = CreateSolidBrush(key);
        FillRect(mem, &all, back);
        DeleteObject(back);
        HBRUSH ink = CreateSolidBrush(GetSysColor(img < 2 ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW));
        bool up = img % 2 == 0;
        // Row i is 2i + 1 pixels wide: the point at the top for an
        // ascending sort, at the bottom for a descending one.
        for (int i = 0; i < h; i++) {
            int y = up ? i : h - 1 - i;
            RECT row = {h - 1 - i, y, h + i, y + 1};
            FillRect(mem, &row, ink);
        }
        DeleteObject(ink);
        SelectObject(mem, old);
        ImageList_AddMasked(il, bmp, key);
        DeleteObject(bmp);
    }
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return il;
}

int CList::Create(WORD id, HWND parent, HWND notify, CMenu* ownerMenu) {
    CommandInfo* cmd = gApp.Command(id);
    if (!cmd)
        return kMoxErrWindowCreate;
    cmd->flags &= ~kCmdDroppable;
    flags = cmd->flags;
    EnsureWindowClass("MoxAppUIItem", UIItemWndProc, IDC_ARROW, nullptr, nullptr, CS_DBLCLKS);
    DWORD style = WS_CHILD | WS_HSCROLL | ((flags & kCmdSplit) ? WS_BORDER : 0);
    window = CreateWindowExA(WS_EX_CONTROLPARENT, "MoxAppUIItem", "", style, 0, 0, 64, 64, parent, (HMENU)(UINT_PTR)id,
                             gApp.instance, nullptr);
    if (!window)
        return kMoxErrWindowCreate;
    SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)this);
    SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)ListContainerProc);
    commandId = id;
    notifyWindow = notify;
    owner = ownerMenu;
    totalWidth = totalHeight = 64;

    UINT dpi = gApp.GetWindowDpi(window);
    HFONT font = gApp.UiFont(dpi, false);
    HDC dc = GetDC(window);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT ag = {0, 0, 0, 0};
    DrawTextA(dc, gApp.Text(IDS_MOX_INIT_ERROR, 1), -1, &ag, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
    rowHeight = (int)(ag.bottom * 1.4);

    header = CreateWindowExA(0, WC_HEADERA, "",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | HDS_FULLDRAG | HDS_BUTTONS, 0,
                             0, 0, 0, window, (HMENU)(UINT_PTR)kHeaderId, gApp.instance, nullptr);
    if (!header)
        return kMoxErrWindowCreate;
    SendMessageA(header, WM_SETFONT, (WPARAM)font, FALSE);
    arrows = MakeSortArrows(rowHeight);
    SendMessageA(header, HDM_SETIMAGELIST, 0, (LPARAM)arrows);

    DWORD listStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL | LBS_EXTENDEDSEL |
                      LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED | LBS_SORT | LBS_NOTIFY;
    if (flags & kCmdArrowPressed)
        listStyle |= WS_TABSTOP;
    listBox = CreateWindowExA(0, "LISTBOX", "", listStyle, 0, 0, 0, 0, window, (HMENU)(UINT_PTR)kListBoxId,
                              gApp.instance, nullptr);
    if (!listBox)
        return kMoxErrWindowCreate;
    SetWindowLongPtrA(listBox, GWLP_USERDATA, (LONG_PTR)this);
    previousListProc = (WNDPROC)SetWindowLongPtrA(listBox, GWLP_WNDPROC, (LONG_PTR)ListBoxProc);
    RECT rc;
    GetClientRect(window, &rc);
    width = rc.right;
    height = rc.bottom;
    LayoutScroll();
    return 0;
}

void CList::OnDestroy() {
    if (listBox) {
        if (ownsItemData) {
            int n = (int)SendMessageA(listBox, LB_GETCOUNT, 0, 0);
            for (int i = 0; i < n; i++) {
                LRESULT d = SendMessageA(listBox, LB_GETITEMDATA, i, 0);
                if (d != LB_ERR)
                    free((void*)d);
            }
            SendMessageA(listBox, LB_RESETCONTENT, 0, 0);
        }
        DestroyWindow(listBox);
        listBox = nullptr;
    }
    if (header) {
        DestroyWindow(header);
        header = nullptr;
    }
    if (arrows) {
        ImageList_Destroy(arrows);
        arrows = nullptr;
    }
    columns.RemoveAll();
}

void CList::Paint(HDC dc, const RECT& rc) {
    FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));  // header and list box cover it
}

int CList::AddColumn(const char* title, int w) {
    ListColumn c;
    memset(&c, 0, sizeof c);
    StrCopy(c.title, countof(c.title), title ? title : "");
    c.width = w;
    int index = columns.Add(&c);
    if (index < 0)
        return -1;
    LayoutScroll();
    if (header) {
        HDITEMA hi;
        memset(&hi, 0, sizeof hi);
        hi.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
        hi.pszText = columns.At(index)->title;
        hi.cxy = PixelWidth(index);
        hi.fmt = HDF_LEFT | HDF_STRING;
        inResize = true;
        SendMessageA(header, HDM_INSERTITEMA, index, (LPARAM)&hi);
        inResize = false;
        UpdateArrows();
        LayoutScroll();  // the header gets its height with the first column
    }
    return index;
}

void CList::SetSort(int column, int direction) {
    sortColumn = column;
    sortDirection = direction;
    UpdateArrows();
}

int CList::PixelWidth(int column) const {
    int w = columns.At(column)->width;
    return w >= 0 ? w : (int)((long long)-w * width / 100);
}

void CList::LayoutScroll() {
    int x = 0;
    for (int i = 0; i < columns.count; i++) {
        columns.At(i)->x = x;
        x += PixelWidth(i);
    }
    columnsWidth = x;
    if (!window)
        return;
    int maxPos = columnsWidth - width;
    if (scrollPos > maxPos)
        scrollPos = maxPos;
    if (scrollPos < 0)
        scrollPos = 0;
    SCROLLINFO si;
    memset(&si, 0, sizeof si);
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = columnsWidth - 1;
    si.nPage = (UINT)(width > 0 ? width : 0);
    si.nPos = scrollPos;
    // Showing or hiding the bar sizes the container again (nested); the
    // children are placed from the size that holds afterwards.
    SetScrollInfo(window, SB_HORZ, &si, TRUE);
    int headerHeight = columns.count ? (int)(1.1 * rowHeight) : 0;
    if (header)
        MoveWindow(header, -scrollPos, 0, scrollPos + width, headerHeight, TRUE);
    if (listBox)
        MoveWindow(listBox, -scrollPos, headerHeight, scrollPos + width,
                   height > headerHeight ? height - headerHeight : 0, TRUE);
}

int CList::ArrowImage(int column) const {
    if (column < 0 || column != sortColumn)
        return -1;
    return (sortDirection == 1 ? 0 : 1) + (sortLocked ? 2 : 0);
}

void CList::UpdateArrows() {
    if (!header)
        return;
    for (int i = 0; i < columns.count; i++) {
        HDITEMA hi;
        memset(&hi, 0, sizeof hi);
        hi.mask = HDI_FORMAT | HDI_IMAGE;
        SendMessageA(header, HDM_GETITEMA, i, (LPARAM)&hi);
        int image = ArrowImage(i);
        hi.mask = HDI_FORMAT | HDI_IMAGE;
        if (image >= 0) {
            hi.fmt |= HDF_IMAGE | HDF_BITMAP_ON_RIGHT;
            hi.iImage = image;
        } else {
            hi.fmt &= ~(HDF_IMAGE | HDF_BITMAP_ON_RIGHT);
            hi.iImage = I_IMAGENONE;
        }
        SendMessageA(header, HDM_SETITEMA, i, (LPARAM)&hi);
    }
    InvalidateRect(header, nullptr, TRUE);
}

void CList::Notify(WORD code, LPARAM lp, bool post) {
    if (!notifyWindow)
        return;
    WPARAM wp = (WPARAM)commandId | ((WPARAM)code << 16);
    if (post)
        PostMessageA(notifyWindow, MoxMSG_COMMAND, wp, lp);
    else
        SendMessageA(notifyWindow, MoxMSG_COMMAND, wp, lp);
}

void CList::OnContainerSize(int w, int h) {
    width = w;
    height = h;
    LayoutScroll();
    // Percentage columns follow the new width; these are not the user's changes.
    inResize = true;
    for (int i = 0; i < columns.count && header; i++) {
        HDITEMA hi;
        memset(&hi, 0, sizeof hi);
        hi.mask = HDI_WIDTH;
        hi.cxy = PixelWidth(i);
        SendMessageA(header, HDM_SETITEMA, i, (LPARAM)&hi);
    }
    inResize = false;
}

void CList::OnHScroll(int code) {
    int pos = scrollPos;
    switch (code) {
        case SB_LINELEFT:
            pos -= kLineStep;
            break;
        case SB_LINERIGHT:
            pos += kLineStep;
            break;
        case SB_PAGELEFT:
            pos -= width;
            break;
        case SB_PAGERIGHT:
            pos += width;
            break;
        case SB_LEFT:
            pos = 0;
            break;
        case SB_RIGHT:
            pos = columnsWidth;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si;
            memset(&si, 0, sizeof si);
            si.cbSize = sizeof si;
            si.fMask = SIF_TRACKPOS;
            if (GetScrollInfo(window, SB_HORZ, &si))
                pos = si.nTrackPos;
            break;
        }
        default:
            return;
    }
    scrollPos = pos;
    LayoutScroll();  // clamps
}

static bool BarSizesLocked(HWND hwnd) {
    CAppWindow* frame = gApp.FrameOfWindow(hwnd);
    return frame && (frame->flags & kFrameLockBarSizes);
}

LRESULT CList::OnHeaderNotify(NMHEADERA* nm) {
    switch (nm->hdr.code) {
        case HDN_BEGINTRACKA:
        case HDN_BEGINTRACKW:
            return (columnsFixed || BarSizesLocked(window)) ? TRUE : FALSE;
        case HDN_ITEMCHANGINGA:
        case HDN_ITEMCHANGINGW:
        case HDN_ITEMCHANGEDA:
        case HDN_ITEMCHANGEDW: {
            // HDITEMA and HDITEMW agree in mask and cxy.
            if (inResize || !nm->pitem || !(nm->pitem->mask & HDI_WIDTH))
                return FALSE;
            int col = nm->iItem;
            if (col < 0 || col >= columns.count)
                return FALSE;
            ListColumn* c = columns.At(col);
            if (c->width >= 0)
                c->width = nm->pitem->cxy;
            else if (width > 0)  // a list of no width keeps its percentage
                c->width = -(int)((long long)nm->pitem->cxy * 100 / width);
            LayoutScroll();
            if (nm->hdr.code == HDN_ITEMCHANGEDA || nm->hdr.code == HDN_ITEMCHANGEDW)
                Notify(kListColumnResized, col);
            return FALSE;
        }
        case HDN_ITEMCLICKA:
        case HDN_ITEMCLICKW: {
            int col = nm->iItem;
            if (sortColumn < 0 || sortLocked || col < 0 || col >= columns.count)
                return 0;
            if (col == sortColumn || sortDirection == 0)
                sortDirection = sortDirection == 1 ? -1 : 1;
            sortColumn = col;
            UpdateArrows();
            Notify(kListSortChanged, col);
            return 0;
        }
        case NM_RCLICK: {
            HDHITTESTINFO hit;
            memset(&hit, 0, sizeof hit);
            GetCursorPos(&hit.pt);
            ScreenToClient(header, &hit.pt);
            int col = (int)SendMessageA(header, HDM_HITTEST, 0, (LPARAM)&hit);
            if (sortColumn >= 0 && col == sortColumn && (hit.flags & HHT_ONHEADER)) {
                sortLocked = !sortLocked;
                UpdateArrows();
            }
            return 0;
        }
    }
    return 0;
}

// The container's own messages; *handled false sends the message on to
// the item window procedure.
LRESULT CList::OnContainerMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, bool* handled) {
    *handled = true;
    switch (msg) {
        case WM_SETFOCUS:
            if (listBox)
                SetFocus(listBox);
            return 0;
        case WM_ENABLE:
            if (header)
                EnableWindow(header, (BOOL)wp);
            if (listBox) {
                EnableWindow(listBox, (BOOL)wp);
                InvalidateRect(listBox, nullptr, TRUE);
            }
            break;
        case WM_DRAWITEM:
            return notifyWindow ? SendMessageA(notifyWindow, WM_DRAWITEM, wp, lp) : FALSE;
        case WM_MEASUREITEM:
            ((MEASUREITEMSTRUCT*)lp)->itemHeight = (UINT)rowHeight;
            return TRUE;
        case WM_COMPAREITEM:
            if (sortColumn < 0 || !notifyWindow)
                return -1;
            return SendMessageA(notifyWindow, WM_COMPAREITEM, wp, lp);
        case WM_COMMAND:
            if ((HWND)lp == listBox && HIWORD(wp) == LBN_SELCHANGE)
                Notify(kListSelChanged, 0);
            break;
        case WM_NOTIFY:
            if (((NMHDR*)lp)->hwndFrom == header)
                return OnHeaderNotify((NMHEADERA*)lp);
            break;
        case WM_HSCROLL:
            if (!lp)
                OnHScroll(LOWORD(wp));
            return 0;
        case WM_SIZE:
            OnContainerSize(LOWORD(lp), HIWORD(lp));
            break;
        case WM_NCPAINT:
            if (flags & kCmdSplit) {
                DefWindowProcA(hwnd, msg, wp, lp);
                HDC dc = GetWindowDC(hwnd);
                RECT r;
                GetWindowRect(hwnd, &r);
                OffsetRect(&r, -r.left, -r.top);
                bool enabled = IsWindowEnabled(hwnd) != FALSE;
                COLORREF c = gApp.visualsReady ? gApp.visuals.Color(enabled ? 45 : 3)
                                               : GetSysColor(enabled ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW);
                HBRUSH b = CreateSolidBrush(c);
                FrameRect(dc, &r, b);
                DeleteObject(b);
                ReleaseDC(hwnd, dc);
                return 0;
            }
            break;
    }
    *handled = false;
    return 0;
}

static LRESULT CALLBACK ListContainerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CList* list = (CList*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (list) {
        bool handled;
        LRESULT r = list->OnContainerMessage(hwnd, msg, wp, lp, &handled);
        if (handled)
            return r;
    }
    return UIItemWndProc(hwnd, msg, wp, lp);
}

static void InvalidateSelectedRows(HWND lb) {
    RECT client;
    GetClientRect(lb, &client);
    int n = (int)SendMessageA(lb, LB_GETCOUNT, 0, 0);
    for (int i = (int)SendMessageA(lb, LB_GETTOPINDEX, 0, 0); i >= 0 && i < n; i++) {
        RECT r;
        if (SendMessageA(lb, LB_GETITEMRECT, i, (LPARAM)&r) == LB_ERR || r.top >= client.bottom)
            break;
        if (SendMessageA(lb, LB_GETSEL, i, 0) > 0)
            InvalidateRect(lb, &r, FALSE);
    }
}

LRESULT CList::OnListBoxMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            LRESULT r = CallWindowProcA(previousListProc, hwnd, msg, wp, lp);
            InvalidateSelectedRows(hwnd);
            return r;
        }
        case WM_PAINT:
            if (SendMessageA(hwnd, LB_GETCOUNT, 0, 0) <= 0) {
                PAINTSTRUCT ps;
                BeginPaint(hwnd, &ps);  // an empty list paints nothing but its background
                EndPaint(hwnd, &ps);
                return 0;
            }
            break;
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(hwnd, &r);
            FillRect((HDC)wp, &r, GetSysColorBrush(IsWindowEnabled(window) ? COLOR_WINDOW : COLOR_BTNFACE));
            return 1;
        }
        case WM_KEYDOWN:
            if (wp == 'A' && GetKeyState(VK_CONTROL) < 0) {
                SendMessageA(hwnd, LB_SETSEL, TRUE, -1);
                Notify(kListSelChanged, 0);
                return 0;
            }
            if ((wp == VK_LEFT || wp == VK_RIGHT) && columnsWidth > width) {
                OnHScroll(wp == VK_LEFT ? SB_LINELEFT : SB_LINERIGHT);
                return 0;
            }
            Notify(kListKey, (LPARAM)wp, true);
            break;
        case WM_RBUTTONDOWN: {
            LRESULT hit = SendMessageA(hwnd, LB_ITEMFROMPOINT, 0, lp);
            int row = LOWORD(hit);
            int n = (int)SendMessageA(hwnd, LB_GETCOUNT, 0, 0);
            if (HIWORD(hit) == 0 && row < n) {
                if (SendMessageA(hwnd, LB_GETSEL, row, 0) <= 0) {
                    SendMessageA(hwnd, LB_SETSEL, FALSE, -1);
                    SendMessageA(hwnd, LB_SETSEL, TRUE, row);
                }
            } else {
                SendMessageA(hwnd, LB_SETSEL, FALSE, -1);
            }
            SetFocus(hwnd);
            break;
        }
    }
    LRESULT r = CallWindowProcA(previousListProc, hwnd, msg, wp, lp);
    switch (msg) {
        case WM_LBUTTONDBLCLK:
            Notify(kListDoubleClick, lp);
            break;
        case WM_RBUTTONUP:
            Notify(kListRightUp, lp);
            break;
        case WM_LBUTTONDOWN:
            Notify(kListLeftDown, lp);
            break;
    }
    return r;
}

static LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    CList* list = (CList*)GetWindowLongPtrA(hwnd, GWLP_USERDATA);
    if (!list || !list->previousListProc)
        return DefWindowProcA(hwnd, msg, wp, lp);
    return list->OnListBoxMessage(hwnd, msg, wp, lp);
}
