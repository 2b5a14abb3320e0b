// The bound-variable registry: registration and its same-key rules, and
// loading and saving every kind through the section "Options".
#include "ini/entry.h"
#include "tests/ini/access_fixture.h"

using ini_test::IniFiles;
using ini_test::ReadFile;
using ini_test::TextOf;

namespace {

TEST(EntryRegistry, ComesWithTheFirstEntryAndGoesWithTheLast) {
    ASSERT_EQ(entryRegistry, nullptr);
    {
        uint32_t a = 0;
        INIEntry first("a", &a);
        ASSERT_NE(entryRegistry, nullptr);
        {
            uint16_t b = 0;
            INIEntry second("b", &b);
            EXPECT_EQ(entryRegistry->Count(), 2u);
            EXPECT_EQ(entryRegistry->At(1), &second);
        }
        EXPECT_EQ(entryRegistry->Count(), 1u);
        EXPECT_EQ(entryRegistry->At(0), &first);
    }
    EXPECT_EQ(entryRegistry, nullptr);
}

TEST(EntryRegistry, AnEqualKeyRebindsTheEarlierEntry) {
    uint32_t x = 1, y = 2;
    INIEntry* earlier = new INIEntry("Key", &x);
    INIEntry* later = new INIEntry("Key", &y);
    ASSERT_EQ(entryRegistry->Count(), 1u);
    EXPECT_EQ(entryRegistry->At(0), earlier);
    EXPECT_EQ(earlier->variable, &y);  // the newest binding
    {
        uint32_t other = 0;
        INIEntry differentCase("key", &other);  // letter case makes another key
        EXPECT_EQ(entryRegistry->Count(), 2u);
    }
    // Destroying either removes the one element of the key; the registry
    // empties and goes; destroying the other changes nothing more.
    delete later;
    EXPECT_EQ(entryRegistry, nullptr);
    delete earlier;
    EXPECT_EQ(entryRegistry, nullptr);

    earlier = new INIEntry("Key", &x);
    later = new INIEntry("Key", &y);
    delete earlier;
    EXPECT_EQ(entryRegistry, nullptr);
    delete later;
    EXPECT_EQ(entryRegistry, nullptr);
}

TEST(EntryRegistry, RegisterEntryOnAGivenRegistry) {
    SContainer registry(SC_NODELETE, 4);
    uint32_t x = 1, y = 2;
    INIEntry a("A", &x);
    INIEntry b("A", &y);
    RegisterEntry(&registry, &a);
    RegisterEntry(&registry, &a);  // itself: nothing changes
    EXPECT_EQ(registry.Count(), 1u);
    RegisterEntry(nullptr, &a);
    RegisterEntry(&registry, nullptr);
    EXPECT_EQ(registry.Count(), 1u);
}

class Options : public IniFiles {};

TEST_F(Options, LoadingWithoutTheSectionKeepsValues) {
    unsigned char b = 7;
    uint16_t w = 8;
    int32_t d = -9;
    char text[1024] = "text";
    char* heap = nullptr;
    unsigned char block[2] = {1, 2};
    INIEntry eb("b", &b), ew("w", &w), ed("d", &d), et("t", text), eh("h", &heap), ek("k", block, 2);
    INIStream* s = Load("[Other]\nb=1\n", 1);
    LoadOptions(entryRegistry, *s);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(d, -9);
    EXPECT_STREQ(text, "text");
    ASSERT_NE(heap, nullptr);
    EXPECT_STREQ(heap, "");  // a new empty text
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[1], 2);
    EXPECT_STREQ(s->currentSection, "Options");
    EXPECT_EQ(ini_test::SectionNames(*s), "Other");
    delete s;
}  // eh releases its text

TEST_F(Options, SavingAppendsTheSectionInRegistrationOrder) {
    signed char b = -1;
    uint16_t w = 0x1234;
    uint32_t d = 4000000000u;
    char text[1024] = "hello world";
    const char* heap = nullptr;
    unsigned char block[3] = {0x01, 0xAB, 0xFF};
    INIEntry eb("byte", &b), ew("word", &w), ed("dword", &d), et("text", text), ek("block", block, 3);
    INIEntry eh("heap", &heap);
    char* loaded = new char[4];
    strcpy(loaded, "abc");
    heap = loaded;
    INIStream* s = Load("[Main]\nx=1\n", 0);
    SaveOptions(entryRegistry, *s);
    EXPECT_STREQ(s->currentSection, "Options");
    delete s;
    EXPECT_EQ(ReadFile(Path("test.ini")),
              "[Main]\nx=1\n\n[Options]\nbyte=255\nword=4660\ndword=4000000000\ntext=hello world\n"
              "block=01ABFF\nheap=abc\n");

    // In hexadecimal, and read back into cleared variables.
    s = Load("", 0);
    s->numberFormat = 2;
    SaveOptions(entryRegistry, *s);
    EXPECT_EQ(TextOf(*s, "Options", "byte"), "0xFF");
    EXPECT_EQ(TextOf(*s, "Options", "word"), "0x1234");
    b = 0;
    w = 0;
    d = 0;
    text[0] = 0;
    memset(block, 0, 3);
    const char* before = heap;
    LoadOptions(entryRegistry, *s);
    EXPECT_EQ(b, -1);  // the same bit pattern
    EXPECT_EQ(w, 0x1234);
    EXPECT_EQ(d, 4000000000u);
    EXPECT_STREQ(text, "hello world");
    EXPECT_EQ(block[2], 0xFF);
    EXPECT_STREQ(heap, "abc");
    EXPECT_NE(heap, before);  // a new copy; the earlier one is not released
    delete[] before;
    s->readOnly = 1;
    delete s;
}

TEST_F(Options, ANullRegistryDoesNothing) {
    INIStream s(Path("none.ini").c_str(), 1);
    strcpy(s.currentSection, "Mine");
    LoadOptions(nullptr, s);
    SaveOptions(nullptr, s);
    EXPECT_STREQ(s.currentSection, "Mine");
    EXPECT_EQ(s.sectionList.Count(), 0u);
}

TEST_F(Options, OnlyTheNewestBindingOfAKeyIsLoaded) {
    uint32_t x = 1, y = 2;
    INIEntry first("n", &x), second("n", &y);
    INIStream* s = Load("[Options]\nn=42\n", 1);
    LoadOptions(entryRegistry, *s);
    EXPECT_EQ(x, 1u);
    EXPECT_EQ(y, 42u);
    delete s;
}

TEST_F(Options, SharedHeapTextBindingsAreReleasedOnce) {
    char* text = nullptr;
    INIEntry* first = new INIEntry("h", &text);
    INIEntry* second = new INIEntry("h", &text);
    INIStream* s = Load("[Options]\nh=value\n", 1);
    LoadOptions(entryRegistry, *s);
    EXPECT_STREQ(text, "value");
    delete s;
    delete first;  // releases the text and clears the variable
    EXPECT_EQ(text, nullptr);
    delete second;  // finds nothing more to release
}

TEST_F(Options, UnknownKindsAreSkipped) {
    uint32_t x = 5;
    INIEntry e("x", &x);
    e.kind = ValueKind(7);
    INIStream* s = Load("[Options]\nx=1\n", 1);
    LoadOptions(entryRegistry, *s);
    EXPECT_EQ(x, 5u);
    SaveOptions(entryRegistry, *s);
    EXPECT_EQ(TextOf(*s, "Options", "x"), "1");
    delete s;
}

}  // namespace
