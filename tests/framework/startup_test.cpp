// Start-up of programs on the framework, under Wine: install settings,
// data folders, the first-run copy, the write test and the wait, the
// hand-over to a running instance, and the records kept at exit.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "base/crc32.h"
#include "framework/message_box.h"
#include "startup_test_util.h"
#include "support/test_support.h"

namespace {

const char kProbe[] = "Vellumor Probe";

std::string Win(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

// A data folder of its own for each test.
struct ProbeSetup {
    std::string dir, data, install, log;
    explicit ProbeSetup(const char* name, int size = 1328) {
        dir = MakeTestDir(name);
        data = Win(PathJoin(dir, "data"));
        install = Win(PathJoin(dir, "install"));
        log = Win(PathJoin(dir, "probe.log"));
        InstallRecordFields fields;
        fields.size = size;
        fields.installFolder = install;
        fields.customDataFolder = data;
        SetInstallRecord(kProbe, fields);
    }
};

void CloseErrorBox(DWORD pid, std::string* first, std::string* rest) {
    HWND box = WaitForDialog(pid, 10000);
    ASSERT_NE(box, nullptr) << "no message box";
    *first = ControlText(box, IDC_MOX_MSGFIRST);
    *rest = ControlText(box, IDC_MOX_MSGREST);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

}  // namespace

TEST(Startup, InstallSettingsMustHoldTheRecordsFirst1326Bytes) {
    for (int size : {1200, 1325}) {
        ProbeSetup s("startup-short", size);
        Started p = StartProgram(ProbeExe(), "", s.log);
        ASSERT_TRUE(p.ok);
        std::string first, rest;
        CloseErrorBox(p.pi.dwProcessId, &first, &rest);
        EXPECT_EQ(first, "Error initializing the application!");
        EXPECT_EQ(rest, "Error code 0x0000F016.");
        ASSERT_TRUE(WaitEnded(&p, 10000));
        EXPECT_TRUE(WaitForLogLine(s.log, "init F016", 100));
        EXPECT_FALSE(FileExists(PathJoin(s.dir, "data"))) << "nothing is written without install settings";
    }
    for (int size : {1326, 1400}) {
        ProbeSetup s("startup-long", size);
        Started p = StartProgram(ProbeExe(), "-QUIT", s.log);  // ends at once: nothing runs
        ASSERT_TRUE(WaitEnded(&p, 10000));
        Started q = StartProgram(ProbeExe(), "", s.log);
        ASSERT_TRUE(WaitForLogLine(s.log, "ready", 15000)) << ReadLog(s.log);
        EXPECT_TRUE(WaitForLogLine(s.log, "user " + s.data, 0));
        Kill(&q);
    }
}

// The real program reports a missing record in its own message box too.
TEST(Startup, MainProgramReportsMissingInstallSettings) {
    InstallRecordFields fields;
    fields.size = 1200;
    SetInstallRecord("Vellumor Pro", fields);
    Started p = StartProgram(ProgramExe(), "", "");
    ASSERT_TRUE(p.ok);
    HWND box = WaitForDialog(p.pi.dwProcessId, 15000);
    ASSERT_NE(box, nullptr);
    char title[64];
    GetWindowTextA(box, title, sizeof title);
    EXPECT_STREQ(title, "Vellumor Pro");
    EXPECT_EQ(ControlText(box, IDC_MOX_MSGREST), "Error code 0x0000F016.");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitEnded(&p, 10000));
    fields.size = 0;
    SetInstallRecord("Vellumor Pro", fields);
}

TEST(Startup, DataFoldersFollowTheRecordsFlags) {
    ProbeSetup s("startup-folders");
    char user[257];
    DWORD cch = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &cch));
    struct Case {
        bool custom, perUser;
        std::string user, common;
    };
    char appData[MAX_PATH], common[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, TRUE));
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, common, CSIDL_COMMON_APPDATA, TRUE));
    Case cases[] = {
        {true, false, s.data, s.data},
        {true, true, s.data + "\\" + user, s.data},
        {false, false, std::string(appData) + "\\Tarnwick\\" + kProbe, std::string(common) + "\\Tarnwick\\" + kProbe},
    };
    for (const Case& c : cases) {
        InstallRecordFields fields;
        fields.customFolder = c.custom;
        fields.perUser = c.perUser;
        fields.installFolder = s.install;
        fields.customDataFolder = s.data;
        SetInstallRecord(kProbe, fields);
        DeleteFileA(s.log.c_str());
        Started p = StartProgram(ProbeExe(), "", s.log);
        ASSERT_TRUE(WaitForLogLine(s.log, "ready", 15000)) << ReadLog(s.log);
        EXPECT_TRUE(WaitForLogLine(s.log, "user " + c.user, 0)) << ReadLog(s.log);
        EXPECT_TRUE(WaitForLogLine(s.log, "common " + c.common, 0)) << ReadLog(s.log);
        DWORD a = GetFileAttributesA(c.user.c_str());
        EXPECT_TRUE(a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) << "the folder is created";
        Kill(&p);
    }
}

