// The stream on a file: construction, the two modes and their indexes, line
// ends and long lines, and the line-reading helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "reader_support.h"

namespace {

using reader_test::Describe;
using reader_test::Load;
using reader_test::RecordingListener;
using reader_test::TempFolder;

TEST(ReaderStream, MissingFileGivesAnEmptyStream) {
    TempFolder folder;
    for (unsigned char readOnly = 0; readOnly <= 1; ++readOnly) {
        std::string path = folder.Path("missing.ini");
        INIStream stream(path.c_str(), readOnly);
        EXPECT_EQ(stream.opened, 0);
        EXPECT_EQ(stream.depth, 0);
        EXPECT_EQ(stream.readOnly, readOnly);
        EXPECT_EQ(stream.numberFormat, 1);
        EXPECT_EQ(stream.sectionList.Count(), 0u);
        EXPECT_STREQ(stream.currentSection, "Undefined");
        EXPECT_STREQ(stream.fileName, path.c_str());
        stream.readOnly = 1;
    }
}

TEST(ReaderStream, ConstructedOnAFile) {
    TempFolder folder;
    std::string path = folder.Write("a.ini", "[S]\na=1\n");
    INIStream stream(path.c_str(), 1);
    EXPECT_EQ(stream.opened, 1);
    EXPECT_STREQ(stream.fileName, path.c_str());
    EXPECT_STREQ(stream.currentSection, "Undefined");
    EXPECT_EQ(stream.sectionStack.Count(), 0u);
    EXPECT_EQ(stream.sectionStack.flags, 0u);
    EXPECT_EQ(stream.sectionStack.delta, 2u);
    EXPECT_EQ(stream.sectionList.flags, 0u);
    EXPECT_EQ(stream.sectionList.delta, 16u);
    EXPECT_EQ(stream.sectionIndex.flags, uint32_t(SC_NODELETE));
    EXPECT_EQ(stream.sectionIndex.delta, 16u);
    EXPECT_EQ(Describe(stream), "[S]a=1;");
}

TEST(ReaderStream, APathThatDoesNotFitNamesNoFile) {
    // Longer than 259 characters: not cut (that would name another file), so
    // the stream is empty, and an editable one writes nothing anywhere.
    TempFolder folder;
    std::string dir = folder.Directory();
    std::string fits = dir + std::string(259 - dir.size() - 4, 'f') + ".ini";
    ASSERT_EQ(fits.size(), 259u);
    folder.Write(fits.substr(dir.size()), "[S]\na=1\n");
    {
        INIStream stream(fits.c_str(), 1);
        EXPECT_EQ(stream.opened, 1) << "259 characters fit";
        EXPECT_EQ(Describe(stream), "[S]a=1;");
    }
    std::string tooLong = fits + "x";  // its first 259 characters name the file above
    {
        INIStream stream(tooLong.c_str(), 0);
        EXPECT_EQ(stream.opened, 0);
        EXPECT_EQ(stream.sectionList.Count(), 0u);
        EXPECT_STREQ(stream.fileName, "");
    }  // editable: destroyed without a file to write
    EXPECT_EQ(folder.Read(fits.substr(dir.size())), "[S]\na=1\n") << "the file of the cut name is untouched";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(ReaderStream, ReadOnlyIndexesEveryItem) {
    TempFolder folder;
    std::string path = folder.Write("a.ini", "[S]\nb=1\n; c\na=2\nb=3\n[T]\n");
    for (unsigned char readOnly = 0; readOnly <= 1; ++readOnly) {
        INIStream stream(path.c_str(), readOnly);
        const SectionItem* s = static_cast<const SectionItem*>(stream.sectionList.At(0));
        EXPECT_EQ(s->itemList.Count(), readOnly ? 3u : 4u);
        EXPECT_EQ(s->itemIndex.Count(), readOnly ? 3u : 0u);
        for (uint32_t i = 0; i < s->itemIndex.Count(); ++i) {
            EXPECT_GE(s->itemList.IndexOfPointer(s->itemIndex.At(i)), 0) << "the index holds the list's items";
        }
        stream.readOnly = 1;
    }
}

// A file of n sections S0..S(n-1).
std::string Sections(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    }
    return text;
}

TEST(ReaderStream, SectionIndexOnlyForMoreThanEightSectionsWhenReadOnly) {
    TempFolder folder;
    struct {
        int sections;
        unsigned char readOnly;
        uint32_t indexed;
    } cases[] = {
        {8, 1, 0},   // eight: no index
        {9, 1, 9},   // nine: every section, in order
        {9, 0, 0},   // editable: never
        {40, 1, 40},
    };
    for (const auto& c : cases) {
        std::string path = folder.Write("a.ini", Sections(c.sections));
        INIStream stream(path.c_str(), c.readOnly);
        ASSERT_EQ(stream.sectionIndex.Count(), c.indexed) << c.sections;
        for (uint32_t i = 0; i < c.indexed; ++i) {
            EXPECT_EQ(stream.sectionIndex.At(i), stream.sectionList.At(i));
        }
        stream.readOnly = 1;
    }
}

TEST(ReaderStream, NestedStreamsHaveTheirOwnSectionIndex) {
    TempFolder folder;
    std::string text = "[Top]\n";
    for (int i = 0; i < 9; ++i) {
        text += "[[N" + std::to_string(i) + "]]\n";
    }
    std::string path = folder.Write("a.ini", text);
    INIStream stream(path.c_str(), 1);
    EXPECT_EQ(stream.sectionIndex.Count(), 0u);
    const INIStream* nested = static_cast<const SectionItem*>(stream.sectionList.At(0))->nestedStream;
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->sectionIndex.Count(), 9u);
}

