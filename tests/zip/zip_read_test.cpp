// Our reader on archives of Info-ZIP zip, Python's zipfile and our writer.
#include <gtest/gtest.h>

#include <set>

#include "support/test_support.h"
#include "zip/zip.h"
#include "zip_test_util.h"

namespace {

std::string Slashed(std::string s) {
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

// Reads every entry of an archive made by another tool from the source
// tree, to memory and to files, and compares bytes and times.
void CheckAgainstSources(const std::string& dir, const std::string& archive, const char* password,
                         const std::vector<SourceFile>& files) {
    ZipHandle* zip = UnzipOpen(archive.c_str(), password);
    ASSERT_NE(zip, nullptr) << archive;
    ZipItem count;
    ASSERT_EQ(UnzipGetItem(zip, -1, &count), kZipOk);
    std::string outDir = PathJoin(dir, "out-" + std::to_string(rand()));
    ASSERT_EQ(UnzipSetBaseDir(zip, outDir.c_str()), kZipOk);
    std::set<std::string> seen;
    for (int i = 0; i < count.index; i++) {
        ZipItem item;
        ASSERT_EQ(UnzipGetItem(zip, i, &item), kZipOk) << i;
        EXPECT_EQ(item.index, i);
        SCOPED_TRACE(item.name);
        ASSERT_EQ(UnzipItemToFile(zip, i, item.name), kZipOk);
        if (item.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            EXPECT_TRUE(FileExists(PathJoin(outDir, item.name)));
            continue;
        }
        const SourceFile* src = nullptr;
        for (const SourceFile& f : files)
            if (Slashed(f.name) == item.name)
                src = &f;
        ASSERT_NE(src, nullptr);
        seen.insert(item.name);
        std::string data;
        ASSERT_EQ(ReadEntry(zip, i, &data), kZipOk);
        EXPECT_EQ(data, src->bytes);
        std::string extracted;
        ASSERT_TRUE(ReadFileBytes(PathJoin(outDir, item.name), &extracted));
        EXPECT_EQ(extracted, src->bytes);
        EXPECT_EQ(UnixOf(item.lastWrite), kSourceMtime);
        EXPECT_EQ((item.attributes & FILE_ATTRIBUTE_READONLY) != 0, src->readOnly);
        EXPECT_TRUE(item.attributes & FILE_ATTRIBUTE_ARCHIVE);
        std::string out;
        ASSERT_EQ(RunPeer(dir, "stat -c %Y " + ShellQuote(UnixPathOf(PathJoin(outDir, item.name))), &out), 0);
        EXPECT_EQ(std::stoul(out), kSourceMtime) << "extracted file keeps the entry's time";
    }
    EXPECT_EQ(seen.size(), files.size());
    EXPECT_EQ(UnzipClose(zip), kZipOk);
}

std::string InfoZipDir(const char* name, std::vector<SourceFile>* files) {
    std::string dir = MakeTestDir(name);
    RunPeer(dir, "mkdir src");
    *files = SourceFiles();
    WriteSourceTree(PathJoin(dir, "src"), *files);
    return dir;
}

}  // namespace

TEST(ZipRead, InfoZipArchives) {
    std::vector<SourceFile> files;
    std::string dir = InfoZipDir("read-infozip", &files);
    std::string out;
    ASSERT_EQ(RunPeer(dir,
                      "cd src && zip -qr -8 ../deflated.zip . && zip -qr -0 ../stored.zip . && "
                      "zip -qr -P 'secret pw' ../encrypted.zip . && zip -qr -0 -P 'secret pw' ../encstored.zip .",
                      &out),
              0)
        << out;
    CheckAgainstSources(dir, PathJoin(dir, "deflated.zip"), nullptr, files);
    CheckAgainstSources(dir, PathJoin(dir, "stored.zip"), nullptr, files);
    CheckAgainstSources(dir, PathJoin(dir, "encrypted.zip"), "secret pw", files);
    CheckAgainstSources(dir, PathJoin(dir, "encstored.zip"), "secret pw", files);
}

TEST(ZipRead, WrongPasswordIsRefusedBeforeAnyData) {
    std::vector<SourceFile> files;
    std::string dir = InfoZipDir("read-wrongpw", &files);
    std::string out;
    ASSERT_EQ(RunPeer(dir, "cd src && zip -q -P right ../enc.zip notes.txt", &out), 0) << out;
    std::string ours = PathJoin(dir, "ours.zip");
    ZipHandle* w = ZipCreate(ours.c_str(), "right");
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(ZipAddMemory(w, "notes.txt", files[0].bytes.data(), (uint32_t)files[0].bytes.size()), kZipOk);
    ASSERT_EQ(ZipClose(w), kZipOk);
    // One byte checks the password, so a wrong one passes it once in 256;
    // the data then fails to inflate. Several wrong passwords must hit the check.
    for (const std::string& archive : {PathJoin(dir, "enc.zip"), ours}) {
        int refused = 0;
        for (const char* wrong : {"wrong", "Right", "righ", "right ", "xyzzy", (const char*)nullptr}) {
            ZipHandle* zip = UnzipOpen(archive.c_str(), wrong);
            ASSERT_NE(zip, nullptr);
            std::string buf(files[0].bytes.size(), '\0');
            uint32_t rc = UnzipItemToMemory(zip, 0, &buf[0], (uint32_t)buf.size());
            EXPECT_TRUE(rc == kZipErrPassword || rc == kZipErrData) << std::hex << rc;
            refused += rc == kZipErrPassword;
            std::string target = PathJoin(dir, "target.txt");
            WriteFileBytes(target, "keep me");
            UnzipSetBaseDir(zip, dir.c_str());
            EXPECT_NE(UnzipItemToFile(zip, 0, "target.txt"), kZipOk);
            std::string kept;
            ReadFileBytes(target, &kept);
            if (rc == kZipErrPassword) {
                EXPECT_EQ(kept, "keep me") << "a wrong password must not truncate an existing file";
            }
            UnzipClose(zip);
        }
        EXPECT_GE(refused, 4);
        ZipHandle* zip = UnzipOpen(archive.c_str(), "right");
        std::string data;
        EXPECT_EQ(ReadEntry(zip, 0, &data), kZipOk);
        EXPECT_EQ(data, files[0].bytes);
        UnzipClose(zip);
    }
}

TEST(ZipRead, PythonArchivesWithCommentPrefixAndOddNames) {
    std::string dir = MakeTestDir("read-python");
    std::string out;
    ASSERT_EQ(RunPeer(dir, "/usr/bin/python3 " + PeerScript() + " make .", &out), 0) << out;
    long long local1999 = std::stoll(out.substr(out.find("local1999=") + 10));
    long long local2020 = std::stoll(out.substr(out.find("local2020=") + 10));
    for (const char* name : {"python.zip", "comment.zip", "prefixed.zip"}) {
        SCOPED_TRACE(name);
        ZipHandle* zip = UnzipOpen(PathJoin(dir, name).c_str(), nullptr);
        ASSERT_NE(zip, nullptr);
        ZipItem item;
        ASSERT_EQ(UnzipGetItem(zip, -1, &item), kZipOk);
        ASSERT_EQ(item.index, 11);
        std::vector<std::string> names;
        for (int i = 0; i < 11; i++) {
            ASSERT_EQ(UnzipGetItem(zip, i, &item), kZipOk) << i;
            names.push_back(item.name);
        }
        EXPECT_EQ(names,
                  (std::vector<std::string>{"deflated.txt", "stored.bin", "readonly.txt", "writable.txt", "x.txt",
                                            "etc/y", "b", "../b", "..\\evil5.txt", "..\\evil6.txt", "evil7.txt"}));
        std::string data;
        ASSERT_EQ(ReadEntry(zip, 0, &data), kZipOk);
        EXPECT_EQ(data.size(), 4800u);
        ASSERT_EQ(ReadEntry(zip, 1, &data), kZipOk);
        ASSERT_EQ(data.size(), 5000u);
        for (size_t i = 0; i < data.size(); i++)
            ASSERT_EQ((unsigned char)data[i], (i * 7 + 3) % 251) << i;
        // No UT field: the DOS time is local time.
        ASSERT_EQ(UnzipGetItem(zip, 0, &item), kZipOk);
        EXPECT_EQ(UnixOf(item.lastWrite), local2020);
        EXPECT_EQ(UnixOf(item.creation), local2020);
        ASSERT_EQ(UnzipGetItem(zip, 2, &item), kZipOk);
        EXPECT_EQ(UnixOf(item.lastWrite), local1999);
        EXPECT_EQ(item.attributes, (uint32_t)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
        ASSERT_EQ(UnzipGetItem(zip, 3, &item), kZipOk);
        EXPECT_EQ(item.attributes, (uint32_t)FILE_ATTRIBUTE_ARCHIVE);
        EXPECT_EQ(UnzipClose(zip), kZipOk);
    }
}

TEST(ZipRead, PartialReadsContinueWithTheSameIndex) {
    std::string dir = MakeTestDir("read-partial");
    std::string archive = PathJoin(dir, "a.zip");
    std::string data = RandomBytes(250, 8);
    std::string small = "0123456789";
    for (const char* pw : {(const char*)nullptr, "pw"}) {
        ZipHandle* w = ZipCreate(archive.c_str(), pw);
        ASSERT_NE(w, nullptr);
        ASSERT_EQ(ZipAddMemory(w, "d.bin", data.data(), 250), kZipOk);
        ASSERT_EQ(ZipAddMemory(w, "s.gz", small.data(), 10), kZipOk);  // stored
        ASSERT_EQ(ZipAddMemory(w, "other.txt", "other", 5), kZipOk);
        ASSERT_EQ(ZipClose(w), kZipOk);
        ZipHandle* zip = UnzipOpen(archive.c_str(), pw);
        ASSERT_NE(zip, nullptr);
        char buf[100];
        std::string got;
        EXPECT_EQ(UnzipItemToMemory(zip, 0, buf, 100), kZipMoreData);
        got.append(buf, 100);
        EXPECT_EQ(UnzipItemToMemory(zip, 0, buf, 100), kZipMoreData);
        got.append(buf, 100);
        EXPECT_EQ(UnzipItemToMemory(zip, 0, buf, 100), kZipOk);
        got.append(buf, 50);
        EXPECT_EQ(got, data);
        // Asking for another entry closes the partly read one.
        EXPECT_EQ(UnzipItemToMemory(zip, 0, buf, 100), kZipMoreData);
        EXPECT_EQ(UnzipItemToMemory(zip, 2, buf, 100), kZipOk);
        EXPECT_EQ(std::string(buf, 5), "other");
        EXPECT_EQ(UnzipItemToMemory(zip, 0, buf, 100), kZipMoreData);
        EXPECT_EQ(std::string(buf, 100), data.substr(0, 100));
        // A stored entry of n bytes into a buffer of n bytes ends in one call.
        char ten[10];
        EXPECT_EQ(UnzipItemToMemory(zip, 1, ten, 10), kZipOk);
        EXPECT_EQ(std::string(ten, 10), small);
        ZipItem item;
        ASSERT_EQ(UnzipGetItem(zip, 1, &item), kZipOk);
        EXPECT_EQ(item.compressedSize, pw ? 22u : 10u);
        UnzipClose(zip);
    }
}

TEST(ZipRead, IndexesAndNames) {
    std::string dir = MakeTestDir("read-index");
    std::string archive = PathJoin(dir, "a.zip");
    ZipHandle* w = ZipCreate(archive.c_str(), nullptr);
    ASSERT_EQ(ZipAddMemory(w, "Alpha.txt", "a", 1), kZipOk);
    ASSERT_EQ(ZipAddMemory(w, "dir\\Beta.txt", "b", 1), kZipOk);
    ASSERT_EQ(ZipAddMemory(w, "gamma", "c", 1), kZipOk);
    ASSERT_EQ(ZipClose(w), kZipOk);
    ZipHandle* zip = UnzipOpen(archive.c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    ZipItem item;
    ASSERT_EQ(UnzipGetItem(zip, -1, &item), kZipOk);
    EXPECT_EQ(item.index, 3);
    EXPECT_EQ(item.name[0], '\0');
    EXPECT_EQ(UnzipGetItem(zip, 3, &item), kZipErrArgument);
    EXPECT_EQ(UnzipGetItem(zip, -2, &item), kZipErrArgument);
    char buf[4];
    EXPECT_EQ(UnzipItemToMemory(zip, -1, buf, 4), kZipErrArgument);
    EXPECT_EQ(UnzipItemToMemory(zip, 3, buf, 4), kZipErrArgument);
    EXPECT_EQ(UnzipItemToMemory(zip, 0, nullptr, 4), kZipErrArgument);
    EXPECT_EQ(UnzipItemToFile(zip, -1, "x.txt"), kZipErrArgument);
    EXPECT_EQ(UnzipItemToFile(zip, 3, "x.txt"), kZipErrArgument);
    // Walking backwards and forwards gives the same entries.
    ASSERT_EQ(UnzipGetItem(zip, 2, &item), kZipOk);
    EXPECT_STREQ(item.name, "gamma");
    ASSERT_EQ(UnzipGetItem(zip, 1, &item), kZipOk);
    EXPECT_STREQ(item.name, "dir/Beta.txt");
    ASSERT_EQ(UnzipGetItem(zip, 0, &item), kZipOk);
    EXPECT_STREQ(item.name, "Alpha.txt");

    int index = 7;
    EXPECT_EQ(UnzipFindItem(zip, "dir/beta.txt", 0, &index, &item), kZipErrNotFound);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(item.index, -1);
    EXPECT_EQ(UnzipFindItem(zip, "dir/beta.txt", 1, &index, &item), kZipOk);
    EXPECT_EQ(index, 1);
    EXPECT_STREQ(item.name, "dir/Beta.txt");
    EXPECT_EQ(UnzipFindItem(zip, "gamma", 0, nullptr, nullptr), kZipOk);
    EXPECT_EQ(UnzipFindItem(zip, std::string(256, 'g').c_str(), 1, &index, nullptr), kZipErrNotFound);
    EXPECT_EQ(UnzipFindItem(zip, "", 0, &index, nullptr), kZipErrArgument);
    EXPECT_EQ(UnzipSetBaseDir(zip, std::string(300, 'd').c_str()), kZipErrArgument);
    UnzipClose(zip);
    EXPECT_EQ(UnzipOpen(PathJoin(dir, "missing.zip").c_str(), nullptr), nullptr);
    EXPECT_EQ(UnzipOpen(nullptr, nullptr), nullptr);
}

TEST(ZipRead, OwnArchivesRoundTripWithFoldersAndEmptyFiles) {
    std::vector<SourceFile> files = SourceFiles();
    files.push_back({"empty.txt", ""});
    std::string dir = MakeTestDir("read-roundtrip");
    RunPeer(dir, "mkdir -p src/folder");
    WriteSourceTree(PathJoin(dir, "src"), files);
    std::string archive = PathJoin(dir, "a.zip");
    ZipHandle* w = ZipCreate(archive.c_str(), "pw");
    ASSERT_NE(w, nullptr);
    for (const SourceFile& f : files)
        ASSERT_EQ(ZipAddFile(w, f.name.c_str(), PathJoin(dir, "src/" + Slashed(f.name)).c_str()), kZipOk) << f.name;
    ASSERT_EQ(ZipAddFile(w, "folder", PathJoin(dir, "src/folder").c_str()), kZipOk);
    ASSERT_EQ(ZipClose(w), kZipOk);
    std::string out;
    ASSERT_EQ(RunPeer(dir, "unzip -tqq -P pw a.zip && unzip -Z1 a.zip | tail -n 1", &out), 0) << out;
    EXPECT_EQ(out, "folder/\n");
    CheckAgainstSources(dir, archive, "pw", files);
}

// Unix times past 2038 do not fit a signed 32-bit field: they read back as written.
TEST(ZipRead, TimesPast2038ReadBackUnsigned) {
    std::string dir = MakeTestDir("read-future");
    const unsigned kYear2100 = 4102444800u;
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "future.txt"), "from the future"));
    std::string out;
    ASSERT_EQ(RunPeer(dir, "touch -m -d @" + std::to_string(kYear2100) + " future.txt", &out), 0) << out;
    std::string archive = PathJoin(dir, "a.zip");
    ZipHandle* w = ZipCreate(archive.c_str(), nullptr);
    ASSERT_EQ(ZipAddFile(w, "future.txt", PathJoin(dir, "future.txt").c_str()), kZipOk);
    ASSERT_EQ(ZipClose(w), kZipOk);
    ZipHandle* zip = UnzipOpen(archive.c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    ZipItem item;
    ASSERT_EQ(UnzipGetItem(zip, 0, &item), kZipOk);
    EXPECT_EQ(UnixOf(item.lastWrite), (long long)kYear2100);
    UnzipClose(zip);
}

// A comment may hold the bytes of an end record. A zeroed one ("PK\5\6"
// and 18 zero bytes) claims an archive without entries; it is comment text:
// its own comment does not reach the end of the file, or it lies inside the
// comment of the record before it that does.
TEST(ZipRead, EndRecordInsideTheCommentIsCommentText) {
    std::string dir = MakeTestDir("read-fake-end");
    std::string plain = PathJoin(dir, "plain.zip");
    ZipHandle* w = ZipCreate(plain.c_str(), nullptr);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(ZipAddMemory(w, "only.txt", "the one entry", 13), kZipOk);
    ASSERT_EQ(ZipClose(w), kZipOk);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(plain, &bytes));
    const std::string fake = std::string("PK\x05\x06", 4) + std::string(18, '\0');
    struct {
        const char* name;
        std::string comment;
    } cases[] = {{"fake-first.zip", fake + "tail"}, {"fake-last.zip", "head" + fake}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.comment.size(), 26u);
        std::string withComment = bytes;
        withComment[withComment.size() - 2] = (char)c.comment.size();
        withComment += c.comment;
        ASSERT_TRUE(WriteFileBytes(PathJoin(dir, c.name), withComment));
        ZipHandle* zip = UnzipOpen(PathJoin(dir, c.name).c_str(), nullptr);
        ASSERT_NE(zip, nullptr);
        ZipItem item;
        ASSERT_EQ(UnzipGetItem(zip, -1, &item), kZipOk);
        EXPECT_EQ(item.index, 1);
        std::string data;
        EXPECT_EQ(ReadEntry(zip, 0, &data), kZipOk);
        EXPECT_EQ(data, "the one entry");
        UnzipClose(zip);
    }
    // 7-Zip reads them the same way.
    for (const auto& c : cases) {
        std::string out;
        ASSERT_EQ(RunPeer(dir, std::string("7z l -slt ") + c.name + " | grep '^Path = o'", &out), 0) << out;
        EXPECT_EQ(out, "Path = only.txt\n") << c.name;
    }
    // A record without entries that ends the file is a real empty archive,
    // also behind other bytes.
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "empty.zip"), "leading bytes" + fake));
    ZipHandle* zip = UnzipOpen(PathJoin(dir, "empty.zip").c_str(), nullptr);
    ASSERT_NE(zip, nullptr);
    ZipItem item;
    ASSERT_EQ(UnzipGetItem(zip, -1, &item), kZipOk);
    EXPECT_EQ(item.index, 0);
    UnzipClose(zip);
    // One that neither ends the file nor has entries is no archive.
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "not.zip"), fake + "trailing"));
    EXPECT_EQ(UnzipOpen(PathJoin(dir, "not.zip").c_str(), nullptr), nullptr);
}

