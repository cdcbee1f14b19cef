// The product information dialog driven as a user would, from a second
// thread: back up into an archive that Info-ZIP, 7-Zip and Python read;
// restore one made by Info-ZIP's zip; refuse another product's, a damaged
// and a hostile archive; reset; the pending restore of the next start that
// replaces only the framework's own files and keeps them when it fails; a
// backup under the proposed name is never taken for a pending restore; a
// backup onto a full disk (a small file system mounted for the test)
// leaves the old backup as it was.
#include "framework/product_info.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/str_util.h"
#include "framework/app.h"
#include "framework/config_backup.h"
#include "framework/message_box.h"
#include "settings/data_folders.h"
#include "support/test_support.h"

namespace {

const char kProduct[] = "Vellumor Test";

struct FindArgs {
    int marker, other;  // a child id the dialog has (either one)
    HWND found;
};

BOOL CALLBACK FindMarked(HWND w, LPARAM lp) {
    FindArgs* a = (FindArgs*)lp;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[16];
    if (pid == GetCurrentProcessId() && IsWindowVisible(w) && GetClassNameA(w, cls, sizeof cls) &&
        strcmp(cls, "#32770") == 0 && (GetDlgItem(w, a->marker) || (a->other && GetDlgItem(w, a->other)))) {
        a->found = w;
        return FALSE;
    }
    return TRUE;
}

// A visible dialog of this process that has a child with the marker id (or the other one).
HWND WaitFor(int marker, DWORD ms = 5000, int other = 0) {
    for (DWORD waited = 0; waited <= ms; waited += 25) {
        FindArgs a = {marker, other, nullptr};
        EnumWindows(FindMarked, (LPARAM)&a);
        if (a.found) {
            Sleep(100);  // let it finish its set-up
            return a.found;
        }
        Sleep(25);
    }
    return nullptr;
}

void Press(HWND dlg, int id) {
    PostMessageA(dlg, WM_COMMAND, id, 0);
    for (int i = 0; i < 200 && IsWindow(dlg) && IsWindowVisible(dlg) && id != IDC_MOX_INFO_BACKUP &&
                    id != IDC_MOX_INFO_RESTORE && id != IDC_MOX_INFO_RESET;
         i++)
        Sleep(10);
}

std::string Text(HWND dlg, int id) {
    char t[1024] = "";
    GetDlgItemTextA(dlg, id, t, sizeof t);
    return t;
}

// Answers the message box that comes next: its text and the button to press.
std::string AnswerBox(int button) {
    HWND box = WaitFor(IDC_MOX_MSGICON);  // the product information dialog has an id 50108 too
    if (!box)
        return "(no box)";
    std::string text = Text(box, IDC_MOX_MSGFIRST) + "|" + Text(box, IDC_MOX_MSGREST);
    Press(box, button);
    return text;
}

// Types a path into the file dialog that comes next and presses OK.
bool AnswerFileDialog(const std::string& path) {
    // The explorer-style dialog's name field is a combo box (cmb13), the old one an edit (edt1).
    HWND dlg = WaitFor(cmb13, 5000, edt1);
    if (!dlg)
        return false;
    SetDlgItemTextA(dlg, cmb13, path.c_str());
    SetDlgItemTextA(dlg, edt1, path.c_str());
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    return true;
}

// Runs the dialog on this thread while the script acts on a second one.
void RunDialog(const std::function<void(HWND info)>& script) {
    std::thread driver([&] {
        HWND info = WaitFor(IDC_MOX_INFO_TITLE);
        if (info) {
            script(info);
            // Whatever the script left open is closed, so a failure cannot hang the run.
            while (HWND box = WaitFor(IDC_MOX_MSGICON, 300))
                Press(box, IDCANCEL);
            while (HWND file = WaitFor(cmb13, 300, edt1))
                Press(file, IDCANCEL);
            PostMessageA(info, WM_COMMAND, IDOK, 0);
        }
    });
    ShowProductInfo(nullptr, 0);
    driver.join();
    MSG m;
    while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

std::string Win(std::string p) {
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

// A small file system (tmpfs) mounted over a new test folder, so that a
// write runs out of space for real; unmounted again at the end.
struct SmallDisk {
    std::string dir;
    bool mounted = false;
    SmallDisk(const char* name, int kib) {
        dir = MakeTestDir(name);
        mounted = RunPeer(dir, "cd / && mount -t tmpfs -o size=" + std::to_string(kib) + "k vp-small '" +
                                   UnixPathOf(dir) + "'") == 0;
    }
    ~SmallDisk() {
        if (mounted)
            RunPeer(dir, "cd / && umount -l '" + UnixPathOf(dir) + "'");
    }
};
const char kNoMount[] = "mounting a small file system needs root, which this run does not have";

class ProductInfoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gApp.instance = GetModuleHandleA(nullptr);
        StrCopy(gApp.productName, countof(gApp.productName), kProduct);
        gApp.versionMajor = 3;
        gApp.versionMinor = 2;
        gApp.versionBuild = 10;
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        data_ = MakeTestDir((std::string("info_") + info->name()).c_str());
        StrCopy(gUserDataFolder, countof(gUserDataFolder), Win(data_).c_str());
        WriteFileBytes(PathJoin(data_, "(Mox)App.qcg"), "app record");
        WriteFileBytes(PathJoin(data_, "Options.qcg"), "gOpt.Old=1\r\n");
        // A custom data folder may hold the user's own files.
        WriteFileBytes(PathJoin(data_, "letter.doc"), "mine");
        CreateDirectoryA(Win(PathJoin(data_, "photos")).c_str(), nullptr);
        WriteFileBytes(PathJoin(data_, "photos/keep.qcg"), "not at the top");
    }
    void TearDown() override {
        gApp.restartMode = 0;
        gApp.broadcastRestart = false;
    }
    std::string Pending() const {
        char path[kCchPath] = "";
        PendingRestorePath(path, countof(path));
        return path;
    }
    std::string Read(const char* name) const {
        std::string s;
        ReadFileBytes(PathJoin(data_, name), &s);
        return s;
    }
    std::string data_;
};

}  // namespace

