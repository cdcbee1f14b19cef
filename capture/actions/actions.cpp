// The actions on the current image: the clipboard copy and the three ways
// of writing a file (sequential number, save-as dialog, the smaller of JPEG
// and PNG). Every file is written under a temporary name next to its target
// and renamed only when complete, so a failed save leaves no empty or
// partial file.
#include "capture/actions/actions.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "base/path_util.h"
#include "base/str_util.h"
#include "capture/app_texts.h"
#include "capture/state/image_state.h"
#include "capture/state/options.h"
#include "framework/app.h"
#include "framework/install_settings.h"
#include "framework/message_box.h"
#include "framework/monitors.h"

const char kSaveFilter[] =
    "All supported formats\0*.bmp;*.gif;*.jpg;*.png;*.tif\0BMP\0*.bmp\0GIF\0*.gif\0JPG\0*.jpg\0PNG\0*.png\0"
    "TIF\0*.tif\0Optimized\0*.opt\0";

namespace {

const int kSaveTypeOptimal = 5;
// The formats of the Save As dialog's types 0..4, in its filter order.
const uint32_t kSaveFormats[] = {kFormatBmp, kFormatGif, kFormatJpg, kFormatPng, kFormatTif};

void ShowError(HWND owner, unsigned textId) {
    AppMessageBox(owner, nullptr, "%s", kBoxErrorOk, 0, gApp.Text((WORD)textId, 0));
}

// The image to write in a format: gImage itself, or (for the conversions a
// format needs) a converted copy in conv, so that gImage keeps its depth.
// The format's options are set on the image returned; null on failure.
CRaster* PrepareForFormat(uint32_t format, CImage* conv) {
    CRaster* img = &gImage;
    switch (format) {
        case kFormatGif:
            if (gImage.GetBpp() == 24) {
                if (!conv->Copy(gImage, true))
                    return nullptr;
                RGBQUAD* pal = conv->MakeQuantizedPalette(256);
                bool ok = pal && conv->DecreaseBpp(8, false, pal, 256);
                free(pal);
                if (!ok)
                    return nullptr;
                img = conv;
            }
            img->SetFormatOption(0, kFormatGif);
            break;
        case kFormatJpg:
            if (gImage.GetBpp() != 24 && !gImage.IsGrayScale()) {
                if (!conv->Copy(gImage, true) || !conv->IncreaseBpp(24))
                    return nullptr;
                img = conv;
            }
            img->SetFormatOption(1, kFormatJpg);
            img->SetJpegQuality((BYTE)(gOpt.JPGQuality & 0xFF));
            break;
        case kFormatPng:
            img->SetFormatOption(8, kFormatPng);
            break;
        case kFormatTif:
            img->SetFormatOption(0, kFormatTif);
            break;
    }
    return img;
}

// Writes gImage in format to a new temporary file in target's folder;
// tmp (kCchPath) receives its name. False (and no file) on failure.
bool WriteToTemp(const char* target, uint32_t format, char* tmp) {
    if (format == kFormatAny)
        return false;
    CImage conv;
    CRaster* img = PrepareForFormat(format, &conv);
    if (!img)
        return false;
    char folder[kCchPath];
    size_t n = (size_t)(LastPathComponent(target) - target);
    if (n == 0) {
        StrCopy(folder, countof(folder), ".");
    } else {
        if (n >= countof(folder))
            return false;
        memcpy(folder, target, n);
        folder[n] = 0;
    }
    if (!GetTempFileNameA(folder, "vpw", 0, tmp))
        return false;
    if (!img->Save(tmp, format)) {
        DeleteFileA(tmp);
        return false;
    }
    return true;
}

// Moves a finished temporary file to target, over an existing file when
// replace is set. A failure removes tmp, except when target exists and is
// not to be replaced: tmp then stays for another name (the last error says
// ERROR_ALREADY_EXISTS or ERROR_FILE_EXISTS).
bool CommitTemp(const char* tmp, const char* target, bool replace = true) {
    if (MoveFileExA(tmp, target, replace ? MOVEFILE_REPLACE_EXISTING : 0))
        return true;
    DWORD error = GetLastError();
    if (replace || (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS))
        DeleteFileA(tmp);
    SetLastError(error);
    return false;
}

// path with its extension replaced by ext (or ext appended when it has
// none) into out; false when it does not fit.
bool WithExtension(const char* path, const char* ext, char* out, size_t cch) {
    const char* dot = strrchr(LastPathComponent(path), '.');
    size_t keep = dot ? (size_t)(dot - path) : strlen(path);
    if (keep >= cch)
        return false;
    memcpy(out, path, keep);
    out[keep] = 0;
    return StrCat(out, cch, ".") && StrCat(out, cch, ext);
}

long long FileSizeOf(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &a))
        return -1;
    return ((long long)a.nFileSizeHigh << 32) | a.nFileSizeLow;
}

