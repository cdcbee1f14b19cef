// The update check end to end: the worker fetches the version address of
// the install settings from the loopback server (plain and TLS), stores
// the result, opens its own dialog for a newly published version, and the
// dialog's buttons neither cancel their own check nor freeze. A server
// whose identity is not verified, a stalled, dripping or cancelled reply
// writes nothing.
#include "update/update_check.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "update/schedule_records.h"
#include "update_test_util.h"

namespace {

HttpPeer* gPeer;

class UpdateCheckTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        gPeer = new HttpPeer;
        started_ = gPeer->Start();
    }
    static void TearDownTestSuite() {
        delete gPeer;
        gPeer = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(started_); }
    void Prepare(const char* name, const char* url) {
        SetUpProgram("Vellumor Test", MakeTestDir(name), url);
        gPeer->ClearLog();
    }
    static bool WaitIdle(DWORD ms = 10000) {
        for (DWORD waited = 0; waited < ms && UpdateCheckRunning(); waited += 25)
            Sleep(25);
        return !UpdateCheckRunning();
    }
    static size_t Requests() {
        size_t n = 0;
        for (char c : gPeer->Log())
            n += c == '\n';
        return n;
    }
    static bool started_;
};
bool UpdateCheckTest::started_;

// The top-level dialog of this process with the caption, or null after ms.
HWND FindOwnDialog(const char* caption, DWORD ms) {
    for (DWORD waited = 0; waited <= ms; waited += 25) {
        HWND w = FindWindowA("#32770", caption);
        if (w && IsWindowVisible(w))
            return w;
        Sleep(25);
    }
    return nullptr;
}

}  // namespace

TEST_F(UpdateCheckTest, CheckStoresTheVersionAndOpensTheDialogOnce) {
    for (const char* url : {"http://127.0.0.1/old.txt", "https://127.0.0.1/old.txt"}) {
        Prepare("update_old", url);
        ASSERT_EQ(kUpdateStarted, StartUpdateCheck());
        ASSERT_TRUE(WaitIdle());
        UpdateCheckSettings s;
        ReadUpdateCheckSettings(&s);
        EXPECT_STREQ("1.0.0", s.version) << url;
        EXPECT_EQ(0, s.newer);
        EXPECT_EQ(UtcDayStart(UnixNow()), s.lastCheck);
        EXPECT_EQ(nullptr, FindOwnDialog("Vellumor Test Update Check", 200));
    }

    Prepare("update_newer", "https://127.0.0.1/v.txt");
    ASSERT_EQ(kUpdateStarted, StartUpdateCheck());
    HWND dlg = FindOwnDialog("Vellumor Test Update Check", 5000);
    ASSERT_NE(nullptr, dlg);
    ASSERT_TRUE(WaitIdle());  // the check ended although its dialog is open
    char text[64];
    GetDlgItemTextA(dlg, IDC_UPDATE_AVAILABLE, text, sizeof text);
    EXPECT_STREQ("9.9.9", text);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_UPDATE_DOWNLOAD)));
    // The version and status lines show in the dialog's bold font from the start.
    for (int id : {IDC_UPDATE_INSTALLED, IDC_UPDATE_AVAILABLE, IDC_UPDATE_STATUS}) {
        LOGFONTA lf = {};
        HFONT font = (HFONT)SendDlgItemMessageA(dlg, id, WM_GETFONT, 0, 0);
        ASSERT_NE(nullptr, font) << id;
        ASSERT_NE(0, GetObjectA(font, sizeof lf, &lf)) << id;
        EXPECT_GE(lf.lfWeight, FW_BOLD) << id;
    }
    UpdateCheckSettings s;
    ReadUpdateCheckSettings(&s);
    EXPECT_STREQ("9.9.9", s.version);
    EXPECT_EQ(1, s.newer);

    // "Check now!" in the dialog the worker runs: a new check, no 5-second freeze.
    DWORD start = GetTickCount();
    SendMessageA(dlg, WM_COMMAND, IDC_UPDATE_CHECK_NOW, 0);
    EXPECT_LT(GetTickCount() - start, 1000u);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(2u, Requests());
    SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    for (int i = 0; i < 100 && IsWindow(dlg); i++)
        Sleep(20);
    EXPECT_FALSE(IsWindow(dlg));

    // The same newer version again: stored already, no dialog.
    ASSERT_EQ(kUpdateStarted, StartUpdateCheck());
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(nullptr, FindOwnDialog("Vellumor Test Update Check", 300));
}

TEST_F(UpdateCheckTest, FailuresWriteNothing) {
    for (const char* url : {"http://127.0.0.1/two.txt", "http://127.0.0.1/404", "http://127.0.0.1/loopA"}) {
        Prepare("update_fail", url);
        ASSERT_EQ(kUpdateStarted, StartUpdateCheck());
        ASSERT_TRUE(WaitIdle());
        EXPECT_FALSE(FileExists(DataFolderFile("(Mox)UpdateCheck.qcg"))) << url;
    }
}

