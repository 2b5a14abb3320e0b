// Message boxes on the host: the stderr line, the record of the test
// interface and the JSON log named by KIT_MESSAGEBOX_LOG.
#include <gtest/gtest.h>

#include <string>

#include "platform/host/internal.h"
#include "platform/testing.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit_test::Reset();
        env_.Unset("KIT_MESSAGEBOX_LOG");
    }
    void TearDown() override { kit_test::Reset(); }
    EnvGuard env_;
    TempDir dir_;
};

TEST_F(MessageBoxTest, BoxIsPrintedRecordedAndAnsweredWithOk) {
    ::testing::internal::CaptureStderr();
    int result = MessageBoxExA(nullptr, "Unable to locate.\r\nUse 'Control Panel'.", "Error", MB_ICONHAND, 0);
    int plain = MessageBoxA(nullptr, "SContainer: delta == 0!", "Error", MB_OK);
    std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(IDOK, plain);
    EXPECT_EQ("[Error] Unable to locate.\r\nUse 'Control Panel'.\n[Error] SContainer: delta == 0!\n", printed);
    ASSERT_EQ(2u, kit_test::MessageBoxes().size());
    const kit_test::ShownBox& box = kit_test::MessageBoxes()[0];
    EXPECT_EQ("MessageBoxExA", box.function);
    EXPECT_EQ("Error", box.caption);
    EXPECT_EQ(16u, box.style);
    EXPECT_EQ(0u, box.language);
    EXPECT_EQ("MessageBoxA", kit_test::MessageBoxes()[1].function);
}

struct JsonCase {
    std::string bytes;
    const char* json;
};

TEST_F(MessageBoxTest, JsonStringGivesEachByteItsOwnCodePoint) {
    const JsonCase cases[] = {
        {"plain text ~", "\"plain text ~\""},
        {"say \"hi\"", "\"say \\u0022hi\\u0022\""},
        {"C:\\dir", "\"C:\\u005Cdir\""},
        {std::string("a\0b", 3), "\"a\\u0000b\""},
        {"\r\n\t\x1f\x7f", "\"\\u000D\\u000A\\u0009\\u001F\\u007F\""},
        {"\x80\xC0\xFF", "\"\\u0080\\u00C0\\u00FF\""},
        {"", "\"\""},
    };
    for (const JsonCase& row : cases) EXPECT_EQ(row.json, kit_host::JsonString(row.bytes));
}

TEST_F(MessageBoxTest, LogGetsOneJsonObjectPerBoxWithEveryByteEscaped) {
    std::string log = dir_ / "boxes.jsonl";
    env_.Set("KIT_MESSAGEBOX_LOG", log);
    std::string text;
    for (int b = 1; b < 256; ++b) text.push_back(static_cast<char>(b));
    ::testing::internal::CaptureStderr();
    MessageBoxExA(nullptr, text.c_str(), "ATTENTION!", MB_ICONEXCLAMATION, 0x0419);
    MessageBoxA(nullptr, "second", "\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5", MB_OK);
    ::testing::internal::GetCapturedStderr();

    std::string expectedText;
    for (int b = 1; b < 256; ++b) {
        char piece[8];
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') snprintf(piece, sizeof piece, "%c", b);
        else snprintf(piece, sizeof piece, "\\u%04X", b);
        expectedText += piece;
    }
    EXPECT_EQ("{\"caption\": \"ATTENTION!\", \"text\": \"" + expectedText + "\", \"style\": 48, \"language\": 1049}\n"
              "{\"caption\": \"\\u00C2\\u00ED\\u00E8\\u00EC\\u00E0\\u00ED\\u00E8\\u00E5\", \"text\": \"second\", "
              "\"style\": 0, \"language\": 0}\n",
              ReadFileOrEmpty(log));
}

TEST_F(MessageBoxTest, NullTextAndCaptionShowAsEmptyAndError) {
    ::testing::internal::CaptureStderr();
    MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
    EXPECT_EQ("[Error] \n", ::testing::internal::GetCapturedStderr());
}

}  // namespace
