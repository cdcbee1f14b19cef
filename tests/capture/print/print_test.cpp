// Printing to a PostScript test printer (Wine's PostScript driver with a
// PPD whose printable area has a border of its own on each side, the port
// spooled to a file): the picture's translate and scale in the output for
// margins, sizes, positions, orientation, header and footer, the page
// rasterised by ghostscript, and the message without a printer.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <winspool.h>

#include <string>
#include <thread>

#include "base/str_util.h"
#include "capture/actions/action_dispatch.h"
#include "capture/capture_test_util.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/print/print.h"
#include "capture/print/print_dialogs.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "tests/support/test_support.h"

namespace {

const char kPrinter[] = "Vellumor Test PS";
// Letter (612 x 792 pt) printable from 12 pt left, 24 pt bottom, 36 pt right
// and 12 pt top: at 300 dpi borders of 50, 50, 150 and 100 pixels.
const char kImageableArea[] = "12 24 576 780";
const int kPageW = 2550, kPageH = 3300, kOff = 50, kRightBorder = 150, kBottomBorder = 100;

std::string gSpool;  // the file the printer's port writes

// Installs the driver with the PPD and the printer on LPT1:, spooled to a file.
bool InstallTestPrinter(std::string* why) {
    std::string dir = MakeTestDir("printer");
    std::string cmd = std::string("sed 's/^\\*ImageableArea Letter: .*/*ImageableArea Letter: \"") + kImageableArea +
                      "\"/' \"$(ls /usr/share/ghostscript/*/lib/ghostpdf.ppd | head -n 1)\" > test.ppd";
    if (RunPeer(dir, cmd) != 0) {
        *why = "no ghostscript PPD";
        return false;
    }
    char drivers[MAX_PATH];
    DWORD n = sizeof drivers;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, (BYTE*)drivers, n, &n)) {
        *why = "no driver folder";
        return false;
    }
    CreateDirectoryA(drivers, nullptr);
    std::string ppd = std::string(drivers) + "\\vellumor_test.ppd";
    if (!CopyFileA(WinPath(PathJoin(dir, "test.ppd")).c_str(), ppd.c_str(), FALSE)) {
        *why = "PPD not copied";
        return false;
    }
    DRIVER_INFO_3A driver = {};
    driver.cVersion = 3;
    driver.pName = (char*)"Wine PostScript Driver";
    driver.pEnvironment = nullptr;  // the process's own ("Windows x64" in a 64-bit one)
    driver.pDriverPath = (char*)"wineps.drv";
    driver.pDataFile = (char*)"vellumor_test.ppd";
    driver.pConfigFile = (char*)"wineps.drv";
    AddPrinterDriverA(nullptr, 3, (BYTE*)&driver);
    gSpool = PathJoin(dir, "spool.ps");
    std::string unixSpool = UnixPathOf(gSpool);
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", &key) != ERROR_SUCCESS) {
        *why = "no spooler key";
        return false;
    }
    RegSetValueExA(key, "LPT1:", 0, REG_SZ, (const BYTE*)unixSpool.c_str(), (DWORD)unixSpool.size() + 1);
    RegCloseKey(key);
    PRINTER_INFO_2A info = {};
    info.pPrinterName = (char*)kPrinter;
    info.pPortName = (char*)"LPT1:";
    info.pDriverName = (char*)"Wine PostScript Driver";
    info.pPrintProcessor = (char*)"WinPrint";
    info.pDatatype = (char*)"RAW";
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterA(nullptr, 2, (BYTE*)&info);
    if (printer)
        ClosePrinter(printer);
    HDC dc = CreateDCA("WINSPOOL", kPrinter, nullptr, nullptr);
    if (!dc) {
        *why = "printer not added";
        return false;
    }
    DeleteDC(dc);
    return true;
}

// The test printer, installed once per process; false, with the reason,
// when it could not be.
bool TestPrinterReady(std::string* why) {
    static int state = -1;
    static std::string reason;
    if (state < 0)
        state = InstallTestPrinter(&reason) ? 1 : 0;
    *why = reason;
    return state == 1;
}

