// SPDX-License-Identifier: GPL-3.0-or-later
// resource.h - ids of the resources in ostrane.rc and of their controls.
//
// Included by the resource script and by the program's C++ code, so it holds
// plain #define lines only. IDC_STATIC (-1) comes from the platform headers
// (platform/WinUser.h) and, for the Windows resource compiler, from winres.h.
#ifndef OSTRANE_RESOURCE_H
#define OSTRANE_RESOURCE_H

// Version block
#define VS_VERSION_INFO                 1

// Dialog templates
#define IDD_MAIN                        102
#define IDD_IFEO_PAGE                   130
#define IDD_USB_TOOLS_PAGE              131
#define IDD_ABOUT_PAGE                  132
#define IDD_SCAN_PAGE                   136
#define IDD_PROCESS_PAGE                137
#define IDD_STARTUP_PAGE                138
#define IDD_BLANK_PAGE                  139
#define IDD_CHOOSE_INSTALLATION         140

// Icon group, bitmap and the embedded driver information files
#define IDR_MAINFRAME                   128
#define IDB_BANNER                      129
#define IDR_USBSTORINF                  134
#define IDR_USBSTORPNF                  135

// String table
#define IDS_IFEO_ROOT                   4
#define IDS_IFEO_DESCRIPTION            5
#define IDS_AUTORUN_NAME                6
#define IDS_IMMUNITY_DIR                7
#define IDS_IMMUNITY_DESCRIPTION        8
#define IDS_USB_STORAGE_DESCRIPTION     9
#define IDS_USBSTOR_INF                 10
#define IDS_USBSTOR_PNF                 11
#define IDS_STORAGE_POLICIES_KEY        12
#define IDS_USBSTOR_SERVICE_KEY         13
#define IDS_AUTOPLAY_DESCRIPTION        14
#define IDS_EXPLORER_POLICIES_KEY       15
#define IDS_FORCE_EJECT_DESCRIPTION     16

// Main window
#define IDC_TAB                         1001

// System repair page (IFEO)
#define IDC_IFEO_LIST                   1003
#define IDC_IFEO_SELECT_ALL             1004
#define IDC_IFEO_INVERT                 1005
#define IDC_IFEO_REPAIR                 1006
#define IDC_IFEO_COUNT                  1007
#define IDC_IFEO_REFRESH                1008
#define IDC_IFEO_DESCRIPTION            1011

// USB tools page
#define IDC_DRIVE_LIST                  1010
#define IDC_USB_SELECT_ALL              1012
#define IDC_USB_INVERT                  1013
#define IDC_IMMUNIZE                    1014
#define IDC_REMOVE_IMMUNITY             1015
#define IDC_IMMUNITY_TEXT               1016
#define IDC_USB_STORAGE_TEXT            1017
#define IDC_USB_STORAGE_TOGGLE          1018
#define IDC_USB_STORAGE_STATE           1019
#define IDC_AUTOPLAY_TEXT               1020
#define IDC_AUTOPLAY_STATE              1021
#define IDC_AUTOPLAY_TOGGLE             1022
#define IDC_FORCE_EJECT_TEXT            1024
#define IDC_FORCE_EJECT                 1026

// Scan page
#define IDC_SCAN_RESULTS                1027
#define IDC_SCAN_RANGE                  1028
#define IDC_SCAN_STATUS                 1030
#define IDC_SCAN                        1031
#define IDC_KILL                        1032
#define IDC_SCAN_SELECT_ALL             1035
#define IDC_SCAN_INVERT                 1036
#define IDC_SCAN_PATH                   1039

// Process manager page
#define IDC_PROCESS_LIST                1040
#define IDC_MODULE_LIST                 1041
#define IDC_END_PROCESS                 1042
#define IDC_FREEZE_PROCESS              1044
#define IDC_THAW_PROCESS                1045
#define IDC_REFRESH_PROCESSES           1047

// Startup manager page
#define IDC_RUN_LIST                    1051
#define IDC_RUN_REFRESH                 1053

// Choice among the Windows installations found mounted
#define IDC_INSTALLATION_LIST           1060

#endif  // OSTRANE_RESOURCE_H
