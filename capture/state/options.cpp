// The option set: one pass over the option table serves reading, writing,
// the range checks and the import of the tagged older form.
#include "capture/state/options.h"

#include <stddef.h>
#include <string.h>

#include "base/num_util.h"
#include "base/str_util.h"
#include "framework/app.h"
#include "settings/config_file.h"
#include "settings/record_file.h"
#include "settings/record_stream.h"

COptions gOpt;

namespace {

const int kOptionsVersion = 1;
const int kLegacyRawSize = 1796;

// One option of the table: its key, kind, place in the record and range.
struct OptionRow {
    const char* key;
    OptionKind kind;
    size_t offset;  // of the field in COptions
    size_t size;    // bytes of the field
    int low, high;
};

const OptionRow kOptionRows[] = {
#define VP_OPTION_ROW(kind, type, name, dimension, value, low, high) \
    {(kind) == kOptFont ? "&gOpt." #name : "gOpt." #name,            \
     kind,                                                           \
     offsetof(COptions, name),                                       \
     sizeof(COptions::name),                                         \
     low,                                                            \
     high},
    VP_OPTION_TABLE(VP_OPTION_ROW)
#undef VP_OPTION_ROW
};
static_assert(countof(kOptionRows) == 57, "the option set has 57 options");

const COptions kDefaults;

// The names and sizes of the monitor table; the "Custom" row's size is in gOpt.
const MonitorSize kMonitorTable[kMonitorRows] = {
    {0.0f, 0.0f, "Ignore"},  {0.0f, 0.0f, "Custom"},  {26.4f, 19.8f, "14 \""}, {28.2f, 21.2f, "15 \""},
    {32.0f, 24.0f, "17 \""}, {35.8f, 26.8f, "19 \""}, {37.6f, 28.2f, "20 \""}, {39.5f, 29.6f, "21 \""},
    {51.7f, 32.3f, "24 \""}, {64.0f, 40.0f, "30 \""},
};

void* FieldOf(COptions* o, const OptionRow& row) {
    return (char*)o + row.offset;
}

const void* FieldOf(const COptions* o, const OptionRow& row) {
    return (const char*)o + row.offset;
}

void DefaultFont(LOGFONTA* font, int logPixelsY) {
    memset(font, 0, sizeof(*font));
    font->lfHeight = -MulDiv(12, logPixelsY, 72);
    font->lfWeight = 400;
    StrCopy(font->lfFaceName, countof(font->lfFaceName), "Arial");
}

void Terminate(char* text, size_t cch) {
    text[cch - 1] = 0;
}

void ApplyAutoStart() {
    gApp.SetAutoStart(gOpt.AutoStart != 0, nullptr, true, nullptr, nullptr);
}

// One option in the store's direction.
void ExchangeRow(CConfigFile* c, const OptionRow& row) {
    void* field = FieldOf(&gOpt, row);
    switch (row.kind) {
        case kOptSize:
        case kOptFloat:
            c->Float((float*)field, row.key);
            break;
        case kOptColor:
            c->Hex((uint32_t*)field, row.key);
            break;
        case kOptRect:
            c->Rect((RECT*)field, row.key);
            break;
        case kOptText:
            c->String((char*)field, row.size, row.key);
            break;
        case kOptFont:
            c->Bytes(field, row.size, row.key);
            break;
        default:
            c->Int((int32_t*)field, row.key);
            break;
    }
}

// One field brought into its range.
void ClampRow(COptions* o, const OptionRow& row) {
    void* field = FieldOf(o, row);
    int* value = (int*)field;
    switch (row.kind) {
        case kOptBool:
            *value = *value != 0;
            break;
        case kOptInt:
            *value = ClampInt(*value, row.low, row.high);
            break;
        case kOptWord:
            *value &= row.high;
            break;
        case kOptAction: {
            int action = *value & kDefaultActionMask;
            if (action < row.low || action > row.high)
                *value = (*value & kDefaultActionOn) | row.low;
            *value &= kDefaultActionOn | kDefaultActionMask;
            break;
        }
        case kOptShow:
            // The editor is never restored minimised.
            if (*value == SW_SHOWMINIMIZED || *value == SW_MINIMIZE)
                *value = SW_SHOWNORMAL;
            *value = ClampInt(*value, row.low, row.high);
            break;
        case kOptSize: {
            float* size = (float*)field;
            if (!(*size > row.low && *size < row.high))
                *size = *(const float*)FieldOf(&kDefaults, row);
            break;
        }
        case kOptColor:
            *(COLORREF*)field &= 0x00FFFFFF;
            break;
        case kOptText:
            Terminate((char*)field, row.size);
            break;
        case kOptFont: {
            LOGFONTA* font = (LOGFONTA*)field;
            Terminate(font->lfFaceName, countof(font->lfFaceName));
            break;
        }
        default:
            break;
    }
}

void Get32(const uint8_t* p, void* out) {
    memcpy(out, p, 4);
}

void GetText(const uint8_t* p, char* out, size_t cch) {
    memcpy(out, p, cch);
    Terminate(out, cch);
}

// The fixed-layout record of the oldest version (first two fields swapped).
void ImportRaw(const uint8_t* b) {
    COptions& o = gOpt;
    Get32(b + 0, &o.DefColMode);
    Get32(b + 4, &o.AutoStart);
    int* ints1[] = {&o.MouseCursor,   &o.AutoHide,       &o.TrayIcon, &o.PlaySound, &o.DefAct,
                    &o.HotKeyCapture, &o.HotKeyVellumor, &o.CapMode,  &o.Monitor};
    for (size_t i = 0; i < countof(ints1); i++)
        Get32(b + 8 + 4 * i, ints1[i]);
    Get32(b + 44, &o.MonWidth);
    Get32(b + 48, &o.MonHeight);
    Get32(b + 52, &o.Units);
    Get32(b + 56, &o.Timer);
    Get32(b + 60, &o.Minutes);
    Get32(b + 64, &o.JPGQuality);
    Get32(b + 72, &o.SaveAsType);
    char* texts[] = {o.EdtProgPath, o.EdtSavePath, o.EdtSaveAsPath, o.SndTarget, o.SndFilename, o.PrtPrinterName};
    for (size_t i = 0; i < countof(texts); i++)
        GetText(b + 76 + 260 * i, texts[i], 260);
    Get32(b + 1636, &o.PrtSize);
    Get32(b + 1640, &o.PrtZoom);
    Get32(b + 1644, &o.PrtPos);
    Get32(b + 1648, &o.PrtNoClip);
    Get32(b + 1652, &o.PrtMrgLft);
    Get32(b + 1656, &o.PrtMrgTop);
    Get32(b + 1660, &o.PrtMrgRgt);
    Get32(b + 1664, &o.PrtMrgBtm);
    Get32(b + 1668, &o.PrtOrientation);
    int* ints2[] = {&o.AdjWndMax, &o.MonDPI, &o.Delay, &o.DelayTime};
    for (size_t i = 0; i < countof(ints2); i++)
        Get32(b + 1680 + 4 * i, ints2[i]);
    Get32(b + 1696, &o.CRFore);
    Get32(b + 1700, &o.CRBack);
    Get32(b + 1704, &o.BackFill);
    Get32(b + 1708, &o.BrushSize);
    Get32(b + 1712, &o.Tool);
    memcpy(&o.AdjWndRect, b + 1716, 16);
    memcpy(&o.Font, b + 1732, 60);
    Get32(b + 1792, &o.TextFrame);
}

// The tagged record stream: group 0, record k the k-th option of the
// table, each of its field's size. A record that is absent keeps the value.
void ImportTagged(CRecordStream* rs) {
    uint8_t buf[260];
    for (int k = 0; k < (int)countof(kOptionRows); k++) {
        const OptionRow& row = kOptionRows[k];
        // Read into a scratch block so that an absent record keeps the value.
        if (rs->FindRecord(0, k, buf, (int)row.size) > 0)
            memcpy(FieldOf(&gOpt, row), buf, row.size);
    }
}

// The older forms; false when there is nothing to import.
bool ImportOlderForms() {
    CRecordStream rs;
    int size = rs.Load("Options", -1, 0);
    if (size <= 0)
        return false;
    if (size == kLegacyRawSize) {
        // The raw form: the file's bytes, no tags.
        uint8_t bytes[kLegacyRawSize];
        if (ReadRecordFile("Options", -1, bytes, sizeof(bytes), 0) != sizeof(bytes))
            return false;
        ImportRaw(bytes);
    } else {
        ImportTagged(&rs);
    }
    return true;
}

// Brings every field into its range (also used after the import).
void ClampOptions(COptions* o) {
    for (const OptionRow& row : kOptionRows)
        ClampRow(o, row);
}

}  // namespace

