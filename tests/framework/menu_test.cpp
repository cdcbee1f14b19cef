// The command table, and framework popup menus opened, driven by the
// keyboard through the pre-dispatch and by the mouse with SendInput.
#include "framework/menu.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "base/str_util.h"
#include "framework/app.h"
#include "framework/app_window.h"
#include "framework/framework_messages.h"
#include "framework/item_test_util.h"
#include "framework/monitors.h"
#include "settings/data_folders.h"
#include "support/test_support.h"

namespace {

std::vector<WPARAM> gCommands, gDoubleClicks;
int gSysKeysSeen = 0;
CMenu* gBarMenu = nullptr;  // the frame's keyboard menu bar, when a test sets one

LRESULT CALLBACK RecordingFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == MoxMSG_COMMAND)
        gCommands.push_back(wp);
    if (msg == WM_SYSKEYDOWN && wp == VK_MENU)
        gSysKeysSeen++;
    if (msg == MoxMSG_MENUBARLIST && gBarMenu)
        ((CDynArray<CMenu*>*)lp)->Add(&gBarMenu);
    if (msg == MoxMSG_DBLCLK)
        gDoubleClicks.push_back(wp);
    return CallWindowProcA(gApp.frameworkWndProc, hwnd, msg, wp, lp);
}

TextRecord gTexts[] = {
    {0, {"Menu Test"}}, {100, {"Root"}}, {101, {"Alpha"}}, {102, {"Beta"}},
    {103, {"Gamma"}},   {104, {"More"}}, {105, {"Inner"}}, {0xFFFF, {}},
};
const WORD kSubList[] = {105, 0xFFFF};
const WORD kRootList[] = {101, kCmdSeparatorId, 102, 103, 104, 0xFFFF};

void Pump(int ms) {
    ItemPump(ms);
}

void Key(HWND target, WPARAM vk) {
    PostMessageA(target, WM_KEYDOWN, vk, 1);
    Pump(50);
}

class MenuTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        gApp.instance = GetModuleHandleA(nullptr);
        StrCopy(gApp.productName, countof(gApp.productName), "Menu Test");
        gApp.strings.SetAppTable(0, gTexts);
        StrCopy(gUserDataFolder, countof(gUserDataFolder), MakeTestDir("menus").c_str());
        RefreshMonitors();
        if (!gApp.toolTip)
            gApp.toolTip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, nullptr,
                                           nullptr, gApp.instance, nullptr);
        PrepareVisuals();
        ASSERT_EQ(gApp.AddFrameworkCommands(), 0);
        gApp.AddCommand(100, kKindMenu, kCmdCaption, 0, -1, (void*)kRootList);
        for (WORD id : {101, 102, 103, 105})
            gApp.AddCommand(id, kKindButton, kCmdCaption, 0, -1, nullptr);
        gApp.AddCommand(104, kKindMenu, kCmdCaption, 0, -1, (void*)kSubList);
    }
    void SetUp() override {
        RECT r = {100, 100, 500, 400};
        int pos = gApp.CreateFrame(30, RecordingFrameProc, "Menu Test", 0, 0, &r);
        ASSERT_GE(pos, 0);
        frame_ = *gApp.frames.At(pos);
        ShowWindow(frame_->window, SW_SHOWNORMAL);
        gApp.activeFrame = frame_->index;
        gCommands.clear();
        gDoubleClicks.clear();
        gApp.EnableCommand(102, true);
    }
    void TearDown() override {
        gApp.CloseMenus(nullptr);
        for (int i = 0; i < gApp.frames.count; i++)
            if (*gApp.frames.At(i) == frame_)
                gApp.frames.RemoveAt(i);
        delete frame_;
    }
    CMenu* Open(POINT at = {150, 150}) { return gApp.ShowPopupMenu(100, at, frame_); }
    CAppWindow* frame_ = nullptr;
};

}  // namespace

