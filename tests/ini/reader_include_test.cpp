// Include directives: where the included file is looked for, how its lines
// join the stream, where it ends, and every way it can fail.
#include <gtest/gtest.h>

#include <string>

#include "reader_support.h"

namespace {

using reader_test::Describe;
using reader_test::KeptLines;
using reader_test::RecordingListener;
using reader_test::TempFolder;

// The ReportError(5229, ...) paths reported, in order.
std::string OpenFailures(const RecordingListener& listener) {
    std::string out;
    for (const reader_test::Report& r : listener.reports()) {
        if (r.hook == "ReportError" && r.number == 5229) {
            out += "<" + r.text + ">";
        }
    }
    return out;
}

struct File {
    const char* name;
    const char* text;
};

struct IncludeCase {
    const char* what;
    File files[3];        // main.ini first; unused rows have a null name
    const char* model;    // read-only
    const char* failed;   // names (relative to the folder) reported as 5229, each in <>
};

const IncludeCase kIncludeCases[] = {
    {"included lines stand in place of the directive; same-depth headers join the stream",
     {{"main.ini", "[Top]\n#include x.ini\nc=3\n"}, {"x.ini", "a=1\n[Other]\nb=2\n"}},
     "[Top]a=1;[Other]b=2;c=3;", ""},
    {"no blank needs to follow #include; blanks before the argument are skipped",
     {{"main.ini", "[S]\n  #includex.ini\n#include \t y.ini\n"}, {"x.ini", "a=1\n"}, {"y.ini", "b=2\n"}},
     "[S]a=1;b=2;", ""},
    {"any directory or drive in the argument is ignored",
     {{"main.ini", "[S]\n#include sub/x.ini\n#include ..\\x.ini\n#include C:x.ini\n"}, {"x.ini", "a=1\n"}},
     "[S]a=1;a=1;a=1;", ""},
    {"an include inside an included file is looked for beside the main file",
     {{"main.ini", "[S]\n#include x.ini\n"}, {"x.ini", "a=1\n#include sub/y.ini\n"}, {"y.ini", "b=2\n"}},
     "[S]a=1;b=2;", ""},
    {"the include before the first header may bring the first header",
     {{"main.ini", "#include head.ini\nb=2\n"}, {"head.ini", "x=0\n[H]\na=1\n"}}, "[H]a=1;b=2;", ""},
    {"a file that cannot be opened is reported and leaves no trace",
     {{"main.ini", "[S]\na=1\n#include missing.ini\nb=2\n"}}, "[S]a=1;b=2;", "<missing.ini>"},
    {"the argument is taken verbatim up to the line end",
     {{"main.ini", "[S]\n#include x.ini ; comment\n"}, {"x.ini", "a=1\n"}}, "[S]", "<x.ini ; comment>"},
    {"an empty argument names no file",
     {{"main.ini", "[S]\n#include\n#include sub/\n"}}, "[S]", "<><>"},
    {"a shallower header ends the included file; the including file reads on",
     {{"main.ini", "[Top]\n[[Sub]]\n#include x.ini\nz=9\n"}, {"x.ini", "x=1\n[Other]\ny=1\n"}},
     "[Top]{[Sub]x=1;z=9;}", ""},
    {"an invalid nesting ends the included file only",
     {{"main.ini", "[Top]\n#include x.ini\nz=9\n"}, {"x.ini", "x=1\n[[[Bad]]]\ny=1\n"}}, "[Top]x=1;z=9;", ""},
    {"a nested block begun in an included file goes on in the including file",
     {{"main.ini", "[Top]\n#include x.ini\n[[Second]]\nb=2\n"}, {"x.ini", "[[First]]\na=1\n"}},
     "[Top]{[First]a=1;[Second]b=2;}", ""},
    {"an included nested block ends at the included file's end",
     {{"main.ini", "[Top]\n#include x.ini\nt=1\n"}, {"x.ini", "[[Sub]]\na=1\n"}}, "[Top]t=1;{[Sub]a=1;}", ""},
    {"a file that includes itself: the recursion is refused like a missing file",
     {{"main.ini", "[S]\na=1\n#include main.ini\nb=2\n"}}, "[S]a=1;b=2;", "<main.ini>"},
    {"two files that include each other",
     {{"main.ini", "[S]\n#include a.ini\n"}, {"a.ini", "a=1\n#include b.ini\n"}, {"b.ini", "b=1\n#include a.ini\nc=1\n"}},
     "[S]a=1;b=1;c=1;", "<a.ini>"},
    {"one file included twice side by side is read twice",
     {{"main.ini", "[S]\n#include a.ini\n#include a.ini\n"}, {"a.ini", "a=1\n"}}, "[S]a=1;a=1;", ""},
};

TEST(ReaderInclude, Table) {
    for (const IncludeCase& c : kIncludeCases) {
        TempFolder folder;
        for (const File& f : c.files) {
            if (f.name != nullptr) {
                folder.Write(f.name, f.text);
            }
        }
        RecordingListener listener;
        INIStream stream(folder.Path("main.ini").c_str(), 1);
        EXPECT_EQ(Describe(stream), c.model) << c.what;
        std::string expectedFailures;
        for (std::string rest = c.failed; !rest.empty();) {
            size_t close = rest.find('>');
            expectedFailures += "<" + folder.Directory() + rest.substr(1, close - 1) + ">";
            rest = rest.substr(close + 1);
        }
        EXPECT_EQ(OpenFailures(listener), expectedFailures) << c.what;
    }
}

TEST(ReaderInclude, AnIncludePathThatDoesNotFitIsReportedWholeAndNotOpened) {
    TempFolder folder;
    std::string name(300, 'n');
    folder.Write("main.ini", "[S]\na=1\n#include " + name + "\nb=2\n");
    RecordingListener listener;
    INIStream stream(folder.Path("main.ini").c_str(), 1);
    EXPECT_EQ(Describe(stream), "[S]a=1;b=2;");
    EXPECT_EQ(OpenFailures(listener), "<" + folder.Directory() + name + ">");
}

TEST(ReaderInclude, IncludeDepthIsBounded) {
    // A chain of distinct files, each including the next: sixteen include
    // files can be open at once; the seventeenth is refused.
    TempFolder folder;
    folder.Write("main.ini", "[S]\nm=0\n#include f1.ini\n");
    std::string expected = "[S]m=0;";
    for (int i = 1; i <= 20; ++i) {
        std::string n = std::to_string(i);
        folder.Write("f" + n + ".ini", "v" + n + "=1\n#include f" + std::to_string(i + 1) + ".ini\n");
        if (i <= 16) {
            expected += "v" + n + "=1;";
        }
    }
    RecordingListener listener;
    INIStream stream(folder.Path("main.ini").c_str(), 1);
    EXPECT_EQ(Describe(stream), expected);
    EXPECT_EQ(OpenFailures(listener), "<" + folder.Path("f17.ini") + ">");
}

TEST(ReaderInclude, EditableStreamKeepsDirectivesThatWereNotFollowed) {
    TempFolder folder;
    folder.Write("main.ini",
                 "; top\n#include pre.ini\n#include gone.ini\n[S]\na=1\n  #include missing.ini\n#include x.ini\n");
    folder.Write("pre.ini", "; from pre\nx=0\n");
    folder.Write("x.ini", "b=2\n");
    RecordingListener listener;
    INIStream stream(folder.Path("main.ini").c_str(), 0);
    // Followed directives vanish; the lines before the first header, from
    // the included file too, are kept verbatim; a directive that could not
    // be followed stays where it stood.
    EXPECT_EQ(KeptLines(stream.leadingLines), "; top|; from pre|x=0|#include gone.ini");
    EXPECT_EQ(Describe(stream), "[S]a=1;=#include missing.ini;b=2;");
    EXPECT_EQ(OpenFailures(listener), "<" + folder.Path("gone.ini") + "><" + folder.Path("missing.ini") + ">");
    stream.readOnly = 1;
}

TEST(ReaderInclude, EditableStreamKeepsAnInvalidHeaderOfAnIncludedFile) {
    TempFolder folder;
    folder.Write("main.ini", "[Top]\n#include x.ini\nz=9\n");
    folder.Write("x.ini", "x=1\n[[[Bad]]]\ny=1\n");
    INIStream stream(folder.Path("main.ini").c_str(), 0);
    EXPECT_EQ(Describe(stream), "[Top]x=1;=[[[Bad]]];z=9;");
    EXPECT_EQ(stream.trailingLines.Count(), 0u) << "the load of the main file did not stop";
    stream.readOnly = 1;
}

}  // namespace
