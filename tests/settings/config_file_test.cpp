// The option store: key formatting, every accessor in both directions, the
// password-protected archive against Python's zipfile and Info-ZIP, whole-
// key lookups, and replacement of the archive through a temporary file.
#include "settings/config_file.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "base/str_util.h"
#include "settings/data_folders.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

// From record_file_test.cpp.
struct ReplaceBlock;
bool BlockReplace(const std::string& path, ReplaceBlock* block);
void UnblockReplace(ReplaceBlock* block);
struct ReplaceBlock {
    std::string path;
#ifdef _WIN32
    HANDLE h = INVALID_HANDLE_VALUE;
#else
    bool immutable = false;
#endif
};

static const char kPassword[] = "KorTamVu82e41q";

static std::string Peer() {
    return std::string("/usr/bin/python3 ") + VP_SOURCE_DIR + "/tests/settings/options_peer.py";
}

static std::string Text(const CConfigFile& cfg) {
    return std::string(cfg.TextData() ? cfg.TextData() : "", (size_t)cfg.TextSize());
}

static std::string Entry(const std::string& kv) {
    return kv + std::string("\0\r\n", 3);
}

struct TestRect {
    int left, top, right, bottom;
};

class ConfigFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeTestDir("options");
        StrCopy(gUserDataFolder, countof(gUserDataFolder), dir.c_str());
        StrCopy(gCommonDataFolder, countof(gCommonDataFolder), dir.c_str());
    }
    // Writes the text as entry "name" of Options.qcg with Info-ZIP's zip.
    void ZipText(const std::string& text, const char* entry = "3", const char* password = kPassword) {
        ASSERT_TRUE(WriteFileBytes(PathJoin(dir, entry), text));
        std::string out;
        ASSERT_EQ(
            RunPeer(dir, std::string("rm -f Options.qcg && zip -q -P ") + password + " Options.qcg " + entry, &out), 0)
            << out;
    }
    std::string dir;
};

TEST_F(ConfigFileTest, KeyFormatting) {
    CConfigFile cfg(5, "gOpt.");
    int32_t v = 7;
    EXPECT_EQ(cfg.Int(&v, "&gOpt.Value"), 0);
    EXPECT_EQ(cfg.Int(&v, "gOpt.Hot[x][y]", 2, 3), 0);
    EXPECT_EQ(cfg.Int(&v, "gOpt.Colors[i]", 3), 0);
    EXPECT_EQ(cfg.Int(&v, "gOpt.Keep[0]"), 0);
    EXPECT_EQ(cfg.Int(&v, "gOpt.Mix[0][j]", 4), 0);
    EXPECT_EQ(cfg.Int(&v, "&gOpt.Expr[n + 1]", -2), 0);
    // A '%' in a key text is a plain character, never a format.
    EXPECT_EQ(cfg.Int(&v, "gOpt.Pct%s%n%d"), 0);
    EXPECT_EQ(Text(cfg), Entry("Value=7") + Entry("Hot[2][3]=7") + Entry("Colors[3]=7") + Entry("Keep[0]=7") +
                             Entry("Mix[0][4]=7") + Entry("Expr[-2]=7") + Entry("Pct%s%n%d=7"));

    // No prefix, and a key that is all prefix.
    CConfigFile bare(1, "");
    EXPECT_EQ(bare.Int(&v, "&x.Name"), 0);
    CConfigFile all(1, "gOpt.");
    EXPECT_EQ(all.Int(&v, "gOpt"), 0);
    EXPECT_EQ(Text(bare), Entry("x.Name=7"));
    EXPECT_EQ(Text(all), Entry("=7"));

    // A key that does not fit its 259 characters is refused, not cut.
    std::string longKey = "gOpt." + std::string(260, 'k');
    EXPECT_EQ(cfg.Int(&v, longKey.c_str()), -1);
    std::string fits = "gOpt." + std::string(259, 'k');
    int before = cfg.TextSize();
    EXPECT_EQ(cfg.Int(&v, fits.c_str()), 0);
    EXPECT_EQ(cfg.TextSize(), before + 259 + 2 + 3);
}

