// The host registry's data: a tree of keys with typed values under the two
// roots, and its .reg text form (the REGEDIT4 format regedit exports).
#ifndef PLATFORM_HOST_REGTREE_H
#define PLATFORM_HOST_REGTREE_H

#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace kit_host {

// One named value; the data are the bytes as stored, whatever the type.
struct RegValue {
    std::string name;  // empty for the unnamed (default) value
    DWORD type;
    std::vector<BYTE> data;
};

// One key. Owns its values and subkeys; names keep the case they were
// created with and are compared without regard to ASCII case. A volatile
// key's subkeys are all volatile.
struct RegKey {
    std::string name;
    bool isVolatile = false;
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegKey>> subkeys;

    RegKey* FindSubkey(const std::string& keyName) const;
    RegValue* FindValue(const std::string& valueName);
    void SetValue(const std::string& valueName, DWORD type, const BYTE* data, size_t size);
    bool DeleteValue(const std::string& valueName);
    bool DeleteSubkey(const std::string& keyName);
};

bool SameName(const std::string& a, const std::string& b);

// The two roots. Keys are reached by path from a root.
struct RegTree {
    RegKey localMachine;
    RegKey currentUser;

    RegTree();
    void Clear();
    // Root key for HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER, else null.
    RegKey* Root(HKEY root);
};

// Components of a key path split at backslashes; empty components (leading,
// trailing or doubled backslashes) are dropped.
std::vector<std::string> SplitKeyPath(const std::string& path);

// The key at `path` below `from`, or null.
RegKey* FindKey(RegKey* from, const std::string& path);

// Parses .reg text into *tree (cleared first). On malformed text returns
// false, leaves *tree empty, and describes the fault in *error with its line
// number in *line. A comment line "; volatile" just before a key line makes
// that key volatile (ExportText writes it so).
bool ParseRegText(const std::string& text, RegTree* tree, std::string* error, int* line);

// The tree as .reg text: header, then every key depth first in creation
// order with its values. Volatile keys are left out unless
// `includeVolatile`, in which case each is preceded by "; volatile".
std::string WriteRegText(const RegTree& tree, bool includeVolatile);

}  // namespace kit_host

#endif