MonitorSize MonitorSizeOfRow(int row) {
    if (row < 0 || row >= kMonitorRows)
        row = kMonitorIgnore;
    MonitorSize size = kMonitorTable[row];
    if (row == kMonitorCustom) {
        size.width = gOpt.MonWidth;
        size.height = gOpt.MonHeight;
    }
    return size;
}

void InitDefaultFonts() {
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc)
        ReleaseDC(nullptr, dc);
    DefaultFont(&gOpt.Font, dpi);
    DefaultFont(&gOpt.HeadFont, dpi);
}

void ExchangeOptions(int mode) {
    CConfigFile store(mode == kWriteOptions ? kOptionsVersion : 0, "gOpt.");
    if (mode == kWriteOptions) {
        ClampOptions(&gOpt);
    } else if (store.LoadArchive("Options", -1, 0) <= 0) {
        if (!ImportOlderForms())
            return;  // first run: defaults, nothing written
        ClampOptions(&gOpt);
        ApplyAutoStart();
        ExchangeOptions(kWriteOptions);
        return;
    }
    for (const OptionRow& row : kOptionRows)
        ExchangeRow(&store, row);
    if (mode == kWriteOptions)
        store.SaveArchive("Options", -1, 0);
    else
        ClampOptions(&gOpt);
    ApplyAutoStart();
}