// The picture's placement in the PostScript: the "x y translate" and
// "w h scale" pair of the image (not the page's "1 -1 scale").
struct Placement {
    double x = -1, y = -1, w = -1, h = -1;
};

Placement FindPlacement(const std::string& ps) {
    Placement p;
    size_t at = 0;
    while ((at = ps.find(" scale\n", at)) != std::string::npos) {
        size_t lineStart = ps.rfind('\n', at) + 1;
        double w, h;
        if (sscanf(ps.c_str() + lineStart, "%lf %lf scale", &w, &h) == 2 && !(w == 1 && h == -1)) {
            size_t prevEnd = lineStart - 1;
            size_t prevStart = ps.rfind('\n', prevEnd - 1) + 1;
            double x, y;
            if (sscanf(ps.c_str() + prevStart, "%lf %lf translate", &x, &y) == 2) {
                p = {x, y, w, h};
                return p;
            }
        }
        at += 7;
    }
    return p;
}

// The image and the print options, no printer: what needs none.
class PrintSetupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCaptureApp();
        gImage.Create(120, 60, 24, 0);
        for (int y = 0; y < 60; y++)
            for (int x = 0; x < 120; x++)
                gImage.SetPixelColor(x, y, RGBQUAD{0, 0, 255, 0});  // red
        StrCopy(gImageName, countof(gImageName), "(Unnamed)");
        gOpt.Monitor = kMonitorIgnore;
        gOpt.MonDPI = 100;  // 120 x 60 pixels are 1.2 x 0.6 inch: 360 x 180 printer pixels
        gOpt.PrtOrientation = DMORIENT_PORTRAIT;
        gOpt.PrtSize = 0;
        gOpt.PrtNoClip = 1;
        StrCopy(gOpt.PrtPrinterName, countof(gOpt.PrtPrinterName), kPrinter);
        FreePrinterList();
    }
    void TearDown() override { FreePrinterList(); }
};

// The same with the test printer installed and selected. Both builds can
// install it: a printer that is not there is a failure, not a skip.
class PrintTest : public PrintSetupTest {
  protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(TestPrinterReady(&why)) << "test printer: " << why;
        PrintSetupTest::SetUp();
        PrinterListThread((LPVOID)1);
        AdoptPrinterList(nullptr);
    }
    // Prints and returns the spooled PostScript ("" when none came).
    std::string Print(int* result) {
        DeleteFileA(gSpool.c_str());
        *result = PrintImage(nullptr);
        std::string ps;
        for (int i = 0; i < 100; i++) {
            if (ReadFileBytes(gSpool, &ps) && ps.find("%%EOF") != std::string::npos)
                break;
            Sleep(50);
        }
        return ps;
    }
};

// The spooled page drawn by ghostscript at dpi, then measure (Python with
// px, w, h and the red pixels' (x, y)) run on it: what it printed, or "".
std::string MeasurePage(int dpi, const std::string& measure) {
    std::string dir = MakeTestDir("print_raster");
    if (!CopyFileA(WinPath(gSpool).c_str(), WinPath(PathJoin(dir, "page.ps")).c_str(), FALSE))
        return "";
    std::string out;
    std::string cmd = "gs -q -dNOPAUSE -dBATCH -sDEVICE=ppmraw -r" + std::to_string(dpi) +
                      " -sOutputFile=page.ppm page.ps && /usr/bin/python3 -c \"from PIL import Image; "
                      "im = Image.open('page.ppm').convert('RGB'); px = im.load(); w, h = im.size; "
                      "red = [(x, y) for y in range(h) for x in range(w) if px[x, y][0] > 200 and px[x, y][1] < 60]; " +
                      measure + "\"";
    return RunPeer(dir, cmd, &out) == 0 ? out : "";
}

}  // namespace

