// The framework's private window messages and result codes.
#pragma once
#include <windows.h>

enum : UINT {
    MoxMSG_LAYOUT = 0x83E9,
    MoxMSG_CONTEXTMENU = 0x83EA,
    MoxMSG_SAVESTATE = 0x83EC,
    MoxMSG_COMMAND = 0x83ED,
    MoxMSG_SETPOPUP = 0x83EE,
    MoxMSG_GETPOPUP = 0x83EF,
    MoxMSG_GETMENULIST = 0x83F0,
    MoxMSG_TRAYNOTIFY = 0x83F1,
    MoxMSG_BARSHOWN = 0x83F6,
    MoxMSG_SHOW = 0x83F7,
    MoxMSG_HELP = 0x83F9,
    MoxMSG_TABORDER = 0x83FA,
    MoxMSG_PAINTBKGND = 0x83FB,
    MoxMSG_PAINTSWATCH = 0x83FD,
    MoxMSG_SECONDSTART = 0x83FE,
    MoxMSG_STYLECHANGED = 0x83FF,
    MoxMSG_TASKBARCREATED = 0x8400,
    MoxMSG_MENUBARLIST = 0x8401,
    MoxMSG_BUSY = 0x8402,
    MoxMSG_DBLCLK = 0x8403,
    MoxMSG_QUIT = 0x8404,
    MoxMSG_RESTART = 0x8405,
    MoxMSG_GETITEMTEXT = 0x8406,
    MoxMSG_MENUCLICK = 0x8407,
    MoxMSG_DRAGITEM = 0x8409,
    MoxMSG_DISPLAYCHANGED = 0x840B,
};

// Framework result codes; 0 is success.
enum : int {
    kMoxErrWindowCreate = 0xF002,
    kMoxErrItemCreate = 0xF003,
    kMoxErrLanguage = 0xF006,
    kMoxErrUnknownCommand = 0xF007,
    kMoxErrMenuIcon = 0xF00A,
    kMoxErrCommandAdd = 0xF00B,
    kMoxErrNumberEmpty = 0xF00E,
    kMoxErrNotNumber = 0xF00F,
    kMoxErrNoIdList = 0xF010,
    kMoxErrHandedOver = 0xF012,
    kMoxErrStartupLink = 0xF013,
    kMoxErrCommonControls = 0xF015,
    kMoxErrInstallSettings = 0xF016,
    kMoxErrDataFolder = 0xF019,
};
