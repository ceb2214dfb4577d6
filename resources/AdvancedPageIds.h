#pragma once
// Controls of the Advanced page (dialog IDD_ADVANCED_PAGE).

#define IDC_PROXY_USERNAME 1004
#define IDC_PROXY_PASSWORD 1005
#define IDC_IP_SITE_LIST 1011
#define IDC_IP_SITE_ADD 1012
#define IDC_IP_SITE_REMOVE 1013
#define IDC_FORCE_UPLOAD 1015