TEST_F(ProductInfoTest, ShowsProductVersionAndFolders) {
    std::string title, data;
    bool helpEnabled = true;
    RunDialog([&](HWND info) {
        title = Text(info, IDC_MOX_INFO_TITLE);
        data = Text(info, IDC_MOX_INFO_DATA);
        helpEnabled = IsWindowEnabled(GetDlgItem(info, IDC_MOX_HELP)) != FALSE;
    });
    EXPECT_EQ("Vellumor Test v3.2.10", title);
    EXPECT_EQ(Win(data_), data);
    EXPECT_FALSE(helpEnabled);  // no frame to ask for help
}

TEST_F(ProductInfoTest, BackupOpensInPeers) {
    std::string dir = MakeTestDir("info_backup_out");
    std::string target = Win(PathJoin(dir, "saved.TarnwickConfig"));
    std::string done;
    RunDialog([&](HWND info) {
        Press(info, IDC_MOX_INFO_BACKUP);
        if (AnswerFileDialog(target))
            done = AnswerBox(IDOK);
    });
    EXPECT_EQ("Data backed up successfully!|", done);
    std::string out;
    ASSERT_EQ(0, RunPeer(dir, "unzip -l saved.TarnwickConfig", &out)) << out;
    EXPECT_NE(std::string::npos, out.find("Options.qcg"));
    EXPECT_NE(std::string::npos, out.find("(Mox)App.qcg"));
    EXPECT_EQ(std::string::npos, out.find("letter.doc"));
    ASSERT_EQ(0, RunPeer(dir, "7z t saved.TarnwickConfig", &out)) << out;
    ASSERT_EQ(0, RunPeer(dir,
                         "/usr/bin/python3 -c \"import zipfile; z=zipfile.ZipFile('saved.TarnwickConfig'); "
                         "i=z.infolist()[0]; print(i.filename, repr(z.read(i)))\"",
                         &out))
        << out;
    EXPECT_EQ("Vellumor Test b'\\x003.2.10'\n", out);
}

