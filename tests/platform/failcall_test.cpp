// kit_test::FailCall: every function of the layer can be made to fail, for
// the chosen number of calls, with the chosen error.
#include <gtest/gtest.h>
#include <string.h>
#include <time.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win32.h"

namespace {

const DWORD kError = 1234;

class FailCallTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit_test::Reset();
        ASSERT_TRUE(kit_test::LoadRegistryText("REGEDIT4\n[HKEY_CURRENT_USER\\Console]\n\"FullScreen\"=dword:1\n"));
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_ALL_ACCESS, &key_));
        kit_test::SimulateProcesses(true);
        memset(&startup_, 0, sizeof startup_);
        ASSERT_TRUE(Start());
        block_ = GlobalAlloc(GMEM_DDESHARE, 16);
        ASSERT_NE(nullptr, block_);
        ASSERT_NE(nullptr, GlobalLock(block_));
        ASSERT_NE(nullptr, GlobalLock(block_));
    }
    void TearDown() override { kit_test::Reset(); }

public:
    BOOL Start() {
        char line[] = "prog";
        return CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup_, &info_);
    }

    HKEY key_ = nullptr;
    STARTUPINFOA startup_;
    PROCESS_INFORMATION info_;
    HGLOBAL block_ = nullptr;
};

// One call of a function; `failed` says whether its result is the failure
// value; `registry` functions return the error instead of setting it.
struct Call {
    const char* function;
    bool registry;
    std::function<bool(FailCallTest*)> failed;
};

TEST_F(FailCallTest, EveryFunctionFailsOnceWithTheChosenError) {
    DWORD size = 4;
    DWORD value = 0;
    OSVERSIONINFOA version;
    char name[64];
    HKEY opened = nullptr;
    DWORD exitCode = 0;
    const Call calls[] = {
        {"RegOpenKeyExA", true, [&](FailCallTest*) {
             return RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_READ, &opened) == static_cast<LSTATUS>(kError); }},
        {"RegCreateKeyExA", true, [&](FailCallTest*) {
             return RegCreateKeyExA(HKEY_CURRENT_USER, "Console", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                                    nullptr) == static_cast<LSTATUS>(kError); }},
        {"RegQueryValueExA", true, [&](FailCallTest* t) {
             size = 4;
             return RegQueryValueExA(t->key_, "FullScreen", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                                     &size) == static_cast<LSTATUS>(kError); }},
        {"RegSetValueExA", true, [&](FailCallTest* t) {
             return RegSetValueExA(t->key_, "FullScreen", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4) ==
                    static_cast<LSTATUS>(kError); }},
        {"RegDeleteValueA", true, [&](FailCallTest* t) {
             return RegDeleteValueA(t->key_, "Other") == static_cast<LSTATUS>(kError); }},
        {"RegCloseKey", true, [&](FailCallTest*) { return RegCloseKey(HKEY_CURRENT_USER) == static_cast<LSTATUS>(kError); }},
        {"CreateProcessA", false, [&](FailCallTest* t) { return !t->Start(); }},
        {"WaitForSingleObject", false, [&](FailCallTest* t) {
             return WaitForSingleObject(t->info_.hProcess, 0) == WAIT_FAILED; }},
        {"GetExitCodeProcess", false, [&](FailCallTest* t) { return !GetExitCodeProcess(t->info_.hProcess, &exitCode); }},
        {"CloseHandle", false, [&](FailCallTest* t) { return !CloseHandle(t->info_.hThread); }},
        {"GetSystemDefaultLCID", false, [&](FailCallTest*) { return GetSystemDefaultLCID() == 0; }},
        {"GetVersionExA", false, [&](FailCallTest*) {
             memset(&version, 0, sizeof version);
             version.dwOSVersionInfoSize = sizeof version;
             return !GetVersionExA(&version); }},
        {"GetModuleFileNameA", false, [&](FailCallTest*) { return GetModuleFileNameA(nullptr, name, sizeof name) == 0; }},
        {"GlobalAlloc", false, [&](FailCallTest*) {
             HGLOBAL h = GlobalAlloc(GMEM_DDESHARE, 8);
             GlobalFree(h);
             return h == nullptr; }},
        {"GlobalLock", false, [&](FailCallTest* t) {
             void* p = GlobalLock(t->block_);
             if (p != nullptr) GlobalUnlock(t->block_);
             return p == nullptr; }},
        {"GlobalUnlock", false, [&](FailCallTest* t) {
             BOOL stillLocked = GlobalUnlock(t->block_);
             if (stillLocked) GlobalLock(t->block_);
             return !stillLocked; }},
        {"GlobalFree", false, [&](FailCallTest*) {
             HGLOBAL h = GlobalAlloc(GMEM_DDESHARE, 8);
             return GlobalFree(h) == h; }},
        {"MoveFileExA", false, [&](FailCallTest*) { return !MoveFileExA("/nonexistent/a", "/nonexistent/b", 0) &&
                                                            GetLastError() == kError; }},
        {"MessageBoxA", false, [&](FailCallTest*) { return MessageBoxA(nullptr, "t", "c", MB_OK) == 0; }},
        {"MessageBoxExA", false, [&](FailCallTest*) { return MessageBoxExA(nullptr, "t", "c", MB_OK, 0) == 0; }},
    };
    ::testing::internal::CaptureStderr();  // the boxes print
    for (const Call& call : calls) {
        SCOPED_TRACE(call.function);
        kit_test::FailCall(call.function, kError);
        EXPECT_TRUE(call.failed(this));
        if (!call.registry) {
            EXPECT_EQ(kError, GetLastError());
        }
        if (std::string(call.function) == "MoveFileExA") continue;  // it fails anyway on these paths
        EXPECT_FALSE(call.failed(this)) << "only one call was to fail";
        if (opened != nullptr) RegCloseKey(opened);
        opened = nullptr;
    }
    ::testing::internal::GetCapturedStderr();
}

