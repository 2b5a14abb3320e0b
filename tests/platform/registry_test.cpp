// Registry functions of the host layer: keys, values, handles, volatile
// keys, and the .reg file named by KIT_REGISTRY.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { kit_test::Reset(); }
    void TearDown() override { kit_test::Reset(); }
};

HKEY Create(HKEY root, const char* path, DWORD options = REG_OPTION_NON_VOLATILE, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(root, path, 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, disposition));
    return key;
}

void SetString(HKEY key, const char* name, const char* text) {
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                            static_cast<DWORD>(strlen(text) + 1)));
}

TEST_F(RegistryTest, OpeningAMissingKeyFailsAndClearsTheHandle) {
    HKEY key = reinterpret_cast<HKEY>(&key);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(0u, kit_test::OpenRegistryHandles());
}

TEST_F(RegistryTest, CreateMakesIntermediateKeysAndReportsTheDisposition) {
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Product", REG_OPTION_NON_VOLATILE, &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    EXPECT_TRUE(kit_test::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor"));
    EXPECT_FALSE(kit_test::KeyExists(HKEY_CURRENT_USER, "SOFTWARE\\Vendor"));
    RegCloseKey(key);
    key = Create(HKEY_LOCAL_MACHINE, "software\\VENDOR\\product", REG_OPTION_NON_VOLATILE, &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(key);
    // Names keep the case they were created with.
    EXPECT_NE(std::string::npos,
              kit_test::ExportRegistryText().find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product]"));
}

TEST_F(RegistryTest, KeyAndValueNamesIgnoreAsciiCase) {
    HKEY key = Create(HKEY_CURRENT_USER, "Console");
    SetString(key, "FaceName", "Lucida");
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "CONSOLE", 0, KEY_READ, &key));
    char buffer[16] = {0};
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "facename", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_STREQ("Lucida", buffer);
    RegCloseKey(key);
}

TEST_F(RegistryTest, QueryGivesSizeTypeAndData) {
    HKEY key = Create(HKEY_CURRENT_USER, "Console");
    SetString(key, "Name", "abc");
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

    char buffer[4];
    size = sizeof buffer;
    type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_STREQ("abc", buffer);

    size = sizeof buffer;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<BYTE*>(buffer), nullptr));
    RegCloseKey(key);
}

// A caller that ignores the result must not find the first part of a long
// string in its buffer.
TEST_F(RegistryTest, TooSmallBufferGivesMoreDataAndLeavesTheBufferUntouched) {
    HKEY key = Create(HKEY_LOCAL_MACHINE, "Uninstall\\App");
    std::string command(1024, 'x');  // 1025 bytes with the terminator
    SetString(key, "UninstallString", command.c_str());
    std::vector<BYTE> buffer(1024, 0xAB);
    DWORD size = 1024;
    DWORD type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "UninstallString", nullptr, &type, buffer.data(), &size));
    EXPECT_EQ(1025u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::vector<BYTE>(1024, 0xAB), buffer);
    RegCloseKey(key);
}

TEST_F(RegistryTest, SetStoresBytesAsGiven) {
    HKEY key = Create(HKEY_CURRENT_USER, "Console");
    const BYTE noTerminator[] = {'a', 'b', 'c'};
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "S", 0, REG_SZ, noTerminator, 3));
    DWORD flag = 7;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "FullScreen", 0, REG_BINARY, reinterpret_cast<BYTE*>(&flag), 4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("d"), 2));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(key, "Bad", 0, REG_SZ, nullptr, 4));
    // Replacing keeps one value and takes the new type.
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "fullscreen", 0, REG_DWORD, reinterpret_cast<BYTE*>(&flag), 4));
    EXPECT_EQ("REGEDIT4\n\n[HKEY_CURRENT_USER\\Console]\n\"S\"=hex(1):61,62,63\n"
              "\"FullScreen\"=dword:00000007\n\"Empty\"=hex:\n@=\"d\"\n\n",
              kit_test::ExportRegistryText());
    // The unnamed value answers to both a null and an empty name.
    char buffer[4];
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_STREQ("d", buffer);
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeleteValueRemovesOnlyThatValue) {
    HKEY key = Create(HKEY_CURRENT_USER, "K");
    SetString(key, "a", "1");
    SetString(key, "b", "2");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "A"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "a"));
    EXPECT_EQ("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"b\"=\"2\"\n\n", kit_test::ExportRegistryText());
    RegCloseKey(key);
}

