// The option set: one pass over the fixed key list serves both directions.
#include "options.h"

#include <string.h>

#include "framework/app.h"
#include "settings/config_file.h"
#include "settings/record_file.h"
#include "settings/record_stream.h"
#include "base/str_util.h"

COptions gOpt;

MonitorRow gMonitorSizes[10] = {
    {0.0f, 0.0f, "Ignore"},  {32.0f, 24.0f, "Custom"}, {26.4f, 19.8f, "14 \""}, {28.2f, 21.2f, "15 \""},
    {32.0f, 24.0f, "17 \""}, {35.8f, 26.8f, "19 \""},  {37.6f, 28.2f, "20 \""}, {39.5f, 29.6f, "21 \""},
    {51.7f, 32.3f, "24 \""}, {64.0f, 40.0f, "30 \""},
};

namespace {

const int kOptionsVersion = 1;
const int kLegacyRawSize = 1796;

void DefaultFont(LOGFONTA* font, int logPixelsY) {
    memset(font, 0, sizeof(*font));
    font->lfHeight = -MulDiv(12, logPixelsY, 72);
    font->lfWeight = 400;
    StrCopy(font->lfFaceName, countof(font->lfFaceName), "Arial");
}

int ClampInt(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

bool Bool(int v) {
    return v != 0;
}

void Terminate(char* text, size_t cch) {
    text[cch - 1] = 0;
}

void SetCustomRowFromOptions() {
    gMonitorSizes[1].width = gOpt.MonWidth;
    gMonitorSizes[1].height = gOpt.MonHeight;
}

void ApplyAutoStart() {
    gApp.SetAutoStart(gOpt.AutoStart != 0, nullptr, true, nullptr, nullptr);
}

// The 57 fields in table order; the same list serves reading and writing.
void ExchangeFields(CConfigFile* c) {
    COptions& o = gOpt;
    c->Int((int32_t*)&o.AutoStart, "gOpt.AutoStart");
    c->Int((int32_t*)&o.DefColMode, "gOpt.DefColMode");
    c->Int((int32_t*)&o.MouseCursor, "gOpt.MouseCursor");
    c->Int((int32_t*)&o.AutoHide, "gOpt.AutoHide");
    c->Int((int32_t*)&o.TrayIcon, "gOpt.TrayIcon");
    c->Int((int32_t*)&o.PlaySound, "gOpt.PlaySound");
    c->Int((int32_t*)&o.DefAct, "gOpt.DefAct");
    c->Int((int32_t*)&o.HotKeyCapture, "gOpt.HotKeyCapture");
    c->Int((int32_t*)&o.HotKeyVellumor, "gOpt.HotKeyVellumor");
    c->Int((int32_t*)&o.CapMode, "gOpt.CapMode");
    c->Int((int32_t*)&o.Monitor, "gOpt.Monitor");
    c->Float(&o.MonWidth, "gOpt.MonWidth");
    c->Float(&o.MonHeight, "gOpt.MonHeight");
    c->Int((int32_t*)&o.Units, "gOpt.Units");
    c->Int((int32_t*)&o.Timer, "gOpt.Timer");
    c->Int((int32_t*)&o.Minutes, "gOpt.Minutes");
    c->Int((int32_t*)&o.JPGQuality, "gOpt.JPGQuality");
    c->Int((int32_t*)&o.SaveAsType, "gOpt.SaveAsType");
    c->String(o.EdtProgPath, countof(o.EdtProgPath), "gOpt.EdtProgPath");
    c->String(o.EdtSavePath, countof(o.EdtSavePath), "gOpt.EdtSavePath");
    c->String(o.EdtSaveAsPath, countof(o.EdtSaveAsPath), "gOpt.EdtSaveAsPath");
    c->String(o.SndTarget, countof(o.SndTarget), "gOpt.SndTarget");
    c->String(o.SndFilename, countof(o.SndFilename), "gOpt.SndFilename");
    c->String(o.PrtPrinterName, countof(o.PrtPrinterName), "gOpt.PrtPrinterName");
    c->Int((int32_t*)&o.PrtSize, "gOpt.PrtSize");
    c->Int((int32_t*)&o.PrtZoom, "gOpt.PrtZoom");
    c->Int((int32_t*)&o.PrtPos, "gOpt.PrtPos");
    c->Int((int32_t*)&o.PrtNoClip, "gOpt.PrtNoClip");
    c->Float(&o.PrtMrgLft, "gOpt.PrtMrgLft");
    c->Float(&o.PrtMrgTop, "gOpt.PrtMrgTop");
    c->Float(&o.PrtMrgRgt, "gOpt.PrtMrgRgt");
    c->Float(&o.PrtMrgBtm, "gOpt.PrtMrgBtm");
    c->Int((int32_t*)&o.PrtOrientation, "gOpt.PrtOrientation");
    c->Int((int32_t*)&o.AdjWndMax, "gOpt.AdjWndMax");
    c->Int((int32_t*)&o.MonDPI, "gOpt.MonDPI");
    c->Int((int32_t*)&o.Delay, "gOpt.Delay");
    c->Int((int32_t*)&o.DelayTime, "gOpt.DelayTime");
    c->Hex((uint32_t*)&o.CRFore, "gOpt.CRFore");
    c->Hex((uint32_t*)&o.CRBack, "gOpt.CRBack");
    c->Int((int32_t*)&o.BackFill, "gOpt.BackFill");
    c->Int((int32_t*)&o.BrushSize, "gOpt.BrushSize");
    c->Int((int32_t*)&o.Tool, "gOpt.Tool");
    c->Rect(&o.AdjWndRect, "gOpt.AdjWndRect");
    c->Bytes(&o.Font, sizeof(o.Font), "&gOpt.Font");
    c->Int((int32_t*)&o.TextFrame, "gOpt.TextFrame");
    c->Int((int32_t*)&o.Header, "gOpt.Header");
    c->String(o.LHead, countof(o.LHead), "gOpt.LHead");
    c->String(o.CHead, countof(o.CHead), "gOpt.CHead");
    c->String(o.RHead, countof(o.RHead), "gOpt.RHead");
    c->Int((int32_t*)&o.Footer, "gOpt.Footer");
    c->String(o.LFoot, countof(o.LFoot), "gOpt.LFoot");
    c->String(o.CFoot, countof(o.CFoot), "gOpt.CFoot");
    c->String(o.RFoot, countof(o.RFoot), "gOpt.RFoot");
    c->Int((int32_t*)&o.NextN, "gOpt.NextN");
    c->String(o.InitN, countof(o.InitN), "gOpt.InitN");
    c->Bytes(&o.HeadFont, sizeof(o.HeadFont), "&gOpt.HeadFont");
    c->Hex((uint32_t*)&o.HeadFontColor, "gOpt.HeadFontColor");
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

// Field k of the table: its address and stored size.
struct FieldRef {
    void* p;
    int size;
};

void ImportTagged(CRecordStream* rs) {
    COptions& o = gOpt;
    FieldRef f[] = {
        {&o.AutoStart, 4},      {&o.DefColMode, 4}, {&o.MouseCursor, 4},  {&o.AutoHide, 4},
        {&o.TrayIcon, 4},       {&o.PlaySound, 4},  {&o.DefAct, 4},       {&o.HotKeyCapture, 4},
        {&o.HotKeyVellumor, 4}, {&o.CapMode, 4},    {&o.Monitor, 4},      {&o.MonWidth, 4},
        {&o.MonHeight, 4},      {&o.Units, 4},      {&o.Timer, 4},        {&o.Minutes, 4},
        {&o.JPGQuality, 4},     {&o.SaveAsType, 4}, {o.EdtProgPath, 260}, {o.EdtSavePath, 260},
        {o.EdtSaveAsPath, 260}, {o.SndTarget, 260}, {o.SndFilename, 260}, {o.PrtPrinterName, 260},
        {&o.PrtSize, 4},        {&o.PrtZoom, 4},    {&o.PrtPos, 4},       {&o.PrtNoClip, 4},
        {&o.PrtMrgLft, 4},      {&o.PrtMrgTop, 4},  {&o.PrtMrgRgt, 4},    {&o.PrtMrgBtm, 4},
        {&o.PrtOrientation, 4}, {&o.AdjWndMax, 4},  {&o.MonDPI, 4},       {&o.Delay, 4},
        {&o.DelayTime, 4},      {&o.CRFore, 4},     {&o.CRBack, 4},       {&o.BackFill, 4},
        {&o.BrushSize, 4},      {&o.Tool, 4},       {&o.AdjWndRect, 16},  {&o.Font, 60},
        {&o.TextFrame, 4},      {&o.Header, 4},     {o.LHead, 260},       {o.CHead, 260},
        {o.RHead, 260},         {&o.Footer, 4},     {o.LFoot, 260},       {o.CFoot, 260},
        {o.RFoot, 260},         {&o.NextN, 4},      {o.InitN, 16},        {&o.HeadFont, 60},
        {&o.HeadFontColor, 4},
    };
    static_assert(sizeof(f) / sizeof(f[0]) == 57, "one entry per option");
    uint8_t buf[260];
    for (int k = 0; k < 57; k++) {
        // Read into a scratch block so that an absent record keeps the value.
        if (rs->FindRecord(0, k, buf, f[k].size) > 0) {
            memcpy(f[k].p, buf, f[k].size);
            if (f[k].size == 260 || f[k].size == 16) {
                if (f[k].p != &o.AdjWndRect)
                    Terminate((char*)f[k].p, f[k].size);
            }
        }
    }
    Terminate(o.Font.lfFaceName, LF_FACESIZE);
    Terminate(o.HeadFont.lfFaceName, LF_FACESIZE);
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

}  // namespace

void InitDefaultFonts() {
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc)
        ReleaseDC(nullptr, dc);
    DefaultFont(&gOpt.Font, dpi);
    DefaultFont(&gOpt.HeadFont, dpi);
}

void ClampOptions(COptions* o) {
    o->AutoStart = Bool(o->AutoStart);
    o->DefColMode = ClampInt(o->DefColMode, 0, 6);
    o->MouseCursor = Bool(o->MouseCursor);
    o->AutoHide = Bool(o->AutoHide);
    o->TrayIcon = Bool(o->TrayIcon);
    o->PlaySound = Bool(o->PlaySound);
    if ((o->DefAct & 0xFF) < 1 || (o->DefAct & 0xFF) > 6)
        o->DefAct = (o->DefAct & 0x100) | 1;
    o->DefAct &= 0x1FF;
    o->HotKeyCapture &= 0xFFFF;
    o->HotKeyVellumor &= 0xFFFF;
    o->CapMode = ClampInt(o->CapMode, 0, 3);
    o->Monitor = ClampInt(o->Monitor, 0, 9);
    if (!(o->MonWidth > 0.0f && o->MonWidth < 10000.0f))
        o->MonWidth = 32.0f;
    if (!(o->MonHeight > 0.0f && o->MonHeight < 10000.0f))
        o->MonHeight = 24.0f;
    o->Units = ClampInt(o->Units, 0, 1);
    o->Timer = Bool(o->Timer);
    o->Minutes = ClampInt(o->Minutes, 1, 100000);
    o->JPGQuality = ClampInt(o->JPGQuality, 1, 100);
    o->SaveAsType = ClampInt(o->SaveAsType, 1, 7);
    o->PrtSize = ClampInt(o->PrtSize, 0, 2);
    o->PrtZoom = ClampInt(o->PrtZoom, 1, 1000);
    o->PrtPos = ClampInt(o->PrtPos, 0, 8);
    o->PrtNoClip = Bool(o->PrtNoClip);
    o->PrtOrientation = ClampInt(o->PrtOrientation, 0, 2);
    // The editor is never restored minimised.
    if (o->AdjWndMax == SW_SHOWMINIMIZED || o->AdjWndMax == SW_MINIMIZE)
        o->AdjWndMax = SW_SHOWNORMAL;
    o->AdjWndMax = ClampInt(o->AdjWndMax, 0, SW_SHOWMAXIMIZED);
    o->MonDPI = ClampInt(o->MonDPI, 1, 10000);
    o->Delay = Bool(o->Delay);
    o->DelayTime = ClampInt(o->DelayTime, 0, 10000);
    o->CRFore &= 0x00FFFFFF;
    o->CRBack &= 0x00FFFFFF;
    o->HeadFontColor &= 0x00FFFFFF;
    o->BackFill = Bool(o->BackFill);
    o->BrushSize = ClampInt(o->BrushSize, 1, 128);  // the editor offers up to 128
    o->TextFrame = Bool(o->TextFrame);
    o->Header = Bool(o->Header);
    o->Footer = Bool(o->Footer);
    Terminate(o->InitN, countof(o->InitN));
}

void ExchangeOptions(int mode) {
    CConfigFile store(mode == 1 ? kOptionsVersion : 0, "gOpt.");
    if (mode == 1) {
        gOpt.MonWidth = gMonitorSizes[1].width;
        gOpt.MonHeight = gMonitorSizes[1].height;
        ClampOptions(&gOpt);
    } else if (store.LoadArchive("Options", -1, 0) <= 0) {
        if (!ImportOlderForms())
            return;  // first run: defaults, nothing written
        ClampOptions(&gOpt);
        SetCustomRowFromOptions();
        ApplyAutoStart();
        ExchangeOptions(1);
        return;
    }
    ExchangeFields(&store);
    if (mode == 1) {
        store.SaveArchive("Options", -1, 0);
    } else {
        ClampOptions(&gOpt);
        SetCustomRowFromOptions();
    }
    ApplyAutoStart();
}
