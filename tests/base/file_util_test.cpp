// Files, folders and hexadecimal digits: the whole-file helpers of
// file_util and the temporary names and replacing moves of the file layer
// they build on, at the path lengths where fixed buffers end.
#include "base/file_util.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "base/os_file.h"
#include "base/str_util.h"
#include "support/test_support.h"

namespace fs = std::filesystem;

// The names in a folder, sorted.
static std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A folder below dir whose path is exactly `length` characters, made of
// components short enough for every file system; created when `create`.
static std::string FolderOfLength(const std::string& dir, size_t length, bool create) {
    std::string path = dir;
    while (path.size() < length) {
        size_t room = length - path.size() - 1;  // minus the separator
        if (room == 0) {                         // one character left: widen the last component instead
            path += "z";
            break;
        }
        size_t n = std::min<size_t>(room, 100);
        if (room - n == 1)  // never leave exactly one character for the next round
            n--;
        path += "/" + std::string(n, (char)('a' + path.size() % 26));
    }
    if (create) {
        std::error_code ec;
        fs::create_directories(path, ec);
    }
    return path;
}

TEST(FileUtil, HexDigitsEveryPairAgainstAReference) {
    auto digit = [](int c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    for (int hi = 0; hi < 256; hi++)
        for (int lo = 0; lo < 256; lo++) {
            char two[2] = {(char)hi, (char)lo};
            int expect = digit(hi) < 0 || digit(lo) < 0 ? -1 : digit(hi) * 16 + digit(lo);
            if (HexPairToByte(two) != expect)
                ADD_FAILURE() << hi << " " << lo;
        }
    // ByteToHex writes its two digits and nothing after them.
    char out[3] = {'#', '#', '#'};
    ByteToHex(0xA5, out);
    EXPECT_EQ(std::string(out, 3), "A5#");
    // A first character that is no digit ends the read: a one-byte buffer is enough.
    char one[1] = {'g'};
    EXPECT_EQ(HexPairToByte(one), -1);
    char nul[1] = {'\0'};
    EXPECT_EQ(HexPairToByte(nul), -1);
    EXPECT_EQ(HexPairToByte("A"), -1);  // its terminator is the second character
}

TEST(FileUtil, TryCreateFolderReportsAndPauses) {
    std::string dir = MakeTestDir("try-folder");
    EXPECT_EQ(TryCreateFolder(dir.c_str(), false), 0);  // exists already
    EXPECT_EQ(TryCreateFolder((dir + "/new").c_str(), false), 0);
    EXPECT_TRUE(OsIsFolder((dir + "/new").c_str()));
    EXPECT_EQ(TryCreateFolder(nullptr, false), 1);
    EXPECT_EQ(TryCreateFolder("", false), 1);
    EXPECT_EQ(TryCreateFolder((dir + "/missing/sub").c_str(), false), 1);  // one level only
    EXPECT_FALSE(OsIsFolder((dir + "/missing").c_str()));

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TryCreateFolder((dir + "/missing/sub").c_str(), true), 1);
    auto failed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(failed, std::chrono::milliseconds(90));  // the pause of a retry loop
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(TryCreateFolder((dir + "/quick").c_str(), true), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));  // no pause on success
}

TEST(FileUtil, CreateFolderPathAtItsLengthLimit) {
    std::string dir = MakeTestDir("folder-path");
    EXPECT_EQ(CreateFolderPath("/", false), 2);  // only separators
    EXPECT_EQ(CreateFolderPath("\\\\//", false), 2);

    // Doubled separators inside the path count once.
    std::string doubled = dir + "//one\\\\two/";
    EXPECT_EQ(CreateFolderPath(doubled.c_str(), false), 0);
    EXPECT_TRUE(OsIsFolder((dir + "/one/two").c_str()));

    // 520 characters and more: refused before any level is made, so that a
    // cut path never leaves folders behind.
    std::string base = dir + "/long";
    for (size_t length : {520u, 521u, 700u}) {
        std::string tooLong = FolderOfLength(base, length, false);
        ASSERT_EQ(tooLong.size(), length);
        EXPECT_EQ(CreateFolderPath(tooLong.c_str(), false), 1) << length;
        EXPECT_FALSE(OsIsFolder(base.c_str())) << length;
    }
    // 520 characters of which one is a trailing separator: still too long for the copy.
    std::string trailing = FolderOfLength(base, 519, false) + "/";
    EXPECT_EQ(CreateFolderPath(trailing.c_str(), false), 1);
    EXPECT_FALSE(OsIsFolder(base.c_str()));

    // Up to the longest path the ANSI file functions take, every level is made.
    std::string longest = FolderOfLength(base, 247, false);
    EXPECT_EQ(CreateFolderPath(longest.c_str(), false), 0);
    EXPECT_TRUE(OsIsFolder(longest.c_str()));
#ifndef _WIN32
    // The POSIX layer has no such limit: 519 characters, the most the contract takes.
    std::string most = FolderOfLength(dir + "/most", 519, false);
    EXPECT_EQ(CreateFolderPath(most.c_str(), false), 0);
    EXPECT_TRUE(OsIsFolder(most.c_str()));
#endif
}

