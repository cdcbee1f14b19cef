// Bounded string helpers: every capacity from 0 up against a plain
// reference, with guard bytes after the buffer to catch a write past it.
#include "base/str_util.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const char kGuard = '#';
const size_t kSlack = 8;  // guard bytes after the capacity

// A buffer of cch characters followed by guard bytes; it starts filled with
// `fill` so that a missing terminator shows.
struct Guarded {
    char bytes[64 + kSlack];
    size_t cch;
    Guarded(size_t capacity, char fill) : cch(capacity) {
        memset(bytes, fill, sizeof bytes);
        memset(bytes + cch, kGuard, kSlack);
    }
    bool GuardsIntact() const {
        for (size_t i = 0; i < kSlack; i++)
            if (bytes[cch + i] != kGuard)
                return false;
        return true;
    }
    bool TerminatedInside() const { return cch > 0 && memchr(bytes, '\0', cch) != nullptr; }
};

// What a bounded copy of `text` into cch characters must leave.
std::string Cut(const std::string& text, size_t cch) {
    return cch == 0 ? std::string() : text.substr(0, std::min(text.size(), cch - 1));
}

}  // namespace

static_assert(countof("abc") == 4, "countof counts the terminator of a literal");

TEST(StrUtil, CountofAndTheNamedSizes) {
    char path[kCchPath];
    char text2[kCchText2];
    int numbers[7];
    EXPECT_EQ(countof(path), 260u);
    EXPECT_EQ(countof(text2), 1040u);
    EXPECT_EQ(countof(numbers), 7u);
    EXPECT_EQ(kCchPath2, 2 * kCchPath);
    EXPECT_EQ(kCchText, 1024u);
}

TEST(StrUtil, StrCopyEveryCapacityAgainstAReference) {
    const std::string source = "0123456789abcdefghij";  // 20 characters
    for (size_t len = 0; len <= source.size(); len++) {
        std::string src = source.substr(0, len);
        for (size_t cch = 0; cch <= 24; cch++) {
            SCOPED_TRACE("len " + std::to_string(len) + " cch " + std::to_string(cch));
            Guarded g(cch, 'x');
            bool fits = StrCopy(g.bytes, cch, src.c_str());
            EXPECT_TRUE(g.GuardsIntact());
            if (cch == 0) {
                EXPECT_FALSE(fits);  // nothing fits, not even the terminator
                EXPECT_EQ(g.bytes[0], kGuard);
                continue;
            }
            EXPECT_EQ(fits, len < cch);
            ASSERT_TRUE(g.TerminatedInside());
            EXPECT_EQ(std::string(g.bytes), Cut(src, cch));
        }
    }
}

TEST(StrUtil, StrCopyNullAndOverlappingArguments) {
    char buf[8] = "abc";
    EXPECT_TRUE(StrCopy(buf, countof(buf), nullptr));  // a null source copies as ""
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(StrCopy(nullptr, 8, "abc"));
    EXPECT_FALSE(StrCopy(nullptr, 0, nullptr));

    char same[8] = "abc";
    EXPECT_TRUE(StrCopy(same, countof(same), same));  // onto itself
    EXPECT_STREQ(same, "abc");

    // Dropping a prefix in place: the source lies inside the destination.
    char shift[16] = "C:\\dir\\name";
    EXPECT_TRUE(StrCopy(shift, countof(shift), shift + 3));
    EXPECT_STREQ(shift, "dir\\name");
    char shiftCut[16] = "0123456789";
    EXPECT_FALSE(StrCopy(shiftCut, 4, shiftCut + 2));
    EXPECT_STREQ(shiftCut, "234");
    // The source starts inside the destination's capacity, behind its end.
    char ahead[16] = "ab\0cdefg";
    EXPECT_TRUE(StrCopy(ahead + 1, 15, ahead + 3));
    EXPECT_STREQ(ahead, "acdefg");
}

