// Send To: the target list from a populated Send-To folder, the file name
// and temporary folder, the external editor started with the quoted path
// (a temporary folder with a blank in it), the word processor against a
// DDE server of the test, no server, the target menu, a shell Send-To item
// (Wine's drop targets accept and do nothing: the handover is verified only
// up to the drop, and that the user's file stays), and the Send page.
#include <windows.h>
// The headers below need windows.h first.
#include <commctrl.h>
#include <ddeml.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/str_util.h"
#include "capture/actions/drag_out.h"
#include "capture/actions/send_to.h"
#include "capture/capture_test_util.h"
#include "capture/main_dialog/main_dialog.h"
#include "capture/main_dialog/main_dialog_pages.h"
#include "capture/resource.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "tests/support/test_support.h"

namespace {

const int kShellItems = 40;

std::string SendToFolder() {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_SENDTO | CSIDL_FLAG_CREATE, nullptr, 0, path);
    return path;
}

std::string TargetName(int i) {
    char name[32];
    snprintf(name, sizeof name, "%s %02d", i % 2 ? "target" : "Target", i);
    return name;
}

// The test's word processor: a DDE server "WINWORD" with topic "System"
// on its own thread, recording the execute strings.
class WordServer {
  public:
    explicit WordServer(const char* topics) : topics_(topics) {
        gServer = this;
        thread_ = std::thread([this] { Run(); });
        while (!ready_)
            Sleep(10);
    }
    ~WordServer() {
        stop_ = true;
        PostThreadMessageA(threadId_, WM_NULL, 0, 0);
        thread_.join();
        gServer = nullptr;
    }
    std::vector<std::string> executes;
    // Whether the file that an insert names existed when it came.
    std::vector<bool> existed;
    bool registered = false;
    // How long the server takes over each execute (a busy word processor).
    int executeDelayMs = 0;

  private:
    static HDDEDATA CALLBACK Callback(UINT type, UINT fmt, HCONV, HSZ topic, HSZ item, HDDEDATA data, ULONG_PTR,
                                      ULONG_PTR) {
        WordServer* s = gServer;
        char name[64] = "";
        switch (type) {
            case XTYP_CONNECT:
                DdeQueryStringA(s->instance_, topic, name, sizeof name, CP_WINANSI);
                return (HDDEDATA)(UINT_PTR)(_stricmp(name, "System") == 0);
            case XTYP_REQUEST:
                DdeQueryStringA(s->instance_, item, name, sizeof name, CP_WINANSI);
                if (fmt != CF_TEXT || _stricmp(name, "Topics") != 0)
                    return nullptr;
                return DdeCreateDataHandle(s->instance_, (BYTE*)s->topics_, (DWORD)strlen(s->topics_) + 1, 0, item,
                                           CF_TEXT, 0);
            case XTYP_EXECUTE: {
                char text[1100] = "";
                DdeGetData(data, (BYTE*)text, sizeof text - 1, 0);
                s->executes.push_back(text);
                std::string command = text;
                size_t open = command.find("(\""), close = command.rfind("\")");
                if (open != std::string::npos && close != std::string::npos && close > open + 2) {
                    std::string path = command.substr(open + 2, close - open - 2);
                    s->existed.push_back(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES);
                }
                if (s->executeDelayMs)
                    Sleep((DWORD)s->executeDelayMs);
                return (HDDEDATA)DDE_FACK;
            }
        }
        return nullptr;
    }
    void Run() {
        threadId_ = GetCurrentThreadId();
        MSG m;
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
        if (DdeInitializeA(&instance_, Callback, APPCLASS_STANDARD, 0) == DMLERR_NO_ERROR) {
            HSZ service = DdeCreateStringHandleA(instance_, "WINWORD", CP_WINANSI);
            registered = DdeNameService(instance_, service, nullptr, DNS_REGISTER) != nullptr;
            ready_ = true;
            while (!stop_ && GetMessageA(&m, nullptr, 0, 0) > 0)
                DispatchMessageA(&m);
            DdeNameService(instance_, service, nullptr, DNS_UNREGISTER);
            DdeFreeStringHandle(instance_, service);
            DdeUninitialize(instance_);
        }
        ready_ = true;
    }
    static WordServer* gServer;
    const char* topics_;
    DWORD instance_ = 0;
    DWORD threadId_ = 0;
    std::atomic<bool> ready_{false}, stop_{false};
    std::thread thread_;
};
WordServer* WordServer::gServer = nullptr;

class SendToTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string folder = SendToFolder();
        for (int i = 1; i <= kShellItems; i++)
            CreateDirectoryA((folder + "\\" + TargetName(i)).c_str(), nullptr);
    }
    static void TearDownTestSuite() {
        std::string folder = SendToFolder();
        for (int i = 1; i <= kShellItems; i++)
            RemoveDirectoryA((folder + "\\" + TargetName(i)).c_str());
    }
    void SetUp() override {
        InitCaptureApp();
        INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFFFF};
        InitCommonControlsEx(&icc);
        gImage.Create(50, 30, 24, 0);
        StrCopy(gImageName, countof(gImageName), "(Unnamed)");
        // A temporary folder with a blank in its name.
        dir_ = MakeTestDir("send_to");
        temp_ = WinPath(dir_) + "\\temp folder";
        CreateDirectoryA(temp_.c_str(), nullptr);
        GetEnvironmentVariableA("TMP", savedTmp_, sizeof savedTmp_);
        GetEnvironmentVariableA("TEMP", savedTemp_, sizeof savedTemp_);
        SetEnvironmentVariableA("TMP", temp_.c_str());
        SetEnvironmentVariableA("TEMP", temp_.c_str());
        record_ = WinPath(dir_) + "\\args.txt";
        SetEnvironmentVariableA("VP_RECORD_FILE", record_.c_str());
        BuildSendToList();
        StrCopy(gOpt.SndFilename, countof(gOpt.SndFilename), "shot");
        StrCopy(gOpt.EdtProgPath, countof(gOpt.EdtProgPath), WinPath(PathOfUnix(VP_RECORDER_EXE)).c_str());
    }
    void TearDown() override {
        if (gMainDialog)
            DestroyWindow(gMainDialog);
        PumpFor(10);
        FreeSendToList();
        SetEnvironmentVariableA("TMP", savedTmp_[0] ? savedTmp_ : nullptr);
        SetEnvironmentVariableA("TEMP", savedTemp_[0] ? savedTemp_ : nullptr);
    }
    std::string TempFile(const char* name) { return temp_ + "\\" + name; }
    int SendExpectingBox(std::string* text, int ms = 5000) {
        int r = 0;
        *text = WithMessageBox([&] { r = SendImageTo(nullptr); }, IDOK, ms);
        return r;
    }
    std::string dir_, temp_, record_;
    char savedTmp_[MAX_PATH] = "", savedTemp_[MAX_PATH] = "";
};

}  // namespace

TEST_F(SendToTest, ListsThirtyTwoShellItemsAndTheTwoFixedTargetsSorted) {
    ASSERT_EQ(gSendToCount, 34);
    int shell = 0;
    for (int i = 0; i < gSendToCount; i++) {
        if (i > 0) {
            EXPECT_LE(_stricmp(gSendTo[i - 1].name, gSendTo[i].name), 0) << "sorted without case at " << i;
        }
        if (gSendTo[i].kind == kSendShellItem) {
            shell++;
            EXPECT_NE(gSendTo[i].item, nullptr);
            EXPECT_EQ(std::string(gSendTo[i].name).substr(1, 6), "arget ");
        }
    }
    EXPECT_EQ(shell, 32);
    const SendToTarget* editor = FindSendTarget("image editor");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->kind, kSendEditor);
    EXPECT_EQ(editor->icon, 8);
    ASSERT_NE(FindSendTarget("MS Word"), nullptr);
    EXPECT_EQ(FindSendTarget("MS Word")->kind, kSendWord);
    EXPECT_EQ(FindSendTarget("MS Word")->icon, 9);
}

