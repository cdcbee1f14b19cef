// Every dialog of the program at 96, 120, 144 and 192 DPI (each DPI in a
// copy of this program started with that desktop DPI): each static text and
// each combo box entry is measured in the control's own font against the
// control's width. And after a DPI change (WM_DPICHANGED, which Wine never
// sends by itself): each dialog's texts grow with the DPI and still fit.
// With VP_SHOT_DIR set, the dialogs are saved there as pictures to look at.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/str_util.h"
#include "capture/actions/send_to.h"
#include "capture/capture_test_util.h"
#include "capture/editor/editor_dialog.h"
#include "capture/editor/editor_state.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/print/print_dialogs.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/product_info.h"
#include "settings/data_folders.h"
#include "support/test_support.h"
#include "tests/support/test_support.h"
#include "update/archive_schedule.h"
#include "update/update_check.h"

namespace {

std::string Text(HWND hwnd) {
    char buf[1024] = "";
    GetWindowTextA(hwnd, buf, (int)sizeof buf);
    return buf;
}

std::string ClassOf(HWND hwnd) {
    char cls[64] = "";
    GetClassNameA(hwnd, cls, (int)sizeof cls);
    return cls;
}

// The text's size in the control's font: one line, or wrapped at width.
SIZE Measure(HWND control, const std::string& text, UINT flags, int width) {
    HDC dc = GetDC(control);
    HFONT font = (HFONT)SendMessageA(control, WM_GETFONT, 0, 0);
    HGDIOBJ old = SelectObject(dc, font ? (HGDIOBJ)font : GetStockObject(SYSTEM_FONT));
    RECT r = {0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &r, flags | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SIZE{r.right, r.bottom};
}

int FontHeight(HWND control) {
    HFONT font = (HFONT)SendMessageA(control, WM_GETFONT, 0, 0);
    LOGFONTA lf = {};
    if (!font || !GetObjectA(font, sizeof lf, &lf))
        return 0;
    return abs(lf.lfHeight);
}

// Appends one line for every static text or combo entry of the dialog (and
// of its child dialogs) that does not fit its control.
void CheckTextsFit(HWND dialog, const std::string& name, std::vector<std::string>* misfits, int* checked) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::string cls = ClassOf(c);
        LONG style = GetWindowLongA(c, GWL_STYLE);
        RECT client;
        GetClientRect(c, &client);
        char where[200];
        snprintf(where, sizeof where, "%s, control %d (%ld x %ld px): ", name.c_str(), GetDlgCtrlID(c), client.right,
                 client.bottom);
        if (cls == "#32770") {
            CheckTextsFit(c, name + " page", misfits, checked);
        } else if (_stricmp(cls.c_str(), "Static") == 0) {
            int type = style & SS_TYPEMASK;
            std::string text = Text(c);
            if (text.empty() || (style & SS_ELLIPSISMASK) ||
                !(type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
                  type == SS_LEFTNOWORDWRAP))
                continue;
            UINT flags = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
            bool wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
            SIZE s = wraps ? Measure(c, text, flags | DT_WORDBREAK | DT_EXPANDTABS, client.right)
                           : Measure(c, text, flags | DT_SINGLELINE | DT_EXPANDTABS, 0);
            (*checked)++;
            if (s.cx > client.right || (wraps && s.cy > client.bottom))
                misfits->push_back(where + ("\"" + text + "\" needs ") + std::to_string(s.cx) + " x " +
                                   std::to_string(s.cy));
        } else if (_stricmp(cls.c_str(), "ComboBox") == 0) {
            int room = client.right - GetSystemMetrics(SM_CXVSCROLL) - 2 * GetSystemMetrics(SM_CXEDGE) - 2;
            int n = (int)SendMessageA(c, CB_GETCOUNT, 0, 0);
            for (int i = 0; i < n; i++) {
                char item[300] = "";
                if (SendMessageA(c, CB_GETLBTEXTLEN, i, 0) >= (LRESULT)sizeof item)
                    continue;
                SendMessageA(c, CB_GETLBTEXT, i, (LPARAM)item);
                SIZE s = Measure(c, item, DT_SINGLELINE | DT_NOPREFIX, 0);
                (*checked)++;
                if (s.cx > room)
                    misfits->push_back(where + ("\"" + std::string(item) + "\" needs ") + std::to_string(s.cx) +
                                       " of " + std::to_string(room));
            }
        }
    }
}

// The window as it is on the screen, saved as a BMP under VP_SHOT_DIR.
void Shoot(HWND hwnd, const std::string& name) {
    const char* dir = getenv("VP_SHOT_DIR");
    if (!dir || !*dir)
        return;
    // Above the other windows (the text tool's window may lie under the editor).
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Sleep(150);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(100);
    RECT wr;
    GetWindowRect(hwnd, &wr);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, wr.right - wr.left, wr.bottom - wr.top);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, wr.right - wr.left, wr.bottom - wr.top, screen, wr.left, wr.top, SRCCOPY);
    SelectObject(mem, old);
    CImage img;
    if (img.CreateFromBitmapHandle(bmp, nullptr, false))
        img.Save((std::string(dir) + "\\" + name + ".bmp").c_str(), 1 /* BMP */);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
}

