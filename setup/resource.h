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
