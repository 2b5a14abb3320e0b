// Editable streams keep every line that is not part of the model: the lines
// before the first header, directives that could not be followed, headers a
// nested stream rejected, and everything from an early stop of the load. A
// load and destruction without changes removes no line a person wrote, and a
// second round gives the same bytes as the first.
#include <gtest/gtest.h>

#include <string>

#include "reader_support.h"

namespace {

using reader_test::Describe;
using reader_test::KeptLines;
using reader_test::TempFolder;

TEST(ReaderEditable, LeadingLinesAreKeptVerbatim) {
    TempFolder folder;
    std::string path = folder.Write("a.ini", "; header comment\n\n  indented = 1\r\n\t#x\n[S]\na=1\n");
    INIStream stream(path.c_str(), 0);
    EXPECT_EQ(KeptLines(stream.leadingLines), "; header comment||  indented = 1|\\x09#x");
    EXPECT_EQ(Describe(stream), "[S]a=1;");
    EXPECT_EQ(stream.trailingLines.Count(), 0u);
    stream.readOnly = 1;
}

TEST(ReaderEditable, TrailingLinesFromAnEarlyStop) {
    TempFolder folder;
    std::string path = folder.Write("a.ini", "[S]\na=1\n  [[[Bad]]] tail\nrest = 1\n\n[T]\n#include x.ini\n");
    folder.Write("x.ini", "[X]\n");
    INIStream stream(path.c_str(), 0);
    EXPECT_EQ(Describe(stream), "[S]a=1;");
    EXPECT_EQ(KeptLines(stream.trailingLines), "  [[[Bad]]] tail|rest = 1||[T]|#include x.ini")
        << "verbatim: nothing after the stop is interpreted";
    stream.readOnly = 1;
}

TEST(ReaderEditable, ReadOnlyStreamsKeepNothingOutsideTheModel) {
    TempFolder folder;
    std::string path = folder.Write("a.ini", "; c\n#include none.ini\n[S]\n; n\n[[[Bad]]]\nx\n");
    INIStream stream(path.c_str(), 1);
    EXPECT_EQ(stream.leadingLines.Count(), 0u);
    EXPECT_EQ(stream.trailingLines.Count(), 0u);
    EXPECT_EQ(Describe(stream), "[S]");
}

TEST(ReaderEditable, LongKeptLinesStayWhole) {
    // The reader cuts lines at 8190 characters; a kept leading or trailing
    // line is put back together, so it is written as it was read.
    TempFolder folder;
    std::string longLead = "; " + std::string(9000, 'l');
    std::string longTail = std::string(20000, 't');
    std::string path = folder.Write("a.ini", longLead + "\n[S]\n[[[Bad]]]\n" + longTail + "\nend\n");
    INIStream stream(path.c_str(), 0);
    ASSERT_EQ(stream.leadingLines.Count(), 1u);
    EXPECT_EQ(std::string(static_cast<const Istr*>(stream.leadingLines.At(0))->text), longLead);
    ASSERT_EQ(stream.trailingLines.Count(), 3u);
    EXPECT_EQ(std::string(static_cast<const Istr*>(stream.trailingLines.At(1))->text), longTail);
    EXPECT_STREQ(static_cast<const Istr*>(stream.trailingLines.At(2))->text, "end");
    stream.readOnly = 1;
}

// The bytes a text-mode write of `text` gives: CR LF line ends on Windows.
std::string TextModeBytes(const std::string& text) {
#ifdef _WIN32
    std::string bytes;
    for (char c : text) {
        bytes += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return bytes;
#else
    return text;
#endif
}

// One load and destruction of an editable stream; returns the file after it.
std::string Rewrite(const TempFolder& folder, const std::string& name) {
    {
        INIStream stream(folder.Path(name).c_str(), 0);
    }
    return folder.Read(name);
}

TEST(ReaderEditable, RewritingLosesNoLineAndSettlesAfterOneRound) {
    TempFolder folder;
    folder.Write("a.ini",
                 "; leading comment\n"
                 "  \n"
                 "#include missing.ini\n"
                 "[S]\n"
                 "a = 1\n"
                 "  ; note\n"
                 "#include gone.ini\n"
                 "\n"
                 "[T]\n"
                 "[[Sub]]\n"
                 "x=1\n"
                 "[[[[Bad]]]]\n"
                 "b=2\n"
                 "[[[Deep]]]\n"
                 "tail line\n");
    // Blanks at the start of a line inside a section and around = go, and
    // an empty line comes before a nested block that follows an item; every
    // other line stays where it was.
    const std::string expected =
        "; leading comment\n"
        "  \n"
        "#include missing.ini\n"
        "[S]\n"
        "a=1\n"
        "; note\n"
        "#include gone.ini\n"
        "\n"
        "[T]\n"
        "b=2\n"
        "\n"
        "[[Sub]]\n"
        "x=1\n"
        "[[[[Bad]]]]\n"
        "[[[Deep]]]\n"
        "tail line\n";
    std::string first = Rewrite(folder, "a.ini");
    EXPECT_EQ(first, TextModeBytes(expected));
    EXPECT_EQ(Rewrite(folder, "a.ini"), first);
}

TEST(ReaderEditable, RewritingAFileWithoutHeaders) {
    TempFolder folder;
    folder.Write("a.ini", "just=text\n; and a comment\n");
    std::string first = Rewrite(folder, "a.ini");
    EXPECT_EQ(first, TextModeBytes("just=text\n; and a comment\n"));
    EXPECT_EQ(Rewrite(folder, "a.ini"), first);
}

}  // namespace
