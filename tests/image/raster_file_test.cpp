// The memory and disk streams.
#include "image/raster_file.h"

#include <gtest/gtest.h>
#include <string.h>

#include "support/test_support.h"

TEST(RasterMemFile, GrowthAndPositions) {
    CRasterMemFile m;
    ASSERT_TRUE(m.Open());
    EXPECT_FALSE(m.Open());
    unsigned char ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(m.Write(ten, 1, 10), 10u);
    EXPECT_EQ(m.Capacity(), 65536u);
    EXPECT_EQ(m.Size(), 10);
    std::string big(65536, 'x');
    EXPECT_EQ(m.Write(big.data(), 1, big.size()), big.size());
    EXPECT_EQ(m.Capacity(), 131072u);
    EXPECT_EQ(m.Size(), 65546);
    // Reads: whole items and end of file.
    ASSERT_TRUE(m.Seek(65536, 0));
    unsigned char out[12];
    EXPECT_EQ(m.Read(out, 4, 3), 2u);
    EXPECT_TRUE(m.Eof());
    EXPECT_EQ(m.GetC(), -1);
    // Seeks: a negative result fails and keeps the position; an unknown origin fails.
    ASSERT_TRUE(m.Seek(3, 0));
    EXPECT_FALSE(m.Seek(-5, 0));
    EXPECT_FALSE(m.Seek(-4, 1));
    EXPECT_EQ(m.Tell(), 3);
    EXPECT_FALSE(m.Seek(0, 7));
    EXPECT_EQ(m.GetC(), 4);
    EXPECT_FALSE(m.Seek(-70000, 2));
    EXPECT_TRUE(m.Seek(-1, 2));
    EXPECT_EQ(m.GetC(), 'x');
}

TEST(RasterMemFile, WritePastTheEndLeavesZeros) {
    CRasterMemFile m;
    ASSERT_TRUE(m.Open());
    std::string junk(1000, '\xEE');
    m.Write(junk.data(), 1, junk.size());
    ASSERT_TRUE(m.Seek(0, 0));
    CRasterMemFile n;
    ASSERT_TRUE(n.Open());
    n.Write("ab", 1, 2);
    ASSERT_TRUE(n.Seek(100000, 0));  // past the end, past the first block
    EXPECT_EQ(n.Error(), 1);
    n.Write("c", 1, 1);
    EXPECT_EQ(n.Size(), 100001);
    unsigned char* b = n.GetBuffer();
    for (int i = 2; i < 100000; i++)
        ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[100000], 'c');
    EXPECT_TRUE(n.PutC('d'));
    EXPECT_EQ(n.Size(), 100002);
}

TEST(RasterMemFile, CallerBufferAndLines) {
    unsigned char text[5] = {'a', 'b', '\n', 'c', 'd'};
    CRasterMemFile m(text, 5);
    char line[10];
    ASSERT_NE(m.GetS(line, 10), nullptr);
    EXPECT_STREQ(line, "ab\n");
    ASSERT_TRUE(m.Seek(0, 0));
    ASSERT_NE(m.GetS(line, 2), nullptr);
    EXPECT_STREQ(line, "a");
    EXPECT_EQ(m.Scanf("%d", line), 0);
    // Growing a caller's buffer copies it; the caller's bytes stay as they were.
    ASSERT_TRUE(m.Seek(0, 2));
    EXPECT_EQ(m.Write("efgh", 1, 4), 4u);
    EXPECT_EQ(m.Size(), 9);
    EXPECT_EQ(memcmp(m.GetBuffer(), "ab\ncdefgh", 9), 0);
    EXPECT_EQ(text[4], 'd');
    // Detached, the caller frees the buffer.
    unsigned char* own = m.GetBuffer(true);
    m.Close();
    EXPECT_EQ(own[0], 'a');
    free(own);
    CRasterMemFile none(nullptr, 0);
    EXPECT_EQ(none.Tell(), -1);
    EXPECT_EQ(none.Size(), -1);
    EXPECT_TRUE(none.Eof());
    EXPECT_FALSE(none.Seek(0, 0));
}

TEST(RasterDiskFile, SizeKeepsPositionAndOwnership) {
    std::string dir = MakeTestDir("raster_disk");
    std::string path = PathJoin(dir, "f.bin");
    ASSERT_TRUE(WriteFileBytes(path, "0123456789"));
    FILE* fp = fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    {
        CRasterDiskFile f(fp, false);
        ASSERT_TRUE(f.Seek(4, 0));
        EXPECT_EQ(f.Size(), 10);
        EXPECT_EQ(f.Tell(), 4);
        EXPECT_EQ(f.GetC(), '4');
        EXPECT_TRUE(f.Close());
    }
    EXPECT_EQ(fgetc(fp), '5') << "a stream that does not own its file leaves it open";
    fclose(fp);
    CRasterDiskFile none;
    EXPECT_EQ(none.Size(), -1);
    EXPECT_TRUE(none.Eof());
    EXPECT_EQ(none.Error(), -1);
    EXPECT_EQ(none.GetC(), -1);
    CRasterDiskFile owned;
    ASSERT_TRUE(owned.Open(path.c_str(), "rb"));
    char buf[16];
    ASSERT_NE(owned.GetS(buf, 16), nullptr);
    EXPECT_STREQ(buf, "0123456789");
    EXPECT_TRUE(owned.Close());
}

// Many small writes (a GIF grid's sub-blocks) must not copy the whole buffer
// every 64 KiB: the capacity at least doubles when it grows.
TEST(RasterMemFile, GrowsGeometrically) {
    CRasterMemFile m;
    ASSERT_TRUE(m.Open());
    unsigned char block[255] = {};
    size_t grows = 0, last = 0;
    for (int i = 0; i < 40000; i++) {  // about 10 MB
        ASSERT_EQ(m.Write(block, 1, sizeof block), sizeof block);
        if (m.Capacity() != last) {
            if (last) {
                EXPECT_GE(m.Capacity(), 2 * last);
            }
            last = m.Capacity();
            grows++;
        }
    }
    EXPECT_EQ(m.Size(), 40000L * 255);
    EXPECT_LE(grows, 10u);
}
