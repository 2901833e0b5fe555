#include "app/text.h"

#include <stdarg.h>
#include <stdio.h>

int FormatText(char *buffer, size_t size, const char *format, ...)
{
    if (size == 0)
        return 0;
    va_list args;
    va_start(args, format);
    // The C runtime's own formatter: -1 (or the full size) means the text did not fit.
    int written = _vsnprintf(buffer, size, format, args);
    va_end(args);
    if (written < 0 || (size_t)written >= size) {
        buffer[size - 1] = '\0';
        return 0;
    }
    return 1;
}