TEST(StrUtil, StrCatEveryCapacityAgainstAReference) {
    const std::string head = "HEAD-HEAD-";  // 10 characters
    const std::string tail = "tail-tail-tail";
    for (size_t used = 0; used <= head.size(); used++) {
        for (size_t len = 0; len <= tail.size(); len++) {
            for (size_t cch = 0; cch <= 28; cch++) {
                SCOPED_TRACE("used " + std::to_string(used) + " len " + std::to_string(len) + " cch " +
                             std::to_string(cch));
                Guarded g(cch, 'x');
                std::string before = Cut(head.substr(0, used), cch);
                if (cch > 0)
                    memcpy(g.bytes, before.c_str(), before.size() + 1);
                std::string add = tail.substr(0, len);
                bool fits = StrCat(g.bytes, cch, add.c_str());
                EXPECT_TRUE(g.GuardsIntact());
                if (cch == 0) {
                    EXPECT_FALSE(fits);
                    continue;
                }
                ASSERT_TRUE(g.TerminatedInside());
                std::string whole = before + add;
                EXPECT_EQ(std::string(g.bytes), Cut(whole, cch));
                EXPECT_EQ(fits, whole.size() < cch);
            }
        }
    }
}

TEST(StrUtil, StrCatOnAFullOrUnterminatedBuffer) {
    char full[4] = "abc";
    EXPECT_TRUE(StrCat(full, countof(full), ""));  // nothing to add: not a cut
    EXPECT_STREQ(full, "abc");
    EXPECT_TRUE(StrCat(full, countof(full), nullptr));
    EXPECT_FALSE(StrCat(full, countof(full), "d"));
    EXPECT_STREQ(full, "abc");

    // No terminator within the capacity: terminated at its end, reported as cut.
    char raw[6] = {'a', 'b', 'c', 'd', 'e', kGuard};
    EXPECT_FALSE(StrCat(raw, 5, "x"));
    EXPECT_STREQ(raw, "abcd");
    EXPECT_EQ(raw[5], kGuard);

    char one[1] = {'z'};
    EXPECT_FALSE(StrCat(one, 1, "x"));
    EXPECT_EQ(one[0], '\0');
    EXPECT_TRUE(StrCat(one, 1, ""));
    EXPECT_FALSE(StrCat(nullptr, 4, "x"));

    // Appending a text to itself doubles it, and is cut when it does not fit.
    char self[8] = "abc";
    EXPECT_TRUE(StrCat(self, countof(self), self));
    EXPECT_STREQ(self, "abcabc");
    EXPECT_FALSE(StrCat(self, countof(self), self));
    EXPECT_STREQ(self, "abcabca");
}

// One case of StrFmt and the C library's snprintf on the same literal
// format and arguments (literal, so that the compiler checks both).
struct FmtCase {
    const char* name;
    bool (*ours)(char* dst, size_t cch);
    int (*reference)(char* dst, size_t cch);
};
static FmtCase MakeFmtCase(const char* name, bool (*ours)(char*, size_t), int (*reference)(char*, size_t)) {
    return FmtCase{name, ours, reference};
}
#define FMT_OURS(...) [](char* d, size_t c) { return StrFmt(d, c, __VA_ARGS__); }
#define FMT_REFERENCE(...) [](char* d, size_t c) { return snprintf(d, c, __VA_ARGS__); }
#define FMT_CASE(...) MakeFmtCase(#__VA_ARGS__, FMT_OURS(__VA_ARGS__), FMT_REFERENCE(__VA_ARGS__))

TEST(StrUtil, StrFmtEveryCapacityAgainstSnprintf) {
    const FmtCase cases[] = {
        FMT_CASE("%d", INT_MIN),
        FMT_CASE("%d|%s", INT_MAX, "end"),
        FMT_CASE("%s\\%s.tmp", "C:\\dir", "name"),
        FMT_CASE("%08x-%u", 0xBEEFu, UINT_MAX),
        FMT_CASE("%s", ""),
        FMT_CASE("%%%c%-6s|%.3s", 'Q', "ab", "truncated by precision"),
    };
    for (const FmtCase& c : cases) {
        char reference[128];
        int full = c.reference(reference, sizeof reference);
        ASSERT_GE(full, 0);
        ASSERT_LT(full, (int)sizeof reference);
        for (size_t cch = 0; cch <= (size_t)full + 3; cch++) {
            SCOPED_TRACE(std::string(c.name) + " cch " + std::to_string(cch));
            Guarded g(cch, 'x');
            bool fits = c.ours(g.bytes, cch);
            EXPECT_TRUE(g.GuardsIntact());
            if (cch == 0) {
                EXPECT_FALSE(fits);
                EXPECT_EQ(g.bytes[0], kGuard);
                continue;
            }
            EXPECT_EQ(fits, (size_t)full < cch);
            ASSERT_TRUE(g.TerminatedInside());
            EXPECT_EQ(std::string(g.bytes), Cut(reference, cch));
        }
    }
}

