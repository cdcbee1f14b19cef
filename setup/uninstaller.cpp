// Building the uninstaller copy and reading the mode tag.
#include "uninstaller.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "archive.h"
#include "file_ops.h"
#include "script.h"
#include "setup_base.h"
#include "setup_state.h"

char gModeTag[16] = "SetupMode:Setup";

// The texts that find and replace the tag are kept reversed, so that the
// tag stands in the image exactly once.
static const char kSetupTagReversed[] = "puteS:edoMputeS";
static const char kUninstallTagReversed[] = "sninU:edoMputeS";
static const size_t kCbTag = 15;

static void Unreverse(const char* in, char* out) {
    for (size_t i = 0; i < kCbTag; i++)
        out[i] = in[kCbTag - 1 - i];
    out[kCbTag] = '\0';
}

int ModeFromTag() {
    // Read through a volatile pointer: the copy's bytes differ from what
    // the compiler saw.
    const volatile char* word = gModeTag + 10;
    static const char kSetupWord[5] = {'S', 'e', 't', 'u', 'p'};
    for (int i = 0; i < 5; i++)
        if (word[i] != kSetupWord[i])
            return kModeUninstall;
    return kModeSetup;
}

int BuildUninstaller(const char* path) {
    // The copy ends with the first record, which must be the uninstall script.
    char first[kCchRecordName];
    if (!FirstArchiveRecordName(first) || _stricmp(first, "Uninstall.qsc") != 0 ||
        ReadArchiveRecord(first, path, kRecordProgramPrefix, nullptr, nullptr, 0) != 0)
        return kCodeWriteFile;
    DWORD cb = 0;
    char trailer[kCbArchiveTrailer + 1];
    ArchiveTrailerText(trailer);
    char* bytes = LoadFileOrRecord(path, &cb, (DWORD)kCbArchiveTrailer);
    if (!bytes)
        return kCodeWriteFile;
    char setupTag[kCbTag + 1], uninstallTag[kCbTag + 1];
    Unreverse(kSetupTagReversed, setupTag);
    Unreverse(kUninstallTagReversed, uninstallTag);
    for (DWORD i = 0; i + kCbTag <= cb; i++)
        if (bytes[i] == 'S' && memcmp(bytes + i, setupTag, kCbTag) == 0)
            memcpy(bytes + i, uninstallTag, kCbTag);
    memcpy(bytes + cb, trailer, kCbArchiveTrailer);
    int written = WriteFileCreatingFolders(path, bytes, cb + (DWORD)kCbArchiveTrailer);
    free(bytes);
    return written == 0 ? 0 : kCodeWriteFile;
}
