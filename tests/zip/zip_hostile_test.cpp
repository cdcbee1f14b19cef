// Hostile archives, made at test time: traversal names, bad lengths and
// offsets, truncations, damaged data and random damage. Every call must
// return a documented code, and nothing may be written outside the target.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "support/test_support.h"
#include "zip/zip.h"
#include "zip_test_util.h"

namespace fs = std::filesystem;

namespace {

const std::set<uint32_t> kKnownCodes = {kZipOk,          kZipErrOpenFile,    kZipErrWrite,      kZipErrNotFound,
                                        kZipMoreData,    kZipErrLocalHeader, kZipErrLocalExtra, kZipErrPassword,
                                        kZipErrArgument, kZipErrData};

// Runs every reader call over every entry of an archive; counts the entries
// extracted. Fails the test on an undocumented code.
int Exercise(const std::string& archive, const char* password, const std::string& target) {
    ZipHandle* zip = UnzipOpen(archive.c_str(), password);
    if (!zip)
        return -1;
    UnzipSetBaseDir(zip, target.c_str());
    ZipItem count;
    EXPECT_EQ(UnzipGetItem(zip, -1, &count), kZipOk);
    int extracted = 0;
    for (int i = 0; i < count.index; i++) {
        ZipItem item;
        uint32_t rc = UnzipGetItem(zip, i, &item);
        EXPECT_TRUE(kKnownCodes.count(rc)) << std::hex << rc;
        char buf[64];
        for (int k = 0; k < 1000; k++) {  // an entry of up to 64 KB; no endless loop
            rc = UnzipItemToMemory(zip, i, buf, sizeof buf);
            EXPECT_TRUE(kKnownCodes.count(rc)) << std::hex << rc;
            if (rc != kZipMoreData)
                break;
        }
        if (UnzipGetItem(zip, i, &item) == kZipOk) {
            rc = UnzipItemToFile(zip, i, item.name);
            EXPECT_TRUE(kKnownCodes.count(rc)) << std::hex << rc;
            extracted += rc == kZipOk;
        }
        UnzipFindItem(zip, item.name, 1, nullptr, &item);
    }
    EXPECT_EQ(UnzipClose(zip), kZipOk);
    return extracted;
}

// Every file below root must lie below root/inside.
void ExpectNothingOutside(const std::string& root, const std::string& inside) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it) {
        std::string p = it->path().generic_string();
        std::string prefix = fs::path(root + "/" + inside).generic_string();
        if (it->is_regular_file() && p.find("/.peer-") == std::string::npos &&
            fs::path(p).filename().string().find(".zip") == std::string::npos) {
            EXPECT_EQ(p.compare(0, prefix.size(), prefix), 0) << "written outside the target: " << p;
        }
    }
}

std::string MakeArchive(const std::string& path, const char* password, const std::vector<std::string>& names,
                        const std::string& data) {
    ZipHandle* zip = ZipCreate(path.c_str(), password);
    EXPECT_NE(zip, nullptr);
    for (const std::string& n : names)
        EXPECT_EQ(ZipAddMemory(zip, n.c_str(), data.data(), (uint32_t)data.size()), kZipOk) << n;
    EXPECT_EQ(ZipClose(zip), kZipOk);
    std::string bytes;
    ReadFileBytes(path, &bytes);
    return bytes;
}

void Put16(std::string* s, size_t at, unsigned v) {
    (*s)[at] = (char)v;
    (*s)[at + 1] = (char)(v >> 8);
}
void Put32(std::string* s, size_t at, unsigned v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}
size_t CentralAt(const std::string& s) {
    return s.find(std::string("PK\x01\x02", 4));
}

}  // namespace

