// Fuzz target of typed stores and the writer.
//
// The input gives a file text and a list of stores. The text is loaded as an
// editable stream from a private temporary folder; typed values of every
// store kind go into sections and keys taken from the model or made up;
// destroying the stream writes the file. Loading the written file again in
// editable mode must give back every stored value; after that rewrite, one
// more rewrite must give the same bytes (for texts without include
// directives, whose nesting may change once they are inlined).
// Generated names and values keep to what the format can carry: no line
// feed, no NUL, no ']' in section names, no value that begins with a blank.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/diagnostics.h"
#include "ini/access.h"
#include "ini/inistream.h"

namespace {

std::string g_folder;
std::string g_file;
bool g_writeFailed = false;

void Check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "writer_fuzz: %s\n", what);
        abort();
    }
}

void Listen(const DiagnosticRecord& record) {
    if (record.tag != nullptr && strcmp(record.tag, "me") == 0) {
        g_writeFailed = true;
    }
}

// A private folder per input, removed again when the input is done, so that
// nothing stays behind however the fuzzer ends.
void MakeFolder() {
    char pattern[] = "/tmp/writer_fuzz_XXXXXX";
    Check(mkdtemp(pattern) != nullptr, "no temporary folder");
    g_folder = pattern;
    g_file = g_folder + "/main.ini";
    SetDiagnosticsListener(Listen);
}

void RemoveFolder() {
    unlink(g_file.c_str());
    rmdir(g_folder.c_str());
}

std::string ReadAll() {
    std::string text;
    FILE* f = fopen(g_file.c_str(), "rb");
    if (f == nullptr) return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    return text;
}

// What one store left, as the reload must read it back.
struct Stored {
    ValueKind kind;
    uint32_t number;
    std::string bytes;  // text, or the block's bytes
};

std::string Encoded(const std::string& name) {
    std::string out(name.size() + 1, '\0');
    EncodeSectionName(&out[0], name.c_str());
    out.resize(name.size());
    return out;
}

std::string MadeUp(FuzzedDataProvider& in, const char* first, const char* rest, size_t most) {
    std::string s(1, first[in.ConsumeIntegralInRange<size_t>(0, strlen(first) - 1)]);
    size_t n = in.ConsumeIntegralInRange<size_t>(0, most);
    for (size_t i = 0; i < n; ++i) s += rest[in.ConsumeIntegralInRange<size_t>(0, strlen(rest) - 1)];
    return s;
}

// A section name: one of the model's (stored form), or made up.
std::string PickSection(FuzzedDataProvider& in, INIStream& s) {
    uint32_t count = s.sectionList.Count();
    if (count != 0 && in.ConsumeBool()) {
        const char* name = static_cast<SectionItem*>(s.sectionList.At(in.ConsumeIntegralInRange<uint32_t>(0, count - 1)))
                               ->Name();
        if (strlen(name) < 64) return name;
    }
    return MadeUp(in, "ABCab[ %\xE0", "ABCab12[ %\t\xE0\xFF\r", 8);
}

// A key: one of the section's item names, or made up.
std::string PickKey(FuzzedDataProvider& in, INIStream& s) {
    SectionItem* section = s.CurrentSection();
    if (section != nullptr && section->itemList.Count() != 0 && in.ConsumeBool()) {
        uint32_t i = in.ConsumeIntegralInRange<uint32_t>(0, section->itemList.Count() - 1);
        const char* name = section->itemList.At(i)->Name();
        if (name[0] != 0 && strlen(name) < 48) return name;
    }
    return MadeUp(in, "abcXY_$", "abcXY09_$", 6);
}

std::string Value(FuzzedDataProvider& in) {
    std::string v = in.ConsumeRandomLengthString(200);
    for (char& c : v) {
        if (c == '\n' || c == 0) c = '.';
    }
    while (!v.empty() && strchr(" \t\n\v\f\r", v[0]) != nullptr) v.erase(0, 1);
    return v;
}

