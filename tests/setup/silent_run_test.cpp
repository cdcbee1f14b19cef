// Silent runs of the real setup program under Wine, with archives made by
// the test: the log file and exit code, the install size, "-USE=" files,
// start-up failures in the log (never a message box), planted scripts, the
// restart note, the platform checks and folders that are not absolute.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlwapi.h>

#include "setup/file_ops.h"
#include "setup_test_util.h"
#include "setup_win_test_util.h"
#include "support/test_support.h"

class SilentRun : public ::testing::Test {
  protected:
    std::string dir, inst;
    void SetUp() override {
        dir = TestFolder("silent");
        inst = dir + "\\inst";
        SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VpSilentTest");
    }
    void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\VpSilentTest"); }
    // A setup file: the setup program's image with an archive holding the
    // uninstall script, this setup script and extra records.
    std::string MakeSetup(const std::string& script, std::vector<std::pair<std::string, std::string>> extra = {},
                          const std::string& name = "setup.exe") {
        std::string image;
        EXPECT_TRUE(ReadFileBytes(WinPath(PathOfUnix(VP_SETUP_IMAGE)), &image));
        std::vector<std::pair<std::string, std::string>> records = {
            {"Uninstall.qsc", CrLf("PhaseBegin 0\nPhaseEnd\n")}};
        if (!script.empty())
            records.push_back({"Setup.qsc", CrLf(script)});
        records.insert(records.end(), extra.begin(), extra.end());
        std::string path = dir + "\\" + name;
        WriteFileBytes(path, image + ArchiveOf(records));
        return path;
    }
    RunResult Run(const std::string& exe, const std::string& args) { return RunAndAnswer(exe, args, dir); }
    std::string Read(const std::string& path) {
        std::string s;
        return ReadFileBytes(path, &s) ? s : "<missing>";
    }
    static std::string Phase0() { return "; test setup\nPhaseBegin 0\nSet #PROGRAM#, VpSilentTest\nPhaseEnd\n"; }
};

TEST_F(SilentRun, SuccessWritesTheLogAndTheInstallSize) {
    std::string setup =
        MakeSetup(Phase0() +
                      "PhaseBegin 1\nCreateDir #INSTALLPATH#\nCopyFile data.bin, #INSTALLPATH#\nPhaseEnd\n"
                      "PhaseBegin 2\n"
                      "CreateRegValDW CU, Software\\VpSilentTest, Size, #INSTALLSIZE#\n"
                      "CreateRegValSz CU, Software\\VpSilentTest, Flags, \"#EXECUTE#,#README#,#FORWHO#\"\n"
                      "PhaseEnd\n",
                  {{"data.bin", std::string(10300, 'd')}});
    RunResult r = Run(setup, "-INSTALL=\"" + inst + "\"");
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ("Setup finished successfully!\r\n", Read(dir + "\\setup.log"));
    EXPECT_EQ(10300u, Read(inst + "\\data.bin").size());
    // The size the uninstall registration shows, in kilobytes.
    EXPECT_EQ(10u, RegDword(HKEY_CURRENT_USER, "Software\\VpSilentTest", "Size"));
    EXPECT_EQ("0,0,1", RegString(HKEY_CURRENT_USER, "Software\\VpSilentTest", "Flags"));
}

TEST_F(SilentRun, AFailureIsLoggedWithItsLineAndPhaseThreeRuns) {
    std::string setup = MakeSetup(Phase0() +
                                      "PhaseBegin 1\n"
                                      "CreateDir #INSTALLPATH#\n"
                                      "Error \"disk full\"\n"  // line 7
                                      "CreateDir #INSTALLPATH#\\never\n"
                                      "PhaseEnd\n"
                                      "PhaseBegin 2\nCreateDir #INSTALLPATH#\\phase2\nPhaseEnd\n"
                                      "PhaseBegin 3\nCreateDir #INSTALLPATH#\\cleanup\nPhaseEnd\n",
                                  {}, "MySetup.exe");
    RunResult r = Run(setup, "-SILENT -INSTALL=\"" + inst + "\"");
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(29u, r.exitCode);  // the failing command's code
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(
        "A critical error (code disk full) has occurred! Setup can not continue!\r\n"
        "Please restart the computer and try again.\r\n"
        "Script line 7: Error \"disk full\"\r\n"
        "Setup failed!\r\n",
        Read(dir + "\\MySetup.log"));
    EXPECT_TRUE(FolderExists((inst + "\\cleanup").c_str()));
    EXPECT_FALSE(FolderExists((inst + "\\never").c_str()));
    EXPECT_FALSE(FolderExists((inst + "\\phase2").c_str()));
}

