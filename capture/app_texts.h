// The capture application's string table (language 0, English), handed to
// the framework at start-up. Ids below 0xF000.
#pragma once
#include "framework/string_table.h"

enum : unsigned {
    IDS_PRODUCT = 0,
    IDS_UNKNOWN = 10,
    IDS_CMD_TRAY = 1000,
    IDS_CMD_CAPTURE = 4000,
    IDS_CMD_SHOW = 4010,
    IDS_CMD_HELP = 4020,
    IDS_CMD_QUIT = 4030,
};

extern TextRecord gAppTexts[];
