// Typed access, texts and byte blocks: Text and HeapText reads with their
// defaults and limits, ReadText, and the hex block form with partial and
// default digits.
#include "tests/ini/access_fixture.h"

using ini_test::IniFiles;
using ini_test::TextOf;

namespace {

class TextRead : public IniFiles {};

TEST_F(TextRead, MissingSectionGivesTheDefaultAndChangesNothing) {
    INIStream* s = Load("[Other]\nProductName=x\n", 1);
    strcpy(s->currentSection, "Info");
    char name[1024] = "previous";
    s->Get(INIReadRequest("ProductName", name, ""));
    EXPECT_STREQ(name, "");
    EXPECT_EQ(ini_test::SectionNames(*s), "Other");
    EXPECT_EQ(s->CurrentSection(), nullptr);
    delete s;
}

TEST_F(TextRead, DefaultsOfTheTwoForms) {
    INIStream* s = Load("[S]\nname=value\nempty=\n", 1);
    strcpy(s->currentSection, "S");
    char text[1024] = "kept";
    s->Get(INIReadRequest("missing", text, nullptr));  // null default: untouched
    EXPECT_STREQ(text, "kept");
    s->Get(INIReadRequest("missing", text));  // current value: its own text
    EXPECT_STREQ(text, "kept");
    s->Get(INIReadRequest("name", text));
    EXPECT_STREQ(text, "value");
    s->Get(INIReadRequest("empty", text, "default"));  // present and empty
    EXPECT_STREQ(text, "");
    s->Get(INIReadRequest("missing", text, "default"));
    EXPECT_STREQ(text, "default");
    delete s;
}

TEST_F(TextRead, LongTextsAreCut) {
    std::string value(5000, 'v');
    INIStream* s = Load("[S]\nlong=" + value + "\n", 1);
    strcpy(s->currentSection, "S");
    std::vector<char> text(2000, 'x');
    s->Get(INIReadRequest("long", text.data(), nullptr));
    EXPECT_EQ(std::string(text.data()), value.substr(0, 1023));
    EXPECT_EQ(text[1024], 'x');  // nothing written past the 1024 characters
    char* heap = nullptr;
    s->Get(INIReadRequest("long", &heap, nullptr));
    EXPECT_EQ(std::string(heap), value.substr(0, 4095));
    delete[] heap;
    // ReadText with an explicit size.
    char small[4] = "abc";
    s->ReadText("long", nullptr, small, 3);
    EXPECT_STREQ(small, "vv");
    s->ReadText("missing", nullptr, small, 3);  // no source: untouched
    EXPECT_STREQ(small, "vv");
    s->ReadText("missing", "defaulted", small, 4);
    EXPECT_STREQ(small, "def");
    delete s;
}

TEST_F(TextRead, HeapTextAlwaysGivesANewCopy) {
    INIStream* s = Load("[S]\nname=abc\n", 1);
    strcpy(s->currentSection, "S");
    char* first = nullptr;
    s->Get(INIReadRequest("name", &first, "d"));
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "abc");
    char* second = first;
    s->Get(INIReadRequest("missing", &second, "d"));  // the earlier copy is not released
    EXPECT_NE(second, first);
    EXPECT_STREQ(second, "d");
    char* third = nullptr;
    s->Get(INIReadRequest("missing", &third, nullptr));
    ASSERT_NE(third, nullptr);
    EXPECT_STREQ(third, "");
    delete[] first;
    delete[] second;
    delete[] third;
    delete s;
}

class BlockAccess : public IniFiles {};

TEST_F(BlockAccess, StoresUpperCaseHexAndReadsEitherCase) {
    INIStream* s = Load("[S]\nlower=01abff\n", 0);
    strcpy(s->currentSection, "S");
    const unsigned char bytes[3] = {0x01, 0xAB, 0xFF};
    s->Put(INIWriteRequest("b", bytes, 3));
    EXPECT_EQ(TextOf(*s, "S", "b"), "01ABFF");
    unsigned char read[3] = {0, 0, 0};
    s->Get(INIReadRequest("lower", read, nullptr, 3));
    EXPECT_EQ(0, memcmp(read, bytes, 3));
    // n = 0 stores the empty text and reads nothing.
    s->Put(INIWriteRequest("zero", bytes, 0));
    EXPECT_EQ(TextOf(*s, "S", "zero"), "");
    unsigned char untouched = 0x5A;
    s->Get(INIReadRequest("lower", &untouched, bytes, 0));
    EXPECT_EQ(untouched, 0x5A);
    s->readOnly = 1;
    delete s;
}

