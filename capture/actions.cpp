// The actions on the current image: the dispatch after a capture and from
// the Actions tab, the clipboard copy, and the three ways of writing a file
// (sequential number, save-as dialog, the smaller of JPEG and PNG). Every
// file is written under a temporary name next to its target and renamed
// only when complete, so a failed save leaves no empty or partial file.
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "app_texts.h"
#include "capture.h"
#include "framework/app.h"
#include "framework/install_settings.h"
#include "framework/message_box.h"
#include "base/str_util.h"
#include "options.h"
#include "resource.h"

namespace {

// The numbers of the actions (the low byte of gOpt.DefAct).
enum { kActSaveAs = 1, kActCopy = 2, kActPrint = 3, kActSendTo = 4, kActSave = 5, kActEdit = 6 };

const char kSaveFilter[] =
    "All supported formats\0*.bmp;*.gif;*.jpg;*.png;*.tif\0BMP\0*.bmp\0GIF\0*.gif\0JPG\0*.jpg\0PNG\0*.png\0"
    "TIF\0*.tif\0Optimized\0*.opt\0";
const int kFilterOptimal = 7;
const int kSaveTypeOptimal = 5;

// The file-name part of a path (after its last '\\', '/' or ':').
const char* FileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

void ShowError(unsigned textId) {
    AppMessageBox(gMainDialog, nullptr, "%s", 0x111, 0, gApp.Text((WORD)textId, 0));
}

int ActionOfLetter(int letter) {
    switch (letter) {
        case 'A':
            return kActSaveAs;
        case 'C':
            return kActCopy;
        case 'P':
            return kActPrint;
        case 'T':
            return kActSendTo;
        case 'S':
            return kActSave;
        case 'D':
            return kActEdit;
    }
    return 0;
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
    size_t n = (size_t)(FileNameOf(target) - target);
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

// Moves a finished temporary file over target; removes it on failure.
bool CommitTemp(const char* tmp, const char* target) {
    if (MoveFileExA(tmp, target, MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileA(tmp);
    return false;
}

// path with its extension replaced by ext (or ext appended when it has
// none) into out; false when it does not fit.
bool WithExtension(const char* path, const char* ext, char* out, size_t cch) {
    const char* dot = strrchr(FileNameOf(path), '.');
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

}  // namespace

int SaveTypeFromExtension(const char* name) {
    static const char* const kTypes[][2] = {{"bmp", nullptr}, {"gif", nullptr}, {"jpg", "jpeg"},
                                            {"png", nullptr}, {"tif", "tiff"},  {"opt", nullptr}};
    const char* ext = FileExtension(name);
    for (int i = 0; i < 6; i++)
        for (const char* t : kTypes[i])
            if (t && StrCmpAsciiNoCase(ext, t) == 0)
                return i;
    return -1;
}

void SetImageResolution() {
    int row = gOpt.Monitor >= 0 && gOpt.Monitor < 10 ? gOpt.Monitor : 0;
    float cmW = gMonitorSizes[row].width, cmH = gMonitorSizes[row].height;
    int pxW = GetVirtualScreen(0), pxH = GetVirtualScreen(1);
    int ppmW = cmW > 0 ? (int)(pxW * 100 / cmW) : 0;
    int ppmH = cmH > 0 ? (int)(pxH * 100 / cmH) : 0;
    gImage.SetXDpi((int)(ppmW * 2.54 / 100));
    gImage.SetYDpi((int)(ppmH * 2.54 / 100));
}

int WriteImageFile(const char* path) {
    if (!gImage.IsValid() || !path)
        return -11;
    SetImageResolution();
    uint32_t format = strlen(path) < 4 ? (uint32_t)kFormatBmp : FormatOfPath(path);
    char tmp[kCchPath];
    if (!WriteToTemp(path, format, tmp) || !CommitTemp(tmp, path))
        return -11;
    StrCopy(gImageName, countof(gImageName), path);
    return 0;
}

int SaveOptimal(char* path, size_t cch) {
    if (!gImage.IsValid())
        return -11;
    SetImageResolution();
    char jpg[kCchPath2], png[kCchPath2];
    if (!WithExtension(path, "jpg", jpg, countof(jpg)) || !WithExtension(path, "png", png, countof(png)))
        return -11;
    // Both are written under temporary names, so that the one not kept
    // never replaces a file of the same name.
    char tmpJpg[kCchPath], tmpPng[kCchPath];
    if (!WriteToTemp(jpg, kFormatJpg, tmpJpg))
        return -11;
    if (!WriteToTemp(png, kFormatPng, tmpPng)) {
        DeleteFileA(tmpJpg);
        StrCopy(path, cch, jpg);
        return -11;
    }
    long long cbJpg = FileSizeOf(tmpJpg), cbPng = FileSizeOf(tmpPng);
    bool keepJpg = cbPng * 2 > cbJpg * 3;
    const char* kept = keepJpg ? jpg : png;
    DeleteFileA(keepJpg ? tmpPng : tmpJpg);
    if (!CommitTemp(keepJpg ? tmpJpg : tmpPng, kept))
        return -11;
    StrCopy(path, cch, kept);
    StrCopy(gImageName, countof(gImageName), kept);
    return 0;
}

int SaveSequential() {
    if (!gImage.IsValid())
        return 1;
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
        ShowError(IDS_BAD_SEQUENCE_PATH);
        return -1;
    }
    long long last = LastSequenceNumber(folder, base);
    char path[kCchPath2];
    int r = -11;
    if (last >= 0 && StrFmt(path, countof(path), "%s\\%s%04d.%s", folder, base, (int)(last + 1), ext))
        r = type < 0 || type == kSaveTypeOptimal ? SaveOptimal(path, countof(path)) : WriteImageFile(path);
    if (r != 0)
        ShowError(IDS_SAVE_FAILED);
    return r;
}

int SaveImageAs() {
    if (!gImage.IsValid())
        return 1;
    char file[kCchPath2] = "";
    OPENFILENAMEA ofn;
    memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = gMainDialog;
    ofn.lpstrFilter = kSaveFilter;
    ofn.nFilterIndex = (DWORD)gOpt.SaveAsType;
    ofn.lpstrFile = file;
    ofn.nMaxFile = (DWORD)countof(file);
    ofn.lpstrInitialDir = gOpt.EdtSaveAsPath[0] ? gOpt.EdtSaveAsPath : nullptr;
    ofn.lpstrDefExt = "opt";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    if (!GetSaveFileNameA(&ofn))
        return -1;
    if (ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= 7)
        gOpt.SaveAsType = (int)ofn.nFilterIndex;
    if (ofn.nFileOffset > 0 && ofn.nFileOffset < countof(gOpt.EdtSaveAsPath)) {
        memcpy(gOpt.EdtSaveAsPath, file, ofn.nFileOffset);
        gOpt.EdtSaveAsPath[ofn.nFileOffset] = 0;
    }
    // A name typed as ".opt" under another filter still means the optimal choice.
    bool optimal = ofn.nFilterIndex == kFilterOptimal || SaveTypeFromExtension(file) == kSaveTypeOptimal;
    int r = optimal ? SaveOptimal(file, countof(file)) : WriteImageFile(file);
    if (r != 0)
        ShowError(IDS_SAVE_FAILED);
    return r;
}

int CopyToClipboard() {
    if (!gImage.IsValid())
        return 1;
    SetImageResolution();
    if (!OpenClipboard(gMainDialog)) {
        ShowError(IDS_NO_CLIPBOARD);
        return -1;
    }
    EmptyClipboard();
    HGLOBAL dib = gImage.CopyToGlobalHandle();
    if (!dib || !SetClipboardData(CF_DIB, dib)) {
        if (dib)
            GlobalFree(dib);  // a refused block stays ours
        CloseClipboard();
        ShowError(IDS_NO_CLIPBOARD);
        return -3;
    }
    CloseClipboard();
    return 0;
}

void RunAction(int letter) {
    int action = letter ? ActionOfLetter(letter) : gOpt.DefAct - 0x100;
    int r;
    switch (action) {
        case kActSaveAs:
        case kActCopy:
        case kActPrint:
        case kActSendTo:
            r = action == kActSaveAs  ? SaveImageAs()
                : action == kActCopy  ? CopyToClipboard()
                : action == kActPrint ? PrintImage()
                                      : SendImageTo();
            if (r != 0)
                ShowMainDialog(0);
            else
                gEdited = false;
            break;
        case kActSave:
            if (SaveSequential() != 0) {
                ShowMainDialog(0);
            } else {
                gSavedSequentially = true;
                gEdited = false;
            }
            break;
        case kActEdit: {
            // The editor's OK sets the edited flag; it stays set, so that the
            // next capture asks before the edited image is lost.
            HWND page = ActionsPage();
            if (page)
                SendMessageA(page, WM_COMMAND, IDC_EDIT, 0);
            else
                OnActionButton(IDC_EDIT);
            break;
        }
        default:
            ShowMainDialog(0);
            break;
    }
}

void OnActionButton(int id) {
    if (!gImage.IsValid()) {
        ShowError(IDS_CAPTURE_FIRST);
        return;
    }
    int r;
    switch (id) {
        case IDC_COPY:
        case IDC_PRINT:
        case IDC_SAVE_AS:
        case IDC_SEND_TO:
            r = id == IDC_COPY      ? CopyToClipboard()
                : id == IDC_PRINT   ? PrintImage()
                : id == IDC_SAVE_AS ? SaveImageAs()
                                    : SendImageTo();
            if (r == 0) {
                if (gOpt.AutoHide == 1)
                    ShowMainDialog(-2);
                gEdited = false;
            }
            break;
        case IDC_SAVE:
            if (gSavedSequentially)
                return;  // this capture already has its numbered file
            if (SaveSequential() == 0) {
                if (gOpt.AutoHide == 1)
                    ShowMainDialog(-2);
                gEdited = false;
                gSavedSequentially = true;
            }
            break;
        case IDC_EDIT:
        case IDC_AUTOCROP:
            UnregisterHotKeys();
            if (RunImageEditor(gMainDialog, id == IDC_AUTOCROP ? 1 : 0) == 1) {
                gEdited = true;
                gSavedSequentially = false;
            }
            RefreshImageViews();
            ShowMainDialog(0);
            RegisterHotKeys(1);
            break;
    }
}
