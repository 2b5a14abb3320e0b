// Last error, failure injection and the reset of the whole layer.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <string>

#include "platform/host/internal.h"
#include "platform/testing.h"

namespace {

thread_local DWORD lastError = 0;

struct ArmedFailure {
    DWORD error;
    int remaining;  // negative: every call until the next Reset
};

std::map<std::string, ArmedFailure>& Failures() {
    static std::map<std::string, ArmedFailure> failures;
    return failures;
}

const char* const kFunctions[] = {
    "RegOpenKeyExA", "RegCreateKeyExA", "RegQueryValueExA", "RegSetValueExA", "RegDeleteValueA",
    "RegCloseKey", "CreateProcessA", "WaitForSingleObject", "GetExitCodeProcess", "CloseHandle",
    "Sleep", "GetSystemDefaultLCID", "GetVersionExA", "GetModuleFileNameA", "GetLastError",
    "GlobalAlloc", "GlobalLock", "GlobalUnlock", "GlobalFree", "MoveFileExA",
    "MessageBoxA", "MessageBoxExA",
};

}  // namespace

namespace kit_host {

void SetLastErrorCode(DWORD error) { lastError = error; }

bool InjectedFailure(const char* function, DWORD* error) {
    std::map<std::string, ArmedFailure>& failures = Failures();
    std::map<std::string, ArmedFailure>::iterator it = failures.find(function);
    if (it == failures.end()) return false;
    *error = it->second.error;
    if (it->second.remaining > 0 && --it->second.remaining == 0) failures.erase(it);
    lastError = *error;
    return true;
}

bool IsKnownFunction(const char* function) {
    for (const char* name : kFunctions) {
        if (strcmp(name, function) == 0) return true;
    }
    return false;
}

DWORD ErrorFromErrno(int err) {
    switch (err) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return ERROR_ACCESS_DENIED;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case EXDEV: return ERROR_NOT_SAME_DEVICE;
        case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
        default: return ERROR_INVALID_PARAMETER;
    }
}

}  // namespace kit_host

// An injected failure answers the chosen error once and keeps the stored one.
DWORD WINAPI GetLastError(void) {
    DWORD stored = lastError;
    DWORD error;
    if (kit_host::InjectedFailure("GetLastError", &error)) {
        lastError = stored;
        return error;
    }
    return lastError;
}

namespace kit_test {

void Reset() {
    Failures().clear();
    lastError = 0;
    kit_host::ResetRegistry();
    kit_host::ResetProcesses();
    kit_host::ResetMessageBoxes();
    kit_host::ResetSystemInfo();
    kit_host::ResetGlobalMemory();
}

void FailCall(const std::string& function, DWORD error, int count) {
    if (!kit_host::IsKnownFunction(function.c_str())) {
        fprintf(stderr, "kit_test::FailCall: no function named \"%s\" in the platform layer\n", function.c_str());
        return;
    }
    if (count == 0) {
        Failures().erase(function);
        return;
    }
    ArmedFailure failure = {error, count};
    Failures()[function] = failure;
}

}  // namespace kit_test
