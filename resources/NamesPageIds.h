#pragma once
// Controls of the Names page (dialog IDD_NAMES_PAGE) and of the Add/Edit Name dialog
// (IDD_DNS_NAME, whose OK is IDOK and Cancel IDCANCEL).

#define IDC_NAME_LIST 1101
#define IDC_NAME_ADD 1102
#define IDC_NAME_EDIT 1103
#define IDC_NAME_REMOVE 1104

#define IDC_NAME_SERVICE 1111
#define IDC_NAME_SERVER 1112
#define IDC_NAME_HOST 1113
#define IDC_NAME_ACCOUNT 1114
#define IDC_NAME_SECRET 1115
// Says whether a secret is stored (it is never shown), and what the form still lacks.
#define IDC_NAME_SECRET_NOTE 1116
#define IDC_NAME_HINT 1117