TEST_F(FailCallTest, GetLastErrorAndSleepFailToo) {
    kit_test::FailCall("GetExitCodeProcess", 5);
    DWORD code;
    EXPECT_FALSE(GetExitCodeProcess(info_.hProcess, &code));
    kit_test::FailCall("GetLastError", 77);
    EXPECT_EQ(77u, GetLastError());
    EXPECT_EQ(5u, GetLastError());  // the stored error was not touched

    kit_test::FailCall("Sleep", kError);
    struct timespec before, after;
    clock_gettime(CLOCK_MONOTONIC, &before);
    Sleep(2000);  // does not sleep
    clock_gettime(CLOCK_MONOTONIC, &after);
    EXPECT_LT(after.tv_sec - before.tv_sec, 2);
    EXPECT_EQ(std::vector<DWORD>(1, 2000), kit_test::SleepCalls());
}

TEST_F(FailCallTest, CountsAndDisarming) {
    kit_test::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, 2);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_ALL_ACCESS, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_ALL_ACCESS, &key));
    RegCloseKey(key);

    kit_test::FailCall("GetSystemDefaultLCID", kError, -1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(0u, GetSystemDefaultLCID());
    kit_test::FailCall("GetSystemDefaultLCID", kError, 0);
    EXPECT_NE(0u, GetSystemDefaultLCID());

    kit_test::FailCall("GetSystemDefaultLCID", kError, -1);
    kit_test::Reset();
    EXPECT_NE(0u, GetSystemDefaultLCID());
}

TEST_F(FailCallTest, FailedCallsChangeNothing) {
    kit_test::FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(HKEY_CURRENT_USER, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                                   &key, nullptr));
    EXPECT_FALSE(kit_test::KeyExists(HKEY_CURRENT_USER, "New"));
    EXPECT_EQ(1u, kit_test::OpenRegistryHandles());  // the fixture's own key only
    kit_test::FailCall("RegSetValueExA", ERROR_ACCESS_DENIED);
    DWORD value = 9;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key_, "FullScreen", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4));
    value = 0;
    DWORD size = 4;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "FullScreen", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(1u, value);
    kit_test::FailCall("MessageBoxExA", kError);
    EXPECT_EQ(0, MessageBoxExA(nullptr, "t", "c", MB_OK, 0));
    EXPECT_TRUE(kit_test::MessageBoxes().empty());
    kit_test::FailCall("CreateProcessA", kError);
    EXPECT_FALSE(Start());
    ASSERT_EQ(2u, kit_test::StartedProcesses().size());  // the attempt is recorded
    EXPECT_FALSE(kit_test::StartedProcesses().back().succeeded);
}

TEST_F(FailCallTest, UnknownFunctionNameIsReported) {
    ::testing::internal::CaptureStderr();
    kit_test::FailCall("RegOpenKeyEx", kError);
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, message.find("RegOpenKeyEx")) << message;
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Console", 0, KEY_READ, &key));
    RegCloseKey(key);
}

}  // namespace