TEST(Commands, TableKeepsIdOrderAndState) {
    CApp& app = gApp;
    int before = app.commands.count;
    app.AddCommand(0xF721, kKindButton, 0, -1, -1, nullptr);
    app.AddCommand(0xF710, kKindButton, kCmdEnabled | kCmdDroppable, -1, -1, nullptr);
    app.AddCommand(0xF710, kKindButton, 0, -1, -1, nullptr);
    EXPECT_EQ(app.commands.count, before + 3) << "an id added twice keeps both";
    for (int i = 1; i < app.commands.count; i++)
        EXPECT_LE(app.commands.At(i - 1)->id, app.commands.At(i)->id);
    EXPECT_EQ(app.CommandFlags(0xF710) & 0x1001, 0x1001);
    EXPECT_EQ(app.Command(0xF721)->iconId, 0xF721);
    CommandInfo untouched;
    memset(&untouched, 0x5A, sizeof untouched);
    EXPECT_EQ(app.GetCommand(0xF7FF, &untouched), kMoxErrUnknownCommand);
    EXPECT_EQ(untouched.id, 0x5A5A);
    EXPECT_EQ(app.CommandFlags(0xF7FF) & (kCmdEnabled | kCmdChecked), 0) << "an unknown id reads as enabled or checked";
    EXPECT_EQ(app.CommandFlags(0xF7FF), 0) << "an unknown id has no flags";
    EXPECT_EQ(app.CommandType(0xF7FF), 0);
    app.Command(0xF721)->flags |= kCmdHot | kCmdPressed;
    EXPECT_EQ(app.EnableCommand(0xF721, false), 0);
    EXPECT_EQ(app.CommandFlags(0xF721) & (kCmdEnabled | kCmdHot | kCmdPressed), 0);
    EXPECT_EQ(app.SetCommandChecked(0xF721, true), 0);
    EXPECT_TRUE(app.CommandFlags(0xF721) & kCmdChecked);
    EXPECT_EQ(app.EnableCommand(0xF7FF, true), kMoxErrUnknownCommand);
    app.DeleteCommand(0xF721);
    EXPECT_EQ(app.FindCommandIndex(0xF721), -1);
    EXPECT_EQ(app.CreateUIItem(7, nullptr), nullptr);
}

TEST_F(MenuTest, PopupListsItsCommandsBesideThePoint) {
    CMenu* menu = Open();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->popupItems.count, 5);
    EXPECT_TRUE(IsWindowVisible(menu->popup));
    RECT r;
    GetWindowRect(menu->popup, &r);
    EXPECT_EQ(r.left, 150);
    EXPECT_EQ(r.top, 150);
    EXPECT_EQ((*menu->popupItems.At(1))->kind, kKindSeparator);
    // Near the monitor's bottom-right corner the popup opens up and to the left.
    RECT mon;
    MonitorRectFromPoint(0, 0, &mon, 0);
    menu = Open({mon.right - 2, mon.bottom - 2});
    ASSERT_NE(menu, nullptr);
    GetWindowRect(menu->popup, &r);
    EXPECT_EQ(r.right, mon.right - 2);
    EXPECT_EQ(r.bottom, mon.bottom - 2);
}

