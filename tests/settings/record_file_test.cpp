// Settings record files: the path rule, byte-exact round trips, short and
// missing files, folder creation, and replacement through "<file>_tmp".
#include "settings/record_file.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "base/file_util.h"
#include "base/os_file.h"
#include "base/str_util.h"
#include "settings/data_folders.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
static std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
#endif

// Makes replacing the file fail until UnblockReplace. Windows: the file is
// held open without delete sharing. Natively the tests run as root, whom
// folder permissions do not stop, so the file is made immutable; without
// that right the folder is made read-only instead.
struct ReplaceBlock {
    std::string path;
#ifdef _WIN32
    HANDLE h = INVALID_HANDLE_VALUE;
#else
    bool immutable = false;
#endif
};

bool BlockReplace(const std::string& path, ReplaceBlock* block) {
    block->path = path;
#ifdef _WIN32
    block->h =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return block->h != INVALID_HANDLE_VALUE;
#else
    std::string file = UnixPathOf(path);
    std::string folder = file.substr(0, file.rfind('/'));
    block->immutable = RunPeer(folder, "chattr +i " + Quote(file)) == 0;
    return block->immutable || RunPeer(folder, "chmod a-w .") == 0;
#endif
}

void UnblockReplace(ReplaceBlock* block) {
#ifdef _WIN32
    if (block->h != INVALID_HANDLE_VALUE)
        CloseHandle(block->h);
    block->h = INVALID_HANDLE_VALUE;
#else
    std::string file = UnixPathOf(block->path);
    std::string folder = file.substr(0, file.rfind('/'));
    RunPeer(folder, block->immutable ? "chattr -i " + Quote(file) : std::string("chmod u+w ."));
#endif
}

class RecordFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        user = MakeTestDir("records-user");
        common = MakeTestDir("records-common");
        StrCopy(gUserDataFolder, countof(gUserDataFolder), user.c_str());
        StrCopy(gCommonDataFolder, countof(gCommonDataFolder), common.c_str());
    }
    std::string user, common;
};

TEST_F(RecordFileTest, PathRule) {
    char path[kCchPath];
    ASSERT_TRUE(RecordFilePath("(Mox)App", -1, path, countof(path), 0));
    EXPECT_EQ(std::string(path), user + "\\(Mox)App.qcg");
    ASSERT_TRUE(RecordFilePath("(Mox)Win", 0, path, countof(path), 0));
    EXPECT_EQ(std::string(path), user + "\\(Mox)Win0.qcg");
    ASSERT_TRUE(RecordFilePath("(Mox)Win", 12, path, countof(path), kRecordCommonFolder));
    EXPECT_EQ(std::string(path), common + "\\(Mox)Win12.qcg");
    // A '%' in a name is a character, not a format.
    ASSERT_TRUE(RecordFilePath("100%s%n", 3, path, countof(path), 0));
    EXPECT_EQ(std::string(path), user + "\\100%s%n3.qcg");

    ASSERT_TRUE(BuildDataPath("C:\\Some", "Base", "ext", path, countof(path), 0));
    EXPECT_STREQ(path, "C:\\Some\\Base.ext");
    ASSERT_TRUE(BuildDataPath(nullptr, "Base", nullptr, path, countof(path), 0));
    EXPECT_EQ(std::string(path), user + "\\Base");
    ASSERT_TRUE(BuildDataPath(nullptr, nullptr, nullptr, path, countof(path), kRecordCommonFolder));
    EXPECT_EQ(std::string(path), common);
    ASSERT_TRUE(BuildDataPath("X", nullptr, "qcg", path, countof(path), 0));
    EXPECT_STREQ(path, "X.qcg");

    // Paths that do not fit are an error, never a cut path.
    char small[12];
    EXPECT_FALSE(BuildDataPath("C:\\Some", "Base", "ext", small, countof(small), 0));
    EXPECT_STREQ(small, "");
    EXPECT_TRUE(BuildDataPath("C:\\Some", "B", "e", small, countof(small), 0));  // exactly 11
    EXPECT_STREQ(small, "C:\\Some\\B.e");
    EXPECT_FALSE(BuildDataPath("C:\\Some", "Bx", "e", small, countof(small), 0));
    std::string longName(250, 'n');
    EXPECT_FALSE(RecordFilePath(longName.c_str(), -1, path, countof(path), 0));
    EXPECT_STREQ(path, "");
    EXPECT_EQ(WriteRecordFile(longName.c_str(), -1, "x", 1, 0), 0u);
    char folderBefore[kCchPath];
    StrCopy(folderBefore, countof(folderBefore), gUserDataFolder);
    gUserDataFolder[0] = '\0';  // not set: no file in the drive's root
    EXPECT_FALSE(RecordFilePath("(Mox)App", -1, path, countof(path), 0));
    StrCopy(gUserDataFolder, countof(gUserDataFolder), folderBefore);
}

