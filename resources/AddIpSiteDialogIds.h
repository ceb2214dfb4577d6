#pragma once
// Controls of the Add IP Site dialog (dialog IDD_ADD_IP_SITE). Add is IDOK, Cancel IDCANCEL.

#define IDC_ADD_SITE_ADDRESS 1013
#define IDC_ADD_SITE_PATH 1014
// One line under the edits that says why "&Add" is disabled.
#define IDC_ADD_SITE_HINT 1015
