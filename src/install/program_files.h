// Copies the listed program files to their destination directories, skipping those whose installed
// copy is as new. Reports 1/0; stops at the first failed copy, whose message stays on the line.
#pragma once

#include <windows.h>

int CopyProgramFiles(void);

// A last-write time as whole seconds since 1970; -1 for zero or a time outside 1970 to 2038
// that a signed 32-bit count cannot hold.
long FileTimeSeconds(const FILETIME *time);