TEST(FileUtil, WriteAndReadWholeFiles) {
    std::string dir = MakeTestDir("raw");
    std::string path = dir + "/sub/deeper/data.bin";  // the folders are made on the way
    std::string data = RandomBytes(70000, 7);
    EXPECT_EQ(WriteFileRaw(path.c_str(), data.data(), (DWORD)data.size(), false), data.size());
    EXPECT_EQ(ReadFileRaw(path.c_str(), nullptr, 0), data.size());

    std::vector<char> buf(data.size() + 100, 'q');
    EXPECT_EQ(ReadFileRaw(path.c_str(), buf.data(), (DWORD)buf.size()), data.size());
    EXPECT_EQ(std::string(buf.data(), data.size()), data);
    EXPECT_EQ(std::string(buf.data() + data.size(), 100), std::string(100, '\0'));  // the rest zero-filled

    // A shorter buffer gets the start, and nothing is written past cb.
    std::vector<char> part(20, 'q');
    EXPECT_EQ(ReadFileRaw(path.c_str(), part.data(), 16), 16u);
    EXPECT_EQ(std::string(part.data(), 16), data.substr(0, 16));
    EXPECT_EQ(std::string(part.data() + 16, 4), "qqqq");
    EXPECT_EQ(ReadFileRaw(path.c_str(), part.data(), 0), 0u);  // cb 0 reads nothing
    EXPECT_EQ(part[0], data[0]);

    // Appending adds at the end; a plain write replaces the whole file.
    EXPECT_EQ(WriteFileRaw(path.c_str(), "tail", 4, true), 4u);
    EXPECT_EQ(ReadFileRaw(path.c_str(), nullptr, 0), data.size() + 4);
    EXPECT_EQ(WriteFileRaw(path.c_str(), "x", 1, false), 1u);
    std::string disk;
    ASSERT_TRUE(ReadFileBytes(path, &disk));
    EXPECT_EQ(disk, "x");
    EXPECT_EQ(WriteFileRaw(path.c_str(), nullptr, 0, false), 0u);  // an empty file
    ASSERT_TRUE(ReadFileBytes(path, &disk));
    EXPECT_EQ(disk, "");
    std::string fresh = dir + "/appended.bin";
    EXPECT_EQ(WriteFileRaw(fresh.c_str(), "ab", 2, true), 2u);  // append creates a missing file
    ASSERT_TRUE(ReadFileBytes(fresh, &disk));
    EXPECT_EQ(disk, "ab");

    // Null arguments fail and touch nothing.
    EXPECT_EQ(WriteFileRaw(nullptr, "ab", 2, false), 0u);
    EXPECT_EQ(WriteFileRaw(fresh.c_str(), nullptr, 2, false), 0u);
    ASSERT_TRUE(ReadFileBytes(fresh, &disk));
    EXPECT_EQ(disk, "ab");
    char keep[4] = {'k', 'k', 'k', 'k'};
    EXPECT_EQ(ReadFileRaw(nullptr, keep, sizeof keep), 0u);
    EXPECT_EQ(ReadFileRaw(dir.c_str(), keep, sizeof keep), 0u);  // a folder is no file
    EXPECT_EQ(ReadFileRaw(dir.c_str(), nullptr, 0), 0u);
    EXPECT_EQ(ReadFileRaw((dir + "/none").c_str(), keep, sizeof keep), 0u);
    EXPECT_EQ(std::string(keep, 4), "kkkk");
}

