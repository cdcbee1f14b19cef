// Extraction to files: a damaged entry or a wrong password that passes the
// check byte never replaces an existing file and leaves nothing behind; a
// complete entry replaces it; device names are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/test_support.h"
#include "zip/zip.h"
#include "zip_test_util.h"

namespace fs = std::filesystem;

namespace {

const char kOldContent[] = "the good file that was there before";

// The names in a folder (no sub-folders).
std::set<std::string> Listing(const std::string& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        names.insert(e.path().filename().string());
    return names;
}

// Writes a one-entry archive; returns its bytes and the entry's data offset.
std::string OneEntry(const std::string& path, const char* password, const char* name, const std::string& data,
                     size_t* dataAt) {
    ZipHandle* zip = ZipCreate(path.c_str(), password);
    EXPECT_NE(zip, nullptr);
    EXPECT_EQ(ZipAddMemory(zip, name, data.data(), (uint32_t)data.size()), kZipOk);
    EXPECT_EQ(ZipClose(zip), kZipOk);
    std::string bytes;
    ReadFileBytes(path, &bytes);
    size_t nameLen = (unsigned char)bytes[26] | (unsigned char)bytes[27] << 8;
    size_t extraLen = (unsigned char)bytes[28] | (unsigned char)bytes[29] << 8;
    *dataAt = 30 + nameLen + extraLen;
    return bytes;
}

// Extracts entry 0 over target/name, which holds kOldContent; expects the
// code, the old content kept and no other file in target.
void ExpectTargetKept(const std::string& archive, const char* password, const std::string& target, const char* name,
                      uint32_t expected) {
    ASSERT_TRUE(WriteFileBytes(PathJoin(target, name), kOldContent));
    ZipHandle* zip = UnzipOpen(archive.c_str(), password);
    ASSERT_NE(zip, nullptr);
    ASSERT_EQ(UnzipSetBaseDir(zip, target.c_str()), kZipOk);
    EXPECT_EQ(UnzipItemToFile(zip, 0, name), expected);
    EXPECT_EQ(UnzipClose(zip), kZipOk);
    std::string kept;
    ASSERT_TRUE(ReadFileBytes(PathJoin(target, name), &kept));
    EXPECT_TRUE(kept == kOldContent) << "a failed extraction replaced the file: " << kept.size() << " bytes now";
    EXPECT_EQ(Listing(target), std::set<std::string>{name}) << "a temporary file was left";
}

}  // namespace

// A bad byte at 30,000 of a 40,000-byte entry shows only at the end (the
// CRC, or the deflate stream): the old file stays as it was.
TEST(ZipExtract, DamagedEntryKeepsTheExistingFile) {
    std::string dir = MakeTestDir("extract-damaged");
    std::string target = PathJoin(dir, "target");
    fs::create_directories(target);
    std::string data = RandomBytes(40000, 11);
    for (const char* name : {"stored.gz", "deflated.txt"}) {
        SCOPED_TRACE(name);
        std::string archive = PathJoin(dir, std::string(name) + ".zip");
        std::string payload = std::string(name) == "stored.gz" ? data : TextLikeBytes(200000, 12);
        size_t at = 0;
        std::string bytes = OneEntry(archive, nullptr, name, payload, &at);
        size_t compressed = (unsigned char)bytes[18] | (unsigned char)bytes[19] << 8 | (unsigned char)bytes[20] << 16;
        ASSERT_GT(compressed, 20000u);
        bytes[at + (compressed < 40000 ? compressed * 3 / 4 : 30000)] ^= 0x5A;
        ASSERT_TRUE(WriteFileBytes(archive, bytes));
        ExpectTargetKept(archive, nullptr, target, name, kZipErrData);
        fs::remove(fs::path(target) / name);
    }
}

