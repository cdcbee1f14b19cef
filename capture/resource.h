// Resource ids of the main program (the framework's own are in
// framework/message_box.h and framework.rc). Each dialog's controls follow
// its IDD_ id in the block the dialog's unit keeps.
#pragma once

// Icons: the program, the message box, the tab and action icons.
#define IDI_PROGRAM 1
#define IDI_MESSAGE 2
// (image list of the tabs, in order: 1, 14, 11, 17, 15, 18, 16, 12, 13, 19)
#define IDI_CAPTURE_TAB 11
#define IDI_COPY 12
#define IDI_IMAGE_EDITOR 13
#define IDI_OPTIONS_TAB 14
#define IDI_PRINT 15
#define IDI_SAVE_SEQUENTIAL 16
#define IDI_SAVE_AS 17
#define IDI_SEND_TO 18
#define IDI_WORD 19
#define IDR_MANIFEST 1

// The capture sound (type "WAVE").
#define IDR_CAPTURE_SOUND 301

// Dialogs.
#define IDD_EDIT_IMAGE 102
#define IDD_MAIN 104
#define IDD_PAGE_ACTIONS 106
#define IDD_PAGE_CAPTURE 107
#define IDD_PAGE_OPTIONS 108
#define IDD_PAGE_PRINT 109
#define IDD_PAGE_SAVE 110
#define IDD_PAGE_SEND 111

// Commands shared between the main dialog, its pages and the actions.
#define IDC_HELP_CMD 9
#define IDC_ABOUT 1001
#define IDC_EDIT 1003
#define IDC_AUTOCROP 1005
#define IDC_COPY 1010
#define IDC_HIDE_CMD 1014
#define IDC_NEW 1018
#define IDC_PRINT 1021
#define IDC_QUIT 1023
#define IDC_SAVE 1025
#define IDC_SAVE_AS 1026
#define IDC_SEND_TO 1027
#define IDC_PREVIEW 1079
#define IDC_TABS 1110
#define IDC_CAPTURE_CMD 40003
#define IDC_SHOW_CMD 40001
