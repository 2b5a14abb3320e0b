// The section name tables of a stream: open addressing with linear probing,
// one entry per distinct stored name, holding the first section of that name
// in list order and the name's hash. A table is at most half full.
//
// A table records the array and count of its list when it was last brought
// up to date; a lookup that finds either changed rebuilds it, so even a
// change nobody announced (a section appended directly) cannot give a stale
// answer. Removals keep neither array nor count reliable, so they are
// announced (Forget).
#include "ini/section_lookup.h"

#include <new>
#include <stdlib.h>
#include <string.h>

namespace {

const uint32_t kMinTableCount = 16;  // shorter lists are scanned: no table pays off

const size_t kHeadSize = 16;  // leading name bytes kept in an entry

// The name's length and first bytes are kept in the entry itself, so that a
// probe compares a name of up to 16 characters without touching the section
// (another cache miss); a longer name is compared on from the section's name.
struct Entry {
    SectionItem* section;  // null: free slot
    uint32_t hash;
    uint32_t length;
    char head[kHeadSize];  // the first min(length, 16) bytes of the stored name
};

char Encoded(char c) {
    return c == '[' ? '\x10' : c == ']' ? '\x11' : c;
}

// FNV-1a over the encoded bytes.
uint32_t HashName(const char* name, size_t length) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < length; ++i) {
        hash = (hash ^ (unsigned char)Encoded(name[i])) * 16777619u;
    }
    return hash;
}

// Whether a stored name equals the `length` bytes of `name` once encoded.
// A stored name that ends early differs at its terminator, since no encoded
// byte of `name` is 0 there.
bool NameIs(const char* stored, const char* name, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (stored[i] != Encoded(name[i])) {
            return false;
        }
    }
    return stored[length] == 0;
}

// Whether the entry's name equals the `length` bytes of `name` once encoded.
bool EntryIs(const Entry& e, uint32_t hash, const char* name, size_t length) {
    if (e.hash != hash || e.length != length) {
        return false;
    }
    size_t head = length < kHeadSize ? length : kHeadSize;
    for (size_t i = 0; i < head; ++i) {
        if (e.head[i] != Encoded(name[i])) {
            return false;
        }
    }
    return length <= kHeadSize || NameIs(e.section->Name() + kHeadSize, name + kHeadSize, length - kHeadSize);
}

SectionItem* Scan(const SContainer& list, const char* name, size_t length) {
    for (uint32_t i = 0; i < list.count; ++i) {
        SectionItem* section = static_cast<SectionItem*>(list.items[i]);
        if (section != nullptr && NameIs(section->Name(), name, length)) {
            return section;
        }
    }
    return nullptr;
}

}  // namespace

// One table per list the stream searches.
struct SectionTable {
    const SContainer* list;     // the list described; null while out of date
    BaseObject* const* items;   // the list's array and count when last brought up to date
    uint32_t count;
    uint32_t mask;              // slot count - 1; the slot count is a power of two
    Entry* slots;

    bool UpToDate(const SContainer& l) const { return list == &l && items == l.items && count == l.count; }

    // Enters `section` unless its name is already in the table (first wins).
    void Enter(SectionItem* section) {
        const char* name = section->Name();
        size_t length = strlen(name);
        uint32_t hash = HashName(name, length);
        for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
            Entry& e = slots[i];
            if (e.section == nullptr) {
                e.section = section;
                e.hash = hash;
                e.length = uint32_t(length);
                memcpy(e.head, name, length < kHeadSize ? length : kHeadSize);
                return;
            }
            if (EntryIs(e, hash, name, length)) {
                return;
            }
        }
    }

    SectionItem* Look(const char* name, size_t length) const {
        uint32_t hash = HashName(name, length);
        for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
            const Entry& e = slots[i];
            if (e.section == nullptr) {
                return nullptr;
            }
            if (EntryIs(e, hash, name, length)) {
                return e.section;
            }
        }
    }

    // Rebuilds the table from `l`; false when no memory for the slots.
    bool Build(const SContainer& l) {
        list = nullptr;
        uint32_t size = 32;
        while (size / 2 < l.count) {
            size *= 2;
        }
        if (slots == nullptr || size != mask + 1) {
            Entry* fresh = static_cast<Entry*>(malloc(size * sizeof(Entry)));
            if (fresh == nullptr) {
                return false;
            }
            free(slots);
            slots = fresh;
            mask = size - 1;
        }
        memset(slots, 0, size * sizeof(Entry));
        for (uint32_t i = 0; i < l.count; ++i) {
            if (l.items[i] != nullptr) {
                Enter(static_cast<SectionItem*>(l.items[i]));
            }
        }
        list = &l;
        items = l.items;
        count = l.count;
        return true;
    }
};

struct INIStream::SectionTables {
    SectionTable table[2];  // sectionList, sectionIndex
};

SectionTable* SectionLookup::TableFor(INIStream& stream, const SContainer& list) {
    if (stream.sectionTables == nullptr) {
        return nullptr;
    }
    if (&list == &stream.sectionList) {
        return &stream.sectionTables->table[0];
    }
    return &list == &stream.sectionIndex ? &stream.sectionTables->table[1] : nullptr;
}

SectionItem* SectionLookup::First(INIStream& stream, const SContainer& list, const char* name, size_t length) {
    if (list.count < kMinTableCount || (&list != &stream.sectionList && &list != &stream.sectionIndex)) {
        return Scan(list, name, length);
    }
    if (stream.sectionTables == nullptr) {
        stream.sectionTables = static_cast<INIStream::SectionTables*>(calloc(1, sizeof(INIStream::SectionTables)));
        if (stream.sectionTables == nullptr) {
            return Scan(list, name, length);
        }
    }
    SectionTable* table = TableFor(stream, list);
    if (!table->UpToDate(list) && !table->Build(list)) {
        return Scan(list, name, length);
    }
    return table->Look(name, length);
}

void SectionLookup::Appended(INIStream& stream, const SContainer& list) {
    SectionTable* table = TableFor(stream, list);
    if (table == nullptr || table->list != &list) {
        return;
    }
    if (table->count == list.count) {
        return;  // the append failed: nothing changed
    }
    // The slots before the new one are those the table describes: Add only
    // moves them to a larger array. Past half full the next lookup rebuilds.
    if (table->count + 1 != list.count || list.count > (table->mask + 1) / 2 || list.items[table->count] == nullptr) {
        table->list = nullptr;
        return;
    }
    table->Enter(static_cast<SectionItem*>(list.items[table->count]));
    table->items = list.items;
    table->count = list.count;
}

void SectionLookup::Forget(INIStream& stream) {
    if (stream.sectionTables != nullptr) {
        stream.sectionTables->table[0].list = nullptr;
        stream.sectionTables->table[1].list = nullptr;
    }
}

void SectionLookup::Release(INIStream& stream) {
    if (stream.sectionTables != nullptr) {
        free(stream.sectionTables->table[0].slots);
        free(stream.sectionTables->table[1].slots);
        free(stream.sectionTables);
        stream.sectionTables = nullptr;
    }
}
