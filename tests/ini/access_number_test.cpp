// Typed access, numbers: the number forms a read takes, the low bits kept per
// kind, the defaults of both request forms, and the text StoreNumber writes.
#include "tests/ini/access_fixture.h"

using ini_test::IniFiles;
using ini_test::TextOf;

namespace {

TEST(ParseININumber, TakesTheFormsOfAnItemsText) {
    struct Row {
        const char* text;
        int base;
        uint32_t expected;
        const char* rest;  // what follows the number
    } rows[] = {
        {"010", 0, 8, ""},                     // leading 0: octal
        {"0x1F", 0, 31, ""},                   // hexadecimal
        {"0X1F", 0, 31, ""},                   // capital X too
        {"09", 0, 0, "9"},                     // 9 is no octal digit
        {"-1", 0, 4294967295u, ""},            // minus negates modulo 2^32
        {"-0x10", 0, 0xFFFFFFF0u, ""},
        {"+7", 0, 7, ""},
        {" \t 42", 0, 42, ""},                 // leading blanks skipped
        {"99999999999", 0, 4294967295u, ""},   // beyond 32 bits
        {"-99999999999", 0, 4294967295u, ""},  // beyond 32 bits, sign or not
        {"4294967295", 0, 4294967295u, ""},
        {"4294967296", 0, 4294967295u, ""},
        {"12abc", 0, 12, "abc"},               // text after the digits ignored
        {"0x", 0, 0, "x"},                     // "0x" without a hex digit is 0
        {"", 0, 0, ""},                        // no digits
        {"abc", 0, 0, "abc"},
        {"ff", 16, 255, ""},                   // base 16, either case
        {"Ab", 16, 171, ""},
        {"-1", 16, 4294967295u, ""},
        {"g1", 16, 0, "g1"},
    };
    for (const Row& row : rows) {
        const char* end = nullptr;
        EXPECT_EQ(ParseININumber(row.text, row.base, &end), row.expected) << row.text;
        EXPECT_STREQ(end, row.rest) << row.text;
    }
}

class NumberRead : public IniFiles {};

TEST_F(NumberRead, KeepsTheLowBitsOfEachKind) {
    for (unsigned char readOnly : {1, 0}) {
        INIStream* s = Load(
            "[N]\n"
            "oct=010\nhex=0x1F\nHEX=0X1F\nnine=09\nminus=-1\nbig=99999999999\n"
            "b300=300\nw70000=70000\nsuffix=12abc\nempty=\nword=abc\n"
            "far=" + std::string(31, '0') + "7\n",  // the 7 is the 32nd character
            readOnly);
        strcpy(s->currentSection, "N");
        struct Row {
            const char* key;
            uint32_t dword;
            uint16_t word;
            unsigned char byte;
        } rows[] = {
            {"oct", 8, 8, 8},
            {"hex", 31, 31, 31},
            {"HEX", 31, 31, 31},
            {"nine", 0, 0, 0},
            {"minus", 4294967295u, 65535, 255},
            {"big", 4294967295u, 65535, 255},
            {"b300", 300, 300, 44},
            {"w70000", 70000, 4464, 112},
            {"suffix", 12, 12, 12},
            {"empty", 0, 0, 0},  // present but empty: 0, not the default
            {"word", 0, 0, 0},
            {"far", 0, 0, 0},    // only 31 characters take part
        };
        for (const Row& row : rows) {
            uint32_t d = 1;
            uint16_t w = 1;
            unsigned char b = 1;
            s->Get(INIReadRequest(row.key, &d, 77u)).Get(INIReadRequest(row.key, &w, uint16_t(77)));
            s->Get(INIReadRequest(row.key, &b, uint16_t(77)));
            EXPECT_EQ(d, row.dword) << row.key;
            EXPECT_EQ(w, row.word) << row.key;
            EXPECT_EQ(b, row.byte) << row.key;
        }
        s->readOnly = 1;  // nothing to write back
        delete s;
    }
}

TEST_F(NumberRead, MissingItemsTakeTheDefault) {
    INIStream* s = Load("[N]\na=1\n", 1);
    for (const char* section : {"N", "Nowhere"}) {
        strcpy(s->currentSection, section);
        uint32_t d = 5;
        int32_t i = 5;
        uint16_t w = 5;
        unsigned char b = 5;
        signed char sb = 5;
        s->Get(INIReadRequest("missing", &d, 4000000000u));
        s->Get(INIReadRequest("missing", &i, 0xFFFFFFFEu));
        s->Get(INIReadRequest("missing", &w, uint16_t(65535)));
        s->Get(INIReadRequest("missing", &b, uint16_t(0x1FF)));  // low 8 bits of the default
        s->Get(INIReadRequest("missing", &sb, uint16_t(200)));
        EXPECT_EQ(d, 4000000000u);
        EXPECT_EQ(i, -2);
        EXPECT_EQ(w, 65535);
        EXPECT_EQ(b, 255);
        EXPECT_EQ(sb, -56);
    }
    delete s;
}

TEST_F(NumberRead, CurrentValueFormsLeaveMissingItemsAlone) {
    INIStream* s = Load("[N]\nb=7\n", 1);
    strcpy(s->currentSection, "N");
    signed char sb = -1;
    unsigned char ub = 200;
    uint16_t w = 65000;
    uint32_t d = 4000000000u;
    int32_t i = -5;
    s->Get(INIReadRequest("x", &sb)).Get(INIReadRequest("x", &ub)).Get(INIReadRequest("x", &w));
    s->Get(INIReadRequest("x", &d)).Get(INIReadRequest("x", &i));
    EXPECT_EQ(sb, -1);
    EXPECT_EQ(ub, 200);
    EXPECT_EQ(w, 65000);
    EXPECT_EQ(d, 4000000000u);
    EXPECT_EQ(i, -5);
    s->Get(INIReadRequest("b", &sb)).Get(INIReadRequest("b", &i));
    EXPECT_EQ(sb, 7);
    EXPECT_EQ(i, 7);
    delete s;
}

TEST(RequestRecords, HoldNumbersAndPointersWithoutLoss) {
    // The default of a signed current-value Byte read is sign-extended.
    signed char sb = -2;
    EXPECT_EQ(INIReadRequest("k", &sb).defaultValue.number, 0xFFFFFFFEu);
    unsigned char ub = 0xFE;
    EXPECT_EQ(INIReadRequest("k", &ub).defaultValue.number, 0xFEu);
    EXPECT_EQ(INIWriteRequest("k", sb).value.number, 0xFFFFFFFEu);
    EXPECT_EQ(INIWriteRequest("k", ub).value.number, 0xFEu);
    // Pointers keep every bit, whatever their width.
    static char text[1024];
    EXPECT_EQ(INIReadRequest("k", text, text + 3).defaultValue.pointer, text + 3);
    EXPECT_EQ(INIWriteRequest("k", static_cast<const char*>(text + 5)).value.pointer, text + 5);
    EXPECT_GE(sizeof(RequestValue), sizeof(void*));
    INIReadRequest block("k", reinterpret_cast<unsigned char*>(text), nullptr, 9);
    EXPECT_EQ(block.kind, ValueKind::Block);
    EXPECT_EQ(block.length, 9);
    EXPECT_EQ(block.defaultValue.pointer, nullptr);
}

class NumberStore : public IniFiles {};

TEST_F(NumberStore, WritesDecimalOrFixedWidthHex) {
    struct Row {
        int32_t format;
        INIWriteRequest request;
        const char* expected;
    } rows[] = {
        {1, INIWriteRequest("k", (unsigned char)5), "5"},
        {2, INIWriteRequest("k", (unsigned char)5), "0x05"},
        {1, INIWriteRequest("k", (signed char)-1), "4294967295"},  // sign-extended
        {2, INIWriteRequest("k", (signed char)-1), "0xFFFFFFFF"},  // so 8 digits
        {1, INIWriteRequest("k", (unsigned char)255), "255"},
        {2, INIWriteRequest("k", (unsigned char)255), "0xFF"},
        {2, INIWriteRequest("k", (uint16_t)0x12), "0x0012"},
        {2, INIWriteRequest("k", (uint32_t)0x12), "0x00000012"},
        {2, INIWriteRequest("k", (int32_t)-1), "0xFFFFFFFF"},
        {1, INIWriteRequest("k", (uint32_t)4294967295u), "4294967295"},
        {3, INIWriteRequest("k", (uint32_t)0x12), "18"},  // other formats: decimal
        {0, INIWriteRequest("k", (uint16_t)7), "7"},
    };
    for (const Row& row : rows) {
        INIStream s(Path("none.ini").c_str(), 1);
        strcpy(s.currentSection, "S");
        s.numberFormat = row.format;
        s.Put(row.request);
        EXPECT_EQ(TextOf(s, "S", "k"), row.expected) << row.format;
    }
}

TEST_F(NumberStore, ItemsWrittenInHexStayHex) {
    INIStream* s = Load("[S]\nlower=  0x7\nupper=0X7\nplain=7\nlate=7 0x1\n", 0);
    strcpy(s->currentSection, "S");
    for (const char* key : {"lower", "upper", "plain", "late"}) {
        s->Put(INIWriteRequest(key, (uint32_t)10));
    }
    EXPECT_EQ(TextOf(*s, "S", "lower"), "0xA");  // no leading zeros, whatever the format
    EXPECT_EQ(TextOf(*s, "S", "upper"), "10");   // a capital X does not count
    EXPECT_EQ(TextOf(*s, "S", "plain"), "10");
    EXPECT_EQ(TextOf(*s, "S", "late"), "10");
    s->numberFormat = 2;
    s->Put(INIWriteRequest("lower", (unsigned char)1));
    EXPECT_EQ(TextOf(*s, "S", "lower"), "0x1");  // not 0x01: the item's own hex form wins
    // An item without value text is not taken for hexadecimal.
    s->Put(INIWriteRequest("lower", static_cast<const char*>(nullptr)));
    s->numberFormat = 1;
    s->Put(INIWriteRequest("lower", (uint32_t)10));
    EXPECT_EQ(TextOf(*s, "S", "lower"), "10");
    s->readOnly = 1;
    delete s;
}

TEST_F(NumberStore, NewSectionsAndItemsComeLastInStoreOrder) {
    INIStream* s = Load("[A]\na=1\n[B]\nb=1\n", 0);
    strcpy(s->currentSection, "Z");
    s->Put(INIWriteRequest("z2", (uint32_t)2));
    s->Put(INIWriteRequest("z1", (uint32_t)1));
    strcpy(s->currentSection, "A");
    s->Put(INIWriteRequest("a0", (uint32_t)0));
    s->Put(INIWriteRequest("a", (uint32_t)9));  // existing: replaced in place
    EXPECT_EQ(ini_test::SectionNames(*s), "A,B,Z");
    EXPECT_EQ(ini_test::ItemNames(static_cast<SectionItem*>(s->sectionList.At(2))), "z2,z1");
    EXPECT_EQ(ini_test::ItemNames(static_cast<SectionItem*>(s->sectionList.At(0))), "a,a0");
    EXPECT_EQ(TextOf(*s, "A", "a"), "9");
    s->readOnly = 1;
    delete s;
}

// A read-only stream of more than 8 sections reads through sectionIndex and
// each section's sorted itemIndex; values stored into it are found there too.
TEST_F(NumberStore, ReadOnlyStreamsSeeTheirOwnStores) {
    std::string text;
    for (char c = 'A'; c <= 'J'; ++c) text += std::string("[") + c + "]\nk=1\nm=2\n";
    INIStream* s = Load(text, 1);
    ASSERT_EQ(s->sectionIndex.Count(), 10u);
    strcpy(s->currentSection, "C");
    s->Put(INIWriteRequest("a_new", (uint32_t)5));  // sorts before k and m
    s->Put(INIWriteRequest("k", (uint32_t)6));
    strcpy(s->currentSection, "New");
    s->Put(INIWriteRequest("n", (uint32_t)7));
    EXPECT_EQ(s->sectionIndex.Count(), s->sectionList.Count());
    EXPECT_EQ(TextOf(*s, "C", "a_new"), "5");
    EXPECT_EQ(TextOf(*s, "C", "k"), "6");
    EXPECT_EQ(TextOf(*s, "C", "m"), "2");
    EXPECT_EQ(TextOf(*s, "New", "n"), "7");
    delete s;
    EXPECT_EQ(ini_test::ReadFile(Path("test.ini")), text);  // read-only: never written
}

}  // namespace
