// The phase runner: phases, If levels and conditions, the commands of the
// interpreter itself, error handling per mode and the progress-page
// protocol. Platform commands are stand-ins that record their calls.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "setup/script.h"
#include "setup/script_vars.h"
#include "setup/setup_state.h"
#include "setup_test_util.h"

static std::vector<std::string> gCalls;
static int gFailCode;      // what the failing stand-in returns
static int gFailuresLeft;  // how often it fails before it succeeds

// Stand-ins for "CopyFile" and "ChangeNotify": record the substituted arguments.
static int Record(const char* keyword, int argc) {
    std::string s = keyword;
    for (int i = 0; i < argc; i++)
        s += std::string("|") + gArgs[i];
    gCalls.push_back(s);
    return 0;
}
static int RecordCopy(int argc) {
    return Record("CopyFile", argc);
}
static int RecordNotify(int argc) {
    return Record("ChangeNotify", argc);
}

// "RemoveDir" stand-in: fails gFailuresLeft times with gFailCode.
static int FailingCall(int) {
    gCalls.push_back(std::string("RemoveDir|") + gArgs[0]);
    if (gFailuresLeft > 0) {
        gFailuresLeft--;
        return gFailCode;
    }
    return 0;
}

// "Run" stand-in: always fails.
static int FailingRun(int) {
    gCalls.push_back("Run");
    return kCodeRun;
}

class ScriptRun : public ::testing::Test {
  protected:
    void Load(const std::string& lines) {
        LoadScript(CrLf(lines));
        gCalls.clear();
        gFailCode = kCodeRemoveDir;
        gFailuresLeft = 1 << 30;
        SetCommandHandler(kKwCopyFile, RecordCopy);
        SetCommandHandler(kKwChangeNotify, RecordNotify);
        SetCommandHandler(kKwRemoveDir, FailingCall);
        SetCommandHandler(kKwRun, FailingRun);
    }
    std::vector<std::string> Run(const std::string& lines, int phase = 1) {
        Load(lines);
        RunPhase(phase, false);
        return gCalls;
    }
};

TEST_F(ScriptRun, OnlyTheAskedPhaseRuns) {
    std::string script =
        "; Test script\n"
        "CopyFile before, phases\n"
        "PhaseBegin 0\n"
        "  CopyFile zero, 0\n"
        "PhaseEnd\n"
        "PhaseBegin 1\n"
        "  CopyFile one, 1\n"
        "  CopyFile \"#X#\", #Y#\n"
        "PhaseEnd\n"
        "CopyFile between, phases\n"
        "PhaseBegin 2\n"
        "  CopyFile two, 2\n";  // no PhaseEnd: the body runs to the end of the text
    EXPECT_EQ((std::vector<std::string>{"CopyFile|zero|0"}), Run(script, 0));
    Load(script);
    SetVar("#X#", "x");
    SetVar("#Y#", "y y");
    RunPhase(1, false);
    EXPECT_EQ((std::vector<std::string>{"CopyFile|one|1", "CopyFile|x|y y"}), gCalls);
    EXPECT_EQ((std::vector<std::string>{"CopyFile|two|2"}), Run(script, 2));
    EXPECT_EQ(0, gSetup.result);

    // A missing phase 0 or 1 is an error; a missing later phase is none.
    Run("PhaseBegin 2\nPhaseEnd\n", 1);
    EXPECT_EQ(kCodeNoPhase, gSetup.result);
    Run("PhaseBegin 1\nPhaseEnd\n", 0);
    EXPECT_EQ(kCodeNoPhase, gSetup.result);
    Load("PhaseBegin 1\nPhaseEnd\n");
    gSetup.result = 5;
    RunPhase(3, false);
    EXPECT_EQ(5, gSetup.result);
    LoadScript("");
    free(gSetup.script);
    gSetup.script = nullptr;
    RunPhase(0, false);
    EXPECT_EQ(kCodeNoPhase, gSetup.result);
}

TEST_F(ScriptRun, Conditions) {
    struct Case {
        const char* condition;
        bool holds;
    } cases[] = {
        {"abc, =, ABC", true},    {"abc, =, abd", false},    {"abc, !, ABC", false},
        {"a, !, b", true},        {"a, ==, a", true},        {"a, !=, a", false},
        {"10, <, 9", false},      {"9, <, 10", true},        {"9, <=, 9", true},
        {"9, >, 9", false},       {"10, >=, 9x", true},      {"abc, <, 1", true},
        {"-1, <, 0", true},       {"2.5, >, 2", true},       {"a, ?, a", false},
        {"5, >, 1, <, 9", true},  {"5, >, 1, >, 9", false},  {"5, >, 1, ?, 9", true},
        {"5, ?, 1, >, 1", false}, {"#KEEPCFG#, !, 1", true},  // undefined: the name itself is compared
        {"#ONE#, =, 1", true},    {"\"a b\", =, A B", true},
    };
    for (const Case& c : cases) {
        std::string script = std::string("PhaseBegin 1\nSet #ONE#, 1\nIf ") + c.condition +
                             "\n ChangeNotify then\nElse\n ChangeNotify else\nEndif\n";
        std::vector<std::string> want = {c.holds ? "ChangeNotify|then" : "ChangeNotify|else"};
        EXPECT_EQ(want, Run(script)) << c.condition;
    }
    // Wrong argument counts: code 3 and nothing is pushed.
    for (const char* bad : {"a, =", "a, =, a, ="}) {
        Run(std::string("PhaseBegin 1\nIf ") + bad + "\nChangeNotify after\n");
        EXPECT_EQ(kCodeArgs, gSetup.result) << bad;
        EXPECT_TRUE(gCalls.empty());
    }
    EXPECT_EQ(std::vector<std::string>{"ChangeNotify|after"},
              Run("PhaseBegin 1\nIf a, =, a, =, a, x\nChangeNotify after\n"));  // the sixth argument is not read
}