TEST_F(SendToTest, EditorGetsTheQuotedPathOfTheFileInTheTemporaryFolder) {
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), "Image Editor");
    ASSERT_EQ(SendImageTo(nullptr), 0);
    EXPECT_STREQ(gOpt.SndFilename, "shot.png") << "the option keeps the name with its extension";
    EXPECT_TRUE(FileExists(TempFile("shot.png"))) << "the file stays for the editor";
    std::string line;
    for (int i = 0; i < 100 && !ReadFileBytes(record_, &line); i++)
        Sleep(50);
    EXPECT_NE(line.find("\"" + TempFile("shot.png") + "\""), std::string::npos) << line;

    // A name with a drive is written where it says.
    std::string there = WinPath(dir_) + "\\out.bmp";
    StrCopy(gOpt.SndFilename, countof(gOpt.SndFilename), there.c_str());
    ASSERT_EQ(SendImageTo(nullptr), 0);
    EXPECT_TRUE(FileExists(there));
    EXPECT_STREQ(gOpt.SndFilename, there.c_str());
}

TEST_F(SendToTest, ANameWithoutRoomForTheExtensionIsRefusedUntouched) {
    std::string name(258, 'n');  // ".png" does not fit the 260-character field
    StrCopy(gOpt.SndFilename, countof(gOpt.SndFilename), name.c_str());
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), "Image Editor");
    std::string text;
    EXPECT_EQ(SendExpectingBox(&text), 3);
    EXPECT_EQ(text.substr(0, 28), "The image could not be saved") << text;
    EXPECT_EQ(std::string(gOpt.SndFilename), name);
    EXPECT_STREQ(gOpt.SndTarget, "Image Editor") << "the next field is untouched";
}

TEST_F(SendToTest, EditorMissingOrNotStartable) {
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), "Image Editor");
    gOpt.EdtProgPath[0] = 0;
    std::string text;
    EXPECT_EQ(SendExpectingBox(&text), 3);
    EXPECT_EQ(text, "No image editing program specified!\nPlease check the edit options.");
    StrCopy(gOpt.EdtProgPath, countof(gOpt.EdtProgPath), "C:\\no\\such\\editor.exe");
    EXPECT_EQ(SendExpectingBox(&text), 3);
    EXPECT_EQ(text.substr(0, 36), "Can't execute:\nC:\\no\\such\\editor.exe") << text;
    EXPECT_NE(text.find("\nPlease check the edit options!"), std::string::npos) << text;
}

TEST_F(SendToTest, WordProcessorGetsANewDocumentAndThePictureInAFileOfItsOwn) {
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), "MS Word");
    std::string first, second;
    {
        WordServer word("System");  // no document open: fewer than two tabs
        ASSERT_TRUE(word.registered);
        ASSERT_EQ(SendImageTo(nullptr), 0);
        ASSERT_EQ(word.executes.size(), 2u);
        EXPECT_EQ(word.executes[0], "[FileNew]");
        first = word.executes[1];
        ASSERT_EQ(word.existed.size(), 1u);
        EXPECT_TRUE(word.existed[0]) << "the named file is there while the conversation runs";
    }
    std::string prefix = "[InsertPicture (\"" + TempFile("shot-");
    EXPECT_EQ(first.substr(0, prefix.size()), prefix) << first;
    EXPECT_EQ(first.substr(first.size() - 7), ".png\")]") << first;
    EXPECT_FALSE(FileExists(TempFile("shot.png"))) << "the written file became the send's own";
    EXPECT_FALSE(FileExists(first.substr(17, first.size() - 20))) << "deleted once the word processor has it";
    {
        WordServer word("System\tDoc1\tDoc2");
        ASSERT_EQ(SendImageTo(nullptr), 0);
        ASSERT_EQ(word.executes.size(), 1u);
        second = word.executes[0];
        EXPECT_EQ(second.substr(0, prefix.size()), prefix) << second;
        ASSERT_EQ(word.existed.size(), 1u);
        EXPECT_TRUE(word.existed[0]);
    }
    EXPECT_NE(first, second) << "each send names its own file";
    EXPECT_FALSE(FileExists(second.substr(17, second.size() - 20)));
}