struct LineEndCase {
    const char* what;
    const char* text;
    const char* readOnly;
    const char* editable;
};

// The same model on every platform: the CR of a CR LF pair goes, a lone CR
// stays a character of its line.
const LineEndCase kLineEndCases[] = {
    {"CR LF ends a line like LF", "[S]\r\na=1\r\nb=2\r\n", "[S]a=1;b=2;", "[S]a=1;b=2;"},
    {"mixed line ends", "[S]\na=1\r\nb=2\n", "[S]a=1;b=2;", "[S]a=1;b=2;"},
    {"a lone CR inside a line stays", "[S]\r\nc=y\rz\r\n", "[S]c=y\\x0Dz;", "[S]c=y\\x0Dz;"},
    {"only the CR next to the LF goes", "[S]\r\nd=v\r\r\n", "[S]d=v\\x0D;", "[S]d=v\\x0D;"},
    {"a CR LF empty line is an empty kept line", "[S]\r\n\r\na=1\r\n", "[S]a=1;", "[S]=;a=1;"},
    {"continued values over CR LF lines", "[S]\r\n$k=a \\\r\n b\r\n", "[S]k=a  b;", "[S]$k=a \\;=b;"},
    {"a header name up to the CR of its line end", "[S\r\na=1\r\n", "[S]a=1;", "[S]a=1;"},
};

TEST(ReaderStream, LineEnds) {
    TempFolder folder;
    for (const LineEndCase& c : kLineEndCases) {
        EXPECT_EQ(Load(folder, c.text, 1), c.readOnly) << "read-only: " << c.what;
        EXPECT_EQ(Load(folder, c.text, 0), c.editable) << "editable: " << c.what;
    }
}

TEST(ReaderStream, LongLinesAreSplitAt8190Characters) {
    TempFolder folder;
    struct {
        const char* what;
        size_t length;      // characters of the physical line "k=xxx..."
        const char* ending;
        unsigned pieces;    // lines the reader makes of it
    } cases[] = {
        {"9000 characters: 8190 and 810", 9000, "\n", 2},
        {"exactly 8190 with LF: one line", 8190, "\n", 1},
        {"exactly 8190 with CR LF: one line", 8190, "\r\n", 1},
        {"8189 with CR LF: the pair falls on the cut", 8189, "\r\n", 1},
        {"8191: 8190 and 1", 8191, "\n", 2},
        {"exactly 8190 at the end of the file", 8190, "", 1},
        {"20000: three lines", 20000, "\n", 3},
    };
    for (const auto& c : cases) {
        std::string line = "k=" + std::string(c.length - 2, 'x');
        bool atEnd = *c.ending == 0;
        std::string path = folder.Write("long.ini", "[S]\n" + line + c.ending + (atEnd ? "" : "e=1\n"));
        INIStream stream(path.c_str(), 0);
        const SectionItem* s = static_cast<const SectionItem*>(stream.sectionList.At(0));
        ASSERT_EQ(s->itemList.Count(), c.pieces + (atEnd ? 0 : 1)) << c.what;
        std::string joined;
        for (unsigned i = 0; i < c.pieces; ++i) {
            const INIItem* item = s->itemList.At(i);
            std::string piece = std::string(item->Name()) + (i == 0 ? "=" : "") + item->GetValue();
            EXPECT_EQ(piece.size(), std::min<size_t>(8190, c.length - i * 8190)) << c.what << " piece " << i;
            joined += piece;
        }
        EXPECT_EQ(joined, line) << c.what;
        if (!atEnd) {
            EXPECT_STREQ(s->itemList.At(c.pieces)->Name(), "e") << c.what;
        }
        stream.readOnly = 1;
    }
}

TEST(ReaderStream, ReadLineAndStringEnd) {
    TempFolder folder;
    std::string path = folder.Write("lines.txt", "first\nsecond line\r\n\nlast");
    FILE* f = fopen(path.c_str(), "rt");
    ASSERT_NE(f, nullptr);
    char buffer[64];
    EXPECT_EQ(INIStream::ReadLine(f, 64, buffer), buffer);
    EXPECT_STREQ(buffer, "first");
    EXPECT_EQ(INIStream::ReadLine(f, 8, buffer), buffer);
    EXPECT_STREQ(buffer, "second ") << "at most n - 1 characters";
    EXPECT_EQ(INIStream::ReadLine(f, 64, buffer), buffer);
    EXPECT_STREQ(buffer, "line");
    EXPECT_EQ(INIStream::ReadLine(f, 64, buffer), buffer);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(INIStream::ReadLine(f, 64, buffer), buffer);
    EXPECT_STREQ(buffer, "last");
    EXPECT_EQ(INIStream::ReadLine(f, 64, buffer), nullptr) << "end of file";
    fclose(f);
    char text[] = "abc";
    EXPECT_EQ(INIStream::StringEnd(text), text + 3);
    EXPECT_EQ(*INIStream::StringEnd(text), 0);
}

TEST(ReaderStream, ReadOnAnOpenFile) {
    // Read loads from a file already opened and, on a stream of depth 0,
    // closes it; the stream on a missing name is the empty start.
    TempFolder folder;
    std::string path = folder.Write("a.ini", "[S]\n$a=1\nr=@[S].a\n");
    INIStream stream(folder.Path("none.ini").c_str(), 1);
    FILE* f = fopen(path.c_str(), "rt");
    ASSERT_NE(f, nullptr);
    stream.Read(f);
    EXPECT_EQ(Describe(stream), "[S]a=1;r=1;");
}

}  // namespace