TEST_F(ProductInfoTest, RestoreOfAnInfoZipArchiveAppliesAtTheNextStart) {
    std::string dir = MakeTestDir("info_zip_made");
    std::string out;
    ASSERT_EQ(0, RunPeer(dir,
                         "mkdir src && cd src && printf '\\0001.0.0' > 'Vellumor Test' && "
                         "printf 'gOpt.New=2\\r\\n' > Options.qcg && zip -q -X ../made.TarnwickConfig "
                         "'Vellumor Test' Options.qcg",
                         &out))
        << out;
    std::string question, restart;
    RunDialog([&](HWND info) {
        Press(info, IDC_MOX_INFO_RESTORE);
        if (AnswerFileDialog(Win(PathJoin(dir, "made.TarnwickConfig")))) {
            question = AnswerBox(IDYES);
            restart = AnswerBox(IDOK);
        }
    });
    EXPECT_EQ("Warning: your current configuration will be overwritten!|Do you want to continue?", question);
    EXPECT_EQ(
        "Data restored successfully!|The program must be restarted to apply the changes.\r\nClick OK to "
        "restart the program now.",
        restart);
    EXPECT_NE(0, gApp.restartMode);
    ASSERT_TRUE(FileExists(Pending()));
    EXPECT_EQ("gOpt.Old=1\r\n", Read("Options.qcg"));  // nothing changes before the restart

    UnpackPendingRestore();
    EXPECT_FALSE(FileExists(Pending()));
    EXPECT_EQ("gOpt.New=2\r\n", Read("Options.qcg"));
    EXPECT_FALSE(FileExists(PathJoin(data_, "(Mox)App.qcg")));  // not in the archive: gone
    EXPECT_EQ("mine", Read("letter.doc"));
    EXPECT_EQ("not at the top", Read("photos/keep.qcg"));
}

TEST_F(ProductInfoTest, WrongProductAndDamagedArchivesAreRefused) {
    std::string dir = MakeTestDir("info_refused");
    std::string out;
    ASSERT_EQ(0,
              RunPeer(dir,
                      "printf '\\0001.0.0' > 'Other Product' && printf '\\0001.0.0' > 'Vellumor Test' && "
                      "head -c 3000 /dev/urandom > Options.qcg && zip -q -X other.zip 'Other Product' Options.qcg && "
                      "zip -q -0 -X damaged.zip 'Vellumor Test' Options.qcg && "
                      "printf 'not a zip' > junk.zip && "
                      "/usr/bin/python3 -c \"import sys; b=bytearray(open('damaged.zip','rb').read()); "
                      "i=b.find(b'Options.qcg')+11+1000; b[i]^=0xFF; open('damaged.zip','wb').write(b)\"",
                      &out))
        << out;
    std::vector<std::string> said;
    for (const char* name : {"other.zip", "damaged.zip", "junk.zip"}) {
        RunDialog([&](HWND info) {
            Press(info, IDC_MOX_INFO_RESTORE);
            if (AnswerFileDialog(Win(PathJoin(dir, name))))
                said.push_back(AnswerBox(IDOK));
        });
        EXPECT_FALSE(FileExists(Pending())) << name;
    }
    ASSERT_EQ(3u, said.size());
    EXPECT_EQ("Wrong product!|", said[0]);
    EXPECT_EQ("Configuration file error!|", said[1]);
    EXPECT_EQ("Configuration file error!|", said[2]);  // it used to say nothing

    // The same damaged archive left as the pending restore: the settings stay.
    ASSERT_EQ(0, RunPeer(dir, "cp damaged.zip '" + UnixPathOf(Pending()) + "'", &out)) << out;
    UnpackPendingRestore();
    EXPECT_FALSE(FileExists(Pending()));
    EXPECT_EQ("gOpt.Old=1\r\n", Read("Options.qcg"));
    EXPECT_EQ("app record", Read("(Mox)App.qcg"));
}

TEST_F(ProductInfoTest, PendingRestoreExtractsCleanNamesOnly) {
    std::string out;
    ASSERT_EQ(0, RunPeer(data_,
                         "/usr/bin/python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1],'w'); "
                         "z.writestr('Vellumor Test', b'\\x001.0.0'); z.writestr('Options.qcg', b'new'); "
                         "z.writestr('../escaped.qcg', b'evil'); z.close()\" '" +
                             UnixPathOf(Pending()) + "'",
                         &out))
        << out;
    UnpackPendingRestore();
    EXPECT_FALSE(FileExists(Pending()));
    EXPECT_EQ("gOpt.Old=1\r\n", Read("Options.qcg"));  // the whole archive was refused
    EXPECT_FALSE(FileExists(PathJoin(data_, "../escaped.qcg")));
    // Not a zip at all: simply deleted.
    WriteFileBytes(Pending(), "garbage");
    UnpackPendingRestore();
    EXPECT_FALSE(FileExists(Pending()));
    EXPECT_EQ("app record", Read("(Mox)App.qcg"));
}