TEST_F(SilentRun, AFolderLeftInPlaceIsNoFailureAndUseFilesAreCopied) {
    WriteFileBytes(dir + "\\a.ini", "first");
    WriteFileBytes(dir + "\\b c.ini", "second");
    std::string setup =
        MakeSetup(Phase0() +
                      "PhaseBegin 1\nCreateDir #INSTALLPATH#\\busy\nCopyFile data.bin, #INSTALLPATH#\\busy\n"
                      "RemoveDir #INSTALLPATH#\\busy\nPhaseEnd\n",
                  {{"data.bin", "x"}});
    RunResult r = Run(setup, "-INSTALL=\"" + inst + "\" -USE=\"" + dir + "\\a.ini\" -use=\"" + dir + "\\b c.ini\"");
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_EQ("Setup finished successfully!\r\n", Read(dir + "\\setup.log"));
    EXPECT_EQ("first", Read(inst + "\\Init\\a.ini"));
    EXPECT_EQ("second", Read(inst + "\\Init\\b c.ini"));

    r = Run(setup, "-INSTALL=\"" + inst + "\" -USE=\"" + dir + "\\missing.ini\"");
    EXPECT_EQ(32u, r.exitCode);
    EXPECT_EQ(
        "Some files initialization files could not be copied.\r\n"
        "Check the Init direcory in the installation folder.\r\n"
        "Setup failed!\r\n",
        Read(dir + "\\setup.log"));

    // A file of that name in Init that no "-USE=" of this installation put
    // there is the user's: it stays, and nothing is copied.
    WriteFileBytes(inst + "\\Init\\mine.ini", "the user's");
    WriteFileBytes(dir + "\\mine.ini", "setup's");
    WriteFileBytes(dir + "\\new.ini", "new");
    r = Run(setup, "-INSTALL=\"" + inst + "\" -USE=\"" + dir + "\\new.ini\" -USE=\"" + dir + "\\mine.ini\"");
    EXPECT_EQ(32u, r.exitCode);
    EXPECT_EQ(
        "Some files initialization files could not be copied.\r\n"
        "Check the Init direcory in the installation folder.\r\n" +
            inst +
            "\\Init\\mine.ini is not one of this installation's files and was not replaced\r\n"
            "Setup failed!\r\n",
        Read(dir + "\\setup.log"));
    EXPECT_EQ("the user's", Read(inst + "\\Init\\mine.ini"));
    EXPECT_FALSE(FileExists(inst + "\\Init\\new.ini"));
}

