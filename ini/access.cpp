// Typed value access of INIStream: the request records, Get/Put and the
// operations that work on sections and items by name, and the iterators.
//
// Two lookup rules are in use. For reading: the section in sectionIndex when
// that list is not empty, else in sectionList; the item in the sorted
// itemIndex when not empty, else in itemList. For changing: always
// sectionList and itemList. Linear scans take the first match in list order.
// Stores into a read-only stream also enter new sections and items where the
// reading rule looks (sectionIndex when in use, itemIndex), so a read sees
// what an earlier store of the same stream put there.
#include "ini/access.h"

#include <new>
#include <string.h>

#include "foundation/strings.h"
#include "ini/section_lookup.h"

namespace {

const int kNumberArea = 32;       // characters of an item's text a number read sees
const int kTextSize = 1024;       // Text reads: at most 1023 characters
const int kHeapTextSize = 4096;   // HeapText reads: at most 4095 characters
const uint16_t kMaxBlockRead = 32767;
const char kHexDigits[] = "0123456789ABCDEF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// A section name in its stored (encoded) form: in place up to 255
// characters, on the heap beyond. text is null when the heap copy failed.
class EncodedName {
public:
    explicit EncodedName(const char* name) : text(inlineText) {
        size_t length = strlen(name);
        if (length >= sizeof inlineText) {
            text = new (std::nothrow) char[length + 1];
        }
        if (text != nullptr) {
            EncodeSectionName(text, name);
        }
    }
    ~EncodedName() {
        if (text != inlineText) delete[] text;
    }
    char* text;

private:
    char inlineText[256];
};

// The first section named `name` (encoded) in `list`, one of the stream's
// two section lists, or null: the section a scan in list order finds.
SectionItem* FindSection(INIStream& stream, const SContainer& list, const char* name) {
    if (name == nullptr) return nullptr;
    return SectionLookup::First(stream, list, name, strlen(name));
}

// Index of the first item named `key` in an unsorted item list, or -1.
int32_t FindItem(const PSContainer<INIItem>& list, const char* key) {
    char first = key[0];
    for (uint32_t i = 0; i < list.Count(); ++i) {
        const char* candidate = list.At(i)->Name();
        if (candidate[0] == first && strcmp(candidate, key) == 0) {
            return int32_t(i);
        }
    }
    return -1;
}

// Asks for the cache lines of an item's name and flags ahead of their use.
void Prefetch(const INIItem* item) {
    const char* bytes = reinterpret_cast<const char*>(item);
    __builtin_prefetch(bytes);
    __builtin_prefetch(bytes + sizeof(INIItem) - 1);
}

// Binary search in a sorted item index (sorted first when needed): the first
// slot of the run of items named `key`, as the container's own lookup finds it.
INIItem* FindInIndex(PSContainer<INIItem>& index, const char* key) {
    if (!index.container.isSorted) {
        index.Sort();
    }
    uint32_t low = 0;
    uint32_t high = index.Count();
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        // The items are scattered over the heap: fetching both items the
        // next step may compare while this one is compared overlaps the
        // cache misses instead of taking them one after the other.
        Prefetch(index.At(low + (middle - low) / 2));
        if (middle + 1 < high) {
            Prefetch(index.At(middle + 1 + (high - middle - 1) / 2));
        }
        if (strcmp(index.At(middle)->Name(), key) < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low < index.Count() && strcmp(index.At(low)->Name(), key) == 0) {
        return index.At(low);
    }
    return nullptr;
}

// The value text that a read of `key` in the current section sees, or null
// (no section, no item, or an item without value text).
const char* ReadSource(INIStream& stream, const char* key) {
    // The lookup encodes the name as it compares, so the name goes as it is.
    const SContainer& list = stream.sectionIndex.count != 0 ? stream.sectionIndex : stream.sectionList;
    SectionItem* s = FindSection(stream, list, stream.currentSection);
    if (s == nullptr || key == nullptr) {
        return nullptr;
    }
    INIItem* item;
    if (s->itemIndex.Count() != 0) {
        item = FindInIndex(s->itemIndex, key);
    } else {
        int32_t i = FindItem(s->itemList, key);
        item = i >= 0 ? s->itemList.At(uint32_t(i)) : nullptr;
    }
    return item != nullptr ? item->GetValue() : nullptr;
}

// Copies at most size - 1 characters of source and a NUL into destination
// (the two may be the same text).
void CopyBounded(char* destination, const char* source, int size) {
    size_t limit = size_t(size) - 1;
    size_t n = 0;
    while (n < limit && source[n] != 0) {
        ++n;
    }
    memmove(destination, source, n);
    destination[n] = 0;
}

// Text of an unsigned number in decimal, or in upper-case hex with at least
// `minDigits` digits. `out` holds at least 12 characters.
void FormatDecimal(char* out, uint32_t value) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) {
        *out++ = digits[--n];
    }
    *out = 0;
}

