// Start-up and the main loop: finds the paths, opens the dialog with its default choices and
// runs the message loop. Reports 1/0 from StartInstaller; the loop returns the exit code.
#pragma once

#include <windows.h>

void InitPaths(void);
int StartInstaller(HINSTANCE instance);
void SetDefaultChoices(HWND dialog);
int RunMessageLoop(void);
void StopInstaller(void);
int RunInstaller(HINSTANCE instance);
