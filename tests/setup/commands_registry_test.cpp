// The registry commands and the install settings record under Wine.
#include <windows.h>
#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "setup/install_record.h"
#include "setup/script.h"
#include "setup/script_vars.h"
#include "setup/setup_state.h"
#include "setup_win_test_util.h"

static const char kKey[] = "Software\\VpSetupTest";

class RegistryCommands : public ::testing::Test {
  protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        SHDeleteKeyA(HKEY_CURRENT_USER, kKey);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "VpSetupTest");
            RegCloseKey(key);
        }
    }
};

TEST_F(RegistryCommands, WriteValuesUnderEachRoot) {
    EXPECT_EQ(0, RunCommands("CreateRegValSz \"LM\", \"Software\\VpSetupTest\\Sub\", \"Name\", \"Vellumor Pro\"\n"
                             "CreateRegValSz hkey_current_user, Software\\VpSetupTest, Text, \"a, b\"\n"
                             "CreateRegValSz cu, Software\\VpSetupTest, Empty, \"\"\n"
                             "CreateRegValDW HKEY_LOCAL_MACHINE, Software\\VpSetupTest, Big, 4294967295\n"
                             "CreateRegValDW CU, Software\\VpSetupTest, Size, #INSTALLSIZE#\n"
                             "CreateRegValDW CU, Software\\VpSetupTest, One, 1, x64\n"));
    EXPECT_EQ("Vellumor Pro", RegString(HKEY_LOCAL_MACHINE, "Software\\VpSetupTest\\Sub", "Name"));
    EXPECT_EQ("a, b", RegString(HKEY_CURRENT_USER, kKey, "Text"));
    EXPECT_EQ("", RegString(HKEY_CURRENT_USER, kKey, "Empty"));
    EXPECT_EQ(0xFFFFFFFFu, RegDword(HKEY_LOCAL_MACHINE, kKey, "Big"));
    EXPECT_EQ(0u, RegDword(HKEY_CURRENT_USER, kKey, "Size"));  // an undefined variable reads as 0
    EXPECT_EQ(1u, RegDword(HKEY_CURRENT_USER, kKey, "One"));   // "x64" on 32-bit Windows: the program's view
    EXPECT_EQ(kCodeRegSz, RunCommands("CreateRegValSz HKCU, Software\\VpSetupTest, A, b\n"));
    EXPECT_EQ(kCodeRegDw, RunCommands("CreateRegValDW HKLM, Software\\VpSetupTest, A, 1\n"));
    EXPECT_EQ(kCodeArgs, RunCommands("CreateRegValSz CU, Software\\VpSetupTest, A\n"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kKey, "A"));
}

TEST_F(RegistryCommands, FailedWritesAreReported) {
    // A key name of more than 255 characters cannot be created, nor can a
    // lasting key below a volatile one.
    std::string longKey = std::string("Software\\VpSetupTest\\") + std::string(300, 'k');
    EXPECT_EQ(kCodeRegSz, RunCommands("CreateRegValSz CU, " + longKey + ", A, b\n"));
    EXPECT_EQ(kCodeRegDw, RunCommands("CreateRegValDW CU, " + longKey + ", A, 1\n"));
    HKEY vol;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\VpSetupTest\\Volatile", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &vol, nullptr));
    RegCloseKey(vol);
    EXPECT_EQ(kCodeRegSz, RunCommands("CreateRegValSz CU, Software\\VpSetupTest\\Volatile\\Child, A, b\n"));
    EXPECT_EQ(0, RunCommands("CreateRegValSz CU, Software\\VpSetupTest\\Volatile, A, b\n"));
}

