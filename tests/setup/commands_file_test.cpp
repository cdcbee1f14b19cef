// The file and folder commands under Wine: CreateDir, CopyFile (folders,
// retries, SILENT, REBOOTIFLOCKED with a running program holding the file),
// CreateLink, ChangeNotify, CopyUninstall, DeleteFile, RemoveDir, PatchFile.
#include <windows.h>
#include <gtest/gtest.h>
#include <objidl.h>
#include <shlobj.h>

#include "setup/archive.h"
#include "setup/file_ops.h"
#include "setup/script.h"
#include "setup/script_vars.h"
#include "setup/setup_state.h"
#include "setup/uninstaller.h"
#include "setup_test_util.h"
#include "setup_win_test_util.h"
#include "support/test_support.h"

class FileCommands : public ::testing::Test {
  protected:
    std::string dir;
    std::string module;  // the running program's file for the next runs
    void SetUp() override { dir = TestFolder("files"); }
    void TearDown() override { CloseSetupArchive(); }
    // Runs lines with #D# set to the test folder.
    int Run(const std::string& lines) {
        LoadCommands(lines);
        StrCopy(gSetup.modulePath, countof(gSetup.modulePath), module.c_str());
        SetVar("#D#", dir.c_str());
        RunPhase(1, false);
        return gSetup.result;
    }
    std::string Read(const std::string& path) {
        std::string s;
        return ReadFileBytes(path, &s) ? s : "<missing>";
    }
    // The test program file with an archive of these records.
    void UseArchive(const std::vector<std::pair<std::string, std::string>>& records) {
        std::string path = dir + "\\prog.exe";
        WriteFileBytes(path, "MZ image" + ArchiveOf(records));
        module = path;
    }
};

TEST_F(FileCommands, CreateDirMakesEveryLevel) {
    EXPECT_EQ(0, Run("CreateDir \"#D#\\a\\b c\\d\"\nCreateDir #D#\\a\n"));
    EXPECT_TRUE(FolderExists((dir + "\\a\\b c\\d").c_str()));
    EXPECT_EQ(kCodeCreateDir, Run("CreateDir \"\"\n"));
    WriteFileBytes(dir + "\\file", "x");
    EXPECT_EQ(kCodeCreateDir, Run("CreateDir #D#\\file\\sub\n"));  // a file stands in the way
}

TEST_F(FileCommands, CopyFileIntoFoldersAndWithOptions) {
    std::string source = dir + "\\src.txt";
    WriteFileBytes(source, "payload");
    CreateDirectoryA((dir + "\\to").c_str(), nullptr);
    EXPECT_EQ(0, Run("CopyFile #D#\\src.txt, #D#\\to\n"));  // into the folder under the source's name
    EXPECT_EQ("payload", Read(dir + "\\to\\src.txt"));
    EXPECT_EQ(0, Run("CopyFile #D#\\src.txt, #D#\\renamed.txt\n"));
    EXPECT_EQ("payload", Read(dir + "\\renamed.txt"));
    // A missing source: 17; with SILENT 0 when the target exists, else 8.
    EXPECT_EQ(kCodeRecord, Run("CopyFile #D#\\none.txt, #D#\\renamed.txt\n"));
    EXPECT_EQ(0, Run("CopyFile #D#\\none.txt, #D#\\renamed.txt, silent\n"));
    EXPECT_EQ(kCodeWriteFile, Run("CopyFile #D#\\none.txt, #D#\\new.txt, SILENT\n"));
    EXPECT_EQ(kCodeArgs, Run("CopyFile #D#\\src.txt\n"));
}

static DWORD WINAPI ReleaseLater(void* process) {
    Sleep(600);
    ReleaseHelper((HANDLE)process);
    return 0;
}

TEST_F(FileCommands, CopyFileRetriesWithinTryTime) {
    std::string target = dir + "\\held.txt";
    WriteFileBytes(target, "old");
    WriteFileBytes(dir + "\\src.txt", "new");
    HANDLE helper = StartHelper("lock \"" + target + "\" none", true);
    ASSERT_TRUE(helper);
    // Without #TRYTIME# one attempt: a sharing violation becomes 8.
    EXPECT_EQ(kCodeWriteFile, Run("CopyFile #D#\\src.txt, #D#\\held.txt\n"));
    HANDLE releaser = CreateThread(nullptr, 0, ReleaseLater, helper, 0, nullptr);
    EXPECT_EQ(0, Run("Set #TRYTIME#, 5000\nCopyFile #D#\\src.txt, #D#\\held.txt\n"));
    WaitForSingleObject(releaser, 10000);
    CloseHandle(releaser);
    EXPECT_EQ("new", Read(target));
}

