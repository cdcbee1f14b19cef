// Statements, keywords and arguments of the script language.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "setup/script.h"
#include "setup_test_util.h"

// Keywords and argument texts of every statement of text, in order.
static std::vector<std::string> Statements(const std::string& text) {
    std::vector<std::string> out;
    for (const char* p = text.c_str(); *p;) {
        const char *args, *end;
        Keyword k = MatchKeyword(p, &args, &end);
        if (k != kKwNone) {
            std::string s = kKeywords[k].name;
            char arg[kCchArg];
            for (const char* c = args; NextArg(&c, end, arg) == 0;)
                s += std::string("|") + arg;
            out.push_back(s);
        } else if (end > args) {
            out.push_back("-");  // a line without keyword
        }
        p = NextStatement(end);
    }
    return out;
}

TEST(ScriptLex, KeywordsMatchWithoutCaseWhenABlankFollows) {
    std::vector<std::string> want = {"Endif", "Endif", "Else", "-", "Status2|b", "Status|c", "If|1|=|1", "-"};
    EXPECT_EQ(want,
              Statements(CrLf("EndIf \nendif\t\n  ELSE \nStatusbar a\nStatus2 b\nStatus c\nIf\t1,=,1\nSetx 1\n")));
    // A keyword directly followed by the end of the text is no keyword.
    EXPECT_EQ(std::vector<std::string>{"-"}, Statements("Endif"));
    // Comment lines and lines of other words are skipped.
    EXPECT_EQ((std::vector<std::string>{"-", "Set|#A#|1", "-"}), Statements(CrLf("; Set #B#, 2\nSet #A#, 1\n;;;\n")));
    EXPECT_TRUE(Statements(CrLf("\n\n   \n\t")).empty());
}

TEST(ScriptLex, OnlyCrEndsAStatement) {
    // CR alone works like CR LF; LF alone leaves one statement whose
    // arguments run over the following lines.
    EXPECT_EQ((std::vector<std::string>{"Set|#A#|1", "Set|#B#|2"}), Statements("Set #A#, 1\rSet #B#, 2\r"));
    EXPECT_EQ((std::vector<std::string>{"Set|#A#|1\nSet #B#|2\n"}), Statements("Set #A#, 1\nSet #B#, 2\n"));
    // A keyword without arguments: its "arguments" start on the next line
    // but nothing is read beyond its own line.
    EXPECT_EQ((std::vector<std::string>{"Else", "Set|#A#|1"}), Statements(CrLf("Else\nSet #A#, 1\n")));
}

TEST(ScriptLex, ArgumentRules) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"Set a , b  ,c", {"Set|a|b|c"}},
        {"Set \"a, b \" , c", {"Set|a, b |c"}},               // quoted: commas and spaces kept
        {"Set a\t , b", {"Set|a\t|b"}},                       // only spaces are cut, not tabs
        {"Set say ^hi^, \"^q^\"", {"Set|say \"hi\"|\"q\""}},  // ^ is a double quote
        {"Set a,,c", {"Set|a||c"}},                           // an empty argument between commas
        {"Set \"a\"b, c", {"Set|a|b|c"}},                     // text behind a closing quote
        {"Set \"open quote, to the end", {"Set|open quote, to the end"}},
        {"Set a,", {"Set|a"}},
        {"Set   ", {"Set"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.args, Statements(CrLf(std::string(c.line) + "\n"))) << c.line;
    // A quoted argument ends at the CR too.
    EXPECT_EQ((std::vector<std::string>{"Set|a", "Set|b"}), Statements(CrLf("Set \"a\nSet b\n")));
}

TEST(ScriptLex, LongArgumentsAreCutTo519) {
    std::string text = "Set " + std::string(600, 'x') + ", \"" + std::string(700, 'y') + "\", z\r\n";
    const char *args, *end;
    ASSERT_EQ(kKwSet, MatchKeyword(text.c_str(), &args, &end));
    char slot[kCchArg + 8];
    memset(slot, 'G', sizeof slot);
    const char* cursor = args;
    ASSERT_EQ(0, NextArg(&cursor, end, slot));
    EXPECT_EQ(std::string(519, 'x'), slot);
    EXPECT_EQ('G', slot[kCchArg]);  // nothing written behind the slot
    ASSERT_EQ(0, NextArg(&cursor, end, slot));
    EXPECT_EQ(std::string(519, 'y'), slot);
    ASSERT_EQ(0, NextArg(&cursor, end, slot));
    EXPECT_STREQ("z", slot);
    EXPECT_EQ(5, NextArg(&cursor, end, slot));
}
