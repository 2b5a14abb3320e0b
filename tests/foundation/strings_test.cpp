// str and its guard byte, Istr and DIstr, the text helpers, and the
// tokenizer's table of cases.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "foundation/diagnostics.h"
#include "foundation/strings.h"
#ifndef _WIN32
#include <unistd.h>
#include "platform/testing.h"
#else
#include <process.h>
#define getpid _getpid
#endif

namespace {

class StringsTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        kit_test::Reset();
#endif
    }
};

// Number of "str: write over end" boxes shown so far (host only).
size_t OverrunReports() {
#ifndef _WIN32
    size_t n = 0;
    for (const kit_test::ShownBox& box : kit_test::MessageBoxes()) {
        if (box.text == "str: write over end") {
            EXPECT_EQ("MessageBoxExA", box.function);
            EXPECT_EQ("Error", box.caption);
            EXPECT_EQ(0u, box.style);
            EXPECT_EQ(0u, box.language);
            ++n;
        }
    }
    return n;
#else
    return 0;
#endif
}

TEST_F(StringsTest, StrOfALengthHasOneMoreByteStartingEmpty) {
    for (int32_t n : {0, 1, 5, 8192}) {
        str s(n);
        ASSERT_NE(nullptr, s.data);
        EXPECT_EQ(n + 1, s.size);
        EXPECT_EQ(0, s.data[0]);
        EXPECT_EQ(0, s.data[n]);
    }
}

TEST_F(StringsTest, StrOfATextHasTextZeroAndGuard) {
    for (const char* text : {"", "a", "line of text"}) {
        str s(text);
        int32_t length = int32_t(strlen(text));
        EXPECT_EQ(length + 2, s.size);
        EXPECT_STREQ(text, s.data);
        EXPECT_EQ(0, s.data[length + 1]);
    }
}

TEST_F(StringsTest, NegativeLengthGivesNoBlock) {
    str s(-5);
    EXPECT_EQ(nullptr, s.data);
    EXPECT_EQ(0, s.size);
}

// What is written into a str, and whether its destruction reports it. A
// reported block is not released: the test reads it after destruction (which
// AddressSanitizer would catch if it had been freed) and then releases it
// itself, so leak checkers see nothing.
TEST_F(StringsTest, GuardIsCheckedAtDestruction) {
    struct Case {
        const char* what;
        int32_t length;        // str(length), or -1 for str(text)
        const char* text;      // for str(text)
        int32_t fillCount;     // bytes of 'x' written from byte 0, then a zero
        bool writeGuardByte;   // then 'G' on the guard
        bool reported;
    };
    const Case cases[] = {
        {"nothing written", 8192, nullptr, 0, false, false},
        {"text up to n-1 characters and its zero", 8192, nullptr, 8191, false, false},
        {"text of n characters puts its zero on the guard", 8192, nullptr, 8192, false, false},
        {"nonzero byte on the guard", 8192, nullptr, 0, true, true},
        {"str(0): the one byte is the guard", 0, nullptr, 0, true, true},
        {"str(0): zero on the guard", 0, nullptr, 0, false, false},
        {"str of a text: zero written on the guard", -1, "abc", 4, false, false},
        {"str of a text: byte on the guard", -1, "abc", 0, true, true},
        {"str of the empty text: byte on the guard", -1, "", 0, true, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        size_t before = OverrunReports();
        char* block = nullptr;
        int32_t size = 0;
        {
            str s = k.length >= 0 ? str(k.length) : str(k.text);
            block = s.data;
            size = s.size;
            if (k.fillCount > 0) {
                memset(s.data, 'x', size_t(k.fillCount));
                s.data[k.fillCount] = 0;
            }
            if (k.writeGuardByte) s.data[s.size - 1] = 'G';
        }
        if (k.reported) {
            EXPECT_EQ('G', block[size - 1]);  // still allocated
            delete[] block;
        }
#ifndef _WIN32
        EXPECT_EQ(before + (k.reported ? 1 : 0), OverrunReports());
#else
        (void)before;
#endif
    }
}

TEST_F(StringsTest, AssignReplacesTheBlockWithoutGuardCheck) {
    str s(4);
    s.data[4] = 'G';  // would be reported at destruction; Assign does not look
    char* p = s.Assign("hello");
    EXPECT_EQ(p, s.data);
    EXPECT_STREQ("hello", s.data);
    EXPECT_EQ(7, s.size);
    EXPECT_EQ(0, s.data[6]);
    EXPECT_EQ(nullptr, s.Assign(nullptr));
    EXPECT_EQ(nullptr, s.data);
    EXPECT_EQ(7, s.size);  // unchanged
    EXPECT_EQ(0u, OverrunReports());
}

TEST_F(StringsTest, AssignFromInsideItsOwnBlockIsSafe) {
    str s("key=value");
    s.Assign(s.data + 4);
    EXPECT_STREQ("value", s.data);
    EXPECT_EQ(7, s.size);
    Istr i("key=value");
    i.Assign(i.text + 4);
    EXPECT_STREQ("value", i.text);
}

TEST_F(StringsTest, IstrCopiesAndComparesByBytes) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
        bool aGreater;
    };
    const Case cases[] = {
        {"abc", "abc", true, false},
        {"", "", true, false},
        {"abd", "abc", false, true},
        {"ab", "abc", false, false},  // a prefix sorts first
        {"B", "a", false, false},     // case-sensitive: 'B' < 'a'
        {"\xC0", "z", false, true},   // bytes compare as unsigned
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.a) + " vs " + k.b);
        Istr a(k.a), b(k.b);
        EXPECT_NE(k.a, a.text);  // its own copy
        EXPECT_STREQ(k.a, a.text);
        EXPECT_EQ(k.equal, a.IsEqual(&b) != 0);
        EXPECT_EQ(k.aGreater, a.IsGreater(&b) != 0);
        EXPECT_EQ(k.equal, b.IsEqual(&a) != 0);
    }
}