TEST_F(PrintTest, MarginsAreRaisedToEachSidesBorderAndPositionEightIsBottomRight) {
    ASSERT_GE(SelectedPrinter(), 0);
    gOpt.PrtMrgLft = gOpt.PrtMrgTop = gOpt.PrtMrgRgt = gOpt.PrtMrgBtm = 0;
    gOpt.PrtPos = 8;
    int r;
    std::string ps = Print(&r);
    ASSERT_EQ(r, kPrintDone);
    EXPECT_NE(ps.find("%%Title: Vellumor Pro"), std::string::npos);
    EXPECT_NE(ps.find("%%Orientation: Portrait"), std::string::npos);
    EXPECT_NEAR(gOpt.PrtMrgLft, 0.4233, 0.001);
    EXPECT_NEAR(gOpt.PrtMrgTop, 0.4233, 0.001);
    EXPECT_NEAR(gOpt.PrtMrgRgt, 1.27, 0.001) << "the right border is the printer's right one";
    EXPECT_NEAR(gOpt.PrtMrgBtm, 0.8467, 0.001);
    Placement p = FindPlacement(ps);
    EXPECT_EQ(p.w, 360);
    EXPECT_EQ(p.h, 180);
    // In printable-area coordinates: the area ends at the right and bottom borders.
    EXPECT_NEAR(p.x, kPageW - kOff - kRightBorder - 360, 1);
    EXPECT_NEAR(p.y, kPageH - kOff - kBottomBorder - 180, 1);

    // The page as ghostscript draws it at 30 dpi: the red box where expected.
    std::string out = MeasurePage(30,
                                  "print(w, h, min(x for x, y in red), min(y for x, y in red), "
                                  "max(x for x, y in red), max(y for x, y in red))");
    int w, h, x0, y0, x1, y1;
    ASSERT_EQ(sscanf(out.c_str(), "%d %d %d %d %d %d", &w, &h, &x0, &y0, &x1, &y1), 6) << out;
    EXPECT_EQ(w, 255);
    EXPECT_EQ(h, 330);
    // 300 dpi pixels / 10: right edge at 2400, bottom at 3200; 36 x 18 wide.
    EXPECT_NEAR(x1 + 1, 240, 1);
    EXPECT_NEAR(y1 + 1, 320, 1);
    EXPECT_NEAR(x1 - x0 + 1, 36, 1);
    EXPECT_NEAR(y1 - y0 + 1, 18, 1);
}

TEST_F(PrintTest, WiderMarginsAreKeptAndEveryPositionFollowsThem) {
    gOpt.PrtMrgLft = 2.54f;
    gOpt.PrtMrgTop = 5.08f;
    gOpt.PrtMrgRgt = 2.54f;
    gOpt.PrtMrgBtm = 2.54f;
    const double areaW = kPageW - 300 - 300, areaH = kPageH - 600 - 300;
    for (int pos = 0; pos < 9; pos++) {
        gOpt.PrtPos = pos;
        int r;
        Placement p = FindPlacement(Print(&r));
        ASSERT_EQ(r, kPrintDone);
        const int column = pos % 3, row = pos / 3;
        EXPECT_NEAR(p.x, 300 - kOff + (areaW - 360) * column / 2, 1) << pos;
        EXPECT_NEAR(p.y, 600 - kOff + (areaH - 180) * row / 2, 1) << pos;
    }
    EXPECT_FLOAT_EQ(gOpt.PrtMrgLft, 2.54f);
    EXPECT_FLOAT_EQ(gOpt.PrtMrgTop, 5.08f);
}