TEST_F(UpdateCheckTest, OkStartsADueCheckThatRunsToItsEnd) {
    Prepare("update_ok", "http://127.0.0.1/old.txt");
    // The modal dialog on this thread; a helper presses OK.
    std::thread helper([] {
        HWND d = FindOwnDialog("Vellumor Test Update Check", 5000);
        if (d)
            PostMessageA(d, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, ShowUpdateCheckDialog(nullptr));
    helper.join();
    ASSERT_TRUE(WaitIdle());
    UpdateCheckSettings s;
    ReadUpdateCheckSettings(&s);
    EXPECT_EQ(1, s.automatic);
    EXPECT_EQ(UtcDayStart(UnixNow()), s.lastCheck);  // the started check was not cancelled
    EXPECT_STREQ("1.0.0", s.version);
}

TEST_F(UpdateCheckTest, NotDueStartsNothing) {
    Prepare("update_not_due", "http://127.0.0.1/old.txt");
    UpdateCheckSettings s;
    ReadUpdateCheckSettings(&s);
    s.lastCheck = UtcDayStart(UnixNow());
    ASSERT_TRUE(WriteUpdateCheckSettings(&s));
    UpdateCheckIfDue();
    EXPECT_FALSE(UpdateCheckRunning());
    Sleep(200);
    EXPECT_EQ(0u, Requests());
}

TEST_F(UpdateCheckTest, UnverifiedServersAreRefusedWithTheirOwnMessage) {
    struct Case {
        Case(const char* u, const char* st, bool w) : url(u), status(st), written(w) {}
        const char* url;
        const char* status;
        bool written;
        std::string gotStatus;
        bool gotWritten = false;
    };
    const char* untrusted = "The server's identity could not be verified";
    std::vector<Case> cases = {
        {"https://localhost/v.txt", "New version available", true},
        {"https://127.0.0.2/v.txt", untrusted, false},  // self-signed
        {"https://127.0.0.3/v.txt", untrusted, false},  // for another name
        {"https://127.0.0.4/v.txt", untrusted, false},  // expired
        {"https://127.0.0.1/tohttp", untrusted, false},
        {"http://127.0.0.1/404", "Version download error", false},
    };
    // The modal dialog on this thread shows the status; a helper presses "Check now!" for each address.
    std::thread helper([this, &cases] {
        HWND d = FindOwnDialog("Vellumor Test Update Check", 5000);
        if (!d)
            return;
        for (Case& c : cases) {
            Prepare("update_identity", c.url);
            SendMessageA(d, WM_COMMAND, IDC_UPDATE_CHECK_NOW, 0);
            Sleep(50);
            if (!WaitIdle())
                break;
            char text[128] = "";
            GetDlgItemTextA(d, IDC_UPDATE_STATUS, text, sizeof text);
            c.gotStatus = text;
            c.gotWritten = FileExists(DataFolderFile("(Mox)UpdateCheck.qcg"));
        }
        PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
    });
    Prepare("update_identity", "http://127.0.0.1/404");
    EXPECT_EQ(IDCANCEL, ShowUpdateCheckDialog(nullptr));
    helper.join();
    for (const Case& c : cases) {
        EXPECT_EQ(c.status, c.gotStatus) << c.url;
        EXPECT_EQ(c.written, c.gotWritten) << c.url;
    }
}

TEST_F(UpdateCheckTest, StalledAndDrippingRepliesEndAtTheTimeOutAndWriteNothing) {
    // The check's own time-out of 15 s covers the whole request.
    for (const char* url : {"https://127.0.0.1/x/nocl/all/stall", "https://127.0.0.1/x/pad/0/drip"}) {
        Prepare("update_stall", url);
        DWORD start = GetTickCount();
        ASSERT_EQ(kUpdateStarted, StartUpdateCheck());
        EXPECT_TRUE(WaitIdle(20000)) << url;
        DWORD took = GetTickCount() - start;
        EXPECT_GE(took, 14000u) << url;
        EXPECT_LT(took, 17500u) << url;
        EXPECT_FALSE(FileExists(DataFolderFile("(Mox)UpdateCheck.qcg"))) << url;
        if (!WaitIdle(60000))
            break;  // a check that does not end would make the next one wait
    }
}

TEST_F(UpdateCheckTest, CancelDuringTheTlsBodyWritesNothing) {
    Prepare("update_cancel", "https://127.0.0.1/x/nocl/all/stall");
    ASSERT_EQ(kUpdateStarted, StartUpdateCheck());
    for (int i = 0; i < 200 && Requests() == 0; i++)
        Sleep(25);
    ASSERT_EQ(1u, Requests());
    Sleep(300);  // the body has arrived; the server stays silent
    DWORD cancelled = 0;
    // Closing the dialog cancels the running check.
    std::thread helper([&cancelled] {
        HWND d = FindOwnDialog("Vellumor Test Update Check", 5000);
        cancelled = GetTickCount();
        if (d)
            PostMessageA(d, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, ShowUpdateCheckDialog(nullptr));
    helper.join();
    EXPECT_TRUE(WaitIdle(20000));
    EXPECT_LT(GetTickCount() - cancelled, 1500u);
    EXPECT_FALSE(FileExists(DataFolderFile("(Mox)UpdateCheck.qcg")));
}

// At exit a stalled check's worker is cancelled and joined at once, and one
// waiting on the dialog it opened has it closed and is joined too.
TEST_F(UpdateCheckTest, StopAtExitEndsEveryWorker) {
    Prepare("update_stop_stalled", "https://127.0.0.1/x/cl/40/stall");
    ASSERT_EQ(kUpdateStarted, StartUpdateCheck());
    Sleep(300);
    ASSERT_TRUE(UpdateCheckRunning());
    DWORD start = GetTickCount();
    EXPECT_TRUE(StopUpdateCheck(5000));
    EXPECT_LT(GetTickCount() - start, 1500u);

    Prepare("update_stop_dialog", "https://127.0.0.1/v.txt");
    ASSERT_EQ(kUpdateStarted, StartUpdateCheck());
    HWND dlg = FindOwnDialog("Vellumor Test Update Check", 5000);
    ASSERT_NE(nullptr, dlg);
    EXPECT_TRUE(StopUpdateCheck(5000));
    EXPECT_FALSE(IsWindow(dlg));
}