TEST_F(ScriptRun, NestingElseEndifAndSkippedLevels) {
    std::string script =
        "PhaseBegin 1\n"
        "Else\n"  // outside any If: nothing happens
        "EndIf\n"
        "If 1, =, 2\n"
        "  ChangeNotify skipped\n"
        "  If 1, =, 1\n"  // evaluated although skipped, so that levels balance
        "    ChangeNotify skipped too\n"
        "  Else\n"
        "    ChangeNotify skipped three\n"
        "  Endif\n"
        "  RemoveDir never\n"
        "Else\n"
        "  ChangeNotify outer else\n"
        "  if 1, =, 1\n"
        "    ChangeNotify inner\n"
        "    IF 2, <, 1\n"
        "      ChangeNotify no\n"
        "    else\n"
        "      ChangeNotify deepest\n"
        "    ENDIF\n"
        "  endif\n"
        "Endif\n"
        "ChangeNotify after\n";
    EXPECT_EQ((std::vector<std::string>{"ChangeNotify|outer else", "ChangeNotify|inner", "ChangeNotify|deepest",
                                        "ChangeNotify|after"}),
              Run(script));
    EXPECT_EQ(0, gSetup.result);

    // 32 levels are allowed, a 33rd is an error.
    std::string deep = "PhaseBegin 1\n";
    for (int i = 0; i < 32; i++)
        deep += "If 1, =, 1\n";
    deep += "ChangeNotify deep\n";
    EXPECT_EQ(std::vector<std::string>{"ChangeNotify|deep"}, Run(deep));
    Run(deep + "If 1, =, 1\nChangeNotify deeper\n");
    EXPECT_EQ(kCodeArgs, gSetup.result);
}

TEST_F(ScriptRun, EachPhaseStartsWithoutOpenLevels) {
    // Phase 0 leaves a false If open; phase 1 still runs its statements.
    Load("PhaseBegin 0\nIf 1, =, 2\nPhaseEnd\nPhaseBegin 1\nChangeNotify one\nPhaseEnd\n");
    RunPhase(0, false);
    RunPhase(1, false);
    EXPECT_EQ(std::vector<std::string>{"ChangeNotify|one"}, gCalls);
}

