// Resource and control ids of UninstallManager.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates
#define IDD_MAIN_DIALOG        102
#define IDD_QUICK_PAGE         131
#define IDD_SMART_PAGE         133
#define IDD_RESTORE_PAGE       135

// Icons and pictures
#define IDR_MAINFRAME          128
#define IDR_BANNER             130
#define IDI_DEFAULT_PRODUCT    132
#define IDI_HELP_LINK          133
#define IDI_SMART_UNINSTALL    138
#define IDI_TRACE_REGVALUE     139
#define IDI_TRACE_FILE         140
#define IDI_TRACE_FOLDER       141
#define IDI_TRACE_REGKEY       142
#define IDI_RESTORE            143

// Controls
#define IDC_BANNER             1000
#define IDC_LIST               1002
#define IDC_UNINSTALL          1003
#define IDC_DELETE_ENTRY       1004
#define IDC_DISPLAY_NAME       1005
#define IDC_UNINSTALL_STRING   1006
#define IDC_PUBLISHER          1007
#define IDC_REFRESH            1009
#define IDC_HELP_LINK          1010
#define IDC_OPEN_LINK          1011
#define IDC_KEY_PATH           1012
#define IDC_TARGET             1016
#define IDC_PICK_DESKTOP       1017
#define IDC_ANALYZE            1018
#define IDC_PICK_STARTMENU     1019
#define IDC_PICK_PROGRAM       1020
#define IDC_STATUS             1022
#define IDC_BACKUP_LIST        1040
#define IDC_RESTORE            1041
#define IDC_DELETE_BACKUP      1042
#define IDC_RESTORE_STATUS     1043
#define IDC_QUICK_STATUS       1044
// The quick page's filter, count line, "only broken" choice, export and details frame
#define IDC_FILTER             1050
#define IDC_PRODUCT_COUNT      1051
#define IDC_ONLY_BROKEN        1052
#define IDC_EXPORT             1053
#define IDC_DETAILS_FRAME      1054
// The quick page's context menu, beside its buttons' own ids
#define IDM_OPEN_FOLDER        1060
#define IDM_COPY_NAME          1061
#define IDM_LOCATE_KEY         1062
#define IDM_SMART_UNINSTALL    1063

// Navigation
#define IDC_NAVIGATION_BAR     360
#define IDC_NAVIGATION_TOOLBAR 333
#define ID_PAGE_QUICK          100
#define ID_PAGE_SMART          101
#define ID_PAGE_RESTORE        102

// String table
#define IDS_NAV_HEADER         1
#define IDS_NAV_QUICK          2
#define IDS_NAV_SMART          3
#define IDS_COL_NAME           4
#define IDS_COL_COMMAND        5
#define IDS_COL_PUBLISHER      6
#define IDS_CONFIRM_FORCED     7
#define IDS_COL_ITEM           8
#define IDS_COL_DESCRIPTION    9
#define IDS_REFUSED            10
#define IDS_ANALYSIS_DONE      11
#define IDS_REGVALUE           12
#define IDS_REGKEY             13
#define IDS_CONFIRM_REMOVE     14
#define IDS_REMOVAL_SUMMARY    15
// Why a trace is listed unticked (weak evidence), shown after its type
#define IDS_WEAK_OTHER_SETTINGS 16
#define IDS_WEAK_OUTSIDE_FOLDER 17
#define IDS_WEAK_SHARED_TYPE    18
#define IDS_WEAK_UNADDRESSABLE  19
#define IDS_WEAK_SEPARATOR      20
// What removal and the quick page's actions could not do
#define IDS_REMOVAL_KEPT        21
#define IDS_UNINSTALL_NOT_STARTED 22
#define IDS_DELETE_ENTRY_FAILED 23
// Backups of removals and their restoring
#define IDS_NAV_RESTORE         24
#define IDS_BACKUP_FAILED       25
#define IDS_REMOVAL_UNDOABLE    26
#define IDS_COL_TIME            27
#define IDS_COL_PROGRAM         28
#define IDS_COL_ITEMS           29
#define IDS_COL_STATE           30
#define IDS_STATE_READY         31
#define IDS_STATE_RESTORED      32
#define IDS_STATE_DAMAGED       33
#define IDS_STATE_GONE          34
#define IDS_CONFIRM_RESTORE     35
#define IDS_CONFIRM_DELETE_BACKUP 36
#define IDS_RESTORE_SUMMARY     37
#define IDS_BACKUP_REFUSED      38
#define IDS_BACKUP_DELETED      39
#define IDS_BACKUP_NOT_DELETED  40
// Waiting for an uninstaller, and what it left
#define IDS_WAITING_UNINSTALL   41
#define IDS_STOP_WAITING        42
#define IDS_NOTHING_LEFT        43
#define IDS_UNINSTALL_CANCELLED 44
#define IDS_STOPPED_WAITING     45
#define IDS_STILL_INSTALLED     46
#define IDS_USER_COMMAND_REFUSED 47
#define IDS_LINK_REFUSED        48
// The store of backups, which only the system and administrators may change
#define IDS_STATE_UNSAFE        49
#define IDS_STORE_UNSAFE        50
#define IDS_STORE_UNSAFE_REMOVAL 51
#define IDS_BACKUP_UNSAFE_PLACE 52
// The command line
#define IDS_COMMAND_USAGE       53
// The quick page's further columns, also the headers of its exports
#define IDS_COL_VERSION         70
#define IDS_COL_SIZE            71
#define IDS_COL_INSTALL_DATE    72
#define IDS_COL_SOURCE          73
// The quick page's filter, broken entries, export and context menu
#define IDS_PRODUCT_COUNT       74
#define IDS_UNINSTALLER_MISSING 75
#define IDS_EXPORT_FILTER       76
#define IDS_EXPORT_FAILED       77
#define IDS_MENU_UNINSTALL      78
#define IDS_MENU_DELETE_ENTRY   79
#define IDS_MENU_REFRESH        80
#define IDS_MENU_HELP_LINK      81
#define IDS_MENU_OPEN_FOLDER    82
#define IDS_MENU_COPY_NAME      83
#define IDS_MENU_LOCATE_KEY     84
#define IDS_MENU_SMART_UNINSTALL 85
#define IDS_FOLDER_REFUSED      86
#define IDS_EXPORT_NAME         87
