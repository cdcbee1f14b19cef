// Link control under Wine: clicks through real input, the space key, the
// hand cursor, hit tests, attach and detach, long addresses and painting;
// and the UTF-8 helpers, checked against Python's strict decoder.
#include "framework/link_control.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/utf8_text.h"
#include "support/test_support.h"

namespace {

constexpr int IDC_LK_LINK = 1201, IDC_LK_EMPTY = 1202, IDC_LK_PLAIN = 1203, IDC_LK_RIGHT = 1204, IDC_LK_OTHER = 1205,
              IDC_LK_EDIT = 1206;

std::vector<std::string> gOpened;
std::vector<HWND> gOwners;

void RecordOpen(HWND owner, const char* address) {
    gOpened.push_back(address);
    gOwners.push_back(owner);
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_ERASEBKGND) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect((HDC)wp, &rc, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

const char* HostClass() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = "VpLinkTestHost";
        RegisterClassA(&wc);
        registered = true;
    }
    return "VpLinkTestHost";
}

void Pump(int ms = 0) {
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (ms)
            Sleep(5);
    } while (ms && (int)(GetTickCount() - end) < 0);
}

// A topmost window with statics and an edit; the opener is recorded.
struct Host {
    HWND hwnd;
    LinkOpenFunc saved;
    Host() {
        HINSTANCE inst = GetModuleHandleA(nullptr);
        hwnd = CreateWindowExA(WS_EX_TOPMOST, HostClass(), "links", WS_POPUP | WS_VISIBLE, 100, 100, 500, 300, nullptr,
                               nullptr, inst, nullptr);
        Child("STATIC", "Vellumor home", 0, IDC_LK_LINK, 20, 20, 200, 24);
        Child("STATIC", "", 0, IDC_LK_EMPTY, 20, 60, 300, 24);
        Child("STATIC", "plain text", 0, IDC_LK_PLAIN, 20, 100, 200, 24);
        Child("STATIC", "right", SS_RIGHT, IDC_LK_RIGHT, 20, 140, 400, 24);
        Child("STATIC", "other", 0, IDC_LK_OTHER, 260, 20, 200, 24);
        Child("EDIT", "", WS_BORDER, IDC_LK_EDIT, 20, 200, 200, 24);
        SetForegroundWindow(hwnd);
        Pump(50);
        saved = CLinkControl::SetOpener(RecordOpen);
        gOpened.clear();
        gOwners.clear();
    }
    ~Host() {
        CLinkControl::SetOpener(saved);
        DestroyWindow(hwnd);
    }
    void Child(const char* cls, const char* text, DWORD style, int id, int x, int y, int cx, int cy) {
        CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, hwnd, (HMENU)(INT_PTR)id,
                        GetModuleHandleA(nullptr), nullptr);
    }
    HWND Item(int id) const { return GetDlgItem(hwnd, id); }
    POINT Centre(int id) const {
        RECT rc;
        GetWindowRect(Item(id), &rc);
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
};

void SendMouse(DWORD flags) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
}

// A real click at the point: the pointer moves there, then press and release.
void ClickAt(POINT p) {
    SetCursorPos(p.x, p.y);
    Pump(50);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    Pump(50);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Pump(100);
}

// The tool's text through the wide call (the 8-bit one stops at 80).
std::string TooltipText(HWND tooltip, HWND owner, HWND control) {
    wchar_t buf[1024] = L"";
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = owner;
    ti.uId = (UINT_PTR)control;
    ti.lpszText = buf;
    SendMessageW(tooltip, TTM_GETTEXTW, countof(buf), (LPARAM)&ti);
    char out[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, buf, -1, out, (int)countof(out), nullptr, nullptr);
    return out;
}

// Blue pixels the control shows after a full repaint.
int BluePixels(HWND c) {
    RedrawWindow(c, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT rc;
    GetClientRect(c, &rc);
    HDC dc = GetDC(c);
    int n = 0;
    for (int y = 0; y < rc.bottom; y++)
        for (int x = 0; x < rc.right; x++)
            n += GetPixel(dc, x, y) == RGB(0, 0, 255);
    ReleaseDC(c, dc);
    return n;
}

}  // namespace

