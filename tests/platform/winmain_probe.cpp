// Helper program of the entry test: a GUI-style program whose WinMain writes
// the command line it received to the file named by PROBE_OUT and returns
// its length (capped at 100), so the exit code shows WinMain's result too.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd) {
    (void)hInstance;
    (void)hPrevInstance;
    const char* out = getenv("PROBE_OUT");
    FILE* f = out ? fopen(out, "wb") : nullptr;
    if (f == nullptr) return 101;
    fprintf(f, "%d\n%s", nShowCmd, lpCmdLine);
    fclose(f);
    size_t n = strlen(lpCmdLine);
    return n > 100 ? 100 : static_cast<int>(n);
}
