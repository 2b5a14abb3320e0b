// The entry logic of Ambrel, the uninstall launcher, kept apart from WinMain
// so that tests can run it in their own process.
//
// Ambrel lies in the product's installation directory beside uninst.ini. It
// reads ProductName from the section Info of that file, opens
//   HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<name>
// reads its value UninstallString and starts that command line as it stands
// (no quoting, no expansion), without waiting for it. Nothing is written to
// the file or the registry.
#ifndef UNINSTALL_LAUNCHER_UNINSTALL_LAUNCHER_H
#define UNINSTALL_LAUNCHER_UNINSTALL_LAUNCHER_H

// The one notice shown on every failure, with caption "Error".
extern const char kUninstallFailureText[];

// Runs the launcher once. Returns 0 when the uninstaller process has been
// created, or -1 after the failure notice has been shown (own path not
// available, no product name, product name of 260 characters or more, no
// uninstall key, no usable UninstallString, process not created). Shows at
// most one message box. Single-threaded; keeps no state between calls.
int RunUninstallLauncher();

// Writes into iniPath (260 bytes) the path of uninst.ini in the directory of
// ownPath: its drive (a letter and colon, if present) and its directory (up
// to and including the last backslash or slash), a backslash if that
// directory is not empty and does not already end in one, then "uninst.ini".
// Returns 0 with an empty iniPath when the result would not fit.
int ComposeIniPath(const char* ownPath, char* iniPath);

#endif