TEST_F(ConfigFileTest, ValueForms) {
    CConfigFile cfg(9, "gOpt.");
    float f5 = 5, fq = 0.25f, fneg = -3, fbig = 1e20f, fpi = 3.14159265f;
    EXPECT_EQ(cfg.Float(&f5, "gOpt.A"), 0);
    EXPECT_EQ(cfg.Float(&fq, "gOpt.B"), 0);
    EXPECT_EQ(cfg.Float(&fneg, "gOpt.C"), 0);
    EXPECT_EQ(cfg.Float(&fbig, "gOpt.D"), 0);
    EXPECT_EQ(cfg.Float(&fpi, "gOpt.E"), 0);
    uint32_t colour = 0x00FF8040;
    EXPECT_EQ(cfg.Hex(&colour, "gOpt.Color"), 0);
    int32_t box[4] = {1, -2, 300, 2147483647};
    EXPECT_EQ(cfg.Rect(box, "gOpt.Box"), 0);
    int32_t neg = -2147483647 - 1;
    EXPECT_EQ(cfg.Int(&neg, "gOpt.Min"), 0);
    uint8_t blob[2] = {0x0A, 0xFF};
    EXPECT_EQ(cfg.Bytes(blob, 2, "gOpt.Blob"), 0);
    char name[8] = "hello";
    EXPECT_EQ(cfg.String(name, sizeof name, "gOpt.Name"), 0);
    EXPECT_EQ(Text(cfg), Entry("A=5.0") + Entry("B=0.25") + Entry("C=-3.0") + Entry("D=1e+20") + Entry("E=3.1415927") +
                             Entry("Color=0x00FF8040") + Entry("Box=1,-2,300,2147483647") + Entry("Min=-2147483648") +
                             Entry("Blob=0AFF") + Entry("Name=hello"));

    // Strings are cut to 1039 characters; an unterminated buffer stops at its size.
    std::string huge(2000, 's');
    CConfigFile cut(1, "");
    EXPECT_EQ(cut.String(&huge[0], huge.size() + 1, "S"), 0);
    char raw[3] = {'a', 'b', 'c'};
    EXPECT_EQ(cut.String(raw, sizeof raw, "R"), 0);
    char empty[1] = "";
    EXPECT_EQ(cut.String(empty, sizeof empty, "E"), 0);
    EXPECT_EQ(cut.Bytes(raw, 0, "B"), 0);
    EXPECT_EQ(Text(cut), Entry("S=" + std::string(1039, 's')) + Entry("R=abc") + Entry("E=") + Entry("B="));
}

TEST_F(ConfigFileTest, EveryAccessorRoundTripsThroughArchive) {
    int32_t count = -12345, idx[2][3];
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 3; j++)
            idx[i][j] = i * 10 + j;
    uint32_t colour = 0xDEADBEEF;
    float ratio = 0.1f, whole = 5;
    TestRect place = {-10, 20, 1930, 1090};
    char path[260] = "C:\\Users\\Someone\\Pictures\\Shot 100%.png";
    uint8_t font[60];
    for (int i = 0; i < 60; i++)
        font[i] = (uint8_t)(i * 37 + 1);
    auto exchange = [&](CConfigFile& cfg) {
        int rc = cfg.Int(&count, "&gOpt.Count");
        for (int i = 0; i < 2; i++)
            for (int j = 0; j < 3; j++)
                rc |= cfg.Int(&idx[i][j], "gOpt.Idx[i][j]", i, j);
        rc |= cfg.Hex(&colour, "&gOpt.Colour");
        rc |= cfg.Float(&ratio, "&gOpt.Ratio");
        rc |= cfg.Float(&whole, "&gOpt.Whole");
        rc |= cfg.Rect(&place, "&gOpt.Place");
        rc |= cfg.String(path, sizeof path, "gOpt.Path");
        rc |= cfg.Bytes(font, sizeof font, "gOpt.Font");
        return rc;
    };
    CConfigFile saver(7, "gOpt.");
    ASSERT_EQ(exchange(saver), 0);
    int size = saver.SaveArchive("Opt%s", -1, 0, "ions");
    ASSERT_EQ(size, saver.TextSize());
    ASSERT_GT(size, 0);
    EXPECT_TRUE(FileExists(PathJoin(dir, "Options.qcg")));
    EXPECT_FALSE(FileExists(PathJoin(dir, "Options.qcg_tmp")));

    // Clear the variables, then load them back.
    int32_t savedIdx[2][3];
    memcpy(savedIdx, idx, sizeof idx);
    uint8_t savedFont[60];
    memcpy(savedFont, font, sizeof font);
    count = 0;
    memset(idx, 0, sizeof idx);
    colour = 0;
    ratio = whole = 0;
    place = {0, 0, 0, 0};
    path[0] = '\0';
    memset(font, 0, sizeof font);
    CConfigFile loader(0, "gOpt.");
    EXPECT_FALSE(loader.SaveMode());
    ASSERT_EQ(loader.LoadArchive("Options", -1, 0), size);
    EXPECT_EQ(loader.Version(), 7);
    ASSERT_EQ(exchange(loader), 0);
    EXPECT_EQ(count, -12345);
    EXPECT_EQ(memcmp(idx, savedIdx, sizeof idx), 0);
    EXPECT_EQ(colour, 0xDEADBEEFu);
    EXPECT_EQ(ratio, 0.1f);
    EXPECT_EQ(whole, 5.0f);
    EXPECT_EQ(place.left, -10);
    EXPECT_EQ(place.top, 20);
    EXPECT_EQ(place.right, 1930);
    EXPECT_EQ(place.bottom, 1090);
    EXPECT_STREQ(path, "C:\\Users\\Someone\\Pictures\\Shot 100%.png");
    EXPECT_EQ(memcmp(font, savedFont, sizeof font), 0);

    // Out of order: each lookup still finds its entry, wrapping to the start.
    int32_t v = 0;
    EXPECT_EQ(loader.Int(&v, "gOpt.Idx[i][j]", 1, 2), 0);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(loader.Int(&v, "&gOpt.Count"), 0);
    EXPECT_EQ(v, -12345);

    // An indexed name and the common folder (flag 1) name their own files.
    CConfigFile second(2, "");
    int32_t one = 1;
    second.Int(&one, "One");
    EXPECT_GT(second.SaveArchive("Options", 4, 1), 0);
    EXPECT_TRUE(FileExists(PathJoin(dir, "Options4.qcg")));
}

