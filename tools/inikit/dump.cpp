// inikit dump [--editable] FILE: the model of an INI file as JSON.
#include <new>
#include <stdio.h>
#include <string.h>

#include "ini/inistream.h"
#include "tools/inikit/verbs.h"

namespace {

// A JSON string holding one character per byte of text, with the byte's
// value as its code point: printable ASCII as itself (quote and backslash
// escaped), every other byte as \u00XX.
void PutText(const char* text, FILE* out) {
    putc('"', out);
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        if (*p >= 0x20 && *p < 0x7F && *p != '"' && *p != '\\') {
            putc(*p, out);
        } else {
            fprintf(out, "\\u%04x", *p);
        }
    }
    putc('"', out);
}

void PutSections(const INIStream* stream, FILE* out);

void PutSection(const SectionItem* section, FILE* out) {
    fputs("{\"name\": ", out);
    PutText(section->Name(), out);
    fputs(", \"items\": [", out);
    for (uint32_t i = 0; i < section->itemList.Count(); ++i) {
        const INIItem* item = section->itemList.At(i);
        fputs(i == 0 ? "{\"name\": " : ", {\"name\": ", out);
        PutText(item->Name(), out);
        fputs(", \"value\": ", out);
        if (item->GetValue() != nullptr) {
            PutText(item->GetValue(), out);
        } else {
            fputs("null", out);
        }
        putc('}', out);
    }
    fputs("], \"nested\": ", out);
    PutSections(section->nestedStream, out);
    putc('}', out);
}

// The sections of a stream as a JSON list; a missing stream is an empty list.
void PutSections(const INIStream* stream, FILE* out) {
    putc('[', out);
    uint32_t count = stream != nullptr ? stream->sectionList.Count() : 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (i != 0) {
            fputs(",\n ", out);
        }
        PutSection(static_cast<const SectionItem*>(stream->sectionList.At(i)), out);
    }
    putc(']', out);
}

}  // namespace

int DumpVerb(int argc, char** argv) {
    bool editable = false;
    const char* file = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--editable") == 0) {
            editable = true;
        } else if (argv[i][0] == '-' || file != nullptr) {
            return UsageError("dump");
        } else {
            file = argv[i];
        }
    }
    if (file == nullptr) {
        return UsageError("dump");
    }
    INIStream* stream = new (std::nothrow) INIStream(file, editable ? 0 : 1);
    if (stream == nullptr) {
        fputs("inikit dump: out of memory\n", stderr);
        return 1;
    }
    fputs(stream->opened ? "{\"opened\": true, \"sections\": " : "{\"opened\": false, \"sections\": ", stdout);
    PutSections(stream, stdout);
    fputs("}\n", stdout);
    stream->readOnly = 1;  // dump only looks: the destructor must not rewrite the file
    delete stream;
    return 0;
}
