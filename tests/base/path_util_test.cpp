#include "base/path_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(PathUtil, AddTrailingBackslashStaysInsideItsBuffer) {
    char buf[8];
    strcpy(buf, "C:\\dir");
    EXPECT_TRUE(AddTrailingBackslash(buf, sizeof buf));
    EXPECT_STREQ(buf, "C:\\dir\\");                      // 7 characters + NUL: exactly full
    EXPECT_TRUE(AddTrailingBackslash(buf, sizeof buf));  // already there
    EXPECT_STREQ(buf, "C:\\dir\\");

    // Guard bytes after a buffer that is one too small.
    char guarded[12];
    memset(guarded, '#', sizeof guarded);
    memcpy(guarded, "C:\\abcd", 8);  // 7 characters fill a buffer of 8
    EXPECT_FALSE(AddTrailingBackslash(guarded, 8));
    EXPECT_STREQ(guarded, "C:\\abcd");
    EXPECT_EQ(std::string(guarded + 8, 4), "####");

    char empty[4] = "";
    EXPECT_TRUE(AddTrailingBackslash(empty, sizeof empty));
    EXPECT_STREQ(empty, "");  // an empty path stays empty

    char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(AddTrailingBackslash(unterminated, sizeof unterminated));

    char path[260];
    std::string p258(258, 'x');
    strcpy(path, p258.c_str());
    EXPECT_TRUE(AddTrailingBackslash(path, sizeof path));
    EXPECT_EQ(strlen(path), 259u);
    std::string p259(259, 'y');
    strcpy(path, p259.c_str());
    EXPECT_FALSE(AddTrailingBackslash(path, sizeof path));
    EXPECT_EQ(std::string(path), p259);
}

TEST(PathUtil, RemoveTrailingBackslashRemovesOne) {
    char buf[16] = "C:\\a\\\\";
    RemoveTrailingBackslash(buf);
    EXPECT_STREQ(buf, "C:\\a\\");
    RemoveTrailingBackslash(buf);
    EXPECT_STREQ(buf, "C:\\a");
    RemoveTrailingBackslash(buf);
    EXPECT_STREQ(buf, "C:\\a");
    char empty[1] = "";
    RemoveTrailingBackslash(empty);
    EXPECT_STREQ(empty, "");
}

TEST(PathUtil, StripExtensionCutsOnlyAThreeLetterExtension) {
    char a[16] = "shot.png";
    EXPECT_TRUE(StripExtension(a, sizeof a));
    EXPECT_STREQ(a, "shot");
    char b[16] = "shot.jpeg";  // the fourth from the end is 'j'
    EXPECT_TRUE(StripExtension(b, sizeof b));
    EXPECT_STREQ(b, "shot.jpeg");
    char c[16] = ".ini";
    EXPECT_TRUE(StripExtension(c, sizeof c));
    EXPECT_STREQ(c, "");
    // Names shorter than four characters: nothing before the buffer is read.
    char guarded[8] = {'.', '.', '.', 'a', 'b', '\0', 0, 0};
    EXPECT_TRUE(StripExtension(guarded + 3, 5));
    EXPECT_STREQ(guarded + 3, "ab");
    EXPECT_EQ(guarded[0], '.');
    char unterminated[4] = {'a', '.', 'b', 'c'};
    EXPECT_FALSE(StripExtension(unterminated, sizeof unterminated));
    EXPECT_EQ(unterminated[1], '.');
}

TEST(PathUtil, FileNamePartAndFindTextNoCase) {
    EXPECT_STREQ(FileNamePart("C:\\dir\\sub\\file.txt"), "file.txt");
    EXPECT_STREQ(FileNamePart("file.txt"), "file.txt");
    EXPECT_STREQ(FileNamePart("C:\\dir\\"), "");
    const char* text = "Vellumor Pro Options";
    EXPECT_EQ(FindTextNoCase(text, "pro"), text + 9);
    EXPECT_EQ(FindTextNoCase(text, "OPTIONS"), text + 13);
    EXPECT_EQ(FindTextNoCase(text, "optionsx"), nullptr);  // runs past the end
    EXPECT_EQ(FindTextNoCase(text, "xyz"), nullptr);
    EXPECT_EQ(FindTextNoCase(text, ""), text);
    EXPECT_EQ(FindTextNoCase("", "a"), nullptr);
    const char* ab = "xaAB";
    EXPECT_EQ(FindTextNoCase(ab, "ab"), ab + 2);
    const char* aab = "aaab";
    EXPECT_EQ(FindTextNoCase(aab, "AAB"), aab + 1);
    // Non-letters are compared as they are.
    EXPECT_EQ(FindTextNoCase("a[b", "A{B"), nullptr);
}

TEST(PathUtil, LastComponentAndExtensionFollowEverySeparator) {
    EXPECT_STREQ(LastPathComponent("C:\\dir\\shot.png"), "shot.png");
    EXPECT_STREQ(LastPathComponent("C:/dir/sub\\a.b/shot"), "shot");
    EXPECT_STREQ(LastPathComponent("C:shot.png"), "shot.png");  // drive-relative
    EXPECT_STREQ(LastPathComponent("shot"), "shot");
    EXPECT_STREQ(LastPathComponent("C:\\dir\\"), "");

    const char* path = "C:\\my.dir\\shot.tar.GZ";
    EXPECT_EQ(FileExtension(path), path + strlen(path) - 2);  // points into the path
    EXPECT_STREQ(FileExtension("C:\\my.png\\shot"), "");      // a dot of the folder does not count
    EXPECT_STREQ(FileExtension("x."), "");
    EXPECT_STREQ(FileExtension(".ini"), "ini");
    EXPECT_STREQ(FileExtension("D:x.bmp"), "bmp");
    EXPECT_STREQ(FileExtension(""), "");
}
