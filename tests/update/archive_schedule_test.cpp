// The configuration archive job: the archive opens in Info-ZIP's unzip,
// 7-Zip and Python's zipfile; pruning keeps the newest and never the one
// just written; two runs on one day get two names; a last time in the
// future is due; a full disk (a small file system mounted for the test)
// records and prunes nothing; paths that do not fit are refused; partial
// archives are marked and never push out a whole one; a failed scheduled
// run is tried and said once an interval; the dialog checks its fields and
// answers while it waits.
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

TEST(ArchiveSchedule, KeepsTheNewestAndNeverReplacesAnArchive) {
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
    Sleep(30);
    ASSERT_EQ(kArchiveDone, ArchiveThread(nullptr));  // same day: a name of its own
    std::string today = f.TodaysName();
    std::string second = today.substr(0, today.size() - strlen(".TarnwickConfig")) + "-2.TarnwickConfig";
    std::string out;
    ASSERT_EQ(0, RunPeer(f.target, "ls", &out));
    EXPECT_NE(std::string::npos, out.find(today)) << out;
    EXPECT_NE(std::string::npos, out.find(second)) << out;
    EXPECT_NE(std::string::npos, out.find("-2026.11.05.")) << out;
    EXPECT_EQ(std::string::npos, out.find("-2026.11.04.")) << out;
    EXPECT_EQ(std::string::npos, out.find(std::string(kProduct) + "-2026.11.01.")) << out;
    EXPECT_NE(std::string::npos, out.find("Other Product-2026.11.01.")) << out;
    ASSERT_EQ(0, RunPeer(f.target, "unzip -tq '" + today + "' && unzip -tq '" + second + "'", &out)) << out;
}

// Archives written while the clock was ahead look newer than the one
// written now: pruning still keeps the new one.
TEST(ArchiveSchedule, TheArchiveJustWrittenIsNeverPruned) {
    ArchiveFixture f("archive_prune_ahead");
    f.Schedule(2);
    std::string out;
    ASSERT_EQ(0, RunPeer(f.target,
                         "for d in 01 02 03; do printf old > '" + std::string(kProduct) +
                             "-2031.01.'$d'.TarnwickConfig'; touch -d 2031-01-$d '" + kProduct +
                             "-2031.01.'$d'.TarnwickConfig'; done",
                         &out))
        << out;
    ASSERT_EQ(kArchiveDone, ArchiveThread(nullptr));
    ASSERT_EQ(0, RunPeer(f.target, "ls", &out));
    EXPECT_NE(std::string::npos, out.find(f.TodaysName())) << out;
    ASSERT_EQ(0, RunPeer(f.target, "ls | wc -l && unzip -l '" + f.TodaysName() + "'", &out)) << out;
    EXPECT_EQ(0u, out.find("2\n")) << out;
    EXPECT_NE(std::string::npos, out.find("Options.qcg")) << out;
}

// A last archive time a year ahead (a clock that was wrong once): due now,
// and the run stores today.
TEST(ArchiveSchedule, ALastTimeInTheFutureIsDueAndReplaced) {
    ArchiveFixture f("archive_future");
    f.Schedule(30);
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    s.lastArchive = UtcDayStart(UnixNow()) + 365LL * kSecondsPerDay;
    ASSERT_TRUE(WriteArchiveSettings(&s));
    ASSERT_EQ(kArchiveStarted, ArchiveIfDue());
    for (int i = 0; i < 400 && ArchiveRunning(); i++)
        Sleep(25);
    ReadArchiveSettings(&s);
    EXPECT_EQ(UtcDayStart(UnixNow()), s.lastArchive);
    EXPECT_TRUE(FileExists(PathJoin(f.target, f.TodaysName())));
    EXPECT_EQ(kArchiveNotDue, ArchiveIfDue());
}

