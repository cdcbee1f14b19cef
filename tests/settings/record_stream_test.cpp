// The older tagged-record form of option files: streams built here with
// every field size, searched in order, out of order, after the end, and
// with cut or overlong records.
#include "settings/record_stream.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/str_util.h"
#include "settings/data_folders.h"
#include "support/test_support.h"

// One record: header byte, group, id and length fields of the given sizes.
static std::string Record(uint32_t group, uint32_t id, const std::string& data, int cbGroup, int cbId, int cbLength,
                          uint64_t length) {
    std::string r(1, (char)(cbGroup | cbId << 2 | cbLength << 4));
    for (int i = 0; i < cbGroup; i++)
        r += (char)(group >> (8 * i));
    for (int i = 0; i < cbId; i++)
        r += (char)(id >> (8 * i));
    for (int i = 0; i < cbLength; i++)
        r += (char)(length >> (8 * i));
    return r + data;
}

static std::string Record(uint32_t group, uint32_t id, const std::string& data) {
    return Record(group, id, data, 2, 2, 2, data.size());
}

class RecordStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = MakeTestDir("record-stream");
        StrCopy(gUserDataFolder, countof(gUserDataFolder), dir.c_str());
    }
    int Load(CRecordStream* rs, const std::string& bytes) {
        EXPECT_TRUE(WriteFileBytes(PathJoin(dir, "Options.qcg"), bytes));
        return rs->Load("Options", -1, 0);
    }
    std::string dir;
};

TEST_F(RecordStreamTest, EveryFieldSize) {
    struct Want {
        uint32_t group, id;
        std::string data;
    };
    std::vector<Want> wants;
    std::string stream;
    int k = 0;
    for (int cbGroup = 0; cbGroup <= 3; cbGroup++)
        for (int cbId = 0; cbId <= 3; cbId++)
            for (int cbLength = 0; cbLength <= 7; cbLength++, k++) {
                // Field values that use every byte of their field.
                uint32_t group = cbGroup ? (uint32_t)(0x9A5C3Eu >> (8 * (3 - cbGroup))) : 0;
                uint32_t id = cbId ? (uint32_t)((0xE1B27Du + k) >> (8 * (3 - cbId))) : 0;
                std::string data = cbLength ? RandomBytes(1 + k % 40, k) : std::string();
                stream += Record(group, id, data, cbGroup, cbId, cbLength, data.size());
                wants.push_back({group, id, data});
            }
    CRecordStream rs(64);
    ASSERT_EQ(Load(&rs, stream), (int)stream.size());
    EXPECT_EQ(rs.Size(), (int)stream.size());
    // In stream order each search finds its own record, even where group
    // and id repeat.
    for (size_t i = 0; i < wants.size(); i++) {
        char buf[64];
        memset(buf, 0x5A, sizeof buf);
        int n = rs.FindRecord((int)wants[i].group, (int)wants[i].id, buf, sizeof buf);
        ASSERT_EQ(n, (int)wants[i].data.size()) << i;
        EXPECT_EQ(std::string(buf, n), wants[i].data) << i;
        EXPECT_EQ(std::string(buf + n, sizeof buf - n), std::string(sizeof buf - n, '\0')) << i;
    }
}

TEST_F(RecordStreamTest, GroupAndIdCompareAs16Bits) {
    CRecordStream rs;
    ASSERT_GT(Load(&rs, Record(0xAB1234, 0x12FFFF, "x", 3, 3, 1, 1)), 0);
    char c = 0;
    EXPECT_EQ(rs.FindRecord(0x1234, 0xFFFF, &c, 1), 1);
    EXPECT_EQ(c, 'x');
    EXPECT_EQ(rs.FindRecord(0x771234, -1, &c, 1), 1);  // both cut to 16 bits
    EXPECT_EQ(rs.FindRecord(0x1235, 0xFFFF, &c, 1), -1);
}