TEST(FileUtil, ReadFileRawCapsTheSizeOfAHugeFile) {
    std::string dir = MakeTestDir("huge");
    std::string path = dir + "/sparse.bin";
    struct Size {
        uint64_t bytes;
        DWORD reported;
    };
    const Size sizes[] = {{0xFFFFFFFEull, 0xFFFFFFFEu},
                          {0xFFFFFFFFull, 0xFFFFFFFFu},
                          {0x100000000ull, 0xFFFFFFFFu},
                          {0x140000001ull, 0xFFFFFFFFu}};
    for (const Size& s : sizes) {
        OsFile* f = OsFileOpenWrite(path.c_str(), false);
        ASSERT_NE(f, nullptr);
        // Sparse: the end is set, nothing is written.
        ASSERT_TRUE(OsFileSeek(f, s.bytes));
        ASSERT_TRUE(OsFileTruncateHere(f));
        OsFileClose(f);
        EXPECT_EQ(ReadFileRaw(path.c_str(), nullptr, 0), s.reported) << s.bytes;  // not the low 32 bits
    }
    EXPECT_TRUE(OsDeleteFile(path.c_str()));
}

TEST(FileUtil, WholeFilesAtThePathLimit) {
    std::string dir = MakeTestDir("path-limit");
    // A file path of 259 characters, the most kCchPath holds, is written and read.
    std::string folder = FolderOfLength(dir + "/p", 240, true);
    std::string at259 = folder + "/" + std::string(259 - folder.size() - 1, 'n');
    ASSERT_EQ(at259.size(), 259u);
    EXPECT_EQ(WriteFileRaw(at259.c_str(), "259", 3, false), 3u);
    char buf[4] = {};
    EXPECT_EQ(ReadFileRaw(at259.c_str(), buf, 3), 3u);
    EXPECT_STREQ(buf, "259");

    // Longer paths: written whole or not at all; never under a cut name.
    for (size_t length : {260u, 300u}) {
        std::string name = std::string(length - folder.size() - 1, 'm');
        std::string path = folder + "/" + name;
        DWORD written = WriteFileRaw(path.c_str(), "long", 4, false);
        std::vector<std::string> names = Names(folder);
        if (written == 0) {
            EXPECT_EQ(names, std::vector<std::string>({at259.substr(folder.size() + 1)})) << length;
        } else {
            EXPECT_EQ(written, 4u);
            EXPECT_EQ(ReadFileRaw(path.c_str(), nullptr, 0), 4u);
            EXPECT_TRUE(OsDeleteFile(path.c_str()));
        }
    }
}