TEST_F(PrintTest, FitPageZoomAndNoClipping) {
    gOpt.PrtMrgLft = gOpt.PrtMrgTop = gOpt.PrtMrgRgt = gOpt.PrtMrgBtm = 0;
    gOpt.PrtPos = 0;
    const double areaW = kPageW - kOff - kRightBorder, areaH = kPageH - kOff - kBottomBorder;
    int r;
    gOpt.PrtSize = 1;  // a wide picture fills the width
    Placement p = FindPlacement(Print(&r));
    EXPECT_NEAR(p.w, areaW, 1);
    EXPECT_NEAR(p.h, areaW / 2, 1);
    gImage.Create(60, 300, 24, 0);  // a tall one the height
    p = FindPlacement(Print(&r));
    EXPECT_NEAR(p.h, areaH, 1);
    EXPECT_NEAR(p.w, areaH / 5, 1);
    gImage.Create(120, 60, 24, 0);
    gOpt.PrtSize = 2;
    gOpt.PrtZoom = 250;
    p = FindPlacement(Print(&r));
    EXPECT_EQ(p.w, 900);
    EXPECT_EQ(p.h, 450);
    gOpt.PrtZoom = 1;
    p = FindPlacement(Print(&r));
    EXPECT_EQ(p.w, 3);
    EXPECT_EQ(p.h, 1);
    gOpt.PrtZoom = 1000;  // 3600 x 1800: shrunk into the area
    p = FindPlacement(Print(&r));
    EXPECT_NEAR(p.w, areaW, 1);
    EXPECT_NEAR(p.h, areaW / 2, 1);
    gOpt.PrtNoClip = 0;
    p = FindPlacement(Print(&r));
    EXPECT_EQ(p.h, 1800) << "clipped at the area, not shrunk (" << p.w << " x " << p.h << ")";
    EXPECT_EQ(r, kPrintDone);
}

TEST_F(PrintTest, AutomaticOrientationFollowsTheImage) {
    gOpt.PrtOrientation = 0;
    int r;
    std::string ps = Print(&r);
    EXPECT_NE(ps.find("%%Orientation: Landscape"), std::string::npos) << "wider than high";
    gImage.Create(60, 120, 24, 0);
    ps = Print(&r);
    EXPECT_NE(ps.find("%%Orientation: Portrait"), std::string::npos);
    gOpt.PrtOrientation = DMORIENT_LANDSCAPE;
    ps = Print(&r);
    EXPECT_NE(ps.find("%%Orientation: Landscape"), std::string::npos);
}

TEST_F(PrintTest, HeaderAndFooterTakeTwoLinesEachAndConsumeNumbers) {
    gOpt.PrtMrgLft = gOpt.PrtMrgTop = gOpt.PrtMrgRgt = gOpt.PrtMrgBtm = 0;
    const double areaH = kPageH - kOff - kBottomBorder;
    gOpt.Header = 1;
    StrCopy(gOpt.RHead, countof(gOpt.RHead), "Page %N3");
    gOpt.Footer = 1;
    StrCopy(gOpt.LFoot, countof(gOpt.LFoot), "%F");
    StrCopy(gOpt.RFoot, countof(gOpt.RFoot), "%N");
    gOpt.NextN = 7;
    gOpt.PrtPos = 0;
    int r;
    Placement top = FindPlacement(Print(&r));
    ASSERT_EQ(r, kPrintDone);
    EXPECT_EQ(gOpt.NextN, 9) << "one number in the header, one in the footer";
    gOpt.PrtPos = 6;
    Placement bottom = FindPlacement(Print(&r));
    double headerRoom = top.y, footerRoom = areaH - (bottom.y + bottom.h);
    EXPECT_GT(headerRoom, 20);
    EXPECT_NEAR(headerRoom, footerRoom, 1) << "two line heights each";
    // A header without text takes no room.
    gOpt.RHead[0] = 0;
    gOpt.Footer = 0;
    gOpt.PrtPos = 0;
    EXPECT_EQ(FindPlacement(Print(&r)).y, 0);
}

