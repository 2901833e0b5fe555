// The file list's letter-or-digit test for host builds: what IsCharAlphaNumericA answers for the
// Western code page 1252 (ASCII letters and digits and the high letters, as Wine reports them).
#pragma once

#include <ctype.h>

inline int IsAnsiAlphaNumeric(char c)
{
    unsigned char byte = (unsigned char)c;
    if (byte < 0x80)
        return isalnum(byte) != 0; // the C locale: ASCII only
    if (byte >= 0xC0) // the Latin-1 letters, apart from the multiplication and division signs
        return byte != 0xD7 && byte != 0xF7;
    // f-hook, circumflex, the S/OE/Z/Y pairs, the ordinals, superscripts 2, 3, 1 and micro.
    static const unsigned char kLetters[] = {0x83, 0x88, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E,
                                             0x9F, 0xAA, 0xB2, 0xB3, 0xB5, 0xB9, 0xBA};
    for (unsigned char letter : kLetters)
        if (byte == letter)
            return 1;
    return 0;
}