// Every kind of damage ends the run at once with 13, no message box, and
// a log that names the damage.
TEST_F(SilentRun, DamagedSetupFilesEndAtOnceAndTheLogNamesTheDamage) {
    std::string script = Phase0() + "PhaseBegin 1\nCreateDir #INSTALLPATH#\nPhaseEnd\n";
    std::string image;
    ASSERT_TRUE(ReadFileBytes(WinPath(PathOfUnix(VP_SETUP_IMAGE)), &image));
    std::string good = ArchiveOf({{"Uninstall.qsc", "u"}, {"Setup.qsc", CrLf(script)}, {"data.bin", "0123456789"}});
    struct Case {
        const char* what;
        std::string archive;
        const char* cause;
    } cases[] = {
        {"no archive", "", "the script Setup.qsc is missing (no archive is appended)"},
        {"garbage", "<Setup Data Header>" + RandomBytes(5000, 3), nullptr},
        {"truncated", good.substr(0, good.size() - 20), "a record runs past the end of the file"},
        {"no end marker", good.substr(0, good.size() - 16), "the archive has no end marker"},
        {"duplicate names", ArchiveOf({{"Uninstall.qsc", "u"}, {"Setup.qsc", CrLf(script)}, {"SETUP.QSC", "x"}}),
         "two records have the same name"},
        {"oversized record",
         ArchiveOf({{"Uninstall.qsc", "u"}, {"Setup.qsc", CrLf(script)}}, false) + std::string("big\0\0\0\0\x40", 8) +
             "<Setup Data End>",
         "a record runs past the end of the file"},
        {"no setup script", ArchiveOf({{"Uninstall.qsc", "u"}}),
         "the script Setup.qsc is missing (not in the archive)"},
        {"no phase 0",
         ArchiveOf({{"Uninstall.qsc", "u"}, {"Setup.qsc", CrLf("PhaseBegin 1\nCreateDir #INSTALLPATH#\n")}}),
         "the script has no phase 0"},
    };
    for (const Case& c : cases) {
        std::string setup = dir + "\\bad.exe";
        WriteFileBytes(setup, image + c.archive);
        DeleteFileA((dir + "\\bad.log").c_str());
        DWORD started = GetTickCount();
        RunResult r = Run(setup, "-INSTALL=\"" + inst + "\"");
        ASSERT_TRUE(r.ended) << c.what;
        EXPECT_LT(GetTickCount() - started, 10000u) << c.what;
        EXPECT_EQ(13u, r.exitCode) << c.what;
        EXPECT_TRUE(r.boxes.empty()) << c.what << ": " << (r.boxes.empty() ? "" : r.boxes[0]);
        std::string log = Read(dir + "\\bad.log");
        std::string head =
            "A critical error has occured. Setup can not continue.\r\nMaybe the Setup file is corrupt!\r\nCause: ";
        EXPECT_EQ(0u, log.find(head)) << c.what << ": " << log;
        std::string tail = "\r\nSetup failed!\r\n";
        ASSERT_GT(log.size(), head.size() + tail.size()) << c.what;
        EXPECT_EQ(tail, log.substr(log.size() - tail.size())) << c.what;
        std::string cause = log.substr(head.size(), log.size() - head.size() - tail.size());
        if (c.cause)
            EXPECT_EQ(c.cause, cause) << c.what;
        else  // random records: one of the kinds of damage, named
            EXPECT_EQ(std::string::npos, cause.find("whole")) << c.what << ": " << cause;
        EXPECT_FALSE(FileExists(inst)) << c.what;
    }
    // Not silent: the message box names the damage too.
    std::string setup = dir + "\\bad.exe";
    WriteFileBytes(setup, image + good.substr(0, good.size() - 16));
    RunResult r = Run(setup, "");
    EXPECT_EQ(13u, r.exitCode);
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ(
        "A critical error has occured. Setup can not continue.\nMaybe the Setup file is corrupt!\n\n"
        "Cause: the archive has no end marker",
        r.boxes[0]);
}

// "-INSTALL=" and "-DATA=" must name absolute folders: anything else is
// refused before a file or a registry value is written.
TEST_F(SilentRun, FoldersThatAreNotAbsoluteAreRefused) {
    std::string setup = MakeSetup(Phase0() +
                                  "PhaseBegin 1\nCreateDir #INSTALLPATH#\n"
                                  "CreateRegValSz CU, Software\\VpSilentTest, Ran, 1\nPhaseEnd\n");
    const std::string refused =
        "You must use an absolute path (including a drive letter or network drive)!\r\nSetup failed!\r\n";
    for (const std::string& args :
         std::vector<std::string>{"-INSTALL=inst", "-INSTALL=\\inst", "-INSTALL=C:inst", "-INSTALL=.\\inst",
                                  "-INSTALL=\"" + inst + "\" -DATA=data", "-SILENT -DATA=..\\data"}) {
        DeleteFileA((dir + "\\setup.log").c_str());
        RunResult r = Run(setup, args);
        ASSERT_TRUE(r.ended) << args;
        EXPECT_EQ(35u, r.exitCode) << args;
        EXPECT_TRUE(r.boxes.empty()) << args;
        EXPECT_EQ(refused, Read(dir + "\\setup.log")) << args;
        EXPECT_FALSE(FileExists(inst)) << args;
        EXPECT_FALSE(FileExists(dir + "\\inst")) << args;
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\VpSilentTest")) << args;
    }
    // Drive letters and network paths are absolute.
    RunResult r = Run(setup, "-INSTALL=\"" + inst + "\" -DATA=\\\\server\\share\\data");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(FolderExists(inst.c_str()));
    // Without "-SILENT" the refusal is a message box.
    RemoveDirectoryA(inst.c_str());
    r = Run(setup, "-DATA=data");
    EXPECT_EQ(35u, r.exitCode);
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ("You must use an absolute path (including a drive letter or network drive)!", r.boxes[0]);
}

