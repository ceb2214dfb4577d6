#pragma once
// Commands of the tray menu (menu IDR_TRAY_MENU). They reach the main window as WM_COMMAND,
// from the menu or, for the default item, from a double click on the icon.

#define ID_TRAY_EXIT 32771
#define ID_TRAY_SHOW 32772
#define ID_TRAY_POST_NOW 32775
#define ID_TRAY_ABOUT 32776
#define ID_TRAY_HELP 32777
