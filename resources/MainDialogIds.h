#pragma once
// Controls of the main window (dialog IDD_MAIN). Save and Cancel are IDOK and IDCANCEL.

// The main window's own class: the setup finds a running copy by it, and a box the program shows
// (class "#32770", titled "Tovra" too) never stands in for it. installer/Tovra.nsi repeats it.
#define TOVRA_MAIN_WINDOW_CLASS "Tovra.MainWindow"

#define IDC_MAIN_POST_NOW 1000
#define IDC_MAIN_TABS 1002
#define IDC_MAIN_BANNER 1021

// System menu command of the About item; system commands must keep the low four bits clear.
#define IDM_ABOUT_BOX 0x0010

// Sent by a later copy of the program: show the window and bring it to the front.
#define IDM_SHOW_MAIN_WINDOW 32780
