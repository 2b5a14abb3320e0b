#include "setup_launcher/setup_launcher.h"

#include <stdio.h>
#include <string.h>

#include "launcher_common/path_parts.h"
#include "platform/win32.h"

namespace {

const LCID kLocaleRussian = 1049;
const DWORD kWaitSlice = 330;  // ms between looks at the installer
enum { kNoticeSize = 512, kOwnPathSize = 256, kCommandLineSize = 512 };

// Both notices take the platform letter ('w' or 'a') twice. "<path>" is
// literal text, not a placeholder.
const char kNoticeEnglish[] =
    "If you get a message\r\n\r\n\"1155: File <path>\\instmsi%c.exe not found\"\r\n\r\n"
    ", you must download the 'instmsi%c.exe' file from the Zelmar WEB site (" SETUP_MAKER_SITE
    ") and run it before installation.";

// The same notice in Russian, as code page 1251 bytes.
const char kNoticeRussian[] =
    "\xc5\xf1\xeb\xe8 \xe2\xee \xe2\xf0\xe5\xec\xff \xf3\xf1\xf2\xe0\xed\xee\xe2\xea\xe8 \xc2\xfb "
    "\xef\xee\xeb\xf3\xf7\xe8\xf2\xe5 \xf1\xee\xee\xe1\xf9\xe5\xed\xe8\xe5\r\n\r\n"
    "\"1155: \xd4\xe0\xe9\xeb <path>\\instmsi%c.exe \xed\xe5 \xed\xe0\xe9\xe4\xe5\xed\"\r\n\r\n"
    "\xf2\xee \xc2\xe0\xec \xed\xe5\xee\xe1\xf5\xee\xe4\xe8\xec\xee \xe7\xe0\xe3\xf0\xf3\xe7\xe8\xf2\xfc "
    "\xf4\xe0\xe9\xeb 'instmsi%c.exe' \xf1 \xf1\xe0\xe9\xf2\xe0 \xf4\xe8\xf0\xec\xfb "
    "'\xc7\xe5\xeb\xec\xe0\xf0' (" SETUP_MAKER_SITE
    ") \xe8 \xe7\xe0\xef\xf3\xf1\xf2\xe8\xf2\xfc \xe5\xe3\xee \xef\xe5\xf0\xe5\xe4 "
    "\xf3\xf1\xf2\xe0\xed\xee\xe2\xea\xee\xe9.";

// Each "%c" turns into one letter: two bytes fewer once formatted.
static_assert(sizeof(kNoticeEnglish) - 2 <= kNoticeSize, "English notice must fit its buffer");
static_assert(sizeof(kNoticeRussian) - 2 <= kNoticeSize, "Russian notice must fit its buffer");
static_assert(sizeof(OSVERSIONINFOA) == 148, "version record is 148 bytes");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(STARTUPINFOA) == 68, "start-up record is 68 bytes in the shipping build");
#endif

// Writes into commandLine (kCommandLineSize bytes) the installer's path,
// _setup.EXE in drive and dir, then one blank and the arguments. Returns
// false, with an empty commandLine, when it does not fit.
bool ComposeCommandLine(char* commandLine, const char* drive, const char* dir, const char* arguments)
{
    if (!JoinPath(commandLine, drive, dir, "_setup", "EXE")) return false;
    size_t used = strlen(commandLine);
    int added = snprintf(commandLine + used, kCommandLineSize - used, " %s", arguments);
    if (added < 0 || static_cast<size_t>(added) >= kCommandLineSize - used) {
        commandLine[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

int RunSetupLauncher(const char* arguments)
{
    if (arguments == NULL) arguments = "";

    LCID locale = GetSystemDefaultLCID();

    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);  // on failure the platform stays 0: letter 'a'
    char platformLetter = version.dwPlatformId == VER_PLATFORM_WIN32_NT ? 'w' : 'a';

    char notice[kNoticeSize];
    const char* format = locale == kLocaleRussian ? kNoticeRussian : kNoticeEnglish;
    snprintf(notice, sizeof notice, format, platformLetter, platformLetter);
    MessageBoxExA(NULL, notice, "ATTENTION!", MB_ICONEXCLAMATION, 0);

    // A result of 255 means the path was cut to the buffer: its directory
    // would not be the launcher's own.
    char ownPath[kOwnPathSize];
    memset(ownPath, 0, sizeof ownPath);
    DWORD ownLength = GetModuleFileNameA(NULL, ownPath, kOwnPathSize - 1);
    char drive[kPathDriveSize];
    char dir[kPathPartSize];
    char workDir[kPathSize];
    if (ownLength == 0 || ownLength >= kOwnPathSize - 1 || !SplitPath(ownPath, drive, dir, NULL, NULL) ||
        !JoinPath(workDir, drive, dir, NULL, NULL)) {
        return -1;
    }

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;

    char commandLine[kCommandLineSize];
    if (!ComposeCommandLine(commandLine, drive, dir, arguments)) return -1;

    PROCESS_INFORMATION process;
    memset(&process, 0, sizeof process);
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, workDir, &startup, &process)) return -1;

    while (WaitForSingleObject(process.hProcess, kWaitSlice) == WAIT_TIMEOUT) {
        Sleep(0);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
