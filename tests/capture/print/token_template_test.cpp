// The header and footer templates: every token, the running number with
// its width digit, the cases that are no tokens and cutting at the buffer.
#include "capture/print/token_template.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

struct Expansion {
    int next = 7;
    TokenValues values = {"clip text", "HOST", "12/9/2026", "5:36 PM", "alice", "C:\\shots\\shot0001.png", nullptr};
    std::string Run(const char* tpl, size_t cch = 1040) {
        values.nextN = &next;
        std::string buf(cch, 'x');
        ExpandTemplate(tpl, values, &buf[0], cch);
        EXPECT_EQ(buf[cch - 1], '\0') << "always terminated";
        return std::string(buf.c_str());
    }
};

}  // namespace

TEST(TokenTemplate, EachTokenGivesItsValue) {
    Expansion e;
    EXPECT_EQ(e.Run("%B|%C|%D|%T|%U"), "clip text|HOST|12/9/2026|5:36 PM|alice");
    EXPECT_EQ(e.Run("%P|%p|%F|%f"), "C:\\shots\\shot0001.png|C:\\shots\\shot0001|shot0001.png|shot0001");
    EXPECT_EQ(e.next, 7) << "only %N consumes numbers";
}

TEST(TokenTemplate, RunningNumberWidthAndConsumption) {
    Expansion e;
    EXPECT_EQ(e.Run("Page %N3 of shots"), "Page 007 of shots");
    EXPECT_EQ(e.next, 8);
    e.next = 7;
    EXPECT_EQ(e.Run("%N0"), "00070") << "0 is no width digit";
    EXPECT_EQ(e.Run("%N %N9"), "0008 000000009") << "each %N takes its own number";
    EXPECT_EQ(e.next, 10);
    e.next = -5;
    EXPECT_EQ(e.Run("%N"), "-005");
    e.next = 2147483647;
    EXPECT_EQ(e.Run("%N1"), "2147483647");
    EXPECT_EQ(e.next, -2147483647 - 1) << "the counter wraps instead of overflowing";
}

TEST(TokenTemplate, PercentCasesThatAreNoTokens) {
    Expansion e;
    EXPECT_EQ(e.Run("100%% done"), "100 done") << "a doubled % is no escape";
    EXPECT_EQ(e.Run("a%Xb%nc"), "abc") << "unknown letters drop both characters (case matters)";
    EXPECT_EQ(e.Run("end%"), "end") << "a trailing % ends the expansion";
    EXPECT_EQ(e.Run(""), "");
}

TEST(TokenTemplate, NamesWithoutExtensionOrFolder) {
    Expansion e;
    e.values.imageName = "(Unnamed)";
    EXPECT_EQ(e.Run("%F %f %P %p"), "(Unnamed) (Unnamed) (Unnamed) (Unnamed)") << "an image never saved";
    e.values.imageName = "C:\\a.b\\photo.jpeg";
    EXPECT_EQ(e.Run("%f|%p"), "photo.jpeg|C:\\a.b\\photo.jpeg") << "only a dot fourth from the end is an extension";
    e.values.clipboard = nullptr;
    EXPECT_EQ(e.Run("[%B]"), "[]") << "no clipboard text";
}

TEST(TokenTemplate, CutsAtTheBuffer) {
    Expansion e;
    EXPECT_EQ(e.Run("ab%Ucd", 6), "abali");
    EXPECT_EQ(e.Run("%N", 3), "00");
    EXPECT_EQ(e.next, 8) << "a cut number still counts";
    EXPECT_EQ(e.Run("xyz", 1), "");
}
