// Typed access to the values of an INIStream: the value kinds, the request
// records of one read (INIReadRequest) and one store (INIWriteRequest), and
// the two iterators over section names and item names.
//
// Value forms in the text of an item:
//   numbers  decimal, "0x"/"0X" hexadecimal or 0-led octal, optional sign;
//            beyond 32 bits reads as 4294967295; stored in decimal
//            (numberFormat 1) or as "0x" and upper-case hex (numberFormat 2,
//            or any item whose text already begins with "0x").
//   blocks   two hex digits per byte, first byte first; stored upper case,
//            read in either case.
// The operations themselves are members of INIStream (ini/inistream.h).
#ifndef INI_ACCESS_H
#define INI_ACCESS_H

#include <stddef.h>
#include <stdint.h>
#include <type_traits>
#include "ini/inistream.h"

// The six kinds of typed values, as an 8-bit code. Any other code makes Get
// and Put do nothing.
enum class ValueKind : unsigned char {
    Byte = 0,      // 8-bit integer
    Word = 1,      // 16-bit unsigned integer
    DWord = 2,     // 32-bit integer
    Text = 3,      // character array of at least 1024 characters
    HeapText = 4,  // a text pointer that receives a new heap copy (delete[])
    Block = 5      // n bytes, n travelling in the request
};

// Either a 32-bit number or a pointer; holds both without loss where a
// pointer has 8 bytes.
union RequestValue {
    uint32_t number;
    const void* pointer;
};

// One typed read, built on the caller's stack just before Get. Owns nothing:
// the key, the default and the destination belong to the caller and must stay
// valid during the call.
//   key          the item name
//   defaultValue Byte/Word/DWord: the number; Text/HeapText: the default text
//                or null; Block: the n default bytes or null
//   destination  the variable (HeapText: the address of the text pointer)
//   kind, length length is n for Block, unused otherwise
// Explicit-default forms take the default as an argument; current-value forms
// take the variable's present content, so a missing item leaves it as it was.
struct INIReadRequest {
    const char* key;
    RequestValue defaultValue;
    void* destination;
    ValueKind kind;
    uint16_t length;

    // Byte, explicit default (zero-extended).
    INIReadRequest(const char* key, unsigned char* variable, uint16_t defaultNumber);
    INIReadRequest(const char* key, signed char* variable, uint16_t defaultNumber);
    // Byte, current value: zero-extended, or sign-extended for a signed byte.
    INIReadRequest(const char* key, unsigned char* variable);
    INIReadRequest(const char* key, signed char* variable);
    // Word, explicit default and current value (zero-extended).
    INIReadRequest(const char* key, uint16_t* variable, uint16_t defaultNumber);
    INIReadRequest(const char* key, uint16_t* variable);
    // DWord, explicit default and current value: unsigned and signed 32-bit
    // variables, and any other 32-bit integer type (DWORD, LONG on Windows).
    INIReadRequest(const char* key, uint32_t* variable, uint32_t defaultNumber);
    INIReadRequest(const char* key, int32_t* variable, uint32_t defaultNumber);
    template <class T, class = typename std::enable_if<std::is_integral<T>::value && sizeof(T) == 4>::type>
    INIReadRequest(const char* key, T* variable, uint32_t defaultNumber)
        : INIReadRequest(key, reinterpret_cast<uint32_t*>(variable), defaultNumber) {}
    INIReadRequest(const char* key, uint32_t* variable);
    INIReadRequest(const char* key, int32_t* variable);
    template <class T, class = typename std::enable_if<std::is_integral<T>::value && sizeof(T) == 4>::type>
    INIReadRequest(const char* key, T* variable)
        : INIReadRequest(key, reinterpret_cast<uint32_t*>(variable)) {}
    // Text into an array of at least 1024 characters: explicit default (may be
    // null: a missing item then leaves the array untouched) and current value.
    INIReadRequest(const char* key, char* array, const char* defaultText);
    INIReadRequest(const char* key, char* array);
    // HeapText: *variable receives a new heap copy; the text it pointed to
    // before is not released.
    INIReadRequest(const char* key, char** variable, const char* defaultText);
    // Block of n bytes (at most 32767 for a read); defaultBytes may be null.
    INIReadRequest(const char* key, unsigned char* array, const unsigned char* defaultBytes, uint16_t n);
};

