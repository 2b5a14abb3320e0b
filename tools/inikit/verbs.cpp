// inikit get, set, del, sections and keys: thin front ends over typed access
// (ini/access.h). Command-line values are checked strictly before any stream
// is opened, so a bad value never leads to a write.
#include "tools/inikit/verbs.h"

#include <ctype.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "foundation/diagnostics.h"
#include "ini/access.h"
#include "ini/inistream.h"

namespace {

const int kUsage = 2;
const uint32_t kMaxBlockRead = 32767;
const char kHex[] = "0123456789ABCDEF";

// The parsed command line of one verb.
struct Arguments {
    const char* kind = "text";
    const char* defaultValue = nullptr;
    bool hex = false;
    bool editable = false;
    int count = 0;
    char** positional = nullptr;
};

int Usage(const char* verb, const char* message) {
    fprintf(stderr, "inikit %s: %s\n", verb, message);
    return UsageError(verb);
}

// Splits options (before the positional arguments) from the rest. `allowed`
// lists the option names the verb takes. Returns false after a message.
bool ParseArguments(const char* verb, int argc, char** argv, const char* allowed, Arguments* out) {
    int i = 0;
    for (; i < argc && strncmp(argv[i], "--", 2) == 0; ++i) {
        const char* option = argv[i] + 2;
        if (option[0] == 0) {
            ++i;
            break;
        }
        const char* equals = strchr(option, '=');
        size_t length = equals != nullptr ? size_t(equals - option) : strlen(option);
        char name[16] = {0};
        if (length >= sizeof name) {
            Usage(verb, "unknown option");
            return false;
        }
        memcpy(name, option, length);
        const char* listed = strstr(allowed, name);
        if (listed == nullptr || (listed[length] != ' ' && listed[length] != 0) ||
            (listed != allowed && listed[-1] != ' ')) {
            fprintf(stderr, "inikit %s: unknown option --%s\n", verb, name);
            return false;
        }
        bool takesValue = strcmp(name, "kind") == 0 || strcmp(name, "default") == 0;
        const char* value = nullptr;
        if (takesValue) {
            if (equals != nullptr) {
                value = equals + 1;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                fprintf(stderr, "inikit %s: --%s needs a value\n", verb, name);
                return false;
            }
        } else if (equals != nullptr) {
            fprintf(stderr, "inikit %s: --%s takes no value\n", verb, name);
            return false;
        }
        if (strcmp(name, "kind") == 0) out->kind = value;
        if (strcmp(name, "default") == 0) out->defaultValue = value;
        if (strcmp(name, "hex") == 0) out->hex = true;
        if (strcmp(name, "editable") == 0) out->editable = true;
    }
    out->count = argc - i;
    out->positional = argv + i;
    return true;
}

// A whole command-line text as a number in a form typed reads take; false
// for empty text, no digits or anything after them.
bool ParseNumber(const char* text, uint32_t* value) {
    const char* end = nullptr;
    *value = ParseININumber(text, 0, &end);
    return text[0] != 0 && end != text && *end == 0;
}

// Hex digits, two per byte, as n bytes into a new block (n from the text).
bool ParseHexBlock(const char* text, unsigned char** bytes, uint32_t* n) {
    size_t length = strlen(text);
    if (length % 2 != 0 || length / 2 > 65535) {
        return false;
    }
    *n = uint32_t(length / 2);
    *bytes = new unsigned char[*n + 1];
    for (uint32_t i = 0; i < *n; ++i) {
        const char pair[3] = {text[2 * i], text[2 * i + 1], 0};
        if (!isxdigit((unsigned char)pair[0]) || !isxdigit((unsigned char)pair[1])) {
            delete[] *bytes;
            *bytes = nullptr;
            return false;
        }
        (*bytes)[i] = (unsigned char)ParseININumber(pair, 16, nullptr);
    }
    return true;
}

// The kinds by name; block:N gives Block and N.
bool ParseKind(const char* name, bool forRead, ValueKind* kind, uint32_t* blockLength) {
    static const struct {
        const char* name;
        ValueKind kind;
    } kinds[] = {{"byte", ValueKind::Byte},
                 {"word", ValueKind::Word},
                 {"dword", ValueKind::DWord},
                 {"text", ValueKind::Text},
                 {"heaptext", ValueKind::HeapText}};
    for (const auto& k : kinds) {
        if (strcmp(name, k.name) == 0 && (forRead || k.kind != ValueKind::HeapText)) {
            *kind = k.kind;
            return true;
        }
    }
    if (!forRead) {
        if (strcmp(name, "block") == 0) {
            *kind = ValueKind::Block;
            return true;
        }
        return false;
    }
    if (strncmp(name, "block:", 6) != 0) {
        return false;
    }
    const char* digits = name + 6;
    if (digits[0] < '0' || digits[0] > '9') {
        return false;
    }
    char* end = nullptr;
    unsigned long n = strtoul(digits, &end, 10);
    if (*end != 0 || n > kMaxBlockRead) {
        return false;
    }
    *kind = ValueKind::Block;
    *blockLength = uint32_t(n);
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whether a stored name or text comes back unchanged when the written file is
// read: a key begins with an ASCII letter, '_' or '$' and holds no '=', no
// line feed and no blank at its end; a section name holds no ']' and no line
// feed; a text holds no line feed and does not begin with a blank.
bool ReadableKey(const char* key) {
    size_t length = strlen(key);
    bool first = isalpha((unsigned char)key[0]) != 0 || key[0] == '_' || key[0] == '$';
    return first && (unsigned char)key[0] < 0x80 && strpbrk(key, "=\n") == nullptr && !IsBlank(key[length - 1]);
}

bool ReadableSection(const char* name) {
    return strpbrk(name, "]\n") == nullptr;
}

bool ReadableText(const char* text) {
    return strchr(text, '\n') == nullptr && !IsBlank(text[0]);
}

bool SetSection(INIStream& stream, const char* section) {
    if (strlen(section) >= sizeof stream.currentSection) {
        return false;
    }
    strcpy(stream.currentSection, section);
    return true;
}

// Whether the stream's current section holds an item named key.
bool ItemExists(INIStream& stream, const char* key) {
    SectionItem* section = stream.CurrentSection();
    if (section == nullptr) {
        return false;
    }
    for (uint32_t i = 0; i < section->itemList.Count(); ++i) {
        if (strcmp(section->itemList.At(i)->Name(), key) == 0) {
            return true;
        }
    }
    return false;
}

void PrintLine(const char* text) {
    fwrite(text, 1, strlen(text), stdout);
    fputc('\n', stdout);
}

// Write-back failures reach only the diagnostics hooks; this listener turns
// them into an exit code.
bool writeFailed = false;

void WatchWriteBack(const DiagnosticRecord& record) {
    if (record.tag != nullptr && strcmp(record.tag, "me") == 0 && record.number == 5230) {
        writeFailed = true;
    }
}

// Destroys an editable stream (which rewrites its file) and reports whether
// the file was written.
int FinishEditable(INIStream* stream, const char* verb, const char* file) {
    writeFailed = false;
    DiagnosticsListener previous = SetDiagnosticsListener(WatchWriteBack);
    delete stream;
    SetDiagnosticsListener(previous);
    if (writeFailed) {
        fprintf(stderr, "inikit %s: cannot write %s; it is left as it was\n", verb, file);
        return 1;
    }
    return 0;
}

int GetNumber(INIStream& stream, const char* key, ValueKind kind, uint32_t defaultNumber) {
    uint32_t value = 0;
    if (kind == ValueKind::Byte) {
        unsigned char b = 0;
        stream.Get(INIReadRequest(key, &b, uint16_t(defaultNumber)));
        // The explicit Byte default is 16 bits wide; the read keeps 8 of them.
        value = b;
    } else if (kind == ValueKind::Word) {
        uint16_t w = 0;
        stream.Get(INIReadRequest(key, &w, uint16_t(defaultNumber)));
        value = w;
    } else {
        stream.Get(INIReadRequest(key, &value, defaultNumber));
    }
    printf("%lu\n", (unsigned long)value);
    return 0;
}

}  // namespace

int GetVerb(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments("get", argc, argv, "kind default", &args)) {
        return kUsage;
    }
    if (args.count != 3) {
        return UsageError("get");
    }
    ValueKind kind;
    uint32_t n = 0;
    if (!ParseKind(args.kind, true, &kind, &n)) {
        return Usage("get", "unknown kind (byte, word, dword, text, heaptext or block:N with N up to 32767)");
    }
    uint32_t defaultNumber = 0;
    unsigned char* defaultBytes = nullptr;
    uint32_t defaultLength = 0;
    if (args.defaultValue != nullptr) {
        if ((kind == ValueKind::Byte || kind == ValueKind::Word || kind == ValueKind::DWord) &&
            !ParseNumber(args.defaultValue, &defaultNumber)) {
            return Usage("get", "the default is not a number");
        }
        if (kind == ValueKind::Block &&
            (!ParseHexBlock(args.defaultValue, &defaultBytes, &defaultLength) || defaultLength != n)) {
            delete[] defaultBytes;
            return Usage("get", "the default of block:N must be 2N hex digits");
        }
    }
    const char* file = args.positional[0];
    const char* key = args.positional[2];
    INIStream stream(file, 1);
    if (!SetSection(stream, args.positional[1])) {
        delete[] defaultBytes;
        return Usage("get", "the section name is longer than 255 characters");
    }
    bool exists = ItemExists(stream, key);
    const char* defaultText = args.defaultValue != nullptr ? args.defaultValue : "";
    if (kind == ValueKind::Text) {
        char text[1024];
        text[0] = 0;
        stream.Get(INIReadRequest(key, text, defaultText));
        PrintLine(text);
    } else if (kind == ValueKind::HeapText) {
        char* text = nullptr;
        stream.Get(INIReadRequest(key, &text, defaultText));
        PrintLine(text != nullptr ? text : "");
        delete[] text;
    } else if (kind == ValueKind::Block) {
        unsigned char* bytes = new unsigned char[n + 1]();
        stream.Get(INIReadRequest(key, bytes, defaultBytes, uint16_t(n)));
        // Without item and without default the bytes keep their zeros.
        for (uint32_t i = 0; i < n; ++i) {
            fputc(kHex[bytes[i] >> 4], stdout);
            fputc(kHex[bytes[i] & 15], stdout);
        }
        fputc('\n', stdout);
        delete[] bytes;
    } else {
        GetNumber(stream, key, kind, defaultNumber);
    }
    delete[] defaultBytes;
    return exists ? 0 : 1;
}