// The archive folder on a disk too full for the new archive: not written,
// nothing recorded, nothing pruned, no file left behind.
TEST(ArchiveSchedule, AFullDiskRecordsAndPrunesNothing) {
    ArchiveFixture f("archive_full");
    std::string mount = f.target;
    std::string out;
    if (RunPeer(f.target, "cd / && mount -t tmpfs -o size=96k vp-small '" + UnixPathOf(mount) + "'", &out) != 0)
        GTEST_SKIP() << "mounting a small file system needs root, which this run does not have: " << out;
    struct Unmount {
        std::string dir;
        ~Unmount() { RunPeer(dir, "cd / && umount -l '" + UnixPathOf(dir) + "'"); }
    } unmount{mount};
    f.Schedule(3);
    for (int day = 1; day <= 5; day++) {
        WriteFileBytes(
            PathJoin(f.target, std::string(kProduct) + "-2026.11.0" + std::to_string(day) + ".TarnwickConfig"), "old");
        Sleep(30);
    }
    WriteFileBytes(PathJoin(f.data, "Options.qcg"), RandomBytes(300000, 5));
    EXPECT_EQ(kArchiveNotWritten, ArchiveThread(nullptr));
    EXPECT_FALSE(ArchiveRunning());
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    EXPECT_EQ(0, s.lastArchive);
    ASSERT_EQ(0, RunPeer(f.target, "ls -A | wc -l && ls -A | grep -c '2026\\.11\\.0'", &out));
    EXPECT_EQ("5\n5\n", out);  // the five old archives and nothing else
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

// A partial archive (a file could not be read) is kept under a marked name
// and records nothing; partial ones are pruned among themselves and never
// push out a whole one (three partial runs used to leave, after the next
// whole one, no older whole archive).
TEST(ArchiveSchedule, PartialArchivesAreMarkedAndNeverPushOutWholeOnes) {
    ArchiveFixture f("archive_locked");
    f.Schedule(2);
    for (const char* day : {"01", "02"}) {
        WriteFileBytes(PathJoin(f.target, std::string(kProduct) + "-2026.11." + day + ".TarnwickConfig"), "whole");
        Sleep(30);
    }
    HANDLE locked = CreateFileA(DataFolderFile("Options.qcg").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    for (int run = 0; run < 3; run++) {
        EXPECT_EQ(kArchivePartial, ArchiveThread(nullptr));
        Sleep(30);
    }
    CloseHandle(locked);
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    EXPECT_EQ(0, s.lastArchive);
    ASSERT_EQ(kArchiveDone, ArchiveThread(nullptr));
    std::string today = f.TodaysName();
    std::string partial = today.substr(0, today.size() - strlen(".TarnwickConfig")) + "-partial";
    std::string out;
    ASSERT_EQ(0, RunPeer(f.target, "ls -A | wc -l && ls -A", &out));
    out = "\n" + out;
    EXPECT_EQ(0u, out.find("\n4\n")) << out;  // the older whole one pruned for the new whole one only
    for (const std::string& kept : {std::string(kProduct) + "-2026.11.02.TarnwickConfig", today,
                                    partial + "-2.TarnwickConfig", partial + "-3.TarnwickConfig"})
        EXPECT_NE(std::string::npos, out.find("\n" + kept + "\n")) << kept << out;
    ASSERT_EQ(0, RunPeer(f.target, "unzip -l '" + partial + "-3.TarnwickConfig'", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("(Mox)App.qcg")) << out;
    EXPECT_EQ(std::string::npos, out.find("Options.qcg")) << out;
    ASSERT_EQ(0, RunPeer(f.target, "unzip -l '" + today + "'", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("Options.qcg")) << out;
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

namespace {

std::string WinPath(std::string p) {
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

// The window that has the keyboard focus in the dialog's thread.
HWND FocusOf(HWND dlg) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(dlg, nullptr), &info) ? info.hwndFocus : nullptr;
}

}  // namespace

// An empty, non-numeric or out-of-range field is that field's error: nothing runs
// and nothing is stored. The record changes only when "Archive now!" wrote
// an archive; Cancel after that keeps the schedule off.
TEST(ArchiveDialog, FieldsAreCheckedAndOnlyAWrittenArchiveIsRecorded) {
    ArchiveFixture f("archive_dialog");
    ArchiveSettings s = {};
    s.keep = 30;
    StrCopy(s.folder, countof(s.folder), WinPath(f.target).c_str());
    ASSERT_TRUE(WriteArchiveSettings(&s));
    std::string noPath, emptyBox, textBox, okBox, failed, done;
    bool stayed = false, emptyFocused = false, okStayed = false;
    int rangeFocused = 0;
    ArchiveSettings afterFailure = {};
    std::thread driver([&] {
        HWND dlg = FindDialogWith(IDC_ARCHIVE_FOLDER, 5000);
        if (!dlg)
            return;
        HWND keep = GetDlgItem(dlg, IDC_ARCHIVE_KEEP);
        SetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, "");
        SendDlgItemMessageA(dlg, IDC_ARCHIVE_AUTOMATIC, BM_SETCHECK, BST_CHECKED, 0);
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        noPath = AnswerMessage();
        stayed = IsWindow(dlg) && IsWindowVisible(dlg);
        SendDlgItemMessageA(dlg, IDC_ARCHIVE_AUTOMATIC, BM_SETCHECK, BST_UNCHECKED, 0);
        SetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, WinPath(f.target).c_str());
        // Empty, then not a number: no archive, no message, the field has the focus.
        SetDlgItemTextA(dlg, IDC_ARCHIVE_KEEP, "");
        SendMessageA(dlg, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dlg, IDC_ARCHIVE_FOLDER), TRUE);
        PostMessageA(dlg, WM_COMMAND, IDC_ARCHIVE_NOW, 0);
        emptyBox = FindDialogWith(IDC_MOX_MSGICON, 700) ? AnswerMessage() : "";
        emptyFocused = FocusOf(dlg) == keep;
        SetDlgItemTextA(dlg, IDC_ARCHIVE_KEEP, "12x");
        PostMessageA(dlg, WM_COMMAND, IDC_ARCHIVE_NOW, 0);
        textBox = FindDialogWith(IDC_MOX_MSGICON, 700) ? AnswerMessage() : "";
        SetDlgItemTextA(dlg, IDC_ARCHIVE_KEEP, "");
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        okBox = FindDialogWith(IDC_MOX_MSGICON, 700) ? AnswerMessage() : "";
        okStayed = IsWindow(dlg) && IsWindowVisible(dlg);
        // Out of range: the keep count by "Archive now!", the interval by OK with the schedule on.
        SendDlgItemMessageA(dlg, IDC_ARCHIVE_AUTOMATIC, BM_SETCHECK, BST_CHECKED, 0);
        const int kKeep = IDC_ARCHIVE_KEEP, kInterval = IDC_ARCHIVE_INTERVAL;
        for (const auto& c :
             {std::make_pair(kKeep, "0"), std::make_pair(kKeep, "5000"), std::make_pair(kInterval, "0")}) {
            SetDlgItemTextA(dlg, kKeep, "2");
            SetDlgItemTextA(dlg, kInterval, "5");
            SetDlgItemTextA(dlg, c.first, c.second);
            SendMessageA(dlg, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dlg, IDC_ARCHIVE_FOLDER), TRUE);
            PostMessageA(dlg, WM_COMMAND, c.first == kKeep ? IDC_ARCHIVE_NOW : IDOK, 0);
            textBox += FindDialogWith(IDC_MOX_MSGICON, 700) ? AnswerMessage() : "";
            rangeFocused += FocusOf(dlg) == GetDlgItem(dlg, c.first) && IsWindowVisible(dlg);
        }
        SendDlgItemMessageA(dlg, IDC_ARCHIVE_AUTOMATIC, BM_SETCHECK, BST_UNCHECKED, 0);
        // A folder that cannot be written: the record stays as it was.
        SetDlgItemTextA(dlg, IDC_ARCHIVE_KEEP, "2");
        SetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, "Q:\\no\\such\\drive");
        PostMessageA(dlg, WM_COMMAND, IDC_ARCHIVE_NOW, 0);
        failed = AnswerMessage();
        ReadArchiveSettings(&afterFailure);
        SetDlgItemTextA(dlg, IDC_ARCHIVE_KEEP, "3");
        SetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, WinPath(f.target).c_str());
        PostMessageA(dlg, WM_COMMAND, IDC_ARCHIVE_NOW, 0);
        done = AnswerMessage();
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, ShowArchiveDialog(nullptr));
    driver.join();
    EXPECT_EQ("Please enter a valid path!", noPath);
    EXPECT_TRUE(stayed);
    EXPECT_EQ("", emptyBox);
    EXPECT_TRUE(emptyFocused);
    EXPECT_EQ("", textBox);
    EXPECT_EQ("", okBox);
    EXPECT_TRUE(okStayed);
    EXPECT_EQ(3, rangeFocused);
    EXPECT_EQ("Could not create the archive file!", failed);
    EXPECT_EQ(30, afterFailure.keep);
    EXPECT_STREQ(WinPath(f.target).c_str(), afterFailure.folder);
    EXPECT_EQ(0, afterFailure.lastArchive);
    EXPECT_EQ("Archiving finished successfully!", done);
    EXPECT_TRUE(FileExists(PathJoin(f.target, f.TodaysName())));
    ReadArchiveSettings(&s);
    EXPECT_EQ(3, s.keep);  // stored by the run that wrote the archive
    EXPECT_EQ(UtcDayStart(UnixNow()), s.lastArchive);
    EXPECT_EQ(0, s.automatic);  // cancelled: the schedule stays off
}

