// SectionItem, INIItem, the section name encoding and the name-character
// table.
//
// A name that does not fit its fixed field is kept whole in an exact-size
// heap copy; the field then holds that copy's pointer (hasLongName 1). Names
// that fit stay inline, so an ordinary section or item is one allocation.
#include "ini/model.h"

#include <new>
#include <string.h>

#include "ini/inistream.h"

namespace {

const size_t kShortValueMax = 7;  // longest value kept inside the slot

// A new block of length + 1 bytes holding the text's first `length` bytes and
// a terminator, or null when the heap refuses it.
char* CopyBlock(const char* text, size_t length) {
    char* block = new (std::nothrow) char[length + 1];
    if (block != nullptr) {
        memcpy(block, text, length);
        block[length] = 0;
    }
    return block;
}

// The heap pointer kept in a name field (hasLongName 1). memcpy: the field is
// a character array, not a pointer object.
char* PointerIn(const char* field) {
    char* pointer;
    memcpy(&pointer, field, sizeof pointer);
    return pointer;
}

void SetPointerIn(char* field, char* pointer) {
    memcpy(field, &pointer, sizeof pointer);
}

const char kNoName[] = "";

// The name a name field stands for: the field itself, or the heap copy whose
// pointer it holds (the empty name when that copy could not be made).
const char* NameIn(const char* field, unsigned char hasLongName) {
    if (!hasLongName) {
        return field;
    }
    const char* longName = PointerIn(field);
    return longName != nullptr ? longName : kNoName;
}

}  // namespace

void EncodeSectionName(char* dest, const char* name) {
    for (;; ++name, ++dest) {
        char c = *name;
        *dest = c == '[' ? '\x10' : c == ']' ? '\x11' : c;
        if (c == 0) {
            return;
        }
    }
}

// ---- INIItem ----

INIItem::INIItem(const char* name_, const char* value_)
    : INIItem(name_, strlen(name_), value_, value_ != nullptr ? strlen(value_) : 0) {}

INIItem::INIItem(const char* name_, size_t nameLength, const char* value_, size_t valueLength)
    : isShort(0), hasLongName(0) {
    if (nameLength < sizeof name) {
        memcpy(name, name_, nameLength);
        name[nameLength] = 0;
    } else {
        hasLongName = 1;
        SetPointerIn(name, CopyBlock(name_, nameLength));
    }
    if (value_ != nullptr) {
        StoreValue(value_, valueLength);
    } else {
        StoreValue(nullptr);
    }
}

INIItem::~INIItem() {
    if (!isShort) {
        delete[] value.pointer;
    }
    if (hasLongName) {
        delete[] PointerIn(name);
    }
}

void INIItem::StoreValue(const char* text) {
    if (text == nullptr) {
        isShort = 0;
        value.pointer = nullptr;
        return;
    }
    StoreValue(text, strlen(text));
}

void INIItem::StoreValue(const char* text, size_t length) {
    if (length > kShortValueMax) {
        isShort = 0;
        value.pointer = CopyBlock(text, length);
        return;
    }
    isShort = 1;
    memmove(value.text, text, length);  // memmove: text may be this very slot
    value.text[length] = 0;
}

// The new value is stored before the old block is released, so a text that
// lies inside the old value is copied safely.
void INIItem::SetValue(const char* text) {
    char* old = isShort ? nullptr : value.pointer;
    StoreValue(text);
    delete[] old;
}

const char* INIItem::Name() const {
    return NameIn(name, hasLongName);
}

int INIItem::IsEqual(const BaseObject* other) const {
    return strcmp(Name(), static_cast<const INIItem*>(other)->Name()) == 0;
}

int INIItem::IsGreater(const BaseObject* other) const {
    return strcmp(Name(), static_cast<const INIItem*>(other)->Name()) > 0;
}

// ---- SectionItem ----

SectionItem::SectionItem(const char* name_)
    : nestedStream(nullptr), itemList(0, 16), itemIndex(SC_SORTED | SC_NODELETE, 16), hasLongName(0) {
    size_t length = strlen(name_);
    if (length < sizeof name) {
        EncodeSectionName(name, name_);
        return;
    }
    hasLongName = 1;
    char* block = new (std::nothrow) char[length + 1];
    if (block != nullptr) {
        EncodeSectionName(block, name_);
    }
    SetPointerIn(name, block);
}

// The nested stream goes first; the members then go in reverse order of
// declaration: itemIndex (not owning), then itemList (deleting the items).
SectionItem::~SectionItem() {
    delete nestedStream;
    if (hasLongName) {
        delete[] PointerIn(name);
    }
}

const char* SectionItem::Name() const {
    return NameIn(name, hasLongName);
}

int SectionItem::IsEqual(const BaseObject* other) const {
    return strcmp(Name(), static_cast<const SectionItem*>(other)->Name()) == 0;
}

int SectionItem::IsGreater(const BaseObject* other) const {
    return strcmp(Name(), static_cast<const SectionItem*>(other)->Name()) > 0;
}

// ---- Name characters ----

// 1: 0-9, A-Z, _ and a-z; 8: 0xC0-0xFF; 0: every other byte.
const unsigned char NameCharTable[256] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0x00
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0x10
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0x20
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0,  // 0x30 digits
    0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0x40 A-O
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1,  // 0x50 P-Z, _
    0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 0x60 a-o
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0,  // 0x70 p-z
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0x80
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0x90
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0xA0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0xB0
    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,  // 0xC0
    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,  // 0xD0
    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,  // 0xE0
    8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,  // 0xF0
};

int IsNameChar(unsigned cls, unsigned char c) {
    return (NameCharTable[c] & (cls | 8)) != 0;
}
