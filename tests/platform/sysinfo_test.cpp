// System information on the host: default locale, version record, module
// file name, and file renaming.
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/testing.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

class SystemInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit_test::Reset();
        env_.Unset("KIT_LCID");
        env_.Unset("KIT_PLATFORM_ID");
        env_.Unset("LC_ALL");
        env_.Unset("LANG");
    }
    void TearDown() override { kit_test::Reset(); }
    EnvGuard env_;
};

struct LocaleCase {
    const char* kitLcid;  // null: unset
    const char* lcAll;
    const char* lang;
    LCID expected;
    const char* rule;
};

const LocaleCase kLocaleCases[] = {
    {nullptr, nullptr, nullptr, 1033, "nothing set: English (US)"},
    {nullptr, nullptr, "ru_RU.UTF-8", 1049, "Russian LANG"},
    {nullptr, "ru_RU.CP1251", "en_US.UTF-8", 1049, "LC_ALL before LANG"},
    {nullptr, "en_US.UTF-8", "ru_RU.UTF-8", 1033, "LC_ALL before LANG, the other way"},
    {nullptr, "", "ru", 1049, "an empty LC_ALL does not count"},
    {nullptr, nullptr, "uk_UA.UTF-8", 1033, "another Cyrillic locale is not Russian"},
    {nullptr, nullptr, "RU_RU", 1033, "the prefix is lower-case ru"},
    {"1049", nullptr, "en_US", 1049, "KIT_LCID wins"},
    {"1058", nullptr, "ru_RU", 1058, "KIT_LCID wins over a Russian LANG"},
    {"0", nullptr, "ru_RU", 0, "zero is a number too"},
    {"0x419", nullptr, "en_US", 1033, "KIT_LCID is decimal only"},
    {"12ab", nullptr, "ru_RU", 1049, "not a number: ignored"},
    {"", nullptr, "ru_RU", 1049, "empty: ignored"},
};

TEST_F(SystemInfoTest, DefaultLocaleComesFromKitLcidOrTheLocaleName) {
    for (const LocaleCase& row : kLocaleCases) {
        SCOPED_TRACE(row.rule);
        EnvGuard env;
        if (row.kitLcid) env.Set("KIT_LCID", row.kitLcid);
        if (row.lcAll) env.Set("LC_ALL", row.lcAll);
        if (row.lang) env.Set("LANG", row.lang);
        EXPECT_EQ(row.expected, GetSystemDefaultLCID());
    }
    env_.Set("KIT_LCID", "1049");
    kit_test::SetSystemDefaultLCID(1033);
    EXPECT_EQ(1033u, GetSystemDefaultLCID());
    kit_test::Reset();
    EXPECT_EQ(1049u, GetSystemDefaultLCID());
}

DWORD PlatformId(BOOL* ok) {
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    *ok = GetVersionExA(&info);
    return info.dwPlatformId;
}

TEST_F(SystemInfoTest, VersionReportsTheNtPlatformUnlessToldOtherwise) {
    BOOL ok = FALSE;
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), PlatformId(&ok));
    EXPECT_TRUE(ok);
    env_.Set("KIT_PLATFORM_ID", "1");
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS), PlatformId(&ok));
    env_.Set("KIT_PLATFORM_ID", "0");
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32s), PlatformId(&ok));
    env_.Set("KIT_PLATFORM_ID", "nt");
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), PlatformId(&ok));
    kit_test::SetPlatformId(1);
    EXPECT_EQ(1u, PlatformId(&ok));
}

TEST_F(SystemInfoTest, VersionRecordOfTheWrongSizeIsRefusedAndLeftAlone) {
    EXPECT_EQ(148u, sizeof(OSVERSIONINFOA));
    OSVERSIONINFOA info;
    memset(&info, 0, sizeof info);
    for (DWORD size : {0u, 147u, 149u, 156u}) {
        info.dwOSVersionInfoSize = size;
        EXPECT_FALSE(GetVersionExA(&info));
        EXPECT_EQ(0u, info.dwPlatformId);
    }
    info.dwOSVersionInfoSize = sizeof info;
    EXPECT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(5u, info.dwMajorVersion);
}

TEST_F(SystemInfoTest, ModuleFileNameIsTheProgramsAbsolutePath) {
    char real[PATH_MAX];
    ASSERT_NE(nullptr, realpath("/proc/self/exe", real));
    char buffer[256 + 4096];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    EXPECT_EQ(strlen(real), n);
    EXPECT_STREQ(real, buffer);
    EXPECT_EQ('/', buffer[0]);
}

// A name that does not fit is cut to size - 1 characters and terminated,
// and the result is the buffer size (as Windows since Vista does).
TEST_F(SystemInfoTest, ModuleFileNameIsCutToTheBuffer) {
    kit_test::SetModuleFileName("/opt/app/Ambrel");  // 15 characters
    char buffer[32];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(15u, GetModuleFileNameA(nullptr, buffer, 16));
    EXPECT_STREQ("/opt/app/Ambrel", buffer);
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(15u, GetModuleFileNameA(nullptr, buffer, 15));
    EXPECT_STREQ("/opt/app/Ambre", buffer);
    EXPECT_EQ('x', buffer[15]);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(1u, GetModuleFileNameA(nullptr, buffer, 1));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(0u, GetModuleFileNameA(nullptr, buffer, 0));
}

class MoveFileTest : public ::testing::Test {
protected:
    void SetUp() override { kit_test::Reset(); }
    TempDir dir_;
};

TEST_F(MoveFileTest, ReplacesOnlyWhenAskedTo) {
    std::string from = dir_ / "new.ini";
    std::string to = dir_ / "uninst.ini";
    ASSERT_TRUE(WriteFile(from, "new"));
    ASSERT_TRUE(WriteFile(to, "old"));
    EXPECT_FALSE(MoveFileExA(from.c_str(), to.c_str(), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ("old", ReadFileOrEmpty(to));
    EXPECT_EQ("new", ReadFileOrEmpty(from));
    EXPECT_TRUE(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ("new", ReadFileOrEmpty(to));
    EXPECT_FALSE(FileExists(from));
    EXPECT_TRUE(MoveFileExA(to.c_str(), from.c_str(), 0));  // a free target needs no flag
    EXPECT_EQ("new", ReadFileOrEmpty(from));
    EXPECT_FALSE(MoveFileExA((dir_ / "missing").c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    ASSERT_EQ(0, mkdir(to.c_str(), 0755));
    EXPECT_FALSE(MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(FileExists(from));
}

}  // namespace
