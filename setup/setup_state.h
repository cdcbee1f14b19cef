// The process-wide run state of setup: plain globals shared by start-up,
// the script interpreter and the command handlers. Windows handles are kept
// as opaque pointers so that the interpreter core builds on any platform.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum : int { kModeSetup = 0, kModeUninstall = 1 };

// Messages from the phase runner and the handlers to the progress page,
// always sent (never posted) so that the worker waits for the page.
enum : unsigned {
    kMsgStatusText = 0x8001,  // wParam 0 status line, 1 second text; lParam the text
    kMsgProgress = 0x8002,    // wParam 0..100
    kMsgPhaseDone = 0x8003,
    kMsgError = 0x8004,  // wParam the result code; the answer is a message-box button id
};

// Sends one message to the progress page and returns its answer.
typedef intptr_t (*PageSender)(void* page, unsigned msg, uintptr_t wParam, intptr_t lParam);
// Impersonates the desktop user (on) or reverts (off); false on failure.
typedef bool (*Impersonator)(bool on);

struct SetupState {
    char modulePath[260];  // full path of the running file, the archive's source
    int mode;              // kModeSetup or kModeUninstall
    bool silent;           // "-SILENT" or "-INSTALL=" given
    bool allUsersDefault;  // "-INSTALL=" given without "-DATA="
    bool dataGiven;        // "-DATA=" given
    bool installGiven;     // "-INSTALL=" given
    bool workDirGiven;     // "-WORKDIR=" named the current folder
    bool looseFiles;       // bare names may be served by files of the current folder
    bool on64;             // the process runs under WOW64
    int osCode;            // 510, 600, 610, 620 or 630
    volatile bool rebootNeeded;
    volatile bool cancelled;  // the wizard has ended: a running worker stops
    volatile int result;      // the script's current result code
    int errorLine;            // script line (from 1) of the statement that last failed; 0 none
    int outcome;              // the wizard's outcome, its exit code: 0, a result code or kCodeCancelled
    char startupCause[260];   // what failed start-up (a damaged archive, a missing script), for the log
    char logNotes[1040];      // lines for the log before its outcome (what a run waited for or repaired)
    char originalPath[260];   // the temporary uninstaller: the "Uninstall.exe" that started it ("-UNINSTALLER=")
    char asidePath[260];      // where that uninstaller was moved to be deleted once it has ended; "" not moved
    unsigned long long bytesWritten;  // the sizes of the files this run installed (EstimatedSize)
    char madeFolders[16][260];        // folders this run created, parents first
    int madeCount;

    char (*useList)[260];  // "-USE=" files in command-line order (malloc'd)
    int useCount;
    int useCapacity;

    char* script;  // the script text, zero-terminated (malloc'd)
    size_t scriptLength;

    void* progressPage;  // the wizard's progress page; null outside it
    PageSender sendToPage;
    Impersonator impersonate;  // null: commands always run with the process's rights
};

extern SetupState gSetup;

// Appends a file to the use list; false when the list cannot grow or the
// name does not fit 259 characters.
bool AddUseFile(const char* path);
// Appends one line to the notes of the log (cut when they are full).
void AddLogNote(const char* line);
// Frees the use list and the script and clears the state (tests; end of run).
void ResetSetupState();