// A %B of several lines is printed on the header's one line.
TEST_F(PrintTest, AHeaderFieldOfSeveralLinesStaysOnItsLine) {
    ASSERT_TRUE(PutOnClipboard(CF_TEXT, TextBlock("one\r\ntwo\r\nthree\r\nfour\r\nfive")));
    gOpt.PrtMrgLft = gOpt.PrtMrgTop = gOpt.PrtMrgRgt = gOpt.PrtMrgBtm = 0;
    gOpt.Header = 1;
    StrCopy(gOpt.CHead, countof(gOpt.CHead), "%B");
    gOpt.HeadFont.lfHeight = -16;
    gOpt.PrtPos = 1;  // top centre, under the centred field
    int r;
    Print(&r);
    ASSERT_EQ(r, kPrintDone);
    std::string out = MeasurePage(75,
                                  "print(max(y for y in range(h) for x in range(w) if max(px[x, y]) < 100), "
                                  "min(y for x, y in red))");
    int lastDark, pictureTop;  // no dark pixel fails the measure
    ASSERT_EQ(sscanf(out.c_str(), "%d %d", &lastDark, &pictureTop), 2) << out;
    // Two lines' room above the picture; Wine's DrawText stops once a line
    // leaves the rectangle, so a spill shows in the second line.
    EXPECT_LT(lastDark, (kOff * 75 / 300 + pictureTop) / 2) << "one line only: " << out;
}

TEST_F(PrintTest, MarginsLeavingNoRoomAreAnErrorNotAnEmptyPage) {
    gOpt.PrtMrgLft = 12;
    gOpt.PrtMrgRgt = 12;
    int r = 0;
    std::string text = WithMessageBox([&] { r = PrintImage(nullptr); }, IDOK);
    EXPECT_EQ(r, kPrintFailed);
    EXPECT_NE(text.find("The margins leave no room"), std::string::npos) << text;

    // Room for the margins but not for the header and footer lines: the
    // refused page takes no %N number; the next printed page gets it.
    gOpt.PrtMrgLft = gOpt.PrtMrgRgt = 0;
    gOpt.PrtMrgTop = gOpt.PrtMrgBtm = 13.9f;  // about 17 printer pixels left
    gOpt.Header = gOpt.Footer = 1;
    StrCopy(gOpt.CHead, countof(gOpt.CHead), "%N");
    StrCopy(gOpt.CFoot, countof(gOpt.CFoot), "%N");
    gOpt.NextN = 7;
    text = WithMessageBox([&] { r = PrintImage(nullptr); }, IDOK);
    EXPECT_EQ(r, kPrintFailed);
    EXPECT_NE(text.find("The margins leave no room"), std::string::npos) << text;
    EXPECT_EQ(gOpt.NextN, 7) << "a page refused for lack of room uses no number";
    gOpt.PrtMrgTop = gOpt.PrtMrgBtm = 0;
    std::string ps = Print(&r);
    ASSERT_EQ(r, kPrintDone);
    EXPECT_EQ(gOpt.NextN, 9);
}

// The executable's import of EndDoc, so that a case can stand in a driver
// that fails without an error code (GDI does not promise one).
#ifdef _WIN64
extern int(WINAPI* gEndDocImport)(HDC) __asm__("__imp_EndDoc");
#else
extern int(WINAPI* gEndDocImport)(HDC) __asm__("__imp__EndDoc@4");
#endif

namespace {

int(WINAPI* gRealEndDoc)(HDC);
int WINAPI EndDocWithoutErrorCode(HDC dc) {
    int r = gRealEndDoc(dc);
    SetLastError(0);
    return r;
}

}  // namespace