namespace {

int gNestedResult = -100;

void CALLBACK SendAgain(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    gNestedResult = SendImageTo(nullptr);
}

}  // namespace

TEST_F(SendToTest, WhileTheWordProcessorIsBusyTheSendActionsAreRefused) {
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), "MS Word");
    // The waits pump messages through the program's instance window.
    HWND instance = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(instance, nullptr);
    gApp.instanceWindow = instance;
    WordServer word("System\tDoc1\tDoc2");
    word.executeDelayMs = 1500;
    // A second Send To arrives while the first one talks to the server.
    gNestedResult = -100;
    SetTimer(nullptr, 0, 300, SendAgain);
    int first = -1;
    bool runningDuring = false;
    std::string text = WithMessageBox(
        [&] {
            first = SendImageTo(nullptr);
            runningDuring = gNestedResult == 3;
        },
        IDOK);
    gApp.instanceWindow = nullptr;
    DestroyWindow(instance);
    EXPECT_EQ(first, 0) << "the first send ends well";
    EXPECT_EQ(gNestedResult, 3) << "the second send is refused";
    EXPECT_EQ(text, "The image is still being sent to MS Word.\nPlease try again when that is done.");
    ASSERT_EQ(word.executes.size(), 1u) << "only the first send reached the word processor";
    ASSERT_EQ(word.existed.size(), 1u);
    EXPECT_TRUE(word.existed[0]) << "the second send did not touch the first one's file";
    EXPECT_TRUE(runningDuring);
    EXPECT_FALSE(WordSendRunning()) << "the refusal ends with the send";
    word.executeDelayMs = 0;
    EXPECT_EQ(SendImageTo(nullptr), 0) << "afterwards sends run again";
    EXPECT_EQ(word.executes.size(), 2u);
}

static void CALLBACK QuitSoon(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostQuitMessage(0);
}

// A top-level window that stops answering holds up every DDE connect: a quit
// ends the send at once, a time-out fails it after a few seconds, the
// program's end deletes both files, and once the window answers the next
// send works (the sends given up insert nothing).
TEST_F(SendToTest, AHungWindowDelaysTheWordProcessorOnlyAFewSeconds) {
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), "MS Word");
    HWND instance = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    gApp.instanceWindow = instance;  // the waits pump through it
    WordServer word("System\tDoc1\tDoc2");
    std::atomic<int> stage{0};  // 1 hung (20 s at most, for a send that waits), 2 answering, 3 gone
    std::thread other([&] {
        HWND w = CreateWindowExA(0, "STATIC", "hung", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        DWORD start = GetTickCount();
        for (stage = 1; stage < 3; Sleep(5))
            for (MSG m; (stage == 2 || GetTickCount() - start > 20000) && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);)
                DispatchMessageA(&m);
        DestroyWindow(w);
    });
    while (stage == 0)
        Sleep(5);
    SetTimer(nullptr, 0, 300, QuitSoon);
    DWORD start = GetTickCount();
    EXPECT_EQ(SendImageTo(nullptr), -1) << "a quit ends the send without a message";
    EXPECT_LT(GetTickCount() - start, 3000u);
    MSG m;
    EXPECT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "and goes on to the loop";
    std::string text;
    start = GetTickCount();
    EXPECT_EQ(SendExpectingBox(&text, 15000), 3);
    EXPECT_LT(GetTickCount() - start, 9000u) << "the send waited for the hung window";
    EXPECT_EQ(text.substr(0, 35), "Unable to communicate with MS Word.") << text;
    // Their threads still wait for the window: the program's end deletes
    // the files they would have deleted.
    auto leftFiles = [&] {
        int n = 0;
        WIN32_FIND_DATAA found;
        HANDLE find = FindFirstFileA(TempFile("shot-*.png").c_str(), &found);
        for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
            n++;
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        return n;
    };
    EXPECT_EQ(leftFiles(), 2) << "the two sends given up";
    FreeSendToList();
    EXPECT_EQ(leftFiles(), 0) << "deleted at the end";
    BuildSendToList();
    stage = 2;
    EXPECT_EQ(SendImageTo(nullptr), 0) << "the next send works";
    stage = 3;
    other.join();
    gApp.instanceWindow = nullptr;
    DestroyWindow(instance);
    EXPECT_EQ(word.executes.size(), 1u);
}

