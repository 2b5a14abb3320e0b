// The reference pass of a read-only load: @[section].item, @[section],
// @[].item, @[] and @[.] inside values are replaced by the texts they name,
// once, in file order. A value is replaced as a whole or not at all.
#include <new>
#include <string.h>

#include "foundation/diagnostics.h"
#include "foundation/strings.h"
#include "ini/inistream.h"
#include "ini/section_lookup.h"

namespace {

const int32_t kWorkSize = 16384;  // characters of the work buffer, terminator included

// The resolved value being assembled; it refuses to grow past the buffer.
class Output {
public:
    Output(char* buffer_) : buffer(buffer_), used(0), overflow(false) {}
    void Append(const char* text, size_t length) {
        if (overflow || length >= size_t(kWorkSize) - used) {
            overflow = true;
            return;
        }
        memcpy(buffer + used, text, length);
        used += length;
    }
    const char* Finish() {
        buffer[used] = 0;
        return buffer;
    }
    char* buffer;
    size_t used;
    bool overflow;
};

// The first item of that name (the `length` bytes of `name`) in file order.
INIItem* FindItem(const SectionItem* section, const char* name, size_t length) {
    for (uint32_t i = 0; i < section->itemList.Count(); ++i) {
        INIItem* item = section->itemList.At(i);
        const char* itemName = item->Name();
        // strncmp, not memcmp: a shorter name ends before `length` bytes.
        if (strncmp(itemName, name, length) == 0 && itemName[length] == 0) {
            return item;
        }
    }
    return nullptr;
}

// A terminated copy of a run of a value, for a report only.
class RunCopy {
public:
    RunCopy(const char* text, size_t length) : copy(new (std::nothrow) char[length + 1]) {
        if (copy != nullptr) {
            memcpy(copy, text, length);
            copy[length] = 0;
        }
    }
    ~RunCopy() { delete[] copy; }
    const char* Text() const { return copy != nullptr ? copy : ""; }

private:
    char* copy;
    RunCopy(const RunCopy&) = delete;
    RunCopy& operator=(const RunCopy&) = delete;
};

// Resolves the references of one value into `out`; `first` is the value's
// first "@[". Returns false, after the report, when the value is to stay as
// loaded.
bool ResolveValue(INIStream& stream, const SContainer& sections, SectionItem* home, INIItem* item,
                  const char* src, const char* first, Output& out) {
    const bool report = INIDiagnostics != 0;
    const char* copy = src;
    const char* scan = first;
    for (;;) {
        const char* at = strchr(scan, '@');
        if (at == nullptr) {
            out.Append(copy, strlen(copy));
            break;
        }
        if (at[1] != '[') {
            scan = at + 1;
            continue;
        }
        out.Append(copy, size_t(at - copy));
        const char* s = at + 2;
        const char* close = strchr(s, ']');
        if (close == nullptr) {
            if (report) {
                TraceMessage("File '%s', section '[%s]', item '%s': cannot find ']'\n", stream.fileName, home->Name(),
                             item->Name());
            }
            return false;
        }
        if (s[0] == '.' && s[1] == ']') {
            const char* name = home->Name();
            out.Append(name, strlen(name));
            copy = scan = s + 2;
            continue;
        }
        SectionItem* target = s == close ? home : SectionLookup::First(stream, sections, s, size_t(close - s));
        if (target == nullptr) {
            if (report) {
                RunCopy wanted(s, size_t(close - s));
                TraceMessage("File '%s', section '[%s]', item '%s': cannot find section '%s' in file\n",
                             stream.fileName, home->Name(), item->Name(), wanted.Text());
            }
            return false;
        }
        const char* name = item->Name();
        size_t nameLength;
        const char* referenceEnd = close + 1;
        if (*referenceEnd == '.') {
            name = ++referenceEnd;
            while (IsNameChar(1, (unsigned char)*referenceEnd)) {
                ++referenceEnd;
            }
            nameLength = size_t(referenceEnd - name);
        } else {
            nameLength = strlen(name);
        }
        INIItem* found = FindItem(target, name, nameLength);
        if (found == nullptr) {
            if (report) {
                RunCopy wanted(name, nameLength);
                TraceMessage("File '%s', section '[%s]', item '%s': cannot find item '%s' in section '%s'\n",
                             stream.fileName, home->Name(), item->Name(), wanted.Text(), target->Name());
            }
            return false;
        }
        const char* text = found->GetValue();
        if (text != nullptr) {
            out.Append(text, strlen(text));
        }
        copy = scan = referenceEnd;
    }
    if (out.overflow) {
        if (report) {
            TraceMessage("File '%s', section '[%s]', item '%s': resolved value longer than %d characters\n",
                         stream.fileName, home->Name(), item->Name(), int(kWorkSize - 1));
        }
        return false;
    }
    return true;
}

}  // namespace

void INIStream::ResolveReferences() {
    ResolveFrom(0);
}

// The work buffer is taken when the first value with a reference is met, so
// a load without references never touches it.
void INIStream::ResolveFrom(uint32_t firstSection) {
    const SContainer& sections = sectionIndex.Count() != 0 ? sectionIndex : sectionList;
    str* work = nullptr;
    for (uint32_t i = firstSection; i < sectionList.Count(); ++i) {
        SectionItem* section = static_cast<SectionItem*>(sectionList.At(i));
        for (uint32_t j = 0; j < section->itemList.Count(); ++j) {
            INIItem* item = section->itemList.At(j);
            const char* src = item->GetValue();
            if (src == nullptr) {
                continue;
            }
            const char* at = strchr(src, '@');
            while (at != nullptr && at[1] != '[') {
                at = strchr(at + 1, '@');
            }
            if (at == nullptr) {
                continue;  // no reference: scanned once, left alone
            }
            if (work == nullptr) {
                work = new (std::nothrow) str(kWorkSize);
                if (work == nullptr || work->data == nullptr) {
                    delete work;
                    return;  // no work buffer: every value stays as loaded
                }
            }
            Output out(work->data);
            if (ResolveValue(*this, sections, section, item, src, at, out)) {
                item->SetValue(out.Finish());
            }
        }
    }
    delete work;
}