TEST_F(ScriptRun, InterpreterCommands) {
    Load(
        "PhaseBegin 1\n"
        "Set #A#, 1\n"
        "Set #B#, #A#x\n"  // the value is substituted when set
        "Set #A#, 2\n"
        "Set #C#\n"  // a missing value: 3
        "PhaseEnd\n");
    gSetup.mode = kModeUninstall;  // errors are collected, the phase goes on
    RunPhase(1, false);
    EXPECT_EQ(kCodeArgs, gSetup.result);
    EXPECT_STREQ("1x", GetVarText("#B#"));
    EXPECT_STREQ("2", GetVarText("#A#"));
    EXPECT_EQ(-1, GetVar("#C#", nullptr, 0));

    Load("PhaseBegin 1\nSet #W#, world\nStatus Hello #W#\nStatus2 \"one\\ntwo\"\nError Disk #W#\nChangeNotify no\n");
    OpenFakePage({2});
    RunPhase(1, false);
    std::vector<PageMessage> texts = PageMessagesOf(kMsgStatusText);
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ("Setting variable...", texts[0].text);
    EXPECT_EQ(0u, texts[1].wParam);
    EXPECT_EQ("Hello world", texts[1].text);
    EXPECT_EQ(1u, texts[2].wParam);
    EXPECT_EQ("one\r\ntwo", texts[2].text);
    EXPECT_EQ(kCodeError, gSetup.result);
    EXPECT_STREQ("Disk world", GetVarText("#LASTERROR#"));
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(ScriptRun, TooFewArgumentsNeverReachTheCommand) {
    EXPECT_TRUE(Run("PhaseBegin 1\nCopyFile onlyone\nCopyFile never, here\n").empty());
    EXPECT_EQ(kCodeArgs, gSetup.result);
    EXPECT_EQ(2, gSetup.errorLine);
}

TEST_F(ScriptRun, ArgumentSlotsHoldAt519Characters) {
    std::string big(700, 'q');
    std::vector<std::string> calls = Run("PhaseBegin 1\nSet #Q#, " + big + "\nCopyFile #Q##Q#, " + big + "\n");
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ("CopyFile|" + std::string(519, 'q') + "|" + std::string(519, 'q'), calls[0]);
}

TEST_F(ScriptRun, SetupModeStopsAtTheFirstErrorAndNamesItsLine) {
    std::string script =
        "; line 1\n"
        "PhaseBegin 1\n"
        "  CopyFile a, b\n"
        "  Run ignored\n"  // the failure of Run is dropped
        "\n"
        "  RemoveDir fails\n"  // line 6
        "  CopyFile never, reached\n";
    EXPECT_EQ((std::vector<std::string>{"CopyFile|a|b", "Run", "RemoveDir|fails"}), Run(script));
    EXPECT_EQ(kCodeRemoveDir, gSetup.result);
    EXPECT_EQ(6, gSetup.errorLine);
}

TEST_F(ScriptRun, UninstallModeGoesOnAndKeepsTheFirstError) {
    Load("PhaseBegin 1\nRemoveDir a\nCopyFile b, c\nError x\nCopyFile d, e\nPhaseEnd\n");
    gSetup.mode = kModeUninstall;
    RunPhase(1, false);
    EXPECT_EQ((std::vector<std::string>{"RemoveDir|a", "CopyFile|b|c", "CopyFile|d|e"}), gCalls);
    EXPECT_EQ(kCodeRemoveDir, gSetup.result);  // the test's RemoveDir fails
    EXPECT_EQ(2, gSetup.errorLine);
    // A later failure (a folder left because a program held its files)
    // does not hide the first one.
    Load("PhaseBegin 1\nError first\nIf a\nCopyFile d, e\nPhaseEnd\n");
    gSetup.mode = kModeUninstall;
    RunPhase(1, false);
    EXPECT_EQ(kCodeError, gSetup.result);
    EXPECT_EQ(2, gSetup.errorLine);
    EXPECT_STREQ("first", GetVarText("#LASTERROR#"));
}

TEST_F(ScriptRun, ProgressPageProtocol) {
    // Answer Retry twice, then the statement succeeds; Yes goes on after an
    // error; Cancel ends the run.
    Load("PhaseBegin 1\nCopyFile a, b\nRemoveDir r\nError e\nCopyFile c, d\nError f\nCopyFile never, x\nPhaseEnd\n");
    gFailuresLeft = 2;
    OpenFakePage({4, 4, 6, 2});
    RunPhase(1, true);
    EXPECT_EQ((std::vector<std::string>{"CopyFile|a|b", "RemoveDir|r", "RemoveDir|r", "RemoveDir|r", "CopyFile|c|d"}),
              gCalls);
    std::vector<PageMessage> errors = PageMessagesOf(kMsgError);
    ASSERT_EQ(4u, errors.size());
    EXPECT_EQ((uintptr_t)kCodeRemoveDir, errors[0].wParam);
    EXPECT_EQ((uintptr_t)kCodeError, errors[2].wParam);
    EXPECT_TRUE(PageMessagesOf(kMsgPhaseDone).empty());  // ended by Cancel

    // A whole run: percentages rise to 100 at the last statement, then the
    // phase is finished.
    Load("PhaseBegin 1\nCopyFile a, b\n; note\nCopyFile c, d\nPhaseEnd\n");
    OpenFakePage();
    RunPhase(1, true);
    std::vector<PageMessage> progress = PageMessagesOf(kMsgProgress);
    ASSERT_EQ(3u, progress.size());
    EXPECT_LT(progress[0].wParam, progress[1].wParam);
    EXPECT_LT(progress[1].wParam, 100u);
    EXPECT_EQ(100u, progress[2].wParam);
    EXPECT_EQ(kMsgPhaseDone, PageMessages().back().msg);
    EXPECT_EQ(0, gSetup.result);
}

TEST_F(ScriptRun, TheWorkerStopsWhenTheWizardHasEnded) {
    Load("PhaseBegin 1\nCopyFile a, b\nCopyFile c, d\n");
    OpenFakePage();
    gSetup.cancelled = true;
    RunPhase(1, true);
    EXPECT_TRUE(gCalls.empty());
    RunPhase(1, false);  // the main thread's phases do not look at the flag
    EXPECT_EQ(2u, gCalls.size());
}

static std::vector<std::string> gImpersonations;
static bool FakeImpersonate(bool on) {
    gImpersonations.push_back(on ? "on" : "off");
    return true;
}

TEST_F(ScriptRun, UserCommandsImpersonateWhenRealUserIsSet) {
    Load("PhaseBegin 1\nCopyFile a, b\nSet #REALUSER#, 1\nCopyFile c, d\nError x\n");
    gImpersonations.clear();
    gSetup.impersonate = FakeImpersonate;
    RunPhase(1, false);
    EXPECT_EQ((std::vector<std::string>{"on", "off"}), gImpersonations);  // CopyFile only: Error is not a user command
}