TEST_F(SendToTest, NoWordProcessorSaysSoAndDeletesTheFile) {
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), "MS Word");
    std::string text;
    EXPECT_EQ(SendExpectingBox(&text), 3);
    EXPECT_EQ(text.substr(0, 35), "Unable to communicate with MS Word.") << text;
    EXPECT_FALSE(FileExists(TempFile("shot.png")));
}

TEST_F(SendToTest, ShellItemGetsACopyDropAndAGoneTargetFailsSilently) {
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), TargetName(2).c_str());
    ASSERT_NE(FindSendTarget(gOpt.SndTarget), nullptr);
    EXPECT_EQ(SendImageTo(nullptr), 0);
    EXPECT_TRUE(FileExists(TempFile("shot.png"))) << "offered as a copy: the file stays";
    EXPECT_EQ(DropOnSendToTarget(nullptr, TempFile("shot.png").c_str(), "Image Editor"), kDropNoTarget);
    EXPECT_EQ(DropOnSendToTarget(nullptr, TempFile("shot.png").c_str(), "nothing of that name"), kDropNoTarget);
    EXPECT_EQ(DropOnSendToTarget(nullptr, TempFile("no such file.png").c_str(), TargetName(2).c_str()), kDropNoData);

    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), "Removed Target");
    std::string text;
    EXPECT_EQ(SendExpectingBox(&text), 3);
    EXPECT_EQ(text, "") << "no message for a target that is gone";
    gImage.Destroy();
    EXPECT_EQ(SendImageTo(nullptr), 1);
}

namespace {

// A drop target that takes only the effects it is given.
class PickyTarget : public IDropTarget {
  public:
    explicit PickyTarget(DWORD takes) : takes_(takes) {}
    DWORD offered = 0, offeredAtDrop = 0;
    bool dropped = false, left = false;
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
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        offered = *effect;
        *effect &= takes_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect &= takes_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        left = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        offeredAtDrop = *effect;
        *effect &= takes_;
        dropped = *effect != 0;
        return dropped ? S_OK : E_FAIL;
    }

  private:
    DWORD takes_;
};

}  // namespace

TEST_F(SendToTest, ATargetTakingOnlyCopyMoveOrLinkGetsTheDrop) {
    FORMATETC f = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m = {};
    m.tymed = TYMED_HGLOBAL;
    m.hGlobal = MakeDropFiles(TempFile("shot.png").c_str());
    IDataObject* data = nullptr;
    ASSERT_EQ(CreateDataObject(&f, &m, 1, &data), S_OK);
    const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    for (DWORD one : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK}) {
        PickyTarget target(one);
        EXPECT_EQ(DropDataOnTarget(&target, data), kDropDone) << "effect " << one;
        EXPECT_EQ(target.offered, all);
        EXPECT_EQ(target.offeredAtDrop, all);
        EXPECT_TRUE(target.dropped) << "effect " << one;
        EXPECT_FALSE(target.left);
    }
    PickyTarget none(DROPEFFECT_NONE);
    EXPECT_EQ(DropDataOnTarget(&none, data), kDropNoTarget);
    EXPECT_TRUE(none.left);
    EXPECT_FALSE(none.dropped);
    data->Release();
}

