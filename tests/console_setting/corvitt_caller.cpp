// corvitt_caller LIBRARY FLAG: loads the Corvitt library the way an outside
// program would (LoadLibraryA on Windows, dlopen on the host), calls
// SetConsoleFullScreenMode(FLAG) and prints its result on one line.
// On Windows it also checks that the export found by name is the one at
// ordinal 1. Exit code 0 after the call; 2 for bad usage; 3 when the library
// or the function cannot be found.
#include <stdio.h>
#include <stdlib.h>

#include "platform/win32.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

typedef DWORD(WINAPI* SetModeFunction)(DWORD);

namespace {

#ifdef _WIN32
SetModeFunction Load(const char* path)
{
    HMODULE library = LoadLibraryA(path);
    if (library == NULL) return NULL;
    void* byName = reinterpret_cast<void*>(GetProcAddress(library, "SetConsoleFullScreenMode"));
    void* byOrdinal = reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(1)));
    if (byName == NULL || byName != byOrdinal) {
        fprintf(stderr, "corvitt_caller: SetConsoleFullScreenMode by name %p, ordinal 1 %p\n", byName, byOrdinal);
        return NULL;
    }
    return reinterpret_cast<SetModeFunction>(byName);
}
#else
SetModeFunction Load(const char* path)
{
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "corvitt_caller: %s\n", dlerror());
        return NULL;
    }
    return reinterpret_cast<SetModeFunction>(dlsym(library, "SetConsoleFullScreenMode"));
}
#endif

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: corvitt_caller LIBRARY FLAG\n");
        return 2;
    }
    char* end = NULL;
    unsigned long flag = strtoul(argv[2], &end, 0);
    if (*argv[2] == '\0' || *end != '\0') {
        fprintf(stderr, "corvitt_caller: bad flag '%s'\n", argv[2]);
        return 2;
    }
    SetModeFunction setMode = Load(argv[1]);
    if (setMode == NULL) {
        fprintf(stderr, "corvitt_caller: SetConsoleFullScreenMode not found in %s\n", argv[1]);
        return 3;
    }
    DWORD result = setMode(static_cast<DWORD>(flag));
    printf("%lu\n", static_cast<unsigned long>(result));
    return 0;
}
