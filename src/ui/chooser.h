// The directory chooser behind "Browse for Dir...": the save-file dialog used as a folder picker.
// Sets the install directory and control 1002 when the user accepts; reports nothing.
#pragma once

#include <windows.h>

void BrowseForInstallDir(HWND dialog);
void CutExtension(char *path);