namespace {

BOOL CALLBACK FindShownMenu(HWND hwnd, LPARAM found) {
    char name[16] = "";
    GetClassNameA(hwnd, name, (int)sizeof name);
    if (strcmp(name, "#32768") != 0 || !IsWindowVisible(hwnd))
        return TRUE;
    *(HWND*)found = hwnd;
    return FALSE;
}

// Waits (at most 10 s) for a popup menu on the screen and returns its
// window: keys sent before it opens would go to the dialog.
HWND WaitForMenu() {
    HWND menu = nullptr;
    for (int i = 0; i < 1000 && !menu; i++) {
        Sleep(10);
        EnumWindows(FindShownMenu, (LPARAM)&menu);
    }
    return menu;
}

// A key that comes as the menu opens may be lost: these press theirs until
// the menu shows it took it (at most 5 s).
void CloseMenu(HWND menu) {
    for (int i = 0; i < 25 && menu && IsWindowVisible(menu); i++) {
        Key(VK_ESCAPE);
        for (int t = 0; t < 20 && IsWindowVisible(menu); t++)
            Sleep(10);
    }
}
void HighlightFirstEntry(HWND menu) {
    HMENU items = menu ? (HMENU)SendMessageA(menu, MN_GETHMENU, 0, 0) : nullptr;
    for (int i = 0; i < 50 && items && !(GetMenuState(items, 0, MF_BYPOSITION) & MF_HILITE); i++) {
        bool other = false;
        for (int k = 1; k < GetMenuItemCount(items); k++)
            other = other || (GetMenuState(items, (UINT)k, MF_BYPOSITION) & MF_HILITE);
        Key(other ? VK_UP : VK_DOWN);
        Sleep(100);
    }
}

}  // namespace

TEST_F(SendToTest, TheMenuAsksForTheTarget) {
    ASSERT_NE(CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0), nullptr);
    PumpFor(100);
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), kAskForDestination);
    // Dismissed: nothing sent, the written file stays.
    std::thread escape([] { CloseMenu(WaitForMenu()); });
    EXPECT_EQ(SendImageTo(gMainDialog), -1);
    escape.join();
    EXPECT_TRUE(FileExists(TempFile("shot.png")));
    // The first entry, "Image Editor", chosen by the keyboard.
    std::thread choose([] {
        HighlightFirstEntry(WaitForMenu());
        Key(VK_RETURN);
    });
    EXPECT_EQ(SendImageTo(gMainDialog), 0);
    choose.join();
    std::string line;
    for (int i = 0; i < 100 && !ReadFileBytes(record_, &line); i++)
        Sleep(50);
    EXPECT_NE(line.find("shot.png\""), std::string::npos) << line;
}

TEST_F(SendToTest, SendPageListsTargetsAndStoresItsFields) {
    gOpt.SndTarget[0] = 0;
    gOpt.SndFilename[0] = 0;
    ASSERT_NE(CreateDialogParamA(gApp.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0), nullptr);
    PumpFor(50);
    HWND page = nullptr;
    for (HWND w = GetWindow(gMainDialog, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetDlgItem(w, IDC_SEND_TARGET))
            page = w;
    ASSERT_NE(page, nullptr);
    EXPECT_STREQ(gOpt.SndTarget, kAskForDestination);
    EXPECT_STREQ(gOpt.SndFilename, "Vellumor.png");
    HWND combo = GetDlgItem(page, IDC_SEND_TARGET);
    ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 35);
    char first[300];
    SendMessageA(combo, CB_GETLBTEXT, 0, (LPARAM)first);
    EXPECT_STREQ(first, kAskForDestination);
    StrCopy(gOpt.SndTarget, countof(gOpt.SndTarget), "MS Word");
    ASSERT_TRUE(ShowMainDialog(5));
    char text[300] = "";
    GetDlgItemTextA(gMainDialog, IDC_NEW, text, sizeof text);
    EXPECT_STREQ(text, "Send &To");
    GetWindowTextA(combo, text, sizeof text);
    EXPECT_STREQ(text, "MS Word");
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    SetDlgItemTextA(page, IDC_SEND_FILENAME, "clip.jpg");
    SetDlgItemTextA(page, IDC_EDITOR_PATH, "C:\\Tools\\paint.exe");
    SendMessageA(page, kMsgPageStore, 0, 0);
    SendMessageA(combo, CB_GETLBTEXT, 1, (LPARAM)first);
    EXPECT_STREQ(gOpt.SndTarget, first);
    EXPECT_STREQ(gOpt.SndFilename, "clip.jpg");
    EXPECT_STREQ(gOpt.EdtProgPath, "C:\\Tools\\paint.exe");
}
