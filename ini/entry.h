// INIEntry and entryRegistry: program variables bound to INI keys, loaded
// from and saved to the section "Options" of a stream in one call.
#ifndef INI_ENTRY_H
#define INI_ENTRY_H

#include <stdint.h>
#include "foundation/container.h"
#include "ini/access.h"
#include "ini/inistream.h"

// One program variable bound to a key. Owns nothing: the variable and the key
// text belong to the program and must outlive the entry. Constructing an
// entry registers it in entryRegistry (creating the registry with the first
// entry); a later entry with an equal key (case-sensitive) replaces the
// earlier one's binding instead of being added. Destroying an entry removes
// the registry's element of that key (destroying the registry when it
// empties) and, for HeapText, releases the text the variable points to and
// sets the variable to null. Entries are equal by key and have no order.
class INIEntry : public BaseObject {
public:
    void* variable;
    ValueKind kind;
    const char* key;
    uint16_t length;  // n for Block

    INIEntry(const char* key, unsigned char* variable);   // Byte
    INIEntry(const char* key, signed char* variable);     // Byte
    INIEntry(const char* key, uint16_t* variable);        // Word
    INIEntry(const char* key, uint32_t* variable);        // DWord
    INIEntry(const char* key, int32_t* variable);         // DWord
    INIEntry(const char* key, char* array);               // Text (1024 characters or more)
    INIEntry(const char* key, char** variable);           // HeapText (null or a loaded copy)
    INIEntry(const char* key, const char** variable);     // HeapText
    INIEntry(const char* key, unsigned char* array, uint16_t n);  // Block
    ~INIEntry() override;

    int IsEqual(const BaseObject* other) const override;

private:
    void Bind(void* variable, ValueKind kind, uint16_t length);
    INIEntry(const INIEntry&) = delete;
    INIEntry& operator=(const INIEntry&) = delete;
};

// The process-wide registry: an SContainer (no flags, delta 32) of INIEntry
// pointers in registration order, no two with equal keys; null while no
// entry exists. It never deletes an entry. Not guarded: one thread only.
extern SContainer* entryRegistry;

// Adds entry to registry, or, when an entry with an equal key is there,
// copies entry's binding (variable, kind, key, length) into that one.
void RegisterEntry(SContainer* registry, INIEntry* entry);

// One entry through typed access on the stream's current section. Load:
// a missing item leaves a number, Text or Block variable as it was and gives
// a HeapText variable a new empty text (the old text is not released).
// Save: a HeapText entry is stored as Text. Other kind codes do nothing.
void LoadEntry(INIEntry* entry, INIStream& stream);
void SaveEntry(INIEntry* entry, INIStream& stream);

// Every entry of registry, first to last, in the section "Options"; both set
// currentSection to "Options". A null registry does nothing.
void LoadOptions(SContainer* registry, INIStream& stream);
void SaveOptions(SContainer* registry, INIStream& stream);

#endif