TEST(FileUtil, TemporaryNamesFitTheirBufferOrLeaveNothing) {
    std::string dir = MakeTestDir("temp");
    std::string beside = dir + "/target.cfg";
    char tmp[kCchPath];
    OsFile* f = OsFileCreateTemp(beside.c_str(), tmp, countof(tmp));
    ASSERT_NE(f, nullptr);
    OsFileClose(f);
    std::string name = tmp;
    ASSERT_EQ(name.compare(0, dir.size() + 1, dir + "/"), 0) << name;  // in the folder of `beside`
    ASSERT_EQ(Names(dir).size(), 1u);
    const size_t nameLength = name.size() - dir.size();  // the separator and the file name
    ASSERT_TRUE(OsDeleteFile(tmp));

    // Every capacity around the name's length: either the whole name and a
    // file, or null and no file; never a cut name.
    for (DWORD cch = (DWORD)name.size() - 2; cch <= (DWORD)name.size() + 2; cch++) {
        memset(tmp, 'x', sizeof tmp);
        f = OsFileCreateTemp(beside.c_str(), tmp, cch);
        if (cch > name.size()) {
            ASSERT_NE(f, nullptr) << cch;
            OsFileClose(f);
            EXPECT_EQ(strlen(tmp), name.size());
            EXPECT_EQ(Names(dir).size(), 1u);
            EXPECT_TRUE(OsDeleteFile(tmp));
        } else {
            EXPECT_EQ(f, nullptr) << cch;
            OsFileClose(f);
        }
        EXPECT_TRUE(Names(dir).empty()) << cch;
    }
    EXPECT_EQ(OsFileCreateTemp(nullptr, tmp, countof(tmp)), nullptr);
    EXPECT_EQ(OsFileCreateTemp(beside.c_str(), nullptr, countof(tmp)), nullptr);

    // A folder so long that the temporary name would need 260 characters:
    // refused in a kCchPath buffer, and no file is left.
    std::string deep = FolderOfLength(dir + "/d", kCchPath - nameLength, true);
    memset(tmp, 'x', sizeof tmp);
    f = OsFileCreateTemp((deep + "/target.cfg").c_str(), tmp, countof(tmp));
    EXPECT_EQ(f, nullptr);
    OsFileClose(f);
    EXPECT_TRUE(Names(deep).empty()) << ::testing::PrintToString(Names(deep));
#ifdef _WIN32
    // GetTempFileNameA's limit: 246 characters of folder with its separator.
    // One more is refused before Windows is asked, and leaves no file.
    const size_t longestFolder = 246;
#else
    // One character shorter than above: the name takes 259 characters.
    const size_t longestFolder = kCchPath - nameLength;
#endif
    for (size_t length : {longestFolder, longestFolder + 1}) {
        std::string folder = FolderOfLength(dir + "/e" + std::to_string(length), length - 1, true);
        f = OsFileCreateTemp((folder + "/target.cfg").c_str(), tmp, countof(tmp));
        if (length == longestFolder) {
            ASSERT_NE(f, nullptr) << length;
            OsFileClose(f);
            EXPECT_EQ(strlen(tmp), length + nameLength - 1);
            EXPECT_EQ(Names(folder).size(), 1u);
        } else {
            EXPECT_EQ(f, nullptr) << length;
            OsFileClose(f);
            EXPECT_TRUE(Names(folder).empty()) << ::testing::PrintToString(Names(folder));
        }
    }
}

TEST(FileUtil, TemporaryNameBesideAPlainNameIsInTheCurrentFolder) {
    std::string dir = MakeTestDir("temp-here");
    std::error_code ec;
    fs::path previous = fs::current_path(ec);
    ASSERT_FALSE(ec);
    fs::current_path(dir, ec);
    ASSERT_FALSE(ec);
    char tmp[kCchPath];
    OsFile* f = OsFileCreateTemp("plain.cfg", tmp, countof(tmp));
    fs::current_path(previous, ec);
    ASSERT_NE(f, nullptr);
    OsFileClose(f);
    std::vector<std::string> names = Names(dir);
    ASSERT_EQ(names.size(), 1u);
    std::string made = tmp;
    size_t cut = made.find_last_of("\\/");
    EXPECT_EQ(cut == std::string::npos ? made : made.substr(cut + 1), names[0]) << made;
}

TEST(FileUtil, MoveReplaceSwapsInTheNewFileOrNothing) {
    std::string dir = MakeTestDir("replace");
    std::string from = dir + "/new.tmp";
    std::string to = dir + "/settings.cfg";
    ASSERT_TRUE(WriteFileBytes(from, "new contents"));
    ASSERT_TRUE(WriteFileBytes(to, "old"));
    EXPECT_TRUE(OsMoveReplace(from.c_str(), to.c_str()));
    std::string disk;
    ASSERT_TRUE(ReadFileBytes(to, &disk));
    EXPECT_EQ(disk, "new contents");
    EXPECT_FALSE(FileExists(from));

    // A move that fails leaves the target as it was.
    EXPECT_FALSE(OsMoveReplace((dir + "/missing.tmp").c_str(), to.c_str()));
    EXPECT_FALSE(OsMoveReplace(nullptr, to.c_str()));
    EXPECT_FALSE(OsMoveReplace(to.c_str(), nullptr));
    ASSERT_TRUE(ReadFileBytes(to, &disk));
    EXPECT_EQ(disk, "new contents");

    // Onto a missing target it is a plain rename; at 259 characters too.
    std::string folder = FolderOfLength(dir + "/f", 240, true);
    std::string at259 = folder + "/" + std::string(259 - folder.size() - 1, 'r');
    EXPECT_TRUE(OsMoveReplace(to.c_str(), at259.c_str()));
    ASSERT_TRUE(ReadFileBytes(at259, &disk));
    EXPECT_EQ(disk, "new contents");
    EXPECT_FALSE(FileExists(to));
}
