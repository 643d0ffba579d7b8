// Ids of the conformance table's own resources (Conformance.rc).
#pragma once

#define IDD_CONF_FOCUS 100
#define IDD_CONF_CONTROLS 101
#define IDD_CONF_MISSING 199

#define IDC_CONF_LABEL 1001
#define IDC_CONF_HIDDEN 1002
#define IDC_CONF_DISABLED 1003
#define IDC_CONF_FIRST 1004
#define IDC_CONF_SECOND 1005
#define IDC_CONF_LIST 1010
#define IDC_CONF_EDIT 1011
#define IDC_CONF_VIEW 1012
#define IDC_CONF_TABS 1013

#define IDI_CONF_ICON 300
#define IDI_CONF_MISSING 399
#define IDB_CONF_PICTURE 301
#define IDB_CONF_MISSING 398