TEST_F(ProductInfoTest, ResetKeepsTheUsersFiles) {
    std::string no;
    RunDialog([&](HWND info) {
        Press(info, IDC_MOX_INFO_RESET);
        no = AnswerBox(IDNO);
    });
    EXPECT_NE(std::string::npos, no.find("overwritten"));
    EXPECT_FALSE(FileExists(Pending()));

    RunDialog([&](HWND info) {  // the restart declined: the reset is cancelled
        Press(info, IDC_MOX_INFO_RESET);
        AnswerBox(IDYES);
        AnswerBox(IDCANCEL);
    });
    EXPECT_FALSE(FileExists(Pending()));

    std::string restart;
    RunDialog([&](HWND info) {
        Press(info, IDC_MOX_INFO_RESET);
        AnswerBox(IDYES);
        restart = AnswerBox(IDOK);
    });
    EXPECT_EQ(0u, restart.find("Data reset successfully!|"));
    EXPECT_NE(0, gApp.restartMode);  // OK asks every instance to restart
    EXPECT_TRUE(gApp.broadcastRestart);
    ASSERT_TRUE(FileExists(Pending()));
    std::string out;
    ASSERT_EQ(0, RunPeer(data_, "unzip -Z1 '" + UnixPathOf(Pending()) + "'", &out)) << out;
    EXPECT_EQ("Vellumor Test\n", out);  // the product entry alone

    UnpackPendingRestore();
    EXPECT_FALSE(FileExists(PathJoin(data_, "(Mox)App.qcg")));
    EXPECT_FALSE(FileExists(PathJoin(data_, "Options.qcg")));
    EXPECT_EQ("mine", Read("letter.doc"));
    EXPECT_EQ("not at the top", Read("photos/keep.qcg"));
    EXPECT_FALSE(FileExists(Pending()));
}

TEST(ConfigBackupRestore, ArchiveToAPathShowsNothing) {
    std::string data = MakeTestDir("info_archive_to");
    StrCopy(gUserDataFolder, countof(gUserDataFolder), Win(data).c_str());
    StrCopy(gApp.productName, countof(gApp.productName), kProduct);
    WriteFileBytes(PathJoin(data, "Options.qcg"), "x");
    EXPECT_EQ(kConfigFileError, ConfigBackupRestore(nullptr, kConfigArchiveTo, "Q:\\nowhere\\a.zip"));
    EXPECT_EQ(kConfigDone, ConfigBackupRestore(nullptr, kConfigArchiveTo, Win(PathJoin(data, "a.zip")).c_str()));
    EXPECT_EQ(kConfigBadOperation, ConfigBackupRestore(nullptr, 4, nullptr));
    EXPECT_EQ(nullptr, WaitFor(IDC_MOX_MSGICON, 200));
}

// The proposed backup name, kept and saved in the data folder itself, is
// still a backup: the next start leaves it and the settings alone.
TEST_F(ProductInfoTest, BackupUnderTheProposedNameIsNoPendingRestore) {
    std::string proposed, done;
    RunDialog([&](HWND info) {
        Press(info, IDC_MOX_INFO_BACKUP);
        HWND file = WaitFor(cmb13, 5000, edt1);
        if (!file)
            return;
        proposed = Text(file, cmb13);
        if (proposed.empty())
            proposed = Text(file, edt1);
        if (!proposed.empty() && AnswerFileDialog(Win(data_) + "\\" + proposed))
            done = AnswerBox(IDOK);
    });
    ASSERT_EQ("Data backed up successfully!|", done);
    EXPECT_EQ(std::string(kProduct) + ".TarnwickConfig", proposed);
    std::string backup = PathJoin(data_, proposed);
    ASSERT_TRUE(FileExists(backup));
    WriteFileBytes(PathJoin(data_, "Options.qcg"), "gOpt.Later=3\r\n");  // a change made after the backup
    UnpackPendingRestore();                                              // the next start
    EXPECT_TRUE(FileExists(backup));
    EXPECT_EQ("gOpt.Later=3\r\n", Read("Options.qcg"));
    EXPECT_EQ("app record", Read("(Mox)App.qcg"));
}