TEST_F(ConfigFileTest, PythonZipfileReadsTheArchive) {
    CConfigFile cfg(1207, "gOpt.");
    int32_t n = 42;
    uint32_t colour = 0x00123456;
    float f = 5;
    int32_t box[4] = {1, 2, 3, 4};
    char s[] = "a b=c";
    uint8_t blob[] = {0x0A, 0xFF};
    cfg.Int(&n, "&gOpt.Value");
    cfg.Hex(&colour, "&gOpt.Colour");
    cfg.Float(&f, "&gOpt.Zoom");
    cfg.Rect(box, "&gOpt.Box");
    cfg.String(s, sizeof s, "&gOpt.Text");
    cfg.Bytes(blob, 2, "&gOpt.Blob");
    ASSERT_GT(cfg.SaveArchive("Options", -1, 0), 0);
    std::string out;
    ASSERT_EQ(RunPeer(dir, Peer() + " read Options.qcg " + kPassword, &out), 0) << out;
    EXPECT_NE(out.find("names=1207\n"), std::string::npos) << out;
    EXPECT_NE(out.find("encrypted=1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("entry Value=42\nentry Colour=0x00123456\nentry Zoom=5.0\nentry Box=1,2,3,4\n"
                       "entry Text=a b=c\nentry Blob=0AFF\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("size=" + std::to_string(cfg.TextSize()) + "\n"), std::string::npos) << out;
    // Without the password zipfile cannot read it: the check byte refuses a
    // wrong password, or (once in 256 headers) the data fails to inflate.
    EXPECT_NE(RunPeer(dir, Peer() + " read Options.qcg wrong", &out), 0) << out;
    EXPECT_EQ(out.find("entry Value=42"), std::string::npos) << out;
}

TEST_F(ConfigFileTest, ArchiveWrittenByInfoZipLoads) {
    ZipText(Entry("Speed=12") + Entry("Colour=0xff00aa") + Entry("Zoom=2.5") + Entry("Place=5,6,7,8") +
                Entry("Title=From zip") + Entry("Raw=0aFf01"),
            "31");
    CConfigFile cfg(0, "gOpt.");
    ASSERT_GT(cfg.LoadArchive("Options", -1, 0), 0);
    EXPECT_EQ(cfg.Version(), 31);
    int32_t speed = 0;
    uint32_t colour = 0;
    float zoom = 0;
    TestRect place = {};
    char title[5];
    uint8_t raw[4] = {9, 9, 9, 9};
    EXPECT_EQ(cfg.Int(&speed, "gOpt.Speed"), 0);
    EXPECT_EQ(cfg.Hex(&colour, "gOpt.Colour"), 0);
    EXPECT_EQ(cfg.Float(&zoom, "gOpt.Zoom"), 0);
    EXPECT_EQ(cfg.Rect(&place, "gOpt.Place"), 0);
    EXPECT_EQ(cfg.String(title, sizeof title, "gOpt.Title"), 0);
    EXPECT_EQ(cfg.Bytes(raw, sizeof raw, "gOpt.Raw"), 0);
    EXPECT_EQ(speed, 12);
    EXPECT_EQ(colour, 0xFF00AAu);
    EXPECT_EQ(zoom, 2.5f);
    EXPECT_EQ(place.left + place.top * 10 + place.right * 100 + place.bottom * 1000, 5 + 60 + 700 + 8000);
    EXPECT_STREQ(title, "From");  // cut to the buffer
    EXPECT_EQ(std::string((char*)raw, 4), std::string("\x0A\xFF\x01\x00", 4));
}

// An option set without entries is saved as an empty entry and reads back
// empty, here and in Python's zipfile.
TEST_F(ConfigFileTest, OptionSetWithoutEntriesIsSaved) {
    CConfigFile saver(9, "gOpt.");
    EXPECT_EQ(saver.SaveArchive("Options", -1, 0), 0);
    EXPECT_TRUE(FileExists(PathJoin(dir, "Options.qcg")));
    EXPECT_FALSE(FileExists(PathJoin(dir, "Options.qcg_tmp")));
    std::string out;
    ASSERT_EQ(RunPeer(dir, Peer() + " read Options.qcg " + kPassword, &out), 0) << out;
    EXPECT_NE(out.find("names=9\nencrypted=1\nsize=0\n"), std::string::npos) << out;
    CConfigFile loader(0, "gOpt.");
    EXPECT_EQ(loader.LoadArchive("Options", -1, 0), 0);
    int32_t v = 5;
    EXPECT_EQ(loader.Int(&v, "gOpt.Any"), -1);
    EXPECT_EQ(v, 5);
}

TEST_F(ConfigFileTest, ForeignFilesAreRefused) {
    CConfigFile cfg(0, "");
    EXPECT_EQ(cfg.LoadArchive("Options", -1, 0), -1);  // no file
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "Options.qcg"), TextLikeBytes(3000, 5)));
    EXPECT_EQ(cfg.LoadArchive("Options", -1, 0), -1);  // not a zip
    ZipText(Entry("A=1"), "3", "NotOurPassword");
    EXPECT_EQ(cfg.LoadArchive("Options", -1, 0), -1);  // another password
    EXPECT_EQ(cfg.TextSize(), 0);
    int32_t v = 77;
    EXPECT_EQ(cfg.Int(&v, "A"), -1);
    EXPECT_EQ(v, 77);
    std::string out;
    ASSERT_EQ(RunPeer(dir, Peer() + " empty Options.qcg", &out), 0) << out;
    EXPECT_EQ(cfg.LoadArchive("Options", -1, 0), -2);  // no entry
    std::string longName(300, 'n');
    EXPECT_EQ(cfg.LoadArchive("%s", -1, 0, longName.c_str()), -1);
    EXPECT_EQ(cfg.SaveArchive("%s", -1, 0, longName.c_str()), -1);
}

