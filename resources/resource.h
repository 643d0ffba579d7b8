// Resource ids of Setup.exe, shared by the resource script and the code.
#pragma once

// Dialog templates
#define IDD_SETUP_DIALOG 102
#define IDD_PRINTER_CONNECTION 108
#define IDD_PORT_SELECTION 109
#define IDD_FILE_COPY 130

// Pictures and the icon
#define IDB_MODEL 129
#define IDB_CONNECTION 131
#define IDB_WAIT 132
#define IDI_SETUP 133

// Controls
#define IDC_MODEL_TAB 1000
#define IDC_MODEL_LIST 1001
#define IDC_WAIT_TEXT 1002
#define IDC_CONNECTION_CANCEL 1005
#define IDC_PORT_CANCEL 1006
#define IDC_PORT_OK 1008
#define IDC_VERSION_LABEL 1009
#define IDC_CONNECTION_PICTURE 1015
#define IDC_PORT_LIST 1016
#define IDC_CURRENT_PORT 1017
#define IDC_CONNECTION_TEXT 1020
#define IDC_MANUAL 1021
