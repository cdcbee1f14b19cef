// Commands that reach programs and services under Wine: CloseProgram with a
// stand-in for the main program's window, Run, Call, StopService and
// LogonTrigger.
#include <windows.h>
#include <gtest/gtest.h>

#include "setup/desktop_user.h"
#include "setup/logon_task.h"
#include "setup/script.h"
#include "setup/script_vars.h"
#include "setup/setup_run.h"
#include "setup/setup_state.h"
#include "setup_win_test_util.h"
#include "support/test_support.h"

class ProcessCommands : public ::testing::Test {
  protected:
    std::string dir;
    void SetUp() override { dir = TestFolder("process"); }
    int Run(const std::string& lines) {
        LoadCommands(lines);
        SetVar("#D#", dir.c_str());
        SetVar("#HELPER#", HelperExe().c_str());
        RunPhase(1, false);
        return gSetup.result;
    }
    static bool WaitForFile(const std::string& path, DWORD ms) {
        for (DWORD waited = 0; waited < ms; waited += 50) {
            if (FileExists(path))
                return true;
            Sleep(50);
        }
        return FileExists(path);
    }
};

TEST_F(ProcessCommands, CloseProgramQuitsEveryRunningInstance) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tarnwick", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    BYTE record[2] = {1, 0};
    RegSetValueExA(key, "VpCloseTest", 0, REG_BINARY, record, sizeof record);
    HANDLE first = StartHelper("mox \"VpCloseTest 4.13\"", true);
    HANDLE second = StartHelper("mox \"vpclosetest (second)\"", true);
    ASSERT_TRUE(first && second);
    DWORD start = GetTickCount();
    EXPECT_EQ(0, Run("CloseProgram Close\n"));  // the value names that contain the text
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, 0));
    EXPECT_LT(GetTickCount() - start, 15000u);
    CloseHandle(first);
    CloseHandle(second);
    // Nothing running: at once.
    start = GetTickCount();
    EXPECT_EQ(0, Run("CloseProgram VpCloseTest\n"));
    EXPECT_LT(GetTickCount() - start, 2000u);
    RegDeleteValueA(key, "VpCloseTest");
    RegCloseKey(key);
}

TEST_F(ProcessCommands, CallWaitsAndReportsTheExitCode) {
    EXPECT_EQ(0, Run("Call #HELPER#, \"exit 1\"\n"));
    EXPECT_STREQ("00000001", GetVarText("#LASTERROR#"));
    EXPECT_EQ(0, Run("Call #HELPER#, \"exit 0\", , hide\n"));
    EXPECT_STREQ("0", GetVarText("#LASTERROR#"));
    EXPECT_EQ(0, Run("Call #HELPER#, \"exit 300\"\n"));
    EXPECT_STREQ("0000012c", GetVarText("#LASTERROR#"));
    // The folder argument is the program's working folder.
    EXPECT_EQ(0, Run("Call #HELPER#, \"marker here.txt\", #D#\n"));
    EXPECT_TRUE(FileExists(dir + "\\here.txt"));
    EXPECT_EQ(kCodeRun, Run("Call #D#\\missing.exe, x\n"));
    EXPECT_EQ(0, Run("Call #D#\\missing.exe, x, , , Silent\n"));
}

static DWORD WINAPI CancelLater(void*) {
    Sleep(500);
    gSetup.cancelled = true;
    return 0;
}

TEST_F(ProcessCommands, CallEndsItsProgramWhenTheWizardEnds) {
    HANDLE canceller = CreateThread(nullptr, 0, CancelLater, nullptr, 0, nullptr);
    DWORD start = GetTickCount();
    EXPECT_EQ(0, Run("Call #HELPER#, \"sleep 30000\"\n"));
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_STREQ("00000103", GetVarText("#LASTERROR#"));  // terminated with 259
    WaitForSingleObject(canceller, 5000);
    CloseHandle(canceller);
}