// What one look at a dialog does: measure, maybe change the DPI first.
struct Look {
    std::string name;
    UINT changeTo = 0;  // send WM_DPICHANGED with this DPI first (0: none)
    std::vector<std::string> misfits;
    int checked = 0;
    int fontsChecked = 0, fontsGrown = 0;  // with a DPI change
    std::string shotSuffix;
};

// Font heights of the texts of a dialog and its pages, in child order.
void FontHeights(HWND dialog, std::vector<int>* out) {
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        std::string cls = ClassOf(c);
        if (cls == "#32770")
            FontHeights(c, out);
        else if (_stricmp(cls.c_str(), "Static") == 0 || _stricmp(cls.c_str(), "ComboBox") == 0 ||
                 _stricmp(cls.c_str(), "Button") == 0)
            out->push_back(FontHeight(c));
    }
}

void LookAt(HWND dialog, Look* look) {
    if (look->changeTo) {
        std::vector<int> before, after;
        FontHeights(dialog, &before);
        HDC screen = GetDC(nullptr);
        UINT from = (UINT)GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        RECT wr;
        GetWindowRect(dialog, &wr);
        RECT suggested = {wr.left / 2, wr.top / 2,
                          wr.left / 2 + MulDiv(wr.right - wr.left, (int)look->changeTo, (int)from),
                          wr.top / 2 + MulDiv(wr.bottom - wr.top, (int)look->changeTo, (int)from)};
        SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(look->changeTo, look->changeTo), (LPARAM)&suggested);
        PumpFor(200);
        FontHeights(dialog, &after);
        for (size_t i = 0; i < before.size() && i < after.size(); i++) {
            if (!before[i])
                continue;
            look->fontsChecked++;
            int want = MulDiv(before[i], (int)look->changeTo, (int)from);
            if (abs(after[i] - want) <= 1)
                look->fontsGrown++;
        }
    }
    CheckTextsFit(dialog, look->name, &look->misfits, &look->checked);
    Shoot(dialog, look->name + look->shotSuffix);
}

std::string Lines(const std::vector<std::string>& v) {
    std::string s;
    for (const std::string& line : v)
        s += line + "\n";
    return s;
}

// Opens a modal dialog with open() on this thread; a helper thread waits
// for it, looks at it and closes it (close: the command that ends it).
void LookAtModal(const std::function<void()>& open, Look* look, int close = IDCANCEL) {
    std::atomic<bool> seen(false);
    std::thread helper([&] {
        HWND d = WaitForProcessDialog(10000);
        if (!d)
            return;
        Sleep(300);
        seen = true;
        LookAt(d, look);
        for (int i = 0; i < 20 && IsWindow(d); i++) {
            PostMessageA(d, WM_COMMAND, (WPARAM)close, 0);
            Sleep(100);
        }
    });
    open();
    helper.join();
    EXPECT_TRUE(seen) << look->name << " did not open";
}

