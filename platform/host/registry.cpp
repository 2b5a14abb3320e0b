// The host registry: an in-memory tree behind Win32-style key handles,
// loaded from the .reg file named by KIT_REGISTRY at the first registry call
// and written back to it (non-volatile keys only) after every change.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "platform/host/internal.h"
#include "platform/host/regtree.h"
#include "platform/testing.h"

namespace {

// An open key: which root, the path below it, and the rights asked for.
// Keys are found again by path on every call, so a handle whose key has gone
// (the registry was replaced) reports ERROR_KEY_DELETED instead of dangling.
struct KeyHandle {
    HKEY root;
    std::vector<std::string> path;
    REGSAM access;
};

struct RegistryState {
    kit_host::RegTree tree;
    bool loaded = false;   // false until the first call of the process
    std::string file;      // where changes are written; empty: memory only
    std::set<KeyHandle*> handles;
};

RegistryState& State() {
    static RegistryState state;
    return state;
}

bool ReadWholeFile(const std::string& path, std::string* text, int* err) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) {
        *err = errno;
        return false;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, n);
    bool ok = !ferror(f);
    *err = ok ? 0 : EIO;
    fclose(f);
    return ok;
}

// Loads KIT_REGISTRY once per process (or per RestartRegistry). A missing
// file is an empty registry that the first change creates; an unreadable or
// malformed file gives one line on stderr and an empty registry, and is never
// overwritten.
void EnsureLoaded() {
    RegistryState& state = State();
    if (state.loaded) return;
    state.loaded = true;
    state.tree.Clear();
    state.file.clear();
    const char* path = getenv("KIT_REGISTRY");
    if (path == nullptr || *path == '\0') return;
    std::string text;
    int err = 0;
    if (!ReadWholeFile(path, &text, &err)) {
        if (err == ENOENT) state.file = path;
        else fprintf(stderr, "kit registry: cannot read %s: %s; the registry starts empty\n", path, strerror(err));
        return;
    }
    std::string error;
    int line = 0;
    if (!kit_host::ParseRegText(text, &state.tree, &error, &line)) {
        fprintf(stderr, "kit registry: %s:%d: %s; the registry starts empty\n", path, line, error.c_str());
        return;
    }
    state.file = path;
}

// Writes the non-volatile tree to the registry file through a temporary file
// and a rename, so the file is always either the old or the new whole text.
void Persist() {
    RegistryState& state = State();
    if (state.file.empty()) return;
    std::string text = kit_host::WriteRegText(state.tree, false);
    std::string temp = state.file + ".tmp." + std::to_string(getpid());
    FILE* f = fopen(temp.c_str(), "wb");
    bool ok = f != nullptr;
    if (ok) {
        ok = fwrite(text.data(), 1, text.size(), f) == text.size();
        ok = (fflush(f) == 0) && ok;
        ok = (fsync(fileno(f)) == 0) && ok;
        ok = (fclose(f) == 0) && ok;
    }
    if (ok) ok = rename(temp.c_str(), state.file.c_str()) == 0;
    if (!ok) {
        fprintf(stderr, "kit registry: cannot write %s: %s\n", state.file.c_str(), strerror(errno));
        unlink(temp.c_str());
    }
}

bool IsRoot(HKEY key) { return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER; }

// The key behind a handle, with the handle's root, path and rights. Loads
// the registry first, as every call that takes a key does.
LSTATUS Resolve(HKEY hKey, kit_host::RegKey** key, KeyHandle* where) {
    EnsureLoaded();
    RegistryState& state = State();
    if (IsRoot(hKey)) {
        where->root = hKey;
        where->path.clear();
        where->access = KEY_ALL_ACCESS;
        *key = state.tree.Root(hKey);
        return ERROR_SUCCESS;
    }
    KeyHandle* handle = reinterpret_cast<KeyHandle*>(hKey);
    if (state.handles.count(handle) == 0) return ERROR_INVALID_HANDLE;
    *where = *handle;
    kit_host::RegKey* found = state.tree.Root(handle->root);
    for (const std::string& part : handle->path) {
        found = found->FindSubkey(part);
        if (found == nullptr) return ERROR_KEY_DELETED;
    }
    *key = found;
    return ERROR_SUCCESS;
}

HKEY NewHandle(const KeyHandle& where) {
    KeyHandle* handle = new KeyHandle(where);
    State().handles.insert(handle);
    return reinterpret_cast<HKEY>(handle);
}

