// Bounded text formatting: every path and status text of the installer is formed here.
// Reports 1 when the whole text fitted, 0 when it was cut to fit (the buffer is always terminated).
#pragma once

#include <stddef.h>

int FormatText(char *buffer, size_t size, const char *format, ...)
    __attribute__((format(ms_printf, 3, 4)));