TEST_F(MenuTest, KeyboardMovesSkipsAndRuns) {
    CMenu* menu = Open();
    ASSERT_NE(menu, nullptr);
    gApp.EnableCommand(102, false);
    HWND target = frame_->window;
    Key(target, VK_DOWN);
    EXPECT_EQ(menu->HotIndex(), 0);
    Key(target, VK_DOWN);
    EXPECT_EQ(menu->HotIndex(), 3) << "past the separator and the disabled item";
    Key(target, VK_UP);
    EXPECT_EQ(menu->HotIndex(), 0);
    Key(target, VK_UP);
    EXPECT_EQ(menu->HotIndex(), 4) << "wraps to the last enabled item";
    // Right opens the submenu; Escape closes only it.
    SendMessageA((*menu->popupItems.At(4))->window, WM_MOUSEMOVE, 0, -1);
    Pump(50);
    CMenu* sub = (CMenu*)*menu->popupItems.At(4);
    EXPECT_TRUE(sub->popupOpen);
    Key(target, VK_RIGHT);
    EXPECT_EQ(sub->HotIndex(), 0);
    Key(target, VK_ESCAPE);
    EXPECT_FALSE(sub->popupOpen);
    EXPECT_TRUE(menu->popupOpen);
    // Enter runs the hot item: the command arrives with every menu closed.
    Key(target, VK_DOWN);
    Key(target, VK_DOWN);
    EXPECT_EQ(menu->HotIndex(), 3);
    Key(target, VK_RETURN);
    ASSERT_EQ(gCommands.size(), 1u);
    EXPECT_EQ(LOWORD(gCommands[0]), 103);
    EXPECT_EQ(gApp.rootMenu, nullptr);
    EXPECT_FALSE(IsWindowVisible(menu->popup));
    // Escape in the root closes everything.
    menu = Open();
    Key(target, VK_ESCAPE);
    EXPECT_EQ(gApp.rootMenu, nullptr);
}

TEST_F(MenuTest, AMenuWithoutEnabledItemsEndsItsSearch) {
    CMenu* menu = Open();
    ASSERT_NE(menu, nullptr);
    for (WORD id : {101, 102, 103, 104})
        gApp.EnableCommand(id, false);
    EXPECT_EQ(menu->NextEnabled(-1, 1), -1);
    Key(frame_->window, VK_DOWN);  // must return
    EXPECT_EQ(menu->HotIndex(), -1);
    for (WORD id : {101, 103, 104})
        gApp.EnableCommand(id, true);
}

static int CountPopups() {
    int n = 0;
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "MoxAppMenuPopup", nullptr)) != nullptr)
        n++;
    return n;
}

TEST_F(MenuTest, OpeningAgainAndAgainLeavesNothingBehind) {
    Open();
    int popups = CountPopups();
    int tools = (int)SendMessageA(gApp.toolTip, TTM_GETTOOLCOUNT, 0, 0);
    int items = gApp.items.count;
    for (int i = 0; i < 20; i++) {
        ASSERT_NE(Open(), nullptr);
        gApp.CloseMenus(nullptr);
    }
    Open();
    EXPECT_EQ(CountPopups(), popups);
    EXPECT_EQ((int)SendMessageA(gApp.toolTip, TTM_GETTOOLCOUNT, 0, 0), tools);
    EXPECT_EQ(gApp.items.count, items);
}

namespace {

void MouseAt(POINT p, DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &in, sizeof in);
    Pump(80);
}

