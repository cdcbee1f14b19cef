// The archive reader on bytes built in the test: finding the header from
// the end, record lookup, the whole-archive check and patch records.
#include "setup/archive_core.h"

#include <gtest/gtest.h>
#include <string.h>

#include <chrono>
#include <string>
#include <vector>

#include "setup_test_util.h"
#include "support/test_support.h"

static const uint8_t* Bytes(const std::string& s) {
    return (const uint8_t*)s.data();
}

TEST(ArchiveCore, HeaderAndTrailerTexts) {
    char header[kCbArchiveHeader + 1], trailer[kCbArchiveTrailer + 1];
    ArchiveHeaderText(header);
    ArchiveTrailerText(trailer);
    EXPECT_STREQ("<Setup Data Header>", header);
    EXPECT_STREQ("<Setup Data End>", trailer);
}

TEST(ArchiveCore, HeaderIsFoundFromTheEndWithinTheFile) {
    std::string image = "MZ program bytes <Setup Data Header";  // an incomplete header is no header
    std::string file = image + ArchiveOf({{"a.txt", "1"}});
    size_t start = 0;
    ASSERT_TRUE(ArchiveFindHeader(Bytes(file), file.size(), &start));
    EXPECT_EQ(image.size() + kCbArchiveHeader, start);

    // Two headers: the one nearer the end is the archive.
    std::string twice = ArchiveOf({{"old", "x"}}) + ArchiveOf({{"new", "y"}});
    ASSERT_TRUE(ArchiveFindHeader(Bytes(twice), twice.size(), &start));
    EXPECT_EQ(twice.size() - ArchiveRecord("new", "y").size() - kCbArchiveTrailer, start);

    // A header at the very first byte and one ending at the last byte.
    std::string first = "<Setup Data Header>";
    ASSERT_TRUE(ArchiveFindHeader(Bytes(first), first.size(), &start));
    EXPECT_EQ(kCbArchiveHeader, start);
}

TEST(ArchiveCore, NoHeaderStopsAtTheFirstByte) {
    // Exactly sized buffers: a search that walked on before the first byte
    // reads outside them (the sanitizer build reports it).
    for (size_t n : {0u, 1u, 18u, 19u, 20u, 4096u}) {
        std::vector<uint8_t> bytes(n, '<');
        size_t start = 77;
        EXPECT_FALSE(ArchiveFindHeader(bytes.data(), bytes.size(), &start)) << n;
        EXPECT_EQ(77u, start);
    }
    EXPECT_FALSE(ArchiveFindHeader(nullptr, 100, nullptr));
}

TEST(ArchiveCore, RecordsAreFoundByNameWithoutCase) {
    std::string file = "img" + ArchiveOf({{"Uninstall.qsc", "u"}, {"Setup.qsc", "script"}, {"Empty", ""}});
    size_t start, at;
    uint32_t cb;
    ASSERT_TRUE(ArchiveFindHeader(Bytes(file), file.size(), &start));
    ASSERT_TRUE(ArchiveFindRecord(Bytes(file), file.size(), start, "SETUP.QSC", &at, &cb));
    EXPECT_EQ("script", file.substr(at, cb));
    ASSERT_TRUE(ArchiveFindRecord(Bytes(file), file.size(), start, "empty", &at, &cb));
    EXPECT_EQ(0u, cb);
    EXPECT_FALSE(ArchiveFindRecord(Bytes(file), file.size(), start, "Setup.qs", &at, &cb));
    EXPECT_FALSE(ArchiveFindRecord(Bytes(file), file.size(), start, "Vellumor Pro.exe", &at, &cb));
    char name[kCchRecordName];
    ASSERT_TRUE(ArchiveFirstRecordName(Bytes(file), file.size(), start, name));
    EXPECT_STREQ("Uninstall.qsc", name);
}