void FormatHex(char* out, uint32_t value, int minDigits) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = kHexDigits[value & 15];
        value >>= 4;
    } while (value != 0);
    while (n < minDigits) {
        digits[n++] = '0';
    }
    while (n > 0) {
        *out++ = digits[--n];
    }
    *out = 0;
}

bool IsNumberKind(ValueKind kind) {
    return kind == ValueKind::Byte || kind == ValueKind::Word || kind == ValueKind::DWord;
}

bool BeginsWithLowerHexPrefix(const char* text) {
    while (IsBlank(*text)) {
        ++text;
    }
    return text[0] == '0' && text[1] == 'x';
}

// The section named currentSection by the rule for changing; created at the
// end of the stream when `create` is set and it does not exist.
SectionItem* SectionForChange(INIStream& stream, bool create) {
    EncodedName name(stream.currentSection);
    SectionItem* s = FindSection(stream, stream.sectionList, name.text);
    if (s != nullptr || !create) {
        return s;
    }
    s = new (std::nothrow) SectionItem(stream.currentSection);
    if (s == nullptr) {
        return nullptr;
    }
    if (!stream.sectionList.Add(s)) {
        delete s;
        return nullptr;
    }
    SectionLookup::Appended(stream, stream.sectionList);
    if (stream.sectionIndex.count != 0) {
        stream.sectionIndex.Add(s);
        SectionLookup::Appended(stream, stream.sectionIndex);
    }
    return s;
}

INIItem* ItemForChange(SectionItem* section, const char* key) {
    int32_t i = FindItem(section->itemList, key);
    return i >= 0 ? section->itemList.At(uint32_t(i)) : nullptr;
}

// Stores text under key in section: replaces the value of `item` when there
// is one, else appends a new item.
void StoreInto(INIStream& stream, SectionItem* section, INIItem* item, const char* key, const char* text) {
    if (item != nullptr) {
        item->SetValue(text);
        return;
    }
    item = new (std::nothrow) INIItem(key, text);
    if (item == nullptr) {
        return;
    }
    if (!section->itemList.Add(item)) {
        delete item;
        return;
    }
    if (stream.readOnly) {
        section->itemIndex.Add(item);
    }
}

void ReadNumber(INIStream& stream, const INIReadRequest& request) {
    uint32_t number = request.defaultValue.number;
    const char* source = ReadSource(stream, request.key);
    if (source != nullptr) {
        char area[kNumberArea];
        CopyBounded(area, source, kNumberArea);
        number = ParseININumber(area, 0, nullptr);
    }
    if (request.kind == ValueKind::Byte) {
        unsigned char low = (unsigned char)number;
        memcpy(request.destination, &low, 1);
    } else if (request.kind == ValueKind::Word) {
        uint16_t low = (uint16_t)number;
        memcpy(request.destination, &low, 2);
    } else {
        memcpy(request.destination, &number, 4);
    }
}