void StoreOne(FuzzedDataProvider& in, INIStream& s, std::map<std::pair<std::string, std::string>, Stored>& stored) {
    std::string section = PickSection(in, s);
    strcpy(s.currentSection, section.c_str());
    std::string key = PickKey(in, s);
    s.numberFormat = in.ConsumeIntegralInRange<int32_t>(0, 3);
    Stored what{ValueKind::DWord, 0, std::string()};
    switch (in.ConsumeIntegralInRange<int>(0, 6)) {
    case 0: {
        unsigned char b = in.ConsumeIntegral<unsigned char>();
        s.Put(INIWriteRequest(key.c_str(), b));
        what.number = b;
        break;
    }
    case 1: {
        signed char b = in.ConsumeIntegral<signed char>();
        s.Put(INIWriteRequest(key.c_str(), b));
        what.number = uint32_t(int32_t(b));
        break;
    }
    case 2: {
        uint16_t w = in.ConsumeIntegral<uint16_t>();
        s.Put(INIWriteRequest(key.c_str(), w));
        what.number = w;
        break;
    }
    case 3: {
        uint32_t d = in.ConsumeIntegral<uint32_t>();
        s.Put(INIWriteRequest(key.c_str(), d));
        what.number = d;
        break;
    }
    case 4: {
        what.kind = ValueKind::Text;
        what.bytes = Value(in);
        s.Put(INIWriteRequest(key.c_str(), what.bytes.c_str()));
        break;
    }
    case 5: {  // no value text: written, and read back, as the empty text
        what.kind = ValueKind::Text;
        s.Put(INIWriteRequest(key.c_str(), static_cast<const char*>(nullptr)));
        break;
    }
    default: {
        what.kind = ValueKind::Block;
        what.bytes = in.ConsumeRandomLengthString(64);
        s.Put(INIWriteRequest(key.c_str(), reinterpret_cast<const unsigned char*>(what.bytes.data()),
                              uint16_t(what.bytes.size())));
        break;
    }
    }
    stored[std::make_pair(Encoded(section), key)] = what;
}

void CheckStored(INIStream& s, const std::map<std::pair<std::string, std::string>, Stored>& stored) {
    for (const auto& entry : stored) {
        strcpy(s.currentSection, entry.first.first.c_str());
        const char* key = entry.first.second.c_str();
        const Stored& what = entry.second;
        if (what.kind == ValueKind::DWord) {
            uint32_t d = ~what.number;
            s.Get(INIReadRequest(key, &d, ~what.number));
            Check(d == what.number, "a number did not read back");
        } else if (what.kind == ValueKind::Text) {
            char text[1024] = "<missing>";
            s.Get(INIReadRequest(key, text, nullptr));
            Check(what.bytes == text, "a text did not read back");
        } else {
            std::vector<unsigned char> bytes(what.bytes.size() + 1, 0x5A);
            s.Get(INIReadRequest(key, bytes.data(), nullptr, uint16_t(what.bytes.size())));
            Check(memcmp(bytes.data(), what.bytes.data(), what.bytes.size()) == 0, "a block did not read back");
            Check(bytes.back() == 0x5A, "a block read wrote past its end");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MakeFolder();
    FuzzedDataProvider in(data, size);
    std::string text = in.ConsumeRandomLengthString(3000);
    FILE* f = fopen(g_file.c_str(), "wb");
    Check(f != nullptr, "cannot write the input file");
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);

    std::map<std::pair<std::string, std::string>, Stored> stored;
    INIStream* stream = new INIStream(g_file.c_str(), 0);
    int stores = in.ConsumeIntegralInRange<int>(0, 24);
    for (int i = 0; i < stores && in.remaining_bytes() != 0; ++i) StoreOne(in, *stream, stored);
    g_writeFailed = false;
    delete stream;
    Check(!g_writeFailed, "write-back failed");
    std::string written = ReadAll();

    stream = new INIStream(g_file.c_str(), 0);
    CheckStored(*stream, stored);
    delete stream;
    Check(!g_writeFailed, "second write-back failed");

    // Rewriting a file twice gives the same bytes the second time.
    std::string once = ReadAll();
    delete new INIStream(g_file.c_str(), 0);
    std::string twice = ReadAll();
    if (text.find("#include") == std::string::npos && twice != once) {
        fprintf(stderr, "input:\n");
        fwrite(text.data(), 1, text.size(), stderr);
        fprintf(stderr, "\nfirst write:\n%s\nrewritten:\n%s\nrewritten again:\n%s\n", written.c_str(),
                once.c_str(), twice.c_str());
        Check(false, "the second rewrite gave other bytes than the first");
    }
    RemoveFolder();
    return 0;
}
