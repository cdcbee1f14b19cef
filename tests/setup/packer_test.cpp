// The packer of the shipped setup file, run as the build runs it, and its
// output read back by the archive reader; what it refuses.
#include <gtest/gtest.h>

#include "setup/archive_core.h"
#include "setup_test_util.h"
#include "support/test_support.h"

class Packer : public ::testing::Test {
  protected:
    std::string dir;
    void SetUp() override {
        dir = MakeTestDir("packer");
        WriteFileBytes(PathJoin(dir, "image.exe"), std::string("MZ image\0bytes", 14));
        WriteFileBytes(PathJoin(dir, "Uninstall.qsc"), "; u\nPhaseBegin 0\r\nSet #A#, 1\n");
        WriteFileBytes(PathJoin(dir, "Setup.qsc"), "; s\rPhaseBegin 0\n");
        WriteFileBytes(PathJoin(dir, "program.exe"), std::string("\0\1\2\n\r program", 13));
    }
    // Runs the packer with these NAME=FILE arguments; its exit code.
    int Pack(const std::string& records, std::string* output = nullptr) {
        return RunPeer(dir, "python3 '" VP_SOURCE_DIR "/setup/pack_setup.py' out.exe image.exe " + records, output);
    }
};

TEST_F(Packer, PacksInOrderWithCrLfScripts) {
    std::string out;
    ASSERT_EQ(0, Pack("Uninstall.qsc=Uninstall.qsc Setup.qsc=Setup.qsc 'Vellumor Pro.exe=program.exe'", &out)) << out;
    std::string file;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "out.exe"), &file));
    const uint8_t* bytes = (const uint8_t*)file.data();
    size_t start;
    ASSERT_TRUE(ArchiveFindHeader(bytes, file.size(), &start));
    EXPECT_EQ(14 + kCbArchiveHeader, start);
    EXPECT_EQ(kArchiveOk, ArchiveCheck(bytes, file.size(), start, nullptr));
    char first[kCchRecordName];
    ASSERT_TRUE(ArchiveFirstRecordName(bytes, file.size(), start, first));
    EXPECT_STREQ("Uninstall.qsc", first);
    size_t at;
    uint32_t cb;
    ASSERT_TRUE(ArchiveFindRecord(bytes, file.size(), start, "Uninstall.qsc", &at, &cb));
    EXPECT_EQ("; u\r\nPhaseBegin 0\r\nSet #A#, 1\r\n", file.substr(at, cb));
    ASSERT_TRUE(ArchiveFindRecord(bytes, file.size(), start, "Setup.qsc", &at, &cb));
    EXPECT_EQ("; s\r\nPhaseBegin 0\r\n", file.substr(at, cb));
    ASSERT_TRUE(ArchiveFindRecord(bytes, file.size(), start, "Vellumor Pro.exe", &at, &cb));
    EXPECT_EQ(std::string("\0\1\2\n\r program", 13), file.substr(at, cb));  // other records as they are
}

TEST_F(Packer, RefusesWhatSetupCouldNotRead) {
    WriteFileBytes(PathJoin(dir, "header.bin"), "abc<Setup Data Header>def");
    WriteFileBytes(PathJoin(dir, "zero.qsc"), std::string("Set #A#, 1\0", 11));
    struct Case {
        const char* records;
        const char* message;
    } cases[] = {
        {"Setup.qsc=Setup.qsc Uninstall.qsc=Uninstall.qsc", "first record"},
        {"Uninstall.qsc=Uninstall.qsc a.exe=program.exe A.EXE=program.exe", "given twice"},
        {"Uninstall.qsc=Uninstall.qsc 'sub\\a.exe=program.exe'", "plain file name"},
        {"Uninstall.qsc=Uninstall.qsc =program.exe", "empty"},
        {"Uninstall.qsc=Uninstall.qsc x.bin=header.bin", "<Setup Data Header>"},
        {"Uninstall.qsc=zero.qsc", "zero byte"},
        {"Uninstall.qsc=Uninstall.qsc b.exe=missing.exe", "missing.exe"},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(1, Pack(c.records, &out)) << c.records;
        EXPECT_NE(std::string::npos, out.find(c.message)) << c.records << ": " << out;
        EXPECT_FALSE(FileExists(PathJoin(dir, "out.exe"))) << c.records;
    }
}
