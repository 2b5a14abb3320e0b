// Shared helpers of the typed-access, writer and registry tests: a private
// temporary folder per test, whole-file reads and writes, and a recorder of
// diagnostic reports. Files are read back in text mode, so expectations are
// written with "\n" on every platform.
#ifndef TESTS_INI_ACCESS_FIXTURE_H
#define TESTS_INI_ACCESS_FIXTURE_H

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/diagnostics.h"
#include "ini/access.h"
#include "ini/inistream.h"

namespace ini_test {

inline std::string ReadFile(const std::string& path, bool* exists = nullptr, bool binary = false) {
    FILE* f = fopen(path.c_str(), binary ? "rb" : "r");
    if (exists != nullptr) *exists = f != nullptr;
    std::string text;
    if (f == nullptr) return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    return text;
}

inline void WriteFile(const std::string& path, const std::string& text, bool binary = false) {
    FILE* f = fopen(path.c_str(), binary ? "wb" : "w");
    ASSERT_NE(f, nullptr) << path;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
}

// Every report made while a Reports object lives.
struct Report {
    std::string hook, tag, text;
    int number;
};

class Reports {
public:
    Reports() { previous = SetDiagnosticsListener(Record); seen().clear(); }
    ~Reports() { SetDiagnosticsListener(previous); }
    const std::vector<Report>& All() const { return seen(); }
    int Count(const char* tag, int number) const {
        int n = 0;
        for (const Report& r : seen()) n += (r.tag == tag && r.number == number) ? 1 : 0;
        return n;
    }

private:
    DiagnosticsListener previous;
    static std::vector<Report>& seen() {
        static std::vector<Report> reports;
        return reports;
    }
    static void Record(const DiagnosticRecord& r) {
        seen().push_back(Report{r.hook ? r.hook : "", r.tag ? r.tag : "", r.text ? r.text : "", r.number});
    }
};

// A fresh folder per test, removed with everything in it afterwards.
class IniFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // Unique per run: other builds may run the same test at the same time.
        std::string name = std::string("kit_ini_") + info->test_suite_name() + "_" + info->name() + "_" +
                           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        dir = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string Path(const char* file) const { return (dir / file).string(); }
    // Writes text into `file` of the test folder and opens a stream on it.
    INIStream* Load(const std::string& text, unsigned char readOnly, const char* file = "test.ini") {
        WriteFile(Path(file), text);
        return new INIStream(Path(file).c_str(), readOnly);
    }
    // Loads text editable, destroys the stream (writing it back) and gives
    // the file's new text.
    std::string Rewrite(const std::string& text) {
        delete Load(text, 0);
        return ReadFile(Path("test.ini"));
    }
    // Names of the files in the test folder.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
        return names;
    }

    std::filesystem::path dir;
};

// Value of key in section as a Text read sees it ("<none>" when missing).
inline std::string TextOf(INIStream& s, const char* section, const char* key) {
    strcpy(s.currentSection, section);
    char text[1024];
    strcpy(text, "<none>");
    s.Get(INIReadRequest(key, text, nullptr));
    return text;
}

inline std::string SectionNames(INIStream& s) {
    std::string names;
    for (uint32_t i = 0; i < s.sectionList.Count(); ++i) {
        names += (i ? "," : "");
        names += static_cast<SectionItem*>(s.sectionList.At(i))->Name();
    }
    return names;
}

inline std::string ItemNames(SectionItem* section) {
    std::string names;
    for (uint32_t i = 0; i < section->itemList.Count(); ++i) {
        names += (i ? "," : "");
        names += section->itemList.At(i)->Name();
    }
    return names;
}

}  // namespace ini_test

#endif
