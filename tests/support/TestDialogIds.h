#pragma once
// Ids of the test dialog in TestDialog.rc.

#define IDD_TEST_DIALOG 100
#define IDC_TEST_NAME 1001
#define IDC_TEST_FORCE 1002
#define IDC_TEST_APPLY 1003
#define IDC_TEST_CLOSE 1004