// A job the spooler cannot deliver (its port's file cannot be written) is a
// printer error: Print neither hides the dialog nor clears the edited flag.
// (A cancel takes that road silently; Wine's print-to-file prompt has none.)
TEST_F(PrintTest, AJobThatCannotBeDeliveredIsNotAPrint) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\Printing\\Spooler", &key), ERROR_SUCCESS);
    const char unwritable[] = "/sys/vellumor_spool.ps";
    RegSetValueExA(key, "LPT1:", 0, REG_SZ, (const BYTE*)unwritable, sizeof unwritable);
    gOpt.AutoHide = 1;
    static int requests;
    SetActionHost(nullptr, [](int) { requests++; });
    auto printEdited = [] {
        gEdited = true;
        requests = 0;
        return WithMessageBox([&] { OnActionButton(IDC_PRINT); }, IDOK);
    };
    std::string text = printEdited();
    EXPECT_EQ(text.substr(0, 26), "Printer error (error code ") << text;
    EXPECT_TRUE(gEdited) << "the edited image was not printed";
    EXPECT_EQ(requests, 0) << "the dialog stays";

    // The same failure without an error code: still an error, in general words.
    DWORD access;
    ASSERT_TRUE(VirtualProtect(&gEndDocImport, sizeof gEndDocImport, PAGE_READWRITE, &access));
    gRealEndDoc = gEndDocImport;
    gEndDocImport = EndDocWithoutErrorCode;
    text = printEdited();
    gEndDocImport = gRealEndDoc;
    VirtualProtect(&gEndDocImport, sizeof gEndDocImport, access, &access);
    SetActionHost(nullptr, nullptr);
    std::string spool = UnixPathOf(gSpool);
    RegSetValueExA(key, "LPT1:", 0, REG_SZ, (const BYTE*)spool.c_str(), (DWORD)spool.size() + 1);
    RegCloseKey(key);
    EXPECT_EQ(text, "Printer error!\nPlease reset your printer and try again.");
    EXPECT_TRUE(gEdited) << "the edited image was not printed";
    EXPECT_EQ(requests, 0) << "the dialog stays";
}

TEST_F(PrintSetupTest, WithoutAPrinterTheMessageSaysSoAndThePrintFails) {
    int r = 0;
    std::string text = WithMessageBox([&] { r = PrintImage(nullptr); }, IDOK);
    EXPECT_EQ(text, "No printer specified!\nPlease check the print options.");
    EXPECT_EQ(r, kPrintFailed) << "a failure, so that the caller keeps the image marked as not used";
    gImage.Destroy();
    EXPECT_EQ(PrintImage(nullptr), kPrintNoImage);
}

namespace {

// A modal dialog of this process with that caption, waited for up to ms.
HWND WaitForDialog(const char* caption, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        HWND w = FindWindowA("#32770", caption);
        if (w && IsWindowVisible(w))
            return w;
        Sleep(20);
    }
    return nullptr;
}

std::string ItemText(HWND dlg, int id) {
    char buf[300] = "";
    GetDlgItemTextA(dlg, id, buf, sizeof buf);
    return buf;
}

void PumpMs(int ms) {
    DWORD start = GetTickCount();
    do {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_HOTKEY)
                continue;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        Sleep(5);
    } while (GetTickCount() - start < (DWORD)ms);
}

// The Print tab; only the printer list needs the test printer, installed
// before the tab's worker lists the printers.
class PrintPageTest : public PrintSetupTest {
  protected:
    static void SetUpTestSuite() {
        std::string why;
        TestPrinterReady(&why);
    }
    void SetUp() override {
        PrintSetupTest::SetUp();
        INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFFFF};
        InitCommonControlsEx(&icc);
        FreePrinterList();
        dlg_ = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
        ASSERT_NE(dlg_, nullptr);
        for (HWND w = GetWindow(dlg_, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            if (GetDlgItem(w, IDC_PRINTER))
                page_ = w;
        ASSERT_NE(page_, nullptr);
        combo_ = GetDlgItem(page_, IDC_PRINTER);
    }
    void TearDown() override {
        if (gMainDialog)
            DestroyWindow(gMainDialog);
        PumpMs(10);
        PrintSetupTest::TearDown();
    }
    bool WaitForPrinters() {
        for (int i = 0; i < 200 && SendMessageA(combo_, CB_GETCOUNT, 0, 0) <= 0; i++)
            PumpMs(20);
        return SendMessageA(combo_, CB_GETCOUNT, 0, 0) > 0;
    }
    std::string ComboText() {
        LRESULT item = SendMessageA(combo_, CB_GETCURSEL, 0, 0);
        char buf[300] = "";
        if (item != CB_ERR)
            SendMessageA(combo_, CB_GETLBTEXT, (WPARAM)item, (LPARAM)buf);
        return buf;
    }
    void Notify(int id, int code) {
        SendMessageA(page_, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(page_, id));
    }
    HWND dlg_ = nullptr, page_ = nullptr, combo_ = nullptr;
};

}  // namespace

