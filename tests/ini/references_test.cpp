// The reference pass of a read-only load.
#include <gtest/gtest.h>

#include <string>

#include "reader_support.h"

namespace {

using reader_test::Load;
using reader_test::RecordingListener;
using reader_test::TempFolder;
using reader_test::Visible;

// The resolved value of item `key` in the first section `section`.
std::string ValueOf(const INIStream& stream, const char* section, const char* key) {
    for (uint32_t i = 0; i < stream.sectionList.Count(); ++i) {
        const SectionItem* s = static_cast<const SectionItem*>(stream.sectionList.At(i));
        if (strcmp(s->Name(), section) != 0) {
            continue;
        }
        for (uint32_t j = 0; j < s->itemList.Count(); ++j) {
            if (strcmp(s->itemList.At(j)->Name(), key) == 0) {
                return Visible(s->itemList.At(j)->GetValue());
            }
        }
    }
    return "<no item>";
}

const char kBase[] =
    "[Paths]\n"
    "Root=D:\\App\n"
    "Empty=\n"
    "Long=0123456789\n"
    "[Main]\n"
    "Title=Setup\n";

struct ReferenceCase {
    const char* what;
    const char* lines;     // appended under [Main] of kBase
    const char* key;       // item of [Main] to look at
    const char* expected;  // its value after the load
};

const ReferenceCase kCases[] = {
    {"section and item", "Exe=@[Paths].Root\\bin\\run.exe", "Exe", "D:\\App\\bin\\run.exe"},
    {"@[.] is the own section's name", "T=Setup of @[.]", "T", "Setup of Main"},
    {"@[] with an item: the own section", "Copy=@[].Title", "Copy", "Setup"},
    {"@[section] without item: the item of the own name", "Root=@[Paths]", "Root", "D:\\App"},
    {"@[] without item: the item itself, as loaded", "Self=a@[]b", "Self", "aa@[]bb"},
    {"an @ without [ is text", "Note=price @ 5 and @[Paths].Root", "Note", "price @ 5 and D:\\App"},
    {"a value without @[ is not touched", "Plain=price @ 5 @", "Plain", "price @ 5 @"},
    {"a reference to an empty value empties the value", "V=@[Paths].Empty", "V", ""},
    {"text before and after, several references", "P=<@[Paths].Root|@[.]|@[].Title>", "P", "<D:\\App|Main|Setup>"},
    {"the item name ends at the first non-name character", "R=@[Paths].Root.b", "R", "D:\\App.b"},
    {"an empty item name asks for the empty name", "E=@[Paths]. x", "E", "@[Paths]. x"},
    {"a long value is inserted whole", "L=@[Paths].Long@[Paths].Long", "L", "01234567890123456789"},
    {"no ]: left as loaded", "Bad=@[Paths", "Bad", "@[Paths"},
    {"no such section: left as loaded", "Bad=@[Nowhere].x", "Bad", "@[Nowhere].x"},
    {"no such item: left as loaded", "Bad=@[Paths].Nothing", "Bad", "@[Paths].Nothing"},
    {"a wanted name longer than every item name", "Bad=@[Paths].RootAndAVeryLongNameThatRunsPastTheNameFieldOfAnItem",
     "Bad", "@[Paths].RootAndAVeryLongNameThatRunsPastTheNameFieldOfAnItem"},
    {"no item of the own name: left as loaded", "Bad=@[Paths]", "Bad", "@[Paths]"},
    {"one failure leaves the whole value, good references included", "Bad=@[Paths].Root;@[Nowhere].x", "Bad",
     "@[Paths].Root;@[Nowhere].x"},
    {"section names are case-sensitive", "Bad=@[paths].Root", "Bad", "@[paths].Root"},
    {"item names are case-sensitive", "Bad=@[Paths].root", "Bad", "@[Paths].root"},
    {"the section name is taken verbatim, blanks included", "Bad=@[ Paths].Root", "Bad", "@[ Paths].Root"},
};

TEST(References, Table) {
    TempFolder folder;
    for (const ReferenceCase& c : kCases) {
        std::string path = folder.Write("refs.ini", std::string(kBase) + c.lines + "\n");
        INIStream stream(path.c_str(), 1);
        EXPECT_EQ(ValueOf(stream, "Main", c.key), c.expected) << c.what;
    }
}

TEST(References, SinglePassInFileOrder) {
    // An earlier item is inserted resolved, a later one as loaded; inserted
    // text is never scanned again.
    TempFolder folder;
    std::string path = folder.Write("refs.ini",
                                    "[S]\n"
                                    "a=x\n"
                                    "b=<@[].a>\n"      // resolved to <x>
                                    "c=@[].b@[].d\n"   // b resolved, d as loaded
                                    "d=[@[].a]\n"
                                    "e=@[].e\n"        // itself
                                    "f=@[].g\n"       // g as loaded: "@[].f"
                                    "g=@[].f\n");     // f resolved already
    INIStream stream(path.c_str(), 1);
    EXPECT_EQ(ValueOf(stream, "S", "b"), "<x>");
    EXPECT_EQ(ValueOf(stream, "S", "c"), "<x>[@[].a]");
    EXPECT_EQ(ValueOf(stream, "S", "d"), "[x]");
    EXPECT_EQ(ValueOf(stream, "S", "e"), "@[].e");
    EXPECT_EQ(ValueOf(stream, "S", "f"), "@[].f");
    EXPECT_EQ(ValueOf(stream, "S", "g"), "@[].f");
}

TEST(References, FirstOfEqualNamesWins) {
    TempFolder folder;
    std::string path = folder.Write("refs.ini", "[A]\nk=first\nk=second\n[A]\nk=third\n[B]\nr=@[A].k\n");
    INIStream stream(path.c_str(), 1);
    EXPECT_EQ(ValueOf(stream, "B", "r"), "first");
}

TEST(References, EncodedSectionNamesAndNameCharacters) {
    TempFolder folder;
    std::string path = folder.Write("refs.ini",
                                    "[a[b]\nx=in a[b\n"
                                    "[S]\nk\xC0\xDF=cyrillic\nr=@[a[b].x\n"
                                    "c=@[].k\xC0\xDF!\n"
                                    "h=@[].k\xC0\xDF\xBF\n"  // 0xBF is no name character
                                    "$=empty-named\n"
                                    "e=@[S]. x\n"
                                    "n=@[.]\n");
    INIStream stream(path.c_str(), 1);
    EXPECT_EQ(ValueOf(stream, "S", "r"), "in a[b");
    EXPECT_EQ(ValueOf(stream, "S", "c"), "cyrillic!");
    EXPECT_EQ(ValueOf(stream, "S", "h"), "cyrillic\\xBF");
    EXPECT_EQ(ValueOf(stream, "S", "e"), "empty-named x");
    path = folder.Write("refs.ini", "[x[y]]\nn=@[.]\n");
    INIStream encoded(path.c_str(), 1);
    EXPECT_EQ(ValueOf(encoded, "x\x10y", "n"), "x\\x10y") << "@[.] gives the stored name";
}

TEST(References, OnlySectionsOfTheSameStream) {
    TempFolder folder;
    std::string path = folder.Write("refs.ini",
                                    "[Top]\nt=top\nr=@[Sub].s\n"
                                    "[[Sub]]\ns=sub\nup=@[Top].t\nown=@[Sub].s/@[.]\n");
    INIStream stream(path.c_str(), 1);
    EXPECT_EQ(ValueOf(stream, "Top", "r"), "@[Sub].s") << "a nested section is out of reach";
    const INIStream* nested = static_cast<const SectionItem*>(stream.sectionList.At(0))->nestedStream;
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(ValueOf(*nested, "Sub", "up"), "@[Top].t") << "so is a parent's section";
    EXPECT_EQ(ValueOf(*nested, "Sub", "own"), "sub/Sub") << "nested streams resolve their own";
}

TEST(References, ManySectionsAreSearchedThroughTheIndex) {
    TempFolder folder;
    std::string text = "[First]\nr=@[S11].k/@[S0].k\n";
    for (int i = 0; i < 12; ++i) {
        text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    }
    std::string path = folder.Write("refs.ini", text);
    INIStream stream(path.c_str(), 1);
    ASSERT_EQ(stream.sectionIndex.Count(), 13u);
    EXPECT_EQ(ValueOf(stream, "First", "r"), "11/0");
}

TEST(References, SecondRunOfANestedStreamResolvesItsNewSections) {
    TempFolder folder;
    folder.Write("inc.ini", "[[A]]\na=1\n");
    std::string path = folder.Write("main.ini", "[Top]\n#include inc.ini\n[[B]]\nb=@[A].a+\n");
    INIStream stream(path.c_str(), 1);
    const INIStream* nested = static_cast<const SectionItem*>(stream.sectionList.At(0))->nestedStream;
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(ValueOf(*nested, "B", "b"), "1+");
}

TEST(References, EditableStreamsKeepReferenceText) {
    TempFolder folder;
    EXPECT_EQ(Load(folder, "[S]\na=1\nb=@[S].a @[.]\n", 0), "[S]a=1;b=@[S].a @[.];");
    EXPECT_EQ(Load(folder, "[S]\na=1\nb=@[S].a @[.]\n", 1), "[S]a=1;b=1 S;");
}

TEST(References, ValueThatWouldNotFitTheWorkBufferStaysAsLoaded) {
    // 16383 characters fit the 16384-character buffer with the terminator.
    TempFolder folder;
    std::string big(8000, 'x');
    std::string base = "[S]\nbig=" + big + "\nc383=" + std::string(383, 'c') + "\nc384=" + std::string(384, 'c') + "\n";
    std::string path = folder.Write("refs.ini", base + "fits=@[].big@[].big@[].c383\nover=@[].big@[].big@[].c384\n");
    RecordingListener listener(1);
    INIStream stream(path.c_str(), 1);
    std::string fits = ValueOf(stream, "S", "fits");
    EXPECT_EQ(fits.size(), 16383u);
    EXPECT_EQ(fits, big + big + std::string(383, 'c'));
    EXPECT_EQ(ValueOf(stream, "S", "over"), "@[].big@[].big@[].c384");
    ASSERT_EQ(listener.reports().size(), 1u);
    EXPECT_EQ(listener.reports()[0].hook, "TraceMessage");
    EXPECT_EQ(listener.reports()[0].text,
              "File '" + path + "', section '[S]', item 'over': resolved value longer than 16383 characters\n");
}

TEST(References, FailuresAreTracedOnlyWithDiagnosticsOn) {
    TempFolder folder;
    std::string path = folder.Write("refs.ini",
                                    "[P]\nRoot=r\n[a[b]\n"
                                    "[S]\n"
                                    "one=@[P\n"
                                    "two=@[No where].x\n"
                                    "three=@[P].Nothing+\n"
                                    "four=@[a[b]\n"
                                    "ok=@[P].Root\n");
    {
        RecordingListener quiet(0);
        INIStream stream(path.c_str(), 1);
        EXPECT_TRUE(quiet.reports().empty());
        EXPECT_EQ(ValueOf(stream, "S", "ok"), "r");
    }
    RecordingListener listener(1);
    INIStream stream(path.c_str(), 1);
    const std::string file = "File '" + path + "', section '[S]', item ";
    const struct {
        const char* format;
        std::string text;
    } expected[] = {
        {"File '%s', section '[%s]', item '%s': cannot find ']'\n", file + "'one': cannot find ']'\n"},
        {"File '%s', section '[%s]', item '%s': cannot find section '%s' in file\n",
         file + "'two': cannot find section 'No where' in file\n"},
        {"File '%s', section '[%s]', item '%s': cannot find item '%s' in section '%s'\n",
         file + "'three': cannot find item 'Nothing' in section 'P'\n"},
        {"File '%s', section '[%s]', item '%s': cannot find item '%s' in section '%s'\n",
         file + "'four': cannot find item 'four' in section 'a\x10" "b'\n"},
    };
    ASSERT_EQ(listener.reports().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(listener.reports()[i].hook, "TraceMessage");
        EXPECT_EQ(listener.reports()[i].format, expected[i].format);
        EXPECT_EQ(listener.reports()[i].text, expected[i].text);
    }
}

}  // namespace
