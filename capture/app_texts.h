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
    IDS_CANT_CREATE_FILE = 5000,
    IDS_CANT_EXECUTE = 5010,
    IDS_CANT_SEND = 5020,
    IDS_NO_WORD = 5030,
    IDS_CAPTURE_FIRST = 5040,
    IDS_NO_CLIPBOARD = 5050,
    IDS_NO_PRINTER_ACCESS = 5060,
    IDS_CAPTURE_KEY_FAILED = 5070,
    IDS_SHOW_KEY_FAILED = 5080,
    IDS_IMAGE_WILL_BE_LOST = 5100,
    IDS_NO_EDITOR = 5110,
    IDS_BAD_SEQUENCE_PATH = 5120,
    IDS_NO_PRINTER = 5130,
    IDS_NO_MEMORY = 5140,
    IDS_PRINTER_ERROR = 5150,  // 0 with the error code, 1 without one
    IDS_SAVE_FAILED = 5160,
    IDS_SELECT_AREA_FIRST = 5170,
    IDS_WRITE_ERROR = 5180,
    IDS_MARGINS_TOO_LARGE = 5190,
    IDS_WORD_BUSY = 5200,
    IDS_REPLACE_FILE = 5210,
};

extern TextRecord gAppTexts[];