// The value that lists files to delete at the next restart.
static std::string PendingRenames() {
    HKEY key;
    std::string data;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_ALL_ACCESS,
                      &key) != ERROR_SUCCESS)
        return data;
    DWORD cb = 0, type;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &cb) == ERROR_SUCCESS) {
        data.resize(cb);
        RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, (BYTE*)&data[0], &cb);
        RegDeleteValueA(key, "PendingFileRenameOperations");
    }
    RegCloseKey(key);
    for (char& c : data)
        if (!c)
            c = '|';
    return data;
}

TEST_F(FileCommands, RebootIfLockedReplacesAFileARunningProgramHolds) {
    std::string target = dir + "\\Vellumor Pro.exe";
    WriteFileBytes(target, "old program");
    WriteFileBytes(dir + "\\Vellumor Pro.new", "new program");
    PendingRenames();
    // The running program's file may be renamed but not written, as a
    // loaded program's file is held.
    HANDLE helper = StartHelper("lock \"" + target + "\" delete", true);
    ASSERT_TRUE(helper);
    EXPECT_EQ(0, Run("CopyFile \"#D#\\Vellumor Pro.new\", \"#D#\\Vellumor Pro.exe\", RebootIfLocked\n"));
    EXPECT_TRUE(gSetup.rebootNeeded);
    EXPECT_EQ("new program", Read(target));
    EXPECT_EQ("old program", Read(target + ".bak"));
    EXPECT_NE(std::string::npos, PendingRenames().find("Vellumor Pro.exe.bak"));
    ReleaseHelper(helper);

    // Held without any sharing the file cannot even be moved aside: 8, and
    // no restart is asked for.
    helper = StartHelper("lock \"" + target + "\" none", true);
    ASSERT_TRUE(helper);
    EXPECT_EQ(kCodeWriteFile, Run("CopyFile \"#D#\\Vellumor Pro.new\", \"#D#\\Vellumor Pro.exe\", REBOOTIFLOCKED\n"));
    EXPECT_FALSE(gSetup.rebootNeeded);
    EXPECT_EQ("", PendingRenames());
    ReleaseHelper(helper);
}

// Path, arguments and icon file of a shell link, read back through IShellLink.
static std::string ReadLink(const std::string& path) {
    CoInitialize(nullptr);
    std::string out = "<unreadable>";
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) && SUCCEEDED(file->Load(wide, STGM_READ))) {
        char target[MAX_PATH] = "", args[MAX_PATH] = "", icon[MAX_PATH] = "";
        int index = -1;
        link->GetPath(target, MAX_PATH, nullptr, 0);
        link->GetArguments(args, MAX_PATH);
        link->GetIconLocation(icon, MAX_PATH, &index);
        out = std::string(target) + "|" + args + "|" + icon + "|" + std::to_string(index);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return out;
}

TEST_F(FileCommands, CreateLinkMakesShellAndWebLinks) {
    std::string target = dir + "\\prog.exe";
    WriteFileBytes(target, "MZ");
    WriteFileBytes(dir + "\\icon.ico", "ico");
    EXPECT_EQ(0, Run("CreateLink #D#\\prog.exe, \"#D#\\Start Menu\\New Folder\\Prog\", \"-a b\", #D#\\icon.ico\n"
                     "CreateLink #D#\\prog.exe, #D#\\Plain\n"
                     "CreateLink http://www.tarnwick.example/, \"#D#\\Links\\Site\"\n"
                     "CreateLink HTTPS://secure.example/x, #D#\\Secure\n"));
    EXPECT_EQ(target + "|-a b|" + dir + "\\icon.ico|0", ReadLink(dir + "\\Start Menu\\New Folder\\Prog.lnk"));
    EXPECT_EQ(target + "||" + target + "|0", ReadLink(dir + "\\Plain.lnk"));  // the icon defaults to the target
    EXPECT_EQ("[InternetShortcut]\r\nURL=http://www.tarnwick.example/", Read(dir + "\\Links\\Site.url"));
    EXPECT_EQ("[InternetShortcut]\r\nURL=HTTPS://secure.example/x", Read(dir + "\\Secure.url"));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    EXPECT_FALSE(FileExists(std::string(temp) + "Temp.lnk"));  // the temporary link is gone
    EXPECT_EQ(kCodeCreateLink, Run("CreateLink #D#\\prog.exe, \"#D#\\bad<name\"\n"));
    EXPECT_EQ(0, Run("ChangeNotify #D#\n"));
}

