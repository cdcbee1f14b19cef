// Resource ids of setup.
#pragma once

#define IDI_SETUP 101      // the program icon in setup mode
#define IDI_UNINSTALL 102  // the uninstaller's icon
#define IDR_MANIFEST 1

// Messages of the string table (ids fixed: the scripts' codes map to them).
#define IDS_CRITICAL 1001
#define IDS_TASK_SCHEDULER 1002
#define IDS_DATA_FOLDER_ACCESS 1004
#define IDS_OLD_VERSION 1007
#define IDS_USE_FILES 1008
#define IDS_NOT_ADMIN 1009
#define IDS_RESTART 1011
#define IDS_PROGRAM_RUNNING 1013
#define IDS_COPY_FAILED 1015
#define IDS_LINK_FAILED 1018
#define IDS_REGISTRY_FAILED 1022
#define IDS_MODE_SETUP 1026
#define IDS_MODE_UNINSTALL 1027
#define IDS_FINISHED 1030
#define IDS_FAILED 1032
#define IDS_CREATE_DIR_FAILED 1035
#define IDS_NO_64_BIT 1043
#define IDS_ERROR_COMMAND 1045
#define IDS_OS_TOO_OLD 1052
// Messages of the wizard's pages.
#define IDS_QUIT_QUESTION 1000
#define IDS_NO_DISK_SPACE 1003
#define IDS_INSTALL_FOLDER_FAILED 1005
#define IDS_DATA_FOLDER_FAILED 1033
#define IDS_KEEP_WARNING 1037
#define IDS_ABSOLUTE_PATH 1039
#define IDS_FOLDER_LEFT 1056
#define IDS_RESTART_NEEDED 1057
#define IDS_OTHER_INSTALL 1058

// "TEXT" resources: the self-deleting batch and the built-in agreement.
#define IDR_SELF_DELETE_BATCH 116
#define IDR_AGREEMENT 120

// The wizard: the frame and its pages.
#define IDD_FRAME 108
#define IDD_WELCOME 104
#define IDD_AGREEMENT 105
#define IDD_FOLDERS 109
#define IDD_PROGRESS 110
#define IDD_FINISH 111
#define IDD_UNINSTALL_WELCOME 114
#define IDD_UNINSTALL_PROGRESS 115
#define IDD_UNINSTALL_FINISH 117

// Controls every page has (1 Next, 2 Cancel as IDOK and IDCANCEL).
#define IDC_BACK 3
#define IDC_HEADER 1049
#define IDC_TITLE 1002
#define IDC_SUBTITLE 1004
#define IDC_PAGE_ICON 1055
#define IDC_WEB_LINK 1031
// Welcome pages.
#define IDC_ADVICE_1 1006
#define IDC_DESCRIPTION 1007
#define IDC_ADVICE_2 1008
#define IDC_LEGAL_1 1010
#define IDC_LEGAL_2 1012
#define IDC_KEEP_SETTINGS 1044
#define IDC_KEPT_FOLDER 1010
// Agreement page.
#define IDC_AGREEMENT_TEXT 1008
#define IDC_AGREEMENT_INTRO 1006
#define IDC_AGREEMENT_QUESTION 1010
// Folders page.
#define IDC_BROWSE_INSTALL 4
#define IDC_BROWSE_DATA 6
#define IDC_INSTALL_FOLDER 1014
#define IDC_DATA_FOLDER 1020
#define IDC_FOR_ALL_USERS 1038
#define IDC_FOR_USER 1040
#define IDC_DATA_DEFAULT 1046
#define IDC_DATA_CUSTOM 1048
#define IDC_DATA_INDIVIDUAL 1050
#define IDC_DATA_SHARED 1051
// Progress pages.
#define IDC_PROGRESS_BAR 1017
#define IDC_STATUS_LINE 1021
#define IDC_SECOND_TEXT 1022
#define IDC_PROGRESS_ADVICE 1010
// Finish pages.
#define IDC_START_PROGRAM 1023
#define IDC_SHOW_MANUAL 1025
#define IDC_DESKTOP_LINK 1028
#define IDC_STARTMENU_LINKS 1029
#define IDC_FINISH_TEXT 1006
#define IDC_NOT_REMOVED 1008
#define IDC_CHECK_FOLDER 1010
#define IDC_LEFT_FOLDER 1036
#define IDC_CHECK_ADVICE 1012
#define IDC_CLICK_FINISH 1034
