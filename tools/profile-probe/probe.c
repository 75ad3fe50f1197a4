/* Asks the game platform's own profile functions what they read, so the launcher's reader can be
 * held to the same answers.
 *
 *   probe CORPUS_DIR < cases.txt   answers every case line, echoes comments and blank lines
 *   probe FILE SECTION KEY DEFAULT answers one question about FILE
 *
 * A case line is FILE, SECTION, KEY, DEFAULT, STRING, INTEGER separated by tabs; the probe reads
 * the first four and writes the line back with the last two filled in: the text
 * GetPrivateProfileStringA gives into a buffer of 2048 bytes, and what GetPrivateProfileIntA gives
 * with 777 as its default. Fields escape a backslash, a tab and every byte outside 0x20..0x7e as
 * \\, \t, \xHH. Built with a Windows cross compiler, run on the platform or under its emulator. */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#define VALUE_BUFFER 2048
#define INT_DEFAULT 777

static void unescape(char* text)
{
    char* out = text;
    for (const char* in = text; *in; ++in) {
        if (*in != '\\' || !in[1]) {
            *out++ = *in;
        } else if (in[1] == 't') {
            *out++ = '\t';
            ++in;
        } else if (in[1] == 'x' && in[2] && in[3]) {
            unsigned int byte = 0;
            sscanf(in + 2, "%2x", &byte);
            *out++ = (char)byte;
            in += 3;
        } else {
            *out++ = in[1];
            ++in;
        }
    }
    *out = '\0';
}

static void putEscaped(const char* text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = (unsigned char)text[i];
        if (c == '\\')
            fputs("\\\\", stdout);
        else if (c == '\t')
            fputs("\\t", stdout);
        else if (c < 0x20 || c > 0x7e)
            printf("\\x%02x", c);
        else
            putchar(c);
    }
}

static void answer(const char* path, const char* name, const char* section, const char* key,
                   const char* fallback)
{
    char value[VALUE_BUFFER];
    const DWORD length = GetPrivateProfileStringA(section, key, fallback, value, sizeof value, path);
    const UINT number = GetPrivateProfileIntA(section, key, INT_DEFAULT, path);
    const char* fields[] = {name, section, key, fallback};
    for (int i = 0; i < 4; ++i) {
        putEscaped(fields[i], strlen(fields[i]));
        putchar('\t');
    }
    putEscaped(value, length);
    printf("\t%d\n", (int)number);
}

int main(int argc, char** argv)
{
    /* Bytes out as they are: no CR added before each line end. */
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc == 5) {
        answer(argv[1], argv[1], argv[2], argv[3], argv[4]);
        return 0;
    }
    if (argc != 2) {
        fputs("usage: probe CORPUS_DIR < cases.txt | probe FILE SECTION KEY DEFAULT\n", stderr);
        return 2;
    }
    static char line[65536];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] == '\0' || line[0] == '#') {
            puts(line);
            continue;
        }
        char* fields[4];
        char* rest = line;
        for (int i = 0; i < 4; ++i) {
            fields[i] = rest;
            rest = strchr(rest, '\t');
            if (!rest && i < 3) {
                fprintf(stderr, "not a case line: %s\n", line);
                return 2;
            }
            if (rest)
                *rest++ = '\0';
            else
                rest = fields[i] + strlen(fields[i]);
        }
        for (int i = 0; i < 4; ++i)
            unescape(fields[i]);
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s/%s", argv[1], fields[0]);
        answer(path, fields[0], fields[1], fields[2], fields[3]);
    }
    return 0;
}