TEST_F(RecordStreamTest, WrapsAroundAndFindsRecordsBeforeTheCursor) {
    std::string stream = Record(0, 1, "first") + Record(0, 2, "second") + Record(0, 3, "third");
    CRecordStream rs;
    ASSERT_GT(Load(&rs, stream), 0);
    char buf[16];
    EXPECT_EQ(rs.FindRecord(0, 2, buf, sizeof buf), 6);
    EXPECT_EQ(rs.FindRecord(0, 1, buf, sizeof buf), 5);  // behind the cursor: after wrapping
    EXPECT_STREQ(buf, "first");
    // The last record puts the cursor at the end; earlier ones are still found.
    EXPECT_EQ(rs.FindRecord(0, 3, buf, sizeof buf), 5);
    EXPECT_EQ(rs.FindRecord(0, 2, buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "second");
    EXPECT_EQ(rs.FindRecord(0, 3, buf, sizeof buf), 5);
    EXPECT_EQ(rs.FindRecord(0, 1, buf, sizeof buf), 5);
    // A missing record, twice; the records are still there afterwards.
    EXPECT_EQ(rs.FindRecord(0, 9, buf, sizeof buf), -1);
    EXPECT_EQ(rs.FindRecord(0, 9, buf, sizeof buf), -1);
    EXPECT_EQ(rs.FindRecord(0, 3, buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "third");
}

TEST_F(RecordStreamTest, CutAndPaddedCopies) {
    std::string stream = Record(1, 1, "0123456789") + Record(1, 2, "ab") + Record(1, 3, "");
    CRecordStream rs;
    ASSERT_GT(Load(&rs, stream), 0);
    char buf[6];
    memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(rs.FindRecord(1, 1, buf, 4), 4);  // longer than the buffer: cut
    EXPECT_EQ(std::string(buf, 6), std::string("0123\x5A\x5A"));
    memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(rs.FindRecord(1, 2, buf, 6), 2);  // shorter: zero-padded
    EXPECT_EQ(std::string(buf, 6), std::string("ab\0\0\0\0", 6));
    memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(rs.FindRecord(1, 3, buf, 3), 0);
    EXPECT_EQ(std::string(buf, 3), std::string(3, '\0'));
    EXPECT_EQ(rs.FindRecord(1, 1, nullptr, 0), 0);
}

TEST_F(RecordStreamTest, CutRecordsAndRecordsPastTheEnd) {
    std::string good = Record(2, 1, "ok") + Record(2, 2, "fine");
    char buf[8];
    // The stream ends inside a header: header byte wants 3+3+7 field bytes.
    {
        CRecordStream rs;
        std::string cut = good + Record(2, 3, "", 3, 3, 7, 0).substr(0, 5);
        ASSERT_GT(Load(&rs, cut), 0);
        EXPECT_EQ(rs.FindRecord(2, 3, buf, sizeof buf), -1);
        EXPECT_EQ(rs.FindRecord(2, 2, buf, sizeof buf), 4);
        EXPECT_EQ(rs.FindRecord(2, 1, buf, sizeof buf), 2);
    }
    // The last record's data runs past the end, by a little and by 2^56 - 1.
    for (uint64_t length : {10ull, 0x00FFFFFFFFFFFFFFull, 0x80000000ull}) {
        CRecordStream rs;
        std::string over = good + Record(2, 3, "abc", 2, 2, 7, length);
        ASSERT_GT(Load(&rs, over), 0);
        EXPECT_EQ(rs.FindRecord(2, 3, buf, sizeof buf), -1) << length;
        EXPECT_EQ(rs.FindRecord(2, 1, buf, sizeof buf), 2) << length;
        EXPECT_EQ(rs.FindRecord(2, 3, buf, sizeof buf), -1) << length;
        EXPECT_EQ(rs.FindRecord(2, 2, buf, sizeof buf), 4) << length;
    }
    // A stream of a single header byte with no fields is one empty record.
    {
        CRecordStream rs;
        ASSERT_EQ(Load(&rs, std::string(1, '\0')), 1);
        EXPECT_EQ(rs.FindRecord(0, 0, buf, sizeof buf), 0);
        EXPECT_EQ(rs.FindRecord(0, 0, buf, sizeof buf), 0);
        EXPECT_EQ(rs.FindRecord(0, 1, buf, sizeof buf), -1);
    }
    // Random bytes: every search ends, and nothing is read past the end.
    for (unsigned seed = 1; seed <= 20; seed++) {
        CRecordStream rs;
        ASSERT_GT(Load(&rs, RandomBytes(200 + seed, seed)), 0);
        for (int id = 0; id < 8; id++)
            rs.FindRecord(0, id, buf, sizeof buf);
    }
}

TEST_F(RecordStreamTest, LoadNamesAndMissingFiles) {
    CRecordStream rs;
    EXPECT_EQ(rs.Load("Options", -1, 0), 0);  // no file
    char buf[4];
    EXPECT_EQ(rs.FindRecord(0, 0, buf, sizeof buf), -1);
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "Options.qcg"), ""));
    EXPECT_EQ(rs.Load("Options", -1, 0), 0);  // empty file
    EXPECT_EQ(rs.FindRecord(0, 0, buf, sizeof buf), -1);
    // The format applies once; a '%' in its arguments is part of the name.
    std::string rec = Record(0, 5, "pct");
    ASSERT_TRUE(WriteFileBytes(PathJoin(dir, "Old%sName7.qcg"), rec));
    EXPECT_EQ(rs.Load("Old%s", 7, 0, "%sName"), (int)rec.size());
    EXPECT_EQ(rs.FindRecord(0, 5, buf, sizeof buf), 3);
    // A loaded stream is replaced by the next load, a failed load empties it.
    EXPECT_EQ(rs.Load("Missing", -1, 0), 0);
    EXPECT_EQ(rs.Size(), 0);
    EXPECT_EQ(rs.FindRecord(0, 5, buf, sizeof buf), -1);
}