POINT Centre(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace

TEST_F(MenuTest, MouseClicksRunCommandsAndPressesInsideKeepTheMenu) {
    CMenu* menu = Open();
    ASSERT_NE(menu, nullptr);
    Pump(100);
    // A press on the submenu item inside the popup is not a press outside it.
    POINT more = Centre((*menu->popupItems.At(4))->window);
    MouseAt(more, 0);
    MouseAt(more, MOUSEEVENTF_LEFTDOWN);
    EXPECT_NE(gApp.rootMenu, nullptr) << "the menu stays open";
    MouseAt(more, MOUSEEVENTF_LEFTUP);
    CMenu* sub = (CMenu*)*menu->popupItems.At(4);
    ASSERT_TRUE(sub->popupOpen);
    // A click on the submenu's command closes the chain before the command arrives.
    POINT inner = Centre((*sub->popupItems.At(0))->window);
    MouseAt(inner, 0);
    MouseAt(inner, MOUSEEVENTF_LEFTDOWN);
    MouseAt(inner, MOUSEEVENTF_LEFTUP);
    ASSERT_EQ(gCommands.size(), 1u);
    EXPECT_EQ(LOWORD(gCommands[0]), 105);
    EXPECT_EQ(HIWORD(gCommands[0]) & 1, 1) << "the left button in the mask";
    EXPECT_EQ(gApp.rootMenu, nullptr);
    // A press outside every popup closes the menus.
    Open();
    Pump(100);
    MouseAt({460, 380}, MOUSEEVENTF_LEFTDOWN);  // on the frame, away from the popup
    MouseAt({460, 380}, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gApp.rootMenu, nullptr);
    // Two presses within the double-click time: a double click.
    Sleep(GetDoubleClickTime() + 100);
    gDoubleClicks.clear();
    menu = Open();
    Pump(100);
    POINT alpha = Centre((*menu->popupItems.At(0))->window);
    MouseAt(alpha, 0);
    MouseAt(alpha, MOUSEEVENTF_LEFTDOWN);
    MouseAt(alpha, MOUSEEVENTF_LEFTUP);
    menu = Open();
    Pump(50);
    alpha = Centre((*menu->popupItems.At(0))->window);
    MouseAt(alpha, MOUSEEVENTF_LEFTDOWN);
    MouseAt(alpha, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(gDoubleClicks.size(), 1u);
}

TEST_F(MenuTest, WindowMenuOpensWithItsStates) {
    frame_->SetTransparency(0);
    SendMessageA(frame_->window, MoxMSG_CONTEXTMENU, 0, 0);
    CMenu* menu = gApp.rootMenu;
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->popupItems.count, 7) << "no bars: the seven frame entries";
    EXPECT_EQ((*menu->popupItems.At(0))->commandId, IDM_MOX_ON_TOP);
    EXPECT_FALSE(gApp.CommandFlags(IDM_MOX_GHOST) & kCmdEnabled) << "Ghost needs transparency";
    EXPECT_TRUE(gApp.CommandFlags(IDM_MOX_TRANSPARENCY_OFF) & kCmdChecked);
    // 30% chosen through the submenu's command.
    gApp.CloseMenus(nullptr);
    SendMessageA(frame_->window, MoxMSG_COMMAND, TransparencyCommand(30), 0);
    EXPECT_EQ(frame_->transparency, 30);
    SendMessageA(frame_->window, MoxMSG_CONTEXTMENU, 0, 0);
    EXPECT_TRUE(gApp.CommandFlags(IDM_MOX_GHOST) & kCmdEnabled);
    EXPECT_TRUE(gApp.CommandFlags(TransparencyCommand(30)) & kCmdChecked);
    EXPECT_FALSE(gApp.CommandFlags(IDM_MOX_TRANSPARENCY_OFF) & kCmdChecked);
}

// Alt opens the frame's keyboard menu bar once; its auto-repeat while held
// neither closes nor reopens it; without a usable menu Alt goes on to the
// window like any key.
TEST_F(MenuTest, AltOpensTheMenuBarOnceAndPassesWithoutOne) {
    const LPARAM kAltDown = 0x20000001, kAltRepeat = 0x60000001;
    gSysKeysSeen = 0;
    PostMessageA(frame_->window, WM_SYSKEYDOWN, VK_MENU, kAltDown);
    Pump(50);
    EXPECT_EQ(gSysKeysSeen, 1) << "Alt is swallowed although no menu could open";
    EXPECT_EQ(gApp.rootMenu, nullptr);

    CMenu* bar = (CMenu*)gApp.CreateUIItem(kKindMenu, nullptr);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->Create(100, frame_->window, frame_->window, nullptr), 0);
    SetWindowPos(bar->window, nullptr, 10, 10, 80, 20, SWP_NOZORDER | SWP_SHOWWINDOW);
    gBarMenu = bar;
    gSysKeysSeen = 0;
    PostMessageA(frame_->window, WM_SYSKEYDOWN, VK_MENU, kAltDown);
    Pump(50);
    EXPECT_EQ(gApp.rootMenu, bar);
    EXPECT_EQ(gSysKeysSeen, 0) << "the Alt that opened the menu went on to the window";
    for (int i = 0; i < 3; i++) {
        PostMessageA(frame_->window, WM_SYSKEYDOWN, VK_MENU, kAltRepeat);
        Pump(30);
        EXPECT_EQ(gApp.rootMenu, bar) << "repeat " << i << " of a held Alt closed the menu";
    }
    PostMessageA(frame_->window, WM_SYSKEYDOWN, VK_MENU, kAltDown);
    Pump(50);
    EXPECT_EQ(gApp.rootMenu, nullptr) << "a second Alt leaves the menu open";
    gBarMenu = nullptr;
    delete bar;
}

