// Global memory on the host.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include "platform/testing.h"
#include "platform/win32.h"

namespace {

class GlobalMemoryTest : public ::testing::Test {
protected:
    void SetUp() override { kit_test::Reset(); }
    void TearDown() override { kit_test::Reset(); }
};

TEST_F(GlobalMemoryTest, BlocksAreCountedFromAllocUntilFree) {
    HGLOBAL a = GlobalAlloc(GMEM_DDESHARE, 32768);
    HGLOBAL b = GlobalAlloc(GMEM_FIXED, 0);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(2u, kit_test::LiveGlobalBlocks());
    char* p = static_cast<char*>(GlobalLock(a));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p) % alignof(max_align_t));
    memset(p, 0x5A, 32768);  // the whole block is usable
    EXPECT_EQ(p, GlobalLock(a));  // the address does not move
    EXPECT_TRUE(GlobalUnlock(a));   // still locked once
    EXPECT_FALSE(GlobalUnlock(a));  // last lock released
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    EXPECT_FALSE(GlobalUnlock(a));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_LOCKED), GetLastError());
    EXPECT_EQ(nullptr, GlobalFree(a));
    EXPECT_EQ(1u, kit_test::LiveGlobalBlocks());
    EXPECT_EQ(nullptr, GlobalFree(b));
    EXPECT_EQ(0u, kit_test::LiveGlobalBlocks());
}

TEST_F(GlobalMemoryTest, UnknownHandlesAreRefused) {
    HGLOBAL a = GlobalAlloc(GMEM_DDESHARE, 16);
    ASSERT_EQ(nullptr, GlobalFree(a));
    EXPECT_EQ(a, GlobalFree(a));  // freed twice: the handle comes back
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, GlobalLock(a));
    EXPECT_EQ(nullptr, GlobalFree(nullptr));
    EXPECT_EQ(0u, kit_test::LiveGlobalBlocks());
}

TEST_F(GlobalMemoryTest, ZeroInitFillsTheBlockWithZeros) {
    HGLOBAL a = GlobalAlloc(GMEM_ZEROINIT, 100);
    const char* p = static_cast<const char*>(GlobalLock(a));
    ASSERT_NE(nullptr, p);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(0, p[i]);
    GlobalUnlock(a);
    GlobalFree(a);
}

TEST_F(GlobalMemoryTest, InjectedFailureAndResetLeaveNothingBehind) {
    kit_test::FailCall("GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(nullptr, GlobalAlloc(GMEM_DDESHARE, 32768));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ(0u, kit_test::LiveGlobalBlocks());
    ASSERT_NE(nullptr, GlobalAlloc(GMEM_DDESHARE, 32768));  // only the next call failed
    ASSERT_NE(nullptr, GlobalAlloc(GMEM_DDESHARE, 8));
    EXPECT_EQ(2u, kit_test::LiveGlobalBlocks());
    kit_test::Reset();
    EXPECT_EQ(0u, kit_test::LiveGlobalBlocks());
}

}  // namespace