TEST_F(PrintPageTest, PrinterListSelectsTheStoredPrinterAndOnlyAChoiceChangesIt) {
    std::string why;
    ASSERT_TRUE(TestPrinterReady(&why)) << "test printer: " << why;
    ASSERT_TRUE(WaitForPrinters()) << "the worker's list reached the combo";
    EXPECT_EQ(ComboText(), kPrinter);
    EXPECT_EQ(std::string(PrinterName(SelectedPrinter())), kPrinter);

    // Focus and other notifications are no choice: they must not overwrite
    // the stored name (of a printer that may only be offline).
    StrCopy(gOpt.PrtPrinterName, countof(gOpt.PrtPrinterName), "Offline Printer");
    Notify(IDC_PRINTER, CBN_SETFOCUS);
    Notify(IDC_PRINTER, CBN_KILLFOCUS);
    Notify(IDC_PRINTER, CBN_DROPDOWN);
    EXPECT_STREQ(gOpt.PrtPrinterName, "Offline Printer");
    SendMessageA(combo_, CB_SETCURSEL, 0, 0);
    Notify(IDC_PRINTER, CBN_SELCHANGE);
    EXPECT_STREQ(gOpt.PrtPrinterName, kPrinter);
    EXPECT_EQ(std::string(PrinterName(SelectedPrinter())), kPrinter);
}

TEST_F(PrintPageTest, ZoomSizePositionAndOrientationLoadAndStore) {
    gOpt.PrtSize = 2;
    gOpt.PrtZoom = 150;
    gOpt.PrtPos = 4;
    gOpt.PrtOrientation = DMORIENT_LANDSCAPE;
    gOpt.PrtNoClip = 0;
    ASSERT_TRUE(ShowMainDialog(4));
    EXPECT_EQ(ItemText(dlg_, IDC_NEW), "&Print");
    EXPECT_EQ(ItemText(page_, IDC_ZOOM), "150");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page_, IDC_ZOOM)));
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_SIZE_ZOOM), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_POS_FIRST + 4), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_LANDSCAPE), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page_, IDC_NO_CLIP), BST_UNCHECKED);

    SetDlgItemTextA(page_, IDC_ZOOM, "0");
    EXPECT_EQ(gOpt.PrtZoom, 1);
    EXPECT_EQ(ItemText(page_, IDC_ZOOM), "1");
    SetDlgItemTextA(page_, IDC_ZOOM, "5000");
    EXPECT_EQ(gOpt.PrtZoom, 1000);
    EXPECT_EQ(ItemText(page_, IDC_ZOOM), "1000");
    SetDlgItemTextA(page_, IDC_ZOOM, "275");
    EXPECT_EQ(gOpt.PrtZoom, 275);
    SetDlgItemTextA(page_, IDC_ZOOM, "");
    EXPECT_EQ(gOpt.PrtZoom, 275) << "an emptied field keeps the value while the user types";

    SendDlgItemMessageA(page_, IDC_SIZE_FIT, BM_CLICK, 0, 0);
    EXPECT_EQ(gOpt.PrtSize, 1);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page_, IDC_ZOOM)));
    SendDlgItemMessageA(page_, IDC_ORIENT_AUTO, BM_CLICK, 0, 0);
    EXPECT_EQ(gOpt.PrtOrientation, 0);
    SendDlgItemMessageA(page_, IDC_PORTRAIT, BM_CLICK, 0, 0);
    EXPECT_EQ(gOpt.PrtOrientation, DMORIENT_PORTRAIT);
    SendDlgItemMessageA(page_, IDC_POS_LAST, BM_CLICK, 0, 0);
    SendDlgItemMessageA(page_, IDC_NO_CLIP, BM_CLICK, 0, 0);
    SendMessageA(page_, kMsgPageStore, 0, 0);
    EXPECT_EQ(gOpt.PrtPos, 8);
    EXPECT_EQ(gOpt.PrtNoClip, 1);
}

