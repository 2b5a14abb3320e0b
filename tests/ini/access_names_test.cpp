// Typed access, work by name: the section stack, CurrentSection, the three
// delete operations (with the indexes of a read-only stream kept in step) and
// the two iterators.
#include "tests/ini/access_fixture.h"

using ini_test::IniFiles;
using ini_test::ItemNames;
using ini_test::SectionNames;
using ini_test::TextOf;

namespace {

class ByName : public IniFiles {};

std::vector<std::string> SectionsWith(INIStream& s, const char* prefix) {
    std::vector<std::string> names;
    for (INISectionIterator it(prefix, s); it.Current() != nullptr; it.Next()) names.push_back(it.Current());
    return names;
}

std::vector<std::string> ItemsWith(INIStream& s, const char* section, const char* prefix) {
    std::vector<std::string> names;
    for (INIItemIterator it(prefix, section, s); it.Current() != nullptr; it.Next()) names.push_back(it.Current());
    return names;
}

TEST_F(ByName, SectionStackSavesAndRestores) {
    INIStream s(Path("none.ini").c_str(), 1);
    strcpy(s.currentSection, "First");
    s.PushSection();
    strcpy(s.currentSection, "Second");
    s.PushSection();
    strcpy(s.currentSection, "Third");
    s.PopSection();
    EXPECT_STREQ(s.currentSection, "Second");
    s.PopSection();
    EXPECT_STREQ(s.currentSection, "First");
    EXPECT_EQ(s.sectionStack.Count(), 0u);
    strcpy(s.currentSection, "Kept");
    s.PopSection();  // empty stack: nothing changes
    EXPECT_STREQ(s.currentSection, "Kept");
}

TEST_F(ByName, CurrentSectionComparesEncodedAndExactNames) {
    INIStream* s = Load("[Info]\n[a[b]\n[Dup]\nx=1\n[Dup]\nx=2\n", 1);
    strcpy(s->currentSection, "Info");
    EXPECT_STREQ(s->CurrentSection()->Name(), "Info");
    strcpy(s->currentSection, "info");  // letter case counts
    EXPECT_EQ(s->CurrentSection(), nullptr);
    strcpy(s->currentSection, "a[b");  // stored as a, 16, b
    ASSERT_NE(s->CurrentSection(), nullptr);
    EXPECT_STREQ(s->CurrentSection()->Name(), "a\x10" "b");
    strcpy(s->currentSection, "Dup");
    EXPECT_EQ(s->CurrentSection(), s->sectionList.At(2));  // the first of equal names
    delete s;
}

TEST_F(ByName, DeleteSectionRemovesTheFirstAndKeepsTheIndexInStep) {
    std::string text = "[Dup]\nv=first\n";
    for (int i = 0; i < 8; ++i) text += "[S" + std::to_string(i) + "]\n";
    text += "[Dup]\nv=second\n";
    INIStream* s = Load(text, 1);
    ASSERT_EQ(s->sectionIndex.Count(), 10u);
    s->DeleteSection("Dup");
    EXPECT_EQ(s->sectionList.Count(), 9u);
    EXPECT_EQ(s->sectionIndex.Count(), 9u);
    for (uint32_t i = 0; i < s->sectionList.Count(); ++i) EXPECT_EQ(s->sectionIndex.At(i), s->sectionList.At(i));
    EXPECT_EQ(TextOf(*s, "Dup", "v"), "second");
    s->DeleteSection("Nowhere");
    s->DeleteSection("dup");
    EXPECT_EQ(s->sectionList.Count(), 9u);
    delete s;
}

TEST_F(ByName, DeleteSectionsByPrefix) {
    const char* text = "[Abc]\n[Abcdef]\n[abc]\n[xAbc]\n[Ab]\n[Abc]\nk=1\n";
    INIStream* s = Load(text, 1);
    s->DeleteSections("Abc");
    EXPECT_EQ(SectionNames(*s), "abc,xAbc,Ab");
    s->DeleteSections("");
    EXPECT_EQ(s->sectionList.Count(), 0u);
    delete s;
    // A prefix is compared with the stored names without being encoded.
    s = Load("[a[b]\n[a[c]\n[ab]\n", 1);
    s->DeleteSections("a[");
    EXPECT_EQ(s->sectionList.Count(), 3u);
    s->DeleteSections("a\x10");
    EXPECT_EQ(SectionNames(*s), "ab");
    delete s;
}

TEST_F(ByName, DeleteItemKeepsTheSortedIndexFreeOfDestroyedItems) {
    INIStream* s = Load("[S]\nk=1\nb=0\nk=2\nk=3\n", 1);
    strcpy(s->currentSection, "S");
    SectionItem* section = s->CurrentSection();
    ASSERT_EQ(section->itemIndex.Count(), 4u);
    s->DeleteItem("k");  // the first k of the list
    EXPECT_EQ(ItemNames(section), "b,k,k");
    ASSERT_EQ(section->itemIndex.Count(), 3u);
    for (uint32_t i = 0; i < section->itemIndex.Count(); ++i) {
        EXPECT_GE(section->itemList.IndexOfPointer(section->itemIndex.At(i)), 0) << i;
    }
    s->DeleteItem("k");
    s->DeleteItem("k");
    EXPECT_EQ(ItemNames(section), "b");
    EXPECT_EQ(section->itemIndex.Count(), 1u);
    EXPECT_EQ(TextOf(*s, "S", "k"), "<none>");
    s->DeleteItem("missing");
    strcpy(s->currentSection, "Nowhere");
    s->DeleteItem("b");
    EXPECT_EQ(ItemNames(section), "b");
    delete s;
}

TEST_F(ByName, SectionIteratorYieldsStoredNamesByPrefix) {
    INIStream* s = Load("[Alpha]\n[Beta]\n[Al[x]]\n[alpha]\n[Al]\n[[Nested]]\n", 1);
    EXPECT_EQ(SectionsWith(*s, "Al"), (std::vector<std::string>{"Alpha", "Al\x10x", "Al"}));
    EXPECT_EQ(SectionsWith(*s, "").size(), 5u);  // nested sections are not this stream's
    EXPECT_TRUE(SectionsWith(*s, "Gamma").empty());
    INISectionIterator it("Beta", *s);
    EXPECT_STREQ(it.Current(), "Beta");
    it.Next();
    EXPECT_EQ(it.Current(), nullptr);
    it.Next();  // stays at the end
    EXPECT_EQ(it.Current(), nullptr);
    delete s;
}

TEST_F(ByName, ItemIteratorSelectsItsSection) {
    INIStream* s = Load("[S]\nkey1=1\n; note\nother=2\n\nkey2=3\n[T]\n", 0);
    strcpy(s->currentSection, "T");
    EXPECT_EQ(ItemsWith(*s, "S", "key"), (std::vector<std::string>{"key1", "key2"}));
    // The empty prefix also yields the empty names of kept lines.
    EXPECT_EQ(ItemsWith(*s, "S", ""), (std::vector<std::string>{"key1", "", "other", "", "key2"}));
    // Each step selects the section, so Current() can be the key of a Get.
    strcpy(s->currentSection, "T");
    uint32_t sum = 0;
    for (INIItemIterator it("key", "S", *s); it.Current() != nullptr; it.Next()) {
        uint32_t v = 0;
        s->Get(INIReadRequest(it.Current(), &v, 0u));
        sum += v;
    }
    EXPECT_EQ(sum, 4u);
    EXPECT_STREQ(s->currentSection, "S");
    // A section that does not exist: nothing at once, currentSection untouched.
    strcpy(s->currentSection, "T");
    INIItemIterator none("", "Nowhere", *s);
    EXPECT_EQ(none.Current(), nullptr);
    EXPECT_STREQ(s->currentSection, "T");
    s->readOnly = 1;
    delete s;
}

}  // namespace
