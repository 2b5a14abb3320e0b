// The main routine of _setup, the setup launcher, kept apart from WinMain so
// that tests can run it in their own process.
//
// The launcher shows one notice about the Windows Installer engine files
// (instmsiw.exe on NT-family systems, instmsia.exe on others; in Russian,
// code page 1251, when the system default locale is 1049, else in English),
// then starts _setup.EXE from its own directory, with its own directory as
// the current directory and `arguments` appended behind one blank, and waits
// for that process in slices of 330 ms. It opens no window, keeps no state
// and writes nothing.
#ifndef SETUP_LAUNCHER_SETUP_LAUNCHER_H
#define SETUP_LAUNCHER_SETUP_LAUNCHER_H

// The maker's web address named in both notices.
#define SETUP_MAKER_SITE "http://www.zelmar.example/"

// Runs the launcher once. `arguments` is the launcher's command line behind
// its own program name (WinMain's lpCmdLine); null counts as empty.
// Returns 0 once the installer process has ended (or the wait for it
// failed), whatever the installer's own exit code. Returns -1, after the
// notice and without starting anything, when the launcher's own path is not
// available in full, the installer's path does not fit into 260 bytes, or
// that path, a blank and `arguments` do not fit into the 512-byte command
// line; and -1 when the installer process cannot be created.
// Shows exactly one message box. The installer's process and thread handles
// are closed before it returns.
int RunSetupLauncher(const char* arguments);

#endif
