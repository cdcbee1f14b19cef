// Resource ids of the framework's item images (framework.rc); plain
// defines so that the resource compiler reads them too.
#pragma once

#define IDI_MOX_VALUE_RING 50007  // ring behind a brush size or a picked colour
#define IDI_MOX_VALUE_PICK 50008  // the ring with a pipette: no colour picked yet
#define IDC_MOX_EYEDROPPER 50105  // cursor while a colour is picked from the screen

// The ids under which the two icons are known to the visuals.
#define MOX_ICON_VALUE_RING 0xF16C
#define MOX_ICON_VALUE_PICK 0xF16D