TEST_F(ConfigFileTest, LookupsMatchWholeKeys) {
    // "Font" is absent; "HeadFont" and a value holding "Font=" must not stand in for it.
    ZipText(Entry("HeadFont=Arial") + Entry("Note=xFont=3") + Entry("Size=10") + Entry("Fontsize=9") +
            std::string("Tail=7"));  // the last entry lacks its terminator
    CConfigFile cfg(0, "gOpt.");
    ASSERT_GT(cfg.LoadArchive("Options", -1, 0), 0);
    char font[16] = "default";
    EXPECT_EQ(cfg.String(font, sizeof font, "gOpt.Font"), -1);
    EXPECT_STREQ(font, "default");
    EXPECT_EQ(cfg.String(font, sizeof font, "gOpt.HeadFont"), 0);
    EXPECT_STREQ(font, "Arial");
    int32_t v = -5;
    EXPECT_EQ(cfg.Int(&v, "gOpt.Tail"), -1);  // no terminator
    EXPECT_EQ(v, -5);
    EXPECT_EQ(cfg.Int(&v, "gOpt.Fontsize"), 0);
    EXPECT_EQ(v, 9);
    EXPECT_EQ(cfg.Int(&v, "gOpt.Size"), 0);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(cfg.Int(&v, "gOpt.Siz"), -1);

    // Missing keys leave every kind of variable untouched.
    uint32_t h = 0x11;
    float f = 1.5f;
    int32_t r[4] = {1, 2, 3, 4};
    uint8_t b[2] = {7, 8};
    EXPECT_EQ(cfg.Hex(&h, "gOpt.NoHex"), -1);
    EXPECT_EQ(cfg.Float(&f, "gOpt.NoFloat"), -1);
    EXPECT_EQ(cfg.Rect(r, "gOpt.NoRect"), -1);
    EXPECT_EQ(cfg.Bytes(b, 2, "gOpt.NoBytes"), -1);
    EXPECT_EQ(h, 0x11u);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(r[0] + r[1] + r[2] + r[3], 10);
    EXPECT_EQ(b[0] * 10 + b[1], 78);
}