TEST(StrUtil, StrFmtLimitsAndLongOutput) {
    char buf[12];
    EXPECT_TRUE(StrFmt(buf, countof(buf), "%d", INT_MIN));  // 11 characters + NUL: exactly full
    EXPECT_STREQ(buf, "-2147483648");
    EXPECT_FALSE(StrFmt(buf, countof(buf), "%d!", INT_MIN));
    EXPECT_STREQ(buf, "-2147483648");
    EXPECT_TRUE(StrFmt(buf, countof(buf), "%u", UINT_MAX));
    EXPECT_STREQ(buf, "4294967295");
    EXPECT_TRUE(StrFmt(buf, countof(buf), "%lld", (long long)-1));
    EXPECT_STREQ(buf, "-1");
    EXPECT_TRUE(StrFmt(buf, countof(buf), "%zu", (size_t)12345));  // C99 sizes in the MinGW build too
    EXPECT_STREQ(buf, "12345");

    // Far more output than room: a path and a width much larger than the buffer.
    std::string longName(5000, 'n');
    char path[kCchPath];
    memset(path, 'x', sizeof path);
    EXPECT_FALSE(StrFmt(path, countof(path), "C:\\%s.tmp", longName.c_str()));
    EXPECT_EQ(strlen(path), kCchPath - 1);
    EXPECT_EQ(std::string(path, 3), "C:\\");
    char padded[8];
    EXPECT_FALSE(StrFmt(padded, countof(padded), "%100000d", 42));
    EXPECT_STREQ(padded, "       ");
    EXPECT_FALSE(StrFmt(nullptr, 8, "%d", 1));

#ifndef _WIN32
    // A formatting error (a wide character the C locale cannot convert):
    // an empty text and false, not what was written before the error. The
    // MinGW runtime drops such a character instead of failing, so only the
    // native build reaches this path.
    memset(buf, 'x', sizeof buf);
    EXPECT_FALSE(StrFmt(buf, countof(buf), "ab%lscd", L"\x20AC"));
    EXPECT_STREQ(buf, "");
#endif

    // A path of 259 characters fits kCchPath, one of 260 does not.
    std::string folder(250, 'f');
    EXPECT_TRUE(StrFmt(path, countof(path), "%s\\%s", folder.c_str(), "12345678"));
    EXPECT_EQ(strlen(path), 259u);
    EXPECT_FALSE(StrFmt(path, countof(path), "%s\\%s", folder.c_str(), "123456789"));
    EXPECT_EQ(strlen(path), 259u);
    EXPECT_EQ(path[258], '8');
}

TEST(StrUtil, StrCmpAsciiNoCaseFoldsOnlyAsciiLetters) {
    // Every pair of single bytes against the reference: a-z fold to A-Z,
    // everything else compares as unsigned bytes.
    auto fold = [](int c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; };
    for (int a = 1; a < 256; a++) {
        for (int b = 1; b < 256; b++) {
            char sa[2] = {(char)a, 0};
            char sb[2] = {(char)b, 0};
            int expect = fold(a) - fold(b);
            int got = StrCmpAsciiNoCase(sa, sb);
            if ((expect < 0) != (got < 0) || (expect == 0) != (got == 0) || (expect > 0) != (got > 0))
                ADD_FAILURE() << "bytes " << a << " and " << b << ": " << got;
        }
    }
    EXPECT_EQ(StrCmpAsciiNoCase("Vellumor.INI", "vellumor.ini"), 0);
    EXPECT_LT(StrCmpAsciiNoCase("abc", "ABCD"), 0);  // a prefix sorts first
    EXPECT_GT(StrCmpAsciiNoCase("abcd", "ABC"), 0);
    EXPECT_EQ(StrCmpAsciiNoCase("", ""), 0);
    EXPECT_NE(StrCmpAsciiNoCase("\xE4", "\xC4"), 0);  // no folding outside ASCII
    EXPECT_GT(StrCmpAsciiNoCase("\x80", "z"), 0);     // bytes compare unsigned
}
