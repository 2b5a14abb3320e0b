// The bound-variable registry.
#include "ini/entry.h"

#include <new>
#include <string.h>

SContainer* entryRegistry = nullptr;

namespace {

const uint32_t kRegistryDelta = 32;
const char kOptionsSection[] = "Options";

}  // namespace

INIEntry::INIEntry(const char* key_, unsigned char* v) : key(key_) { Bind(v, ValueKind::Byte, 0); }
INIEntry::INIEntry(const char* key_, signed char* v) : key(key_) { Bind(v, ValueKind::Byte, 0); }
INIEntry::INIEntry(const char* key_, uint16_t* v) : key(key_) { Bind(v, ValueKind::Word, 0); }
INIEntry::INIEntry(const char* key_, uint32_t* v) : key(key_) { Bind(v, ValueKind::DWord, 0); }
INIEntry::INIEntry(const char* key_, int32_t* v) : key(key_) { Bind(v, ValueKind::DWord, 0); }
INIEntry::INIEntry(const char* key_, char* v) : key(key_) { Bind(v, ValueKind::Text, 0); }
INIEntry::INIEntry(const char* key_, char** v) : key(key_) { Bind(v, ValueKind::HeapText, 0); }
INIEntry::INIEntry(const char* key_, const char** v) : key(key_) { Bind(v, ValueKind::HeapText, 0); }
INIEntry::INIEntry(const char* key_, unsigned char* v, uint16_t n) : key(key_) { Bind(v, ValueKind::Block, n); }

void INIEntry::Bind(void* variable_, ValueKind kind_, uint16_t length_) {
    variable = variable_;
    kind = kind_;
    length = length_;
    if (entryRegistry == nullptr) {
        entryRegistry = new (std::nothrow) SContainer(0, kRegistryDelta);
    }
    if (entryRegistry != nullptr) {
        RegisterEntry(entryRegistry, this);
    }
}

INIEntry::~INIEntry() {
    if (kind == ValueKind::HeapText && variable != nullptr) {
        // Null afterwards: an entry that shares this binding (an equal key
        // registered later) must not release the same text again.
        char** text = static_cast<char**>(variable);
        delete[] *text;
        *text = nullptr;
    }
    if (entryRegistry != nullptr) {
        entryRegistry->Remove(this);
        if (entryRegistry->Count() == 0) {
            delete entryRegistry;
            entryRegistry = nullptr;
        }
    }
}

int INIEntry::IsEqual(const BaseObject* other) const {
    const INIEntry* entry = static_cast<const INIEntry*>(other);
    return strcmp(key, entry->key) == 0 ? 1 : 0;
}

void RegisterEntry(SContainer* registry, INIEntry* entry) {
    if (registry == nullptr || entry == nullptr) {
        return;
    }
    INIEntry* found = static_cast<INIEntry*>(registry->Find(entry));
    if (found == nullptr) {
        registry->Add(entry);
    } else if (found != entry) {
        found->variable = entry->variable;
        found->kind = entry->kind;
        found->key = entry->key;
        found->length = entry->length;
    }
}

void LoadEntry(INIEntry* entry, INIStream& stream) {
    const char* key = entry->key;
    switch (entry->kind) {
    case ValueKind::Byte: {
        unsigned char* v = static_cast<unsigned char*>(entry->variable);
        stream.Get(INIReadRequest(key, v, uint16_t(*v)));
        break;
    }
    case ValueKind::Word: {
        uint16_t* v = static_cast<uint16_t*>(entry->variable);
        stream.Get(INIReadRequest(key, v, *v));
        break;
    }
    case ValueKind::DWord: {
        uint32_t* v = static_cast<uint32_t*>(entry->variable);
        stream.Get(INIReadRequest(key, v, *v));
        break;
    }
    case ValueKind::Text:
        stream.Get(INIReadRequest(key, static_cast<char*>(entry->variable)));
        break;
    case ValueKind::HeapText:
        stream.Get(INIReadRequest(key, static_cast<char**>(entry->variable), ""));
        break;
    case ValueKind::Block: {
        unsigned char* v = static_cast<unsigned char*>(entry->variable);
        stream.Get(INIReadRequest(key, v, v, entry->length));
        break;
    }
    default:
        break;
    }
}

void SaveEntry(INIEntry* entry, INIStream& stream) {
    const char* key = entry->key;
    switch (entry->kind) {
    case ValueKind::Byte:
        stream.Put(INIWriteRequest(key, *static_cast<unsigned char*>(entry->variable)));
        break;
    case ValueKind::Word:
        stream.Put(INIWriteRequest(key, *static_cast<uint16_t*>(entry->variable)));
        break;
    case ValueKind::DWord:
        stream.Put(INIWriteRequest(key, *static_cast<uint32_t*>(entry->variable)));
        break;
    case ValueKind::Text:
        stream.Put(INIWriteRequest(key, static_cast<const char*>(entry->variable)));
        break;
    case ValueKind::HeapText:
        stream.Put(INIWriteRequest(key, *static_cast<const char* const*>(entry->variable)));
        break;
    case ValueKind::Block:
        stream.Put(INIWriteRequest(key, static_cast<const unsigned char*>(entry->variable), entry->length));
        break;
    default:
        break;
    }
}

namespace {

void ForEachEntry(SContainer* registry, INIStream& stream, void (*operation)(INIEntry*, INIStream&)) {
    if (registry == nullptr) {
        return;
    }
    strcpy(stream.currentSection, kOptionsSection);
    for (uint32_t i = 0; i < registry->Count(); ++i) {
        operation(static_cast<INIEntry*>(registry->At(i)), stream);
    }
}

}  // namespace

void LoadOptions(SContainer* registry, INIStream& stream) {
    ForEachEntry(registry, stream, LoadEntry);
}

void SaveOptions(SContainer* registry, INIStream& stream) {
    ForEachEntry(registry, stream, SaveEntry);
}
