// The configuration archive job: the archive opens in Info-ZIP's unzip,
// 7-Zip and Python's zipfile; pruning keeps the newest; two runs on one day
// share a name; paths that do not fit are refused.
#include "update/archive_schedule.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "base/str_util.h"
#include "framework/app.h"
#include "framework/message_box.h"
#include "settings/data_folders.h"
#include "support/test_support.h"
#include "update/schedule_records.h"
#include "update_test_util.h"

namespace {

const char kProduct[] = "Vellumor Test";

struct ArchiveFixture {
    std::string data, target;
    explicit ArchiveFixture(const char* name) {
        data = MakeTestDir((std::string(name) + "_data").c_str());
        target = MakeTestDir((std::string(name) + "_archives").c_str());
        SetUpProgram(kProduct, data, "");
        WriteFileBytes(PathJoin(data, "(Mox)App.qcg"), std::string(297, 'a'));
        WriteFileBytes(PathJoin(data, "Options.qcg"), "gOpt.X=1\r\n");
        WriteFileBytes(PathJoin(data, "notes.txt"), "not ours");
    }
    void Schedule(int keep) {
        ArchiveSettings s = {};
        std::string folder = target;
        for (char& c : folder)
            if (c == '/')
                c = '\\';
        StrCopy(s.folder, countof(s.folder), folder.c_str());
        s.keep = keep;
        s.automatic = 1;
        ASSERT_TRUE(WriteArchiveSettings(&s));
    }
    std::string TodaysName() const {
        SYSTEMTIME local;
        GetLocalTime(&local);
        char path[kCchPath];
        ArchiveFileName("", local, path, countof(path));
        return path;
    }
};

}  // namespace