TEST_F(BlockAccess, PartialTextKeepsTheDefaultsDigits) {
    INIStream* s = Load("[S]\ntwo=11\none=1\nodd=-1zz\nlong=0102030405\nblank= 1\n", 1);
    strcpy(s->currentSection, "S");
    const unsigned char defaults[2] = {0xAA, 0xBB};
    struct Row {
        const char* key;
        unsigned char first, second;
    } rows[] = {
        {"two", 0x11, 0x00},      // the NUL after the text reads as 0
        {"one", 0x01, 0xBB},      // the second pair still holds the default's digits
        {"missing", 0xAA, 0xBB},  // the default bytes decoded again
        {"odd", 0xFF, 0x00},      // "-1" negates, "zz" has no digit
        {"long", 0x01, 0x02},     // at most 2n characters take part
    };
    for (const Row& row : rows) {
        unsigned char read[3] = {0, 0, 0x77};
        s->Get(INIReadRequest(row.key, read, defaults, 2));
        EXPECT_EQ(read[0], row.first) << row.key;
        EXPECT_EQ(read[1], row.second) << row.key;
        EXPECT_EQ(read[2], 0x77) << row.key;
    }
    delete s;
}

TEST_F(BlockAccess, NullDefaultAndOversizeReadsLeaveTheVariable) {
    INIStream* s = Load("[S]\nb=0102\n", 1);
    strcpy(s->currentSection, "S");
    unsigned char two[2] = {9, 9};
    s->Get(INIReadRequest("missing", two, nullptr, 2));
    EXPECT_EQ(two[0], 9);
    EXPECT_EQ(two[1], 9);
    s->Get(INIReadRequest("b", two, nullptr, 2));  // found: a null default does not matter
    EXPECT_EQ(two[0], 1);
    EXPECT_EQ(two[1], 2);
    std::vector<unsigned char> big(40000, 9);
    s->Get(INIReadRequest("b", big.data(), nullptr, 32768));  // longer than 32767: refused
    EXPECT_EQ(big[0], 9);
    s->Get(INIReadRequest("b", big.data(), nullptr, 32767));  // the longest read allowed
    EXPECT_EQ(big[0], 1);
    EXPECT_EQ(big[1], 2);
    EXPECT_EQ(big[2], 0);
    EXPECT_EQ(big[32767], 9);
    delete s;
}

TEST_F(BlockAccess, StoresTheLongestBlocks) {
    INIStream s(Path("none.ini").c_str(), 1);
    strcpy(s.currentSection, "S");
    std::vector<unsigned char> bytes(65535);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = (unsigned char)(i * 7);
    s.Put(INIWriteRequest("b", bytes.data(), 65535));
    SectionItem* section = s.CurrentSection();
    ASSERT_NE(section, nullptr);
    std::string text = section->itemList.At(0)->GetValue();
    ASSERT_EQ(text.size(), 131070u);
    EXPECT_EQ(text.substr(0, 8), "00070E15");
    std::vector<unsigned char> back(32767);
    s.Get(INIReadRequest("b", back.data(), nullptr, 32767));
    EXPECT_EQ(0, memcmp(back.data(), bytes.data(), back.size()));
}

TEST_F(BlockAccess, TextStoresAndUnknownKinds) {
    INIStream s(Path("none.ini").c_str(), 1);
    strcpy(s.currentSection, "S");
    s.Put(INIWriteRequest("t", "some text"));
    EXPECT_EQ(TextOf(s, "S", "t"), "some text");
    INIWriteRequest odd("t", "other");
    odd.kind = ValueKind(9);
    s.Put(odd);
    INIWriteRequest heap("t", "other");
    heap.kind = ValueKind::HeapText;  // no store of this kind exists
    s.Put(heap);
    EXPECT_EQ(TextOf(s, "S", "t"), "some text");
    char text[1024] = "kept";
    INIReadRequest read("t", text, nullptr);
    read.kind = ValueKind(9);
    s.Get(read);
    EXPECT_STREQ(text, "kept");
}

}  // namespace
