// The setup script language: statements, arguments, keywords and the phase
// runner with its If levels. Platform-neutral: the commands that reach the
// system are handlers installed by the platform (SetCommandHandler).
//
// Text: 8-bit characters ending with a zero. Blanks are TAB, LF, CR and
// space; only CR ends a statement.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "setup_base.h"

// The keywords in matching order. kKwStatus comes before kKwStatus2: a
// keyword matches only when a blank follows it.
enum Keyword : int {
    kKwNone = -1,
    kKwSet,
    kKwCloseProgram,
    kKwCreateDir,
    kKwCopyFile,
    kKwCreateLink,
    kKwChangeNotify,
    kKwCreateRegValSz,
    kKwCreateRegValDW,
    kKwCopyUninstall,
    kKwCreateSetupInfo,
    kKwDeleteFile,
    kKwRemoveDir,
    kKwDeleteRegKey,
    kKwDeleteRegVal,
    kKwPatchFile,
    kKwIf,
    kKwElse,
    kKwEndif,
    kKwStopService,
    kKwPhaseBegin,
    kKwPhaseEnd,
    kKwRun,
    kKwCall,
    kKwError,
    kKwStatus,
    kKwStatus2,
    kKwLogonTrigger,
    kKwCount
};

struct KeywordInfo {
    const char* name;
    int argsRead;    // ParseArgs reads at most this many
    int argsNeeded;  // fewer give result code 3
    bool asUser;     // runs as the desktop user when #REALUSER# is 1
};
extern const KeywordInfo kKeywords[kKwCount];

// Result codes of the interpreter and the commands (0 success).
enum : int {
    kCodeServiceManager = 1,
    kCodeCancelled = 2,  // no command gives it: the wizard was quit before it finished (exit code)
    kCodeArgs = 3,
    kCodeVarTable = 4,
    kCodeProgramRunning = 6,
    kCodeCreateDir = 7,
    kCodeWriteFile = 8,
    kCodeCreateLink = 9,
    kCodeRegSz = 11,
    kCodeRegDw = 12,
    kCodeStartup = 13,
    kCodeThread = 14,
    kCodeOldVersion = 15,  // no command gives it: the wizard's question about an older version
    kCodeNotAdmin = 16,    // no command gives it: the wizard's note that rights are missing
    kCodeRecord = 17,
    kCodeRemoveDir = 20,
    kCodeDeleteRegKey = 21,
    kCodeDeleteRegVal = 22,
    kCodeUninstallCopy = 23,
    kCodePatch = 24,
    kCodeRun = 27,
    kCodeNoPhase = 28,
    kCodeError = 29,
    kCodeSharing = 31,
    kCodeUseFiles = 32,
    kCodeLogonTask = 33,
    kCodeDataFolderAccess = 34,  // no command gives it: the wizard's data-folder question
    kCodeRelativePath = 35,      // no command gives it: "-INSTALL=" or "-DATA=" is no absolute path
    kCodeOtherInstall = 36,      // no command gives it: the uninstaller's folder is not the one installed
};

// Argument slots shared by all commands: five of 520 characters. Values
// longer than 519 characters are cut.
constexpr int kArgSlots = 5;
constexpr size_t kCchArg = 520;
extern char gArgs[kArgSlots][kCchArg];

// The keyword of the statement at pos (blanks skipped first), or kKwNone for
// a line that starts with no keyword (it is skipped) or at the end of the
// text. *args is where the arguments start, *end the statement's end (its CR
// or the terminating zero).
Keyword MatchKeyword(const char* pos, const char** args, const char** end);
// Where the statement after one that ends at end starts (blanks skipped).
const char* NextStatement(const char* end);
// Reads the next argument between *cursor and end into out (kCchArg
// characters, cut when longer) and moves *cursor behind it. 0 when an
// argument was read, 5 when none is left.
int NextArg(const char** cursor, const char* end, char* out);

// Clears the slots, reads up to n arguments of the running statement into
// slots 0..n-1, substitutes variables in each and returns how many it read.
int ParseArgs(int n);

// A command handler: runs with argc arguments (at least the keyword's
// argsNeeded) in gArgs, substituted, and returns a result code.
typedef int (*CommandHandler)(int argc);
void SetCommandHandler(Keyword keyword, CommandHandler handler);

// Runs phase n of gSetup.script; the outcome is left in gSetup.result.
// onWorker: the wizard's worker thread, which stops at once when the wizard
// has ended (gSetup.cancelled).
void RunPhase(int n, bool onWorker);

// Status texts for the progress page (each 520 characters): the status line
// and the second text. Sent only while a progress page exists.
void SendStatusLine(const char* text);
void SendStatusFmt(const char* fmt, ...) __attribute__((format(STR_PRINTF_FORMAT, 1, 2)));
void SendSecondText(const char* text);
// Copies text into out (cch characters, cut at a whole line break) with
// each two-character sequence backslash "n" turned into CR LF.
void ExpandLineBreaks(const char* text, char* out, size_t cch);
// Sends a message to the progress page; 0 when there is none.
intptr_t SendToProgressPage(unsigned msg, uintptr_t wParam, intptr_t lParam);