namespace {

struct OtherProgram {
    PROCESS_INFORMATION pi = {};
    HWND window = nullptr;
};

BOOL CALLBACK FindTopLevelOf(HWND hwnd, LPARAM lp) {
    OtherProgram* p = (OtherProgram*)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == p->pi.dwProcessId && IsWindowVisible(hwnd) && !GetWindow(hwnd, GW_OWNER)) {
        p->window = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Starts Wine's notepad, a program of its own, and places its window.
bool StartOtherProgram(OtherProgram* p, const RECT& at) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    char cmd[] = "notepad.exe";
    if (!CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &p->pi))
        return false;
    WaitForInputIdle(p->pi.hProcess, 10000);
    for (int i = 0; i < 200 && !p->window; i++) {
        EnumWindows(FindTopLevelOf, (LPARAM)p);
        Pump(50);
    }
    if (!p->window)
        return false;
    SetWindowPos(p->window, HWND_TOP, at.left, at.top, at.right - at.left, at.bottom - at.top, SWP_NOACTIVATE);
    Pump(200);
    return true;
}

void EndOtherProgram(OtherProgram* p) {
    if (!p->pi.hProcess)
        return;
    TerminateProcess(p->pi.hProcess, 0);
    WaitForSingleObject(p->pi.hProcess, 5000);
    CloseHandle(p->pi.hProcess);
    CloseHandle(p->pi.hThread);
}

}  // namespace

// A click into another program's window deactivates this one: the topmost
// popups must not stay over that program, and no frame is active any more.
TEST_F(MenuTest, ClickIntoAnotherProgramClosesTheMenus) {
    OtherProgram other;
    ASSERT_TRUE(StartOtherProgram(&other, RECT{640, 480, 1000, 760}));
    SetForegroundWindow(frame_->window);
    Pump(200);
    CMenu* menu = Open();
    ASSERT_NE(menu, nullptr);
    Pump(200);
    ASSERT_EQ(gApp.activeFrame, frame_->index);
    ASSERT_TRUE(IsWindowVisible(menu->popup));
    POINT inside = {820, 640};
    MouseAt(inside, 0);
    MouseAt(inside, MOUSEEVENTF_LEFTDOWN);
    MouseAt(inside, MOUSEEVENTF_LEFTUP);
    Pump(300);
    HWND fg = GetForegroundWindow();
    DWORD fgPid = 0;
    GetWindowThreadProcessId(fg, &fgPid);
    EXPECT_EQ(fgPid, other.pi.dwProcessId) << "the click did not activate the other program";
    EXPECT_EQ(gApp.rootMenu, nullptr) << "the menu stayed open over the other program";
    EXPECT_FALSE(gApp.menuTracking);
    EXPECT_FALSE(IsWindowVisible(menu->popup));
    EXPECT_EQ(gApp.activeFrame, kNoActiveFrame);
    EndOtherProgram(&other);
}

