// SetConsoleFullScreenMode against the host registry: what it returns, what
// it leaves in HKEY_CURRENT_USER\Console, and that it leaves no key open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win32.h"

extern "C" DWORD WINAPI SetConsoleFullScreenMode(DWORD flag);

namespace {

const char kConsole[] = "[HKEY_CURRENT_USER\\Console]\n";

std::string Registry(const std::string& body)
{
    return "REGEDIT4\n\n" + body + "\n";
}

// What the registry holds as FullScreen: its type and bytes, or nothing.
struct Stored {
    bool present;
    DWORD type;
    std::vector<BYTE> data;
};

Stored ReadFullScreen()
{
    Stored stored = {false, 0, {}};
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_READ, &key) != ERROR_SUCCESS) return stored;
    BYTE buffer[64];
    DWORD size = sizeof buffer;
    if (RegQueryValueExA(key, "FullScreen", NULL, &stored.type, buffer, &size) == ERROR_SUCCESS) {
        stored.present = true;
        stored.data.assign(buffer, buffer + size);
    }
    RegCloseKey(key);
    return stored;
}

std::vector<BYTE> Dword(DWORD value)
{
    return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)};
}

class CorvittTest : public ::testing::Test {
protected:
    void SetUp() override { kit_test::Reset(); }
    void TearDown() override { kit_test::Reset(); }
};

TEST_F(CorvittTest, ComparesAndStoresTheFlag)
{
    struct Case {
        const char* values;  // lines under HKCU\Console
        DWORD flag;
        DWORD result;
        bool presentAfter;
        DWORD typeAfter;
        std::vector<BYTE> dataAfter;
        const char* what;
    };
    const Case cases[] = {
        {"\"FullScreen\"=dword:00000000", 1, 1, true, REG_DWORD, Dword(1), "0 -> 1: changed"},
        {"\"FullScreen\"=dword:00000001", 1, 0, true, REG_DWORD, Dword(1), "already 1"},
        {"\"FullScreen\"=dword:00000000", 0, 0, true, REG_DWORD, Dword(0), "already 0"},
        {"\"FullScreen\"=dword:00000001", 2, 1, true, REG_DWORD, Dword(2), "any number is stored: 1 -> 2"},
        {"\"FullScreen\"=dword:00000000", 0xFFFFFFFF, 1, true, REG_DWORD, Dword(0xFFFFFFFF), "all bits"},
        {"\"FullScreen\"=dword:80000001", 1, 1, true, REG_DWORD, Dword(1), "all 32 bits are compared"},
        {"\"FullScreen\"=hex:02,00,00,00", 1, 1, true, REG_DWORD, Dword(1),
         "binary of 4 bytes differing: replaced by a DWORD"},
        {"\"FullScreen\"=hex:01,00,00,00", 1, 0, true, REG_BINARY, Dword(1),
         "binary of 4 bytes equal: compared as a number, not rewritten"},
        {"\"FullScreen\"=hex:01,00,00,00,00,00,00,00", 1, 0, true, REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0},
         "8 bytes: unreadable, untouched"},
        {"\"FullScreen\"=hex(b):00,00,00,00,00,00,00,00", 1, 0, true, REG_QWORD, {0, 0, 0, 0, 0, 0, 0, 0},
         "QWORD: unreadable, untouched"},
        {"\"FullScreen\"=hex:01,00", 0, 0, true, REG_BINARY, {1, 0}, "2 bytes: unreadable, untouched"},
        {"\"FullScreen\"=hex:", 1, 0, true, REG_BINARY, {}, "empty value: unreadable, untouched"},
        {"\"WindowSize\"=dword:00190050", 1, 0, false, 0, {}, "no FullScreen: not created"},
        {"\"fullscreen\"=dword:00000000\n\"FullScreen\"=dword:00000000", 1, 1, true, REG_DWORD, Dword(1),
         "other values of the key are not mistaken for it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(kit_test::LoadRegistryText(Registry(std::string(kConsole) + c.values)));

        EXPECT_EQ(c.result, SetConsoleFullScreenMode(c.flag));
        EXPECT_EQ(0u, kit_test::OpenRegistryHandles());

        Stored after = ReadFullScreen();
        EXPECT_EQ(c.presentAfter, after.present);
        if (c.presentAfter) {
            EXPECT_EQ(c.typeAfter, after.type);
            EXPECT_EQ(c.dataAfter, after.data);
        }
    }
}

