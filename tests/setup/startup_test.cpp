// Start-up of setup under Wine: the command line, the built-in variables,
// the defaults from the install settings record, and folder sizes.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include "setup/file_ops.h"
#include "setup/install_record.h"
#include "setup/script.h"
#include "setup/script_vars.h"
#include "setup/setup_run.h"
#include "setup/setup_state.h"
#include "setup/uninstaller.h"
#include "setup_test_util.h"
#include "setup_win_test_util.h"
#include "support/test_support.h"

static std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

class Startup : public ::testing::Test {
  protected:
    char oldFolder[MAX_PATH];
    void SetUp() override {
        GetCurrentDirectoryA(MAX_PATH, oldFolder);
        DeleteRecord();
        LoadCommands("");
    }
    void TearDown() override {
        SetCurrentDirectoryA(oldFolder);
        DeleteRecord();
    }
    static void DeleteRecord() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "VpStartTest");
            RegCloseKey(key);
        }
    }
    // Start-up as InitSetup does it after the command line: built-in
    // variables, then phase 0 of a script that names the product.
    int StartUp(const std::string& commandLine) {
        LoadCommands("");
        LoadScript(CrLf("PhaseBegin 0\nSet #PROGRAM#, VpStartTest\nPhaseEnd\n"));
        ParseSetupCommandLine(commandLine.c_str());
        InitVariables0();
        return InitVariables1();
    }
    static std::string V(const char* name) { return GetVarText(name); }
    // The four choices of the finish page.
    static void ExpectChoices(const char* value) {
        for (const char* choice : {"#SELEXECUTE#", "#SELREADME#", "#SELDESKTOP#", "#SELSTARTMENU#"})
            EXPECT_EQ(value, V(choice)) << choice;
    }
    static void ExpectShortcutFolders(bool common) {
        EXPECT_EQ(ShellFolder(common ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS), V("#STARTMENUDIR#"));
        EXPECT_EQ(ShellFolder(common ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY), V("#DESKTOPDIR#"));
        EXPECT_EQ(ShellFolder(common ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP), V("#STARTUPDIR#"));
    }
};