TEST(ArchiveCore, LookupStopsAtTrailerEndAndOversizedRecord) {
    size_t at;
    uint32_t cb;
    // A record behind the trailer is not part of the archive.
    std::string behind = ArchiveOf({{"a", "1"}}) + ArchiveRecord("b", "2");
    EXPECT_FALSE(ArchiveFindRecord(Bytes(behind), behind.size(), kCbArchiveHeader, "b", &at, &cb));
    // A record that claims more bytes than the file holds ends the walk.
    std::string big = ArchiveOf({{"a", "1"}}, false) + std::string("b\0\xFF\xFF\xFF\x7F", 6) + "xyz";
    EXPECT_FALSE(ArchiveFindRecord(Bytes(big), big.size(), kCbArchiveHeader, "b", &at, &cb));
    // A name without its zero at the end of the file.
    std::string cut = ArchiveOf({{"a", "1"}}, false) + "Setup.q";
    EXPECT_FALSE(ArchiveFindRecord(Bytes(cut), cut.size(), kCbArchiveHeader, "Setup.q", &at, &cb));
    EXPECT_TRUE(ArchiveFindRecord(Bytes(cut), cut.size(), kCbArchiveHeader, "a", &at, &cb));
    char name[kCchRecordName];
    std::string none = ArchiveOf({});
    EXPECT_FALSE(ArchiveFirstRecordName(Bytes(none), none.size(), kCbArchiveHeader, name));
}

TEST(ArchiveCore, CheckAcceptsAWholeArchive) {
    std::string file = "img" + ArchiveOf({{"Uninstall.qsc", "u"}, {"Setup.qsc", std::string(1000, 's')}}) + "SIG";
    size_t start;
    ASSERT_TRUE(ArchiveFindHeader(Bytes(file), file.size(), &start));
    char name[kCchRecordName] = "x";
    EXPECT_EQ(kArchiveOk, ArchiveCheck(Bytes(file), file.size(), start, name));  // bytes behind the trailer are allowed
    EXPECT_STREQ("", name);
    std::string empty = ArchiveOf({});
    EXPECT_EQ(kArchiveOk, ArchiveCheck(Bytes(empty), empty.size(), kCbArchiveHeader, nullptr));
}

TEST(ArchiveCore, CheckNamesEachDamage) {
    struct Case {
        const char* what;
        std::string file;
        int state;
        const char* name;
    } cases[] = {
        {"no trailer", ArchiveOf({{"a", "1"}, {"b", "2"}}, false), kArchiveNoTrailer, ""},
        {"cut in a name", ArchiveOf({{"a", "1"}}, false) + "Setup.q", kArchiveTruncated, ""},
        {"cut in a length", ArchiveOf({{"a", "1"}}, false) + std::string("b\0\1\0", 4), kArchiveTruncated, ""},
        {"cut in the data", ArchiveOf({{"a", "1"}}, false) + ArchiveRecord("b", "12345").substr(0, 8),
         kArchiveRecordPastEnd, ""},
        {"oversized record",
         ArchiveOf({{"a", "1"}}, false) + std::string("b\0\xFF\xFF\xFF\xFF", 6) + "<Setup Data End>",
         kArchiveRecordPastEnd, ""},
        {"duplicate", ArchiveOf({{"Setup.qsc", "1"}, {"x", ""}, {"SETUP.qsc", "2"}}), kArchiveDuplicate, "SETUP.qsc"},
        {"empty name", ArchiveOf({{"a", "1"}, {"", "2"}}), kArchiveBadName, ""},
        {"folder in name", ArchiveOf({{"sub\\a.exe", "1"}}), kArchiveBadName, "sub\\a.exe"},
        {"drive in name", ArchiveOf({{"C:a", "1"}}), kArchiveBadName, "C:a"},
        {"long name", ArchiveOf({{std::string(260, 'n'), "1"}}), kArchiveBadName, ""},
    };
    for (const Case& c : cases) {
        char name[kCchRecordName];
        int state = ArchiveCheck(Bytes(c.file), c.file.size(), kCbArchiveHeader, name);
        EXPECT_EQ(c.state, state) << c.what << ": " << ArchiveStateText(state);
        if (*c.name) {
            EXPECT_STREQ(c.name, name) << c.what;
        }
    }
    // Random bytes behind a header are never taken for an archive.
    for (unsigned seed = 1; seed <= 50; seed++) {
        std::string garbage = "<Setup Data Header>" + RandomBytes(4000, seed);
        EXPECT_NE(kArchiveOk, ArchiveCheck(Bytes(garbage), garbage.size(), kCbArchiveHeader, nullptr)) << seed;
    }
    // A name of 259 characters is still good.
    std::string longest = ArchiveOf({{std::string(259, 'n'), "1"}});
    EXPECT_EQ(kArchiveOk, ArchiveCheck(Bytes(longest), longest.size(), kCbArchiveHeader, nullptr));
}

