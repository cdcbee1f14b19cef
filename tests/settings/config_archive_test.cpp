// The configuration archive's product entry and the checks a restore makes
// before it changes anything: round trip of keep list and version, a
// product entry too large to be one, unsafe names, entries that are not
// settings files of ours (named in the result), oversized entries, and
// damaged data found by its CRC.
#include "settings/config_archive.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "support/test_support.h"

namespace {

const char kProduct[] = "Vellumor Pro";

std::string MakeArchive(const char* name, const std::string& productEntry, const char* fileName,
                        const std::string& fileData) {
    std::string path = PathJoin(MakeTestDir(name), "a.TarnwickConfig");
    ZipHandle* zip = ZipCreate(path.c_str(), nullptr);
    EXPECT_NE(nullptr, zip);
    EXPECT_EQ(kZipOk, ZipAddMemory(zip, kProduct, productEntry.data(), (uint32_t)productEntry.size()));
    EXPECT_EQ(kZipOk, ZipAddMemory(zip, fileName, fileData.data(), (uint32_t)fileData.size()));
    EXPECT_EQ(kZipOk, ZipClose(zip));
    return path;
}

}  // namespace

TEST(ConfigArchive, ProductEntryRoundTrip) {
    std::string path = PathJoin(MakeTestDir("config_archive_trip"), "a.TarnwickConfig");
    ZipHandle* zip = ZipCreate(path.c_str(), nullptr);
    ASSERT_NE(nullptr, zip);
    ASSERT_EQ(kZipOk, AddConfigProductEntry(zip, kProduct, "*.ini;keep?.qcg", 3, 2, 10));
    ASSERT_EQ(kZipOk, ZipClose(zip));
    zip = UnzipOpen(path.c_str(), nullptr);
    ASSERT_NE(nullptr, zip);
    static ConfigArchiveHeader h;
    ASSERT_EQ(kConfigArchiveOk, ReadConfigProductEntry(zip, kProduct, &h));
    EXPECT_EQ(0, h.index);
    EXPECT_STREQ("*.ini;keep?.qcg", h.keepList);
    EXPECT_STREQ("3.2.10", h.version);
    EXPECT_EQ(kConfigArchiveWrongProduct, ReadConfigProductEntry(zip, "Vellumor", &h));
    UnzipClose(zip);
    EXPECT_EQ(kConfigArchiveOk, CheckConfigArchive(path.c_str(), kProduct));
    EXPECT_EQ(kConfigArchiveWrongProduct, CheckConfigArchive(path.c_str(), "Other"));
    EXPECT_EQ(kConfigArchiveUnreadable, CheckConfigArchive((path + ".missing").c_str(), kProduct));
}

TEST(ConfigArchive, ProductEntryAboveItsLimitIsAnError) {
    std::string fits = std::string(kCbMaxProductEntry - 6, 'k') + std::string(1, '\0') + "1.0.0";
    ASSERT_EQ(kCbMaxProductEntry, fits.size());
    EXPECT_EQ(kConfigArchiveOk,
              CheckConfigArchive(MakeArchive("config_archive_fits", fits, "a.qcg", "x").c_str(), kProduct));
    std::string over = std::string(kCbMaxProductEntry - 5, 'k') + std::string(1, '\0') + "1.0.0";
    EXPECT_EQ(kConfigArchiveUnreadable,
              CheckConfigArchive(MakeArchive("config_archive_over", over, "a.qcg", "x").c_str(), kProduct));
}

TEST(ConfigArchive, UnsafeNamesAndDamagedDataAreRefused) {
    std::string head = std::string(1, '\0') + "1.0.0";
    EXPECT_EQ(kConfigArchiveForeignEntry,
              CheckConfigArchive(MakeArchive("config_archive_dotdot", head, "../x.qcg", "x").c_str(), kProduct));
    // Damage one byte of the stored data: the CRC finds it.
    std::string path = MakeArchive("config_archive_crc", head, "Options.qcg", RandomBytes(3000, 7));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(path, &bytes));
    size_t at = bytes.find("Options.qcg");
    ASSERT_NE(std::string::npos, at);
    bytes[at + 11 + 500] ^= 0x55;
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    EXPECT_EQ(kConfigArchiveUnreadable, CheckConfigArchive(path.c_str(), kProduct));

    for (const char* good : {"Options.qcg", "sub/a.qcg", "sub\\b.qcg", "folder/", "a..b.qcg"})
        EXPECT_TRUE(IsCleanConfigEntryName(good)) << good;
    for (const char* bad : {"", "/etc/x", "\\x.qcg", "C:x.qcg", "a/../b", "..", "./a", "a//b", "a\\.\\b", "a\x01"})
        EXPECT_FALSE(IsCleanConfigEntryName(bad)) << bad;
}

