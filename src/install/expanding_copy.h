// Copies one file of the distribution, expanding it when it is LZ-compressed. Reports 1/0; on
// failure the reason is on the status line and no part-written destination is left behind.
#pragma once

int ExpandingCopy(const char *source, const char *dest);

// The same for paths formed by the caller: a path that did not fit its buffer (fits == 0) is
// never used cut but reported as a file that cannot be opened.
int ExpandingCopyFormed(int sourceFits, const char *source, int destFits, const char *dest);
