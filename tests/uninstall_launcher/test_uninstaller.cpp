// A stand-in for a product's uninstaller in the Wine end-to-end test: writes
// its arguments, one per line in angle brackets, to the file named by the
// environment variable AMBREL_TEST_RECORD, then runs on for two seconds and
// writes the same name with ".done" appended, so the test can tell that the
// launcher did not wait for it.
#include <stdio.h>
#include <stdlib.h>
#include <string>

#include "platform/win32.h"

int main(int argc, char** argv) {
    const char* record = getenv("AMBREL_TEST_RECORD");
    if (record == NULL) return 2;
    std::string partial = std::string(record) + ".tmp";
    FILE* out = fopen(partial.c_str(), "w");
    if (out == NULL) return 3;
    for (int i = 1; i < argc; ++i) fprintf(out, "<%s>\n", argv[i]);
    fclose(out);
    if (rename(partial.c_str(), record) != 0) return 4;
    Sleep(2000);
    out = fopen((std::string(record) + ".done").c_str(), "w");
    if (out != NULL) fclose(out);
    return 0;
}
