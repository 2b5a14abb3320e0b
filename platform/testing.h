// Test-only interface of the host platform layer: inject a registry, read
// back what a user would have seen and what was started, make a named call
// fail, count live global blocks and open registry handles. Host builds only.
#ifndef PLATFORM_TESTING_H
#define PLATFORM_TESTING_H

#include <string>
#include <vector>
#include "platform/win32.h"

namespace kit_test {

// Back to a fresh process: empty in-memory registry (KIT_REGISTRY is not
// consulted after a Reset), no recorded boxes or processes, no injected
// failures, default module file name, locale and platform.
void Reset();

// Replaces the registry with the content of a .reg text (REGEDIT4 format).
// Returns false (registry left empty) when the text is malformed.
bool LoadRegistryText(const std::string& regText);
// The registry as .reg text (volatile keys included, marked by a comment).
std::string ExportRegistryText();
// Whether a key exists, and whether it is volatile.
bool KeyExists(HKEY root, const std::string& path);
bool KeyIsVolatile(HKEY root, const std::string& path);
// Number of registry handles currently open.
size_t OpenRegistryHandles();
// Forgets the in-memory registry as the end of a process does (volatile keys
// vanish); the next registry call loads KIT_REGISTRY again, as the first
// registry call of a new process does. Open handles stay counted.
void RestartRegistry();

struct ShownBox {
    std::string function;  // "MessageBoxA" or "MessageBoxExA"
    std::string caption;
    std::string text;
    unsigned style;
    unsigned language;     // 0 for MessageBoxA
};
const std::vector<ShownBox>& MessageBoxes();

struct StartedProcess {
    bool hasApplicationName;
    std::string applicationName;
    std::string commandLine;
    bool hasCurrentDirectory;
    std::string currentDirectory;
    bool inheritHandles;
    DWORD creationFlags;
    bool hasEnvironment;
    STARTUPINFOA startup;  // copied as passed (zero when none was passed)
    bool succeeded;        // whether CreateProcessA returned non-zero
};
// Every CreateProcessA call in order, also the failed ones.
const std::vector<StartedProcess>& StartedProcesses();

// When on, CreateProcessA records the call and starts nothing; the handle it
// returns reports WAIT_TIMEOUT for `timeoutsBeforeEnd` waits, then ends.
// When off (default), a real process is started.
void SimulateProcesses(bool on, int timeoutsBeforeEnd = 0);
// Number of WaitForSingleObject and Sleep calls made, and their arguments.
const std::vector<DWORD>& WaitTimeouts();
const std::vector<DWORD>& SleepCalls();

// The next `count` calls of the named function (e.g. "RegOpenKeyExA",
// "CreateProcessA", "GlobalAlloc", "GetVersionExA") fail with `error`: the
// registry functions return it, the others return their failure value and
// leave it as the last error. A negative count fails every call until the
// next Reset; 0 disarms. An unknown name is reported on stderr.
void FailCall(const std::string& function, DWORD error, int count = 1);

void SetModuleFileName(const std::string& path);
void SetSystemDefaultLCID(LCID lcid);
void SetPlatformId(DWORD platformId);

// Global memory blocks allocated and not yet freed.
size_t LiveGlobalBlocks();

}  // namespace kit_test

#endif
