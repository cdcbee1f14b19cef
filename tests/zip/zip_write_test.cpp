// Archives we write, read by Info-ZIP unzip and Python's zipfile.
#include <gtest/gtest.h>
#include <time.h>

#include "support/test_support.h"
#include "zip/zip.h"
#include "zip_test_util.h"

namespace {

// The "UT" fields as hex: local (three times) and central (last write only).
std::string LocalUt(unsigned mtime, unsigned atime, unsigned ctime) {
    auto le = [](unsigned v) {
        char b[9];
        snprintf(b, sizeof b, "%02x%02x%02x%02x", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, v >> 24);
        return std::string(b);
    };
    return "55540d0007" + le(mtime) + le(atime) + le(ctime);
}

unsigned LeHexToUint(const std::string& hex) {
    unsigned v = 0;
    for (int i = 3; i >= 0; i--)
        v = (v << 8) | (unsigned)std::stoul(hex.substr(i * 2, 2), nullptr, 16);
    return v;
}

struct Written {
    std::string dir, archive;
    std::vector<SourceFile> files;
    std::string memory;
};

Written WriteSample(const char* name, const char* password) {
    Written w;
    w.dir = MakeTestDir(name);
    std::string src = PathJoin(w.dir, "src");
    RunPeer(w.dir, "mkdir src");
    w.files = SourceFiles();
    WriteSourceTree(src, w.files);
    w.archive = PathJoin(w.dir, "out.zip");
    w.memory = TextLikeBytes(12345, 9);
    ZipHandle* zip = ZipCreate(w.archive.c_str(), password);
    EXPECT_NE(zip, nullptr);
    if (!zip)
        return w;
    for (const SourceFile& f : w.files) {
        std::string path = PathJoin(src, f.name);
        EXPECT_EQ(ZipAddFile(zip, f.name.c_str(), path.c_str()), kZipOk) << f.name;
    }
    EXPECT_EQ(ZipAddMemory(zip, "mem\\options.txt", w.memory.data(), (uint32_t)w.memory.size()), kZipOk);
    EXPECT_EQ(ZipClose(zip), kZipOk);
    return w;
}

std::string EntryName(const std::string& name) {
    std::string n = name;
    for (char& c : n)
        if (c == '\\')
            c = '/';
    return n;
}

// Checks one archive against the peers: Info-ZIP's test and extraction
// (byte for byte, with the last-write time), and zipfile's view of every
// header field.
void CheckWithPeers(const Written& w, const char* password) {
    std::string out;
    std::string pw = password ? " -P " + ShellQuote(password) : "";
    ASSERT_EQ(RunPeer(w.dir, "unzip -tq" + pw + " out.zip", &out), 0) << out;
    ASSERT_EQ(RunPeer(w.dir, "unzip -oq" + pw + " out.zip -d ux", &out), 0) << out;
    for (const SourceFile& f : w.files) {
        std::string got;
        ASSERT_TRUE(ReadFileBytes(PathJoin(w.dir, "ux/" + EntryName(f.name)), &got)) << f.name;
        EXPECT_EQ(got, f.bytes) << f.name;
    }
    std::string got;
    ASSERT_TRUE(ReadFileBytes(PathJoin(w.dir, "ux/mem/options.txt"), &got));
    EXPECT_EQ(got, w.memory);
    ASSERT_EQ(RunPeer(w.dir, "stat -c %Y ux/notes.txt", &out), 0);
    EXPECT_EQ(std::stoul(out), kSourceMtime) << "unzip takes the time from the UT field";

    std::vector<PeerFields> entries;
    ASSERT_TRUE(PeerInspect(w.dir, w.archive, password, &entries, &out)) << out;
    ASSERT_EQ(entries.size(), w.files.size() + 1);
    time_t mt = kSourceMtime;
    struct tm local;
#ifdef _WIN32
    local = *localtime(&mt);
#else
    localtime_r(&mt, &local);
#endif
    char dos[64];
    snprintf(dos, sizeof dos, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
             local.tm_hour, local.tm_min, local.tm_sec & ~1);
    for (size_t i = 0; i < entries.size(); i++) {
        PeerFields& e = entries[i];
        bool isMemory = i == w.files.size();
        const SourceFile* f = isMemory ? nullptr : &w.files[i];
        std::string name = isMemory ? "mem/options.txt" : EntryName(f->name);
        SCOPED_TRACE(name);
        EXPECT_EQ(e["name"], name);
        EXPECT_EQ(e["data"], isMemory ? w.memory : f->bytes);
        bool stored = name == "packed.ZIP" || name == "archive.tgz";
        EXPECT_EQ(e["method"], stored ? "0" : "8");
        EXPECT_EQ(e["made"], "0b17");
        EXPECT_EQ(e["needed"], "20");
        if (password) {
            EXPECT_EQ(e["flags"], "9");
            EXPECT_EQ(e["lflags"], "9");
            EXPECT_EQ(e["lcrc"], "00000000");
            EXPECT_EQ(e["desc"].substr(0, 8), "504b0708");
            EXPECT_EQ(e["desc"].substr(8, 8),
                      e["crc"].substr(6, 2) + e["crc"].substr(4, 2) + e["crc"].substr(2, 2) + e["crc"].substr(0, 2));
            if (stored) {
                EXPECT_EQ(std::stoul(e["csize"]), std::stoul(e["usize"]) + 12);
            }
        } else {
            EXPECT_EQ(e["flags"], stored ? "0" : "2");
            EXPECT_EQ(e["lflags"], e["flags"]);
            EXPECT_EQ(e["lcrc"], e["crc"]);
            EXPECT_EQ(e["lcsize"], e["csize"]);
            EXPECT_EQ(e["desc"], "");
        }
        EXPECT_EQ(e["lusize"], e["usize"]);
        // Extended timestamp: the local form holds all three times, the central one the last write.
        ASSERT_EQ(e["lextra"].size(), 34u);
        ASSERT_EQ(e["cextra"].size(), 18u);
        EXPECT_EQ(e["cextra"].substr(0, 10), "5554050007");
        EXPECT_EQ(e["lextra"].substr(0, 10), "55540d0007");
        unsigned mtime = LeHexToUint(e["lextra"].substr(10, 8));
        EXPECT_EQ(e["cextra"].substr(10), e["lextra"].substr(10, 8));
        if (isMemory) {
            EXPECT_EQ(e["ext"], "80000000");
            EXPECT_NEAR((double)mtime, (double)time(nullptr), 120.0);
            EXPECT_EQ(e["lextra"], LocalUt(mtime, mtime, mtime));
        } else {
            EXPECT_EQ(mtime, kSourceMtime);
            EXPECT_EQ(LeHexToUint(e["lextra"].substr(18, 8)), kSourceAtime);
            EXPECT_EQ(e["dostime"], dos);
            unsigned mode = (unsigned)std::stoul(e["ext"].substr(0, 4), nullptr, 16);
            unsigned attrs = (unsigned)std::stoul(e["ext"].substr(4), nullptr, 16);
            unsigned expectMode = f->readOnly ? 0x8100 : name == "tool.exe" ? 0x81C0 : 0x8180;
            EXPECT_EQ(mode, expectMode);
            EXPECT_EQ(attrs & ~0x37u, 0u);
            EXPECT_EQ((attrs & 1) != 0, f->readOnly);
        }
        bool text = name == "notes.txt" || name == "sub/deep.cfg" || name == "ro.txt" || name == "no_extension" ||
                    name == "not.zip.txt" || name == "mem/options.txt";
        EXPECT_EQ(e["int"], (!stored && text) ? "1" : "0");
    }
}

}  // namespace