// The largest number that follows base in the names of folder's files
// (digits right after the base name, any count; 0 for none). -1 when a
// number is too large to continue from.
long long LastSequenceNumber(const char* folder, const char* base) {
    char pattern[kCchPath2];
    if (!StrFmt(pattern, countof(pattern), "%s\\%s*", folder, base))
        return -1;
    size_t cchBase = strlen(base);
    long long last = 0;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(pattern, &fd);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        // The long name decides: the search also matches short names.
        const char* name = fd.cFileName;
        if (strlen(name) < cchBase || _strnicmp(name, base, cchBase) != 0)
            continue;
        long long n = 0;
        for (const char* d = name + cchBase; isdigit((unsigned char)*d); d++) {
            n = n * 10 + (*d - '0');
            if (n > 2000000000) {
                FindClose(find);
                return -1;
            }
        }
        if (n > last)
            last = n;
    } while (FindNextFileA(find, &fd));
    FindClose(find);
    return last;
}

// SaveOptimal; when ask is set, the file really written (the JPEG or the
// PNG) is replaced only when the user says so, for the Save As dialog's
// overwrite question named the ".opt" name: kActionCancelled when not, and
// path (cch) then keeps the name the user typed.
int SaveOptimalFile(HWND owner, bool ask, char* path, size_t cch) {
    OptimalTemp t;
    int r = WriteOptimalTemp(path, &t);
    if (r == kActionDone && ask && GetFileAttributesA(t.target) != INVALID_FILE_ATTRIBUTES &&
        AppMessageBox(owner, nullptr, gApp.Text(IDS_REPLACE_FILE, 0), kBoxWarning | kBoxYesNo | kBoxDefaultNo, 0,
                      FileNamePart(t.target)) != IDYES) {
        DeleteFileA(t.tmp);
        return kActionCancelled;
    }
    if (r == kActionDone && !CommitOptimalTemp(&t, true))
        r = kActionWriteFailed;
    if (t.target[0])
        StrCopy(path, cch, t.target);
    if (r == kActionDone)
        StrCopy(gImageName, countof(gImageName), t.target);
    return r;
}

}  // namespace

int SaveTypeFromExtension(const char* name) {
    if (StrCmpAsciiNoCase(FileExtension(name), "opt") == 0)
        return kSaveTypeOptimal;
    uint32_t format = CRaster::TypeFromFileName(name, true);
    for (int i = 0; i < (int)countof(kSaveFormats); i++)
        if (kSaveFormats[i] == format)
            return i;
    return -1;
}

void SetImageResolution() {
    MonitorSize monitor = MonitorSizeOfRow(gOpt.Monitor);
    float cmW = monitor.width, cmH = monitor.height;
    RECT screen = VirtualScreenRect();
    int pxW = screen.right - screen.left, pxH = screen.bottom - screen.top;
    int ppmW = cmW > 0 ? (int)(pxW * 100 / cmW) : 0;
    int ppmH = cmH > 0 ? (int)(pxH * 100 / cmH) : 0;
    gImage.SetXDpi((int)(ppmW * 2.54 / 100));
    gImage.SetYDpi((int)(ppmH * 2.54 / 100));
}

int WriteImageFile(const char* path) {
    if (!gImage.IsValid() || !path)
        return kActionWriteFailed;
    SetImageResolution();
    uint32_t format = strlen(path) < 4 ? (uint32_t)kFormatBmp : CRaster::TypeFromFileName(path);
    char tmp[kCchPath];
    if (!WriteToTemp(path, format, tmp) || !CommitTemp(tmp, path))
        return kActionWriteFailed;
    StrCopy(gImageName, countof(gImageName), path);
    return kActionDone;
}

int WriteOptimalTemp(const char* path, OptimalTemp* t) {
    t->tmp[0] = 0;
    t->target[0] = 0;
    if (!gImage.IsValid())
        return kActionWriteFailed;
    SetImageResolution();
    char jpg[kCchPath2], png[kCchPath2];
    if (!WithExtension(path, "jpg", jpg, countof(jpg)) || !WithExtension(path, "png", png, countof(png)))
        return kActionWriteFailed;
    // Both are written under temporary names, so that the one not kept
    // never replaces a file of the same name.
    char tmpJpg[kCchPath], tmpPng[kCchPath];
    if (!WriteToTemp(jpg, kFormatJpg, tmpJpg))
        return kActionWriteFailed;
    if (!WriteToTemp(png, kFormatPng, tmpPng)) {
        DeleteFileA(tmpJpg);
        StrCopy(t->target, countof(t->target), jpg);
        return kActionWriteFailed;
    }
    long long cbJpg = FileSizeOf(tmpJpg), cbPng = FileSizeOf(tmpPng);
    bool keepJpg = cbPng * 2 > cbJpg * 3;
    DeleteFileA(keepJpg ? tmpPng : tmpJpg);
    StrCopy(t->tmp, countof(t->tmp), keepJpg ? tmpJpg : tmpPng);
    StrCopy(t->target, countof(t->target), keepJpg ? jpg : png);
    return kActionDone;
}

