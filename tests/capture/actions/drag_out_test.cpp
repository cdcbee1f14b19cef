// Dragging the image out: the OLE objects' answers (formats, enumerator,
// drop source), and a real drag from the Save button, driven by SendInput,
// onto a drop target of this process and onto one in another process that
// reads the file only after the drag ended: the file stays after a copy
// drop, Escape cancels and deletes it, and start-up deletes old ones.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/str_util.h"
#include "capture/actions/drag_out.h"
#include "capture/capture_test_util.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "image/image.h"
#include "tests/support/test_support.h"

namespace {

FORMATETC HdropFormat() {
    FORMATETC f = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return f;
}

IDataObject* MakeObject(const char* path) {
    FORMATETC f = HdropFormat();
    STGMEDIUM m = {};
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = MakeDropFiles(path);
    IDataObject* data = nullptr;
    EXPECT_EQ(CreateDataObject(&f, &m, 1, &data), S_OK);
    return data;
}

// The first path of an HDROP data object, or "".
std::string DroppedPath(IDataObject* data) {
    FORMATETC f = HdropFormat();
    STGMEDIUM m = {};
    if (FAILED(data->GetData(&f, &m)))
        return "";
    char path[MAX_PATH] = "";
    DragQueryFileA((HDROP)m.hGlobal, 0, path, sizeof path);
    ReleaseStgMedium(&m);
    return path;
}

// A drop target that records what reaches it; a drop takes a copy and
// reads the file while it exists.
class RecordingTarget : public IDropTarget {
  public:
    std::string enteredPath, droppedPath;
    int droppedW = 0, droppedH = 0;
    std::atomic<bool> dropped{false}, left{false};
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        enteredPath = DroppedPath(data);
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        left = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        droppedPath = DroppedPath(data);
        CImage img;
        if (img.Load(droppedPath.c_str(), 0)) {
            droppedW = img.Width();
            droppedH = img.Height();
        }
        *effect = DROPEFFECT_COPY;
        dropped = true;
        return S_OK;
    }
};

bool Exists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

TEST(DragObjects, DataObjectOffersOneHdropCopyAndNothingElse) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    IDataObject* data = MakeObject("C:\\shots\\Vellumor Pro (1).png");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(DroppedPath(data), "C:\\shots\\Vellumor Pro (1).png");
    EXPECT_EQ(DroppedPath(data), "C:\\shots\\Vellumor Pro (1).png") << "each GetData hands out its own copy";

    FORMATETC text = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m = {};
    EXPECT_EQ(data->GetData(&text, &m), DV_E_FORMATETC);
    EXPECT_EQ(data->QueryGetData(&text), DV_E_FORMATETC);
    FORMATETC f = HdropFormat();
    EXPECT_EQ(data->QueryGetData(&f), S_OK);
    f.tymed = TYMED_ISTREAM;
    EXPECT_EQ(data->QueryGetData(&f), DV_E_FORMATETC) << "no tymed in common";
    f = HdropFormat();
    EXPECT_EQ(data->GetDataHere(&f, &m), DV_E_FORMATETC);
    EXPECT_EQ(data->SetData(&f, &m, FALSE), E_NOTIMPL);
    FORMATETC canon = {};
    canon.ptd = (DVTARGETDEVICE*)1;
    EXPECT_EQ(data->GetCanonicalFormatEtc(&f, &canon), E_NOTIMPL);
    EXPECT_EQ(canon.ptd, nullptr);
    DWORD conn;
    EXPECT_EQ(data->DAdvise(&f, 0, nullptr, &conn), OLE_E_ADVISENOTSUPPORTED);
    EXPECT_EQ(data->DUnadvise(0), OLE_E_ADVISENOTSUPPORTED);
    void* other = (void*)1;
    EXPECT_EQ(data->QueryInterface(IID_IDropTarget, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    IEnumFORMATETC* e = nullptr;
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &e), E_NOTIMPL);
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &e), S_OK);
    FORMATETC got[2];
    ULONG fetched = 9;
    EXPECT_EQ(e->Next(0, got, &fetched), E_INVALIDARG);
    EXPECT_EQ(e->Next(2, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(got[0].cfFormat, CF_HDROP);
    EXPECT_EQ(e->Next(1, got, nullptr), S_FALSE);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(1), S_OK);
    IEnumFORMATETC* clone = nullptr;
    ASSERT_EQ(e->Clone(&clone), S_OK);
    EXPECT_EQ(clone->Next(1, got, &fetched), S_FALSE) << "the clone keeps the index";
    EXPECT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(clone->Next(1, got, &fetched), S_OK);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(5), S_FALSE) << "past the end";
    clone->Release();
    e->Release();
    EXPECT_EQ(data->Release(), 0u);

    EXPECT_EQ(CreateEnumFormatEtc(0, &f, &e), E_INVALIDARG);
    EXPECT_EQ(CreateEnumFormatEtc(1, nullptr, &e), E_INVALIDARG);
    EXPECT_EQ(CreateDataObject(&f, &m, 1, nullptr), E_INVALIDARG);

    IDropSource* source = nullptr;
    ASSERT_EQ(CreateDropSource(&source), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(source->Release(), 0u);
    OleUninitialize();
}

class DragOutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitCaptureApp();
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFFFF};
        InitCommonControlsEx(&icc);
        gImage.Create(64, 40, 24, 0);
        for (int y = 0; y < 40; y++)
            for (int x = 0; x < 64; x++)
                gImage.SetPixelColor(x, y, RGBQUAD{(BYTE)(x * 4), (BYTE)(y * 6), 200, 0});
        StrCopy(gImageName, countof(gImageName), "(Unnamed)");
        dlg_ = CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
        ASSERT_NE(dlg_, nullptr);
        PumpFor(100);
        HWND save = GetDlgItem(ActionsPage(), IDC_SAVE);
        ASSERT_NE(save, nullptr);
        GetWindowRect(save, &button_);
        target_ = ShowColorWindow(1000, 80, 200, 200, RGB(0, 128, 0), true);
        ASSERT_EQ(RegisterDragDrop(target_, &recorder_), S_OK);
    }
    void TearDown() override {
        if (target_) {
            RevokeDragDrop(target_);
            DestroyWindow(target_);
        }
        if (gMainDialog)
            DestroyWindow(gMainDialog);
        PumpFor(20);
        OleUninitialize();
    }
    // Presses the Save button, leaves it and goes to the target; then
    // either releases there or presses Escape.
    void Drag(bool escape) {
        std::atomic<bool> done{false};
        int x = (button_.left + button_.right) / 2, y = (button_.top + button_.bottom) / 2;
        std::thread driver([&] {
            MouseTo(x, y);
            MouseButton(true, true);
            MouseTo(x, button_.bottom + 15);
            MouseTo(x + 40, button_.bottom + 30);
            for (int i = 1; i <= 5; i++)
                MouseTo(x + (1100 - x) * i / 5, y + (180 - y) * i / 5);
            MouseTo(1102, 182);
            Sleep(200);
            if (escape) {
                Key(VK_ESCAPE);
                Sleep(200);
            }
            MouseButton(true, false);
            Sleep(300);
            done = true;
        });
        PumpUntil([&] { return done.load(); }, 20000);
        driver.join();
        PumpFor(100);
    }
    HWND dlg_ = nullptr, target_ = nullptr;
    RECT button_ = {};
    RecordingTarget recorder_;
};

namespace {

// The report lines of drop_reader, or "" while it has written none.
std::string ReaderReport(const std::string& report) {
    std::string text;
    ReadFileBytes(report, &text);
    return text;
}

// The text after "<key> " on its line in the report, or "".
std::string ReportValue(const std::string& text, const std::string& key) {
    size_t at = text.find(key + " ");
    if (at == std::string::npos)
        return "";
    size_t end = text.find('\n', at);
    return text.substr(at + key.size() + 1, end == std::string::npos ? std::string::npos : end - at - key.size() - 1);
}

}  // namespace