TEST_F(RegistryCommands, DeleteKeysAndValues) {
    RunCommands(
        "CreateRegValSz CU, Software\\VpSetupTest\\a\\b\\c, V, 1\n"
        "CreateRegValSz CU, Software\\VpSetupTest, Keep, 1\n"
        "CreateRegValSz CU, Software\\VpSetupTest, Gone, 1\n");
    EXPECT_EQ(0, RunCommands("DeleteRegVal CU, Software\\VpSetupTest, Gone\n"
                             "DeleteRegVal CU, Software\\VpSetupTest, NeverWas\n"
                             "DeleteRegVal CU, Software\\NoSuchKey, X\n"
                             "DeleteRegKey CU, Software\\VpSetupTest\\a\n"
                             "DeleteRegKey CU, Software\\NoSuchKey\n"));
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kKey, "Gone"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, "Keep"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\VpSetupTest\\a"));  // with its sub-keys
    EXPECT_EQ(kCodeDeleteRegKey, RunCommands("DeleteRegKey XX, Software\\VpSetupTest\n"));
    EXPECT_EQ(kCodeDeleteRegVal, RunCommands("DeleteRegVal XX, Software\\VpSetupTest, Keep\n"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kKey));

    // "IFEMPTY": the key goes only when it holds neither values nor keys.
    EXPECT_EQ(0, RunCommands("DeleteRegKey CU, Software\\VpSetupTest,, IFEMPTY\n"));
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, "Keep"));
    RunCommands("DeleteRegVal CU, Software\\VpSetupTest, Keep\nCreateRegValSz CU, Software\\VpSetupTest\\sub, V, 1\n");
    EXPECT_EQ(0, RunCommands("DeleteRegKey CU, Software\\VpSetupTest,, ifempty\n"));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, "Software\\VpSetupTest\\sub"));
    RunCommands("DeleteRegKey CU, Software\\VpSetupTest\\sub\n");
    EXPECT_EQ(0, RunCommands("DeleteRegKey CU, Software\\VpSetupTest,, IFEMPTY\n"
                             "DeleteRegKey CU, Software\\NoSuchKey,, IFEMPTY\n"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey));
}

static std::string Text(const uint8_t* record, int offset) {
    char text[kCchRecordText];
    RecordText(record, offset, text);
    return text;
}

TEST_F(RegistryCommands, CreateSetupInfoWritesTheRecord) {
    LoadCommands("CreateSetupInfo VpSetupTest, 4.13.0\n");
    SetVar("#PROGRAM#", "VpSetupTest");
    SetVar("#CUSTOMLOC#", "1");
    SetVar("#INDIVIDUAL#", "0");
    SetVar("#INSTALLPATH#", "C:\\Program Files\\VpSetupTest");
    SetVar("#CUSTOMPATH#", "C:\\Data\\VpSetupTest");
    SetVar("#VERURL#", "http://example/version.txt");
    RunPhase(1, false);
    EXPECT_EQ(0, gSetup.result);
    uint8_t record[kCbInstallRecord];
    ASSERT_TRUE(ReadInstallSettings("VpSetupTest", record));
    EXPECT_EQ(4, RecordWord(record, kRecMajor));
    EXPECT_EQ(13, RecordWord(record, kRecMinor));
    EXPECT_EQ(-1, RecordWord(record, kRecForAllUsers));  // #FORWHO# undefined
    EXPECT_EQ(1, RecordWord(record, kRecCustomFolder));
    EXPECT_EQ(0, RecordWord(record, kRecPerUser));
    EXPECT_EQ("C:\\Program Files\\VpSetupTest", Text(record, kRecInstallPath));
    EXPECT_EQ("C:\\Data\\VpSetupTest", Text(record, kRecCustomPath));
    EXPECT_EQ("http://example/version.txt", Text(record, kRecVersionUrl));
    EXPECT_EQ("", Text(record, kRecDownloadUrl));
    EXPECT_EQ(0, RecordWord(record, kRecChoiceStartMenu));
    EXPECT_STREQ("C:\\Data\\VpSetupTest", GetVarText("#CONFIGPATH#"));  // the custom folder
    EXPECT_STREQ("C:\\Data\\VpSetupTest", GetVarText("#COMMONPATH#"));
    DWORD type, cb = 0;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, KEY_READ, &key));
    RegQueryValueExA(key, "VpSetupTest", nullptr, &type, nullptr, &cb);
    RegCloseKey(key);
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ((DWORD)kCbInstallRecord, cb);
}