// Start-up registers the window menu's icons (drawn at build time) before
// their commands, and the colour swatches as painted by the first frame; a
// module without those icons fails with kMoxErrMenuIcon.
TEST_F(MenuTest, FrameworkIconsAreRegistered) {
    struct {
        WORD id;
        int resource;
    } icons[] = {{0xF110, 50004}, {0xF111, 50005}, {0xF120, 50000}, {0xF130, 50001}, {0xF140, 50002},
                 {0xF150, 50003}, {0xF160, 50006}, {0xF16C, 50007}, {0xF16D, 50008}};
    const CDynArray<VisualsIcon>& table = gApp.visuals.Icons();
    auto find = [&](int id) -> const VisualsIcon* {
        for (int i = 0; i < table.count; i++)
            if (table.At(i)->id == id)
                return table.At(i);
        return nullptr;
    };
    for (const auto& e : icons) {
        const VisualsIcon* icon = find(e.id);
        ASSERT_NE(icon, nullptr) << std::hex << e.id;
        EXPECT_EQ(icon->resourceId, e.resource);
        EXPECT_NE(icon->icon, nullptr) << e.resource;
        EXPECT_NE(icon->tinted, nullptr) << e.resource;
        EXPECT_TRUE(gApp.CommandFlags(e.id) & kCmdIcon || e.id >= 0xF16C) << std::hex << e.id;
    }
    for (WORD id = IDM_MOX_COLOR_BACKGROUND; id <= IDM_MOX_COLOR_HIGHLIGHT_TEXT; id++) {
        const VisualsIcon* swatch = find(id);
        ASSERT_NE(swatch, nullptr) << std::hex << id;
        EXPECT_EQ(swatch->flags & kIconAppDrawn, kIconAppDrawn);
    }
    CApp other;
    other.visuals.Init(GetModuleHandleA("kernel32.dll"));
    EXPECT_EQ(other.AddFrameworkCommands(), kMoxErrMenuIcon) << "a missing icon ends the start-up";
}

// The window menu's entries show their icons, and the Custom entry's
// submenu shows a swatch of each custom colour, painted by the frame.
TEST_F(MenuTest, WindowMenuShowsIconsAndColourSwatches) {
    const COLORREF custom[5] = {RGB(200, 30, 40), RGB(1, 2, 3), RGB(20, 180, 60), RGB(30, 40, 200), RGB(220, 200, 10)};
    memcpy(gApp.record.colors, custom, sizeof custom);
    gApp.visuals.SetIconPainter(frame_->window);
    ShowWindow(frame_->window, SW_SHOWNORMAL);
    CMenu* swatches = Open();
    gApp.CloseMenus(nullptr);
    swatches = gApp.ShowPopupMenu(IDM_MOX_SCHEME_CUSTOM, {150, 150}, frame_);
    ASSERT_NE(swatches, nullptr);
    ASSERT_EQ(swatches->popupItems.count, 4);
    Pump(200);
    HDC screen = GetDC(nullptr);
    const int slots[4] = {0, 2, 3, 4};
    for (int i = 0; i < 4; i++) {
        CUIItem* item = *swatches->popupItems.At(i);
        POINT c = {(item->iconRect.left + item->iconRect.right) / 2, (item->iconRect.top + item->iconRect.bottom) / 2};
        ClientToScreen(item->window, &c);
        EXPECT_EQ(GetPixel(screen, c.x, c.y), custom[slots[i]]) << "swatch of " << std::hex << item->commandId;
    }
    gApp.CloseMenus(nullptr);
    // The window menu: every entry has an icon, drawn in more than one colour.
    SendMessageA(frame_->window, MoxMSG_CONTEXTMENU, 0, 0);
    CMenu* menu = gApp.rootMenu;
    ASSERT_NE(menu, nullptr);
    Pump(200);
    for (int i = 0; i < menu->popupItems.count; i++) {
        CUIItem* item = *menu->popupItems.At(i);
        ASSERT_GT(item->iconWidth, 0) << std::hex << item->commandId;
        POINT o = {item->iconRect.left, item->iconRect.top};
        ClientToScreen(item->window, &o);
        std::set<COLORREF> colours;
        for (int y = 0; y < item->iconHeight; y++)
            for (int x = 0; x < item->iconWidth; x++)
                colours.insert(GetPixel(screen, o.x + x, o.y + y));
        EXPECT_GT(colours.size(), 3u) << "no icon on " << std::hex << item->commandId;
    }
    ReleaseDC(nullptr, screen);
}