TEST_F(ConfigFileTest, UnparsableAndShortTexts) {
    ZipText(Entry("H1=zz") + Entry("H2=") + Entry("R1=1,2") + Entry("R2=a,b,c,d") + Entry("R3=1;2;3;4") +
            Entry("B1=0A") + Entry("B2=0") + Entry("B3=0AZZ01") + Entry("B4=") + Entry("I1=12abc") + Entry("S1="));
    CConfigFile cfg(0, "");
    ASSERT_GT(cfg.LoadArchive("Options", -1, 0), 0);
    uint32_t h = 0xABC;
    EXPECT_EQ(cfg.Hex(&h, "H1"), 1);
    EXPECT_EQ(cfg.Hex(&h, "H2"), 1);
    EXPECT_EQ(h, 0xABCu);
    int32_t r[4] = {-1, -1, -1, -1};
    EXPECT_EQ(cfg.Rect(r, "R1"), 1);
    EXPECT_EQ(r[0], 1);
    EXPECT_EQ(r[1], 2);
    EXPECT_EQ(r[2], -1);
    EXPECT_EQ(r[3], -1);
    int32_t r2[4] = {-1, -1, -1, -1};
    EXPECT_EQ(cfg.Rect(r2, "R2"), 1);
    EXPECT_EQ(r2[0] + r2[1] + r2[2] + r2[3], -4);
    EXPECT_EQ(cfg.Rect(r2, "R3"), 1);
    EXPECT_EQ(r2[0], 1);
    EXPECT_EQ(r2[1], -1);
    uint8_t b[2] = {0x55, 0x55};
    EXPECT_EQ(cfg.Bytes(b, 2, "B1"), 0);
    EXPECT_EQ(b[0], 0x0A);
    EXPECT_EQ(b[1], 0x00);
    uint8_t one[1] = {0x55};
    EXPECT_EQ(cfg.Bytes(one, 1, "B2"), 0);  // half a pair
    EXPECT_EQ(one[0], 0);
    uint8_t three[3] = {0x55, 0x55, 0x55};
    EXPECT_EQ(cfg.Bytes(three, 3, "B3"), 0);
    EXPECT_EQ(three[0], 0x0A);
    EXPECT_EQ(three[1], 0);
    EXPECT_EQ(three[2], 0);
    b[0] = b[1] = 0x55;
    EXPECT_EQ(cfg.Bytes(b, 2, "B4"), 0);
    EXPECT_EQ(b[0] + b[1], 0);
    int32_t i = 0;
    EXPECT_EQ(cfg.Int(&i, "I1"), 0);
    EXPECT_EQ(i, 12);
    char s[4] = "xyz";
    EXPECT_EQ(cfg.String(s, sizeof s, "S1"), 0);
    EXPECT_STREQ(s, "");
}