TEST_F(FileCommands, DeleteFileAndRemoveDir) {
    for (const char* name : {"a.qcg", "b.qcg", "keep.txt"})
        WriteFileBytes(dir + "\\" + name, "x");
    CreateDirectoryA((dir + "\\sub.qcg").c_str(), nullptr);
    EXPECT_EQ(0, Run("DeleteFile #D#\\*.qcg\n"));
    EXPECT_FALSE(FileExists(dir + "\\a.qcg"));
    EXPECT_FALSE(FileExists(dir + "\\b.qcg"));
    EXPECT_TRUE(FileExists(dir + "\\keep.txt"));
    EXPECT_TRUE(FolderExists((dir + "\\sub.qcg").c_str()));  // folders are not deleted
    EXPECT_EQ(kCodeRemoveDir, Run("RemoveDir #D#\n"));       // not empty
    EXPECT_EQ(0, Run("RemoveDir #D#, silent\n"));            // shared folders: no failure
    EXPECT_TRUE(FolderExists(dir.c_str()));
    // A drive's root is never removed, and that is no failure.
    EXPECT_EQ(0, Run("RemoveDir C:\\\nRemoveDir C:\n"));
    EXPECT_TRUE(FolderExists("C:\\"));
    EXPECT_EQ(0, Run("RemoveDir #D#\\sub.qcg\nRemoveDir #D#\\never\n"));
    EXPECT_FALSE(FolderExists((dir + "\\sub.qcg").c_str()));

    // A file held open stays, and DeleteFile still succeeds (after its second
    // of attempts).
    std::string held = dir + "\\held.txt";
    HANDLE helper = StartHelper("lock \"" + held + "\" none", true);
    WriteFileBytes(dir + "\\other.txt", "x");
    DWORD start = GetTickCount();
    EXPECT_EQ(0, Run("DeleteFile #D#\\*.*, keep.txt|HELD.TXT\n"));
    EXPECT_GE(GetTickCount() - start, 900u);
    EXPECT_TRUE(FileExists(held));
    EXPECT_FALSE(FileExists(dir + "\\keep.txt"));
    EXPECT_TRUE(FileExists(dir + "\\other.txt"));
    ReleaseHelper(helper);
    EXPECT_EQ(0, Run("DeleteFile #D#\\*.*\nRemoveDir #D#\n"));
    EXPECT_FALSE(FolderExists((dir).c_str()));
}

// Every spelling of a folder has one normal form, and SameFolder compares
// those: an install recorded in one spelling is the uninstaller's folder in
// another.
TEST_F(FileCommands, FolderSpellingsHaveOneNormalForm) {
    std::string folder = dir + "\\Long Folder Name";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    char shortName[MAX_PATH] = "";
    ASSERT_NE(0u, GetShortPathNameA(folder.c_str(), shortName, MAX_PATH));
    ASSERT_NE(folder, shortName);
    const std::pair<std::string, std::string> cases[] = {
        {dir + "\\sub\\..\\Long Folder Name", folder},
        {dir + "\\.\\Long Folder Name\\", folder},
        {folder + ".", folder},
        {folder + ". \\", folder},
        {folder + " ", folder},
        {shortName, folder},
        {std::string(shortName) + "\\new\\..\\not yet", folder + "\\not yet"},  // long names where it exists
        {"C:\\Apps\\..\\..\\", "C:\\"},
    };
    for (const auto& c : cases) {
        char normal[kCchPath2] = "";
        EXPECT_TRUE(NormalFolder(c.first.c_str(), normal, countof(normal))) << c.first;
        EXPECT_EQ(c.second, normal) << c.first;
        EXPECT_TRUE(SameFolder(c.first.c_str(), c.second.c_str())) << c.first;
    }
    EXPECT_FALSE(SameFolder(shortName, (folder + "\\..").c_str()));
}