int SetVerb(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments("set", argc, argv, "kind hex", &args)) {
        return kUsage;
    }
    if (args.count != 4) {
        return UsageError("set");
    }
    ValueKind kind;
    uint32_t unused = 0;
    if (!ParseKind(args.kind, false, &kind, &unused)) {
        return Usage("set", "unknown kind (byte, word, dword, text or block)");
    }
    const char* file = args.positional[0];
    const char* section = args.positional[1];
    const char* key = args.positional[2];
    const char* value = args.positional[3];
    uint32_t number = 0;
    unsigned char* bytes = nullptr;
    uint32_t n = 0;
    if (kind == ValueKind::Byte || kind == ValueKind::Word || kind == ValueKind::DWord) {
        uint32_t limit = kind == ValueKind::Byte ? 0xFFu : (kind == ValueKind::Word ? 0xFFFFu : 0xFFFFFFFFu);
        if (!ParseNumber(value, &number) || number > limit) {
            return Usage("set", "the value is not a number that fits the kind");
        }
    } else if (kind == ValueKind::Block && !ParseHexBlock(value, &bytes, &n)) {
        return Usage("set", "a block value must be an even number of hex digits (at most 131070)");
    }
    const char* problem = nullptr;
    if (strlen(section) >= 256) {
        problem = "the section name is longer than 255 characters";
    } else if (!ReadableSection(section)) {
        problem = "a section name cannot hold ']' or a line feed";
    } else if (!ReadableKey(key)) {
        problem = "a key begins with a letter, '_' or '$' and holds no '=', line feed or trailing blank";
    } else if (kind == ValueKind::Text && !ReadableText(value)) {
        problem = "a text cannot begin with a blank or hold a line feed";
    }
    if (problem != nullptr) {
        delete[] bytes;
        return Usage("set", problem);
    }
    INIStream* stream = new INIStream(file, 0);
    SetSection(*stream, section);
    if (args.hex) {
        stream->numberFormat = 2;
    }
    if (kind == ValueKind::Byte) {
        stream->Put(INIWriteRequest(key, (unsigned char)number));
    } else if (kind == ValueKind::Word) {
        stream->Put(INIWriteRequest(key, (uint16_t)number));
    } else if (kind == ValueKind::DWord) {
        stream->Put(INIWriteRequest(key, number));
    } else if (kind == ValueKind::Block) {
        stream->Put(INIWriteRequest(key, bytes, uint16_t(n)));
    } else {
        stream->Put(INIWriteRequest(key, value));
    }
    delete[] bytes;
    return FinishEditable(stream, "set", file);
}