TEST(ArchiveSchedule, ArchiveOpensInPeersAndNamesTheProduct) {
    ArchiveFixture f("archive_peers");
    f.Schedule(30);
    ASSERT_EQ(kArchiveDone, ArchiveThread(nullptr));
    std::string name = f.TodaysName();
    ASSERT_TRUE(FileExists(PathJoin(f.target, name)));
    std::string out;
    ASSERT_EQ(0, RunPeer(f.target, "unzip -l '" + name + "'", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("(Mox)App.qcg"));
    EXPECT_NE(std::string::npos, out.find("Options.qcg"));
    EXPECT_EQ(std::string::npos, out.find("notes.txt"));
    ASSERT_EQ(0, RunPeer(f.target, "mkdir x && cd x && 7z x -y '../" + name + "' >/dev/null && cat Options.qcg", &out))
        << out;
    EXPECT_EQ("gOpt.X=1\r\n", out);
    ASSERT_EQ(0, RunPeer(f.target,
                         "/usr/bin/python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
                         "i=z.infolist()[0]; print(i.filename); print(repr(z.read(i)))\" '" +
                             name + "'",
                         &out))
        << out;
    EXPECT_EQ(std::string(kProduct) + "\nb'\\x003.2.10'\n", out);
    // The folder was stored with its '\' and the day start.
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    EXPECT_EQ('\\', s.folder[strlen(s.folder) - 1]);
    EXPECT_EQ(UtcDayStart(UnixNow()), s.lastArchive);
}

TEST(ArchiveSchedule, KeepsTheNewestAndCountsTodaysOnce) {
    ArchiveFixture f("archive_prune");
    f.Schedule(3);
    // Five older archives, made one after another (Wine ignores set creation times).
    for (int day = 1; day <= 5; day++) {
        WriteFileBytes(
            PathJoin(f.target, std::string(kProduct) + "-2026.11.0" + std::to_string(day) + ".TarnwickConfig"), "old");
        Sleep(30);
    }
    WriteFileBytes(PathJoin(f.target, "Other Product-2026.11.01.TarnwickConfig"), "theirs");
    ASSERT_EQ(kArchiveDone, ArchiveThread(nullptr));
    ASSERT_EQ(kArchiveDone, ArchiveThread(nullptr));  // same day: same name, counted once
    std::string out;
    ASSERT_EQ(0, RunPeer(f.target, "ls", &out));
    EXPECT_NE(std::string::npos, out.find(f.TodaysName()));
    EXPECT_NE(std::string::npos, out.find("-2026.11.05."));
    EXPECT_NE(std::string::npos, out.find("-2026.11.04."));
    EXPECT_EQ(std::string::npos, out.find("-2026.11.03."));
    EXPECT_EQ(std::string::npos, out.find("-2026.11.02."));
    EXPECT_NE(std::string::npos, out.find("Other Product-2026.11.01."));
}

TEST(ArchiveSchedule, NoFolderAndPathsThatDoNotFit) {
    ArchiveFixture f("archive_limits");
    ArchiveSettings s = {};
    ASSERT_TRUE(WriteArchiveSettings(&s));
    EXPECT_EQ(kArchiveNoFolder, ArchiveThread(nullptr));
    EXPECT_FALSE(ArchiveRunning());  // the schedule can run again
    // A folder of 259 characters: no room for '\' and the name.
    memset(s.folder, 'd', 259);
    s.folder[0] = 'C';
    s.folder[1] = ':';
    s.folder[2] = '\\';
    s.folder[259] = '\0';
    ASSERT_TRUE(WriteArchiveSettings(&s));
    EXPECT_EQ(kArchiveNotWritten, ArchiveThread(nullptr));
    ReadArchiveSettings(&s);
    EXPECT_EQ(0, s.lastArchive);  // nothing recorded
    // A folder that cannot be written.
    StrCopy(s.folder, countof(s.folder), "Q:\\no\\such\\drive\\");
    ASSERT_TRUE(WriteArchiveSettings(&s));
    EXPECT_EQ(kArchiveNotWritten, ArchiveThread(nullptr));
}

TEST(ArchiveSchedule, LockedFileStillWritesTheArchive) {
    ArchiveFixture f("archive_locked");
    f.Schedule(30);
    HANDLE locked = CreateFileA(DataFolderFile("Options.qcg").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    EXPECT_EQ(kArchivePartial, ArchiveThread(nullptr));
    CloseHandle(locked);
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    EXPECT_EQ(UtcDayStart(UnixNow()), s.lastArchive);  // written: this period is done
    std::string out;
    ASSERT_EQ(0, RunPeer(f.target, "unzip -l '" + f.TodaysName() + "'", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("(Mox)App.qcg"));
}

TEST(ArchiveSchedule, DueStartsOneJobInItsThread) {
    ArchiveFixture f("archive_due");
    f.Schedule(30);
    ASSERT_EQ(kArchiveStarted, ArchiveIfDue());
    for (int i = 0; i < 200 && ArchiveRunning(); i++)
        Sleep(25);
    EXPECT_FALSE(ArchiveRunning());
    EXPECT_TRUE(FileExists(PathJoin(f.target, f.TodaysName())));
    EXPECT_EQ(kArchiveNotDue, ArchiveIfDue());  // archived today
}

namespace {

// A visible dialog of this process with a child of the id, or null after ms.
HWND FindDialogWith(int id, DWORD ms) {
    for (DWORD waited = 0; waited <= ms; waited += 25) {
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w;
             w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() && IsWindowVisible(w) && GetDlgItem(w, id)) {
                Sleep(100);
                return w;
            }
        }
        Sleep(25);
    }
    return nullptr;
}

// The text of the framework's message box that comes next, answered with OK.
std::string AnswerMessage() {
    HWND box = FindDialogWith(IDC_MOX_MSGICON, 5000);
    if (!box)
        return "(no box)";
    char text[256] = "";
    GetDlgItemTextA(box, IDC_MOX_MSGFIRST, text, sizeof text);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(box); i++)
        Sleep(20);
    return text;
}

}  // namespace

TEST(ArchiveDialog, AutomaticNeedsAFolderAndArchiveNowWrites) {
    ArchiveFixture f("archive_dialog");
    ArchiveSettings s = {};
    ASSERT_TRUE(WriteArchiveSettings(&s));
    std::string noPath, done;
    bool stayed = false;
    std::thread driver([&] {
        HWND dlg = FindDialogWith(IDC_ARCHIVE_FOLDER, 5000);
        if (!dlg)
            return;
        SendDlgItemMessageA(dlg, IDC_ARCHIVE_AUTOMATIC, BM_SETCHECK, BST_CHECKED, 0);
        SetDlgItemTextA(dlg, IDC_ARCHIVE_KEEP, "5000");
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        noPath = AnswerMessage();
        stayed = IsWindow(dlg) && IsWindowVisible(dlg);
        std::string folder = f.target;
        for (char& c : folder)
            if (c == '/')
                c = '\\';
        SetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, folder.c_str());
        PostMessageA(dlg, WM_COMMAND, IDC_ARCHIVE_NOW, 0);
        done = AnswerMessage();
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, ShowArchiveDialog(nullptr));
    driver.join();
    EXPECT_EQ("Please enter a valid path!", noPath);
    EXPECT_TRUE(stayed);
    EXPECT_EQ("Archiving finished successfully!", done);
    EXPECT_TRUE(FileExists(PathJoin(f.target, f.TodaysName())));
    ReadArchiveSettings(&s);
    EXPECT_EQ(999, s.keep);     // clamped to 1..999
    EXPECT_EQ(0, s.automatic);  // cancelled: the schedule stays off
}