TEST_F(CorvittTest, SecondCallWithTheSameFlagWritesNothing)
{
    ASSERT_TRUE(kit_test::LoadRegistryText(Registry(std::string(kConsole) + "\"FullScreen\"=dword:00000000")));
    EXPECT_EQ(1u, SetConsoleFullScreenMode(1));
    EXPECT_EQ(Dword(1), ReadFullScreen().data);

    // An armed failure of the write stays armed only if no write is tried.
    kit_test::FailCall("RegSetValueExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(0u, SetConsoleFullScreenMode(1));
    EXPECT_EQ(0u, kit_test::OpenRegistryHandles());
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_ALL_ACCESS, &key));
    DWORD probe = 5;
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegSetValueExA(key, "Probe", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&probe), sizeof probe));
    RegCloseKey(key);
}

TEST_F(CorvittTest, MissingConsoleKeyIsCreatedVolatileAndEmpty)
{
    ASSERT_TRUE(kit_test::LoadRegistryText(Registry("[HKEY_LOCAL_MACHINE\\Console]\n\"FullScreen\"=dword:00000000\n"
                                                    "[HKEY_CURRENT_USER\\Software\\Console]\n"
                                                    "\"FullScreen\"=dword:00000000")));

    EXPECT_EQ(0u, SetConsoleFullScreenMode(1));

    EXPECT_EQ(0u, kit_test::OpenRegistryHandles());
    EXPECT_TRUE(kit_test::KeyExists(HKEY_CURRENT_USER, "Console"));
    EXPECT_TRUE(kit_test::KeyIsVolatile(HKEY_CURRENT_USER, "Console"));
    EXPECT_FALSE(ReadFullScreen().present);
    // Keys of the same name elsewhere are not touched.
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Console", 0, KEY_READ, &key));
    DWORD value = 7, size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "FullScreen", NULL, NULL, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(0u, value);
    RegCloseKey(key);
}

TEST_F(CorvittTest, ExistingConsoleKeyStaysNonVolatile)
{
    ASSERT_TRUE(kit_test::LoadRegistryText(Registry(std::string(kConsole) + "\"FullScreen\"=dword:00000000")));
    EXPECT_EQ(1u, SetConsoleFullScreenMode(1));
    EXPECT_FALSE(kit_test::KeyIsVolatile(HKEY_CURRENT_USER, "Console"));
}

TEST_F(CorvittTest, FailuresOfTheRegistryCalls)
{
    struct Case {
        const char* function;
        DWORD result;
        DWORD valueAfter;
        const char* what;
    };
    const Case cases[] = {
        {"RegCreateKeyExA", 0, 0, "key neither opened nor created: 0, nothing changed"},
        {"RegQueryValueExA", 0, 0, "value unreadable: 0, nothing written"},
        {"RegSetValueExA", 1, 0, "write fails: still 1, value unchanged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(kit_test::LoadRegistryText(Registry(std::string(kConsole) + "\"FullScreen\"=dword:00000000")));
        kit_test::FailCall(c.function, ERROR_ACCESS_DENIED);

        EXPECT_EQ(c.result, SetConsoleFullScreenMode(1));

        EXPECT_EQ(0u, kit_test::OpenRegistryHandles());
        Stored after = ReadFullScreen();
        ASSERT_TRUE(after.present);
        EXPECT_EQ(Dword(c.valueAfter), after.data);
    }
}

}  // namespace
