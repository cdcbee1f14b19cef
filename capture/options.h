// The capture application's option set gOpt: one record of every setting,
// kept as the option set "Options" of the framework's option store, with
// the import of the two older stored forms.
#pragma once
#include <windows.h>

struct COptions {
    int AutoStart = 0;
    int DefColMode = 6;
    int MouseCursor = 0;
    int AutoHide = 0;
    int TrayIcon = 1;
    int PlaySound = 1;
    int DefAct = 1;
    int HotKeyCapture = 44;
    int HotKeyVellumor = 300;
    int CapMode = 0;
    int Monitor = 0;
    float MonWidth = 32.0f;
    float MonHeight = 24.0f;
    int Units = 0;
    int Timer = 0;
    int Minutes = 60;
    int JPGQuality = 75;
    int SaveAsType = 7;
    char EdtProgPath[260] = "";
    char EdtSavePath[260] = "C:\\Vellumor";
    char EdtSaveAsPath[260] = "";
    char SndTarget[260] = "";
    char SndFilename[260] = "";
    char PrtPrinterName[260] = "";
    int PrtSize = 0;
    int PrtZoom = 100;
    int PrtPos = 0;
    int PrtNoClip = 1;
    float PrtMrgLft = 0.0f;
    float PrtMrgTop = 0.0f;
    float PrtMrgRgt = 0.0f;
    float PrtMrgBtm = 0.0f;
    int PrtOrientation = 0;
    int AdjWndMax = 0;
    int MonDPI = 72;
    int Delay = 0;
    int DelayTime = 0;
    COLORREF CRFore = 0x00000000;
    COLORREF CRBack = 0x00FFFFFF;
    int BackFill = 1;
    int BrushSize = 4;
    int Tool = 0;
    RECT AdjWndRect = {0, 0, 0, 0};
    LOGFONTA Font = {};
    int TextFrame = 0;
    int Header = 0;
    char LHead[260] = "";
    char CHead[260] = "";
    char RHead[260] = "";
    int Footer = 0;
    char LFoot[260] = "";
    char CFoot[260] = "";
    char RFoot[260] = "";
    int NextN = 1;
    char InitN[16] = "";
    LOGFONTA HeadFont = {};
    COLORREF HeadFontColor = 0x00000000;
};

struct MonitorRow {
    float width;   // cm
    float height;  // cm
    char name[16];
};

extern COptions gOpt;
// Row 1 ("Custom") mirrors gOpt.MonWidth / gOpt.MonHeight.
extern MonitorRow gMonitorSizes[10];

// Sets the two default fonts from the screen's vertical resolution.
void InitDefaultFonts();
// mode 0 reads, 1 writes. Every value read is brought into its range.
void ExchangeOptions(int mode);
// Brings every field into its range (also used after the import).
void ClampOptions(COptions* o);
