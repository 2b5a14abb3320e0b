// System information on the host: the default locale from KIT_LCID or the
// POSIX locale, the version record with the platform from KIT_PLATFORM_ID,
// and the module file name from /proc/self/exe.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "platform/host/internal.h"
#include "platform/testing.h"

namespace {

struct SystemInfoState {
    bool hasLcid = false;
    LCID lcid = 0;
    bool hasPlatformId = false;
    DWORD platformId = 0;
    bool hasModuleFileName = false;
    std::string moduleFileName;
};

SystemInfoState& State() {
    static SystemInfoState state;
    return state;
}

// A decimal number that fills the whole text.
bool ParseDecimal(const char* text, DWORD* number) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    char* end = nullptr;
    unsigned long value = strtoul(text, &end, 10);
    if (*end != '\0' || value > 0xFFFFFFFFul) return false;
    *number = static_cast<DWORD>(value);
    return true;
}

const char* LocaleName() {
    const char* all = getenv("LC_ALL");
    if (all != nullptr && *all != '\0') return all;
    const char* lang = getenv("LANG");
    return lang ? lang : "";
}

}  // namespace

LCID WINAPI GetSystemDefaultLCID(void) {
    DWORD error;
    if (kit_host::InjectedFailure("GetSystemDefaultLCID", &error)) return 0;
    if (State().hasLcid) return State().lcid;
    DWORD lcid;
    if (ParseDecimal(getenv("KIT_LCID"), &lcid)) return lcid;
    return strncmp(LocaleName(), "ru", 2) == 0 ? 1049 : 1033;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    DWORD error;
    if (kit_host::InjectedFailure("GetVersionExA", &error)) return FALSE;
    if (lpVersionInformation == nullptr || lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        kit_host::SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD platform = VER_PLATFORM_WIN32_NT;
    if (State().hasPlatformId) {
        platform = State().platformId;
    } else {
        DWORD fromEnv;
        if (ParseDecimal(getenv("KIT_PLATFORM_ID"), &fromEnv)) platform = fromEnv;
    }
    // Windows XP SP3 on the NT platform, Windows 98 SE on the others.
    bool nt = platform == VER_PLATFORM_WIN32_NT;
    lpVersionInformation->dwMajorVersion = nt ? 5 : 4;
    lpVersionInformation->dwMinorVersion = nt ? 1 : 10;
    lpVersionInformation->dwBuildNumber = nt ? 2600 : 2222;
    lpVersionInformation->dwPlatformId = platform;
    memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
    strcpy(lpVersionInformation->szCSDVersion, nt ? "Service Pack 3" : " A ");
    return TRUE;
}

namespace kit_host {

std::string ModuleFileName() {
    if (State().hasModuleFileName) return State().moduleFileName;
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n < 0) return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

void ResetSystemInfo() { State() = SystemInfoState(); }

}  // namespace kit_host

// Windows Vista and later: a name that does not fit is cut to nSize - 1
// characters plus the terminator, and the result is nSize.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    (void)hModule;  // the host layer knows only the program's own module
    DWORD error;
    if (kit_host::InjectedFailure("GetModuleFileNameA", &error)) return 0;
    std::string name = kit_host::ModuleFileName();
    if (name.empty()) {
        kit_host::SetLastErrorCode(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (nSize == 0 || lpFilename == nullptr) {
        kit_host::SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (name.size() < nSize) {
        memcpy(lpFilename, name.c_str(), name.size() + 1);
        return static_cast<DWORD>(name.size());
    }
    memcpy(lpFilename, name.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    kit_host::SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

namespace kit_test {

void SetModuleFileName(const std::string& path) {
    State().hasModuleFileName = true;
    State().moduleFileName = path;
}

void SetSystemDefaultLCID(LCID lcid) {
    State().hasLcid = true;
    State().lcid = lcid;
}

void SetPlatformId(DWORD platformId) {
    State().hasPlatformId = true;
    State().platformId = platformId;
}

}  // namespace kit_test