TEST(ArchiveCore, PatchRecords) {
    std::string patch = std::string("\x10\0\0\0\x03\0\0\0abc", 11) + std::string("\0\0\0\0\0\0\0\0", 8);
    size_t pos = 0;
    PatchRecord r;
    ASSERT_EQ(1, NextPatchRecord(Bytes(patch), patch.size(), &pos, &r));
    EXPECT_EQ(16u, r.offset);
    EXPECT_EQ("abc", std::string((const char*)r.bytes, r.length));
    ASSERT_EQ(1, NextPatchRecord(Bytes(patch), patch.size(), &pos, &r));
    EXPECT_EQ(0u, r.length);
    EXPECT_EQ(0, NextPatchRecord(Bytes(patch), patch.size(), &pos, &r));
    // A record longer than the data left, and a cut record head.
    std::string over = std::string("\0\0\0\0\x05\0\0\0abcd", 12);
    pos = 0;
    EXPECT_EQ(-1, NextPatchRecord(Bytes(over), over.size(), &pos, &r));
    std::string head = std::string("\0\0\0\0\x05\0", 6);
    pos = 0;
    EXPECT_EQ(-1, NextPatchRecord(Bytes(head), head.size(), &pos, &r));
    std::string huge = std::string("\0\0\0\0\xFF\xFF\xFF\xFF", 8);
    pos = 0;
    EXPECT_EQ(-1, NextPatchRecord(Bytes(huge), huge.size(), &pos, &r));
}

// The name check of a large archive: n log n, not n squared (a crafted
// archive of 60,000 records took over ten seconds with a pairwise check).
TEST(ArchiveCore, ManyRecordsAreCheckedQuickly) {
    std::string file = "<Setup Data Header>";
    const int n = 60000;
    for (int i = 0; i < n; i++)
        file += ArchiveRecord("record" + std::to_string(i) + ".bin", "");
    std::string whole = file + "<Setup Data End>";
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(kArchiveOk, ArchiveCheck(Bytes(whole), whole.size(), kCbArchiveHeader, nullptr));
    // A repeated name at the end, written in other letters, is found and named.
    std::string repeated = file + ArchiveRecord("RECORD7.BIN", "x") + "<Setup Data End>";
    char name[kCchRecordName];
    EXPECT_EQ(kArchiveDuplicate, ArchiveCheck(Bytes(repeated), repeated.size(), kCbArchiveHeader, name));
    EXPECT_STREQ("RECORD7.BIN", name);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    // Of two repeated names the earlier repetition is named, and a fault
    // behind it does not hide it; a fault before any repetition wins.
    std::string two = ArchiveOf({{"a", "1"}, {"b", "2"}, {"B", "3"}, {"A", "4"}, {"", "5"}});
    EXPECT_EQ(kArchiveDuplicate, ArchiveCheck(Bytes(two), two.size(), kCbArchiveHeader, name));
    EXPECT_STREQ("B", name);
    std::string early = ArchiveOf({{"a", "1"}, {"x\\y", "2"}, {"A", "3"}});
    EXPECT_EQ(kArchiveBadName, ArchiveCheck(Bytes(early), early.size(), kCbArchiveHeader, name));
    EXPECT_STREQ("x\\y", name);
}
