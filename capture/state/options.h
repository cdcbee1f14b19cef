// The capture application's option set gOpt: one record of every setting,
// kept as the option set "Options" of the framework's option store, with
// the import of the two older stored forms. One table, VP_OPTION_TABLE,
// lists every option once; the record's fields, the exchange with the
// store, the range checks and the import of the tagged form come from it.
#pragma once
#include <windows.h>
#include <limits.h>

// gOpt.CapMode: the overlay's selection mode.
enum : int { kCapRectangle = 0, kCapWindow = 1, kCapScreen = 2, kCapActiveWindow = 3 };

// gOpt.DefColMode and the image's colour mode (ColorModeText names them).
enum : int {
    kColorBlackWhite = 0,
    kColorBlackWhiteInverted = 1,
    kColorGrey = 2,
    kColor16 = 3,
    kColor256 = 4,
    kColorTrue = 5,
    kColorOriginal = 6,  // as a default: the screen's own depth
};

// The actions: the low byte of gOpt.DefAct holds the default one, and
// kDefaultActionOn switches it on.
enum : int { kActSaveAs = 1, kActCopy = 2, kActPrint = 3, kActSendTo = 4, kActSave = 5, kActEdit = 6 };
constexpr int kDefaultActionMask = 0xFF;
constexpr int kDefaultActionOn = 0x100;

// The monitor table: row 0 "Ignore" (no size), row 1 "Custom" (the size
// gOpt.MonWidth x gOpt.MonHeight), rows 2..9 fixed sizes.
constexpr int kMonitorRows = 10;
constexpr int kMonitorIgnore = 0;
constexpr int kMonitorCustom = 1;

// How an option is stored and brought into range.
enum OptionKind : int {
    kOptBool,    // int; any non-zero value reads as 1
    kOptInt,     // int within [low, high]
    kOptWord,    // int cut to its low 16 bits (a hot-key word)
    kOptAction,  // gOpt.DefAct: an action in [low, high] and kDefaultActionOn
    kOptShow,    // int, a window's show state up to [high]; never minimised
    kOptSize,    // float, a size within (0, high); outside it the default
    kOptFloat,   // float, any value
    kOptColor,   // COLORREF in hexadecimal, red, green and blue only
    kOptRect,    // RECT as "%d,%d,%d,%d"
    kOptText,    // a NUL-terminated text of the field's size
    kOptFont,    // LOGFONTA as its 60 bytes, key with a leading '&'
};