TEST(Startup, FirstStartCopiesTheInitFolder) {
    ProbeSetup s("startup-init");
    ASSERT_EQ(RunPeer(s.dir,
                      "mkdir -p install/Init/sub data2 && printf seeded > install/Init/a.qcg && "
                      "printf deep > install/Init/sub/b.txt"),
              0);
    Started p = StartProgram(ProbeExe(), "", s.log);
    ASSERT_TRUE(WaitForLogLine(s.log, "ready", 15000)) << ReadLog(s.log);
    Kill(&p);
    std::string got;
    EXPECT_TRUE(ReadFileBytes(PathJoin(s.dir, "data/a.qcg"), &got));
    EXPECT_EQ(got, "seeded");
    EXPECT_TRUE(ReadFileBytes(PathJoin(s.dir, "data/sub/b.txt"), &got));
    EXPECT_EQ(got, "deep");

    // An existing (Mox)App record means the folder is in use: nothing is copied.
    ProbeSetup t("startup-noinit");
    ASSERT_EQ(RunPeer(t.dir,
                      "mkdir -p install/Init data && printf seeded > install/Init/a.qcg && "
                      "printf mine > data/b.qcg && head -c 297 /dev/zero > 'data/(Mox)App.qcg'"),
              0);
    Started q = StartProgram(ProbeExe(), "", t.log);
    ASSERT_TRUE(WaitForLogLine(t.log, "ready", 15000)) << ReadLog(t.log);
    Kill(&q);
    EXPECT_FALSE(FileExists(PathJoin(t.dir, "data/a.qcg")));
}

// A drive mapped to /sys can't be written, even by root.
static std::string UnwritableFolder() {
    RunPeer(MakeTestDir("drive"), "ln -sfn /sys \"$WINEPREFIX/dosdevices/y:\"");
    return "Y:\\vellumor-data";
}

TEST(Startup, UnusableDataFolderEndsWithItsMessage) {
    ProbeSetup s("startup-unwritable");
    InstallRecordFields fields;
    fields.installFolder = s.install;
    fields.customDataFolder = UnwritableFolder();
    SetInstallRecord(kProbe, fields);
    DWORD start = GetTickCount();
    Started p = StartProgram(ProbeExe(), "", s.log);
    std::string first, rest;
    CloseErrorBox(p.pi.dwProcessId, &first, &rest);
    EXPECT_GE(GetTickCount() - start, 900u) << "one try a second before giving up";
    EXPECT_EQ(first, "Could not access the data path!");
    EXPECT_EQ(rest,
              fields.customDataFolder +
                  "\r\nPlease make sure that this path is accessible or choose a different data path during setup.");
    ASSERT_TRUE(WaitEnded(&p, 10000));
    EXPECT_TRUE(WaitForLogLine(s.log, "init F019", 0)) << ReadLog(s.log);

    // A folder that exists but refuses files fails the write test.
    fields.customDataFolder = "Y:\\kernel";
    SetInstallRecord(kProbe, fields);
    Started q = StartProgram(ProbeExe(), "", s.log);
    CloseErrorBox(q.pi.dwProcessId, &first, &rest);
    EXPECT_EQ(rest.substr(0, 9), "Y:\\kernel");
    EXPECT_TRUE(WaitEnded(&q, 10000));
}

