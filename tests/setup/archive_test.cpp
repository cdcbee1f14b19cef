// Fetching records from a program file with an archive, loose files in
// their place, sharing violations and patches (under Wine).
#include "setup/archive.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "setup/script.h"
#include "setup/setup_state.h"
#include "setup_test_util.h"
#include "setup_win_test_util.h"
#include "support/test_support.h"

class SetupArchive : public ::testing::Test {
  protected:
    std::string dir;
    std::string image, archiveBytes;
    void SetUp() override {
        dir = TestFolder("archive");
        LoadCommands("");
        image = std::string("MZ\x90 a program image\0with zeros", 29);
    }
    void TearDown() override { CloseSetupArchive(); }
    // Writes image + archive as the running program's file.
    void UseProgram(const std::string& archive) {
        archiveBytes = archive;
        CloseSetupArchive();
        std::string path = dir + "\\prog.exe";
        ASSERT_TRUE(WriteFileBytes(path, image + archive));
        StrCopy(gSetup.modulePath, countof(gSetup.modulePath), path.c_str());
    }
    std::string Read(const std::string& name) {
        std::string s;
        ReadFileBytes(name, &s);
        return s;
    }
};

TEST_F(SetupArchive, ThreeWaysToFetchARecord) {
    UseProgram(ArchiveOf({{"Uninstall.qsc", "uninstall script"}, {"Setup.qsc", "setup script"}, {"Empty", ""}}));
    EXPECT_EQ(kArchiveOk, OpenSetupArchive());
    char* buffer = nullptr;
    DWORD length = 0;
    EXPECT_EQ(0, ReadArchiveRecord("setup.QSC", nullptr, kRecordToMemory, &buffer, &length, 3));
    ASSERT_TRUE(buffer);
    EXPECT_EQ(12u, length);
    EXPECT_EQ(std::string("setup script\0\0\0", 15), std::string(buffer, 15));
    free(buffer);

    std::string target = dir + "\\out.txt";
    EXPECT_EQ(0, ReadArchiveRecord("Setup.qsc", target.c_str(), kRecordToFile, nullptr, nullptr, 0));
    EXPECT_EQ("setup script", Read(target));
    EXPECT_EQ(0, ReadArchiveRecord("Empty", target.c_str(), kRecordToFile, nullptr, nullptr, 0));
    EXPECT_EQ("", Read(target));
    // The program up to the end of a record: the uninstaller's start.
    EXPECT_EQ(0, ReadArchiveRecord("Uninstall.qsc", target.c_str(), kRecordProgramPrefix, nullptr, nullptr, 0));
    EXPECT_EQ(image + "<Setup Data Header>" + ArchiveRecord("Uninstall.qsc", "uninstall script"), Read(target));

    EXPECT_EQ(kCodeRecord, ReadArchiveRecord("Missing", target.c_str(), kRecordToFile, nullptr, nullptr, 0));
    EXPECT_EQ(kCodeRecord, ReadArchiveRecord("Missing", nullptr, kRecordToMemory, &buffer, &length, 1));
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(kCodeWriteFile, ReadArchiveRecord("Setup.qsc", (dir + "\\no\\such\\folder\\x").c_str(), kRecordToFile,
                                                nullptr, nullptr, 0));
    char first[kCchRecordName];
    ASSERT_TRUE(FirstArchiveRecordName(first));
    EXPECT_STREQ("Uninstall.qsc", first);
}

TEST_F(SetupArchive, DamagedOrMissingArchivesServeNothing) {
    struct Case {
        const char* what;
        std::string archive;
        int state;
    } cases[] = {
        {"no archive", "", kArchiveAbsent},
        {"garbage", "<Setup Data Header>" + RandomBytes(3000, 7), -1},
        {"truncated", ArchiveOf({{"Setup.qsc", "s"}, {"Big", std::string(500, 'b')}}).substr(0, 60),
         kArchiveRecordPastEnd},
        {"no end marker", ArchiveOf({{"Setup.qsc", "s"}}, false), kArchiveNoTrailer},
        {"duplicate names", ArchiveOf({{"Setup.qsc", "s"}, {"setup.qsc", "t"}}), kArchiveDuplicate},
        {"oversized record",
         "<Setup Data Header>" + ArchiveRecord("Setup.qsc", "s") + std::string("Big\0\xFF\xFF\xFF\x0F", 8) +
             "<Setup Data End>",
         kArchiveRecordPastEnd},
    };
    for (const Case& c : cases) {
        UseProgram(c.archive);
        int state = OpenSetupArchive();
        if (c.state >= 0) {
            EXPECT_EQ(c.state, state) << c.what << ": " << ArchiveStateText(state);
        }
        EXPECT_NE(kArchiveOk, state) << c.what;
        DWORD length;
        EXPECT_EQ(nullptr, LoadFileOrRecord("Setup.qsc", &length, 1)) << c.what;
        EXPECT_EQ(kCodeRecord, CopyFileOrRecord("Setup.qsc", (dir + "\\x").c_str())) << c.what;
        EXPECT_FALSE(FileExists(dir + "\\x")) << c.what;
    }
    StrCopy(gSetup.modulePath, countof(gSetup.modulePath), (dir + "\\missing.exe").c_str());
    CloseSetupArchive();
    EXPECT_EQ(kArchiveUnreadable, OpenSetupArchive());
}

