// SectionItem and INIItem: value forms, name fields, encoding, comparison,
// and the name-character table.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "ini/inistream.h"
#include "ini/model.h"

namespace {

// ---- Values ----

struct ValueCase {
    const char* value;
    unsigned char isShort;
};

TEST(INIItemValue, ShortUpToSevenCharactersLongFromEight) {
    const ValueCase cases[] = {
        {"", 1},          // empty: short, and not "no value"
        {"a", 1},
        {"1234567", 1},   // 7 characters still fit the slot with the terminator
        {"12345678", 0},  // 8 need the heap
        {"a much longer value of forty characters.", 0},
    };
    for (const ValueCase& c : cases) {
        INIItem item("k", c.value);
        EXPECT_EQ(item.isShort, c.isShort) << c.value;
        ASSERT_NE(item.GetValue(), nullptr) << c.value;
        EXPECT_STREQ(item.GetValue(), c.value);
        if (c.isShort) {
            EXPECT_EQ(item.GetValue(), item.value.text) << "a short value lives in the slot";
        } else {
            EXPECT_NE(item.GetValue(), c.value) << "a long value is a copy";
        }
    }
}

TEST(INIItemValue, NullGivesNoValue) {
    INIItem key("k", nullptr);
    EXPECT_EQ(key.isShort, 0);
    EXPECT_EQ(key.GetValue(), nullptr);
}

TEST(INIItemValue, SetValueMovesBetweenForms) {
    INIItem item("k", "short");
    item.SetValue("now it is long");  // short -> long
    EXPECT_EQ(item.isShort, 0);
    EXPECT_STREQ(item.GetValue(), "now it is long");
    item.SetValue("tiny");  // long -> short: the heap block goes (the sanitizer build checks)
    EXPECT_EQ(item.isShort, 1);
    EXPECT_STREQ(item.GetValue(), "tiny");
    item.SetValue("another long value");
    item.SetValue(nullptr);  // long -> none
    EXPECT_EQ(item.GetValue(), nullptr);
    item.SetValue("back");
    EXPECT_STREQ(item.GetValue(), "back");
}

TEST(INIItemValue, SetValueCopiesTheCallersText) {
    char text[] = "caller's own buffer";
    INIItem item("k", "x");
    item.SetValue(text);
    text[0] = 'X';
    EXPECT_STREQ(item.GetValue(), "caller's own buffer");
}

TEST(INIItemValue, SetValueFromItsOwnTextIsSafe) {
    INIItem item("k", "a value on the heap");
    item.SetValue(item.GetValue() + 2);  // a text inside the block being replaced
    EXPECT_STREQ(item.GetValue(), "value on the heap");
    INIItem shortItem("k", "abc");
    shortItem.SetValue(shortItem.GetValue() + 1);
    EXPECT_STREQ(shortItem.GetValue(), "bc");
}

TEST(INIItemValue, KnownLengthsNeedNoTerminator) {
    const char line[] = "name  =  a value of some length;rest";
    INIItem item(line, 4, line + 9, 22);
    EXPECT_STREQ(item.Name(), "name");
    EXPECT_STREQ(item.GetValue(), "a value of some length");
    INIItem shortOne(line, 2, line + 9, 1);
    EXPECT_STREQ(shortOne.Name(), "na");
    EXPECT_STREQ(shortOne.GetValue(), "a");
    INIItem none(line, 4, nullptr, 99);
    EXPECT_EQ(none.GetValue(), nullptr);
}

// ---- Names ----

TEST(INIItemName, FittingNamesAreInlineLongerOnesKeptWhole) {
    std::string fits(47, 'n');
    std::string longer(48, 'n');
    std::string veryLong(5000, 'x');
    INIItem a(fits.c_str(), "1");
    INIItem b(longer.c_str(), "2");
    INIItem c(veryLong.c_str(), "3");
    EXPECT_EQ(a.hasLongName, 0);
    EXPECT_EQ(a.Name(), a.name);
    EXPECT_EQ(b.hasLongName, 1);
    EXPECT_EQ(c.hasLongName, 1);
    EXPECT_EQ(std::string(a.Name()), fits);
    EXPECT_EQ(std::string(b.Name()), longer);
    EXPECT_EQ(std::string(c.Name()), veryLong);
    EXPECT_STREQ(c.GetValue(), "3");
}

TEST(INIItemName, LongNamesCompareWhole) {
    std::string base(60, 'k');
    INIItem x((base + "1").c_str(), "");
    INIItem y((base + "2").c_str(), "");
    INIItem x2((base + "1").c_str(), "other value");
    EXPECT_FALSE(x.IsEqual(&y)) << "names that differ after byte 47 are different";
    EXPECT_TRUE(x.IsEqual(&x2));
    EXPECT_TRUE(y.IsGreater(&x));
    EXPECT_FALSE(x.IsGreater(&y));
    INIItem shortName(base.substr(0, 10).c_str(), "");
    EXPECT_TRUE(x.IsGreater(&shortName)) << "a prefix sorts first";
}

TEST(SectionItemName, FittingNamesAreInlineLongerOnesKeptWholeAndEncoded) {
    std::string fits(63, 's');
    std::string longer = std::string(70, 's') + "[x]";
    SectionItem a(fits.c_str());
    SectionItem b(longer.c_str());
    EXPECT_EQ(a.hasLongName, 0);
    EXPECT_EQ(std::string(a.Name()), fits);
    EXPECT_EQ(b.hasLongName, 1);
    EXPECT_EQ(std::string(b.Name()), std::string(70, 's') + "\x10x\x11");
    SectionItem key(longer.c_str());
    EXPECT_TRUE(key.IsEqual(&b));
    EXPECT_FALSE(key.IsEqual(&a));
}

TEST(SectionItemName, BracketsAreStoredAsBytes16And17) {
    SectionItem section("a[b]c");
    EXPECT_STREQ(section.Name(), "a\x10" "b\x11" "c");
    char encoded[16];
    EncodeSectionName(encoded, "[x]]y[");
    EXPECT_STREQ(encoded, "\x10x\x11\x11y\x10");
    SectionItem fromText("a[b]c");
    SectionItem fromBytes("a\x10" "b\x11" "c");  // encoding leaves 16 and 17 as they are
    EXPECT_TRUE(fromText.IsEqual(&section));
    EXPECT_TRUE(fromBytes.IsEqual(&section));
}

TEST(SectionItemName, ConstructedEmpty) {
    SectionItem section("Info");
    EXPECT_EQ(section.nestedStream, nullptr);
    EXPECT_EQ(section.itemList.Count(), 0u);
    EXPECT_EQ(section.itemList.container.flags, 0u);
    EXPECT_EQ(section.itemList.container.delta, 16u);
    EXPECT_EQ(section.itemIndex.container.flags, uint32_t(SC_SORTED | SC_NODELETE));
    EXPECT_EQ(section.itemIndex.container.delta, 16u);
}

// ---- Comparison and lookups ----

TEST(ModelComparison, CaseSensitiveByteOrder) {
    INIItem item("Info", "");
    INIItem lowerItem("info", "");
    EXPECT_FALSE(item.IsEqual(&lowerItem)) << "letter case matters";
    SectionItem info("Info");
    SectionItem lower("info");
    EXPECT_FALSE(info.IsEqual(&lower));
    EXPECT_TRUE(lower.IsGreater(&info)) << "'I' (0x49) sorts before 'i' (0x69)";
}

TEST(ModelComparison, SortedIndexIsInByteOrder) {
    SectionItem section("S");
    const char* names[] = {"\xC0z", "beta", "Zeta", "alpha", "_u", "Alpha", "9", "\xFF"};
    for (const char* name : names) {
        INIItem* item = new INIItem(name, "v");
        section.itemList.Add(item);
        section.itemIndex.Add(item);
    }
    INIItem key("beta", "");
    ASSERT_NE(section.itemIndex.Find(&key), nullptr);  // sorts the index
    std::string order;
    for (uint32_t i = 0; i < section.itemIndex.Count(); ++i) {
        order += std::string(section.itemIndex.At(i)->Name()) + ",";
    }
    EXPECT_EQ(order, "9,Alpha,Zeta,_u,alpha,beta,\xC0z,\xFF,");
    EXPECT_STREQ(section.itemList.At(0)->Name(), "\xC0z") << "the list keeps file order";
}

TEST(ModelComparison, ListLookupFindsTheFirstOfEqualNames) {
    SectionItem section("S");
    section.itemList.Add(new INIItem("k", "first"));
    section.itemList.Add(new INIItem("other", "x"));
    section.itemList.Add(new INIItem("k", "second"));
    INIItem key("k", "");
    INIItem* found = section.itemList.Find(&key);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->GetValue(), "first");
    EXPECT_EQ(section.itemList.Count(), 3u);
}

// ---- Name characters ----

TEST(NameChars, TableAndTest) {
    for (int c = 0; c < 256; ++c) {
        bool ascii = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        bool high = c >= 0xC0;
        unsigned char expected = ascii ? 1 : high ? 8 : 0;
        EXPECT_EQ(NameCharTable[c], expected) << "byte " << c;
        EXPECT_EQ(IsNameChar(1, (unsigned char)c), int(ascii || high)) << "byte " << c;
        EXPECT_EQ(IsNameChar(0, (unsigned char)c), int(high)) << "class 0 still has bit 8, byte " << c;
    }
}

}  // namespace