static BOOL CALLBACK FindWaitWindow(HWND hwnd, LPARAM lp) {
    char cls[64];
    if (GetClassNameA(hwnd, cls, sizeof cls) && strcmp(cls, "MoxWaitForDataPath") == 0) {
        *(HWND*)lp = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The data-folder waiter's window (it owns the tray icon), or null after 5 s.
static HWND WaitForWaitWindow() {
    HWND wait = nullptr;
    for (int i = 0; i < 100 && !wait; i++) {
        Sleep(50);
        EnumWindows(FindWaitWindow, (LPARAM)&wait);
    }
    return wait;
}

TEST(Startup, WaitForDataPathWaitsUntilCancelled) {
    ProbeSetup s("startup-wait");
    InstallRecordFields fields;
    fields.installFolder = s.install;
    fields.customDataFolder = UnwritableFolder();
    SetInstallRecord(kProbe, fields);
    Started p = StartProgram(ProbeExe(), "-waitfordatapath", s.log);
    ASSERT_TRUE(p.ok);
    HWND wait = WaitForWaitWindow();
    ASSERT_NE(wait, nullptr) << "the waiter's window owns the tray icon";
    EXPECT_FALSE(WaitEnded(&p, 3000)) << "it keeps waiting past one try";
    // A second start meanwhile (autostart) ends when no instance window
    // comes within a few seconds, without a message.
    std::string log2 = Win(PathJoin(s.dir, "second.log"));
    Started second = StartProgram(ProbeExe(), "-waitfordatapath", log2);
    EXPECT_TRUE(WaitEnded(&second, 10000));
    EXPECT_TRUE(WaitForLogLine(log2, "init F012", 0)) << ReadLog(log2);
    Kill(&second);
    // The tray menu's one item.
    PostMessageA(wait, WM_COMMAND, 1, 0);
    ASSERT_TRUE(WaitEnded(&p, 5000));
    EXPECT_TRUE(WaitForLogLine(s.log, "init F019", 0)) << ReadLog(s.log);
    EXPECT_EQ(WaitForDialog(p.pi.dwProcessId, 0), nullptr) << "a cancelled wait shows no message";
}

// A start while the first is still starting (here waiting for its data
// folder) waits for it to come up and hands over then.
TEST(Startup, SecondStartWhileTheFirstStartsHandsOverOnceItIsUp) {
    ProbeSetup s("startup-early");
    InstallRecordFields fields;
    fields.installFolder = s.install;
    fields.customDataFolder = UnwritableFolder();
    SetInstallRecord(kProbe, fields);
    Started first = StartProgram(ProbeExe(), "-waitfordatapath", s.log);
    HWND wait = WaitForWaitWindow();
    ASSERT_NE(wait, nullptr) << ReadLog(s.log);
    std::string log2 = Win(PathJoin(s.dir, "second.log"));
    Started second = StartProgram(ProbeExe(), "", log2);
    ASSERT_TRUE(WaitForLogLine(log2, "start", 15000));
    EXPECT_FALSE(WaitEnded(&second, 500)) << "the second start waits for the first";
    // The folder's drive comes: the first's next try takes it.
    ASSERT_EQ(RunPeer(s.dir, "mkdir -p drive && ln -sfn \"$PWD/drive\" \"$WINEPREFIX/dosdevices/y:\""), 0);
    EXPECT_TRUE(WaitEnded(&second, 10000));
    EXPECT_TRUE(WaitForLogLine(log2, "init F012", 0)) << ReadLog(log2);
    EXPECT_TRUE(WaitForLogLine(s.log, "ready", 5000)) << ReadLog(s.log);
    EXPECT_TRUE(WaitForLogLine(s.log, "msg 83FE", 5000)) << ReadLog(s.log);
    Kill(&second);
    Kill(&first);
}

TEST(Startup, SecondStartHandsOverWithoutTouchingFiles) {
    ProbeSetup s("startup-second");
    ASSERT_EQ(RunPeer(s.dir, "mkdir -p install/Init && printf seeded > install/Init/late.qcg"), 0);
    Started first = StartProgram(ProbeExe(), "-first", s.log);
    ASSERT_TRUE(WaitForLogLine(s.log, "ready", 15000)) << ReadLog(s.log);
    std::string cmd;
    ASSERT_TRUE(ReadFileBytes(PathJoin(s.dir, "data/(Mox)Cmd.qcg"), &cmd));
    DeleteFileA(Win(PathJoin(s.dir, "data/late.qcg")).c_str());
    DeleteFileA(Win(PathJoin(s.dir, "data/(Mox)App.qcg")).c_str());  // a second start must not copy again

    std::string log2 = Win(PathJoin(s.dir, "second.log"));
    Started second = StartProgram(ProbeExe(), "-second", log2);
    ASSERT_TRUE(WaitEnded(&second, 10000));
    EXPECT_TRUE(WaitForLogLine(log2, "init F012", 0)) << ReadLog(log2);
    EXPECT_TRUE(WaitForLogLine(s.log, "msg 83FE", 5000)) << ReadLog(s.log);
    std::string after;
    ASSERT_TRUE(ReadFileBytes(PathJoin(s.dir, "data/(Mox)Cmd.qcg"), &after));
    EXPECT_EQ(after, cmd) << "the running instance's command record is left alone";
    EXPECT_FALSE(FileExists(PathJoin(s.dir, "data/late.qcg")));
    Kill(&first);
}

TEST(Startup, QuitEndsTheRunningInstanceAndKeepsItsRecord) {
    ProbeSetup s("startup-quit");
    ASSERT_EQ(RunPeer(s.dir, "mkdir -p data"), 0);
    // A record of the user's, with a language and font, and a leftover temporary file.
    std::string record(297, '\0');
    record[0] = 1;
    record[4] = 1;
    record[8] = 2;
    record.replace(33, 8, "Tahoma\0\0", 8);
    record[293] = 11;
    ASSERT_TRUE(WriteFileBytes(PathJoin(s.dir, "data/(Mox)App.qcg"), record));
    ASSERT_TRUE(WriteFileBytes(PathJoin(s.dir, "data/(Mox)App.qcg_tmp"), std::string(297, 'x')));

    Started first = StartProgram(ProbeExe(), "", s.log);
    ASSERT_TRUE(WaitForLogLine(s.log, "ready", 15000)) << ReadLog(s.log);
    EXPECT_TRUE(WaitForLogLine(s.log, "minimised 0 autostart 0 versionchanged 0", 0)) << ReadLog(s.log);
    std::string log2 = Win(PathJoin(s.dir, "quit.log"));
    Started quit = StartProgram(ProbeExe(), "-QUIT", log2);
    ASSERT_TRUE(WaitEnded(&quit, 10000));
    EXPECT_TRUE(WaitForLogLine(log2, "init F012", 0));
    ASSERT_TRUE(WaitEnded(&first, 10000)) << "the running instance quits";
    EXPECT_TRUE(WaitForLogLine(s.log, "exit", 0)) << ReadLog(s.log);
    std::string saved;
    ASSERT_TRUE(ReadFileBytes(PathJoin(s.dir, "data/(Mox)App.qcg"), &saved));
    EXPECT_EQ(saved, record) << "the record survives the run byte for byte";

    // "-QUIT" without a running instance starts nothing.
    Started alone = StartProgram(ProbeExe(), "-quit", log2);
    ASSERT_TRUE(WaitEnded(&alone, 10000));
}

TEST(Startup, InstanceMessagesFromOthersAreIgnored) {
    ProbeSetup s("startup-foreign");
    Started first = StartProgram(ProbeExe(), "", s.log);
    ASSERT_TRUE(WaitForLogLine(s.log, "ready", 15000)) << ReadLog(s.log);
    UINT msg = RegisterWindowMessageA("MoxMSG_MoxCONTROL");
    // Another product's CRC, and a request that is none of the three.
    PostMessageA(HWND_BROADCAST, msg, 0x8404, 0x12345678);
    PostMessageA(HWND_BROADCAST, msg, WM_CLOSE, (LPARAM)Crc32(kProbe, -1));
    PostMessageA(HWND_BROADCAST, msg, 0x8401, (LPARAM)Crc32(kProbe, -1));
    EXPECT_FALSE(WaitEnded(&first, 1500));
    std::string log = ReadLog(s.log);
    EXPECT_EQ(log.find("msg"), std::string::npos) << log;
    PostMessageA(HWND_BROADCAST, msg, 0x83FE, (LPARAM)Crc32(kProbe, -1));
    EXPECT_TRUE(WaitForLogLine(s.log, "msg 83FE", 5000));
    Kill(&first);
}

// A start that fails before it has the user's record must not save the defaults over it.
TEST(Startup, FailedStartKeepsTheUsersRecord) {
    ProbeSetup s("startup-failed");
    char appData[MAX_PATH], common[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, TRUE));
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, common, CSIDL_COMMON_APPDATA, TRUE));
    std::string user = std::string(appData) + "\\Tarnwick\\" + kProbe;
    std::string commonFolder = std::string(common) + "\\Tarnwick\\" + kProbe;
    InstallRecordFields fields;
    fields.customFolder = false;
    fields.installFolder = s.install;
    SetInstallRecord(kProbe, fields);
    CreateDirectoryA((std::string(appData) + "\\Tarnwick").c_str(), nullptr);
    CreateDirectoryA(user.c_str(), nullptr);
    CreateDirectoryA((std::string(common) + "\\Tarnwick").c_str(), nullptr);
    RemoveDirectoryA(commonFolder.c_str());
    // The common folder's name is taken by a file: it can't be created.
    ASSERT_TRUE(WriteFileBytes(commonFolder, "not a folder"));
    std::string record(297, '\0');
    record[0] = 1;
    record[4] = 1;
    record[8] = 1;
    ASSERT_TRUE(WriteFileBytes(user + "\\(Mox)App.qcg", record));
    Started p = StartProgram(ProbeExe(), "", s.log);
    std::string first, rest;
    CloseErrorBox(p.pi.dwProcessId, &first, &rest);
    EXPECT_EQ(rest.substr(0, commonFolder.size()), commonFolder);
    ASSERT_TRUE(WaitEnded(&p, 10000));
    std::string saved;
    ASSERT_TRUE(ReadFileBytes(user + "\\(Mox)App.qcg", &saved));
    EXPECT_EQ(saved, record);
    DeleteFileA(commonFolder.c_str());
}