TEST(ZipWrite, UnencryptedArchiveMatchesPeers) {
    Written w = WriteSample("write-plain", nullptr);
    CheckWithPeers(w, nullptr);
}

TEST(ZipWrite, EncryptedArchiveMatchesPeers) {
    Written w = WriteSample("write-encrypted", "Pa55 w\xF6rd!");
    CheckWithPeers(w, "Pa55 w\xF6rd!");
    std::string out;
    EXPECT_NE(RunPeer(w.dir, "unzip -tq -P wrong out.zip", &out), 0) << out;
}

TEST(ZipWrite, EmptyPasswordMeansNoEncryption) {
    std::string dir = MakeTestDir("write-emptypw");
    std::string archive = PathJoin(dir, "out.zip");
    ZipHandle* zip = ZipCreate(archive.c_str(), "");
    ASSERT_NE(zip, nullptr);
    ASSERT_EQ(ZipAddMemory(zip, "a.txt", "hello hello hello", 17), kZipOk);
    ASSERT_EQ(ZipClose(zip), kZipOk);
    std::vector<PeerFields> entries;
    std::string log;
    ASSERT_TRUE(PeerInspect(dir, archive, nullptr, &entries, &log)) << log;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]["flags"], "2");
    EXPECT_EQ(entries[0]["data"], "hello hello hello");
}