TEST_F(DragOutTest, ACopyDropElsewhereCanReadTheFileAfterTheDragEnded) {
    // The target is another process that keeps the name and reads the file
    // only once the drag is over, as an upload or chat client does.
    RevokeDragDrop(target_);
    DestroyWindow(target_);
    target_ = nullptr;
    std::string dir = MakeTestDir("drop_reader");
    std::string report = WinPath(dir) + "\\report.txt";
    const char* eventName = "VpDragOutTestDone";
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, eventName);
    ASSERT_NE(done, nullptr);
    std::string cmd =
        "\"" + WinPath(PathOfUnix(VP_DROP_READER_EXE)) + "\" \"" + report + "\" " + eventName + " 1000 80 200 200";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_TRUE(PumpUntil([&] { return ReaderReport(report).find("ready") != std::string::npos; }, 20000))
        << "the reader did not start";
    Drag(false);
    std::string dropped = ReportValue(ReaderReport(report), "dropped");
    ASSERT_FALSE(dropped.empty()) << "no drop reached the other process: " << ReaderReport(report);
    EXPECT_NE(dropped.find("Vellumor Pro ("), std::string::npos) << dropped;
    std::string ext = dropped.substr(dropped.size() - 4);
    EXPECT_TRUE(ext == ".png" || ext == ".jpg") << dropped;
    EXPECT_TRUE(Exists(dropped)) << "the copied file stays after the drag";
    // Now the target reads it.
    SetEvent(done);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(done);
    std::string text = ReaderReport(report);
    EXPECT_EQ(text.find("missing"), std::string::npos) << "the file was gone when the target read it: " << text;
    EXPECT_GT(atoi(ReportValue(text, "read").c_str()), 0) << text;
    CImage copy;
    ASSERT_TRUE(copy.Load((report + ".copy").c_str(), 0)) << "the target's copy reads as an image";
    EXPECT_EQ(copy.Width(), 64);
    EXPECT_EQ(copy.Height(), 40);
    EXPECT_STREQ(gImageName, "(Unnamed)") << "the temporary file is not the image's name";
    EXPECT_EQ(gImage.GetBpp(), 24);
    DeleteFileA(dropped.c_str());
}

TEST_F(DragOutTest, AnInProcessCopyDropKeepsTheFile) {
    Drag(false);
    ASSERT_TRUE(recorder_.dropped) << "no drop reached the target";
    EXPECT_EQ(recorder_.droppedW, 64) << "the dropped file reads as the image";
    EXPECT_EQ(recorder_.droppedH, 40);
    EXPECT_TRUE(Exists(recorder_.droppedPath)) << "a copy drop leaves the file for the target";
    DeleteFileA(recorder_.droppedPath.c_str());
}

