// Corvitt: the current user's stored preference for full-screen console
// windows, HKEY_CURRENT_USER\Console, value FullScreen (REG_DWORD).
// The DLL keeps no state and has no start-up or shut-down logic of its own.
#include "platform/win32.h"

// Stores `flag` as FullScreen when the stored value differs from it.
// Returns 1 when it differed (the write's own result is not looked at), 0
// when it was equal, and 0 without writing anything when the key can be
// neither opened nor created or the value is missing or not exactly 4 bytes
// long. A Console key that did not exist is created volatile and empty.
// Leaves no registry handle open.
extern "C" KIT_DLL_EXPORT DWORD WINAPI SetConsoleFullScreenMode(DWORD flag)
{
    HKEY hkey = NULL;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Console", 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL, &hkey,
                        &disposition) != ERROR_SUCCESS) {
        return 0;
    }

    DWORD type = 0;
    DWORD val = 0;
    DWORD size = sizeof val;
    // A shorter value would leave part of val undefined: it counts as
    // unreadable, like a longer one.
    if (RegQueryValueExA(hkey, "FullScreen", NULL, &type, reinterpret_cast<LPBYTE>(&val), &size) != ERROR_SUCCESS ||
        size != sizeof val) {
        RegCloseKey(hkey);
        return 0;
    }

    DWORD changed = val != flag ? 1 : 0;
    if (changed) {
        RegSetValueExA(hkey, "FullScreen", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flag), sizeof flag);
    }
    RegCloseKey(hkey);
    return changed;
}