TEST_F(SilentRun, ALooseScriptServesOnlyWhereWorkDirPoints) {
    std::string setup = MakeSetup(Phase0() + "PhaseBegin 1\nCreateDir #INSTALLPATH#\\from-archive\nPhaseEnd\n");
    WriteFileBytes(dir + "\\Setup.qsc", CrLf(Phase0() + "PhaseBegin 1\nCreateDir #INSTALLPATH#\\planted\nPhaseEnd\n"));
    RunResult r = Run(setup, "-INSTALL=\"" + inst + "\"");  // started in the folder that holds the file
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(FolderExists((inst + "\\from-archive").c_str()));
    EXPECT_FALSE(FolderExists((inst + "\\planted").c_str()));
    r = Run(setup, "-WORKDIR=\"" + dir + "\" -INSTALL=\"" + inst + "\"");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(FolderExists((inst + "\\planted").c_str()));
}

TEST_F(SilentRun, ARestartIsNotedInTheLogOfASilentRun) {
    CreateDirectoryA(inst.c_str(), nullptr);
    std::string target = inst + "\\held.exe";
    WriteFileBytes(target, "old");
    std::string setup = MakeSetup(
        Phase0() + "PhaseBegin 1\nCopyFile new.exe, #INSTALLPATH#\\held.exe, REBOOTIFLOCKED\n", {{"new.exe", "new"}});
    HANDLE helper = StartHelper("lock \"" + target + "\" delete", true);
    ASSERT_TRUE(helper);
    RunResult r = Run(setup, "-INSTALL=\"" + inst + "\"");
    ReleaseHelper(helper);
    ASSERT_TRUE(r.ended);
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(r.boxes.empty());  // a silent run asks nothing: the restart is noted in the log
    EXPECT_EQ("new", Read(target));
    EXPECT_EQ(
        "Windows must be restarted to complete Setup. Files that were in use will be replaced then.\r\n"
        "Setup finished successfully!\r\n",
        Read(dir + "\\setup.log"));
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_ALL_ACCESS,
                      &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "PendingFileRenameOperations");
        RegCloseKey(key);
    }
}

TEST_F(SilentRun, PlatformChecksRefuseIntoTheLog) {
    std::string setup = MakeSetup(
        "PhaseBegin 0\nSet #PROGRAM#, VpSilentTest\nSet #MINOS#, 9999\nPhaseEnd\n"
        "PhaseBegin 1\nCreateDir #INSTALLPATH#\n");
    RunResult r = Run(setup, "-INSTALL=\"" + inst + "\"");
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_FALSE(FileExists(inst));
    EXPECT_EQ(
        "This version of VpSilentTest does not work on your Operating System!\r\n"
        "Please check our website for other versions.\r\nSetup failed!\r\n",
        Read(dir + "\\setup.log"));
    // #NOX64# only counts on 64-bit Windows, which Wine here is not.
    setup = MakeSetup(
        "PhaseBegin 0\nSet #PROGRAM#, VpSilentTest\nSet #NOX64#, 1\nSet #MINOS#, 510\nPhaseEnd\n"
        "PhaseBegin 1\nCreateDir #INSTALLPATH#\n");
    r = Run(setup, "-INSTALL=\"" + inst + "\"");
    EXPECT_EQ(0u, r.exitCode);
    EXPECT_TRUE(FolderExists(inst.c_str()));
}