// One typed store, built on the caller's stack just before Put. Owns nothing.
//   value  Byte/Word/DWord: the number widened to 32 bits; Text: the text
//          (null stores an item without value text); Block: the n bytes.
struct INIWriteRequest {
    const char* key;
    RequestValue value;
    ValueKind kind;
    uint16_t length;

    // Byte: zero-extended, or sign-extended for a signed byte.
    INIWriteRequest(const char* key, unsigned char value);
    INIWriteRequest(const char* key, signed char value);
    // Word, zero-extended.
    INIWriteRequest(const char* key, uint16_t value);
    // DWord: unsigned and signed 32-bit values, and any other 32-bit integer
    // type (DWORD, LONG on Windows).
    INIWriteRequest(const char* key, uint32_t value);
    INIWriteRequest(const char* key, int32_t value);
    template <class T, class = typename std::enable_if<std::is_integral<T>::value && sizeof(T) == 4>::type>
    INIWriteRequest(const char* key, T value, int = 0) : INIWriteRequest(key, uint32_t(value)) {}
    // Text.
    INIWriteRequest(const char* key, const char* text);
    // Block of n bytes.
    INIWriteRequest(const char* key, const unsigned char* bytes, uint16_t n);
};

// Parses a number the way typed reads do: leading blanks skipped, optional
// sign (a minus negates modulo 2^32), then with base 0 "0x"/"0X" selects
// hexadecimal, a leading 0 octal, else decimal; base 16 takes hex digits (and
// an optional "0x"). Stops at the first character that is not a digit of the
// base; no digits give 0; beyond 32 bits gives 4294967295. *end (when not
// null) receives the position after the last character taken.
uint32_t ParseININumber(const char* text, int base, const char** end);

// Enumerates the names of the sections of one stream (not of its nested
// streams) that begin with a prefix, in list order. Current() points into the
// section reached (its stored, encoded name) or is null when none is left;
// deleting sections while iterating invalidates the iterator. The stream must
// outlive it. Not copyable.
class INISectionIterator {
public:
    INISectionIterator(const char* prefix, INIStream& stream);
    ~INISectionIterator();
    const char* Current() const { return current; }
    void Next();

private:
    INIStream* stream;
    char* prefix;        // own heap copy (never null)
    const char* current;
    size_t prefixLength;
    uint32_t next;       // position after the current section

    void PositionFrom(uint32_t index);
    INISectionIterator(const INISectionIterator&) = delete;
    INISectionIterator& operator=(const INISectionIterator&) = delete;
};

// Enumerates the names of the items of one section that begin with a prefix,
// in list order (kept non-item lines of an editable stream have the empty
// name). The section is looked up once, by name, in the stream's sectionList;
// each step copies its stored name into the stream's currentSection, so
// Current() can be handed straight to Get or Put as the key. Current() points
// into the item reached, or is null when none is left or the section does not
// exist (currentSection is then not touched). Deleting items while iterating
// invalidates the iterator. Not copyable.
class INIItemIterator {
public:
    INIItemIterator(const char* prefix, const char* sectionName, INIStream& stream);
    ~INIItemIterator();
    const char* Current() const { return current; }
    void Next();

private:
    INIStream* stream;
    SectionItem* section;  // null when not found
    char* prefix;          // own heap copy (never null)
    const char* current;
    size_t prefixLength;
    uint32_t next;         // position after the current item

    void PositionFrom(uint32_t index);
    INIItemIterator(const INIItemIterator&) = delete;
    INIItemIterator& operator=(const INIItemIterator&) = delete;
};

#endif