TEST_F(StringsTest, IstrCopySizeAndAssign) {
    Istr a("text");
    Istr b(a);
    EXPECT_NE(a.text, b.text);
    EXPECT_STREQ("text", b.text);
    Istr c(int32_t(6));
    ASSERT_NE(nullptr, c.text);
    memcpy(c.text, "12345", 6);  // exactly 6 bytes for the caller
    EXPECT_STREQ("12345", c.text);
    c.Assign("longer than before");
    EXPECT_STREQ("longer than before", c.text);
    EXPECT_TRUE(a.IsEqual(&b));
}

// An Istr without a block (here from a negative size) is never read through
// its null text: it equals only another such Istr and sorts first.
TEST_F(StringsTest, IstrWithoutBlockComparesSafely) {
    Istr none(int32_t(-1)), other(int32_t(-1)), empty("");
    EXPECT_EQ(nullptr, none.text);
    EXPECT_TRUE(none.IsEqual(&other));
    EXPECT_FALSE(none.IsEqual(&empty));
    EXPECT_FALSE(empty.IsEqual(&none));
    EXPECT_FALSE(none.IsGreater(&empty));
    EXPECT_TRUE(empty.IsGreater(&none));
    Istr copy(none);
    EXPECT_EQ(nullptr, copy.text);
    Istr zero(int32_t(0));  // a block of no bytes is still a block
    EXPECT_NE(nullptr, zero.text);
}

TEST_F(StringsTest, DIstrComparesTextOnly) {
    DIstr a(1, "same"), b(2, "same"), c(1, "other");
    EXPECT_EQ(1, a.value);
    EXPECT_EQ(2, b.value);
    EXPECT_TRUE(a.IsEqual(&b));
    EXPECT_FALSE(a.IsGreater(&b));
    EXPECT_FALSE(a.IsEqual(&c));
    EXPECT_TRUE(a.IsGreater(&c));
    // Deleted through the root class, as a container does.
    BaseObject* owned = new DIstr(7, "owned");
    delete owned;
}

