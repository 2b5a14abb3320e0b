// Entry of setup.exe: the launcher gets the command line behind its own name.
#include "platform/win32.h"
#include "setup_launcher/setup_launcher.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR lpCmdLine, int)
{
    return RunSetupLauncher(lpCmdLine);
}
