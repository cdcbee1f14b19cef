#include "framework/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    std::string name;
    std::vector<std::string> args;
    bool operator==(const Parsed& o) const { return name == o.name && args == o.args; }
};

std::vector<Parsed> Contents(const CDynArray<CmdSwitch>& list) {
    std::vector<Parsed> out;
    for (int i = 0; i < list.count; i++) {
        const CmdSwitch* sw = list.At(i);
        Parsed p{sw->name, {}};
        EXPECT_NE(sw->args, nullptr);
        if (sw->args)
            for (int a = 0; a < sw->args->count; a++)
                p.args.push_back(*sw->args->At(a));
        out.push_back(p);
    }
    return out;
}

// Owns a switch list for one test and frees it at the end.
struct SwitchList {
    CDynArray<CmdSwitch> list;
    CmdLineFlags flags{false, false};
    ~SwitchList() { FreeSwitches(&list); }
    int Parse(const char* cmdLine) {
        flags = {false, false};
        return ParseCommandLine(&list, cmdLine, &flags);
    }
};

}  // namespace

TEST(CommandLine, KnownSwitchesSetTheWaitModeAndFlags) {
    SwitchList s;
    EXPECT_EQ(s.Parse(""), 0);
    EXPECT_EQ(s.list.count, 0);
    EXPECT_EQ(s.Parse(nullptr), 0);
    EXPECT_EQ(s.Parse("   "), 0);
    EXPECT_EQ(s.list.count, 0);

    EXPECT_EQ(s.Parse("-waitfordatapath -autostart"), 1);
    EXPECT_TRUE(s.flags.autostart);
    EXPECT_FALSE(s.flags.startMinimized);
    EXPECT_EQ(Contents(s.list), (std::vector<Parsed>{{"-waitfordatapath", {}}, {"-autostart", {}}}));

    EXPECT_EQ(s.Parse("-QUIT -WAITFORDATAPATH"), -1);
    EXPECT_EQ(s.Parse("-WaitForDataPath -Quit"), -1);
    EXPECT_FALSE(s.flags.autostart);
    EXPECT_EQ(s.Parse("-QUITNOW -WAITFORDATAPATHS -AUTOSTARTX"), 0);  // whole words only
    EXPECT_FALSE(s.flags.autostart);
    EXPECT_EQ(s.list.count, 3);
    EXPECT_EQ(ParseCommandLine(&s.list, "-MINIMIZE -QUIT", nullptr), -1);  // flags may be null
}

TEST(CommandLine, ArgumentsBelongToTheSwitchBeforeThem) {
    SwitchList s;
    EXPECT_EQ(s.Parse("C:\\shots\\a.png -MINIMIZE"), 0);
    EXPECT_TRUE(s.flags.startMinimized);
    EXPECT_EQ(Contents(s.list), (std::vector<Parsed>{{"", {"C:\\shots\\a.png"}}, {"-MINIMIZE", {}}}));

    EXPECT_EQ(s.Parse("-open \"C:\\My Shots\\b c.png\" plain  -x"), 0);
    EXPECT_EQ(Contents(s.list), (std::vector<Parsed>{{"-open", {"C:\\My Shots\\b c.png", "plain"}}, {"-x", {}}}));

    s.Parse("-open \"unclosed -QUIT rest");
    EXPECT_EQ(Contents(s.list), (std::vector<Parsed>{{"-open", {"unclosed -QUIT rest"}}}));

    // A quote ends the argument even without a blank after it.
    s.Parse("\"a b\"c -y \"\" z");
    EXPECT_EQ(Contents(s.list), (std::vector<Parsed>{{"", {"a b", "c"}}, {"-y", {"", "z"}}}));

    // Only the space is a blank.
    s.Parse("-a\tb c");
    EXPECT_EQ(Contents(s.list), (std::vector<Parsed>{{"-a\tb", {"c"}}}));

    // A new parse empties the list first.
    s.Parse("-one");
    EXPECT_EQ(Contents(s.list), (std::vector<Parsed>{{"-one", {}}}));
}

TEST(CommandLine, LongTokensAreCutTo259) {
    SwitchList s;
    std::string longName = "-" + std::string(400, 'n');
    std::string longArg(300, 'a');
    std::string quoted(280, 'q');
    s.Parse((longName + " " + longArg + " \"" + quoted + "\" tail").c_str());
    std::vector<Parsed> got = Contents(s.list);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].name, longName.substr(0, 259));
    ASSERT_EQ(got[0].args.size(), 3u);
    EXPECT_EQ(got[0].args[0], longArg.substr(0, 259));
    EXPECT_EQ(got[0].args[1], quoted.substr(0, 259));
    EXPECT_EQ(got[0].args[2], "tail");
}

TEST(CommandLine, ManyArgumentsAndSwitches) {
    SwitchList s;
    std::string line;
    for (int i = 0; i < 40; i++) {
        line += "-s" + std::to_string(i);
        for (int a = 0; a <= i % 5; a++)
            line += " a" + std::to_string(i) + "_" + std::to_string(a);
        line += " ";
    }
    s.Parse(line.c_str());
    std::vector<Parsed> got = Contents(s.list);
    ASSERT_EQ(got.size(), 40u);
    for (int i = 0; i < 40; i++) {
        EXPECT_EQ(got[i].name, "-s" + std::to_string(i));
        ASSERT_EQ(got[i].args.size(), (size_t)(i % 5 + 1));
        EXPECT_EQ(got[i].args.back(), "a" + std::to_string(i) + "_" + std::to_string(i % 5));
    }
}
