#include "uninstall_launcher/uninstall_launcher.h"

#include <stdio.h>
#include <string.h>
#include "ini/access.h"
#include "ini/inistream.h"
#include "launcher_common/path_parts.h"
#include "platform/win32.h"

const char kUninstallFailureText[] =
    "Unable to locate information required for initializing uninstallation. "
    "Use 'Control Panel' -> 'Add/Remove Programs' to uninstall this product.";

// The start-up record has the 32-bit Windows layout of 68 bytes there.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68, "STARTUPINFOA must be 68 bytes in a 32-bit build");

namespace {

const char kUninstallKeyFormat[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s";

enum { kOwnPathSize = 256, kCommandSize = 1024 };

int ShowFailure() {
    MessageBoxExA(NULL, kUninstallFailureText, "Error", MB_ICONHAND, 0);
    return -1;
}

// Copies ProductName of section Info into productName (kPathSize bytes, 260).
// Get copies up to 1023 characters, so it reads into the 1024-byte scratch
// area first; a name of kPathSize characters or more is refused rather than
// cut, since a cut name would name another product's key. Returns 0 with an
// empty productName when there is no usable name.
int ReadProductName(INIStream& stream, char* scratch, char* productName) {
    scratch[0] = '\0';
    INIReadRequest request("ProductName", scratch, "");
    strcpy(stream.currentSection, "Info");
    stream.Get(request);
    productName[0] = '\0';
    size_t length = strlen(scratch);
    if (length == 0 || length >= kPathSize) return 0;
    memcpy(productName, scratch, length + 1);
    return 1;
}

// Reads UninstallString of the product's uninstall key into command
// (kCommandSize bytes, used first for the key path). The key is closed again
// before this returns. Returns 0 when the key or a non-empty, zero-terminated
// value of at most kCommandSize bytes is not there.
int ReadUninstallCommand(const char* productName, char* command) {
    snprintf(command, kCommandSize, kUninstallKeyFormat, productName);
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, command, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    DWORD type = 0;
    DWORD size = kCommandSize;
    command[0] = '\0';
    LSTATUS status = RegQueryValueExA(key, "UninstallString", NULL, &type, (LPBYTE)command, &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return 0;
    // A string may be stored without its terminating zero: a shorter one is
    // ended where its data end; one that fills the whole buffer is refused,
    // since there is no room left to end it.
    if (size < kCommandSize) {
        command[size] = '\0';
    } else if (memchr(command, '\0', kCommandSize) == NULL) {
        command[0] = '\0';
        return 0;
    }
    return command[0] != '\0';
}

// Starts the command line as it stands, in the launcher's own current
// directory and environment. The returned handles are not needed.
int StartUninstaller(char* command) {
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

}  // namespace

int ComposeIniPath(const char* ownPath, char* iniPath) {
    char drive[kPathDriveSize];
    char dir[kPathPartSize];
    iniPath[0] = '\0';
    if (!SplitPath(ownPath, drive, dir, NULL, NULL)) return 0;
    return JoinPath(iniPath, drive, dir, "uninst", "ini");
}

// The failure exit shows the notice and returns -1. The stream is a local of
// this routine, so returning also destroys it; as it is read-only, its
// destruction writes nothing and only releases memory, and the run ends with
// no further effect that anyone could see.
int RunUninstallLauncher() {
    // Cleared first: a module file name cut at 255 characters may come back
    // without its terminating zero.
    char ownPath[kOwnPathSize] = {0};
    // First the path of uninst.ini, then the product name.
    char iniPathThenName[kPathSize];
    // First a scratch area for the product name, then the key path, then the
    // uninstall command.
    char command[kCommandSize];

    // No path at all would leave uninst.ini to be looked for in the current
    // directory, and a path of 255 characters may have been cut inside a
    // directory name: both are failures rather than a guess.
    DWORD length = GetModuleFileNameA(NULL, ownPath, kOwnPathSize - 1);
    if (length == 0 || length >= kOwnPathSize - 1) return ShowFailure();
    if (!ComposeIniPath(ownPath, iniPathThenName)) return ShowFailure();

    INIStream stream(iniPathThenName, 1);
    if (!ReadProductName(stream, command, iniPathThenName)) return ShowFailure();
    if (!ReadUninstallCommand(iniPathThenName, command)) return ShowFailure();
    if (!StartUninstaller(command)) return ShowFailure();
    return 0;
}