bool InjectedFailure(const char* function, LSTATUS* result) {
    DWORD error;
    if (!kit_host::InjectedFailure(function, &error)) return false;
    *result = static_cast<LSTATUS>(error);
    return true;
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    (void)ulOptions;
    LSTATUS result;
    if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (InjectedFailure("RegOpenKeyExA", &result)) return result;
    kit_host::RegKey* key;
    KeyHandle where;
    result = Resolve(hKey, &key, &where);
    if (result != ERROR_SUCCESS) return result;
    for (const std::string& part : kit_host::SplitKeyPath(lpSubKey ? lpSubKey : "")) {
        key = key->FindSubkey(part);
        if (key == nullptr) return ERROR_FILE_NOT_FOUND;
        where.path.push_back(key->name);
    }
    where.access = samDesired;
    *phkResult = NewHandle(where);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                               REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
    (void)Reserved;
    (void)lpClass;
    (void)lpSecurityAttributes;
    LSTATUS result;
    if (phkResult == nullptr || lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (InjectedFailure("RegCreateKeyExA", &result)) return result;
    kit_host::RegKey* key;
    KeyHandle where;
    result = Resolve(hKey, &key, &where);
    if (result != ERROR_SUCCESS) return result;
    bool isVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
    bool created = false;
    for (const std::string& part : kit_host::SplitKeyPath(lpSubKey)) {
        kit_host::RegKey* sub = key->FindSubkey(part);
        if (sub == nullptr) {
            // A volatile key's contents vanish with it, so its subkeys must
            // be volatile too.
            if (key->isVolatile && !isVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
            std::unique_ptr<kit_host::RegKey> fresh(new kit_host::RegKey());
            fresh->name = part;
            fresh->isVolatile = isVolatile;
            sub = fresh.get();
            key->subkeys.push_back(std::move(fresh));
            created = true;
        }
        key = sub;
        where.path.push_back(key->name);
    }
    if (created && !isVolatile) Persist();
    where.access = samDesired;
    *phkResult = NewHandle(where);
    if (lpdwDisposition != nullptr) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
    LSTATUS result;
    if (InjectedFailure("RegQueryValueExA", &result)) return result;
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) return ERROR_INVALID_PARAMETER;
    kit_host::RegKey* key;
    KeyHandle where;
    result = Resolve(hKey, &key, &where);
    if (result != ERROR_SUCCESS) return result;
    if ((where.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    kit_host::RegValue* value = key->FindValue(lpValueName ? lpValueName : "");
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (lpType != nullptr) *lpType = value->type;
    if (lpData == nullptr) {
        if (lpcbData != nullptr) *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < size) {
        *lpcbData = size;  // the buffer is left as it was
        return ERROR_MORE_DATA;
    }
    if (size > 0) memcpy(lpData, value->data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                              DWORD cbData) {
    (void)Reserved;
    LSTATUS result;
    if (InjectedFailure("RegSetValueExA", &result)) return result;
    if (lpData == nullptr && cbData > 0) return ERROR_INVALID_PARAMETER;
    kit_host::RegKey* key;
    KeyHandle where;
    result = Resolve(hKey, &key, &where);
    if (result != ERROR_SUCCESS) return result;
    if ((where.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    key->SetValue(lpValueName ? lpValueName : "", dwType, lpData, cbData);
    if (!key->isVolatile) Persist();
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    LSTATUS result;
    if (InjectedFailure("RegDeleteValueA", &result)) return result;
    kit_host::RegKey* key;
    KeyHandle where;
    result = Resolve(hKey, &key, &where);
    if (result != ERROR_SUCCESS) return result;
    if ((where.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (!key->DeleteValue(lpValueName ? lpValueName : "")) return ERROR_FILE_NOT_FOUND;
    if (!key->isVolatile) Persist();
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    LSTATUS result;
    if (InjectedFailure("RegCloseKey", &result)) return result;
    if (IsRoot(hKey)) return ERROR_SUCCESS;
    KeyHandle* handle = reinterpret_cast<KeyHandle*>(hKey);
    if (State().handles.erase(handle) == 0) return ERROR_INVALID_HANDLE;
    delete handle;
    return ERROR_SUCCESS;
}

namespace kit_host {

void ResetRegistry() {
    RegistryState& state = State();
    state.tree.Clear();
    state.loaded = true;
    state.file.clear();
    for (KeyHandle* handle : state.handles) delete handle;
    state.handles.clear();
}

}  // namespace kit_host

namespace kit_test {

bool LoadRegistryText(const std::string& regText) {
    EnsureLoaded();
    std::string error;
    int line = 0;
    bool ok = kit_host::ParseRegText(regText, &State().tree, &error, &line);
    Persist();
    return ok;
}

std::string ExportRegistryText() {
    EnsureLoaded();
    return kit_host::WriteRegText(State().tree, true);
}

bool KeyExists(HKEY root, const std::string& path) {
    EnsureLoaded();
    kit_host::RegKey* base = State().tree.Root(root);
    return base != nullptr && kit_host::FindKey(base, path) != nullptr;
}

bool KeyIsVolatile(HKEY root, const std::string& path) {
    EnsureLoaded();
    kit_host::RegKey* base = State().tree.Root(root);
    kit_host::RegKey* key = base ? kit_host::FindKey(base, path) : nullptr;
    return key != nullptr && key->isVolatile;
}

size_t OpenRegistryHandles() { return State().handles.size(); }

void RestartRegistry() {
    RegistryState& state = State();
    state.loaded = false;
    state.tree.Clear();
    state.file.clear();
}

}  // namespace kit_test