TEST_F(RegistryTest, RightsOfTheHandleAreEnforced) {
    HKEY key = Create(HKEY_CURRENT_USER, "K");
    SetString(key, "a", "1");
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key, "a", 0, REG_SZ, reinterpret_cast<const BYTE*>("2"), 2));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(key, "a"));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_WRITE, &key));
    DWORD size = 0;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(key, "a", nullptr, nullptr, nullptr, &size));
    RegCloseKey(key);
}

TEST_F(RegistryTest, EveryOpenIsAHandleOfItsOwnThatMustBeClosed) {
    HKEY a = Create(HKEY_CURRENT_USER, "K");
    HKEY b = nullptr;
    HKEY c = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "K", 0, KEY_READ, &b));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(b, nullptr, 0, KEY_READ, &c));  // the same key again
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_EQ(3u, kit_test::OpenRegistryHandles());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(a));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(a));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(b));
    EXPECT_EQ(1u, kit_test::OpenRegistryHandles());
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));  // roots are not counted
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(c));
    EXPECT_EQ(0u, kit_test::OpenRegistryHandles());
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(c, "a", nullptr, nullptr, nullptr, &size));
}

TEST_F(RegistryTest, HandleOfAKeyThatWasReplacedReportsKeyDeleted) {
    HKEY key = Create(HKEY_CURRENT_USER, "K");
    ASSERT_TRUE(kit_test::LoadRegistryText("REGEDIT4\n[HKEY_CURRENT_USER\\Other]\n"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(key, "a", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryTest, VolatileOptionMarksOnlyKeysCreatedByTheCall) {
    HKEY key = Create(HKEY_CURRENT_USER, "Existing");
    RegCloseKey(key);
    DWORD disposition = 0;
    key = Create(HKEY_CURRENT_USER, "Existing\\Console", REG_OPTION_VOLATILE, &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(key);
    key = Create(HKEY_CURRENT_USER, "Existing", REG_OPTION_VOLATILE, &disposition);
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(key);
    EXPECT_FALSE(kit_test::KeyIsVolatile(HKEY_CURRENT_USER, "Existing"));
    EXPECT_TRUE(kit_test::KeyIsVolatile(HKEY_CURRENT_USER, "Existing\\Console"));
    // Below a volatile key only volatile keys can be created.
    HKEY child = reinterpret_cast<HKEY>(&child);
    EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, RegCreateKeyExA(HKEY_CURRENT_USER, "Existing\\Console\\Sub", 0, nullptr,
                                                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                                            &child, nullptr));
    EXPECT_EQ(nullptr, child);
    EXPECT_FALSE(kit_test::KeyExists(HKEY_CURRENT_USER, "Existing\\Console\\Sub"));
    EXPECT_EQ(0u, kit_test::OpenRegistryHandles());
}

// --- the KIT_REGISTRY file ---------------------------------------------------

class RegistryFileTest : public RegistryTest {
protected:
    void UseFile(const std::string& text, bool create = true) {
        file_ = dir_ / "registry.reg";
        if (create) {
            ASSERT_TRUE(WriteFile(file_, text));
        }
        env_.Set("KIT_REGISTRY", file_);
        kit_test::RestartRegistry();
    }
    TempDir dir_;
    EnvGuard env_;
    std::string file_;
};

TEST_F(RegistryFileTest, FileIsLoadedAtTheFirstCallAndEveryChangeWrittenBack) {
    UseFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Console]\n\"FullScreen\"=dword:00000000\n\n");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_ALL_ACCESS, &key));
    DWORD value = 5;
    DWORD size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "FullScreen", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(0u, value);
    value = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "FullScreen", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4));
    EXPECT_EQ("REGEDIT4\n\n[HKEY_CURRENT_USER\\Console]\n\"FullScreen\"=dword:00000001\n\n", ReadFileOrEmpty(file_));
    RegCloseKey(key);
    key = Create(HKEY_LOCAL_MACHINE, "New");  // an empty new key is a change too
    RegCloseKey(key);
    EXPECT_NE(std::string::npos, ReadFileOrEmpty(file_).find("[HKEY_LOCAL_MACHINE\\New]"));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_ALL_ACCESS, &key));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "FullScreen"));
    RegCloseKey(key);
    EXPECT_EQ(std::string::npos, ReadFileOrEmpty(file_).find("FullScreen"));
    // No temporary file is left beside it.
    std::string listing;
    ASSERT_EQ(0, system(("ls -A '" + dir_.path() + "' > '" + (dir_ / "listing") + "'").c_str()));
    EXPECT_EQ("listing\nregistry.reg\n", ReadFileOrEmpty(dir_ / "listing"));
}