class DialogFit : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCaptureApp();
        INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFFFF};
        InitCommonControlsEx(&icc);
        std::string dir = MakeTestDir("dialog_fit");
        StrCopy(gUserDataFolder, countof(gUserDataFolder), dir.c_str());
        StrCopy(gCommonDataFolder, countof(gCommonDataFolder), dir.c_str());
        gImage.Create(320, 200, 24, 0);
        StrCopy(gImageName, countof(gImageName), "(Unnamed)");
        gColorMode = kColorTrue;
        BuildSendToList();
        gApp.startMinimised = false;
    }
    void TearDown() override {
        if (gMainDialog)
            DestroyWindow(gMainDialog);
        PumpFor(50);
        FreeSendToList();
    }
    // Every dialog, looked at with a DPI change to changeTo (0: none).
    std::vector<Look> LookAtEverything(UINT changeTo, const std::string& suffix) {
        std::vector<Look> looks;
        auto fresh = [&](const char* name) {
            Look l;
            l.name = name;
            l.changeTo = changeTo;
            l.shotSuffix = suffix;
            return l;
        };
        HWND main = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
        EXPECT_NE(main, nullptr);
        if (main) {
            PumpFor(200);
            ShowMainDialog(0);
            PumpFor(100);
            Look l = fresh("main");
            LookAt(main, &l);
            looks.push_back(l);
            // Each tab shown for a picture (the measuring covered all pages).
            static const char* const kTabNames[] = {"actions", "options", "capture", "save", "print", "send"};
            for (int t = 1; t < 6; t++) {
                ShowMainDialog(t);
                PumpFor(100);
                Shoot(main, std::string("main-") + kTabNames[t] + suffix);
            }
            ShowMainDialog(0);
            // The modal dialogs below are found as this process's only dialog.
            DestroyWindow(main);
            PumpFor(100);
        }
        Look editor = fresh("editor"), text = fresh("enter-text");
        gOpt.Tool = kToolText;
        {
            std::atomic<bool> seen(false);
            std::thread helper([&] {
                for (int i = 0; i < 200 && !(gEditorDialog && IsWindowVisible(gEditorDialog) && gEd.text); i++)
                    Sleep(25);
                if (!gEditorDialog)
                    return;
                Sleep(400);
                seen = true;
                LookAt(gEditorDialog, &editor);
                if (gEd.text)
                    LookAt(gEd.text, &text);
                for (int i = 0; i < 20 && gEditorDialog; i++) {
                    PostMessageA(gEditorDialog, WM_COMMAND, IDCANCEL, 0);
                    Sleep(100);
                }
            });
            RunImageEditor(nullptr, 0);
            helper.join();
            EXPECT_TRUE(seen) << "the editor did not open";
        }
        gOpt.Tool = kToolSelect;
        looks.push_back(editor);
        looks.push_back(text);
        Look update = fresh("update-check"), archive = fresh("archive"), info = fresh("product-info"),
             margins = fresh("margins"), header = fresh("header-footer");
        LookAtModal([&] { ShowUpdateCheckDialog(nullptr); }, &update);
        LookAtModal([&] { ShowArchiveDialog(nullptr); }, &archive);
        LookAtModal([&] { ShowProductInfo(nullptr, 0); }, &info, IDOK);
        LookAtModal([&] { gApp.RunModalDialog(nullptr, IDD_MARGINS, MarginsDlgProc, 0); }, &margins);
        LookAtModal([&] { gApp.RunModalDialog(nullptr, IDD_HEADER_FOOTER, HeaderFooterDlgProc, 0); }, &header);
        looks.push_back(update);
        looks.push_back(archive);
        looks.push_back(info);
        looks.push_back(margins);
        looks.push_back(header);
        return looks;
    }
};

}  // namespace

// Runs in a copy of this program started at the desktop DPI in VP_FIT_DPI
// (FitAtEachDesktopDpi below starts it).
TEST_F(DialogFit, DISABLED_AtThisDesktopDpi) {
    const char* want = getenv("VP_FIT_DPI");
    ASSERT_NE(want, nullptr);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    ASSERT_EQ(dpi, atoi(want)) << "the desktop DPI did not take";
    std::vector<Look> looks = LookAtEverything(0, "-" + std::to_string(dpi));
    int checked = 0;
    for (const Look& l : looks) {
        if (l.name != "enter-text") {  // a text field, a button and a check box only
            EXPECT_GT(l.checked, 0) << l.name << ": nothing measured";
        }
        EXPECT_TRUE(l.misfits.empty()) << "at " << dpi << " DPI:\n" << Lines(l.misfits);
        checked += l.checked;
    }
    printf("measured %d texts at %d DPI\n", checked, dpi);
}

TEST(DialogTexts, FitTheirControlsAtEachDesktopDpi) {
    char exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
    const char* shots = getenv("VP_SHOT_DIR");
    for (DWORD dpi : {96u, 120u, 144u, 192u}) {
        DWORD old = SetDesktopLogPixels(dpi);
        std::string out;
        std::string env = "env -u GTEST_SHARD_INDEX -u GTEST_TOTAL_SHARDS VP_FIT_DPI=" + std::to_string(dpi);
        if (shots)
            env += std::string(" VP_SHOT_DIR='") + shots + "'";
        int rc = RunPeer(MakeTestDir(("fit" + std::to_string(dpi)).c_str()),
                         env + " wine '" + UnixPathOf(exe) +
                             "' --gtest_color=no --gtest_also_run_disabled_tests "
                             "--gtest_filter=DialogFit.DISABLED_AtThisDesktopDpi",
                         &out);
        SetDesktopLogPixels(old);
        EXPECT_EQ(rc, 0) << "at " << dpi << " DPI:\n" << out;
        EXPECT_NE(out.find("[  PASSED  ] 1 test."), std::string::npos) << out;
        EXPECT_NE(out.find("measured "), std::string::npos) << out;
    }
}

TEST_F(DialogFit, AfterADpiChangeEveryDialogsTextsGrowAndStillFit) {
    std::vector<Look> looks = LookAtEverything(144, "-96to144");
    for (const Look& l : looks) {
        if (l.name != "enter-text") {
            EXPECT_GT(l.checked, 0) << l.name << ": nothing measured";
        }
        EXPECT_TRUE(l.misfits.empty()) << "after the change to 144 DPI:\n" << Lines(l.misfits);
        EXPECT_GT(l.fontsChecked, 0) << l.name;
        EXPECT_EQ(l.fontsGrown, l.fontsChecked) << l.name << ": texts whose font did not follow the DPI";
    }
}