TEST_F(StringsTest, IstrsInASortedContainer) {
    SContainer c(SC_SORTED, 2);
    for (const char* t : {"pear", "apple", "fig", "apple"}) c.Add(new Istr(t));
    Istr apple("apple"), fig("fig"), kiwi("kiwi");
    EXPECT_EQ(0, c.IndexOf(&apple));
    EXPECT_EQ(2, c.IndexOf(&fig));
    EXPECT_EQ(-1, c.IndexOf(&kiwi));
}

TEST_F(StringsTest, DupStringGivesExactCopy) {
    for (const char* text : {"", "x", "a longer text"}) {
        char* copy = DupString(text);
        ASSERT_NE(nullptr, copy);
        EXPECT_NE(text, copy);
        EXPECT_STREQ(text, copy);
        delete[] copy;
    }
}

TEST_F(StringsTest, ConcatStringsJoinsIntoDest) {
    char buf[32];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(buf, ConcatStrings(buf, "uninst", ".ini"));
    EXPECT_STREQ("uninst.ini", buf);
    EXPECT_STREQ("", ConcatStrings(buf, "", ""));
    EXPECT_STREQ("b", ConcatStrings(buf, "", "b"));
    strcpy(buf, "dir\\");
    EXPECT_STREQ("dir\\file", ConcatStrings(buf, buf, "file"));  // appending in place
}

struct Recorded {
    std::string hook;
    int number;
    std::string text;
};
std::vector<Recorded> gRecorded;
void Record(const DiagnosticRecord& r) {
    gRecorded.push_back({r.hook, r.number, r.text != nullptr ? r.text : "(null)"});
}

TEST_F(StringsTest, OpenFileCheckedReportsAFileThatCannotBeOpened) {
    gRecorded.clear();
    DiagnosticsListener previous = SetDiagnosticsListener(Record);
    const char* missing = "no-such-dir-h3/missing.ini";
    EXPECT_EQ(nullptr, OpenFileChecked(missing, "r"));
    ASSERT_EQ(1u, gRecorded.size());
    EXPECT_EQ("ReportError", gRecorded[0].hook);
    EXPECT_EQ(5229, gRecorded[0].number);
    EXPECT_EQ(missing, gRecorded[0].text);

    // Named by process, so that a parallel run (the Valgrind twin) does not
    // share the file.
    const std::string file = "foundation_strings_test_" + std::to_string(getpid()) + ".tmp";
    const char* name = file.c_str();
    FILE* f = OpenFileChecked(name, "w");
    ASSERT_NE(nullptr, f);
    fputs("x", f);
    fclose(f);
    f = OpenFileChecked(name, "r");
    ASSERT_NE(nullptr, f);
    EXPECT_EQ('x', fgetc(f));
    fclose(f);
    remove(name);
    EXPECT_EQ(1u, gRecorded.size());
    SetDiagnosticsListener(previous);
}

// One row per tokenizing case: text, delimiters, mode, expected tokens.
struct TokenCase {
    const char* what;
    const char* text;
    const char* delimiters;
    uint32_t mode;
    std::vector<std::string> tokens;
};

const uint32_t Q = TK_QUOTES;
const uint32_t E = TK_EMPTY;