TEST(ConfigArchive, OnlyOwnSettingsFilesAtTheTopLevel) {
    for (const char* good : {"Options.qcg", "(Mox)App.qcg", "(Mox)Win0.qcg", "(Mox)Bar-3.qcg", "a..b.qcg", "UPPER.QCG",
                             "Console.qcg", "COM10.qcg"})
        EXPECT_TRUE(IsOwnConfigEntryName(good)) << good;
    for (const char* bad :
         {"",         ".qcg",    "...qcg",    " x.qcg",    "sub/a.qcg", "sub\\a.qcg", "/etc/abs.qcg", "C:a.qcg",
          "a.qcg:x",  "run.bat", "a.qcg_tmp", "a.ini",     "CON.qcg",   "con .qcg",   "NUL.x.qcg",    "LPT1.qcg",
          "com9.QCG", "a*.qcg",  "a?.qcg",    "a\x01.qcg", "a<b.qcg",   "a|b.qcg"})
        EXPECT_FALSE(IsOwnConfigEntryName(bad)) << bad;
}

TEST(ConfigArchive, ForeignEntriesAreNamedAndRefused) {
    std::string head = std::string(1, '\0') + "1.0.0";
    char bad[260];
    struct Case {
        const char* name;
        const char* data;
    };
    for (const Case& c : {Case{"/etc/abs.qcg", "x"}, Case{"sub/Options.qcg", "x"}, Case{"CON.qcg", "x"},
                          Case{"run.bat", "echo"}, Case{"photos/", ""}}) {
        std::string path = MakeArchive("config_archive_foreign", head, c.name, c.data);
        EXPECT_EQ(kConfigArchiveForeignEntry, CheckConfigArchive(path.c_str(), kProduct, bad, sizeof bad)) << c.name;
        EXPECT_STREQ(c.name, bad);
    }
    // The same name twice, in another case.
    std::string path = PathJoin(MakeTestDir("config_archive_twice"), "a.TarnwickConfig");
    ZipHandle* zip = ZipCreate(path.c_str(), nullptr);
    ASSERT_NE(nullptr, zip);
    ASSERT_EQ(kZipOk, ZipAddMemory(zip, kProduct, head.data(), (uint32_t)head.size()));
    ASSERT_EQ(kZipOk, ZipAddMemory(zip, "Options.qcg", "a", 1));
    ASSERT_EQ(kZipOk, ZipAddMemory(zip, "OPTIONS.qcg", "b", 1));
    ASSERT_EQ(kZipOk, ZipClose(zip));
    EXPECT_EQ(kConfigArchiveForeignEntry, CheckConfigArchive(path.c_str(), kProduct, bad, sizeof bad));
    EXPECT_STREQ("OPTIONS.qcg", bad);
    // An entry above the size a settings file can have (it compresses to little).
    std::string big(kCbMaxConfigEntry + 1, '\0');
    path = MakeArchive("config_archive_big", head, "Options.qcg", big);
    EXPECT_EQ(kConfigArchiveForeignEntry, CheckConfigArchive(path.c_str(), kProduct, bad, sizeof bad));
    EXPECT_STREQ("Options.qcg", bad);
    path = MakeArchive("config_archive_fits", head, "Options.qcg", std::string(kCbMaxConfigEntry, '\0'));
    EXPECT_EQ(kConfigArchiveOk, CheckConfigArchive(path.c_str(), kProduct, bad, sizeof bad));
    EXPECT_STREQ("", bad);
}