TEST_F(Startup, CommandLineSwitches) {
    ParseSetupCommandLine("-INSTALL=\"C:\\Program Files\\X\" -data=D:\\d,-USE=\"a.txt\" -use=\"b c.txt\", x");
    EXPECT_TRUE(gSetup.silent);
    EXPECT_FALSE(gSetup.allUsersDefault);  // "-DATA=" was given
    EXPECT_TRUE(gSetup.dataGiven);
    EXPECT_EQ("C:\\Program Files\\X", V("#INSTALLPATH#"));
    EXPECT_EQ("D:\\d", V("#CUSTOMPATH#"));
    ASSERT_EQ(2, gSetup.useCount);
    EXPECT_STREQ("a.txt", gSetup.useList[0]);
    EXPECT_STREQ("b c.txt", gSetup.useList[1]);

    // An unquoted value runs to the next comma or the end: "-SILENT" is
    // swallowed, and "-INSTALL=" alone installs for all users.
    LoadCommands("");
    ParseSetupCommandLine("-INSTALL=C:\\My Apps\\X -SILENT");
    EXPECT_EQ("C:\\My Apps\\X -SILENT", V("#INSTALLPATH#"));
    EXPECT_TRUE(gSetup.silent);
    EXPECT_TRUE(gSetup.allUsersDefault);

    LoadCommands("");
    ParseSetupCommandLine("xx-silentyy -silen -INSTALL=\"C:\\a^b\"");
    EXPECT_TRUE(gSetup.silent);
    EXPECT_EQ("C:\\a\"b", V("#INSTALLPATH#"));

    LoadCommands("");
    ParseSetupCommandLine("-SILEN");
    EXPECT_FALSE(gSetup.silent);
    EXPECT_EQ(0, gSetup.useCount);

    std::string work = TestFolder("workdir");
    LoadCommands("");
    ParseSetupCommandLine(("-WorkDir=\"" + work + "\"").c_str());
    EXPECT_TRUE(gSetup.workDirGiven);
    char now[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_STREQ(work.c_str(), now);
    LoadCommands("");
    ParseSetupCommandLine("-WORKDIR=Q:\\no\\such\\folder");
    EXPECT_FALSE(gSetup.workDirGiven);
}

TEST_F(Startup, BuiltInVariables) {
    EXPECT_EQ(kModeSetup, ModeFromTag());
    gSetup.osCode = DetectOsCode();
    InitVariables0();
    EXPECT_EQ("Setup", V("#SETUPMODE#"));
    EXPECT_EQ("\r\n", V("#CRLF#"));
    EXPECT_GE(GetVar("#EULA#", nullptr, 0), 0);
    EXPECT_EQ("", V("#EULA#"));
    EXPECT_EQ(std::to_string(gSetup.osCode), V("#OS#"));
    EXPECT_TRUE(gSetup.osCode == 510 || gSetup.osCode == 600 || gSetup.osCode == 610 || gSetup.osCode == 620 ||
                gSetup.osCode == 630);
    EXPECT_EQ("0", V("#64#"));
    char windows[MAX_PATH], system[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(windows, V("#WINDOWSDIR#"));
    EXPECT_EQ(std::string(system) + "\\Drivers", V("#DRIVERSDIR#"));
    EXPECT_EQ(ShellFolder(CSIDL_STARTUP), V("#STARTUPDIRUSR#"));
    EXPECT_EQ(ShellFolder(CSIDL_COMMON_STARTUP), V("#STARTUPDIRALL#"));
    EXPECT_EQ(ShellFolder(CSIDL_PROGRAMS), V("#STARTMENUUSR#"));
    EXPECT_EQ(ShellFolder(CSIDL_COMMON_PROGRAMS), V("#STARTMENUALL#"));
    EXPECT_EQ(ShellFolder(CSIDL_DESKTOPDIRECTORY), V("#DESKTOPDIRUSR#"));
    EXPECT_EQ(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY), V("#DESKTOPDIRALL#"));
    ExpectShortcutFolders(false);
    gSetup.allUsersDefault = true;
    InitVariables0();
    ExpectShortcutFolders(true);
    gSetup.mode = kModeUninstall;
    InitVariables0();
    EXPECT_EQ("Uninstall", V("#SETUPMODE#"));
}

TEST_F(Startup, DefaultsWithoutARecordInstallForAllUsers) {
    ASSERT_EQ(0, StartUp("-SILENT"));
    EXPECT_EQ("0.0", V("#CURVER#"));
    EXPECT_EQ("1", V("#FORWHO#"));
    EXPECT_EQ("0", V("#CUSTOMLOC#"));
    EXPECT_EQ("0", V("#INDIVIDUAL#"));
    EXPECT_EQ(ShellFolder(CSIDL_PROGRAM_FILES) + "\\VpStartTest", V("#INSTALLPATH#"));
    std::string data = ShellFolder(CSIDL_APPDATA) + "\\Tarnwick\\VpStartTest";
    EXPECT_EQ(data, V("#CUSTOMPATH#"));
    EXPECT_EQ(data, V("#CONFIGPATH#"));
    EXPECT_EQ(ShellFolder(CSIDL_COMMON_APPDATA) + "\\Tarnwick\\VpStartTest", V("#COMMONPATH#"));
    ExpectChoices("1");
    // The record will say "for all users": the shortcuts go where all
    // users see them, also without "-INSTALL=".
    ExpectShortcutFolders(true);
}

TEST_F(Startup, DataSwitchInstallsForTheUser) {
    ASSERT_EQ(0, StartUp("-INSTALL=\"C:\\Apps\\VpStartTest\" -DATA=\"C:\\Data\""));
    EXPECT_EQ("C:\\Apps\\VpStartTest", V("#INSTALLPATH#"));
    EXPECT_EQ("0", V("#FORWHO#"));
    EXPECT_EQ("1", V("#CUSTOMLOC#"));
    EXPECT_EQ("0", V("#INDIVIDUAL#"));
    EXPECT_EQ("C:\\Data", V("#CONFIGPATH#"));
    EXPECT_EQ("C:\\Data", V("#COMMONPATH#"));
    ExpectChoices("0");
    ExpectShortcutFolders(false);
}

TEST_F(Startup, ARecordSuppliesTheDefaults) {
    uint8_t record[kCbInstallRecord] = {};
    SetRecordWord(record, kRecMajor, 3);
    SetRecordWord(record, kRecMinor, 7);
    SetRecordWord(record, kRecForAllUsers, 0);
    SetRecordText(record, kRecInstallPath, "C:\\Old\\VpStartTest");
    SetRecordText(record, kRecCustomPath, "C:\\OldData");
    SetRecordWord(record, kRecChoiceReadme, 1);
    SetRecordWord(record, kRecChoiceStartMenu, 1);
    ASSERT_TRUE(WriteInstallSettings("VpStartTest", record));
    ASSERT_EQ(0, StartUp("-SILENT"));
    EXPECT_EQ("3.7", V("#CURVER#"));
    EXPECT_EQ("0", V("#FORWHO#"));
    EXPECT_EQ("C:\\Old\\VpStartTest", V("#INSTALLPATH#"));
    EXPECT_EQ("C:\\OldData", V("#CUSTOMPATH#"));
    EXPECT_EQ(ShellFolder(CSIDL_APPDATA) + "\\Tarnwick\\VpStartTest", V("#CONFIGPATH#"));  // custom flag 0
    EXPECT_EQ("0", V("#SELEXECUTE#"));
    EXPECT_EQ("1", V("#SELREADME#"));
    EXPECT_EQ("0", V("#SELDESKTOP#"));
    EXPECT_EQ("1", V("#SELSTARTMENU#"));
    ExpectShortcutFolders(false);  // as the record says: for the user

    // "-INSTALL=" without "-DATA=" keeps the installation's choice.
    ASSERT_EQ(0, StartUp("-INSTALL=C:\\New\\VpStartTest"));
    EXPECT_EQ("0", V("#FORWHO#"));
    EXPECT_EQ("C:\\New\\VpStartTest", V("#INSTALLPATH#"));
    ExpectShortcutFolders(false);
}

TEST_F(Startup, PhaseZeroMustRunForStartUpToSucceed) {
    LoadScript(CrLf("PhaseBegin 1\nPhaseEnd\n"));
    EXPECT_EQ(kCodeNoPhase, InitVariables1());
    LoadScript(CrLf("PhaseBegin 0\nSet #PROGRAM#\nPhaseEnd\n"));
    EXPECT_EQ(kCodeArgs, InitVariables1());
}

TEST_F(Startup, ACommandLineValueHoldingItsOwnNameStaysBounded) {
    ASSERT_EQ(0, StartUp("-INSTALL=\"C:\\x#INSTALLPATH#\""));
    char text[kCchArg] = "#INSTALLPATH#\\Vellumor Pro.exe";
    SubstituteVars(text, countof(text));
    std::string s = text;
    EXPECT_EQ(0u, s.find("C:\\xC:\\xC:\\x"));
    EXPECT_LE(s.size(), 519u);
    EXPECT_NE(std::string::npos, s.find("#INSTALLPATH#"));  // left where the depth limit stopped it
}
