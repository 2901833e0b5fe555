// Process-wide state of the installer: the path set, the platform family, the dialog and the list
// text buffer. Filled at start-up and kept until exit; every step reads it from here.
#pragma once

#include <windows.h>

enum {
    DIR_SIZE = 256,       // a directory of the path set: 255 characters and the terminator
    PATH_SIZE = 260,      // a composed path: 259 characters and the terminator
    LIST_TEXT_SIZE = 1000 // bytes of the file list that are read
};

struct PathSet {
    char source[DIR_SIZE];   // the installer's folder, with its trailing backslash
    char install[DIR_SIZE];  // where the application goes; mirrored in the dialog
    char system[DIR_SIZE];   // as GetSystemDirectoryA gives it
    char drivers[DIR_SIZE];  // the system directory followed by "\Drivers"
    char windows[DIR_SIZE];  // as GetWindowsDirectoryA gives it
    char desktop[DIR_SIZE];  // shell folders: empty until found, and while unknown
    char programs[DIR_SIZE]; // ends in "\Moldar" once found
};

extern PathSet g_paths;
extern int g_isNt;       // 1 on the NT family, 0 on the Windows 95 family
extern HWND g_dialog;    // the installer dialog
extern char *g_listText; // the file list's text: LIST_TEXT_SIZE bytes and a terminator
