// str, Istr, DIstr, TokenContainer and the text helpers.
#ifndef FOUNDATION_STRINGS_H
#define FOUNDATION_STRINGS_H

#include <stdint.h>
#include <stdio.h>
#include "foundation/container.h"

// A scratch buffer of fixed size with a guard byte at its end.
// str(n) has n + 1 bytes (user bytes 0..n-1, guard at n); str(text) has
// strlen(text) + 2 bytes. Bytes 0 and the guard start as 0. Destruction
// checks the guard: a nonzero guard is reported ("str: write over end") and
// the block is then kept, not released.
class str {
public:
    char* data;    // the block; null after Assign(null), or when no block
                   // could be had (a negative length or the heap refused;
                   // size is then 0); a str without a block must not be used
    int32_t size;  // block size in bytes, guard included

    explicit str(int32_t length);
    explicit str(const char* text);
    ~str();
    // Releases the block without a guard check; a null text leaves data null
    // and gives null, otherwise a new block as str(text) makes.
    char* Assign(const char* text);

private:
    str(const str&) = delete;
    str& operator=(const str&) = delete;
};

// A BaseObject holding its own heap copy of a text, equal and ordered by
// byte comparison of the texts.
class Istr : public BaseObject {
public:
    char* text;  // owned block of exactly strlen + 1 bytes; null when the
                 // heap refused it (such an Istr equals only another without
                 // text and sorts before every text)

    explicit Istr(const char* text);
    Istr(const Istr& other);
    explicit Istr(int32_t size);  // uninitialised block for the caller to fill
    void Assign(const char* text);
    ~Istr() override;
    int IsEqual(const BaseObject* other) const override;
    int IsGreater(const BaseObject* other) const override;

private:
    Istr& operator=(const Istr&) = delete;
};

// An Istr with a number that plays no part in equality or order.
class DIstr : public Istr {
public:
    int32_t value;
    DIstr(int32_t value, const char* text);
};

// A new block of exactly strlen(text) + 1 bytes holding a copy of text
// (released by the caller with delete[]); null when the heap refuses it.
char* DupString(const char* text);
// Copies first into dest, appends second; dest must hold both. Returns dest.
char* ConcatStrings(char* dest, const char* first, const char* second);
// fopen; on failure ReportError(5229, name) and null.
FILE* OpenFileChecked(const char* name, const char* mode);

// Mode bits of TokenContainer.
enum : uint32_t {
    TK_QUOTES = 0x01,  // double-quoted runs are taken whole, quotes dropped
    TK_EMPTY = 0x02    // empty tokens are kept
};

// Splits a text into Istr tokens, held in one SContainer (delta 32).
class TokenContainer : public PSContainer<Istr> {
public:
    TokenContainer(uint32_t flags, uint32_t mode, const char* delimiters, const char* text);

private:
    void SplitPlain(uint32_t mode, const char* delimiters, const char* text);
    void SplitQuoted(uint32_t mode, const char* delimiters, const char* text);
    void AddToken(const char* start, size_t length);
};

#endif
