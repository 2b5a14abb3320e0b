// Support for the reader, model and reference tests: a private temporary
// folder per test with files written byte for byte, a recording diagnostics
// listener, and a compact text form of a stream's model.
#ifndef TESTS_INI_READER_SUPPORT_H
#define TESTS_INI_READER_SUPPORT_H

#include <stdio.h>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "foundation/diagnostics.h"
#include "foundation/strings.h"
#include "ini/inistream.h"

namespace reader_test {

// A folder of its own under the system's temporary folder, removed with
// everything in it when the object goes.
class TempFolder {
public:
    TempFolder() {
        // create_directory fails on a name already taken (by a parallel
        // test program too), so the loop ends on a folder of our own.
        static unsigned serial = std::random_device()();
        std::filesystem::path base = std::filesystem::temp_directory_path();
        for (;;) {
            path_ = base / ("kit_reader_" + std::to_string(serial++));
            if (std::filesystem::create_directory(path_)) {
                break;
            }
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    // Writes the bytes as they are (binary) and returns the file's full path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string full = Path(name);
        FILE* f = fopen(full.c_str(), "wb");
        if (f != nullptr) {
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        return full;
    }
    // The file's bytes, or "<missing>".
    std::string Read(const std::string& name) const {
        FILE* f = fopen(Path(name).c_str(), "rb");
        if (f == nullptr) {
            return "<missing>";
        }
        std::string bytes;
        char chunk[4096];
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, f)) != 0) {
            bytes.append(chunk, got);
        }
        fclose(f);
        return bytes;
    }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    // The folder with its separator at the end.
    std::string Directory() const { return (path_ / "").string(); }

private:
    std::filesystem::path path_;
};


struct Report {
    std::string hook;    // "ReportMessage", "ReportError", "TraceMessage"
    std::string tag;     // ReportMessage's tag
    std::string format;  // the format given ("" for a numbered report)
    int number;
    std::string text;    // formatted text, or the argument of a numbered report
};

// Records every report while it lives; sets INIDiagnostics as asked and
// puts back the previous listener and switch at the end.
class RecordingListener {
public:
    explicit RecordingListener(unsigned char diagnostics = 0) : savedSwitch_(INIDiagnostics) {
        Reports().clear();
        INIDiagnostics = diagnostics;
        previous_ = SetDiagnosticsListener(&Record);
    }
    ~RecordingListener() {
        SetDiagnosticsListener(previous_);
        INIDiagnostics = savedSwitch_;
    }
    const std::vector<Report>& reports() const { return Reports(); }

private:
    static std::vector<Report>& Reports() {
        static std::vector<Report> reports;
        return reports;
    }
    static void Record(const DiagnosticRecord& r) {
        Reports().push_back(Report{r.hook, r.tag != nullptr ? r.tag : "", r.format != nullptr ? r.format : "",
                                   r.number, r.text != nullptr ? r.text : ""});
    }
    DiagnosticsListener previous_;
    unsigned char savedSwitch_;
};

// Bytes outside printable ASCII as \xNN, so names with bytes 16 and 17 and
// values with control characters read clearly in a failure message.
inline std::string Visible(const char* text) {
    if (text == nullptr) {
        return "<null>";
    }
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        if (*p >= 0x20 && *p < 0x7F) {
            out += char(*p);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", *p);
            out += hex;
        }
    }
    return out;
}

// The model as text: per section "[name]", then "name=value;" per item,
// then the nested stream's sections inside braces, e.g.
// "[Top]a=1;{[Sub]x=2;}[Next]b=3;". A kept non-item line shows as "=text;".
inline std::string Describe(const INIStream* stream) {
    std::string out;
    for (uint32_t i = 0; stream != nullptr && i < stream->sectionList.Count(); ++i) {
        const SectionItem* s = static_cast<const SectionItem*>(stream->sectionList.At(i));
        out += "[" + Visible(s->Name()) + "]";
        for (uint32_t j = 0; j < s->itemList.Count(); ++j) {
            const INIItem* item = s->itemList.At(j);
            out += Visible(item->Name()) + "=" + Visible(item->GetValue()) + ";";
        }
        if (s->nestedStream != nullptr) {
            out += "{" + Describe(s->nestedStream) + "}";
        }
    }
    return out;
}

inline std::string Describe(const INIStream& stream) {
    return Describe(&stream);
}

// The texts of a list of kept lines (Istr), joined with "|".
inline std::string KeptLines(const SContainer& lines) {
    std::string out;
    for (uint32_t i = 0; i < lines.Count(); ++i) {
        out += (i != 0 ? "|" : "") + Visible(static_cast<const Istr*>(lines.At(i))->text);
    }
    return out;
}

// Loads a text as the file "test.ini" of the folder and describes the model;
// the stream is made read-only before destruction so nothing is rewritten.
inline std::string Load(const TempFolder& folder, const std::string& text, unsigned char readOnly) {
    std::string path = folder.Write("test.ini", text);
    INIStream stream(path.c_str(), readOnly);
    std::string model = Describe(stream);
    stream.readOnly = 1;
    return model;
}

}  // namespace reader_test

#endif