namespace {

// Rows (or columns) of a rectangle of a painted item holding the colour:
// for each, the number of such pixels.
std::vector<int> InkProfile(const Painted& p, const RECT& r, COLORREF ink, bool byRow) {
    std::vector<int> profile;
    int outer = byRow ? r.bottom - r.top : r.right - r.left, inner = byRow ? r.right - r.left : r.bottom - r.top;
    for (int a = 0; a < outer; a++) {
        int n = 0;
        for (int b = 0; b < inner; b++)
            n += Pixel(p, byRow ? r.left + b : r.left + a, byRow ? r.top + a : r.top + b) == ink;
        if (n > 0)
            profile.push_back(n);
    }
    return profile;
}

}  // namespace

// A checked entry without an icon shows a check mark in its left square; a
// menu entry inside a popup shows an arrow to the right, a top-level split
// item one pointing down; all in the text colour.
TEST_F(MenuTest, CheckMarksAndArrowsInTheTextColour) {
    gApp.SetCommandChecked(101, true);
    CMenu* menu = Open();
    ASSERT_NE(menu, nullptr);
    Pump(100);
    COLORREF ink = gApp.visuals.Color(4);
    CUIItem* checked = *menu->popupItems.At(0);
    Painted p = PaintItem(checked);
    RECT square = {0, 0, checked->captionHeight + 2 * CUIItem::Margin(96), p.rc.bottom};
    std::vector<int> mark = InkProfile(p, square, ink, true);
    EXPECT_GE(mark.size(), 4u) << "no check mark";
    FreePainted(&p);
    gApp.SetCommandChecked(101, false);
    p = PaintItem(checked);
    EXPECT_TRUE(InkProfile(p, square, ink, true).empty()) << "a mark on an entry that is not checked";
    FreePainted(&p);

    // A checked menu entry (Custom in the colour menu is one) shows it too.
    CUIItem* sub = *menu->popupItems.At(4);
    gApp.SetCommandChecked(104, true);
    p = PaintItem(sub);
    EXPECT_GE(InkProfile(p, square, ink, true).size(), 4u) << "no check mark on a checked menu entry";
    FreePainted(&p);
    gApp.SetCommandChecked(104, false);
    p = PaintItem(sub);
    RECT column = {p.rc.right - sub->rightMargin, 0, p.rc.right, p.rc.bottom};
    std::vector<int> right = InkProfile(p, column, ink, false);
    ASSERT_GE(right.size(), 2u) << "no arrow";
    EXPECT_GT(right.front(), right.back()) << "the arrow does not point right";
    FreePainted(&p);
    gApp.CloseMenus(nullptr);

    if (gApp.FindCommandIndex(106) < 0)
        gApp.AddCommand(106, kKindMenu, kCmdSplit | 0x80, 0, 104, (void*)kSubList);
    CUIItem* top = gApp.CreateUIItem(kKindMenu, nullptr);
    ASSERT_EQ(top->Create(106, frame_->window, frame_->window, nullptr), 0);
    SetWindowPos(top->window, nullptr, 10, 10, top->totalWidth, top->totalHeight, SWP_NOZORDER | SWP_SHOWWINDOW);
    p = PaintItem(top);
    column = {p.rc.right - top->rightMargin, 0, p.rc.right, p.rc.bottom};
    std::vector<int> down = InkProfile(p, column, ink, true);
    ASSERT_GE(down.size(), 2u) << "no arrow";
    EXPECT_GT(down.front(), down.back()) << "the top-level split item's arrow does not point down";
    FreePainted(&p);
    delete top;
}