TEST_F(RecordFileTest, RecordsSurviveByteForByte) {
    // 297 bytes with zeros, 0x0D 0x0A and 0x1A inside: a text-mode or
    // zero-terminated path through the code would change them.
    std::string rec = RandomBytes(297, 11);
    rec[0] = 0;
    rec[10] = 0x0D;
    rec[11] = 0x0A;
    rec[12] = 0x1A;
    ASSERT_EQ(WriteRecordFile("(Mox)App", -1, rec.data(), 297, 0), 297u);
    ASSERT_TRUE(WriteFileBytes(PathJoin(user, "expected.bin"), rec));
    std::string out;
    EXPECT_EQ(RunPeer(user, "cmp expected.bin '(Mox)App.qcg' && ! test -e '(Mox)App.qcg_tmp'", &out), 0) << out;

    EXPECT_EQ(ReadRecordFile("(Mox)App", -1, nullptr, 0, 0), 297u);
    char buf[297];
    memset(buf, 0x55, sizeof buf);
    ASSERT_EQ(ReadRecordFile("(Mox)App", -1, buf, sizeof buf, 0), 297u);
    EXPECT_EQ(std::string(buf, 297), rec);

    // Several records side by side, one in the common folder; a rewrite
    // with a shorter record leaves exactly the new bytes.
    std::string win = RandomBytes(16, 12);
    ASSERT_EQ(WriteRecordFile("(Mox)Win", 2, win.data(), 16, kRecordCommonFolder), 16u);
    ASSERT_TRUE(WriteFileBytes(PathJoin(common, "expected.bin"), win));
    EXPECT_EQ(RunPeer(common, "cmp expected.bin '(Mox)Win2.qcg'", &out), 0) << out;
    std::string shorter = RandomBytes(40, 13);
    ASSERT_EQ(WriteRecordFile("(Mox)App", -1, shorter.data(), 40, 0), 40u);
    std::string disk;
    ASSERT_TRUE(ReadFileBytes(PathJoin(user, "(Mox)App.qcg"), &disk));
    EXPECT_EQ(disk, shorter);
}

TEST_F(RecordFileTest, ShortAndMissingFiles) {
    std::string old = RandomBytes(100, 21);
    ASSERT_TRUE(WriteFileBytes(PathJoin(user, "(Mox)App.qcg"), old));
    char buf[297];
    memset(buf, 0xAA, sizeof buf);
    ASSERT_EQ(ReadRecordFile("(Mox)App", -1, buf, sizeof buf, 0), 100u);
    EXPECT_EQ(std::string(buf, 100), old);
    EXPECT_EQ(std::string(buf + 100, 197), std::string(197, '\0'));

    // A file longer than the record: only the record's bytes are read.
    char small[10];
    ASSERT_EQ(ReadRecordFile("(Mox)App", -1, small, sizeof small, 0), 10u);
    EXPECT_EQ(std::string(small, 10), old.substr(0, 10));

    // A missing file keeps the caller's defaults.
    memset(buf, 0xAA, sizeof buf);
    EXPECT_EQ(ReadRecordFile("(Mox)UpdateCheck", -1, buf, sizeof buf, 0), 0u);
    EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, (char)0xAA));
    EXPECT_EQ(ReadRecordFile("(Mox)UpdateCheck", -1, nullptr, 0, 0), 0u);
    // So does a folder of the record's name.
    RunPeer(user, "mkdir '(Mox)Archive.qcg'");
    EXPECT_EQ(ReadRecordFile("(Mox)Archive", -1, buf, sizeof buf, 0), 0u);
    EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, (char)0xAA));
}

