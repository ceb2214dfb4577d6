#pragma once
// Numbers of the program's resources. Other programs and stored settings never see these, but
// the tray menu's number doubles as the tray icon's identifier, so keep them as they are.
// Plain #defines: the resource compiler reads this file too.

#define IDD_ABOUT 100
#define IDS_ABOUT_MENU_ITEM 101
#define IDD_MAIN 102
#define IDI_MAIN 128
#define IDB_MAIN_BANNER 129
#define IDB_ABOUT_BANNER 130
#define IDD_SITE_PAGE 132
#define IDD_LOCAL_PAGE 133
#define IDR_TRAY_MENU 135
#define IDD_ADVANCED_PAGE 136
#define IDD_ADD_IP_SITE 137
#define IDI_TRAY_NORMAL 138
#define IDI_TRAY_BUSY 139
#define IDI_TRAY_ATTENTION 140
#define IDD_NAMES_PAGE 141
#define IDD_DNS_NAME 142

// Statics that the code never addresses.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