TEST(ZipHostile, TraversalNamesStayInsideTheTarget) {
    std::string dir = MakeTestDir("hostile-traversal");
    RunPeer(dir, "mkdir -p deep/er/target");
    std::string target = PathJoin(dir, "deep/er/target");
    std::string ours = PathJoin(dir, "deep/ours.zip");
    MakeArchive(ours, nullptr,
                {"../evil1.txt", "a/../../evil2.txt", "/abs3.txt", "C:/drive4.txt", "ok/../../../evil8.txt",
                 "ok/.../evil9.txt", "ok/.. /evil10.txt", "ok/x:y.txt", "fine/inner.txt"},
                "payload");
    int extracted = Exercise(ours, nullptr, target);
    // Sanitised to safe names: abs3.txt, drive4.txt, evil8.txt, fine/inner.txt.
    EXPECT_EQ(extracted, 4);
    EXPECT_TRUE(FileExists(PathJoin(target, "evil8.txt")));
    EXPECT_TRUE(FileExists(PathJoin(target, "abs3.txt")));
    EXPECT_TRUE(FileExists(PathJoin(target, "drive4.txt")));
    EXPECT_TRUE(FileExists(PathJoin(target, "fine/inner.txt")));

    std::string out;
    ASSERT_EQ(RunPeer(dir, "/usr/bin/python3 " + PeerScript() + " make deep", &out), 0) << out;
    Exercise(PathJoin(dir, "deep/python.zip"), nullptr, target);
    ExpectNothingOutside(dir, "deep/er/target");

    ZipHandle* zip = UnzipOpen(ours.c_str(), nullptr);
    UnzipSetBaseDir(zip, target.c_str());
    for (const char* bad : {"../x", "..\\x", "a/../../x", "/x", "\\x", "C:x", "D:\\x", "a\\..\\..\\x", ".. \\x"})
        EXPECT_EQ(UnzipItemToFile(zip, 8, bad), kZipErrArgument) << bad;
    EXPECT_EQ(UnzipItemToFile(zip, 8, "plain/name.txt"), kZipOk);
    UnzipClose(zip);
    ExpectNothingOutside(dir, "deep/er/target");
}

