// Ids of the framework tests' own dialog templates.
#pragma once

#define IDD_TEXT 900
#define IDD_PICTURES 901
#define IDD_SHARED_PICTURES 902

#define IDC_TEXT 910
#define IDC_LIST 911
#define IDC_SAVE 912
#define IDC_PICTURES 913
#define IDC_APP_COMMAND 914
#define IDB_PICTURE 920
