/* Native reference of the benchmark: expands files of the MS-DOS "compress" format (the SZDD
 * format that mscompress writes and LZ32 reads) on the Linux side, with buffered I/O. Debian's
 * msexpand reads and writes one byte per system call, which makes it far slower than the copy it
 * would be the reference for; this does the same expansion with whole-file buffers.
 *   szdd_expand SOURCE DEST [SOURCE DEST ...]
 * Exits 0 when every file expanded to the length its header gives. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned char *ReadAll(const char *path, size_t *size)
{
    FILE *file = fopen(path, "rb");
    if (!file)
        return NULL;
    fseek(file, 0, SEEK_END);
    long length = ftell(file);
    fseek(file, 0, SEEK_SET);
    unsigned char *data = length > 0 ? malloc((size_t)length) : NULL;
    if (data && fread(data, 1, (size_t)length, file) != (size_t)length) {
        free(data);
        data = NULL;
    }
    fclose(file);
    *size = (size_t)length;
    return data;
}

static int Expand(const char *source, const char *dest)
{
    static const unsigned char magic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
    size_t size;
    unsigned char *in = ReadAll(source, &size);
    if (!in || size < 14 || memcmp(in, magic, 8) != 0 || in[8] != 'A') {
        free(in);
        return 0;
    }
    size_t expected = in[10] | in[11] << 8 | in[12] << 16 | (size_t)in[13] << 24;
    unsigned char *out = malloc(expected ? expected : 1);
    unsigned char window[4096];
    memset(window, ' ', sizeof window);
    unsigned position = 4096 - 16;
    size_t at = 14, written = 0;
    while (at < size && written < expected) {
        unsigned control = in[at++];
        for (int bit = 0; bit < 8 && at < size && written < expected; ++bit, control >>= 1) {
            if (control & 1) {
                out[written++] = window[position] = in[at++];
                position = (position + 1) & 4095;
                continue;
            }
            if (at + 1 >= size)
                break;
            unsigned match = in[at] | (in[at + 1] & 0xF0) << 4;
            unsigned length = (in[at + 1] & 0x0F) + 3;
            at += 2;
            for (unsigned i = 0; i < length && written < expected; ++i) {
                out[written++] = window[position] = window[(match + i) & 4095];
                position = (position + 1) & 4095;
            }
        }
    }
    free(in);
    FILE *file = fopen(dest, "wb");
    int ok = file && fwrite(out, 1, written, file) == written;
    if (file && fclose(file) != 0)
        ok = 0;
    free(out);
    return ok && written == expected;
}

int main(int argc, char **argv)
{
    if (argc < 3 || argc % 2 == 0) {
        fprintf(stderr, "usage: szdd_expand SOURCE DEST [SOURCE DEST ...]\n");
        return 2;
    }
    int failed = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!Expand(argv[i], argv[i + 1])) {
            fprintf(stderr, "szdd_expand: cannot expand %s\n", argv[i]);
            failed = 1;
        }
    }
    return failed;
}
