// Fuzz target of the INI reader.
//
// The input is split at "\n%%\n" into up to three files of a private
// temporary folder, main.ini, a.ini and b.ini, and main.ini is loaded
// read-only and editable. An include path is always the main file's folder
// joined with a bare name, so includes reach only these files (or nothing).
// Nothing is written: the editable stream is made read-only before it is
// destroyed. Every report goes to a listener, so the hooks format their
// texts; the model is walked and its invariants checked after each load.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "foundation/diagnostics.h"
#include "foundation/strings.h"
#include "ini/inistream.h"

namespace {

std::string g_folder;
const char* const kFiles[] = {"main.ini", "a.ini", "b.ini"};

void RemoveFolder() {
    for (const char* name : kFiles) {
        unlink((g_folder + "/" + name).c_str());
    }
    rmdir(g_folder.c_str());
}

void Listen(const DiagnosticRecord& record) {
    if (record.hook == nullptr || record.text == nullptr) {
        abort();
    }
}

void Check(bool condition) {
    if (!condition) {
        abort();
    }
}

// Walks a loaded stream: depths, names, values and indexes must agree.
void CheckStream(const INIStream* stream, unsigned depth, unsigned char readOnly) {
    Check(stream->depth == depth);
    Check(stream->readOnly == readOnly);
    Check(strlen(stream->currentSection) < sizeof stream->currentSection);
    uint32_t sections = stream->sectionList.Count();
    Check(stream->sectionIndex.Count() == ((readOnly && sections > 8) ? sections : 0));
    for (uint32_t i = 0; i < sections; ++i) {
        const SectionItem* s = static_cast<const SectionItem*>(stream->sectionList.At(i));
        Check(s != nullptr && s->Name() != nullptr);
        Check(strchr(s->Name(), '[') == nullptr && strchr(s->Name(), ']') == nullptr);
        Check(s->itemIndex.Count() == (readOnly ? s->itemList.Count() : 0));
        for (uint32_t j = 0; j < s->itemList.Count(); ++j) {
            const INIItem* item = s->itemList.At(j);
            Check(item->GetValue() != nullptr);
            Check(item->isShort == (strlen(item->GetValue()) < 8));
        }
        if (s->nestedStream != nullptr) {
            CheckStream(s->nestedStream, depth + 1, readOnly);
        }
    }
    if (depth != 0 || readOnly) {
        Check(stream->leadingLines.Count() == 0 && stream->trailingLines.Count() == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/kit_reader_fuzz_XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        perror("mkdtemp");
        exit(1);
    }
    g_folder = pattern;
    atexit(RemoveFolder);
    SetDiagnosticsListener(&Listen);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        std::string path = g_folder + "/" + kFiles[i];
        unlink(path.c_str());
        if (start > input.size()) {
            continue;
        }
        size_t end = i < 2 ? input.find("\n%%\n", start) : std::string::npos;
        std::string part = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? input.size() + 1 : end + 4;
        FILE* f = fopen(path.c_str(), "wb");
        if (f == nullptr) {
            abort();
        }
        fwrite(part.data(), 1, part.size(), f);
        fclose(f);
    }
    std::string main = g_folder + "/main.ini";
    INIDiagnostics = size % 2;  // both ways: duplicate checks and reference reports
    {
        INIStream stream(main.c_str(), 1);
        Check(stream.opened == 1);
        CheckStream(&stream, 0, 1);
    }
    {
        INIStream stream(main.c_str(), 0);
        CheckStream(&stream, 0, 0);
        stream.readOnly = 1;  // never write back
    }
    INIDiagnostics = 0;
    return 0;
}
