// The shipped uninstall script run on an installation laid out in a test
// folder: what it removes, what "keep settings" keeps, and that it deletes
// only the program's own files from a data folder the user chose.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <stdlib.h>

#include "setup/file_ops.h"
#include "setup/script.h"
#include "setup/script_vars.h"
#include "setup/setup_state.h"
#include "setup_test_util.h"
#include "setup_win_test_util.h"
#include "support/test_support.h"

class ShippedUninstall : public ::testing::Test {
  protected:
    std::string base, inst, data, common, menu;
    void SetUp() override {
        base = TestFolder("uninstall");
        inst = base + "\\Program\\Vellumor Pro";
        data = base + "\\Roaming\\Tarnwick\\Vellumor Pro";
        common = base + "\\Common\\Tarnwick\\Vellumor Pro";
        menu = base + "\\Menu\\Vellumor Pro";
        for (const std::string& f :
             {inst + "\\Vellumor Pro.exe", inst + "\\Vellumor Pro.chm", inst + "\\Uninstall.exe",
              inst + "\\Init\\start.ini", data + "\\(Mox)App.qcg", data + "\\Options.qcg", data + "\\Options.qcg_tmp",
              data + "\\MoxWriteTest.tmp", data + "\\Vellumor Pro.TarnwickConfig", common + "\\MoxWriteTest.tmp",
              menu + "\\Vellumor Pro.lnk", menu + "\\Tarnwick Website.url", base + "\\Desktop\\Vellumor Pro.lnk",
              base + "\\Startup\\Vellumor Pro.lnk"})
            Put(f);
        RegistryEntries(true);
    }
    void TearDown() override { RegistryEntries(false); }
    static void Put(const std::string& file) {
        CreateFolderWithRetries(file.substr(0, file.rfind('\\')).c_str());
        WriteFileBytes(file, "x");
    }
    static void RegistryEntries(bool make) {
        const char* uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vellumor Pro";
        HKEY key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        BYTE record[2] = {1, 0};
        if (make)
            RegSetValueExA(key, "Vellumor Pro", 0, REG_BINARY, record, sizeof record);
        else
            RegDeleteValueA(key, "Vellumor Pro");
        RegCloseKey(key);
        if (make && RegCreateKeyExA(HKEY_LOCAL_MACHINE, uninstall, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                    nullptr) == ERROR_SUCCESS)
            RegCloseKey(key);
        if (!make)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstall);
    }
    // Phases 0 and 1 of the shipped script in uninstall mode, with the
    // variables start-up would take from the record.
    int RunUninstall(const char* keep, const char* customLocation, const std::string& configPath) {
        std::string script;
        EXPECT_TRUE(ReadFileBytes(VP_SOURCE_DIR "/setup/scripts/Uninstall.qsc", &script));
        LoadCommands("");
        free(gSetup.script);
        gSetup.script = _strdup(CrLf(script).c_str());
        gSetup.mode = kModeUninstall;
        RunPhase(0, false);
        EXPECT_EQ(0, gSetup.result);
        SetVar("#INSTALLPATH#", inst.c_str());
        SetVar("#CONFIGPATH#", configPath.c_str());
        SetVar("#COMMONPATH#", common.c_str());
        SetVar("#CUSTOMLOC#", customLocation);
        SetVar("#STARTMENUDIR#", (base + "\\Menu").c_str());
        SetVar("#DESKTOPDIR#", (base + "\\Desktop").c_str());
        SetVar("#STARTUPDIRUSR#", (base + "\\Startup").c_str());
        SetVar("#INITFILES#", "start.ini");
        SetVar("#INSTALLDIRMADE#", "1");
        if (keep)
            SetVar("#KEEPCFG#", keep);
        RunPhase(1, false);
        return gSetup.result;
    }
    void ExpectProgramRemoved() {
        EXPECT_FALSE(FileExists(inst)) << "install folder";
        EXPECT_FALSE(FileExists(menu)) << "Start menu folder";
        EXPECT_FALSE(FileExists(base + "\\Desktop\\Vellumor Pro.lnk"));
        EXPECT_FALSE(FileExists(base + "\\Startup\\Vellumor Pro.lnk"));
        EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", "Vellumor Pro"));
        EXPECT_FALSE(
            RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vellumor Pro"));
    }
};

TEST_F(ShippedUninstall, RemovesTheProgramAndItsData) {
    EXPECT_EQ(0, RunUninstall(nullptr, "0", data));
    ExpectProgramRemoved();
    EXPECT_FALSE(FileExists(data));
    EXPECT_FALSE(FileExists(common));
    EXPECT_FALSE(FileExists(base + "\\Roaming\\Tarnwick"));  // the maker's folders, once empty
    EXPECT_FALSE(FileExists(base + "\\Common\\Tarnwick"));
    EXPECT_TRUE(FolderExists((base + "\\Roaming").c_str()));
}

TEST_F(ShippedUninstall, KeepSettingsKeepsTheDataFolders) {
    EXPECT_EQ(0, RunUninstall("1", "0", data));
    ExpectProgramRemoved();
    for (const char* f :
         {"(Mox)App.qcg", "Options.qcg", "Options.qcg_tmp", "MoxWriteTest.tmp", "Vellumor Pro.TarnwickConfig"})
        EXPECT_TRUE(FileExists(data + "\\" + f)) << f;
    EXPECT_TRUE(FileExists(common + "\\MoxWriteTest.tmp"));
}

TEST_F(ShippedUninstall, AChosenDataFolderLosesOnlyTheProgramsFiles) {
    std::string mine = base + "\\My Data";
    Put(mine + "\\notes.txt");
    Put(mine + "\\(Mox)App.qcg");
    Put(mine + "\\Options.qcg_tmp");
    // The folder stays (it holds the user's file): code 20, collected.
    EXPECT_EQ(kCodeRemoveDir, RunUninstall(nullptr, "1", mine));
    ExpectProgramRemoved();
    EXPECT_TRUE(FileExists(mine + "\\notes.txt"));
    EXPECT_FALSE(FileExists(mine + "\\(Mox)App.qcg"));
    EXPECT_FALSE(FileExists(mine + "\\Options.qcg_tmp"));
    EXPECT_TRUE(FolderExists(base.c_str()));  // no folder above a chosen one is touched
}

// The maker's registry key goes with the last record in it; another
// product's record keeps it.
TEST_F(ShippedUninstall, TheMakersKeyGoesWhenEmpty) {
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick");
    RegistryEntries(true);
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    BYTE other[2] = {1, 0};
    RegSetValueExA(key, "Other Product", 0, REG_BINARY, other, sizeof other);
    RegCloseKey(key);
    EXPECT_EQ(0, RunUninstall(nullptr, "0", data));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", "Vellumor Pro"));
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", "Other Product"));

    RegistryEntries(true);
    SHDeleteValueA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", "Other Product");
    EXPECT_EQ(0, RunUninstall(nullptr, "0", data));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\Tarnwick"));
}