TEST(LinkControl, ClickOpensTheAddressThroughRealInput) {
    Host h;
    CLinkControl link;
    ASSERT_TRUE(link.Attach(h.hwnd, IDC_LK_LINK, "https://vellumor.example/"));
    EXPECT_EQ(link.Window(), h.Item(IDC_LK_LINK));
    EXPECT_STREQ(link.Text(), "Vellumor home");
    // The mouse reaches the link (a plain static lets it through).
    EXPECT_EQ(WindowFromPoint(h.Centre(IDC_LK_LINK)), h.Item(IDC_LK_LINK));
    EXPECT_EQ(WindowFromPoint(h.Centre(IDC_LK_PLAIN)), h.hwnd);
    ClickAt(h.Centre(IDC_LK_LINK));
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0], "https://vellumor.example/");
    EXPECT_EQ(gOwners[0], h.hwnd);
    EXPECT_EQ(GetFocus(), h.Item(IDC_LK_LINK));

    // A press elsewhere and a release on the link opens nothing: the link
    // has no focus then.
    SetFocus(h.Item(IDC_LK_EDIT));
    ClickAt(h.Centre(IDC_LK_EDIT));
    POINT p = h.Centre(IDC_LK_EDIT);
    SetCursorPos(p.x, p.y);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    Pump(50);
    p = h.Centre(IDC_LK_LINK);
    SetCursorPos(p.x, p.y);
    Pump(50);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Pump(100);
    EXPECT_EQ(gOpened.size(), 1u);
    // Clicking plain text opens nothing either.
    ClickAt(h.Centre(IDC_LK_PLAIN));
    EXPECT_EQ(gOpened.size(), 1u);
}

TEST(LinkControl, SpaceKeyOpensOnlyWithTheFocus) {
    Host h;
    CLinkControl link;
    ASSERT_TRUE(link.Attach(h.hwnd, IDC_LK_LINK, "mailto:help@vellumor.example"));
    HWND c = link.Window();
    SetFocus(h.Item(IDC_LK_EDIT));
    SendMessageA(c, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(gOpened.empty());
    SetFocus(c);
    ASSERT_EQ(GetFocus(), c);
    SendMessageA(c, WM_KEYDOWN, 'A', 0);  // other keys do nothing
    EXPECT_TRUE(gOpened.empty());
    // A real key press through the input queue.
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = VK_SPACE;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof in[0]);
    Pump(150);
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0], "mailto:help@vellumor.example");
}

TEST(LinkControl, HandCursorOverTheLink) {
    Host h;
    CLinkControl link;
    ASSERT_TRUE(link.Attach(h.hwnd, IDC_LK_LINK, "https://vellumor.example/"));
    HCURSOR hand = LoadCursor(nullptr, IDC_HAND), arrow = LoadCursor(nullptr, IDC_ARROW);
    ASSERT_NE(hand, arrow);
    POINT p = h.Centre(IDC_LK_PLAIN);
    SetCursorPos(p.x, p.y);
    Pump(100);
    EXPECT_EQ(GetCursor(), arrow);
    p = h.Centre(IDC_LK_LINK);
    SetCursorPos(p.x, p.y);
    Pump(100);
    EXPECT_EQ(GetCursor(), hand);
    SetCursor(arrow);
    EXPECT_EQ(SendMessageA(link.Window(), WM_SETCURSOR, (WPARAM)link.Window(), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), 1);
    EXPECT_EQ(GetCursor(), hand);
}

