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

// Main dialog (104): the page placeholder, destroyed at initialisation.
#define IDC_PAGE_SLOT 1053

// Actions page (106).
#define IDC_DIMENSIONS 1116
#define IDC_COLOR_MODE_TEXT 1113

// Options page (108).
#define IDC_AUTO_START 1031
#define IDC_HIDE_ON_ACTION 1035
#define IDC_TRAY_ICON 1041
#define IDC_PLAY_SOUND 1038
#define IDC_HOTKEY_CAPTURE 1077
#define IDC_HOTKEY_SHOW 1078
#define IDC_UNITS_CM 1103
#define IDC_UNITS_INCH 1104
#define IDC_MONITOR 1047
#define IDC_MON_DPI 1057
#define IDC_MON_DPI_LABEL 1117
#define IDC_MON_WIDTH_LABEL 1138
#define IDC_MON_WIDTH 1068
#define IDC_MON_HEIGHT_LABEL 1119
#define IDC_MON_HEIGHT 1058
#define IDC_MON_WIDTH_UNIT 1130
#define IDC_MON_HEIGHT_UNIT 1131

// Capture page (107).
#define IDC_MODE_RECT 1098
#define IDC_MODE_WINDOW 1105
#define IDC_MODE_ACTIVE 1081
#define IDC_MODE_SCREEN 1102
#define IDC_MOUSE_CURSOR 1036
#define IDC_DEFAULT_ACTION 1032
#define IDC_ACT_SAVE_AS 1101
#define IDC_ACT_SAVE 1100
#define IDC_ACT_COPY 1083
#define IDC_ACT_SEND 1084
#define IDC_ACT_PRINT 1097
#define IDC_ACT_ADJUST 1082
#define IDC_TIMER 1040
#define IDC_EVERY_LABEL 1126
#define IDC_MINUTES 1066
#define IDC_MINUTES_SPIN 1109
#define IDC_MINUTES_LABEL 1127
#define IDC_COLOR_MODE 1046
#define IDC_DELAY 1033
#define IDC_DELAY_TIME 1055
#define IDC_DELAY_UNIT 1115

// Save page (110).
#define IDC_SEQ_PATH 1061
#define IDC_SEQ_BROWSE 1007
#define IDC_JPG_SLIDER 1107
#define IDC_JPG_QUALITY 1059

// Print page (109).
#define IDC_PRINTER 1048
#define IDC_PRINTER_PROPS 1022
#define IDC_SIZE_SCREEN 1099
#define IDC_SIZE_FIT 1085
#define IDC_SIZE_ZOOM 1106
#define IDC_ZOOM 1069
#define IDC_NO_CLIP 1037
#define IDC_POS_FIRST 1088  // nine radios 1088..1096, rows of three from the top left
#define IDC_POS_LAST 1096
#define IDC_MARGINS 1017
#define IDC_PORTRAIT 1087
#define IDC_LANDSCAPE 1086
#define IDC_ORIENT_AUTO 1097
#define IDC_HEADER_FOOTER 1018

// Send page (111).
#define IDC_SEND_TARGET 1049
#define IDC_SEND_FILENAME 1064
#define IDC_EDITOR_PATH 1062
#define IDC_EDITOR_BROWSE 1008

// Image editor (102) and its "Enter Text" dialog (112).
#define IDD_ENTER_TEXT 112
#define IDC_ED_AUTOCROP 1002
#define IDC_ED_CROP 1011
#define IDC_ED_HIGHLIGHT 1015
#define IDC_ED_UNDO 1029
#define IDC_ED_ACTIONS_LABEL 1111
#define IDC_ED_ACTIONS_LINE 1070
#define IDC_ED_TOOL_LABEL 1129
#define IDC_ED_TOOL_LINE 1075
#define IDC_ED_TOOL 1050
#define IDC_ED_COLORS_LABEL 1113
#define IDC_ED_COLORS_LINE 1072
#define IDC_ED_FORE 1043
#define IDC_ED_BACK 1042
#define IDC_ED_BRUSH_LABEL 1112
#define IDC_ED_BRUSH_LINE 1071
#define IDC_ED_BRUSH 1044
#define IDC_ED_SIZE_GROUP 1141
#define IDC_ED_SIZE 1116
#define IDC_ED_ZOOM_GROUP 1076
#define IDC_ED_ZOOM 1108
#define IDC_ED_MODE_GROUP 1142
#define IDC_ED_COLOR_MODE 1045
#define IDC_ED_VIEW 1052
#define IDC_TEXT_EDIT 1065
#define IDC_TEXT_FONT 1013
#define IDC_TEXT_FRAME 1034

// Page margins dialog (105).
#define IDD_MARGINS 105
#define IDC_MARGIN_BOTTOM 1054
#define IDC_MARGIN_LEFT 1060
#define IDC_MARGIN_RIGHT 1063
#define IDC_MARGIN_TOP 1067
#define IDC_MARGIN_TOP_UNIT 1130  // unit labels 1130..1133: top, left, right, bottom
#define IDC_MARGIN_LEFT_UNIT 1131
#define IDC_MARGIN_RIGHT_UNIT 1132
#define IDC_MARGIN_BOTTOM_UNIT 1133

// Header and footer dialog (113).
#define IDD_HEADER_FOOTER 113
#define IDC_HEAD_FONT 1013
#define IDC_HEAD_LEFT 1139
#define IDC_HEAD_CENTER 1140
#define IDC_HEAD_RIGHT 1141
#define IDC_FOOT_LEFT 1142
#define IDC_FOOT_CENTER 1143
#define IDC_FOOT_RIGHT 1144
#define IDC_HEADER_ON 1145
#define IDC_NEXT_N 1146
#define IDC_FOOTER_ON 1149
#define IDC_INIT_N 1150

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