TEST_F(PrintPageTest, MarginsDialogShowsUnitsAndRefusesAnEmptyField) {
    gOpt.Units = 1;  // inches
    gOpt.PrtMrgLft = 2.54f;
    gOpt.PrtMrgTop = 1.27f;
    gOpt.PrtMrgRgt = 0;
    gOpt.PrtMrgBtm = 5.08f;
    std::string unit, left, top;
    bool stayedOpen = false;
    std::thread driver([&] {
        HWND d = WaitForDialog("Page Margins", 5000);
        if (!d)
            return;
        unit = ItemText(d, IDC_MARGIN_TOP_UNIT);
        left = ItemText(d, IDC_MARGIN_LEFT);
        top = ItemText(d, IDC_MARGIN_TOP);
        SetDlgItemTextA(d, IDC_MARGIN_RIGHT, "");
        SendMessageA(d, WM_COMMAND, IDOK, 0);
        stayedOpen = IsWindow(d) && IsWindowVisible(d);
        SetDlgItemTextA(d, IDC_MARGIN_RIGHT, "1");
        SetDlgItemTextA(d, IDC_MARGIN_LEFT, "0,5");
        PostMessageA(d, WM_COMMAND, IDOK, 0);
    });
    INT_PTR r = gApp.RunModalDialog(page_, IDD_MARGINS, MarginsDlgProc, 0);
    driver.join();
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(unit, "inch");
    EXPECT_EQ(left.substr(0, 1), "1");
    EXPECT_TRUE(top == "0.5" || top == "0,5") << top;
    EXPECT_TRUE(stayedOpen) << "an empty field keeps the dialog open";
    EXPECT_NEAR(gOpt.PrtMrgRgt, 2.54, 1e-4);
    EXPECT_NEAR(gOpt.PrtMrgLft, 1.27, 1e-4);
    EXPECT_NEAR(gOpt.PrtMrgTop, 1.27, 1e-4);
    EXPECT_NEAR(gOpt.PrtMrgBtm, 5.08, 1e-4);
}

TEST_F(PrintPageTest, HeaderFooterDialogStoresTextsAndRefusesABadNumber) {
    gOpt.Header = 0;
    gOpt.Footer = 1;
    StrCopy(gOpt.CFoot, countof(gOpt.CFoot), "%D");
    gOpt.NextN = 12;
    bool headerEditsOff = false, refused = false;
    std::string next;
    std::thread driver([&] {
        HWND d = WaitForDialog("Page Header & Footer", 5000);
        if (!d)
            return;
        headerEditsOff = !IsWindowEnabled(GetDlgItem(d, IDC_HEAD_LEFT));
        next = ItemText(d, IDC_NEXT_N);
        SendMessageA(GetDlgItem(d, IDC_HEADER_ON), BM_CLICK, 0, 0);
        SetDlgItemTextA(d, IDC_HEAD_RIGHT, "Page %N3");
        SetDlgItemTextA(d, IDC_NEXT_N, "seven");
        SendMessageA(d, WM_COMMAND, IDOK, 0);
        refused = IsWindow(d) && IsWindowVisible(d);
        SetDlgItemTextA(d, IDC_NEXT_N, "-3");
        SetDlgItemTextA(d, IDC_INIT_N, "100");
        PostMessageA(d, WM_COMMAND, IDOK, 0);
    });
    INT_PTR r = gApp.RunModalDialog(page_, IDD_HEADER_FOOTER, HeaderFooterDlgProc, 0);
    driver.join();
    EXPECT_EQ(r, IDOK);
    EXPECT_TRUE(headerEditsOff);
    EXPECT_EQ(next, "12");
    EXPECT_TRUE(refused) << "a next number that is no number keeps the dialog open";
    EXPECT_EQ(gOpt.Header, 1);
    EXPECT_EQ(gOpt.Footer, 1);
    EXPECT_STREQ(gOpt.RHead, "Page %N3");
    EXPECT_STREQ(gOpt.CFoot, "%D");
    EXPECT_EQ(gOpt.NextN, -3);
    EXPECT_STREQ(gOpt.InitN, "100");
}
