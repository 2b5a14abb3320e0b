// str, Istr, DIstr, the text helpers and TokenContainer.
//
// When a block cannot be allocated nothing is thrown: a str is left with
// data null and size 0 (its destructor then releases nothing), an Istr with
// text null (it equals only another Istr without text and sorts before every
// text), and DupString gives null.
#include "foundation/strings.h"

#include <new>
#include <stdint.h>
#include <string.h>

#include "foundation/diagnostics.h"

namespace {

const int kOpenFailed = 5229;  // ReportError number for a file that cannot be opened

// A block of `bytes` bytes, or null when that is not a valid signed 32-bit
// size or the heap cannot supply it.
char* NewBlock(int64_t bytes) {
    if (bytes < 0 || bytes > INT32_MAX) {
        return nullptr;
    }
    return new (std::nothrow) char[size_t(bytes)];
}

// Block for str(text): the text, its zero, then the guard byte.
char* NewTextBlock(const char* text, int32_t* size) {
    size_t length = strlen(text);
    char* block = NewBlock(int64_t(length) + 2);
    if (block == nullptr) {
        *size = 0;
        return nullptr;
    }
    memcpy(block, text, length + 1);
    block[length + 1] = 0;
    *size = int32_t(length + 2);
    return block;
}

}  // namespace

// A negative length, like a failed allocation, leaves the str without a block.
str::str(int32_t length) : data(length >= 0 ? NewBlock(int64_t(length) + 1) : nullptr), size(0) {
    if (data != nullptr) {
        size = length + 1;
        data[0] = 0;
        data[length] = 0;
    }
}

str::str(const char* text) : data(nullptr), size(0) {
    data = NewTextBlock(text, &size);
}

// A changed guard means someone wrote past the end; the block is then kept
// (never released), since what overran it may still point into it.
str::~str() {
    if (data == nullptr) {
        return;
    }
    if (data[size - 1] != 0) {
        MessageBoxExA(nullptr, "str: write over end", "Error", MB_OK, 0);
        return;
    }
    delete[] data;
}

// The new block is made before the old one is released, so a text inside
// the old block is copied safely. A null text keeps `size` as it was.
char* str::Assign(const char* text) {
    if (text == nullptr) {
        delete[] data;
        data = nullptr;
        return nullptr;
    }
    int32_t newSize = 0;
    char* block = NewTextBlock(text, &newSize);
    delete[] data;
    data = block;
    size = newSize;
    return data;
}

Istr::Istr(const char* text_) : text(DupString(text_)) {}

Istr::Istr(const Istr& other) : BaseObject(), text(other.text != nullptr ? DupString(other.text) : nullptr) {}

// A negative size, like a refused allocation, leaves text null.
Istr::Istr(int32_t size) : text(NewBlock(size)) {}

// The copy is made first, so a text inside the old block is safe.
void Istr::Assign(const char* text_) {
    char* copy = DupString(text_);
    delete[] text;
    text = copy;
}

Istr::~Istr() {
    delete[] text;
}

int Istr::IsEqual(const BaseObject* other) const {
    const char* theirs = static_cast<const Istr*>(other)->text;
    if (text == nullptr || theirs == nullptr) {
        return text == theirs;
    }
    return strcmp(text, theirs) == 0;
}

int Istr::IsGreater(const BaseObject* other) const {
    const char* theirs = static_cast<const Istr*>(other)->text;
    if (text == nullptr || theirs == nullptr) {
        return text != nullptr;
    }
    return strcmp(text, theirs) > 0;
}

DIstr::DIstr(int32_t value_, const char* text_) : Istr(text_), value(value_) {}

char* DupString(const char* text) {
    size_t length = strlen(text);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy != nullptr) {
        memcpy(copy, text, length + 1);
    }
    return copy;
}

// memmove, so that dest may be `first` itself (appending to a buffer).
char* ConcatStrings(char* dest, const char* first, const char* second) {
    size_t firstLength = strlen(first);
    memmove(dest, first, firstLength);
    strcpy(dest + firstLength, second);
    return dest;
}

FILE* OpenFileChecked(const char* name, const char* mode) {
    FILE* file = fopen(name, mode);
    if (file == nullptr) {
        ReportError(kOpenFailed, name);
    }
    return file;
}

TokenContainer::TokenContainer(uint32_t flags, uint32_t mode, const char* delimiters, const char* text)
    : PSContainer<Istr>(flags, 32) {
    if ((mode & TK_QUOTES) == 0) {
        SplitPlain(mode, delimiters, text);
    } else {
        SplitQuoted(mode, delimiters, text);
    }
}

// Every delimiter ends a token; the end of the text ends the last one.
void TokenContainer::SplitPlain(uint32_t mode, const char* delimiters, const char* text) {
    const char* start = text;
    for (;;) {
        const char* stop = strpbrk(start, delimiters);
        const char* end = stop != nullptr ? stop : start + strlen(start);
        if (end != start || (mode & TK_EMPTY) != 0) {
            AddToken(start, size_t(end - start));
        }
        if (stop == nullptr) {
            return;
        }
        start = stop + 1;
    }
}

// Tokens are assembled one at a time at the start of a scratch copy of the
// text (no token is longer than the text). The delimiter test comes before
// the quote test; the end of the text adds only a non-empty token. When the
// scratch block cannot be had, no token is added.
void TokenContainer::SplitQuoted(uint32_t mode, const char* delimiters, const char* text) {
    str scratch(text);
    char* token = scratch.data;
    if (token == nullptr) {
        return;
    }
    size_t length = 0;
    const char* p = text;
    for (;;) {
        char c = *p;
        if (c != 0 && strchr(delimiters, c) != nullptr) {
            if (length != 0 || (mode & TK_EMPTY) != 0) {
                AddToken(token, length);
            }
            length = 0;
            ++p;
        } else if (c == 0) {
            if (length != 0) {
                AddToken(token, length);
            }
            return;
        } else if (c == '"') {
            for (++p; *p != 0 && *p != '"'; ++p) {
                token[length++] = *p;
            }
            if (*p == '"') {
                ++p;
            }
        } else {
            token[length++] = c;
            ++p;
        }
    }
}

// The token is copied straight into a new Istr's block. An Istr that cannot
// be made whole is added as a null element. A token that the container does
// not store (a duplicate under SC_UNIQUE, or the slot limit) and does not
// delete itself is deleted here, so that no token is lost.
void TokenContainer::AddToken(const char* start, size_t length) {
    Istr* token = nullptr;
    if (length < size_t(INT32_MAX)) {
        token = new (std::nothrow) Istr(int32_t(length + 1));
        if (token != nullptr && token->text == nullptr) {
            delete token;
            token = nullptr;
        }
    }
    if (token != nullptr) {
        memcpy(token->text, start, length);
        token->text[length] = 0;
    }
    uint32_t before = Count();
    int stored = Add(token);
    bool deletedByAdd = stored != 0 && (container.flags & SC_DELETE_DUPLICATE) != 0;
    if (Count() == before && !deletedByAdd) {
        delete token;
    }
}
