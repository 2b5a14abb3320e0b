// File replacement on the host.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/host/internal.h"

// Renames a file. Without MOVEFILE_REPLACE_EXISTING an existing target is an
// error (ERROR_ALREADY_EXISTS) and stays untouched; with it the target is
// replaced in one step. A directory is never replaced.
BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    DWORD error;
    if (kit_host::InjectedFailure("MoveFileExA", &error)) return FALSE;
    if (lpExistingFileName == nullptr || lpNewFileName == nullptr) {
        kit_host::SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int result;
    if (dwFlags & MOVEFILE_REPLACE_EXISTING) {
        struct stat target;
        if (stat(lpNewFileName, &target) == 0 && S_ISDIR(target.st_mode)) {
            kit_host::SetLastErrorCode(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        result = rename(lpExistingFileName, lpNewFileName);
    } else {
        result = renameat2(AT_FDCWD, lpExistingFileName, AT_FDCWD, lpNewFileName, RENAME_NOREPLACE);
        if (result != 0 && errno == EINVAL) {
            // A file system without the no-replace rename: check, then rename.
            struct stat target;
            if (lstat(lpNewFileName, &target) == 0) {
                errno = EEXIST;
            } else {
                result = rename(lpExistingFileName, lpNewFileName);
            }
        }
    }
    if (result != 0) {
        kit_host::SetLastErrorCode(kit_host::ErrorFromErrno(errno));
        return FALSE;
    }
    if (dwFlags & MOVEFILE_WRITE_THROUGH) sync();
    return TRUE;
}