// A backup over an older one on a disk too full for it: the old backup
// stays byte for byte, no temporary file is left, and the user is told
// that the backup was not written.
TEST_F(ProductInfoTest, BackupOntoAFullDiskKeepsTheOldBackup) {
    SmallDisk disk("info_full_disk", 96);
    if (!disk.mounted)
        GTEST_SKIP() << kNoMount;
    std::string target = PathJoin(disk.dir, "saved.TarnwickConfig");
    ASSERT_EQ(kConfigDone, ConfigBackupRestore(nullptr, kConfigArchiveTo, Win(target).c_str()));
    std::string good, now, out;
    ASSERT_TRUE(ReadFileBytes(target, &good));
    // The option set grew past what the disk has left.
    WriteFileBytes(PathJoin(data_, "Options.qcg"), RandomBytes(300000, 3));
    EXPECT_EQ(kConfigFileError, ConfigBackupRestore(nullptr, kConfigArchiveTo, Win(target).c_str()));
    ASSERT_TRUE(ReadFileBytes(target, &now));
    EXPECT_TRUE(good == now);

    std::string said;
    RunDialog([&](HWND info) {
        Press(info, IDC_MOX_INFO_BACKUP);
        if (!AnswerFileDialog(Win(target)))
            return;
        // The file dialog asks before it replaces a file: yes.
        HWND prompt = WaitFor(IDYES, 3000);
        if (prompt && !GetDlgItem(prompt, IDC_MOX_MSGICON))
            Press(prompt, IDYES);
        said = AnswerBox(IDOK);
    });
    EXPECT_EQ(
        "The backup was not written!|An existing file of that name was left as it was. Please check the path and "
        "the free disk space.",
        said);
    ASSERT_TRUE(ReadFileBytes(target, &now));
    EXPECT_TRUE(good == now);
    ASSERT_EQ(0, RunPeer(disk.dir, "ls -A && unzip -tq saved.TarnwickConfig", &out)) << out;
    EXPECT_EQ(0u, out.find("saved.TarnwickConfig\nNo errors detected")) << out;  // nothing else on the disk
}

// Archives that are not a backup of ours, built here with Python's
// zipfile: each is refused whole with its entry named, and left as the
// pending restore it changes nothing at the next start.
TEST_F(ProductInfoTest, RestoreRefusesEntriesThatAreNoSettingsFiles) {
    std::string dir = MakeTestDir("info_hostile");
    std::string out;
    ASSERT_EQ(0, RunPeer(dir,
                         "/usr/bin/python3 - <<'PY'\n"
                         "import zipfile\n"
                         "def make(name, entries):\n"
                         "    z = zipfile.ZipFile(name, 'w', zipfile.ZIP_DEFLATED)\n"
                         "    z.writestr('Vellumor Test', b'\\x001.0.0')\n"
                         "    for n, data in entries:\n"
                         "        z.writestr(n, data)\n"
                         "    return z\n"
                         "make('abs.zip', [('Options.qcg', b'new'), ('/etc/abs.qcg', b'x')]).close()\n"
                         "make('deep.zip', [('Options.qcg', b'new'), ('Start Menu/Programs/Startup/run.bat', "
                         "b'echo')]).close()\n"
                         "make('device.zip', [('CON.qcg', b'x'), ('Options.qcg', b'new')]).close()\n"
                         "make('ext.zip', [('run.bat', b'echo')]).close()\n"
                         "make('folder.zip', [('photos/', b'')]).close()\n"
                         "make('twice.zip', [('Options.qcg', b'a'), ('OPTIONS.QCG', b'b')]).close()\n"
                         "z = make('bomb.zip', [])\n"
                         "with z.open('Options.qcg', 'w') as f:\n"
                         "    for i in range(64):\n"
                         "        f.write(bytes(1 << 20))\n"
                         "z.close()\n"
                         "PY",
                         &out))
        << out;
    const std::pair<const char*, const char*> kCases[] = {
        {"abs.zip", "/etc/abs.qcg"}, {"deep.zip", "Start Menu/Programs/Startup/run.bat"},
        {"device.zip", "CON.qcg"},   {"ext.zip", "run.bat"},
        {"folder.zip", "photos/"},   {"twice.zip", "OPTIONS.QCG"},
        {"bomb.zip", "Options.qcg"},
    };
    for (const auto& c : kCases) {
        std::string said;
        RunDialog([&](HWND info) {
            Press(info, IDC_MOX_INFO_RESTORE);
            if (AnswerFileDialog(Win(PathJoin(dir, c.first))))
                said = AnswerBox(IDNO);
        });
        EXPECT_EQ(std::string("This archive cannot be restored!|It holds \"") + c.second +
                      "\", which is not a settings file of this program. Nothing was changed.",
                  said)
            << c.first;
        EXPECT_FALSE(FileExists(Pending())) << c.first;

        // The same archive found as the pending restore at start-up.
        ASSERT_EQ(0, RunPeer(dir, std::string("cp ") + c.first + " '" + UnixPathOf(Pending()) + "'", &out)) << out;
        UnpackPendingRestore();
        EXPECT_FALSE(FileExists(Pending())) << c.first;  // it can never apply
        EXPECT_EQ("gOpt.Old=1\r\n", Read("Options.qcg")) << c.first;
        EXPECT_EQ("app record", Read("(Mox)App.qcg")) << c.first;
        ASSERT_EQ(0, RunPeer(data_, "find . | LC_ALL=C sort", &out));
        EXPECT_EQ(".\n./(Mox)App.qcg\n./Options.qcg\n./letter.doc\n./photos\n./photos/keep.qcg\n", out) << c.first;
    }
}

