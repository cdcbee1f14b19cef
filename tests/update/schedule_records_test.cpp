// The schedules' records: defaults after a read, the due test, UTC day
// rounding, and version texts and their comparison.
#include "update/schedule_records.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "settings/data_folders.h"
#include "support/test_support.h"

namespace {

struct DataFolder {
    explicit DataFolder(const char* name) {
        std::string dir = MakeTestDir(name);
        strncpy(gUserDataFolder, dir.c_str(), sizeof gUserDataFolder - 1);
    }
    ~DataFolder() { gUserDataFolder[0] = '\0'; }
};

}  // namespace

TEST(UpdateRecord, DefaultsAfterRead) {
    DataFolder folder("update_record_defaults");
    UpdateCheckSettings s;
    ReadUpdateCheckSettings(&s);  // no file: automatic, every 7 days, never checked
    EXPECT_EQ(1, s.automatic);
    EXPECT_EQ(7, s.interval);
    EXPECT_EQ(0, s.lastCheck);
    EXPECT_TRUE(IsScheduleDue(s.automatic, s.lastCheck, s.interval, UnixNow()));

    s.automatic = 0;
    s.interval = 3;
    ASSERT_TRUE(WriteUpdateCheckSettings(&s));
    ReadUpdateCheckSettings(&s);
    EXPECT_EQ(0, s.automatic);
    EXPECT_EQ(7, s.interval);  // below 8 reads as 7
    s.interval = 0;
    ASSERT_TRUE(WriteUpdateCheckSettings(&s));
    ReadUpdateCheckSettings(&s);
    EXPECT_EQ(1, s.automatic);  // 0 switches the check on
    EXPECT_EQ(7, s.interval);
    s.interval = 30;
    strcpy(s.version, "3.2.10");
    ASSERT_TRUE(WriteUpdateCheckSettings(&s));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(std::string(gUserDataFolder) + "/(Mox)UpdateCheck.qcg", &bytes));
    ASSERT_EQ(280u, bytes.size());
    EXPECT_EQ(30, (int)(unsigned char)bytes[276]);
    EXPECT_EQ(1, bytes[273]);
}

TEST(ArchiveRecord, DefaultsAfterRead) {
    DataFolder folder("archive_record_defaults");
    ArchiveSettings s;
    ReadArchiveSettings(&s);
    EXPECT_EQ(0, s.automatic);
    EXPECT_STREQ("", s.folder);
    EXPECT_EQ(14, s.interval);
    EXPECT_EQ(30, s.keep);
    s.interval = 0;
    s.keep = -4;
    s.automatic = 1;
    ASSERT_TRUE(WriteArchiveSettings(&s));
    ReadArchiveSettings(&s);
    EXPECT_EQ(14, s.interval);
    EXPECT_EQ(30, s.keep);
    EXPECT_EQ(1, s.automatic);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(std::string(gUserDataFolder) + "/(Mox)Archive.qcg", &bytes));
    EXPECT_EQ(288u, bytes.size());
}

TEST(Schedule, DueAfterMoreThanTheIntervalAndDayRounding) {
    // 2026-12-08 17:45:00 UTC is stored as that day's 00:00 UTC.
    const int64_t t = 1796751900;
    const int64_t day = UtcDayStart(t);
    EXPECT_EQ(1796688000, day);
    EXPECT_EQ(0, day % kSecondsPerDay);
    EXPECT_EQ(day, UtcDayStart(day));
    EXPECT_FALSE(IsScheduleDue(true, day, 7, day + 7 * kSecondsPerDay));
    EXPECT_TRUE(IsScheduleDue(true, day, 7, day + 7 * kSecondsPerDay + 1));
    EXPECT_FALSE(IsScheduleDue(false, 0, 7, t));
}

// A last time ahead of now (stored under a clock that was wrong once) is
// due at once instead of stopping the schedule until that time comes.
TEST(Schedule, ALastTimeInTheFutureIsDue) {
    const int64_t day = UtcDayStart(1796751900);
    EXPECT_TRUE(IsScheduleDue(true, day + kSecondsPerDay, 14, day));
    EXPECT_TRUE(IsScheduleDue(true, day + 365LL * kSecondsPerDay, 7, day + 3600));
    EXPECT_FALSE(IsScheduleDue(false, day + kSecondsPerDay, 14, day));
    EXPECT_FALSE(IsScheduleDue(true, day, 14, day + 3600));  // today's run is not due again
}

TEST(Version, ParseAndCompare) {
    int v[3];
    ASSERT_TRUE(ParseVersionText("3.2.9", v));
    EXPECT_FALSE(IsNewerVersion(v, 3, 2, 10));
    ASSERT_TRUE(ParseVersionText(" 3.10.0\r\n", v));
    EXPECT_TRUE(IsNewerVersion(v, 3, 2, 10));
    ASSERT_TRUE(ParseVersionText("3.2.10", v));
    EXPECT_FALSE(IsNewerVersion(v, 3, 2, 10));
    ASSERT_TRUE(ParseVersionText("4.0.0", v));
    EXPECT_TRUE(IsNewerVersion(v, 3, 9, 99));
    ASSERT_TRUE(ParseVersionText("3.2.11-beta", v));
    EXPECT_TRUE(IsNewerVersion(v, 3, 2, 10));
    EXPECT_FALSE(ParseVersionText("3.2", v));
    EXPECT_FALSE(ParseVersionText("3..2", v));
    EXPECT_FALSE(ParseVersionText("<html>", v));
    EXPECT_FALSE(ParseVersionText("", v));
    EXPECT_FALSE(ParseVersionText("99999999999.1.1", v));
}

TEST(Version, LongTextMatchesItsStoredForm) {
    // The record keeps 259 characters; a longer text must not "differ" at every check.
    std::string body = "9.9.9" + std::string(400, ' ');
    UpdateCheckSettings s = {};
    strncpy(s.version, body.c_str(), sizeof s.version - 1);
    EXPECT_TRUE(SameStoredVersion(s.version, body.c_str()));
    EXPECT_FALSE(SameStoredVersion(s.version, "9.9.10"));
}
