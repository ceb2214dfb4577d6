#pragma once
// Controls of the Details page (dialog IDD_LOCAL_PAGE).

#define IDC_LOCAL_LOG 1001
#define IDC_LOCAL_IP_ADDRESS 1004
#define IDC_LOCAL_IPV6_ADDRESS 1030
#define IDC_LOCAL_USE_LOCAL 1019
#define IDC_LOCAL_USE_WEB 1020