// The option set in its stored order (the tagged form numbers its records
// by this order): OPTION(kind, type, name, dimension, default, low, high).
// The key is "gOpt." and the name.
#define VP_OPTION_TABLE(OPTION)                                                          \
    OPTION(kOptBool, int, AutoStart, , 0, 0, 1)                                          \
    OPTION(kOptInt, int, DefColMode, , kColorOriginal, kColorBlackWhite, kColorOriginal) \
    OPTION(kOptBool, int, MouseCursor, , 0, 0, 1)                                        \
    OPTION(kOptBool, int, AutoHide, , 0, 0, 1)                                           \
    OPTION(kOptBool, int, TrayIcon, , 1, 0, 1)                                           \
    OPTION(kOptBool, int, PlaySound, , 1, 0, 1)                                          \
    OPTION(kOptAction, int, DefAct, , kActSaveAs, kActSaveAs, kActEdit)                  \
    OPTION(kOptWord, int, HotKeyCapture, , 44, 0, 0xFFFF)                                \
    OPTION(kOptWord, int, HotKeyVellumor, , 300, 0, 0xFFFF)                              \
    OPTION(kOptInt, int, CapMode, , kCapRectangle, kCapRectangle, kCapActiveWindow)      \
    OPTION(kOptInt, int, Monitor, , kMonitorIgnore, 0, kMonitorRows - 1)                 \
    OPTION(kOptSize, float, MonWidth, , 32.0f, 0, 10000)                                 \
    OPTION(kOptSize, float, MonHeight, , 24.0f, 0, 10000)                                \
    OPTION(kOptInt, int, Units, , 0, 0, 1)                                               \
    OPTION(kOptBool, int, Timer, , 0, 0, 1)                                              \
    OPTION(kOptInt, int, Minutes, , 60, 1, 100000)                                       \
    OPTION(kOptInt, int, JPGQuality, , 75, 1, 100)                                       \
    OPTION(kOptInt, int, SaveAsType, , 7, 1, 7)                                          \
    OPTION(kOptText, char, EdtProgPath, [260], "", 0, 0)                                 \
    OPTION(kOptText, char, EdtSavePath, [260], "C:\\Vellumor", 0, 0)                     \
    OPTION(kOptText, char, EdtSaveAsPath, [260], "", 0, 0)                               \
    OPTION(kOptText, char, SndTarget, [260], "", 0, 0)                                   \
    OPTION(kOptText, char, SndFilename, [260], "", 0, 0)                                 \
    OPTION(kOptText, char, PrtPrinterName, [260], "", 0, 0)                              \
    OPTION(kOptInt, int, PrtSize, , 0, 0, 2)                                             \
    OPTION(kOptInt, int, PrtZoom, , 100, 1, 1000)                                        \
    OPTION(kOptInt, int, PrtPos, , 0, 0, 8)                                              \
    OPTION(kOptBool, int, PrtNoClip, , 1, 0, 1)                                          \
    OPTION(kOptFloat, float, PrtMrgLft, , 0.0f, 0, 0)                                    \
    OPTION(kOptFloat, float, PrtMrgTop, , 0.0f, 0, 0)                                    \
    OPTION(kOptFloat, float, PrtMrgRgt, , 0.0f, 0, 0)                                    \
    OPTION(kOptFloat, float, PrtMrgBtm, , 0.0f, 0, 0)                                    \
    OPTION(kOptInt, int, PrtOrientation, , 0, 0, 2)                                      \
    OPTION(kOptShow, int, AdjWndMax, , 0, 0, SW_SHOWMAXIMIZED)                           \
    OPTION(kOptInt, int, MonDPI, , 72, 1, 10000)                                         \
    OPTION(kOptBool, int, Delay, , 0, 0, 1)                                              \
    OPTION(kOptInt, int, DelayTime, , 0, 0, 10000)                                       \
    OPTION(kOptColor, COLORREF, CRFore, , 0x00000000, 0, 0)                              \
    OPTION(kOptColor, COLORREF, CRBack, , 0x00FFFFFF, 0, 0)                              \
    OPTION(kOptBool, int, BackFill, , 1, 0, 1)                                           \
    OPTION(kOptInt, int, BrushSize, , 4, 1, 128) /* the editor offers up to 128 */       \
    OPTION(kOptInt, int, Tool, , 0, INT_MIN, INT_MAX)                                    \
    OPTION(kOptRect, RECT, AdjWndRect, , RECT{}, 0, 0)                                   \
    OPTION(kOptFont, LOGFONTA, Font, , LOGFONTA{}, 0, 0)                                 \
    OPTION(kOptBool, int, TextFrame, , 0, 0, 1)                                          \
    OPTION(kOptBool, int, Header, , 0, 0, 1)                                             \
    OPTION(kOptText, char, LHead, [260], "", 0, 0)                                       \
    OPTION(kOptText, char, CHead, [260], "", 0, 0)                                       \
    OPTION(kOptText, char, RHead, [260], "", 0, 0)                                       \
    OPTION(kOptBool, int, Footer, , 0, 0, 1)                                             \
    OPTION(kOptText, char, LFoot, [260], "", 0, 0)                                       \
    OPTION(kOptText, char, CFoot, [260], "", 0, 0)                                       \
    OPTION(kOptText, char, RFoot, [260], "", 0, 0)                                       \
    OPTION(kOptInt, int, NextN, , 1, INT_MIN, INT_MAX)                                   \
    OPTION(kOptText, char, InitN, [16], "", 0, 0)                                        \
    OPTION(kOptFont, LOGFONTA, HeadFont, , LOGFONTA{}, 0, 0)                             \
    OPTION(kOptColor, COLORREF, HeadFontColor, , 0x00000000, 0, 0)

// The record; defaults are the values before any file was read (the two
// fonts are set by InitDefaultFonts).
struct COptions {
#define VP_OPTION_FIELD(kind, type, name, dimension, value, low, high) type name dimension = value;
    VP_OPTION_TABLE(VP_OPTION_FIELD)
#undef VP_OPTION_FIELD
};

extern COptions gOpt;

// ExchangeOptions' direction.
enum : int { kReadOptions = 0, kWriteOptions = 1 };

// Sets the two default fonts from the screen's vertical resolution.
void InitDefaultFonts();
// Reads or writes the whole set. Every value read is brought into its range.
void ExchangeOptions(int mode);

// A row of the monitor table: its name and size in centimetres. The
// "Custom" row's size is gOpt.MonWidth x gOpt.MonHeight; a row outside
// 0..9 reads as "Ignore".
struct MonitorSize {
    float width;   // cm
    float height;  // cm
    const char* name;
};
MonitorSize MonitorSizeOfRow(int row);