TEST_F(SetupArchive, LooseFilesOnlyWhereSetupWasPointed) {
    UseProgram(ArchiveOf({{"Uninstall.qsc", "u"}, {"Vellumor Pro.exe", "from the archive"}}));
    std::string loose = TestFolder("loose");
    WriteFileBytes(loose + "\\Vellumor Pro.exe", "a loose file");
    char old[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, old);
    SetCurrentDirectoryA(loose.c_str());
    std::string target = dir + "\\copy.exe";
    DWORD length;

    gSetup.looseFiles = false;  // elevated, no "-WORKDIR=": the record serves
    EXPECT_EQ(0, CopyFileOrRecord("Vellumor Pro.exe", target.c_str()));
    EXPECT_EQ("from the archive", Read(target));
    char* text = LoadFileOrRecord("vellumor pro.exe", &length, 0);
    EXPECT_EQ("from the archive", std::string(text, length));
    free(text);

    gSetup.looseFiles = true;  // "-WORKDIR=" named this folder
    EXPECT_EQ(0, CopyFileOrRecord("Vellumor Pro.exe", target.c_str()));
    EXPECT_EQ("a loose file", Read(target));
    text = LoadFileOrRecord("Vellumor Pro.exe", &length, 1);
    EXPECT_EQ(std::string("a loose file\0", 13), std::string(text, 13));
    free(text);

    // A full path is a file of its own, whatever the rule.
    gSetup.looseFiles = false;
    std::string full = loose + "\\Vellumor Pro.exe";
    EXPECT_EQ(0, CopyFileOrRecord(full.c_str(), target.c_str()));
    EXPECT_EQ("a loose file", Read(target));
    EXPECT_EQ(kCodeRecord, CopyFileOrRecord((loose + "\\absent.exe").c_str(), target.c_str()));
    SetCurrentDirectoryA(old);
}

TEST_F(SetupArchive, ATargetHeldOpenIsASharingViolation) {
    UseProgram(ArchiveOf({{"Uninstall.qsc", "u"}, {"a.txt", "new"}}));
    std::string target = dir + "\\held.txt";
    WriteFileBytes(target, "old");
    HANDLE helper = StartHelper("lock \"" + target + "\" none", true);
    ASSERT_TRUE(helper);
    EXPECT_EQ(kCodeSharing, CopyFileOrRecord("a.txt", target.c_str()));
    std::string source = dir + "\\src.txt";
    WriteFileBytes(source, "loose");
    EXPECT_EQ(kCodeSharing, CopyFileOrRecord(source.c_str(), target.c_str()));
    ReleaseHelper(helper);
    EXPECT_EQ("old", Read(target));
    EXPECT_EQ(0, CopyFileOrRecord("a.txt", target.c_str()));
    EXPECT_EQ("new", Read(target));
}

static std::string PatchRecordBytes(uint32_t offset, const std::string& bytes) {
    std::string r;
    for (uint32_t v : {offset, (uint32_t)bytes.size()})
        for (int i = 0; i < 4; i++)
            r += (char)((v >> (8 * i)) & 0xFF);
    return r + bytes;
}

TEST_F(SetupArchive, Patches) {
    std::string patch = PatchRecordBytes(1, "XY") + PatchRecordBytes(10, "end");
    UseProgram(ArchiveOf({{"Uninstall.qsc", "u"},
                          {"base.exe", "0123456"},
                          {"fix.pat", patch},
                          {"bad.pat", PatchRecordBytes(0, "ab").substr(0, 9)}}));
    std::string target = dir + "\\base.exe";
    // Records overwrite in place and extend the file beyond its end.
    EXPECT_EQ(0, ApplyPatch("base.exe", "fix.pat", target.c_str()));
    EXPECT_EQ(std::string("0XY3456\0\0\0end", 13), Read(target));
    EXPECT_EQ(kCodePatch, ApplyPatch("base.exe", "bad.pat", target.c_str()));
    EXPECT_EQ(kCodePatch, ApplyPatch("base.exe", "missing.pat", target.c_str()));
    EXPECT_EQ(kCodeRecord, ApplyPatch("missing.exe", "fix.pat", target.c_str()));
}
