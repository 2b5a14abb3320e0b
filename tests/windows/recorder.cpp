// A stand-in installer for the Wine tests: records the command line it was
// started with and its current directory in the file named by the
// environment variable KIT_RECORD, stays alive for 1.5 s, then appends the
// line "ended" and ends with exit code 7. A windowless GUI program, as an
// installer would be.
#include <stdio.h>
#include <stdlib.h>

#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const char* recordPath = getenv("KIT_RECORD");
    if (recordPath == NULL) return 2;
    char directory[MAX_PATH + 1] = "";
    GetCurrentDirectoryA(sizeof directory, directory);

    FILE* record = fopen(recordPath, "wb");
    if (record == NULL) return 3;
    fprintf(record, "cmdline=%s\ncwd=%s\n", GetCommandLineA(), directory);
    fclose(record);

    Sleep(1500);

    record = fopen(recordPath, "ab");
    if (record == NULL) return 3;
    fprintf(record, "ended\n");
    fclose(record);
    return 7;
}
