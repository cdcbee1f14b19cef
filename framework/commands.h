// The command table: one CommandInfo record per command, shared by every
// UI item that shows it, so that all its items show the same state. Kept in
// the application object sorted by id (CApp::AddCommand and friends).
#pragma once
#include <windows.h>
#include <stdint.h>

// Command flags (also the live state).
constexpr uint32_t kCmdEnabled = 0x1;
constexpr uint32_t kCmdStretch = 0x2;
constexpr uint32_t kCmdFill = 0x4;
constexpr uint32_t kCmdFullRow = 0x8;
constexpr uint32_t kCmdCentre = 0x10;
constexpr uint32_t kCmdBold = 0x40;
constexpr uint32_t kCmdCaption = 0x80;
constexpr uint32_t kCmdIcon = 0x100;
constexpr uint32_t kCmdHot = 0x200;
constexpr uint32_t kCmdPressed = 0x400;
constexpr uint32_t kCmdChecked = 0x800;
constexpr uint32_t kCmdDroppable = 0x1000;
constexpr uint32_t kCmdValue = 0x8000;
constexpr uint32_t kCmdTooltipCaption = 0x10000;
constexpr uint32_t kCmdDraggable = 0x20000;
constexpr uint32_t kCmdHidden = 0x800000;
constexpr uint32_t kCmdSplit = 0x1000000;
constexpr uint32_t kCmdArrowPressed = 0x2000000;
constexpr uint32_t kCmdMenuBar = 0x4000000;

// Item kinds.
enum : uint16_t {
    kKindButton = 1,
    kKindStatic = 2,
    kKindMenu = 3,
    kKindSeparator = 4,
    kKindTree = 5,
    kKindList = 6,
    kKindSlider = 9,
    kKindBrushSize = 10,
    kKindColor = 11,
    kKindPalette = 12,
    kKindObject = 99,
};

constexpr uint16_t kCmdSeparatorId = 0xF000;      // a separator in a menu's id list
constexpr uint16_t kCmdSeparatorLineId = 0xF001;  // a separator with a thin line
constexpr uint16_t kIdListEnd = 0xFFFF;           // ends a menu's id list
constexpr uint16_t kNoCommand = 0xFFFF;           // an item or status line without a command
constexpr uint16_t kTextFromNotify = 0xFFFE;

// The framework's own commands: the window menu and its entries. Each
// command's texts have its id (string_table.cpp).
enum : uint16_t {
    IDM_MOX_MORE_ITEMS = 0xF100,   // the items a bar cannot show (text IDS_MOX_MORE_ITEMS)
    IDM_MOX_WINDOW_MENU = 0xF105,  // its id list is the frame's, built when it opens
    IDM_MOX_ON_TOP = 0xF110,
    IDM_MOX_TASKBAR = 0xF111,
    IDM_MOX_CAPTION = 0xF120,  // menu of the four caption styles below
    IDM_MOX_CAPTION_NORMAL = 0xF121,
    IDM_MOX_CAPTION_SMALL = 0xF122,
    IDM_MOX_CAPTION_NONE = 0xF123,
    IDM_MOX_BORDERLESS = 0xF124,
    IDM_MOX_COLOR = 0xF130,  // menu of the three schemes
    IDM_MOX_SCHEME_NONE = 0xF131,
    IDM_MOX_SCHEME_DEFAULT = 0xF132,
    IDM_MOX_SCHEME_CUSTOM = 0xF133,  // split menu of the four custom colours below
    IDM_MOX_COLOR_BACKGROUND = 0xF134,
    IDM_MOX_COLOR_FOCUS = 0xF135,
    IDM_MOX_COLOR_TEXT = 0xF136,
    IDM_MOX_COLOR_HIGHLIGHT_TEXT = 0xF137,
    IDM_MOX_FONT = 0xF140,
    IDM_MOX_FONT_DEFAULT = 0xF141,
    IDM_MOX_FONT_CUSTOM = 0xF142,
    IDM_MOX_LOCK = 0xF150,
    IDM_MOX_LOCK_BAR_POSITIONS = 0xF151,
    IDM_MOX_LOCK_BAR_SIZES = 0xF152,
    IDM_MOX_LOCK_POSITION = 0xF153,
    IDM_MOX_LOCK_SIZE = 0xF154,
    IDM_MOX_LOCK_ALL = 0xF155,
    IDM_MOX_LOCK_RESOLUTION = 0xF156,
    IDM_MOX_TRANSPARENCY = 0xF160,
    IDM_MOX_TRANSPARENCY_OFF = 0xF161,  // then one command for each 10 percent (TransparencyCommand)
    IDM_MOX_TRANSPARENCY_90 = 0xF16A,
    IDM_MOX_GHOST = 0xF16B,  // the mouse clicks through the window
};
// The transparency command of 0, 10, ... 90 percent.
constexpr uint16_t TransparencyCommand(int percent) {
    return (uint16_t)(IDM_MOX_TRANSPARENCY_OFF + percent / 10);
}

struct CommandInfo {
    uint16_t id;
    uint16_t kind;
    float widthFactor;   // added to the caption width, times the caption height
    float heightFactor;  // added to the caption height, times the caption height
    uint32_t flags;
    uint16_t iconId;
    uint16_t textId;  // 0xFFFE: ask the notify window
    void* data;       // kind-specific: a menu's id list (ended by 0xFFFF), a value record, ...
};
static_assert(sizeof(void*) != 4 || sizeof(CommandInfo) == 24, "the command record is 24 bytes in the 32-bit program");
