// The diagnostic hooks: silent without a listener, formatted records with one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/diagnostics.h"

namespace {

struct Seen {
    std::string hook;
    bool hasTag;
    std::string tag;
    const char* format;  // compared by address: the caller's own text
    int number;
    std::string text;
};
std::vector<Seen> gSeen;

void Record(const DiagnosticRecord& r) {
    gSeen.push_back({r.hook, r.tag != nullptr, r.tag != nullptr ? r.tag : "", r.format, r.number,
                     r.text != nullptr ? r.text : "(null)"});
}

class DiagnosticsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gSeen.clear();
        previous_ = SetDiagnosticsListener(Record);
    }
    void TearDown() override { SetDiagnosticsListener(previous_); }

    DiagnosticsListener previous_ = nullptr;
};

TEST(DiagnosticsSilentTest, WithoutListenerHooksReturnZeroAndSwitchIsOff) {
    EXPECT_EQ(0, INIDiagnostics);
    SetDiagnosticsListener(nullptr);
    EXPECT_EQ(0, ReportMessage("sf", "INIStream('%s'): duplicate section [%s]", "a.ini", "x"));
    EXPECT_EQ(0, ReportMessage("me", 5230, "a.ini"));
    EXPECT_EQ(0, ReportError(5229, "b.ini"));
    TraceMessage("resolved %d\n", 3);
}

TEST_F(DiagnosticsTest, ListenerGetsEveryHookWithItsText) {
    const char* nesting = "INIStream('%s'): invalid section nesting %s";
    const char* trace = "value %s -> %d\n";
    EXPECT_EQ(0, ReportMessage("sf", nesting, "c:\\a.ini", "  [[deep]]"));
    EXPECT_EQ(0, ReportMessage("me", 5230, "out.ini"));
    EXPECT_EQ(0, ReportError(5229, "inc.ini"));
    TraceMessage(trace, "x", 42);
    ASSERT_EQ(4u, gSeen.size());

    EXPECT_EQ("ReportMessage", gSeen[0].hook);
    EXPECT_EQ("sf", gSeen[0].tag);
    EXPECT_EQ(nesting, gSeen[0].format);
    EXPECT_EQ(0, gSeen[0].number);
    EXPECT_EQ("INIStream('c:\\a.ini'): invalid section nesting   [[deep]]", gSeen[0].text);

    EXPECT_EQ("ReportMessage", gSeen[1].hook);
    EXPECT_EQ("me", gSeen[1].tag);
    EXPECT_EQ(nullptr, gSeen[1].format);
    EXPECT_EQ(5230, gSeen[1].number);
    EXPECT_EQ("out.ini", gSeen[1].text);

    EXPECT_EQ("ReportError", gSeen[2].hook);
    EXPECT_FALSE(gSeen[2].hasTag);
    EXPECT_EQ(nullptr, gSeen[2].format);
    EXPECT_EQ(5229, gSeen[2].number);
    EXPECT_EQ("inc.ini", gSeen[2].text);

    EXPECT_EQ("TraceMessage", gSeen[3].hook);
    EXPECT_FALSE(gSeen[3].hasTag);
    EXPECT_EQ(trace, gSeen[3].format);
    EXPECT_EQ("value x -> 42\n", gSeen[3].text);
}

TEST_F(DiagnosticsTest, LongTextsAreFormattedWhole) {
    std::string line(20000, 'v');
    ReportMessage("sf", "[%s]", line.c_str());
    ASSERT_EQ(1u, gSeen.size());
    EXPECT_EQ("[" + line + "]", gSeen[0].text);
}

TEST_F(DiagnosticsTest, SetListenerReturnsThePreviousOne) {
    EXPECT_EQ(Record, SetDiagnosticsListener(nullptr));
    ReportError(5229, "x");
    EXPECT_TRUE(gSeen.empty());
    EXPECT_EQ(nullptr, SetDiagnosticsListener(Record));
    ReportError(5229, "x");
    EXPECT_EQ(1u, gSeen.size());
}

}  // namespace