TEST_F(ProcessCommands, ScriptAndWorkerShareTheScriptUntilTheWorkerEnds) {
    LoadCommands("Call #HELPER#, \"sleep 30000\"\nSet #AFTER#, 1\n");
    SetVar("#HELPER#", HelperExe().c_str());
    ASSERT_EQ(0, StartPhase(1, true));
    Sleep(500);
    // The wizard has ended while the worker waits: the script stays.
    EXPECT_FALSE(FreeSetupScript());
    EXPECT_NE(nullptr, gSetup.script);
    gSetup.cancelled = true;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gWorkerThread, 10000));
    EXPECT_EQ(-1, GetVar("#AFTER#", nullptr, 0));  // the worker stopped before the next statement
    EXPECT_TRUE(FreeSetupScript());
    EXPECT_EQ(nullptr, gSetup.script);
    CloseHandle(gWorkerThread);
    gWorkerThread = nullptr;
}

// The shell's desktop window, whose owner is the desktop user.
static LRESULT CALLBACK ShellProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST_F(ProcessCommands, RunStartsProgramsAndIgnoresFailures) {
    // "Elevated" goes through the shell.
    EXPECT_EQ(0, Run("Run #HELPER#, \"marker #D#\\elevated.txt\", Elevated\n"));
    EXPECT_TRUE(WaitForFile(dir + "\\elevated.txt", 10000));
    // A program that cannot start: the failure is dropped.
    EXPECT_EQ(0, Run("Run #D#\\missing.exe\nSet #AFTER#, 1\n"));
    EXPECT_STREQ("1", GetVarText("#AFTER#"));

    // As the desktop user: without the shell's desktop window there is no
    // user to start it for (Wine has none), with one it starts.
    ASSERT_GE(gSetup.osCode, 600);
    EXPECT_EQ(0, Run("Run #HELPER#, \"marker #D#\\user1.txt\"\n"));
    Sleep(1000);
    EXPECT_FALSE(FileExists(dir + "\\user1.txt"));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ShellProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Progman";
    RegisterClassA(&wc);
    HWND shell =
        CreateWindowExA(0, "Progman", "Program Manager", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(shell);
    EXPECT_EQ(0, Run("Run #HELPER#, \"marker #D#\\user2.txt\"\n"));
    EXPECT_TRUE(WaitForFile(dir + "\\user2.txt", 10000));
    DWORD code = 99;
    EXPECT_EQ(0, RunAsDesktopUser(HelperExe().c_str(), "exit 7", &code));
    EXPECT_EQ(7u, code);
    EXPECT_TRUE(ImpersonateDesktopUser(true));
    EXPECT_TRUE(ImpersonateDesktopUser(false));
    DestroyWindow(shell);
    UnregisterClassA("Progman", wc.hInstance);
    EXPECT_FALSE(ImpersonateDesktopUser(true));
}

TEST_F(ProcessCommands, StopServiceAndLogonTrigger) {
    EXPECT_EQ(0, Run("StopService VpNoSuchService\n"));
    EXPECT_EQ(kCodeArgs, Run("StopService\n"));
    char group[256];
    unsigned long cch = sizeof group;
    ASSERT_TRUE(GetWellKnownGroupName(544, group, &cch));
    EXPECT_EQ(strlen(group), cch);
    EXPECT_GT(cch, 0u);
    // Wine's Task Scheduler answers E_NOTIMPL for the run level (stage 12),
    // and its service does not always accept a connection (stage 4): all
    // ten attempts fail and the last stage is reported.
    DWORD start = GetTickCount();
    EXPECT_EQ(kCodeLogonTask, Run("LogonTrigger VpSetupTestTask, #HELPER#, \"exit 0\"\n"));
    std::string stage = GetVarText("#LASTERROR#");
    EXPECT_TRUE(stage == "0000000c" || stage == "00000004") << stage;
    EXPECT_GE(GetTickCount() - start, 8500u);  // ten attempts a second apart
}
