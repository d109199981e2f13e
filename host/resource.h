// Resource and command ids of the host program.
#pragma once

// Bitmaps and the icon.
#define IDB_BROWSE 100  // the enrolment rows' browse button
#define IDB_SAVE 101    // and their save button
#define IDB_RUN 102
#define IDB_RUNMASK 103
#define IDI_QUORVEL 104

// Menus ("MYTRAY" is named by its text).
#define IDM_PROPERTIES 201
#define IDM_TABCLOSURE 202

// Tooltip strings of the toolbar buttons.
#define IDS_OPEN 2
#define IDS_USEDLATELY 3
#define IDS_PROPERTIES 5
#define IDS_EXECUTE 6
#define IDS_LASTONE 7
#define IDS_LAST30 8
#define IDS_CLEARLOG 10

// Child window ids.
#define IDC_RUNLINE 100
#define IDC_SYSLOG 101
#define IDC_EDITOR 102
#define IDC_TABS 120
#define IDC_STATUS 121

// Commands.
#define CMD_OPEN 111
#define CMD_LASTFILE 112
#define CMD_RECENT 113
#define CMD_PROPERTIES 114
#define CMD_RUN 115
#define CMD_SETTING 116
#define CMD_HELP 117
#define CMD_ABOUT 118
#define CMD_TOTRAY 119
#define CMD_FROMTRAY 120
#define CMD_QUIT 121
#define CMD_ENROLSCRIPT 123
#define CMD_ENROLSCRIPTSHIFT 124
#define CMD_HIDEOTHERS 129
#define CMD_CLOSETAB 131
#define CMD_REFRESHTAB 132
#define CMD_ENROLHOTKEY 134
#define CMD_ENROLRESIDENT 135
#define CMD_CLEARLOG 151
#define CMD_LAUNCHFIRST 1400
#define CMD_LAUNCHLAST 1435

// Hotkey ids.
#define HOTKEY_MAIN 122
#define HOTKEY_LAUNCHFIRST 140
#define HOTKEY_LAUNCHLAST 169

// Setting window controls.
#define IDC_SET_HOTMOD 104
#define IDC_SET_HOTENABLE 105
#define IDC_SET_TRAY 106
#define IDC_SET_HOTKEY 107
#define IDC_SET_RUNMOD 108
#define IDC_SET_RUNKEY 109
#define IDC_SET_HOTOK 103
#define IDC_SET_RUNOK 110

// Enrolment rows: control id = base + row.
#define IDC_ROW_BROWSE 1300
#define IDC_ROW_SAVE 1350
#define IDC_ROW_ACTIVE 1600
#define IDC_ROW_RUN 1650
#define IDC_ROW_TITLE 1700
#define IDC_ROW_SCRIPT 1750
#define IDC_ROW_OPTIONS 1800
#define IDC_ROW_MOD 1850
#define IDC_ROW_KEY 1900
#define IDC_ROW_LABEL 1950

// Launch Menu and Recently Opened Menu buttons: 1300 + index.
#define IDC_MENU_FIRST 1300

// Tray.
#define TRAY_UID 300
#define TIMER_FATALBOX 301
#define WM_TRAYCALLBACK (WM_APP + 1)