TEST_F(RegistryFileTest, VolatileKeysAreNeverWrittenAndVanishWithTheProcess) {
    UseFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Stay]\n\n");
    HKEY key = Create(HKEY_CURRENT_USER, "Console", REG_OPTION_VOLATILE);
    SetString(key, "v", "1");
    RegCloseKey(key);
    key = Create(HKEY_CURRENT_USER, "Stay");
    SetString(key, "w", "2");
    RegCloseKey(key);
    EXPECT_EQ("REGEDIT4\n\n[HKEY_CURRENT_USER\\Stay]\n\"w\"=\"2\"\n\n", ReadFileOrEmpty(file_));
    EXPECT_TRUE(kit_test::KeyExists(HKEY_CURRENT_USER, "Console"));
    kit_test::RestartRegistry();
    EXPECT_FALSE(kit_test::KeyExists(HKEY_CURRENT_USER, "Console"));
    EXPECT_TRUE(kit_test::KeyExists(HKEY_CURRENT_USER, "Stay"));
}

TEST_F(RegistryFileTest, MissingFileIsAnEmptyRegistryThatTheFirstChangeCreates) {
    UseFile("", false);
    EXPECT_FALSE(kit_test::KeyExists(HKEY_CURRENT_USER, "Console"));
    EXPECT_FALSE(FileExists(file_));
    HKEY key = Create(HKEY_CURRENT_USER, "Console");
    RegCloseKey(key);
    EXPECT_EQ("REGEDIT4\n\n[HKEY_CURRENT_USER\\Console]\n\n", ReadFileOrEmpty(file_));
}

TEST_F(RegistryFileTest, MalformedFileGivesOneMessageAnEmptyRegistryAndIsNeverOverwritten) {
    const std::string bad = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Console]\n\"FullScreen\"=dword:xyz\n";
    UseFile(bad);
    ::testing::internal::CaptureStderr();
    bool exists = kit_test::KeyExists(HKEY_CURRENT_USER, "Console");
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(exists);
    EXPECT_NE(std::string::npos, message.find(file_ + ":4:")) << message;
    EXPECT_EQ(1, std::count(message.begin(), message.end(), '\n')) << message;
    HKEY key = Create(HKEY_CURRENT_USER, "Console");
    RegCloseKey(key);
    EXPECT_EQ(bad, ReadFileOrEmpty(file_));
}

TEST_F(RegistryFileTest, ResetForgetsTheFile) {
    UseFile("REGEDIT4\n\n[HKEY_CURRENT_USER\\Console]\n\n");
    EXPECT_TRUE(kit_test::KeyExists(HKEY_CURRENT_USER, "Console"));
    kit_test::Reset();
    EXPECT_FALSE(kit_test::KeyExists(HKEY_CURRENT_USER, "Console"));
    HKEY key = Create(HKEY_CURRENT_USER, "Other");
    RegCloseKey(key);
    EXPECT_EQ("REGEDIT4\n\n[HKEY_CURRENT_USER\\Console]\n\n", ReadFileOrEmpty(file_));
}

// A registry file in a directory that does not exist: nothing to load, and
// the write-back fails.
TEST_F(RegistryFileTest, UnwritableFileIsReportedAndTheChangeStaysInMemory) {
    std::string file = dir_ / "missing-directory/registry.reg";
    env_.Set("KIT_REGISTRY", file);
    kit_test::RestartRegistry();
    ::testing::internal::CaptureStderr();
    HKEY key = Create(HKEY_CURRENT_USER, "X");
    std::string message = ::testing::internal::GetCapturedStderr();
    RegCloseKey(key);
    EXPECT_NE(std::string::npos, message.find("cannot write " + file)) << message;
    EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(kit_test::KeyExists(HKEY_CURRENT_USER, "X"));
}

}  // namespace