TEST(ZipWrite, ArchiveWithoutEntriesIsTheEndRecord) {
    std::string dir = MakeTestDir("write-empty");
    std::string archive = PathJoin(dir, "empty.zip");
    ZipHandle* zip = ZipCreate(archive.c_str(), "pw");
    ASSERT_NE(zip, nullptr);
    ASSERT_EQ(ZipClose(zip), kZipOk);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(archive, &bytes));
    EXPECT_EQ(bytes, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    std::vector<PeerFields> entries;
    std::string log;
    ASSERT_TRUE(PeerInspect(dir, archive, nullptr, &entries, &log)) << log;
    EXPECT_NE(log.find("count=0"), std::string::npos);
}

// An empty entry (an option set without entries) is valid: stored, read
// by the peers, by Info-ZIP and by our reader, with and without a password.
TEST(ZipWrite, EmptyEntriesAreStored) {
    for (const char* password : {(const char*)nullptr, "pw"}) {
        SCOPED_TRACE(password ? password : "no password");
        std::string dir = MakeTestDir(password ? "write-empty-entry-pw" : "write-empty-entry");
        std::string archive = PathJoin(dir, "out.zip");
        ZipHandle* zip = ZipCreate(archive.c_str(), password);
        ASSERT_NE(zip, nullptr);
        EXPECT_EQ(ZipAddMemory(zip, "empty.txt", "x", 0), kZipOk);
        EXPECT_EQ(ZipAddMemory(zip, "null.txt", nullptr, 0), kZipOk);
        EXPECT_EQ(ZipAddMemory(zip, "after.txt", "after", 5), kZipOk);
        EXPECT_EQ(ZipClose(zip), kZipOk);
        std::string pw = password ? std::string(" -P ") + password : "";
        std::string out;
        ASSERT_EQ(
            RunPeer(dir, "unzip -tq" + pw + " out.zip && 7z t -p" + (password ? password : "") + " out.zip", &out), 0)
            << out;
        std::vector<PeerFields> entries;
        ASSERT_TRUE(PeerInspect(dir, archive, password, &entries, &out)) << out;
        ASSERT_EQ(entries.size(), 3u);
        for (int i = 0; i < 2; i++) {
            EXPECT_EQ(entries[i]["method"], "0");
            EXPECT_EQ(entries[i]["usize"], "0");
            EXPECT_EQ(entries[i]["csize"], password ? "12" : "0");
            EXPECT_EQ(entries[i]["data"], "");
        }
        EXPECT_EQ(entries[2]["data"], "after");
        ZipHandle* reader = UnzipOpen(archive.c_str(), password);
        ASSERT_NE(reader, nullptr);
        std::string data = "not empty";
        EXPECT_EQ(ReadEntry(reader, 0, &data), kZipOk);
        EXPECT_EQ(data, "");
        ASSERT_EQ(UnzipSetBaseDir(reader, dir.c_str()), kZipOk);
        ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "null.txt"), "old"));
        EXPECT_EQ(UnzipItemToFile(reader, 1, "null.txt"), kZipOk);
        EXPECT_TRUE(ReadFileBytes(PathJoin(dir, "null.txt"), &data));
        EXPECT_EQ(data, "");
        UnzipClose(reader);
    }
}