void ReadHeapText(INIStream& stream, const INIReadRequest& request) {
    const char* source = ReadSource(stream, request.key);
    if (source == nullptr) {
        source = static_cast<const char*>(request.defaultValue.pointer);
    }
    if (source == nullptr) {
        source = "";
    }
    size_t n = 0;
    while (n < size_t(kHeapTextSize - 1) && source[n] != 0) {
        ++n;
    }
    char* copy = new (std::nothrow) char[n + 1];
    if (copy == nullptr) {
        return;
    }
    memcpy(copy, source, n);
    copy[n] = 0;
    memcpy(request.destination, &copy, sizeof copy);
}

// Two characters (the first may be the NUL) parsed in base 16, low 8 bits.
unsigned char DecodePair(const char* pair) {
    int high = DigitValue(pair[0]);
    int low = pair[0] != 0 ? DigitValue(pair[1]) : 99;
    if (high < 16 && low < 16) {
        return (unsigned char)(high * 16 + low);
    }
    char text[3] = {pair[0], pair[0] != 0 ? pair[1] : char(0), 0};
    return (unsigned char)ParseININumber(text, 16, nullptr);
}

void ReadBlock(INIStream& stream, const INIReadRequest& request) {
    uint32_t n = request.length;
    const unsigned char* defaults = static_cast<const unsigned char*>(request.defaultValue.pointer);
    const char* source = ReadSource(stream, request.key);
    if (n > kMaxBlockRead || (source == nullptr && defaults == nullptr)) {
        return;
    }
    char* work = new (std::nothrow) char[2 * n + 1];
    if (work == nullptr) {
        return;
    }
    if (defaults != nullptr) {
        for (uint32_t i = 0; i < n; ++i) {
            work[2 * i] = kHexDigits[defaults[i] >> 4];
            work[2 * i + 1] = kHexDigits[defaults[i] & 15];
        }
        work[2 * n] = 0;
    } else {
        memset(work, 0, 2 * n + 1);
    }
    if (source != nullptr) {
        CopyBounded(work, source, int(2 * n + 1));
    }
    unsigned char* bytes = static_cast<unsigned char*>(request.destination);
    for (uint32_t i = 0; i < n; ++i) {
        bytes[i] = DecodePair(work + 2 * i);
    }
    delete[] work;
}

}  // namespace

uint32_t ParseININumber(const char* text, int base, const char** end) {
    const char* p = text;
    while (IsBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    bool prefixed = p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16;
    if (base == 0) {
        base = prefixed ? 16 : (p[0] == '0' ? 8 : 10);
    }
    if (base == 16 && prefixed) {
        p += 2;
    }
    const char* digits = p;
    uint64_t value = 0;
    bool overflow = false;
    while (DigitValue(*p) < base) {
        value = value * uint64_t(base) + uint64_t(DigitValue(*p));
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;
        }
        ++p;
    }
    if (end != nullptr) {
        *end = p != digits ? p : text;
    }
    if (p == digits) {
        return 0;
    }
    if (overflow) {
        return 0xFFFFFFFFu;
    }
    uint32_t result = uint32_t(value);
    return negative ? uint32_t(0u - result) : result;
}

// ---- INIReadRequest ---------------------------------------------------------

namespace {

RequestValue Number(uint32_t number) {
    RequestValue v;
    v.pointer = nullptr;  // clears the whole field where pointers are wider
    v.number = number;
    return v;
}

RequestValue Pointer(const void* pointer) {
    RequestValue v;
    v.pointer = pointer;
    return v;
}

}  // namespace

INIReadRequest::INIReadRequest(const char* key_, unsigned char* variable, uint16_t defaultNumber)
    : key(key_), defaultValue(Number(defaultNumber)), destination(variable), kind(ValueKind::Byte), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, signed char* variable, uint16_t defaultNumber)
    : key(key_), defaultValue(Number(defaultNumber)), destination(variable), kind(ValueKind::Byte), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, unsigned char* variable)
    : key(key_), defaultValue(Number(*variable)), destination(variable), kind(ValueKind::Byte), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, signed char* variable)
    : key(key_), defaultValue(Number(uint32_t(int32_t(*variable)))), destination(variable), kind(ValueKind::Byte),
      length(0) {}