TEST(Startup, ShowCommandAndSwitchesSetStartFlags) {
    ProbeSetup s("startup-flags");
    Started p = StartProgram(ProbeExe(), "", s.log, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(WaitForLogLine(s.log, "ready", 15000)) << ReadLog(s.log);
    EXPECT_TRUE(WaitForLogLine(s.log, "minimised 1 autostart 0", 0)) << ReadLog(s.log);
    Kill(&p);
    DeleteFileA(s.log.c_str());
    Started q = StartProgram(ProbeExe(), "-AutoStart", s.log, SW_SHOWDEFAULT);
    ASSERT_TRUE(WaitForLogLine(s.log, "ready", 15000)) << ReadLog(s.log);
    EXPECT_TRUE(WaitForLogLine(s.log, "minimised 0 autostart 1", 0)) << ReadLog(s.log);
    Kill(&q);
}

static BOOL CALLBACK FindFrameOf(HWND hwnd, LPARAM lp) {
    std::pair<DWORD, HWND>* want = (std::pair<DWORD, HWND>*)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[32], title[64];
    if (pid == want->first && GetClassNameA(hwnd, cls, sizeof cls) && strcmp(cls, "MoxWindow") == 0 &&
        GetWindowTextA(hwnd, title, sizeof title) && strstr(title, "Vellumor Pro")) {
        want->second = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Setup finds the running program by its hidden frame; the frame keeps its record.
TEST(Startup, MainProgramsHiddenFrameKeepsItsRecord) {
    std::string dir = MakeTestDir("startup-frame");
    std::string data = Win(PathJoin(dir, "data"));
    InstallRecordFields fields;
    fields.installFolder = Win(PathJoin(dir, "install"));
    fields.customDataFolder = data;
    SetInstallRecord("Vellumor Pro", fields);
    ASSERT_EQ(RunPeer(dir, "mkdir -p data"), 0);
    // A placement of the user's: 300 x 200 at (10, 20), 20% transparent.
    unsigned char rec[16] = {10, 0, 20, 0, 44, 1, 200, 0, 0x00, 0x04, 0, 0x10, 20, 0, 0, 0};
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "data/(Mox)Win0.qcg"), std::string((const char*)rec, 16)));
    // Records of the current format: the program's (Mox)App record says so.
    std::string app(297, '\0');
    app[4] = 1;
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "data/(Mox)App.qcg"), app));
    Started p = StartProgram(ProgramExe(), "", "");
    std::pair<DWORD, HWND> want(p.pi.dwProcessId, nullptr);
    for (int i = 0; i < 200 && !want.second; i++) {
        Sleep(50);
        EnumWindows(FindFrameOf, (LPARAM)&want);
    }
    ASSERT_NE(want.second, nullptr) << "a MoxWindow titled with the product name";
    // The window exists before its transparency is applied: give the
    // program's start-up the time to finish.
    WaitForInputIdle(p.pi.hProcess, 10000);
    for (int i = 0; i < 100 && !(GetWindowLongA(want.second, GWL_EXSTYLE) & WS_EX_LAYERED); i++)
        Sleep(50);
    EXPECT_FALSE(IsWindowVisible(want.second));
    RECT r;
    GetWindowRect(want.second, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_TRUE(GetWindowLongA(want.second, GWL_EXSTYLE) & WS_EX_LAYERED);
    // Setup stops it by sending WM_QUIT to that window.
    SendMessageA(want.second, WM_QUIT, 0, 0);
    ASSERT_TRUE(WaitEnded(&p, 10000));
    std::string saved;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "data/(Mox)Win0.qcg"), &saved));
    EXPECT_EQ(saved, std::string((const char*)rec, 16));
    EXPECT_TRUE(FileExists(PathJoin(dir, "data/(Mox)App.qcg")));
    fields.size = 0;
    SetInstallRecord("Vellumor Pro", fields);
}