TEST_F(FileCommands, PatchFileNamesTheTargetAfterTheSource) {
    std::string patch = std::string("\x02\0\0\0\x02\0\0\0ZZ", 10);
    UseArchive({{"Uninstall.qsc", "u"}, {"tool.exe", "abcdef"}, {"tool.pat", patch}});
    CreateDirectoryA((dir + "\\out").c_str(), nullptr);
    EXPECT_EQ(0, Run("PatchFile tool.exe, tool.pat, #D#\\out\n"));
    EXPECT_EQ("abZZef", Read(dir + "\\out\\tool.exe"));
    EXPECT_EQ(kCodePatch, Run("PatchFile tool.exe, none.pat, #D#\\out\n"));
    EXPECT_EQ(kCodeArgs, Run("PatchFile tool.exe, tool.pat\n"));
}

// The data of a group-icon resource of a program file ("" when missing).
static std::string GroupIcon(const std::string& file, int id) {
    HMODULE m = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC r = m ? FindResourceA(m, MAKEINTRESOURCEA(id), (LPCSTR)RT_GROUP_ICON) : nullptr;
    HGLOBAL g = r ? LoadResource(m, r) : nullptr;
    std::string data = g ? std::string((const char*)LockResource(g), SizeofResource(m, r)) : "";
    if (m)
        FreeLibrary(m);
    return data;
}

TEST_F(FileCommands, CopyUninstallBuildsTheUninstallerFromTheSetupFile) {
    module = WinPath(PathOfUnix(VP_SETUP_EXE));
    ASSERT_EQ(0, Run("CopyUninstall \"#D#\\Uninstall.exe\"\n"));
    std::string setup, copy, script;
    ASSERT_TRUE(ReadFileBytes(WinPath(VP_SETUP_EXE), &setup));
    ASSERT_TRUE(ReadFileBytes(dir + "\\Uninstall.exe", &copy));
    ASSERT_TRUE(ReadFileBytes(VP_SOURCE_DIR "/setup/scripts/Uninstall.qsc", &script));
    // The image, the header, the uninstall script and the trailer; the mode
    // tag switched in its one place.
    auto count = [](const std::string& s, const std::string& what) {
        size_t n = 0;
        for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
            n++;
        return n;
    };
    EXPECT_EQ(1u, count(setup, "SetupMode:Setup"));
    EXPECT_EQ(0u, count(setup, "SetupMode:Unins"));
    EXPECT_EQ(0u, count(copy, "SetupMode:Setup"));
    EXPECT_EQ(1u, count(copy, "SetupMode:Unins"));
    // The archive stands once, at the end, although the resource update
    // kept what stood behind the image (as Wine's does).
    size_t header = copy.find("<Setup Data Header>");
    ASSERT_NE(std::string::npos, header);
    EXPECT_EQ(1u, count(copy, "<Setup Data Header>"));
    EXPECT_EQ(copy.size(), header + 19 + ArchiveRecord("Uninstall.qsc", CrLf(script)).size() + 16);
    // The program icon of the copy is the uninstall icon of the setup file.
    EXPECT_EQ(GroupIcon(WinPath(VP_SETUP_EXE), 102), GroupIcon(dir + "\\Uninstall.exe", 101));
    EXPECT_NE(GroupIcon(WinPath(VP_SETUP_EXE), 101), GroupIcon(dir + "\\Uninstall.exe", 101));
    EXPECT_FALSE(GroupIcon(WinPath(VP_SETUP_EXE), 102).empty());
    const uint8_t* bytes = (const uint8_t*)copy.data();
    size_t start;
    ASSERT_TRUE(ArchiveFindHeader(bytes, copy.size(), &start));
    EXPECT_EQ(kArchiveOk, ArchiveCheck(bytes, copy.size(), start, nullptr));

    // A setup file whose first record is not the uninstall script gives none.
    UseArchive({{"Setup.qsc", "s"}, {"Uninstall.qsc", "u"}});
    EXPECT_EQ(kCodeWriteFile, Run("CopyUninstall #D#\\Other.exe\n"));
    EXPECT_FALSE(FileExists(dir + "\\Other.exe"));
}
