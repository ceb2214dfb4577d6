#pragma once
// Controls of the About box (dialog IDD_ABOUT). Close is IDOK.

#define IDC_ABOUT_VERSION 1016
#define IDC_ABOUT_TITLE 1017
#define IDC_ABOUT_MAKER 1018
#define IDC_ABOUT_BANNER 1019