// The stored name as the directory has it, next to the sanitised one, so
// that a caller can refuse an absolute or climbing name instead of taking
// its sanitised form; a name too long for the buffer is not cut.
TEST(ZipHostile, StoredNamesComeUnsanitised) {
    std::string dir = MakeTestDir("hostile-stored");
    std::string ours = PathJoin(dir, "stored.zip");
    MakeArchive(ours, nullptr, {"/etc/abs.qcg", "C:/drive.txt", "a/../../b.txt", "fine/inner.txt"}, "payload");
    ZipHandle* zip = UnzipOpen(ours.c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    const std::pair<const char*, const char*> kNames[] = {{"/etc/abs.qcg", "etc/abs.qcg"},
                                                          {"C:/drive.txt", "drive.txt"},
                                                          {"a/../../b.txt", "../b.txt"},
                                                          {"fine/inner.txt", "fine/inner.txt"}};
    for (int i = 0; i < 4; i++) {
        char stored[260];
        ZipItem item;
        ASSERT_EQ(UnzipGetStoredName(zip, i, stored, sizeof stored), kZipOk);
        ASSERT_EQ(UnzipGetItem(zip, i, &item), kZipOk);
        EXPECT_STREQ(stored, kNames[i].first);
        EXPECT_STREQ(item.name, kNames[i].second);
    }
    char small[8];
    EXPECT_EQ(UnzipGetStoredName(zip, 0, small, sizeof small), kZipErrArgument);
    EXPECT_EQ(UnzipGetStoredName(zip, 4, small, sizeof small), kZipErrArgument);
    EXPECT_EQ(UnzipGetStoredName(zip, -1, small, sizeof small), kZipErrArgument);
    UnzipClose(zip);
    ZipHandle* writer = ZipCreate(PathJoin(dir, "w.zip").c_str(), nullptr);
    EXPECT_EQ(UnzipGetStoredName(writer, 0, small, sizeof small), kZipErrHandleKind);
    ZipClose(writer);
    EXPECT_EQ(UnzipGetStoredName(nullptr, 0, small, sizeof small), kZipErrArgument);

    std::string out;
    ASSERT_EQ(RunPeer(dir,
                      "/usr/bin/python3 -c \"import zipfile; z = zipfile.ZipFile('long.zip', 'w'); "
                      "z.writestr('n' * 300, 'x'); z.close()\"",
                      &out),
              0)
        << out;
    zip = UnzipOpen(PathJoin(dir, "long.zip").c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    char name[260];
    EXPECT_EQ(UnzipGetStoredName(zip, 0, name, sizeof name), kZipErrLocalHeader);
    UnzipClose(zip);
}

TEST(ZipHostile, DamagedHeadersGiveCodes) {
    std::string dir = MakeTestDir("hostile-headers");
    std::string path = PathJoin(dir, "base.zip");
    std::string data = TextLikeBytes(3000, 5);
    std::string base = MakeArchive(path, nullptr, {"one.txt", "two.gz"}, data);
    size_t central = CentralAt(base);
    ASSERT_NE(central, std::string::npos);
    std::string target = PathJoin(dir, "t");
    auto open = [&](const std::string& bytes) {
        WriteFileBytes(path, bytes);
        return UnzipOpen(path.c_str(), nullptr);
    };
    ZipItem item;
    std::string buf(4000, '\0');

    // A name length that runs past the directory: the directory is unusable.
    std::string s = base;
    Put16(&s, central + 28, 0xFFFF);
    ZipHandle* zip = open(s);
    EXPECT_EQ(zip, nullptr);

    // A name longer than the 260-character buffer (our writer refuses to make one).
    std::string out;
    ASSERT_EQ(RunPeer(dir,
                      "/usr/bin/python3 -c \"import zipfile; z = zipfile.ZipFile('long.zip', 'w'); "
                      "z.writestr('n' * 300, 'x'); z.writestr('short.txt', 'y'); z.close()\"",
                      &out),
              0)
        << out;
    zip = UnzipOpen(PathJoin(dir, "long.zip").c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipGetItem(zip, 0, &item), kZipErrLocalHeader);
    EXPECT_EQ(UnzipGetItem(zip, 1, &item), kZipOk);
    EXPECT_STREQ(item.name, "short.txt");
    UnzipClose(zip);

    // Sizes and offsets beyond the file.
    s = base;
    Put32(&s, central + 20, 0x7FFFFFFF);
    zip = open(s);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipGetItem(zip, 0, &item), kZipErrLocalHeader);
    EXPECT_EQ(UnzipItemToMemory(zip, 0, &buf[0], 4000), kZipErrData);
    UnzipClose(zip);
    s = base;
    Put32(&s, central + 42, 0xFFFFFF00u);
    zip = open(s);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipGetItem(zip, 0, &item), kZipErrLocalHeader);
    UnzipClose(zip);

    // A stored entry whose sizes disagree (consistently in both headers).
    size_t central2 = s.find(std::string("PK\x01\x02", 4), central + 4);
    s = base;
    central2 = s.find(std::string("PK\x01\x02", 4), central + 4);
    size_t local2 = s.find(std::string("PK\x03\x04", 4), 4);
    Put32(&s, central2 + 24, 3500);
    Put32(&s, local2 + 22, 3500);
    zip = open(s);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipGetItem(zip, 1, &item), kZipOk);
    EXPECT_EQ(UnzipItemToMemory(zip, 1, &buf[0], 4000), kZipErrData);
    EXPECT_EQ(UnzipItemToFile(zip, 1, "x.gz"), kZipErrData);
    UnzipClose(zip);

    // A deflate stream cut short (both headers agree on the shorter size).
    s = base;
    unsigned csize = (unsigned char)s[central + 20] | ((unsigned char)s[central + 21] << 8);
    Put32(&s, central + 20, csize / 2);
    Put32(&s, 18, csize / 2);
    zip = open(s);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipItemToMemory(zip, 0, &buf[0], 4000), kZipErrData);
    UnzipClose(zip);

    // Damaged deflate data, and a CRC that disagrees.
    s = base;
    for (size_t i = 30 + 7 + 17 + 5; i < 30 + 7 + 17 + 25; i++)
        s[i] = (char)0xFF;
    zip = open(s);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipItemToMemory(zip, 0, &buf[0], 4000), kZipErrData);
    UnzipClose(zip);
    s = base;
    s[central + 16] ^= 1;
    s[14] ^= 1;
    zip = open(s);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipItemToMemory(zip, 0, &buf[0], 4000), kZipErrData);
    UnzipClose(zip);

    // An extended-timestamp block shorter than its flags claim.
    s = base;
    Put16(&s, 30 + 7 + 2, 5);
    zip = open(s);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipGetItem(zip, 0, &item), kZipErrLocalExtra);
    UnzipClose(zip);

    // A local header that disagrees with the directory, or is missing.
    s = base;
    s[8] = 0;  // method stored in the local header only
    zip = open(s);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipGetItem(zip, 0, &item), kZipErrLocalHeader);
    EXPECT_EQ(UnzipGetItem(zip, 1, &item), kZipOk);
    UnzipClose(zip);

    // End records that can't be right: entry counts differ, a second disk.
    size_t end = base.size() - 22;
    s = base;
    Put16(&s, end + 8, 1);
    EXPECT_EQ(open(s), nullptr);
    s = base;
    Put16(&s, end + 4, 1);
    EXPECT_EQ(open(s), nullptr);
    s = base;
    Put16(&s, end + 10, 900);
    Put16(&s, end + 8, 900);
    zip = open(s);  // more entries announced than the directory holds
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipGetItem(zip, 1, &item), kZipOk);
    EXPECT_EQ(UnzipGetItem(zip, 2, &item), kZipErrLocalHeader);
    EXPECT_EQ(UnzipGetItem(zip, 899, &item), kZipErrLocalHeader);
    UnzipClose(zip);
    EXPECT_EQ(open(""), nullptr);
    EXPECT_EQ(open("PK\x05\x06"), nullptr);
}