TEST_F(RecordFileTest, WritingIntoMissingFolderCreatesIt) {
    std::string deep = user + "/not/yet/there";
    StrCopy(gUserDataFolder, countof(gUserDataFolder), deep.c_str());
    std::string rec = RandomBytes(280, 31);
    ASSERT_EQ(WriteRecordFile("(Mox)UpdateCheck", -1, rec.data(), 280, 0), 280u);
    std::string disk;
    ASSERT_TRUE(ReadFileBytes(PathJoin(deep, "(Mox)UpdateCheck.qcg"), &disk));
    EXPECT_EQ(disk, rec);
}

TEST_F(RecordFileTest, FailedReplaceKeepsOldRecord) {
    std::string good = RandomBytes(297, 41);
    ASSERT_EQ(WriteRecordFile("(Mox)App", -1, good.data(), 297, 0), 297u);
    std::string path = PathJoin(user, "(Mox)App.qcg");
    ReplaceBlock block;
    ASSERT_TRUE(BlockReplace(path, &block));
    std::string next = RandomBytes(297, 42);
    DWORD written = WriteRecordFile("(Mox)App", -1, next.data(), 297, 0);
    UnblockReplace(&block);
    EXPECT_EQ(written, 0u);
    std::string disk;
    ASSERT_TRUE(ReadFileBytes(path, &disk));
    EXPECT_EQ(disk, good);
    char buf[297];
    ASSERT_EQ(ReadRecordFile("(Mox)App", -1, buf, sizeof buf, 0), 297u);
    EXPECT_EQ(std::string(buf, 297), good);
}

namespace {
// A small file system of its own, mounted for one test and removed with it.
struct SmallDisk {
    std::string parent;
    bool mounted = false;
    ~SmallDisk() {
        if (mounted)
            RunPeer(parent, "umount full");
    }
};
}  // namespace

TEST_F(RecordFileTest, FullDiskKeepsOldRecord) {
    SmallDisk disk;
    disk.parent = user;
    std::string out;
    if (RunPeer(user, "mkdir full && mount -t tmpfs -o size=64k vp-records-test full", &out) != 0)
        GTEST_SKIP() << "mounting a small file system needs root here: " << out;
    disk.mounted = true;
    std::string folder = PathJoin(user, "full");
    StrCopy(gUserDataFolder, countof(gUserDataFolder), folder.c_str());
    std::string good = RandomBytes(297, 61);
    ASSERT_EQ(WriteRecordFile("(Mox)App", -1, good.data(), 297, 0), 297u);
    RunPeer(folder, "dd if=/dev/zero of=filler bs=1024 2>/dev/null; sync");
    std::string big = RandomBytes(70000, 62);
    EXPECT_EQ(WriteRecordFile("(Mox)App", -1, big.data(), (DWORD)big.size(), 0), 0u);
    char buf[297];
    ASSERT_EQ(ReadRecordFile("(Mox)App", -1, buf, sizeof buf, 0), 297u);
    EXPECT_EQ(std::string(buf, 297), good);
}

TEST_F(RecordFileTest, LeftoverTempFileNeverReplacesRecord) {
    std::string good = RandomBytes(297, 51);
    ASSERT_EQ(WriteRecordFile("(Mox)App", -1, good.data(), 297, 0), 297u);
    // A crash between the two steps of an earlier write left this.
    std::string junk = RandomBytes(500, 52);
    ASSERT_TRUE(WriteFileBytes(PathJoin(user, "(Mox)App.qcg_tmp"), junk));
    char buf[297];
    ASSERT_EQ(ReadRecordFile("(Mox)App", -1, buf, sizeof buf, 0), 297u);
    EXPECT_EQ(std::string(buf, 297), good);
    // The next write truncates the leftover: the record is exactly the new bytes.
    std::string next = RandomBytes(16, 53);
    ASSERT_EQ(WriteRecordFile("(Mox)App", -1, next.data(), 16, 0), 16u);
    std::string disk;
    ASSERT_TRUE(ReadFileBytes(PathJoin(user, "(Mox)App.qcg"), &disk));
    EXPECT_EQ(disk, next);
    EXPECT_FALSE(FileExists(PathJoin(user, "(Mox)App.qcg_tmp")));
}

