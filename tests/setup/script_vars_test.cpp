// Script variables: the table, the typed readers and substitution with its
// limits.
#include "setup/script_vars.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

#include <string>

#include "setup/setup_base.h"
#include "setup_test_util.h"

class ScriptVars : public ::testing::Test {
  protected:
    void SetUp() override { LoadScript(""); }
    static std::string Sub(const std::string& text, size_t cch = 520) {
        std::string buf(cch, '\0');
        memcpy(&buf[0], text.c_str(), std::min(text.size() + 1, cch));
        buf[cch - 1] = '\0';
        SubstituteVars(&buf[0], cch);
        return buf.c_str();
    }
};

TEST_F(ScriptVars, SetGetAndTypedReaders) {
    EXPECT_EQ(0, SetVar("#PROGRAM#", "Vellumor Pro"));
    EXPECT_EQ(1, SetVar("#N#", "2.9"));
    EXPECT_EQ(0, SetVar("#PROGRAM#", "Other"));  // overwritten in place
    EXPECT_STREQ("Other", GetVarText("#PROGRAM#"));
    EXPECT_STREQ("", GetVarText("#program#"));  // names compare with case
    EXPECT_EQ(-1, GetVar("#program#", nullptr, 0));
    EXPECT_EQ(1, GetVar("#N#", nullptr, 0));
    struct {
        const char* value;
        int want;
    } ints[] = {{"2.9", 2},
                {"-2.9", -2},
                {"abc", 0},
                {"", 0},
                {" 42x", 42},
                {"+7", 7},
                {"1e5", 1},
                {"99999999999999999999", INT_MAX},
                {"-99999999999999999999", INT_MIN}};
    for (const auto& c : ints) {
        SetVar("#I#", c.value);
        EXPECT_EQ(c.want, GetVarInt("#I#")) << c.value;
    }
    SetVar("#BIG#", std::string(519, '9').c_str());
    EXPECT_EQ(INT_MAX, GetVarInt("#BIG#"));
    EXPECT_EQ(-1, GetVarInt("#UNDEFINED#"));
    EXPECT_EQ(-1, SetVar("", "x"));
}

TEST_F(ScriptVars, NamesAndValuesAreCut) {
    std::string longName = "#" + std::string(40, 'N') + "#";
    SetVar(longName.c_str(), "v");
    EXPECT_STREQ("v", GetVarText(longName.substr(0, 31).c_str()));
    std::string value(600, 'v');
    SetVar("#V#", value.c_str());
    EXPECT_EQ(519u, strlen(GetVarText("#V#")));
    EXPECT_EQ("<" + std::string(519, 'v') + ">", Sub("<#V#>", 1040));
}

TEST_F(ScriptVars, GetVarCopiesAtMostTheBuffer) {
    SetVar("#V#", "0123456789abcdef");
    char buf[12];
    memset(buf, 'G', sizeof buf);
    EXPECT_EQ(0, GetVar("#V#", buf, 8));
    EXPECT_STREQ("0123456", buf);
    EXPECT_EQ('G', buf[8]);
    EXPECT_EQ(0, GetVar("#V#", buf, 0));  // no room: nothing written
    EXPECT_STREQ("0123456", buf);
}

TEST_F(ScriptVars, Substitution) {
    SetVar("#A#", "a#B#");
    SetVar("#B#", "b");
    SetVar("#P#", "#A#");
    SetVar("#E#", "");
    EXPECT_EQ("ab", Sub("#A#"));
    EXPECT_EQ("[ab|b|#C#|#b#]", Sub("[#A#|#B#|#C#|#b#]"));  // undefined names stay
    // A value that starts with a name: scanning goes on from its second
    // character, so that name stays.
    EXPECT_EQ("#A#", Sub("#P#"));
    EXPECT_EQ("ab", Sub("#E##A#"));
    EXPECT_EQ("xx", Sub("x#E##E#x"));
    EXPECT_EQ("", Sub(""));
}

// A folder that ends in its backslash (a drive's root) followed by a
// backslash gives a path with one backslash there.
TEST_F(ScriptVars, ADriveRootKeepsOneBackslash) {
    SetVar("#INSTALLPATH#", "C:\\");
    SetVar("#SUB#", "D:\\x");
    SetVar("#NAME#", "Uninstall.exe");
    EXPECT_EQ("C:\\Uninstall.exe", Sub("#INSTALLPATH#\\#NAME#"));
    EXPECT_EQ("\"C:\\Uninstall.exe\" C:\\", Sub("\"#INSTALLPATH#\\Uninstall.exe\" #INSTALLPATH#"));
    EXPECT_EQ("D:\\x\\y", Sub("#SUB#\\y"));
    EXPECT_EQ("C:\\\\", Sub("#INSTALLPATH#\\\\"));         // only one backslash is taken
    SetVar("#NEST#", "x#INSTALLPATH#\\Vellumor Pro.exe");  // the root inside another value
    EXPECT_EQ("xC:\\Vellumor Pro.exe,0", Sub("#NEST#,0"));
}

TEST_F(ScriptVars, SubstitutionIsBoundedInDepthAndLength) {
    // A value holding its own name: expansion stops at the depth limit.
    SetVar("#A#", "x#A#");
    EXPECT_EQ(std::string(kMaxSubstituteDepth, 'x') + "#A#", Sub("#A#"));
    // Doubling values stop at the buffer's end.
    SetVar("#D#", "#D##D#yy");
    char buf[64];
    memset(buf, 'G', sizeof buf);
    StrCopy(buf, countof(buf), "<#D#>");
    EXPECT_FALSE(SubstituteVars(buf, 40));
    EXPECT_EQ(39u, strlen(buf));
    EXPECT_EQ('G', buf[40]);
    // A long value into a short buffer is cut, and the rest of the text too.
    SetVar("#L#", std::string(100, 'L').c_str());
    memset(buf, 'G', sizeof buf);
    StrCopy(buf, countof(buf), "ab#L#cd");
    EXPECT_FALSE(SubstituteVars(buf, 10));
    EXPECT_STREQ("abLLLLLLL", buf);
    EXPECT_EQ('G', buf[10]);
    StrCopy(buf, countof(buf), "#B#");
    SetVar("#B#", "b");
    EXPECT_TRUE(SubstituteVars(buf, 10));
    EXPECT_STREQ("b", buf);
}

TEST_F(ScriptVars, ManyVariablesGrowTheTable) {
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(i, SetVar(("#V" + std::to_string(i) + "#").c_str(), std::to_string(i * 3).c_str()));
    const char* v7 = GetVarText("#V7#");
    for (int i = 100; i < 200; i++)
        SetVar(("#V" + std::to_string(i) + "#").c_str(), "x");
    EXPECT_STREQ("21", v7);  // pointers survive the growth
    EXPECT_EQ(297, GetVarInt("#V99#"));
    EXPECT_EQ("0-21-297", Sub("#V0#-#V7#-#V99#"));
}

TEST_F(ScriptVars, LeadingNumberReadsDecimalsExactly) {
    // A step of 0.1 per digit drifted: "0.3" read 0.30000000000000004.
    EXPECT_EQ(0.3, LeadingNumber("0.3"));
    EXPECT_EQ(2.675, LeadingNumber("2.675abc"));
    EXPECT_EQ(-1.5, LeadingNumber("-1.5"));
    EXPECT_EQ(7.0, LeadingNumber("7."));
    // A fraction longer than a double holds stays a number, not NaN.
    double longFraction = LeadingNumber(("1." + std::string(400, '5')).c_str());
    EXPECT_NEAR(1.5555555555555556, longFraction, 1e-15);
}
