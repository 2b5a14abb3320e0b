// Writing back: the exact text an editable stream leaves in its file (the
// empty-line rule at every depth, kept lines, stored values), and what it
// leaves alone (read-only streams, files it cannot write).
#include "platform/file_replace.h"
#include "tests/ini/access_fixture.h"

using ini_test::IniFiles;
using ini_test::ReadFile;
using ini_test::Reports;

namespace {

class WriteBack : public IniFiles {};

TEST_F(WriteBack, EmptyLineRuleAtEveryDepth) {
    struct Row {
        const char* comment;
        const char* in;
        const char* out;
    } rows[] = {
        {"an empty line before every header that follows a name=value line",
         "[A]\na=1\n[B]\nb=2\n[C]\n", "[A]\na=1\n\n[B]\nb=2\n\n[C]\n"},
        {"empty lines already there are kept, not doubled; blanks and text after ] go",
         "[A]  ; c\n  a = 1\n\n  [B]\nb=2\n", "[A]\na=1\n\n[B]\nb=2\n"},
        {"an empty section: empty lines before its header and before the next",
         "[A]\na=1\n[E]\n[B]\nb=1\n", "[A]\na=1\n\n[E]\n\n[B]\nb=1\n"},
        {"a kept comment line clears the rule",
         "[A]\na=1\n;end\n[B]\n", "[A]\na=1\n;end\n[B]\n"},
        {"a nested block after a name=value line gets an empty line; the next outer header none",
         "[A]\na=1\n[[S]]\ns=1\n[B]\nb=1\n", "[A]\na=1\n\n[[S]]\ns=1\n[B]\nb=1\n"},
        {"a nested block right after its header gets none",
         "[A]\n[[S]]\ns=1\n[[T]]\nt=1\n[B]\n", "[A]\n[[S]]\ns=1\n\n[[T]]\nt=1\n[B]\n"},
        {"the rule inside a depth-2 block",
         "[A]\n[[S]]\ns=1\n[[[D]]]\nd=1\n[[[E]]]\ne=1\n[[T]]\n[B]\n",
         "[A]\n[[S]]\ns=1\n\n[[[D]]]\nd=1\n\n[[[E]]]\ne=1\n[[T]]\n[B]\n"},
        {"a name with % and encoded brackets go out unchanged",
         "[100% [x]\nk=%s%d\n", "[100% \x10x]\nk=%s%d\n"},
        {"values keep trailing blanks and further = signs; $ names stay",
         "[A]\n$k = a \\\nb==c  \n", "[A]\n$k=a \\\nb==c  \n"},
        {"an empty file gives an empty file", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Rewrite(row.in), row.out) << row.comment;
    }
}

// Lines end as the platform's text files do (CR LF on Windows, LF elsewhere).
// A text that ends in CR keeps it: the reader takes the CR of a CR LF pair
// for part of the line end, so such a line goes out with one CR more.
TEST_F(WriteBack, LineEndsFollowTheTextMode) {
    ini_test::WriteFile(Path("test.ini"), "[A]\r\na=x\r\r\n;c\r\r\nb=y\n", true);
    delete new INIStream(Path("test.ini").c_str(), 0);
    std::string once = ReadFile(Path("test.ini"), nullptr, true);
    const char* expected = TextModeWritesCRLF() ? "[A]\r\na=x\r\r\n;c\r\r\nb=y\r\n" : "[A]\na=x\r\r\n;c\r\r\nb=y\n";
    EXPECT_EQ(once, expected);
    delete new INIStream(Path("test.ini").c_str(), 0);
    EXPECT_EQ(ReadFile(Path("test.ini"), nullptr, true), once);
}

TEST_F(WriteBack, StoredValuesComeAfterTheFilesOwn) {
    INIStream* s = Load("[A]\na=1\n[[N]]\nn=1\n", 0);
    strcpy(s->currentSection, "A");
    s->Put(INIWriteRequest("a", (uint32_t)7));
    s->Put(INIWriteRequest("new", "x"));
    strcpy(s->currentSection, "Z");
    s->Put(INIWriteRequest("z", "multi\nline"));  // a line feed is written as it is
    s->Put(INIWriteRequest("nothing", static_cast<const char*>(nullptr)));
    delete s;
    EXPECT_EQ(ReadFile(Path("test.ini")), "[A]\na=7\nnew=x\n\n[[N]]\nn=1\n[Z]\nz=multi\nline\nnothing=\n");
}

TEST_F(WriteBack, KeptLinesWithoutValueAreWrittenEmpty) {
    INIStream* s = Load("[A]\n;x\ny=1\n", 0);
    SectionItem* a = static_cast<SectionItem*>(s->sectionList.At(0));
    a->itemList.At(0)->SetValue(nullptr);
    delete s;
    EXPECT_EQ(ReadFile(Path("test.ini")), "[A]\n\ny=1\n");
}

TEST_F(WriteBack, ReadOnlyStreamsNeverWrite) {
    const std::string text = "  [A]\n a = 1 \n[B]\n";
    INIStream* s = Load(text, 1);
    strcpy(s->currentSection, "A");
    s->Put(INIWriteRequest("a", (uint32_t)2));
    s->DeleteSection("B");
    delete s;
    EXPECT_EQ(ReadFile(Path("test.ini")), text);
    delete new INIStream(Path("missing.ini").c_str(), 1);
    bool exists = true;
    ReadFile(Path("missing.ini"), &exists);
    EXPECT_FALSE(exists);
}

TEST_F(WriteBack, EditableStreamOnAMissingFileCreatesIt) {
    delete new INIStream(Path("new.ini").c_str(), 0);
    bool exists = false;
    EXPECT_EQ(ReadFile(Path("new.ini"), &exists), "");
    EXPECT_TRUE(exists);
    EXPECT_EQ(Files(), std::vector<std::string>{"new.ini"});  // no temporary file left
}

TEST_F(WriteBack, LinesOutsideTheModelAreKept) {
    // Lines before the first header, and from an invalid nesting on.
    const char* text = "; head comment\nloose=1\n\n[A]\na=1\n[[[Deep]]]\nd=1\n[B]\nb=1\n";
    std::string once = Rewrite(text);
    EXPECT_EQ(once, "; head comment\nloose=1\n\n[A]\na=1\n[[[Deep]]]\nd=1\n[B]\nb=1\n");
    EXPECT_EQ(Rewrite(once), once);
}

TEST_F(WriteBack, IncludedTextIsWrittenInPlaceOfTheDirective) {
    ini_test::WriteFile(Path("part.ini"), "p=1\n[P]\nq=2\n");
    EXPECT_EQ(Rewrite("[A]\na=1\n#include part.ini\nb=2\n"), "[A]\na=1\np=1\n\n[P]\nq=2\nb=2\n");
}

TEST_F(WriteBack, AFileThatCannotBeWrittenIsReportedAndLeftAlone) {
    Reports reports;
    std::string path = Path("no-such-folder/x.ini");
    INIStream* s = new INIStream(path.c_str(), 0);
    strcpy(s->currentSection, "S");
    s->Put(INIWriteRequest("k", "v"));
    delete s;
    ASSERT_EQ(reports.Count("me", 5230), 1);
    for (const ini_test::Report& r : reports.All()) {
        if (r.tag == "me") {
            EXPECT_EQ(r.text, path);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-folder"));
    // A folder in the file's place.
    std::filesystem::create_directories(dir / "folder.ini");
    delete new INIStream(Path("folder.ini").c_str(), 0);
    EXPECT_EQ(reports.Count("me", 5230), 2);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.ini"));
}

}  // namespace