TEST(LinkControl, AttachDetachKeepsTheControl) {
    Host h;
    HWND c = h.Item(IDC_LK_LINK);
    HWND tip = nullptr;
    {
        CLinkControl link;
        EXPECT_FALSE(link.Attach(h.hwnd, 4242, "x"));  // no such item
        EXPECT_EQ(link.Window(), nullptr);
        ASSERT_TRUE(link.Attach(h.hwnd, IDC_LK_LINK, "https://a.example/"));
        tip = link.Tooltip();
        ASSERT_TRUE(IsWindow(tip));
        EXPECT_GT(BluePixels(c), 0);
        EXPECT_EQ(SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
        EXPECT_EQ(TooltipText(tip, h.hwnd, c), "https://a.example/");
        EXPECT_EQ(GetWindowLongPtrA(c, GWLP_USERDATA), (LONG_PTR)&link);
        // Attaching again detaches first: one subclass, one tooltip.
        ASSERT_TRUE(link.Attach(h.hwnd, IDC_LK_LINK, "https://b.example/"));
        EXPECT_FALSE(IsWindow(tip));
        tip = link.Tooltip();
        EXPECT_EQ(TooltipText(tip, h.hwnd, c), "https://b.example/");
        link.Detach();
        EXPECT_TRUE(IsWindow(c));
        EXPECT_FALSE(IsWindow(tip));
        EXPECT_EQ(GetWindowLongPtrA(c, GWLP_USERDATA), 0);
        EXPECT_EQ(BluePixels(c), 0);
        EXPECT_EQ(link.Window(), nullptr);
        SetFocus(c);
        SendMessageA(c, WM_KEYDOWN, VK_SPACE, 0);
        EXPECT_TRUE(gOpened.empty());
        link.Detach();  // twice is harmless
        ASSERT_TRUE(link.Attach(h.hwnd, IDC_LK_LINK, "https://c.example/"));
        tip = link.Tooltip();
    }
    // The destructor detaches and leaves the control.
    EXPECT_TRUE(IsWindow(c));
    EXPECT_FALSE(IsWindow(tip));
    char text[64] = "";
    GetWindowTextA(c, text, (int)countof(text));
    EXPECT_STREQ(text, "Vellumor home");
    EXPECT_EQ(BluePixels(c), 0);  // a plain static again
    EXPECT_EQ(WindowFromPoint(h.Centre(IDC_LK_LINK)), h.hwnd);
    SetFocus(c);
    SendMessageA(c, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(gOpened.empty());

    // The control destroyed while attached: the link forgets it.
    CLinkControl link;
    ASSERT_TRUE(link.Attach(h.hwnd, IDC_LK_OTHER, "https://d.example/"));
    DestroyWindow(h.Item(IDC_LK_OTHER));
    EXPECT_EQ(link.Window(), nullptr);
    link.Detach();
}

TEST(LinkControl, TextAndAddressFallBackOnEachOther) {
    Host h;
    CLinkControl empty, self;
    ASSERT_TRUE(empty.Attach(h.hwnd, IDC_LK_EMPTY, "https://shown.example/"));
    EXPECT_STREQ(empty.Text(), "https://shown.example/");
    ASSERT_TRUE(self.Attach(h.hwnd, IDC_LK_LINK, nullptr));
    EXPECT_STREQ(self.Address(), "Vellumor home");
    EXPECT_EQ(TooltipText(self.Tooltip(), h.hwnd, self.Window()), "Vellumor home");
    SetFocus(self.Window());
    SendMessageA(self.Window(), WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0], "Vellumor home");
}

TEST(LinkControl, LongAddressesStayInsideTheirBuffers) {
    Host h;
    std::string longest = "https://vellumor.example/" + std::string(kCchPath - 1 - 25, 'a');
    ASSERT_EQ(longest.size(), kCchPath - 1);
    std::string tooLong = "https://vellumor.example/" + std::string(300 - 25, 'b');
    CLinkControl link;
    HWND c = h.Item(IDC_LK_LINK);
    // 300 characters do not fit: refused rather than cut (a cut address
    // opens the wrong place); the control is left alone.
    EXPECT_FALSE(link.Attach(h.hwnd, IDC_LK_LINK, tooLong.c_str()));
    EXPECT_EQ(link.Window(), nullptr);
    EXPECT_EQ(GetWindowLongPtrA(c, GWLP_USERDATA), 0);
    EXPECT_EQ(BluePixels(c), 0);
    // The longest that fits is kept whole, in the tooltip too.
    ASSERT_TRUE(link.Attach(h.hwnd, IDC_LK_EMPTY, longest.c_str()));
    EXPECT_EQ(link.Address(), longest);
    EXPECT_EQ(link.Text(), longest);
    EXPECT_EQ(TooltipText(link.Tooltip(), h.hwnd, link.Window()), longest);
    SetFocus(link.Window());
    SendMessageA(link.Window(), WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0], longest);
    // A 300-character text as its own address is refused too; with its own
    // short address the shown text is cut to the buffer.
    SetWindowTextA(h.Item(IDC_LK_PLAIN), tooLong.c_str());
    EXPECT_FALSE(link.Attach(h.hwnd, IDC_LK_PLAIN, nullptr));
    ASSERT_TRUE(link.Attach(h.hwnd, IDC_LK_PLAIN, "https://short.example/"));
    EXPECT_EQ(std::string(link.Text()), tooLong.substr(0, kCchPath - 1));
    EXPECT_STREQ(link.Address(), "https://short.example/");
}