TEST_F(RegistryCommands, LongFolderTextsAreCutToTheirFields) {
    LoadCommands("CreateSetupInfo VpSetupTest, 2.5\n");
    std::string longPath = "C:\\" + std::string(400, 'p');
    SetVar("#PROGRAM#", "VpSetupTest");
    SetVar("#INSTALLPATH#", longPath.c_str());
    SetVar("#CUSTOMPATH#", "C:\\custom");
    SetVar("#DLDURL#", ("http://" + std::string(300, 'u')).c_str());
    RunPhase(1, false);
    ASSERT_EQ(0, gSetup.result);
    uint8_t record[kCbInstallRecord];
    ASSERT_TRUE(ReadInstallSettings("VpSetupTest", record));
    EXPECT_EQ(longPath.substr(0, 259), Text(record, kRecInstallPath));
    EXPECT_EQ(0, record[kRecInstallPath + 259]);
    EXPECT_EQ("C:\\custom", Text(record, kRecCustomPath));  // the next field is intact
    EXPECT_EQ(259u, Text(record, kRecDownloadUrl).size());
    EXPECT_EQ(0, RecordWord(record, kRecChoiceExecute));  // nothing ran into the choices
    EXPECT_EQ(2, RecordWord(record, kRecMajor));
    EXPECT_EQ(5, RecordWord(record, kRecMinor));
}

TEST_F(RegistryCommands, RecordReadingAndTheDataFolderRule) {
    uint8_t record[kCbInstallRecord] = {};
    SetRecordText(record, kRecCustomPath, "C:\\Custom");
    SetRecordWord(record, kRecCustomFolder, 1);
    SetRecordWord(record, kRecPerUser, 1);
    ASSERT_TRUE(WriteInstallSettings("VpSetupTest", record));
    char path[kCchRecordText] = "unchanged";
    char user[257];
    DWORD cch = sizeof user;
    GetUserNameA(user, &cch);
    ASSERT_TRUE(GetConfigPath("VpSetupTest", path));
    EXPECT_EQ(std::string("C:\\Custom\\") + user, path);  // a sub-folder per user
    ASSERT_TRUE(GetCommonDataPath("VpSetupTest", path));
    EXPECT_STREQ("C:\\Custom", path);

    SetRecordWord(record, kRecCustomFolder, 0);
    WriteInstallSettings("VpSetupTest", record);
    char appData[MAX_PATH], common[MAX_PATH];
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common);
    ASSERT_TRUE(GetConfigPath("VpSetupTest", path));
    EXPECT_EQ(std::string(appData) + "\\Tarnwick\\VpSetupTest", path);
    ASSERT_TRUE(GetCommonDataPath("VpSetupTest", path));
    EXPECT_EQ(std::string(common) + "\\Tarnwick\\VpSetupTest", path);

    SetRecordWord(record, kRecCustomFolder, 2);
    WriteInstallSettings("VpSetupTest", record);
    StrCopy(path, countof(path), "unchanged");
    EXPECT_FALSE(GetConfigPath("VpSetupTest", path));
    EXPECT_STREQ("unchanged", path);

    // A first word other than 1 is no record; a short value fills the front.
    HKEY key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, KEY_ALL_ACCESS, &key);
    uint8_t invalid[kCbInstallRecord] = {};
    RegSetValueExA(key, "VpSetupTest", 0, REG_BINARY, invalid, sizeof invalid);
    EXPECT_FALSE(ReadInstallSettings("VpSetupTest", record));
    uint8_t shortRecord[30] = {1, 0};
    shortRecord[kRecMajor] = 3;
    RegSetValueExA(key, "VpSetupTest", 0, REG_BINARY, shortRecord, sizeof shortRecord);
    RegCloseKey(key);
    memset(record, 0xAB, sizeof record);
    EXPECT_TRUE(ReadInstallSettings("VpSetupTest", record));
    EXPECT_EQ(3, RecordWord(record, kRecMajor));
    EXPECT_EQ(0, RecordWord(record, kRecChoiceStartMenu));
    EXPECT_FALSE(ReadInstallSettings("VpNoSuchProduct", record));
}