TEST_F(ConfigFileTest, SaveReplacesTheArchiveWhole) {
    CConfigFile first(1, "");
    int32_t v = 111;
    first.Int(&v, "V");
    ASSERT_GT(first.SaveArchive("Options", -1, 0), 0);
    std::string oldBytes;
    std::string path = PathJoin(dir, "Options.qcg");
    ASSERT_TRUE(ReadFileBytes(path, &oldBytes));

    // A leftover temporary file from an interrupted save is overwritten.
    // Natively, a reader that had the old archive open keeps reading it
    // whole (a rewrite in place would change the bytes under it); Windows
    // does not replace a file that is open.
    ASSERT_TRUE(WriteFileBytes(path + "_tmp", RandomBytes(50000, 3)));
#ifndef _WIN32
    FILE* reader = fopen(UnixPathOf(path).c_str(), "rb");
    ASSERT_NE(reader, nullptr);
#endif
    CConfigFile second(2, "");
    v = 222;
    second.Int(&v, "V");
    std::string pad(1000, 'p');
    second.String(&pad[0], pad.size() + 1, "Pad");
    int saved = second.SaveArchive("Options", -1, 0);
#ifndef _WIN32
    std::string seen(oldBytes.size() + 100, '\0');
    seen.resize(fread(&seen[0], 1, seen.size(), reader));
    fclose(reader);
    EXPECT_EQ(seen, oldBytes);
#endif
    ASSERT_GT(saved, 0);
    EXPECT_FALSE(FileExists(path + "_tmp"));
    CConfigFile check(0, "");
    ASSERT_EQ(check.LoadArchive("Options", -1, 0), saved);
    EXPECT_EQ(check.Version(), 2);

    // A save that cannot replace the archive fails and leaves it as it was.
    ASSERT_TRUE(ReadFileBytes(path, &oldBytes));
    ReplaceBlock block;
    ASSERT_TRUE(BlockReplace(path, &block));
    CConfigFile third(3, "");
    v = 333;
    third.Int(&v, "V");
    int failed = third.SaveArchive("Options", -1, 0);
    UnblockReplace(&block);
    EXPECT_EQ(failed, -1);
    std::string now;
    ASSERT_TRUE(ReadFileBytes(path, &now));
    EXPECT_EQ(now, oldBytes);
    CConfigFile after(0, "");
    ASSERT_GT(after.LoadArchive("Options", -1, 0), 0);
    EXPECT_EQ(after.Int(&v, "V"), 0);
    EXPECT_EQ(v, 222);
}

namespace {
// A small file system of its own, mounted for one test and removed with it.
struct SmallDisk {
    std::string parent, folder;
    bool mounted = false;
    ~SmallDisk() {
        if (mounted)
            RunPeer(parent, "umount full");
    }
};
}  // namespace

TEST_F(ConfigFileTest, FullDiskKeepsTheOldArchive) {
    SmallDisk disk;
    disk.parent = dir;
    disk.folder = PathJoin(dir, "full");
    std::string out;
    int rc = RunPeer(dir, "mkdir full && mount -t tmpfs -o size=64k vp-options-test full", &out);
    if (rc != 0)
        GTEST_SKIP() << "mounting a small file system needs root here: " << out;
    disk.mounted = true;
    StrCopy(gUserDataFolder, countof(gUserDataFolder), disk.folder.c_str());

    CConfigFile first(1, "gOpt.");
    int32_t v = 4711;
    first.Int(&v, "gOpt.Kept");
    ASSERT_GT(first.SaveArchive("Options", -1, 0), 0);
    std::string oldBytes;
    ASSERT_TRUE(ReadFileBytes(PathJoin(disk.folder, "Options.qcg"), &oldBytes));
    RunPeer(disk.folder, "dd if=/dev/zero of=filler bs=1024 2>/dev/null; sync");

    // About 100 KB of text that does not compress: it cannot fit.
    CConfigFile big(2, "gOpt.");
    std::string noise = RandomBytes(500, 9);
    for (int i = 0; i < 100; i++)
        big.Bytes(&noise[0], noise.size(), "gOpt.Noise[i]", i);
    EXPECT_LT(big.SaveArchive("Options", -1, 0), 0);

    std::string now;
    ASSERT_TRUE(ReadFileBytes(PathJoin(disk.folder, "Options.qcg"), &now));
    EXPECT_EQ(now, oldBytes);
    CConfigFile check(0, "gOpt.");
    ASSERT_GT(check.LoadArchive("Options", -1, 0), 0);
    v = 0;
    EXPECT_EQ(check.Int(&v, "gOpt.Kept"), 0);
    EXPECT_EQ(v, 4711);
}