TEST(Startup, PendingRestoreIsUnpackedBeforeTheRecordsAreRead) {
    ProbeSetup s("startup-restore");
    // The restore's own file, and a backup the user kept under the name a
    // backup is proposed: only the first is applied.
    ASSERT_EQ(RunPeer(s.dir,
                      "mkdir -p data && printf old > data/Options.qcg && printf mine > data/letter.txt && "
                      "/usr/bin/python3 -c \"import zipfile; z=zipfile.ZipFile('data/(Mox)Restore.qcg_tmp','w'); "
                      "z.writestr('Vellumor Probe', b'\\x001.0.0'); z.writestr('Options.qcg', b'new'); z.close(); "
                      "z=zipfile.ZipFile('data/Vellumor Probe.TarnwickConfig','w'); "
                      "z.writestr('Vellumor Probe', b'\\x001.0.0'); z.writestr('Options.qcg', b'backup'); z.close()\""),
              0);
    Started p = StartProgram(ProbeExe(), "", s.log);
    ASSERT_TRUE(WaitForLogLine(s.log, "ready", 15000)) << ReadLog(s.log);
    Kill(&p);
    std::string got;
    EXPECT_TRUE(ReadFileBytes(PathJoin(s.dir, "data/Options.qcg"), &got));
    EXPECT_EQ(got, "new");
    EXPECT_TRUE(ReadFileBytes(PathJoin(s.dir, "data/letter.txt"), &got));
    EXPECT_EQ(got, "mine");
    EXPECT_FALSE(FileExists(PathJoin(s.dir, "data/(Mox)Restore.qcg_tmp")));
    EXPECT_TRUE(FileExists(PathJoin(s.dir, "data/Vellumor Probe.TarnwickConfig")));
}

// A restore that fails at start-up (a settings file held open) is said
// and dropped: no later start applies it over newer settings.
TEST(Startup, AFailedRestoreIsSaidAndDropped) {
    ProbeSetup s("startup-restore-failed");
    ASSERT_EQ(RunPeer(s.dir,
                      "mkdir -p data && printf old > data/Options.qcg && "
                      "/usr/bin/python3 -c \"import zipfile; z=zipfile.ZipFile('data/(Mox)Restore.qcg_tmp','w'); "
                      "z.writestr('Vellumor Probe', b'\\x001.0.0'); z.writestr('Options.qcg', b'new'); z.close()\""),
              0);
    std::string options = Win(PathJoin(s.dir, "data/Options.qcg"));
    HANDLE held = CreateFileA(options.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Started p = StartProgram(ProbeExe(), "", s.log);
    std::string first, rest;
    CloseErrorBox(p.pi.dwProcessId, &first, &rest);
    CloseHandle(held);
    EXPECT_EQ(first, "Error restoring data!");
    EXPECT_NE(rest.find(options), std::string::npos) << rest;
    Kill(&p);
    EXPECT_FALSE(FileExists(PathJoin(s.dir, "data/(Mox)Restore.qcg_tmp")));
}