INIReadRequest::INIReadRequest(const char* key_, uint16_t* variable, uint16_t defaultNumber)
    : key(key_), defaultValue(Number(defaultNumber)), destination(variable), kind(ValueKind::Word), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, uint16_t* variable)
    : key(key_), defaultValue(Number(*variable)), destination(variable), kind(ValueKind::Word), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, uint32_t* variable, uint32_t defaultNumber)
    : key(key_), defaultValue(Number(defaultNumber)), destination(variable), kind(ValueKind::DWord), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, int32_t* variable, uint32_t defaultNumber)
    : key(key_), defaultValue(Number(defaultNumber)), destination(variable), kind(ValueKind::DWord), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, uint32_t* variable)
    : key(key_), defaultValue(Number(*variable)), destination(variable), kind(ValueKind::DWord), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, int32_t* variable)
    : key(key_), defaultValue(Number(uint32_t(*variable))), destination(variable), kind(ValueKind::DWord),
      length(0) {}

INIReadRequest::INIReadRequest(const char* key_, char* array, const char* defaultText)
    : key(key_), defaultValue(Pointer(defaultText)), destination(array), kind(ValueKind::Text), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, char* array)
    : key(key_), defaultValue(Pointer(array)), destination(array), kind(ValueKind::Text), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, char** variable, const char* defaultText)
    : key(key_), defaultValue(Pointer(defaultText)), destination(variable), kind(ValueKind::HeapText), length(0) {}

INIReadRequest::INIReadRequest(const char* key_, unsigned char* array, const unsigned char* defaultBytes, uint16_t n)
    : key(key_), defaultValue(Pointer(defaultBytes)), destination(array), kind(ValueKind::Block), length(n) {}

// ---- INIWriteRequest --------------------------------------------------------

INIWriteRequest::INIWriteRequest(const char* key_, unsigned char value_)
    : key(key_), value(Number(value_)), kind(ValueKind::Byte), length(0) {}

INIWriteRequest::INIWriteRequest(const char* key_, signed char value_)
    : key(key_), value(Number(uint32_t(int32_t(value_)))), kind(ValueKind::Byte), length(0) {}

INIWriteRequest::INIWriteRequest(const char* key_, uint16_t value_)
    : key(key_), value(Number(value_)), kind(ValueKind::Word), length(0) {}

INIWriteRequest::INIWriteRequest(const char* key_, uint32_t value_)
    : key(key_), value(Number(value_)), kind(ValueKind::DWord), length(0) {}

INIWriteRequest::INIWriteRequest(const char* key_, int32_t value_)
    : key(key_), value(Number(uint32_t(value_))), kind(ValueKind::DWord), length(0) {}

INIWriteRequest::INIWriteRequest(const char* key_, const char* text)
    : key(key_), value(Pointer(text)), kind(ValueKind::Text), length(0) {}

INIWriteRequest::INIWriteRequest(const char* key_, const unsigned char* bytes, uint16_t n)
    : key(key_), value(Pointer(bytes)), kind(ValueKind::Block), length(n) {}

// ---- INIStream: reading and storing -------------------------------------------

void INIStream::ReadText(const char* key, const char* defaultText, char* destination, int size) {
    const char* source = ReadSource(*this, key);
    if (source == nullptr) {
        source = defaultText;
    }
    if (source == nullptr || destination == nullptr || size <= 0) {
        return;
    }
    CopyBounded(destination, source, size);
}

