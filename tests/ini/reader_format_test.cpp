// The INI text format as the reader takes it, in both modes: line classes,
// headers, items, continued values, duplicates and the reader's reports.
#include <gtest/gtest.h>

#include <string>

#include "reader_support.h"

namespace {

using reader_test::Describe;
using reader_test::Load;
using reader_test::RecordingListener;
using reader_test::TempFolder;

struct FormatCase {
    const char* what;
    const char* text;
    const char* readOnly;  // model when loaded read-only
    const char* editable;  // model when loaded editable
};

// Each row: one small file and the model it must give in each mode.
const FormatCase kFormatCases[] = {
    {"an item before the first header is ignored in both modes",
     "key=value\n[S]\na=1\n", "[S]a=1;", "[S]a=1;"},
    {"blanks around the name and after = go, trailing blanks of the value stay",
     "[S]\n  Key  =  some value  \n", "[S]Key=some value  ;", "[S]Key=some value  ;"},
    {"blanks inside a name stay; tabs are blanks",
     "[S]\n\ta b\t= c\n", "[S]a b=c;", "[S]a b=c;"},
    {"further = belong to the value",
     "[S]\nkey==x\nk=a=b\n", "[S]key==x;k=a=b;", "[S]key==x;k=a=b;"},
    {"a line beginning with a digit or = is a non-item line",
     "[S]\n1key=x\n=x\n", "[S]", "[S]=1key=x;==x;"},
    {"_ and $ begin item names; $ stays in the name only when editable",
     "[S]\n_k=1\n$k=2\n", "[S]_k=1;k=2;", "[S]_k=1;$k=2;"},
    {"$ alone gives the empty name when read-only",
     "[S]\n$=x\n", "[S]=x;", "[S]$=x;"},
    {"a letter line without = is a non-item line",
     "[S]\nword\n", "[S]", "[S]=word;"},
    {"blank lines and comments are kept, from their first non-blank, when editable",
     "[S]\n\n;note\n   # indented\na=1\n", "[S]a=1;", "[S]=;=;note;=# indented;a=1;"},
    {"blanks inside a header name stay",
     "[ Name ]\n", "[ Name ]", "[ Name ]"},
    {"text after the ] is ignored, and so is the number of ]",
     "[Name] ; note\n[Two]]]x\n", "[Name][Two]", "[Name][Two]"},
    {"a header without ] runs to the end of the line; [] is the empty name",
     "[Name\n[]\na=1\n", "[Name][]a=1;", "[Name][]a=1;"},
    {"blanks before a header are skipped",
     "  \t[S]\na=1\n", "[S]a=1;", "[S]a=1;"},
    {"brackets in a header name are stored as bytes 16 and 17",
     "[a[b]\n[x]y]\n", "[a\\x10b][x]", "[a\\x10b][x]"},
    {"two sections of one name are both kept",
     "[S]\na=1\n[S]\na=2\n", "[S]a=1;[S]a=2;", "[S]a=1;[S]a=2;"},
    {"two items of one name are both kept",
     "[S]\na=1\na=2\n", "[S]a=1;a=2;", "[S]a=1;a=2;"},
    {"values and names are case-sensitive and kept as written",
     "[S]\nKey=Value\nkey=value\n", "[S]Key=Value;key=value;", "[S]Key=Value;key=value;"},
    {"an empty value",
     "[S]\nempty=\nblank=   \n", "[S]empty=;blank=;", "[S]empty=;blank=;"},
    {"a last line without line end",
     "[S]\na=1", "[S]a=1;", "[S]a=1;"},
    {"an empty file", "", "", ""},
    {"only lines before any header", "; a\nb=1\n", "", ""},
    {"bytes above 127 in names and values",
     "[\xC0\xFF]\n\xE0=\x80\x81\n", "[\\xC0\\xFF]", "[\\xC0\\xFF]=\\xE0=\\x80\\x81;"},
};

TEST(ReaderFormat, LineClassesInBothModes) {
    TempFolder folder;
    for (const FormatCase& c : kFormatCases) {
        EXPECT_EQ(Load(folder, c.text, 1), c.readOnly) << "read-only: " << c.what;
        EXPECT_EQ(Load(folder, c.text, 0), c.editable) << "editable: " << c.what;
    }
}

// Continued values: read-only only.
const FormatCase kContinuationCases[] = {
    {"the blank before the backslash and the next line's leading blanks stay",
     "[S]\n$list = a, \\\n  b\n", "[S]list=a,   b;", "[S]$list=a, \\;=b;"},
    {"a backslash on the last line of the file: the value ends before it",
     "[S]\n$k = x \\", "[S]k=x ;", "[S]$k=x \\;"},
    {"a backslash on the last line, with a line end",
     "[S]\n$k = x \\\n", "[S]k=x ;", "[S]$k=x \\;"},
    {"several continued lines; blanks after a backslash go",
     "[S]\n$k=a\\  \nb\\\t\nc\nn=1\n", "[S]k=abc;n=1;", "[S]$k=a\\  ;=b\\\\x09;=c;n=1;"},
    {"an empty line ends the value",
     "[S]\n$k=a\\\n\nb=2\n", "[S]k=a;b=2;", "[S]$k=a\\;=;b=2;"},
    {"a blank line ends the value and stays in it",
     "[S]\n$k=a\\\n   \nb=2\n", "[S]k=a   ;b=2;", "[S]$k=a\\;=;b=2;"},
    {"a value that is only a backslash continues",
     "[S]\n$k=\\\nnext\n", "[S]k=next;", "[S]$k=\\;=next;"},
    {"an empty value does not continue",
     "[S]\n$k=  \n\\\n", "[S]k=;", "[S]$k=;=\\;"},
    {"the next line is taken verbatim, a header too",
     "[S]\n$k=a\\\n[T]\nb=1\n", "[S]k=a[T];b=1;", "[S]$k=a\\;[T]b=1;"},
    {"names without $ do not continue",
     "[S]\nk=a \\\nb=1\n", "[S]k=a \\;b=1;", "[S]k=a \\;b=1;"},
};

TEST(ReaderFormat, ContinuedValues) {
    TempFolder folder;
    for (const FormatCase& c : kContinuationCases) {
        EXPECT_EQ(Load(folder, c.text, 1), c.readOnly) << "read-only: " << c.what;
        EXPECT_EQ(Load(folder, c.text, 0), c.editable) << "editable: " << c.what;
    }
}

TEST(ReaderFormat, ContinuationStopsAtTheLineLimit) {
    // The joined text holds at most 8190 characters counted from the line's
    // start; the rest of the continued line is read as the next line.
    TempFolder folder;
    std::string first = "$k=" + std::string(8000, 'a') + "\\";
    std::string second = std::string(300, 'b') + "=x";
    std::string model = Load(folder, "[S]\n" + first + "\n" + second + "\n", 1);
    // 8190 - 8003 = 187 characters of the second line fit.
    std::string expectedValue = std::string(8000, 'a') + std::string(187, 'b');
    // The remaining 113 b's and "=x" form an item line of their own.
    EXPECT_EQ(model, "[S]k=" + expectedValue + ";" + std::string(113, 'b') + "=x;");
}

TEST(ReaderFormat, DuplicatesAreReportedOnlyWithDiagnosticsOn) {
    TempFolder folder;
    std::string path = folder.Write("dup.ini", "[S]\n$a=1\n$a=2\n[a[b]\n[a[b]\nx=1\n[S]\n");
    {
        RecordingListener listener(0);
        INIStream stream(path.c_str(), 1);
        EXPECT_TRUE(listener.reports().empty());
        EXPECT_EQ(Describe(stream), "[S]a=1;a=2;[a\\x10b][a\\x10b]x=1;[S]");
    }
    RecordingListener listener(1);
    INIStream stream(path.c_str(), 1);
    ASSERT_EQ(listener.reports().size(), 3u);
    const reader_test::Report& item = listener.reports()[0];
    EXPECT_EQ(item.hook, "ReportMessage");
    EXPECT_EQ(item.tag, "sf");
    EXPECT_EQ(item.format, "INIStream('%s'): duplicate record '%s' in section [%s]");
    EXPECT_EQ(item.text, "INIStream('" + path + "'): duplicate record 'a' in section [S]");
    // A section's name as written in the file, not encoded.
    EXPECT_EQ(listener.reports()[1].format, "INIStream('%s'): duplicate section [%s]");
    EXPECT_EQ(listener.reports()[1].text, "INIStream('" + path + "'): duplicate section [a[b]");
    EXPECT_EQ(listener.reports()[2].text, "INIStream('" + path + "'): duplicate section [S]");
}

TEST(ReaderFormat, DuplicateRecordNamesTheEncodedSection) {
    TempFolder folder;
    std::string path = folder.Write("dup.ini", "[a[b]\nk=1\nk=2\n");
    RecordingListener listener(1);
    INIStream stream(path.c_str(), 0);
    stream.readOnly = 1;
    ASSERT_EQ(listener.reports().size(), 1u);
    EXPECT_EQ(listener.reports()[0].text, "INIStream('" + path + "'): duplicate record 'k' in section [a\x10" "b]");
}

TEST(ReaderFormat, LongNamesAreKeptWhole) {
    TempFolder folder;
    std::string section(100, 's');
    std::string item(200, 'k');
    std::string model = Load(folder, "[" + section + "]\n" + item + "=v\n" + item + "x=w\n", 1);
    EXPECT_EQ(model, "[" + section + "]" + item + "=v;" + item + "x=w;");
}

}  // namespace