bool CommitOptimalTemp(const OptimalTemp* t, bool replace) {
    return CommitTemp(t->tmp, t->target, replace);
}

int SaveOptimal(char* path, size_t cch) {
    return SaveOptimalFile(nullptr, false, path, cch);
}

int SaveSequential(HWND owner) {
    if (!gImage.IsValid())
        return kActionNoImage;
    const char* setting = gOpt.EdtSavePath;
    char folder[kCchPath] = "", base[kCchPath] = "", ext[kCchPath] = "opt";
    const char* slash = strrchr(setting, '\\');
    if (slash) {
        size_t n = (size_t)(slash - setting);  // below 260: the setting is a 260-character field
        memcpy(folder, setting, n);
        folder[n] = 0;
        StrCopy(base, countof(base), slash + 1);
    } else {
        InstallSettingsText(gApp.installSettings, kInstallFolder, folder, countof(folder));
        StrCopy(base, countof(base), setting);
    }
    int type = SaveTypeFromExtension(base);
    if (type >= 0) {  // the base loses its dot and extension
        StrCopy(ext, countof(ext), FileExtension(base));
        base[strlen(base) - strlen(ext) - 1] = 0;
    }
    if (!base[0]) {
        ShowError(owner, IDS_BAD_SEQUENCE_PATH);
        return kActionCancelled;
    }
    long long last = LastSequenceNumber(folder, base);
    char path[kCchPath2];
    int r = kActionWriteFailed;
    if (last >= 0 && StrFmt(path, countof(path), "%s\\%s%04d.%s", folder, base, (int)(last + 1), ext))
        r = type < 0 || type == kSaveTypeOptimal ? SaveOptimal(path, countof(path)) : WriteImageFile(path);
    if (r != kActionDone)
        ShowError(owner, IDS_SAVE_FAILED);
    return r;
}

int SaveImageAs(HWND owner) {
    if (!gImage.IsValid())
        return kActionNoImage;
    char file[kCchPath2] = "";
    for (;;) {
        OPENFILENAMEA ofn;
        memset(&ofn, 0, sizeof ofn);
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = kSaveFilter;
        ofn.nFilterIndex = (DWORD)gOpt.SaveAsType;
        ofn.lpstrFile = file;
        ofn.nMaxFile = (DWORD)countof(file);
        ofn.lpstrInitialDir = gOpt.EdtSaveAsPath[0] ? gOpt.EdtSaveAsPath : nullptr;
        ofn.lpstrDefExt = "opt";
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_EXPLORER;
        if (!GetSaveFileNameA(&ofn))
            return kActionCancelled;
        if (ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= 7)
            gOpt.SaveAsType = (int)ofn.nFilterIndex;
        if (ofn.nFileOffset > 0 && ofn.nFileOffset < countof(gOpt.EdtSaveAsPath)) {
            memcpy(gOpt.EdtSaveAsPath, file, ofn.nFileOffset);
            gOpt.EdtSaveAsPath[ofn.nFileOffset] = 0;
        }
        // A name typed as ".opt" under another filter still means the optimal choice.
        bool optimal = ofn.nFilterIndex == kFilterOptimal || SaveTypeFromExtension(file) == kSaveTypeOptimal;
        int r = optimal ? SaveOptimalFile(owner, true, file, countof(file)) : WriteImageFile(file);
        if (r == kActionCancelled)
            continue;  // not to be replaced: the dialog again, with the name
        if (r != kActionDone)
            ShowError(owner, IDS_SAVE_FAILED);
        return r;
    }
}

int CopyToClipboard(HWND owner) {
    if (!gImage.IsValid())
        return kActionNoImage;
    SetImageResolution();
    if (!OpenClipboard(owner)) {
        ShowError(owner, IDS_NO_CLIPBOARD);
        return kActionCancelled;
    }
    EmptyClipboard();
    HGLOBAL dib = gImage.CopyToGlobalHandle();
    if (!dib || !SetClipboardData(CF_DIB, dib)) {
        if (dib)
            GlobalFree(dib);  // a refused block stays ours
        CloseClipboard();
        ShowError(owner, IDS_NO_CLIPBOARD);
        return kActionDataRefused;
    }
    CloseClipboard();
    return kActionDone;
}
