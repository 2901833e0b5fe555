// Control ids of the installer dialog, shared by the dialog template and the code.
#pragma once

#define IDD_INSTALLER "DIAL"

// IDOK (1) is Install, IDCANCEL (2) is Cancel, later Close.
#define IDC_PROGRAM_FILES 201
#define IDC_SETTINGS 202
#define IDC_RECIPES_DEMOS 203
#define IDC_DESKTOP_ICONS 204

#define IDC_BROWSE 1001
#define IDC_INSTALL_DIR 1002
#define IDC_STATUS 1003
#define IDC_CAPTION_BAR 1007
#define IDC_CAMERA_A50 1009
#define IDC_CAMERA_A1 1010
#define IDC_UV_UNIT 1011
#define IDC_CAMERA_NONE 1012
#define IDC_CAMERA_PORT 1016
#define IDC_UV_PORT 1017

#define IDC_STATIC_TEXT -1