TEST(LinkControl, PaintsBlueTextAlignedByStyle) {
    Host h;
    CLinkControl left, right;
    SetWindowTextA(h.Item(IDC_LK_EMPTY), "MMMM");
    SetWindowTextA(h.Item(IDC_LK_RIGHT), "MMMM");
    ASSERT_TRUE(left.Attach(h.hwnd, IDC_LK_EMPTY, "https://l.example/"));
    ASSERT_TRUE(right.Attach(h.hwnd, IDC_LK_RIGHT, "https://r.example/"));
    // Read the painted pixels back: where the blue text lies, and that the
    // rest is the button face.
    auto blueSpan = [](HWND c, int* minX, int* maxX, int* other) {
        RedrawWindow(c, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        RECT rc;
        GetClientRect(c, &rc);
        HDC dc = GetDC(c);
        *minX = rc.right;
        *maxX = -1;
        *other = 0;
        COLORREF face = GetSysColor(COLOR_BTNFACE);
        for (int y = 0; y < rc.bottom; y++)
            for (int x = 0; x < rc.right; x++) {
                COLORREF px = GetPixel(dc, x, y);
                if (px == RGB(0, 0, 255)) {
                    *minX = std::min(*minX, x);
                    *maxX = std::max(*maxX, x);
                } else if (px != face && GetBValue(px) <= GetRValue(px)) {
                    (*other)++;  // neither face nor a blue (antialiased) text pixel
                }
            }
        ReleaseDC(c, dc);
        return rc.right;
    };
    SetFocus(h.Item(IDC_LK_EDIT));
    int minX, maxX, other;
    int w = blueSpan(left.Window(), &minX, &maxX, &other);
    ASSERT_GE(maxX, 0) << "no blue text painted";
    EXPECT_LT(maxX, w / 2);
    EXPECT_EQ(other, 0);
    w = blueSpan(right.Window(), &minX, &maxX, &other);
    ASSERT_GE(maxX, 0);
    EXPECT_GT(minX, w / 2);
    EXPECT_EQ(other, 0);
    // With the focus, a focus rectangle is drawn around the client area.
    SetFocus(right.Window());
    blueSpan(right.Window(), &minX, &maxX, &other);
    EXPECT_GT(other, 0);
}

TEST(Utf8Text, ValidityOfKnownSequences) {
    EXPECT_TRUE(IsValidUtf8(nullptr));
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("English"));
    EXPECT_TRUE(IsValidUtf8("caf\xC3\xA9"));                   // two bytes
    EXPECT_TRUE(IsValidUtf8("\xE2\x82\xAC 5"));                // three bytes
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));              // four bytes
    EXPECT_TRUE(IsValidUtf8("\xEF\xBF\xBF\xF4\x8F\xBF\xBF"));  // U+FFFF, U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\x80"));                         // lone continuation
    EXPECT_FALSE(IsValidUtf8("ab\xBF"));
    EXPECT_FALSE(IsValidUtf8("\xF8\x88\x80\x80\x80"));  // lead 0xF8
    EXPECT_FALSE(IsValidUtf8("\xFF"));
    EXPECT_FALSE(IsValidUtf8("\xC3"));  // cut short by the end
    EXPECT_FALSE(IsValidUtf8("x\xE2\x82"));
    EXPECT_FALSE(IsValidUtf8("\xF0\x9F\x98"));
    EXPECT_FALSE(IsValidUtf8("\xC3(x"));    // not a continuation
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));  // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xC1\xBF"));
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xF0\x80\x80\xAF"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogates
    EXPECT_FALSE(IsValidUtf8("\xED\xBF\xBF"));
    EXPECT_TRUE(IsValidUtf8("\xED\x9F\xBF"));       // U+D7FF
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xF5\x80\x80\x80"));
    EXPECT_FALSE(
        IsValidUtf8("Gr\xFC\xDF"
                    "e"));  // plain ANSI (Windows-1252)
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));
}