TEST(ZipHostile, EveryTruncationIsHandled) {
    std::string dir = MakeTestDir("hostile-truncate");
    std::string path = PathJoin(dir, "cut.zip");
    std::string base = MakeArchive(path, "pw", {"a.txt", "b.bin"}, TextLikeBytes(700, 2));
    std::string target = PathJoin(dir, "t");
    int opened = 0;
    for (size_t n = 0; n < base.size(); n++) {
        WriteFileBytes(path, base.substr(0, n));
        opened += Exercise(path, "pw", target) >= 0;
    }
    EXPECT_EQ(opened, 0) << "a cut archive has no valid end record";
    // Cut inside the data but with the directory kept: bytes go missing.
    std::string plain = MakeArchive(path, nullptr, {"a.txt"}, RandomBytes(5000, 3));
    size_t central = CentralAt(plain);
    for (size_t cut = 100; cut < central; cut += 97) {
        std::string s = plain.substr(0, cut) + plain.substr(central);
        // Point the directory at where it now is.
        Put32(&s, s.size() - 6, (unsigned)cut);
        WriteFileBytes(path, s);
        ZipHandle* zip = UnzipOpen(path.c_str(), nullptr);
        if (!zip)
            continue;
        std::string data;
        EXPECT_NE(ReadEntry(zip, 0, &data), kZipOk) << cut;
        UnzipClose(zip);
    }
}

TEST(ZipHostile, RandomDamageNeverCrashes) {
    std::string dir = MakeTestDir("hostile-random");
    std::string path = PathJoin(dir, "r.zip");
    std::string target = PathJoin(dir, "t");
    for (const char* pw : {(const char*)nullptr, "pw"}) {
        std::string base = MakeArchive(path, pw, {"a.txt", "sub/b.gz", "c.cfg"}, TextLikeBytes(1500, 4));
        std::string noise = RandomBytes(400000, 11);
        for (int iter = 0; iter < 400; iter++) {
            std::string s = base;
            int flips = 1 + (unsigned char)noise[iter * 9] % 4;
            for (int k = 0; k < flips; k++) {
                size_t at =
                    (((unsigned char)noise[iter * 9 + 1 + 2 * k] << 8) | (unsigned char)noise[iter * 9 + 2 + 2 * k]) %
                    s.size();
                s[at] = noise[iter * 9 + 8 - k];
            }
            WriteFileBytes(path, s);
            Exercise(path, pw, target);
        }
    }
    ExpectNothingOutside(dir, "t");
}
