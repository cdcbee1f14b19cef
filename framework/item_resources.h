// Resource ids of the framework's item images (framework.rc); plain
// defines so that the resource compiler reads them too.
#pragma once

// The window menu's icons.
#define IDI_MOX_FRAME_CAPTION 50000       // 0xF120 Caption
#define IDI_MOX_FRAME_COLOR 50001         // 0xF130 Color
#define IDI_MOX_FRAME_FONT 50002          // 0xF140 Font
#define IDI_MOX_FRAME_LOCK 50003          // 0xF150 Lock
#define IDI_MOX_FRAME_ON_TOP 50004        // 0xF110 Always on Top
#define IDI_MOX_FRAME_TASKBAR 50005       // 0xF111 Show on Taskbar
#define IDI_MOX_FRAME_TRANSPARENCY 50006  // 0xF160 Transparency

#define IDI_MOX_VALUE_RING 50007  // ring behind a brush size or a picked colour
#define IDI_MOX_VALUE_PICK 50008  // the ring with a pipette: no colour picked yet
#define IDC_MOX_EYEDROPPER 50105  // cursor while a colour is picked from the screen

// The ids under which the two icons are known to the visuals.
#define MOX_ICON_VALUE_RING 0xF16C
#define MOX_ICON_VALUE_PICK 0xF16D
