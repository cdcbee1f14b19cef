// The command table: one CommandInfo record per command, shared by every
// UI item that shows it, so that all its items show the same state. Kept in
// the application object sorted by id (CApp::AddCommand and friends).
#pragma once
#include <stdint.h>
#include <windows.h>

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

constexpr uint16_t kCmdSeparatorId = 0xF000;
constexpr uint16_t kTextFromNotify = 0xFFFE;

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
