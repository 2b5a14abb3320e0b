// Nested sections: which stream a header belongs to, how a nested stream
// ends, invalid nesting and its report, and a second run of deeper headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "reader_support.h"

namespace {

using reader_test::Describe;
using reader_test::KeptLines;
using reader_test::Load;
using reader_test::RecordingListener;
using reader_test::TempFolder;

struct NestingCase {
    const char* what;
    const char* text;
    const char* readOnly;     // model when loaded read-only
    const char* editable;     // model when loaded editable
    const char* invalidLine;  // the line reported as invalid nesting, or null
};

const NestingCase kNestingCases[] = {
    {"a deeper header opens the last section's nested stream; a shallower one ends it",
     "[Top]\n[[Sub]]\na=1\n[Next]\nb=2\n", "[Top]{[Sub]a=1;}[Next]b=2;", "[Top]{[Sub]a=1;}[Next]b=2;", nullptr},
    {"consecutive deeper sections share one nested stream",
     "[Top]\nt=0\n[[A]]\na=1\n[[B]]\nb=1\n", "[Top]t=0;{[A]a=1;[B]b=1;}", "[Top]t=0;{[A]a=1;[B]b=1;}", nullptr},
    {"three levels, and a header two levels shallower ends two streams",
     "[A]\n[[B]]\n[[[C]]]\nc=1\n[[D]]\nd=1\n[[[E]]]\n[F]\nf=1\n",
     "[A]{[B]{[C]c=1;}[D]d=1;{[E]}}[F]f=1;", "[A]{[B]{[C]c=1;}[D]d=1;{[E]}}[F]f=1;", nullptr},
    {"a depth-1 header before any section: reported, nothing after it is read",
     "x=0\n[[Sub]]\n[A]\na=1\n", "", "", "[[Sub]]"},
    {"a jump of two levels at depth 0: reported, nothing after it is read",
     "[Top]\na=1\n  [[[Deep]]] tail\n[Next]\nb=2\n", "[Top]a=1;", "[Top]a=1;", "  [[[Deep]]] tail"},
    {"an invalid line inside a nested stream ends only that stream (editable: kept there)",
     "[Top]\n[[Sub]]\na=1\n[[[[X]]]]\nb=2\n[Next]\nc=3\n", "[Top]b=2;{[Sub]a=1;}[Next]c=3;",
     "[Top]b=2;{[Sub]a=1;=[[[[X]]]];}[Next]c=3;", "[[[[X]]]]"},
    {"after an invalid line, deeper headers under the same section join its nested stream",
     "[Top]\n[[A]]\na=1\n[[[[X]]]]\n[[B]]\nb=1\n", "[Top]{[A]a=1;[B]b=1;}",
     "[Top]{[A]a=1;=[[[[X]]]];[B]b=1;}", "[[[[X]]]]"},
    {"the second run reaches into deeper levels of the first",
     "[T]\n[[A]]\n[[[A1]]]\nx=1\n[[[[[Bad]]]]]\n[[[A2]]]\ny=1\n", "[T]{[A]{[A1]x=1;[A2]y=1;}}",
     "[T]{[A]{[A1]x=1;=[[[[[Bad]]]]];[A2]y=1;}}", "[[[[[Bad]]]]]"},
};

TEST(ReaderNesting, Table) {
    TempFolder folder;
    for (const NestingCase& c : kNestingCases) {
        for (unsigned char readOnly = 0; readOnly <= 1; ++readOnly) {
            std::string path = folder.Write("nest.ini", c.text);
            RecordingListener listener;
            INIStream stream(path.c_str(), readOnly);
            stream.readOnly = 1;
            EXPECT_EQ(Describe(stream), readOnly ? c.readOnly : c.editable) << c.what;
            if (c.invalidLine == nullptr) {
                EXPECT_TRUE(listener.reports().empty()) << c.what;
                continue;
            }
            ASSERT_EQ(listener.reports().size(), 1u) << c.what;
            const reader_test::Report& r = listener.reports()[0];
            EXPECT_EQ(r.hook, "ReportMessage") << c.what;
            EXPECT_EQ(r.tag, "sf") << c.what;
            EXPECT_EQ(r.format, "INIStream('%s'): invalid section nesting %s") << c.what;
            EXPECT_EQ(r.text, "INIStream('" + path + "'): invalid section nesting " + c.invalidLine) << c.what;
        }
    }
}

TEST(ReaderNesting, InvalidNestingIsReportedWithDiagnosticsOff) {
    TempFolder folder;
    std::string path = folder.Write("nest.ini", "[Top]\n[[[Deep]]]\n");
    RecordingListener listener(0);
    INIStream stream(path.c_str(), 1);
    EXPECT_EQ(listener.reports().size(), 1u);
}

TEST(ReaderNesting, NestedStreamsTakeTheParentsSettings) {
    TempFolder folder;
    std::string path = folder.Write("nest.ini", "[Top]\n[[Sub]]\n[[[Deeper]]]\na=1\n");
    for (unsigned char readOnly = 0; readOnly <= 1; ++readOnly) {
        INIStream stream(path.c_str(), readOnly);
        const SectionItem* top = static_cast<const SectionItem*>(stream.sectionList.At(0));
        ASSERT_NE(top->nestedStream, nullptr);
        const INIStream* sub = top->nestedStream;
        const INIStream* deeper = static_cast<const SectionItem*>(sub->sectionList.At(0))->nestedStream;
        ASSERT_NE(deeper, nullptr);
        EXPECT_EQ(sub->depth, 1);
        EXPECT_EQ(deeper->depth, 2);
        for (const INIStream* nested : {sub, deeper}) {
            EXPECT_EQ(nested->readOnly, readOnly);
            EXPECT_EQ(nested->opened, 1);
            EXPECT_EQ(nested->numberFormat, 1);
            EXPECT_STREQ(nested->fileName, path.c_str());
            EXPECT_STREQ(nested->currentSection, "Undefined");
            EXPECT_EQ(nested->sectionStack.Count(), 0u);
        }
        stream.readOnly = 1;
    }
}

// Builds a file with one section at each depth 0..levels-1.
std::string Staircase(int levels) {
    std::string text;
    for (int d = 0; d < levels; ++d) {
        text += std::string(size_t(d) + 1, '[') + "L" + std::to_string(d) + std::string(size_t(d) + 1, ']') + "\n";
    }
    return text + "x=1\n";
}

int DeepestDepth(const INIStream* stream) {
    int deepest = stream->depth;
    for (uint32_t i = 0; i < stream->sectionList.Count(); ++i) {
        const INIStream* nested = static_cast<const SectionItem*>(stream->sectionList.At(i))->nestedStream;
        if (nested != nullptr) {
            deepest = std::max(deepest, DeepestDepth(nested));
        }
    }
    return deepest;
}

TEST(ReaderNesting, NestingStopsAtTheDeepestRecordableDepth) {
    // depth is 8 bits: a stream of depth 255 cannot have a nested stream, so
    // a header with 257 brackets is an invalid nesting there.
    TempFolder folder;
    std::string path = folder.Write("deep.ini", Staircase(256));
    {
        RecordingListener listener;
        INIStream stream(path.c_str(), 1);
        EXPECT_EQ(DeepestDepth(&stream), 255);
        EXPECT_TRUE(listener.reports().empty());
    }
    path = folder.Write("deep.ini", Staircase(257));
    RecordingListener listener;
    INIStream stream(path.c_str(), 1);
    EXPECT_EQ(DeepestDepth(&stream), 255);
    ASSERT_EQ(listener.reports().size(), 1u);
    EXPECT_NE(listener.reports()[0].text.find("invalid section nesting [[[["), std::string::npos);
}

TEST(ReaderNesting, EditableStreamKeepsWhatFollowsAnEarlyStop) {
    TempFolder folder;
    std::string path = folder.Write("stop.ini", "; c\n[[Sub]]\nx=1\n");
    INIStream stream(path.c_str(), 0);
    EXPECT_EQ(Describe(stream), "");
    EXPECT_EQ(KeptLines(stream.leadingLines), "; c");
    EXPECT_EQ(KeptLines(stream.trailingLines), "[[Sub]]|x=1");
    stream.readOnly = 1;
}

}  // namespace
