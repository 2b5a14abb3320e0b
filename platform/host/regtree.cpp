// The registry tree and its .reg text reader and writer.
#include "platform/host/regtree.h"

#include <stdio.h>
#include <string.h>

namespace kit_host {

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

RegKey* RegKey::FindSubkey(const std::string& keyName) const {
    for (const std::unique_ptr<RegKey>& key : subkeys) {
        if (SameName(key->name, keyName)) return key.get();
    }
    return nullptr;
}

RegValue* RegKey::FindValue(const std::string& valueName) {
    for (RegValue& value : values) {
        if (SameName(value.name, valueName)) return &value;
    }
    return nullptr;
}

void RegKey::SetValue(const std::string& valueName, DWORD type, const BYTE* data, size_t size) {
    RegValue* value = FindValue(valueName);
    if (value == nullptr) {
        values.push_back(RegValue());
        value = &values.back();
        value->name = valueName;
    }
    value->type = type;
    value->data.assign(data, data + size);
}

bool RegKey::DeleteValue(const std::string& valueName) {
    for (size_t i = 0; i < values.size(); ++i) {
        if (SameName(values[i].name, valueName)) {
            values.erase(values.begin() + i);
            return true;
        }
    }
    return false;
}

bool RegKey::DeleteSubkey(const std::string& keyName) {
    for (size_t i = 0; i < subkeys.size(); ++i) {
        if (SameName(subkeys[i]->name, keyName)) {
            subkeys.erase(subkeys.begin() + i);
            return true;
        }
    }
    return false;
}

RegTree::RegTree() {
    localMachine.name = "HKEY_LOCAL_MACHINE";
    currentUser.name = "HKEY_CURRENT_USER";
}

void RegTree::Clear() {
    localMachine.values.clear();
    localMachine.subkeys.clear();
    currentUser.values.clear();
    currentUser.subkeys.clear();
}

RegKey* RegTree::Root(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return &localMachine;
    if (root == HKEY_CURRENT_USER) return &currentUser;
    return nullptr;
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

RegKey* FindKey(RegKey* from, const std::string& path) {
    RegKey* key = from;
    for (const std::string& part : SplitKeyPath(path)) {
        key = key->FindSubkey(part);
        if (key == nullptr) return nullptr;
    }
    return key;
}

// ---------------------------------------------------------------------------
// Reader

namespace {

std::string Trim(const std::string& s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && (s[begin] == ' ' || s[begin] == '\t')) ++begin;
    while (end > begin && (s[end - 1] == ' ' || s[end - 1] == '\t')) --end;
    return s.substr(begin, end - begin);
}

bool StartsWithNoCase(const std::string& s, size_t at, const char* prefix) {
    size_t n = strlen(prefix);
    if (s.size() < at + n) return false;
    return SameName(s.substr(at, n), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses hex digits at s[*i], at most `maxDigits`; false when there are none
// or too many.
bool ParseHexNumber(const std::string& s, size_t* i, size_t maxDigits, DWORD* number) {
    size_t start = *i;
    DWORD n = 0;
    while (*i < s.size() && HexDigit(s[*i]) >= 0) {
        n = n * 16 + static_cast<DWORD>(HexDigit(s[*i]));
        ++*i;
    }
    size_t digits = *i - start;
    if (digits == 0 || digits > maxDigits) return false;
    *number = n;
    return true;
}

// Reads a quoted string with \\ and \" escapes starting at s[*i] == '"'.
bool ParseQuoted(const std::string& s, size_t* i, std::string* out, std::string* error) {
    out->clear();
    ++*i;
    while (*i < s.size()) {
        char c = s[*i];
        if (c == '"') {
            ++*i;
            return true;
        }
        if (c == '\\') {
            if (*i + 1 >= s.size() || (s[*i + 1] != '\\' && s[*i + 1] != '"')) {
                *error = "unknown escape in a quoted string (only \\\\ and \\\" are allowed)";
                return false;
            }
            ++*i;
            c = s[*i];
        }
        out->push_back(c);
        ++*i;
    }
    *error = "quoted string without its closing quote";
    return false;
}

// Comma-separated two-digit hex bytes; blanks around them are allowed.
bool ParseHexBytes(const std::string& s, std::vector<BYTE>* bytes, std::string* error) {
    std::string list = Trim(s);
    if (list.empty()) return true;
    size_t i = 0;
    while (true) {
        while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
        DWORD byte;
        if (!ParseHexNumber(list, &i, 2, &byte)) {
            *error = "bad byte in a hex list (two hex digits expected)";
            return false;
        }
        bytes->push_back(static_cast<BYTE>(byte));
        while (i < list.size() && (list[i] == ' ' || list[i] == '\t')) ++i;
        if (i == list.size()) return true;
        if (list[i] != ',') {
            *error = "bad separator in a hex list (comma expected)";
            return false;
        }
        ++i;
    }
}

struct ParsedValue {
    bool isDeletion = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

bool ParseValueData(const std::string& text, ParsedValue* value, std::string* error) {
    std::string s = Trim(text);
    if (s == "-") {
        value->isDeletion = true;
        return true;
    }
    if (!s.empty() && s[0] == '"') {
        size_t i = 0;
        std::string str;
        if (!ParseQuoted(s, &i, &str, error)) return false;
        if (i != s.size()) {
            *error = "text after the closing quote of a string value";
            return false;
        }
        value->type = REG_SZ;
        value->data.assign(str.begin(), str.end());
        value->data.push_back(0);
        return true;
    }
    if (StartsWithNoCase(s, 0, "dword:")) {
        size_t i = 6;
        DWORD number;
        if (!ParseHexNumber(s, &i, 8, &number) || i != s.size()) {
            *error = "bad dword value (1 to 8 hex digits expected)";
            return false;
        }
        value->type = REG_DWORD;
        for (int b = 0; b < 4; ++b) value->data.push_back(static_cast<BYTE>(number >> (8 * b)));
        return true;
    }
    if (StartsWithNoCase(s, 0, "hex:")) {
        value->type = REG_BINARY;
        return ParseHexBytes(s.substr(4), &value->data, error);
    }
    if (StartsWithNoCase(s, 0, "hex(")) {
        size_t i = 4;
        DWORD type;
        if (!ParseHexNumber(s, &i, 8, &type) || s.compare(i, 2, "):") != 0) {
            *error = "bad hex(type): prefix";
            return false;
        }
        value->type = type;
        return ParseHexBytes(s.substr(i + 2), &value->data, error);
    }
    *error = "unknown value form (expected \"text\", dword:, hex: or hex(n):)";
    return false;
}

// A key line: [path] or [-path]; the path begins with a root name.
struct KeyLine {
    bool isDeletion = false;
    RegKey* root = nullptr;
    std::vector<std::string> parts;
};

bool ParseKeyLine(RegTree* tree, const std::string& line, KeyLine* key, std::string* error) {
    size_t close = line.rfind(']');
    if (close == std::string::npos || Trim(line.substr(close + 1)) != "") {
        *error = "key line without its closing ]";
        return false;
    }
    std::string path = line.substr(1, close - 1);
    if (!path.empty() && path[0] == '-') {
        key->isDeletion = true;
        path.erase(0, 1);
    }
    size_t slash = path.find('\\');
    std::string rootName = path.substr(0, slash);
    if (SameName(rootName, "HKEY_LOCAL_MACHINE") || SameName(rootName, "HKLM")) {
        key->root = &tree->localMachine;
    } else if (SameName(rootName, "HKEY_CURRENT_USER") || SameName(rootName, "HKCU")) {
        key->root = &tree->currentUser;
    } else {
        *error = "unknown or unsupported root key \"" + rootName + "\"";
        return false;
    }
    if (slash == std::string::npos) return true;
    std::string rest = path.substr(slash + 1);
    size_t start = 0;
    while (true) {
        size_t end = rest.find('\\', start);
        std::string part = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty()) {
            *error = "empty key name in a key path";
            return false;
        }
        key->parts.push_back(part);
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

// Creates (or finds) the key of a key line; new keys below a volatile key,
// and the last key when `makeVolatile`, are volatile.
RegKey* OpenKeyLine(const KeyLine& line, bool makeVolatile) {
    RegKey* key = line.root;
    for (size_t i = 0; i < line.parts.size(); ++i) {
        RegKey* sub = key->FindSubkey(line.parts[i]);
        if (sub == nullptr) {
            std::unique_ptr<RegKey> created(new RegKey());
            created->name = line.parts[i];
            created->isVolatile = key->isVolatile || (makeVolatile && i + 1 == line.parts.size());
            sub = created.get();
            key->subkeys.push_back(std::move(created));
        }
        key = sub;
    }
    return key;
}

void DeleteKeyLine(const KeyLine& line) {
    if (line.parts.empty()) return;  // a root cannot be deleted
    RegKey* parent = line.root;
    for (size_t i = 0; i + 1 < line.parts.size() && parent != nullptr; ++i) {
        parent = parent->FindSubkey(line.parts[i]);
    }
    if (parent != nullptr) parent->DeleteSubkey(line.parts.back());
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool IsHeader(const std::string& line) {
    return line == "REGEDIT4" || line == "Windows Registry Editor Version 5.00";
}

// The reader's state across lines.
struct Reader {
    RegTree* tree;
    RegKey* current = nullptr;
    bool inDeletedKey = false;
    bool nextKeyVolatile = false;
};

bool ReadValueLine(Reader* reader, const std::string& line, std::string* error) {
    size_t i = 0;
    std::string name;
    if (line[0] == '@') {
        i = 1;
    } else if (!ParseQuoted(line, &i, &name, error)) {
        return false;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] != '=') {
        *error = "value line without =";
        return false;
    }
    ParsedValue value;
    if (!ParseValueData(line.substr(i + 1), &value, error)) return false;
    if (reader->inDeletedKey) return true;
    if (reader->current == nullptr) {
        *error = "value line before the first key line";
        return false;
    }
    if (value.isDeletion) {
        reader->current->DeleteValue(name);
    } else {
        reader->current->SetValue(name, value.type, value.data.data(), value.data.size());
    }
    return true;
}

bool ReadKeyLine(Reader* reader, const std::string& line, std::string* error) {
    KeyLine key;
    if (!ParseKeyLine(reader->tree, line, &key, error)) return false;
    if (key.isDeletion) {
        DeleteKeyLine(key);
        reader->current = nullptr;
        reader->inDeletedKey = true;
    } else {
        reader->current = OpenKeyLine(key, reader->nextKeyVolatile);
        reader->inDeletedKey = false;
    }
    return true;
}

// A hex value continues over the following lines while a line ends in a
// backslash.
bool EndsInContinuation(const std::string& line) {
    std::string t = Trim(line);
    return !t.empty() && t.back() == '\\';
}

bool IsHexValueLine(const std::string& line) {
    size_t eq = line.find('=');
    if (line[0] == '"') {
        // The name may hold an '=': find the closing quote first.
        size_t i = 1;
        while (i < line.size() && line[i] != '"') i += (line[i] == '\\') ? 2 : 1;
        eq = line.find('=', i);
    }
    if (eq == std::string::npos) return false;
    return StartsWithNoCase(Trim(line.substr(eq + 1)), 0, "hex");
}

}  // namespace

bool ParseRegText(const std::string& text, RegTree* tree, std::string* error, int* lineNumber) {
    tree->Clear();
    std::vector<std::string> lines = SplitLines(text);
    if (!lines.empty() && lines[0].compare(0, 3, "\xEF\xBB\xBF") == 0) lines[0].erase(0, 3);
    Reader reader;
    reader.tree = tree;
    bool headerSeen = false;
    for (size_t n = 0; n < lines.size(); ++n) {
        *lineNumber = static_cast<int>(n + 1);
        std::string line = Trim(lines[n]);
        if (line.empty()) continue;
        if (!headerSeen) {
            if (!IsHeader(line)) {
                *error = "missing REGEDIT4 header";
                tree->Clear();
                return false;
            }
            headerSeen = true;
            continue;
        }
        if (line[0] == ';') {
            reader.nextKeyVolatile = (line == "; volatile");
            continue;
        }
        bool ok;
        if (line[0] == '[') {
            ok = ReadKeyLine(&reader, line, error);
        } else if (line[0] == '"' || line[0] == '@') {
            if (IsHexValueLine(line)) {
                while (EndsInContinuation(line) && n + 1 < lines.size()) {
                    line = Trim(line);
                    line.pop_back();
                    line += Trim(lines[++n]);
                }
                if (EndsInContinuation(line)) {
                    *error = "hex list continued past the end of the file";
                    tree->Clear();
                    return false;
                }
            }
            ok = ReadValueLine(&reader, line, error);
        } else {
            *error = "line is neither a key, a value nor a comment";
            ok = false;
        }
        reader.nextKeyVolatile = false;
        if (!ok) {
            tree->Clear();
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Writer

namespace {

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// Whether string data can be written as "text": one terminating zero, no
// other zero, no line breaks or other control characters except tab.
bool IsPlainString(const std::vector<BYTE>& data) {
    if (data.empty() || data.back() != 0) return false;
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] < 0x20 && data[i] != '\t') return false;
    }
    return true;
}

// hex lists wrap like regedit's: at most about 80 columns, the rest of a
// line continued with a backslash and indented by two blanks.
void WriteHex(std::string* out, const std::string& prefix, const std::vector<BYTE>& data) {
    *out += prefix;
    size_t column = prefix.size();
    for (size_t i = 0; i < data.size(); ++i) {
        if (column + 3 > 78) {
            *out += "\\\n  ";
            column = 2;
        }
        char byte[4];
        snprintf(byte, sizeof byte, "%02x", data[i]);
        *out += byte;
        column += 2;
        if (i + 1 < data.size()) {
            out->push_back(',');
            ++column;
        }
    }
    out->push_back('\n');
}

void WriteValue(std::string* out, const RegValue& value) {
    std::string name = value.name.empty() ? "@" : "\"" + Escape(value.name) + "\"";
    if (value.type == REG_SZ && IsPlainString(value.data)) {
        std::string text(value.data.begin(), value.data.end() - 1);
        *out += name + "=\"" + Escape(text) + "\"\n";
    } else if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD n = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) | (static_cast<DWORD>(value.data[3]) << 24);
        char number[16];
        snprintf(number, sizeof number, "%08x", n);
        *out += name + "=dword:" + number + "\n";
    } else if (value.type == REG_BINARY) {
        WriteHex(out, name + "=hex:", value.data);
    } else {
        char prefix[24];
        snprintf(prefix, sizeof prefix, "=hex(%x):", value.type);
        WriteHex(out, name + prefix, value.data);
    }
}

void WriteKey(std::string* out, const RegKey& key, const std::string& path, bool isRoot, bool includeVolatile) {
    if (key.isVolatile && !includeVolatile) return;
    if (!isRoot || !key.values.empty()) {
        if (key.isVolatile) *out += "; volatile\n";
        *out += "[" + path + "]\n";
        for (const RegValue& value : key.values) WriteValue(out, value);
        *out += "\n";
    }
    for (const std::unique_ptr<RegKey>& sub : key.subkeys) {
        WriteKey(out, *sub, path + "\\" + sub->name, false, includeVolatile);
    }
}

}  // namespace

std::string WriteRegText(const RegTree& tree, bool includeVolatile) {
    std::string out = "REGEDIT4\n\n";
    WriteKey(&out, tree.localMachine, tree.localMachine.name, true, includeVolatile);
    WriteKey(&out, tree.currentUser, tree.currentUser.name, true, includeVolatile);
    return out;
}

}  // namespace kit_host