// Comments that Info-ZIP writes (zip -z): the archive opens and reads.
TEST(ZipRead, InfoZipArchiveCommentsOpen) {
    std::string dir = MakeTestDir("read-zip-comment");
    std::string out;
    ASSERT_EQ(RunPeer(dir,
                      "printf 'first file\\n' > a.txt && printf 'second\\n' > b.txt && zip -q c.zip a.txt b.txt && "
                      "printf 'A comment\\nover two lines, PK and all\\n' | zip -q -z c.zip && "
                      "head -c 3000 /dev/zero | tr '\\0' 'k' | zip -q -z long.zip a.txt && unzip -z c.zip",
                      &out),
              0)
        << out;
    EXPECT_NE(out.find("over two lines"), std::string::npos) << out;
    for (const char* name : {"c.zip", "long.zip"}) {
        SCOPED_TRACE(name);
        ZipHandle* zip = UnzipOpen(PathJoin(dir, name).c_str(), nullptr);
        ASSERT_NE(zip, nullptr);
        ZipItem item;
        ASSERT_EQ(UnzipGetItem(zip, -1, &item), kZipOk);
        EXPECT_EQ(item.index, std::string(name) == "c.zip" ? 2 : 1);
        std::string data;
        EXPECT_EQ(ReadEntry(zip, 0, &data), kZipOk);
        EXPECT_EQ(data, "first file\n");
        UnzipClose(zip);
    }
}
