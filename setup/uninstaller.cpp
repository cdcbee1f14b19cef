// Building the uninstaller copy and reading the mode tag.
#include "uninstaller.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include "archive.h"
#include "file_ops.h"
#include "resource.h"
#include "script.h"
#include "script_vars.h"
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

// Group icon 102 of the setup file (its uninstall icon) becomes group icon
// 101, the program icon, of the file at path. False when it could not.
static bool SwapProgramIcon(const char* path) {
    HMODULE source = LoadLibraryExA(gSetup.modulePath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!source)
        return false;
    HRSRC res = FindResourceA(source, MAKEINTRESOURCEA(IDI_UNINSTALL), (LPCSTR)RT_GROUP_ICON);
    HGLOBAL data = res ? LoadResource(source, res) : nullptr;
    void* bytes = data ? LockResource(data) : nullptr;
    bool ok = false;
    if (bytes) {
        HANDLE update = BeginUpdateResourceA(path, FALSE);
        if (update) {
            ok = UpdateResourceA(update, (LPCSTR)RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_SETUP),
                                 MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), bytes, SizeofResource(source, res));
            ok = EndUpdateResourceA(update, !ok) && ok;
        }
    }
    FreeLibrary(source);
    return ok;
}

static bool AppendBytes(const char* path, const void* bytes, DWORD cb) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = SetFilePointer(h, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER && WriteAll(h, bytes, cb);
    CloseHandle(h);
    return ok;
}

// Builds the uninstaller at path, which is replaced when it exists.
static int BuildUninstallerAt(const char* path) {
    // The copy ends with the first record, which must be the uninstall script.
    char first[kCchRecordName];
    if (!FirstArchiveRecordName(first) || _stricmp(first, "Uninstall.qsc") != 0 ||
        ReadArchiveRecord(first, path, kRecordProgramPrefix, nullptr, nullptr, 0) != 0)
        return kCodeWriteFile;
    DWORD cb = 0;
    char* bytes = LoadFileOrRecord(path, &cb, (DWORD)kCbArchiveTrailer + 1);
    if (!bytes)
        return kCodeWriteFile;
    // The image ends where the archive begins: the header found from the end.
    size_t start = 0;
    if (!ArchiveFindHeader((const uint8_t*)bytes, cb, &start)) {
        free(bytes);
        return kCodeWriteFile;
    }
    DWORD image = (DWORD)(start - kCbArchiveHeader);
    char setupTag[kCbTag + 1], uninstallTag[kCbTag + 1];
    Unreverse(kSetupTagReversed, setupTag);
    Unreverse(kUninstallTagReversed, uninstallTag);
    for (DWORD i = 0; i + kCbTag <= image; i++)
        if (bytes[i] == 'S' && memcmp(bytes + i, setupTag, kCbTag) == 0)
            memcpy(bytes + i, uninstallTag, kCbTag);
    ArchiveTrailerText(bytes + cb);  // the copy's archive ends like every archive
    // The image alone first: a resource update may drop data behind the
    // image or keep it, so the archive is appended only afterwards.
    bool ok = WriteFileCreatingFolders(path, bytes, image) == 0;
    if (ok)
        SwapProgramIcon(path);
    ok = ok && AppendBytes(path, bytes + image, cb + (DWORD)kCbArchiveTrailer - image);
    free(bytes);
    return ok ? 0 : kCodeWriteFile;
}

int BuildUninstaller(const char* path) {
    // Built beside its place and then moved there: a failure leaves no torn
    // uninstaller, and an earlier installation's one stays whole.
    char building[kCchPath2];
    if (!StrFmt(building, countof(building), "%s.tmp", path))
        return kCodeWriteFile;
    int code = BuildUninstallerAt(building);
    if (code == 0 && !MoveFileExA(building, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        code = kCodeWriteFile;
    if (code != 0)
        DeleteFileA(building);
    return code;
}

bool IsOwnUninstaller(const char* path) {
    DWORD cb = 0;
    char* bytes = LoadFileOrRecord(path, &cb, 0);
    if (!bytes)
        return false;
    char tag[kCbTag + 1], program[kCchPath2];
    Unreverse(kUninstallTagReversed, tag);
    StrFmt(program, countof(program), "Set #PROGRAM#, \"%s\"", GetVarText("#PROGRAM#"));
    size_t cchProgram = strlen(program);
    bool tagged = false, named = false;
    for (DWORD i = 0; i < cb && !(tagged && named); i++) {
        tagged = tagged || (i + kCbTag <= cb && memcmp(bytes + i, tag, kCbTag) == 0);
        named = named || (i + cchProgram <= cb && memcmp(bytes + i, program, cchProgram) == 0);
    }
    free(bytes);
    return tagged && named;
}