// A restored file comes back writable whatever attributes the archive
// gave it: a read-only settings record could never be saved again.
TEST_F(ProductInfoTest, RestoredFilesAreWritable) {
    std::string out;
    ASSERT_EQ(0, RunPeer(data_,
                         "/usr/bin/python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1],'w'); "
                         "z.writestr('Vellumor Test', b'\\x001.0.0'); i=zipfile.ZipInfo('Options.qcg'); "
                         "i.create_system=0; i.external_attr=0x21; z.writestr(i, b'new'); z.close()\" '" +
                             UnixPathOf(Pending()) + "'",
                         &out))
        << out;
    UnpackPendingRestore();
    EXPECT_EQ("new", Read("Options.qcg"));
    DWORD attributes = GetFileAttributesA(Win(PathJoin(data_, "Options.qcg")).c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_EQ(0u, attributes & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(FileExists(Pending()));
}

// A settings file that cannot be moved aside (another program holds it
// open without delete sharing): nothing changes, and the pending restore
// is dropped, never to apply over settings changed later.
TEST_F(ProductInfoTest, AFailedRestoreChangesNothingAndIsDropped) {
    std::string out;
    ASSERT_EQ(0, RunPeer(data_,
                         "/usr/bin/python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1],'w'); "
                         "z.writestr('Vellumor Test', b'\\x001.0.0'); z.writestr('Options.qcg', b'new'); "
                         "z.close()\" '" +
                             UnixPathOf(Pending()) + "'",
                         &out))
        << out;
    HANDLE held = CreateFileA(Win(PathJoin(data_, "(Mox)App.qcg")).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    UnpackPendingRestore();
    CloseHandle(held);
    EXPECT_EQ("gOpt.Old=1\r\n", Read("Options.qcg"));
    EXPECT_EQ("app record", Read("(Mox)App.qcg"));
    ASSERT_EQ(0, RunPeer(data_, "ls -A | LC_ALL=C sort", &out));
    EXPECT_EQ("(Mox)App.qcg\nOptions.qcg\nletter.doc\nphotos\n", out);  // no pending or temporary file
}

// The data folder on a disk with room for the pending restore but not for
// its files a second time: the extraction fails before anything is moved,
// so the settings stay.
TEST_F(ProductInfoTest, ARestoreOntoAFullDiskChangesNothing) {
    SmallDisk disk("info_full_restore", 512);
    if (!disk.mounted)
        GTEST_SKIP() << kNoMount;
    StrCopy(gUserDataFolder, countof(gUserDataFolder), Win(disk.dir).c_str());
    WriteFileBytes(PathJoin(disk.dir, "(Mox)App.qcg"), "app record");
    WriteFileBytes(PathJoin(disk.dir, "Options.qcg"), "gOpt.Old=1\r\n");
    std::string out;
    ASSERT_EQ(0, RunPeer(disk.dir,
                         "/usr/bin/python3 -c \"import zipfile,sys,random; r=random.Random(4); "
                         "z=zipfile.ZipFile(sys.argv[1],'w'); z.writestr('Vellumor Test', b'\\x001.0.0'); "
                         "z.writestr('Options.qcg', bytes(r.getrandbits(8) for i in range(300000))); z.close()\" '" +
                             UnixPathOf(Pending()) + "'",
                         &out))
        << out;
    UnpackPendingRestore();
    std::string options, app;
    EXPECT_TRUE(ReadFileBytes(PathJoin(disk.dir, "Options.qcg"), &options));
    EXPECT_EQ("gOpt.Old=1\r\n", options);
    EXPECT_TRUE(ReadFileBytes(PathJoin(disk.dir, "(Mox)App.qcg"), &app));
    EXPECT_EQ("app record", app);
    ASSERT_EQ(0, RunPeer(disk.dir, "ls -A | LC_ALL=C sort", &out));
    EXPECT_EQ("(Mox)App.qcg\nOptions.qcg\n", out);  // no temporary file left, the restore dropped
}