int DelVerb(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments("del", argc, argv, "", &args)) {
        return kUsage;
    }
    if (args.count != 2 && args.count != 3) {
        return UsageError("del");
    }
    const char* file = args.positional[0];
    const char* section = args.positional[1];
    if (strlen(section) >= 256) {
        return Usage("del", "the section name is longer than 255 characters");
    }
    FILE* probe = fopen(file, "r");
    if (probe == nullptr) {
        fprintf(stderr, "inikit del: cannot read %s\n", file);
        return 1;
    }
    fclose(probe);
    INIStream* stream = new INIStream(file, 0);
    if (args.count == 2) {
        stream->DeleteSection(section);
    } else {
        SetSection(*stream, section);
        stream->DeleteItem(args.positional[2]);
    }
    return FinishEditable(stream, "del", file);
}

int SectionsVerb(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments("sections", argc, argv, "editable", &args)) {
        return kUsage;
    }
    if (args.count != 1 && args.count != 2) {
        return UsageError("sections");
    }
    INIStream stream(args.positional[0], args.editable ? 0 : 1);
    for (INISectionIterator it(args.count == 2 ? args.positional[1] : "", stream); it.Current() != nullptr;
         it.Next()) {
        PrintLine(it.Current());
    }
    stream.readOnly = 1;  // listing never rewrites the file
    return 0;
}

int KeysVerb(int argc, char** argv) {
    Arguments args;
    if (!ParseArguments("keys", argc, argv, "editable", &args)) {
        return kUsage;
    }
    if (args.count != 2 && args.count != 3) {
        return UsageError("keys");
    }
    INIStream stream(args.positional[0], args.editable ? 0 : 1);
    for (INIItemIterator it(args.count == 3 ? args.positional[2] : "", args.positional[1], stream);
         it.Current() != nullptr; it.Next()) {
        PrintLine(it.Current());
    }
    stream.readOnly = 1;  // listing never rewrites the file
    return 0;
}