INIStream& INIStream::Get(const INIReadRequest& request) {
    switch (request.kind) {
    case ValueKind::Byte:
    case ValueKind::Word:
    case ValueKind::DWord:
        ReadNumber(*this, request);
        break;
    case ValueKind::Text:
        ReadText(request.key, static_cast<const char*>(request.defaultValue.pointer),
                 static_cast<char*>(request.destination), kTextSize);
        break;
    case ValueKind::HeapText:
        ReadHeapText(*this, request);
        break;
    case ValueKind::Block:
        ReadBlock(*this, request);
        break;
    default:
        break;
    }
    return *this;
}

INIStream& INIStream::Put(const INIWriteRequest& request) {
    if (IsNumberKind(request.kind)) {
        StoreNumber(request);
    } else if (request.kind == ValueKind::Text) {
        StoreText(request.key, static_cast<const char*>(request.value.pointer));
    } else if (request.kind == ValueKind::Block) {
        uint32_t n = request.length;
        const unsigned char* bytes = static_cast<const unsigned char*>(request.value.pointer);
        char* text = new (std::nothrow) char[2 * n + 1];
        if (text == nullptr || (bytes == nullptr && n != 0)) {
            delete[] text;
            return *this;
        }
        for (uint32_t i = 0; i < n; ++i) {
            text[2 * i] = kHexDigits[bytes[i] >> 4];
            text[2 * i + 1] = kHexDigits[bytes[i] & 15];
        }
        text[2 * n] = 0;
        StoreText(request.key, text);
        delete[] text;
    }
    return *this;
}

void INIStream::StoreText(const char* key, const char* text) {
    if (key == nullptr) {
        return;
    }
    SectionItem* section = SectionForChange(*this, true);
    if (section != nullptr) {
        StoreInto(*this, section, ItemForChange(section, key), key, text);
    }
}

void INIStream::StoreNumber(const INIWriteRequest& request) {
    if (!IsNumberKind(request.kind) || request.key == nullptr) {
        return;
    }
    uint32_t value = request.value.number;
    char text[36];
    SectionItem* section = SectionForChange(*this, false);
    INIItem* item = section != nullptr ? ItemForChange(section, request.key) : nullptr;
    const char* old = item != nullptr ? item->GetValue() : nullptr;
    if (old != nullptr && BeginsWithLowerHexPrefix(old)) {
        text[0] = '0';
        text[1] = 'x';
        FormatHex(text + 2, value, 1);
    } else if (numberFormat == 2) {
        int digits = request.kind == ValueKind::Byte ? 2 : (request.kind == ValueKind::Word ? 4 : 8);
        text[0] = '0';
        text[1] = 'x';
        FormatHex(text + 2, value, digits);
    } else {
        FormatDecimal(text, value);  // numberFormat 1, and any other value
    }
    if (section == nullptr) {
        section = SectionForChange(*this, true);
        if (section == nullptr) {
            return;
        }
    }
    StoreInto(*this, section, item, request.key, text);
}

// ---- INIStream: maintenance by name -------------------------------------------

void INIStream::PushSection() {
    Istr* saved = new (std::nothrow) Istr(currentSection);
    if (saved == nullptr) {
        return;
    }
    if (saved->text == nullptr || !sectionStack.Add(saved)) {
        delete saved;
    }
}

void INIStream::PopSection() {
    Istr* saved = static_cast<Istr*>(sectionStack.RemoveLast());
    if (saved == nullptr) {
        return;  // empty stack: currentSection stays as it is
    }
    CopyBounded(currentSection, saved->text != nullptr ? saved->text : "", int(sizeof currentSection));
    delete saved;
}

SectionItem* INIStream::CurrentSection() {
    return SectionForChange(*this, false);
}

// Removes the section at `index` of sectionList: first from sectionIndex (by
// identity, so a duplicate name can never leave a destroyed section behind),
// then from sectionList, destroying it.
static void DestroySectionAt(INIStream& stream, uint32_t index) {
    int32_t inIndex = stream.sectionIndex.IndexOfPointer(stream.sectionList.items[index]);
    if (inIndex >= 0) {
        stream.sectionIndex.RemoveAt(uint32_t(inIndex));
    }
    stream.sectionList.DeleteAt(index);
}