TEST(DragOutCleanUp, StartUpDeletesOnlyOurDragFilesOlderThanADay) {
    std::string dir = WinPath(MakeTestDir("drag_cleanup"));
    char saved[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", saved, sizeof saved);
    SetEnvironmentVariableA("TMP", dir.c_str());
    struct File {
        const char* name;
        int hoursOld;
        bool gone;
    };
    const File files[] = {
        {"Vellumor Pro (1).png", 49, true},       {"Vellumor Pro (2).jpg", 25, true},
        {"Vellumor Pro (12).PNG", 30, true},      {"Vellumor Pro (3).opt", 48, true},
        {"Vellumor Pro (4).png", 23, false},      {"Vellumor Pro (5).jpg", 0, false},
        {"Vellumor Pro (x).png", 72, false},      {"Vellumor Pro ().png", 72, false},
        {"Vellumor Pro (6).txt", 72, false},      {"Vellumor Pro (7).png.keep", 72, false},
        {"Vellumor Pro 8.png", 72, false},        {"shot.png", 72, false},
        {"Vellumor Pro (9) copy.png", 72, false},
    };
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    for (const File& f : files) {
        std::string path = dir + "\\" + f.name;
        ASSERT_TRUE(WriteFileBytes(path, "x"));
        ULONGLONG t =
            ((ULONGLONG)now.dwHighDateTime << 32 | now.dwLowDateTime) - (ULONGLONG)f.hoursOld * 3600 * 10000000;
        FILETIME when = {(DWORD)t, (DWORD)(t >> 32)};
        HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(SetFileTime(h, nullptr, &when, &when));
        CloseHandle(h);
    }
    CreateDirectoryA((dir + "\\Vellumor Pro (10).png").c_str(), nullptr);  // a folder is never ours
    int removed = RemoveOldDragFiles();
    SetEnvironmentVariableA("TMP", saved[0] ? saved : nullptr);
    EXPECT_EQ(removed, 4);
    for (const File& f : files)
        EXPECT_EQ(Exists(dir + "\\" + f.name), !f.gone) << f.name;
    EXPECT_TRUE(Exists(dir + "\\Vellumor Pro (10).png"));
}

TEST_F(DragOutTest, EscapeCancelsAndRemovesTheTemporaryFile) {
    Drag(true);
    EXPECT_FALSE(recorder_.dropped);
    ASSERT_FALSE(recorder_.enteredPath.empty()) << "the drag reached the target before Escape";
    EXPECT_FALSE(Exists(recorder_.enteredPath));
}

// Copy drops of an earlier run left numbered files that their targets may
// still read: a cancelled drag and a copy drop of this run touch none.
TEST_F(DragOutTest, FilesOfAnEarlierRunAreNeitherReplacedNorDeleted) {
    std::string dir = MakeTestDir("drag_kept");
    auto planted = [&](int i) {
        return PathJoin(dir, "Vellumor Pro (" + std::to_string(i / 2 + 1) + (i % 2 ? ").png" : ").jpg"));
    };
    for (int i = 0; i < 60; i++)  // past the numbers earlier cases of this run took
        ASSERT_TRUE(WriteFileBytes(planted(i), "kept"));
    char tmp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
    SetEnvironmentVariableA("TMP", WinPath(dir).c_str());
    Drag(true);
    std::string cancelled = recorder_.enteredPath;
    Drag(false);
    SetEnvironmentVariableA("TMP", tmp[0] ? tmp : nullptr);
    for (int i = 0; i < 60; i++) {
        std::string kept;
        EXPECT_TRUE(ReadFileBytes(planted(i), &kept) && kept == "kept") << planted(i);
    }
    EXPECT_FALSE(cancelled.empty() || Exists(cancelled)) << "the cancelled drag's own file is gone";
    EXPECT_TRUE(recorder_.dropped && recorder_.droppedW == 64) << "this run's picture was dropped";
    DeleteFileA(recorder_.droppedPath.c_str());
}

TEST_F(DragOutTest, NoImageNoDrag) {
    gImage.Destroy();
    EXPECT_EQ(DragImageOut(gMainDialog), 0);
    Drag(false);
    EXPECT_FALSE(recorder_.dropped);
    EXPECT_TRUE(recorder_.enteredPath.empty());
}

TEST_F(DragOutTest, AFailedTemporarySaveSaysSoAndStartsNoDrag) {
    char tmp[MAX_PATH] = "";
    GetEnvironmentVariableA("TMP", tmp, sizeof tmp);
    std::string dir = MakeTestDir("drag_tmp");
    std::string gone = WinPath(dir) + "\\missing";
    SetEnvironmentVariableA("TMP", gone.c_str());
    DestroyWindow(dlg_);  // the message box is the only dialog shown
    int r = -1;
    std::string text = WithMessageBox([&] { r = DragImageOut(gMainDialog); }, IDOK);
    SetEnvironmentVariableA("TMP", tmp[0] ? tmp : nullptr);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(text.substr(0, 28), "The image could not be saved") << text;
    EXPECT_STREQ(gImageName, "(Unnamed)");
}
