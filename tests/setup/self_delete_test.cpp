// The uninstaller's self-deletion: the batch in the temporary folder
// deletes the program file once it is free and then itself, and gives up
// when the file stays in use.
#include <windows.h>
#include <gtest/gtest.h>

#include "setup/file_ops.h"
#include "setup/setup_base.h"
#include "setup/setup_run.h"
#include "setup/setup_state.h"
#include "setup/uninstaller.h"
#include "setup_win_test_util.h"
#include "support/test_support.h"

static std::string BatchPath() {
    char temp[MAX_PATH];
    GetTempFolder(temp, sizeof temp);
    char name[32];
    StrFmt(name, countof(name), "\\QvAutoDel%08lX.bat", (unsigned long)GetCurrentProcessId());
    return std::string(temp) + name;
}

// Runs SelfDelete for module and waits until its batch has deleted itself.
static bool SelfDeleteAndWait(const std::string& module, DWORD ms) {
    ResetSetupState();
    gSetupInstance = GetModuleHandleA(nullptr);
    StrCopy(gSetup.modulePath, countof(gSetup.modulePath), module.c_str());
    SelfDelete();
    // SelfDelete raises this process's priority for its own end.
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        Sleep(250);
        if (!FileExists(BatchPath().c_str()))
            return true;
    }
    return false;
}

TEST(SelfDelete, DeletesTheFileThenTheBatch) {
    std::string dir = TestFolder("selfdelete");
    std::string module = dir + "\\_Qv Ui tmp.exe";  // a path with blanks
    WriteFileBytes(module, "MZ program");
    ASSERT_TRUE(SelfDeleteAndWait(module, 30000));
    EXPECT_FALSE(FileExists(module.c_str()));
}

TEST(SelfDelete, GivesUpWhenTheFileStaysInUse) {
    std::string dir = TestFolder("selfdelete");
    std::string module = dir + "\\held.exe";
    HANDLE holder = StartHelper("lock \"" + module + "\" none", true);
    ASSERT_TRUE(holder);
    // The batch ends by itself (about a minute of attempts) and the file stays.
    EXPECT_TRUE(SelfDeleteAndWait(module, 120000));
    EXPECT_TRUE(FileExists(module.c_str()));
    ReleaseHelper(holder);
}