void INIStream::DeleteSection(const char* name) {
    if (name == nullptr) {
        return;
    }
    EncodedName encoded(name);
    SectionItem* section = FindSection(*this, sectionList, encoded.text);
    int32_t index = section != nullptr ? sectionList.IndexOfPointer(section) : -1;
    if (index >= 0) {
        DestroySectionAt(*this, uint32_t(index));
        SectionLookup::Forget(*this);
    }
}

void INIStream::DeleteSections(const char* prefix) {
    if (prefix == nullptr) {
        return;
    }
    size_t length = strlen(prefix);
    uint32_t i = 0;
    while (i < sectionList.count) {
        if (strncmp(static_cast<SectionItem*>(sectionList.items[i])->Name(), prefix, length) == 0) {
            DestroySectionAt(*this, i);
            SectionLookup::Forget(*this);
        } else {
            ++i;
        }
    }
}

void INIStream::DeleteItem(const char* key) {
    SectionItem* section = CurrentSection();
    if (section == nullptr || key == nullptr) {
        return;
    }
    int32_t index = FindItem(section->itemList, key);
    if (index < 0) {
        return;
    }
    // The index entry is found by identity: with duplicate names a lookup by
    // name could name a different item and leave the destroyed one behind.
    int32_t inIndex = section->itemIndex.IndexOfPointer(section->itemList.At(uint32_t(index)));
    if (inIndex >= 0) {
        section->itemIndex.RemoveAt(uint32_t(inIndex));
    }
    section->itemList.DeleteAt(uint32_t(index));
}

// ---- Iterators --------------------------------------------------------------

namespace {

char* CopyPrefix(const char* prefix) {
    return DupString(prefix != nullptr ? prefix : "");
}

}  // namespace

INISectionIterator::INISectionIterator(const char* prefix_, INIStream& stream_)
    : stream(&stream_), prefix(CopyPrefix(prefix_)), current(nullptr),
      prefixLength(prefix != nullptr ? strlen(prefix) : 0), next(0) {
    PositionFrom(0);
}

INISectionIterator::~INISectionIterator() {
    delete[] prefix;
}

void INISectionIterator::PositionFrom(uint32_t index) {
    current = nullptr;
    if (prefix == nullptr) {
        return;
    }
    for (uint32_t i = index; i < stream->sectionList.count; ++i) {
        const char* name = static_cast<SectionItem*>(stream->sectionList.items[i])->Name();
        if (strncmp(name, prefix, prefixLength) == 0) {
            current = name;
            next = i + 1;
            return;
        }
    }
}

void INISectionIterator::Next() {
    if (current != nullptr) {
        PositionFrom(next);
    }
}

INIItemIterator::INIItemIterator(const char* prefix_, const char* sectionName, INIStream& stream_)
    : stream(&stream_), section(nullptr), prefix(CopyPrefix(prefix_)), current(nullptr),
      prefixLength(prefix != nullptr ? strlen(prefix) : 0), next(0) {
    if (sectionName != nullptr) {
        EncodedName name(sectionName);
        section = FindSection(*stream, stream->sectionList, name.text);
    }
    PositionFrom(0);
}

INIItemIterator::~INIItemIterator() {
    delete[] prefix;
}

void INIItemIterator::PositionFrom(uint32_t index) {
    current = nullptr;
    if (section == nullptr || prefix == nullptr) {
        return;
    }
    CopyBounded(stream->currentSection, section->Name(), int(sizeof stream->currentSection));
    for (uint32_t i = index; i < section->itemList.Count(); ++i) {
        const char* name = section->itemList.At(i)->Name();
        if (strncmp(name, prefix, prefixLength) == 0) {
            current = name;
            next = i + 1;
            return;
        }
    }
}

void INIItemIterator::Next() {
    if (current != nullptr) {
        PositionFrom(next);
    }
}