const TokenCase kTokenCases[] = {
    {"plain: empty tokens dropped", "a,,b,", ",", 0, {"a", "b"}},
    {"plain: empty tokens kept, also the last", "a,,b,", ",", E, {"a", "", "b", ""}},
    {"plain: leading delimiter gives empty first", ",a", ",", E, {"", "a"}},
    {"plain: trailing delimiter gives empty last", "a,", ",", E, {"a", ""}},
    {"plain: empty text gives nothing", "", ",", 0, {}},
    {"plain: empty text with TK_EMPTY gives one empty", "", ",", E, {""}},
    {"plain: only delimiters", ",,", ",", E, {"", "", ""}},
    {"plain: no delimiters give the whole text", "a b\"c", "", 0, {"a b\"c"}},
    {"plain: several delimiter characters", "a b;c,d", " ;,", 0, {"a", "b", "c", "d"}},
    {"plain: blanks around", "  a  ", " ", E, {"", "", "a", "", ""}},
    {"plain: quotes mean nothing", "x \"a b\" y", " ", 0, {"x", "\"a", "b\"", "y"}},
    {"quotes: run taken whole", "x \"a b\" y", " ", Q, {"x", "a b", "y"}},
    {"quotes: run joins its neighbours", "ab\"c d\"e", " ", Q, {"abc de"}},
    {"quotes: unterminated run", "\"a b", " ", Q, {"a b"}},
    {"quotes: delimiters inside a run", "\"a,b\",c", ",", Q, {"a,b", "c"}},
    {"quotes: no empty last token", "a,", ",", Q | E, {"a"}},
    {"quotes: empty tokens inside kept", "a,,b", ",", Q | E, {"a", "", "b"}},
    {"quotes: empty first token kept", ",a", ",", Q | E, {"", "a"}},
    {"quotes: empty tokens dropped without TK_EMPTY", ",a,,b,", ",", Q, {"a", "b"}},
    {"quotes: empty text gives nothing", "", ",", Q, {}},
    {"quotes: empty text gives nothing even with TK_EMPTY", "", ",", Q | E, {}},
    {"quotes: empty run at the end adds nothing", "\"\"", " ", Q | E, {}},
    {"quotes: empty run ended by a delimiter is an empty token", "\"\" x", " ", Q | E, {"", "x"}},
    {"quotes: no delimiters, quotes removed", "a\"b c\"d", "", Q, {"ab cd"}},
    {"quotes: a listed quote is a delimiter", "a\"b,c", ",\"", Q, {"a", "b", "c"}},
    {"quotes: three quotes", "\"a\"\"b", " ", Q, {"ab"}},
};

std::vector<std::string> Tokens(const TokenContainer& t) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < t.Count(); ++i) {
        out.push_back(t.At(i) != nullptr ? t.At(i)->text : "(null)");
    }
    return out;
}

TEST_F(StringsTest, TokenContainerSplitsEveryCase) {
    for (const TokenCase& k : kTokenCases) {
        TokenContainer t(0, k.mode, k.delimiters, k.text);
        EXPECT_EQ(k.tokens, Tokens(t)) << k.what;
    }
}

TEST_F(StringsTest, TokenContainerPassesFlagsAndUsesDelta32) {
    std::string text;
    for (int i = 0; i < 33; ++i) text += "t" + std::to_string(i) + " ";
    TokenContainer t(SC_SORTED, 0, " ", text.c_str());
    EXPECT_EQ(33u, t.Count());
    EXPECT_EQ(32u, t.container.delta);
    EXPECT_EQ(64u, t.container.limit);
    EXPECT_EQ(uint32_t(SC_SORTED), t.container.flags);
    Istr key("t10");
    EXPECT_EQ(2, t.IndexOf(&key));  // t0 t1 t10 ...
}

TEST_F(StringsTest, TokenContainerWithoutOwnershipLeavesTokensToTheCaller) {
    std::vector<Istr*> tokens;
    {
        TokenContainer t(SC_NODELETE, 0, ",", "a,b");
        ASSERT_EQ(2u, t.Count());
        tokens = {t.At(0), t.At(1)};
    }
    EXPECT_STREQ("a", tokens[0]->text);
    EXPECT_STREQ("b", tokens[1]->text);
    for (Istr* token : tokens) delete token;
}

// A duplicate refused under SC_UNIQUE is not stored; the tokenizer must not
// lose it either (leak checkers watch this), with or without
// SC_DELETE_DUPLICATE.
TEST_F(StringsTest, TokenContainerUniqueDropsDuplicatesWithoutLeaking) {
    for (uint32_t flags : {uint32_t(SC_UNIQUE), uint32_t(SC_UNIQUE | SC_DELETE_DUPLICATE)}) {
        TokenContainer t(flags, Q, ",", "a,b,a,\"b\"");
        EXPECT_EQ((std::vector<std::string>{"a", "b"}), Tokens(t));
    }
}

}  // namespace