// One byte checks a password, so one wrong password in 256 passes the check
// and decrypts garbage: it fails only at the end and must keep the file.
TEST(ZipExtract, WrongPasswordPassingTheCheckByteKeepsTheExistingFile) {
    std::string dir = MakeTestDir("extract-wrongpw");
    std::string target = PathJoin(dir, "target");
    fs::create_directories(target);
    for (const char* name : {"stored.gz", "deflated.txt"}) {
        SCOPED_TRACE(name);
        std::string archive = PathJoin(dir, std::string(name) + ".zip");
        size_t at = 0;
        OneEntry(archive, "right", name, TextLikeBytes(40000, 13), &at);
        std::string passing, refused;
        for (int i = 0; i < 5000 && (passing.empty() || refused.empty()); i++) {
            std::string candidate = "wrong" + std::to_string(i);
            ZipHandle* zip = UnzipOpen(archive.c_str(), candidate.c_str());
            ASSERT_NE(zip, nullptr);
            char first[16];
            uint32_t rc = UnzipItemToMemory(zip, 0, first, sizeof first);
            UnzipClose(zip);
            std::string& slot = rc == kZipErrPassword ? refused : passing;
            if (slot.empty())
                slot = candidate;
        }
        ASSERT_FALSE(passing.empty()) << "no wrong password passed the check byte";
        ExpectTargetKept(archive, passing.c_str(), target, name, kZipErrData);
        fs::remove(fs::path(target) / name);
        // A password refused by the check byte keeps it as well.
        ExpectTargetKept(archive, refused.c_str(), target, name, kZipErrPassword);
        fs::remove(fs::path(target) / name);
    }
}

// A whole entry replaces the old file, with the entry's attributes, and
// leaves no temporary file.
TEST(ZipExtract, CompleteEntryReplacesTheExistingFile) {
    std::string dir = MakeTestDir("extract-replace");
    std::string target = PathJoin(dir, "target");
    fs::create_directories(target);
    std::string out;
    ASSERT_EQ(RunPeer(dir,
                      "printf 'read only now\\n' > ro.txt && chmod 444 ro.txt && zip -q peer.zip ro.txt && "
                      "rm -f ro.txt",
                      &out),
              0)
        << out;
    std::string archive = PathJoin(dir, "ours.zip");
    size_t at = 0;
    std::string data = TextLikeBytes(50000, 14);
    OneEntry(archive, "pw", "new.txt", data, &at);
    ASSERT_TRUE(WriteFileBytes(PathJoin(target, "new.txt"), kOldContent));
    ASSERT_TRUE(WriteFileBytes(PathJoin(target, "ro.txt"), kOldContent));
    ZipHandle* zip = UnzipOpen(archive.c_str(), "pw");
    ASSERT_NE(zip, nullptr);
    UnzipSetBaseDir(zip, target.c_str());
    EXPECT_EQ(UnzipItemToFile(zip, 0, "new.txt"), kZipOk);
    UnzipClose(zip);
    zip = UnzipOpen(PathJoin(dir, "peer.zip").c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    UnzipSetBaseDir(zip, target.c_str());
    EXPECT_EQ(UnzipItemToFile(zip, 0, "ro.txt"), kZipOk);
    UnzipClose(zip);
    std::string got;
    ASSERT_TRUE(ReadFileBytes(PathJoin(target, "new.txt"), &got));
    EXPECT_EQ(got, data);
    ASSERT_TRUE(ReadFileBytes(PathJoin(target, "ro.txt"), &got));
    EXPECT_EQ(got, "read only now\n");
    EXPECT_EQ(Listing(target), (std::set<std::string>{"new.txt", "ro.txt"}));
    ASSERT_EQ(RunPeer(target, "stat -c %A ro.txt | cut -c3", &out), 0);
    EXPECT_EQ(out, "-\n") << "the entry's read-only attribute";
}

// Device names open the device instead of a file: refused as names of any
// component, with or without an extension, in any case.
TEST(ZipExtract, DeviceNamesAreRefused) {
    std::string dir = MakeTestDir("extract-devices");
    std::string target = PathJoin(dir, "target");
    fs::create_directories(target);
    std::string archive = PathJoin(dir, "a.zip");
    size_t at = 0;
    OneEntry(archive, nullptr, "a.txt", "payload", &at);
    ZipHandle* zip = UnzipOpen(archive.c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    UnzipSetBaseDir(zip, target.c_str());
    for (const char* bad : {"CON", "con.txt", "Prn", "aux.tar.gz", "NUL", "sub/nul.txt", "COM1", "com9.log", "LPT1",
                            "lpt9", "Lpt5.x", "AUX ", "nul .txt", "NUL.", "com3\\x.txt", "a/CON/b.txt"})
        EXPECT_EQ(UnzipItemToFile(zip, 0, bad), kZipErrArgument) << bad;
    for (const char* fine :
         {"console.txt", "COM0", "com10", "LPT", "nul_file", "xcon.txt", "auxiliary/n.txt", "prn1.txt", "COMA.txt"})
        EXPECT_EQ(UnzipItemToFile(zip, 0, fine), kZipOk) << fine;
    UnzipClose(zip);
    std::string got;
    ASSERT_TRUE(ReadFileBytes(PathJoin(target, "auxiliary/n.txt"), &got));
    EXPECT_EQ(got, "payload");
}
