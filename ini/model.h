// SectionItem and INIItem: one section with its items and nested stream, and
// one name/value record.
#ifndef INI_MODEL_H
#define INI_MODEL_H

#include <stddef.h>
#include "foundation/container.h"

class INIStream;

// Copies name into dest (which must hold strlen(name) + 1 bytes), storing
// '[' as byte 16 and ']' as byte 17; every other byte unchanged.
void EncodeSectionName(char* dest, const char* name);

// One name/value record. The value lives in the 8-byte slot itself when it
// has 0-7 characters (isShort 1), else in an exact-size heap copy (isShort 0,
// or no value at all when the pointer is null). A name longer than 47
// characters is kept whole in a heap copy whose pointer the name field holds
// (hasLongName 1); Name() gives the name in either case. An empty name marks a
// kept non-item line of an editable stream. Owned by one section's itemList.
class INIItem : public BaseObject {
public:
    char name[48];
    union {
        char text[8];
        char* pointer;
    } value;
    unsigned char isShort;
    unsigned char hasLongName;

    INIItem(const char* name, const char* value);
    // The same with the lengths already known, so the reader measures each
    // text once. The texts need not be terminated at those lengths; a null
    // value gives an item without value (valueLength is then ignored).
    INIItem(const char* name, size_t nameLength, const char* value, size_t valueLength);
    ~INIItem() override;

    // Copies value without releasing what the slot held (constructor only).
    // When the heap refuses the block of a long value the item is left
    // without value.
    void StoreValue(const char* value);
    void StoreValue(const char* value, size_t length);
    // Replaces the value; the caller's text is copied, never kept.
    void SetValue(const char* value);
    // The value text or null. Valid until the next SetValue or destruction.
    const char* GetValue() const { return isShort ? value.text : value.pointer; }
    // The name, never null (empty when the heap refused a long name's copy).
    // Valid for the item's life.
    const char* Name() const;

    int IsEqual(const BaseObject* other) const override;
    int IsGreater(const BaseObject* other) const override;

private:
    INIItem(const INIItem&) = delete;
    INIItem& operator=(const INIItem&) = delete;
};

// One section: its items in file order (owned), the same items as a sorted
// index (read-only streams only, not owning), and the stream of the sections
// nested one level deeper (owned, may be null). The name is stored encoded;
// a name longer than 63 characters is kept whole in a heap copy whose
// pointer the name field holds (hasLongName 1). Owned by one sectionList.
class SectionItem : public BaseObject {
public:
    INIStream* nestedStream;
    PSContainer<INIItem> itemList;   // flags 0, delta 16
    PSContainer<INIItem> itemIndex;  // SC_SORTED | SC_NODELETE, delta 16
    char name[64];
    unsigned char hasLongName;

    explicit SectionItem(const char* name);
    ~SectionItem() override;

    // The encoded name, never null (empty when the heap refused a long
    // name's copy). Valid for the section's life.
    const char* Name() const;

    int IsEqual(const BaseObject* other) const override;
    int IsGreater(const BaseObject* other) const override;

private:
    SectionItem(const SectionItem&) = delete;
    SectionItem& operator=(const SectionItem&) = delete;
};

// Class bits of the bytes: bit 1 for 0-9, A-Z, _ and a-z; bit 8 for
// 0xC0-0xFF. IsNameChar(cls, c) is true when the entry has a bit of cls | 8.
extern const unsigned char NameCharTable[256];
int IsNameChar(unsigned cls, unsigned char c);

#endif