TEST(ZipWrite, RefusesBadArgumentsAndKeepsTheArchiveValid) {
    std::string dir = MakeTestDir("write-args");
    std::string archive = PathJoin(dir, "out.zip");
    EXPECT_EQ(ZipCreate(PathJoin(dir, "no/such/folder/x.zip").c_str(), nullptr), nullptr);
    EXPECT_EQ(ZipCreate(nullptr, nullptr), nullptr);
    ZipHandle* zip = ZipCreate(archive.c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ZipAddMemory(zip, "a", nullptr, 5), kZipErrArgument);
    EXPECT_EQ(ZipAddMemory(zip, "", "x", 1), kZipErrArgument);
    EXPECT_EQ(ZipAddMemory(zip, std::string(260, 'n').c_str(), "x", 1), kZipErrArgument);
    EXPECT_EQ(ZipAddMemory(zip, std::string(259, 'n').c_str(), "x", 1), kZipOk);
    EXPECT_EQ(ZipAddFile(zip, "missing.txt", PathJoin(dir, "missing.txt").c_str()), kZipErrOpenFile);
    EXPECT_EQ(ZipAddMemory(zip, "second.txt", "second", 6), kZipOk);
    // A writer handle where a reader is expected, and the other way round.
    ZipItem item;
    EXPECT_FALSE(IsUnzipHandle(zip));
    EXPECT_EQ(UnzipGetItem(zip, 0, &item), kZipErrHandleKind);
    EXPECT_EQ(UnzipItemToMemory(zip, 0, &item, 1), kZipErrHandleKind);
    EXPECT_EQ(UnzipClose(zip), kZipErrHandleKind);
    EXPECT_EQ(ZipAddMemory(zip, "third.txt", "third", 5), kZipOk);  // still usable
    EXPECT_EQ(ZipClose(zip), kZipOk);
    EXPECT_EQ(ZipClose(nullptr), kZipErrArgument);
    EXPECT_EQ(ZipAddMemory(nullptr, "a", "x", 1), kZipErrArgument);
    EXPECT_EQ(UnzipClose(nullptr), kZipErrArgument);

    std::string out;
    ASSERT_EQ(RunPeer(dir, "unzip -Z1 out.zip", &out), 0) << out;
    EXPECT_EQ(out, std::string(259, 'n') + "\nsecond.txt\nthird.txt\n");
    ZipHandle* reader = UnzipOpen(archive.c_str(), nullptr);
    ASSERT_NE(reader, nullptr);
    EXPECT_TRUE(IsUnzipHandle(reader));
    EXPECT_EQ(ZipAddMemory(reader, "x", "x", 1), kZipErrHandleKind);
    EXPECT_EQ(ZipClose(reader), kZipErrHandleKind);
    EXPECT_EQ(UnzipClose(reader), kZipOk);
}

// A write that fails gives 0x400 (on a device that is always full).
TEST(ZipWrite, WriteFailureIsReported) {
    ZipHandle* zip = ZipCreate(PathOfUnix("/dev/full").c_str(), nullptr);
    if (!zip)
        GTEST_SKIP() << "no always-full device to write to";
    std::string data = RandomBytes(100000, 1);
    EXPECT_EQ(ZipAddMemory(zip, "big.bin", data.data(), (uint32_t)data.size()), kZipErrWrite);
    EXPECT_EQ(ZipClose(zip), kZipErrWrite);
}

// A source that fails to read is never recorded as a complete entry.
TEST(ZipWrite, SourceReadErrorFailsTheEntry) {
    std::string unreadable = PathOfUnix("/proc/self/mem");
    std::string dir = MakeTestDir("write-readerror");
    std::string archive = PathJoin(dir, "out.zip");
    ZipHandle* zip = ZipCreate(archive.c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    uint32_t rc = ZipAddFile(zip, "mem.bin", unreadable.c_str());
    EXPECT_TRUE(rc == kZipErrWrite || rc == kZipErrOpenFile) << std::hex << rc;
    EXPECT_EQ(ZipAddMemory(zip, "after.txt", "after", 5), kZipOk);
    EXPECT_EQ(ZipClose(zip), kZipOk);
    std::string out;
    ASSERT_EQ(RunPeer(dir, "unzip -tq out.zip && unzip -Z1 out.zip", &out), 0) << out;
    EXPECT_NE(out.find("after.txt"), std::string::npos);
    EXPECT_EQ(out.find("mem.bin"), std::string::npos);
}
