// Small helpers of the platform tests: a private temporary directory, whole
// file reading and writing, and environment variables restored after a test.
#ifndef TESTS_PLATFORM_TEST_SUPPORT_H
#define TESTS_PLATFORM_TEST_SUPPORT_H

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

// A fresh directory under /tmp, removed with its contents at destruction.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/kit-platform-XXXXXX";
        path_ = mkdtemp(pattern) ? pattern : "";
    }
    ~TempDir() {
        if (!path_.empty()) {
            std::string command = "rm -rf '" + path_ + "'";
            int rc = system(command.c_str());
            (void)rc;
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline bool ReadFile(const std::string& path, std::string* text) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    text->clear();
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text->append(buffer, n);
    fclose(f);
    return true;
}

inline std::string ReadFileOrEmpty(const std::string& path) {
    std::string text;
    ReadFile(path, &text);
    return text;
}

inline bool WriteFile(const std::string& path, const std::string& text, int mode = 0644) {
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = fclose(f) == 0 && ok;
    return ok && chmod(path.c_str(), mode) == 0;
}

inline bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Sets or unsets environment variables for one test and puts the old values
// back at destruction.
class EnvGuard {
public:
    ~EnvGuard() {
        for (size_t i = saved_.size(); i-- > 0;) {
            if (saved_[i].second.first) setenv(saved_[i].first.c_str(), saved_[i].second.second.c_str(), 1);
            else unsetenv(saved_[i].first.c_str());
        }
    }
    void Set(const std::string& name, const std::string& value) {
        Save(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name) {
        Save(name);
        unsetenv(name.c_str());
    }

private:
    void Save(const std::string& name) {
        const char* old = getenv(name.c_str());
        saved_.push_back({name, {old != nullptr, old ? old : ""}});
    }
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> saved_;
};

#endif