TEST(Utf8Text, ValidityAgreesWithPythonsDecoder) {
    // Every two-byte string, every three-byte string with a lead of E0-FF,
    // and four-byte strings with a lead of F0-FF around the continuation
    // boundaries (no NUL inside): Python's strict decoder judges each.
    std::string dir = MakeTestDir("utf8_peer");
    const char* script =
        "import sys\n"
        "out = bytearray()\n"
        "def judge(b):\n"
        "    try:\n"
        "        b.decode('utf-8')\n"
        "        out.append(49)\n"
        "    except UnicodeDecodeError:\n"
        "        out.append(48)\n"
        "for a in range(1, 256):\n"
        "    for b in range(1, 256):\n"
        "        judge(bytes((a, b)))\n"
        "for a in range(0xE0, 256):\n"
        "    for b in range(1, 256):\n"
        "        for c in range(1, 256):\n"
        "            judge(bytes((a, b, c)))\n"
        "edge = (0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0)\n"
        "for a in range(0xF0, 256):\n"
        "    for b in range(1, 256):\n"
        "        for c in edge:\n"
        "            for d in edge:\n"
        "                judge(bytes((a, b, c, d)))\n"
        "open('verdicts.txt', 'wb').write(out)\n";
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "judge.py"), script));
    std::string output;
    ASSERT_EQ(RunPeer(dir, "/usr/bin/python3 judge.py", &output), 0) << output;
    std::string verdicts;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "verdicts.txt"), &verdicts));
    size_t i = 0, mismatches = 0;
    auto check = [&](const char* s) {
        ASSERT_LT(i, verdicts.size());
        bool expected = verdicts[i++] == '1';
        if (IsValidUtf8(s) != expected && ++mismatches < 10) {
            std::string hex;
            for (const char* p = s; *p; p++) {
                char h[4];
                StrFmt(h, countof(h), "%02X ", (unsigned char)*p);
                hex += h;
            }
            ADD_FAILURE() << hex << "python says " << expected;
        }
    };
    char s[5] = {};
    for (int a = 1; a < 256; a++)
        for (int b = 1; b < 256; b++) {
            s[0] = (char)a, s[1] = (char)b, s[2] = 0;
            check(s);
        }
    for (int a = 0xE0; a < 256; a++)
        for (int b = 1; b < 256; b++)
            for (int c = 1; c < 256; c++) {
                s[0] = (char)a, s[1] = (char)b, s[2] = (char)c, s[3] = 0;
                check(s);
            }
    const int edge[] = {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0};
    for (int a = 0xF0; a < 256; a++)
        for (int b = 1; b < 256; b++)
            for (int c : edge)
                for (int d : edge) {
                    s[0] = (char)a, s[1] = (char)b, s[2] = (char)c, s[3] = (char)d, s[4] = 0;
                    check(s);
                }
    EXPECT_EQ(i, verdicts.size());
    EXPECT_EQ(mismatches, 0u);
}

TEST(Utf8Text, SetterShowsTheRightCharacters) {
    Host h;
    HWND edit = h.Item(IDC_LK_EDIT), label = h.Item(IDC_LK_PLAIN);
    auto wideText = [](HWND c) {
        wchar_t buf[256] = L"";
        GetWindowTextW(c, buf, 256);
        return std::wstring(buf);
    };
    // "café € Ж": the Cyrillic letter has no 8-bit form in Windows-1252.
    const char* utf8 = "caf\xC3\xA9 \xE2\x82\xAC \xD0\x96 \xF0\x9F\x98\x80";
    const std::wstring expected = L"caf\u00E9 \u20AC \u0416 \xD83D\xDE00";
    for (HWND c : {edit, label}) {
        int id = GetDlgCtrlID(c);
        EXPECT_EQ(SetDlgItemTextUtf8(h.hwnd, id, utf8), (int)expected.size() + 1);
        EXPECT_EQ(wideText(c), expected);
        // 8-bit text goes through the 8-bit call: it reads back as the ANSI
        // code page says.
        const char* ansi =
            "Gr\xFC\xDF"
            "e \xE9t\xE9";
        wchar_t viaAcp[64] = L"";
        MultiByteToWideChar(CP_ACP, 0, ansi, -1, viaAcp, 64);
        EXPECT_EQ(SetDlgItemTextUtf8(h.hwnd, id, ansi), (int)strlen(ansi));
        EXPECT_EQ(wideText(c), std::wstring(viaAcp));
        EXPECT_EQ(SetDlgItemTextUtf8(h.hwnd, id, "plain"), 6);
        EXPECT_EQ(wideText(c), L"plain");
        // A null text empties the item.
        EXPECT_EQ(SetDlgItemTextUtf8(h.hwnd, id, nullptr), 1);
        EXPECT_EQ(wideText(c), L"");
    }
}