TEST_F(RecordFileTest, FileHelpers) {
    EXPECT_EQ(CreateFolderPath("", false), 2);
    EXPECT_EQ(CreateFolderPath(nullptr, false), 2);
    std::string deep = user + "\\a/b\\c/";
    EXPECT_EQ(CreateFolderPath(deep.c_str(), false), 0);
    EXPECT_TRUE(OsIsFolder((user + "/a/b/c").c_str()));
    EXPECT_EQ(CreateFolderPath(deep.c_str(), false), 0);  // exists already
    EXPECT_EQ(TryCreateFolder((user + "/a/b/c").c_str(), false), 0);
    EXPECT_EQ(TryCreateFolder((user + "/a/b/d").c_str(), false), 0);
    EXPECT_TRUE(OsIsFolder((user + "/a/b/d").c_str()));
    // Through a file: fails, and creates nothing below it.
    ASSERT_TRUE(WriteFileBytes(PathJoin(user, "plain"), "x"));
    EXPECT_EQ(CreateFolderPath((user + "/plain/sub").c_str(), false), 1);
    EXPECT_EQ(TryCreateFolder((user + "/plain/sub").c_str(), false), 1);
    // Longer than 519 characters: an error, not a cut path.
    std::string tooLong = user + "/" + std::string(530 - user.size(), 'x');
    EXPECT_EQ(CreateFolderPath(tooLong.c_str(), false), 1);

    std::string file = PathJoin(user, "new/raw.bin");
    EXPECT_EQ(WriteFileRaw(file.c_str(), "abc", 3, false), 3u);
    EXPECT_EQ(WriteFileRaw(file.c_str(), "de", 2, true), 2u);
    std::string disk;
    ASSERT_TRUE(ReadFileBytes(file, &disk));
    EXPECT_EQ(disk, "abcde");
    EXPECT_EQ(WriteFileRaw(file.c_str(), "Z", 1, false), 1u);
    ASSERT_TRUE(ReadFileBytes(file, &disk));
    EXPECT_EQ(disk, "Z");
    EXPECT_EQ(WriteFileRaw((user + "/plain/x.bin").c_str(), "abc", 3, false), 0u);
    EXPECT_EQ(ReadFileRaw(file.c_str(), nullptr, 0), 1u);
    char buf[4] = {'q', 'q', 'q', 'q'};
    EXPECT_EQ(ReadFileRaw(file.c_str(), buf, sizeof buf), 1u);
    EXPECT_EQ(std::string(buf, 4), std::string("Z\0\0\0", 4));
    memset(buf, 'q', sizeof buf);
    EXPECT_EQ(ReadFileRaw((user + "/missing").c_str(), buf, sizeof buf), 0u);
    EXPECT_EQ(std::string(buf, 4), "qqqq");
}

TEST(HexHelpers, EveryByteAndDigitPair) {
    for (int v = 0; v < 256; v++) {
        char two[2];
        ByteToHex((BYTE)v, two);
        char expected[3];
        snprintf(expected, sizeof expected, "%02X", v);
        ASSERT_EQ(std::string(two, 2), std::string(expected)) << v;
        EXPECT_EQ(HexPairToByte(two), v);
        snprintf(expected, sizeof expected, "%02x", v);
        EXPECT_EQ(HexPairToByte(expected), v);
    }
    // Every pair with a non-digit is refused.
    for (int c = 0; c < 256; c++) {
        bool digit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        char a[2] = {(char)c, '0'};
        char b[2] = {'0', (char)c};
        EXPECT_EQ(HexPairToByte(a) >= 0, digit) << c;
        EXPECT_EQ(HexPairToByte(b) >= 0, digit) << c;
    }
}
