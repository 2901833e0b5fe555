// The installer dialog's procedure: hands Install, Cancel/Close and Browse to their handlers and
// paints the status line green on white. Reports non-zero for the messages it handles.
#pragma once

#include <windows.h>

INT_PTR CALLBACK InstallerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
