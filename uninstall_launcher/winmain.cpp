// Ambrel's Windows entry: all four arguments are ignored.
#include "platform/win32.h"
#include "uninstall_launcher/uninstall_launcher.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunUninstallLauncher();
}