// "Archive now!" while a scheduled job runs waits for it, and the dialog
// answers messages meanwhile (it used to sleep for up to 30 seconds).
TEST(ArchiveDialog, ArchiveNowAnswersWhileItWaitsForAScheduledJob) {
    ArchiveFixture f("archive_dialog_wait");
    // A large option set keeps the scheduled job busy for a few seconds.
    WriteFileBytes(PathJoin(f.data, "Options.qcg"), RandomBytes(64u << 20, 9));
    f.Schedule(30);
    ASSERT_EQ(kArchiveStarted, ArchiveIfDue());
    bool runningBefore = false, answered = false, runningAfter = false;
    std::string done;
    std::thread driver([&] {
        HWND dlg = FindDialogWith(IDC_ARCHIVE_FOLDER, 5000);
        if (!dlg)
            return;
        PostMessageA(dlg, WM_COMMAND, IDC_ARCHIVE_NOW, 0);
        Sleep(300);
        runningBefore = ArchiveRunning();
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutA(dlg, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result) != 0;
        runningAfter = ArchiveRunning();
        HWND box = FindDialogWith(IDC_MOX_MSGICON, 120000);
        done = box ? AnswerMessage() : "(no box)";
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, ShowArchiveDialog(nullptr));
    driver.join();
    ASSERT_TRUE(runningBefore && runningAfter) << "the scheduled job ended too soon to test the wait";
    EXPECT_TRUE(answered);
    EXPECT_EQ("Archiving finished successfully!", done);
    EXPECT_FALSE(ArchiveRunning());
}

// During a scheduled job, Cancel while "Archive now!" waits for it ends the
// dialog at once, saying nothing (it gave up after 30 s with "Please check
// the path"), and OK is kept: the job, ending later, writes only its last time.
TEST(ArchiveDialog, CancelAndOkDuringAScheduledJob) {
    ArchiveFixture f("archive_dialog_busy");
    WriteFileBytes(PathJoin(f.data, "Options.qcg"), RandomBytes(64u << 20, 7));
    f.Schedule(30);
    ASSERT_EQ(kArchiveStarted, ArchiveIfDue());
    std::string said = "(none)";
    std::thread driver([&] {
        HWND dlg = FindDialogWith(IDC_ARCHIVE_FOLDER, 5000);
        PostMessageA(dlg, WM_COMMAND, IDC_ARCHIVE_NOW, 0);
        Sleep(300);
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        Sleep(500);
        if (IsWindow(dlg) && FindDialogWith(IDC_MOX_MSGICON, 120000)) {  // not ended: its box, then Cancel again
            said = AnswerMessage();
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        }
        dlg = FindDialogWith(IDC_ARCHIVE_FOLDER, 5000);  // the next one: OK
        SendDlgItemMessageA(dlg, IDC_ARCHIVE_AUTOMATIC, BM_SETCHECK, BST_UNCHECKED, 0);
        SetDlgItemTextA(dlg, IDC_ARCHIVE_FOLDER, WinPath(f.data).c_str());
        SetDlgItemTextA(dlg, IDC_ARCHIVE_KEEP, "7");
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDCANCEL, ShowArchiveDialog(nullptr));
    EXPECT_EQ(IDOK, ShowArchiveDialog(nullptr));
    driver.join();
    EXPECT_EQ("(none)", said);
    ASSERT_TRUE(ArchiveRunning()) << "the scheduled job ended too soon to test Cancel and OK during it";
    for (int i = 0; i < 1200 && ArchiveRunning(); i++)
        Sleep(50);
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    EXPECT_EQ(0, s.automatic);
    EXPECT_STREQ(WinPath(f.data).c_str(), s.folder);
    EXPECT_EQ(7, s.keep);
    EXPECT_EQ(UtcDayStart(UnixNow()), s.lastArchive);  // the job's own field
}

// A scheduled run that failed is said once, at the next look at the
// schedule, and tried again only an interval later (it ran and was said
// again at each start and daily tick).
TEST(ArchiveSchedule, AFailedScheduledRunIsTriedAndReportedOnceAnInterval) {
    ArchiveFixture f("archive_failed_run");
    ArchiveSettings s = {};
    StrCopy(s.folder, countof(s.folder), "Q:\\no\\such\\drive");
    s.automatic = 1;
    ASSERT_TRUE(WriteArchiveSettings(&s));
    auto look = [](std::string* said) {
        std::thread answer([said] {
            if (FindDialogWith(IDC_MOX_MSGICON, 1500))
                *said = AnswerMessage();
        });
        int r = ArchiveIfDue();
        answer.join();
        for (int i = 0; i < 200 && ArchiveRunning(); i++)
            Sleep(25);
        return r;
    };
    std::string said[4];
    EXPECT_EQ(kArchiveStarted, look(&said[0]));  // start-up: the run fails
    EXPECT_EQ(kArchiveNotDue, look(&said[1]));   // the next start says so
    EXPECT_EQ(kArchiveNotDue, look(&said[2]));   // and the tick after it is quiet
    ReadArchiveSettings(&s);
    s.failedDay -= s.interval + 1;  // an interval later
    ASSERT_TRUE(WriteArchiveSettings(&s));
    EXPECT_EQ(kArchiveStarted, look(&said[3]));
    EXPECT_EQ("", said[0]);
    EXPECT_EQ("Could not create the archive file!", said[1]);
    EXPECT_EQ("", said[2]);
    EXPECT_EQ("", said[3]);
    std::string again;
    EXPECT_EQ(kArchiveNotDue, look(&again));
    EXPECT_EQ("Could not create the archive file!", again);
}
