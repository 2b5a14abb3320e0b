// Windows command-line rules on the host: splitting a command line into
// arguments, quoting arguments back into one, and the host main() that hands
// a GUI program its command line.
#include <gtest/gtest.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "platform/host/cmdline.h"
#include "test_support.h"

extern char** environ;

namespace {

using Args = std::vector<std::string>;

struct SplitCase {
    const char* text;
    Args expected;
    const char* rule;
};

const SplitCase kSplitCases[] = {
    {"", {}, "nothing"},
    {"  \t ", {}, "only blanks"},
    {"a b\tc", {"a", "b", "c"}, "blanks and tabs separate"},
    {"  a   b  ", {"a", "b"}, "runs of blanks count once"},
    {"\"a b\" c", {"a b", "c"}, "quotes group blanks"},
    {"a\"b c\"d", {"ab cd"}, "quotes inside an argument"},
    {"\"\"", {""}, "an empty quoted argument"},
    {"a \"\" b", {"a", "", "b"}, "an empty argument between others"},
    {"a\\b\\\\c", {"a\\b\\\\c"}, "backslashes without a quote are literal"},
    {"\\\"a", {"\"a"}, "one backslash escapes the quote"},
    {"\\\\\"a b\"", {"\\a b"}, "2 backslashes: one, and the quote opens"},
    {"\\\\\\\"a", {"\\\"a"}, "3 backslashes: one and a literal quote"},
    {"\\\\\\\\\"a\"", {"\\\\a"}, "4 backslashes: two, and the quote opens"},
    {"\"a\\\\\" b", {"a\\", "b"}, "2 backslashes before the closing quote"},
    {"\"C:\\Program Files\\\" x", {"C:\\Program Files\" x"}, "1 backslash before a would-be closing quote"},
    {"\"a\"\"b\" c", {"a\"b", "c"}, "two quotes inside quotes give one, quoting goes on"},
    {"\"a\"\"\" b", {"a\"", "b"}, "doubled quote then the closing quote"},
    {"\"unclosed arg", {"unclosed arg"}, "a quote left open runs to the end"},
    {"a\\", {"a\\"}, "trailing backslash"},
};

TEST(CommandLineSplit, FollowsWindowsRules) {
    for (const SplitCase& row : kSplitCases) {
        SCOPED_TRACE(row.rule);
        EXPECT_EQ(row.expected, kit_host::SplitArguments(row.text)) << "text: " << row.text;
    }
}

struct ProgramCase {
    const char* line;
    const char* program;
    Args arguments;
};

// The program name has its own rule: quotes without escapes, up to the
// closing quote; unquoted, up to the first blank.
const ProgramCase kProgramCases[] = {
    {"prog a b", "prog", {"a", "b"}},
    {"  prog", "prog", {}},
    {"\"C:\\Program Files\\a.exe\" -x", "C:\\Program Files\\a.exe", {"-x"}},
    {"\"C:\\dir\\\" x", "C:\\dir\\", {"x"}},
    {"C:\\dir\\a.exe \"q\\\"x\"", "C:\\dir\\a.exe", {"q\"x"}},
    {"\"unclosed name", "unclosed name", {}},
    {"", "", {}},
};

TEST(CommandLineSplit, ProgramNameRule) {
    for (const ProgramCase& row : kProgramCases) {
        SCOPED_TRACE(row.line);
        Args expected(1, row.program);
        expected.insert(expected.end(), row.arguments.begin(), row.arguments.end());
        EXPECT_EQ(expected, kit_host::SplitCommandLine(row.line));
    }
}

struct QuoteCase {
    const char* argument;
    const char* quoted;
};

const QuoteCase kQuoteCases[] = {
    {"plain", "plain"},
    {"", "\"\""},
    {"a b", "\"a b\""},
    {"tab\there", "\"tab\there\""},
    {"x\"y", "\"x\\\"y\""},
    {"back\\slash", "back\\slash"},
    {"dir\\ with blank\\", "\"dir\\ with blank\\\\\""},
    {"q\\\"", "\"q\\\\\\\"\""},
    {"line\nbreak", "\"line\nbreak\""},
};

TEST(CommandLineQuote, QuotesOnlyWhereNeededAndSplitsBack) {
    for (const QuoteCase& row : kQuoteCases) {
        SCOPED_TRACE(row.argument);
        EXPECT_EQ(row.quoted, kit_host::QuoteArgument(row.argument));
        EXPECT_EQ(Args(1, row.argument), kit_host::SplitArguments(kit_host::QuoteArgument(row.argument)));
    }
}

TEST(CommandLineQuote, JoinedArgumentsSplitBackIntoTheSameList) {
    const char* argv[] = {"prog", "a", "b c", "", "x\"y", "tail\\", "\\\\\"", "\"\"", "\t"};
    int argc = sizeof argv / sizeof argv[0];
    std::string line = kit_host::JoinArguments(argc, argv, 1);
    EXPECT_EQ(Args(argv + 1, argv + argc), kit_host::SplitArguments(line));
}

// Starts the WinMain probe with exactly these arguments and returns the
// command line its WinMain received.
std::string WinMainCommandLine(const Args& arguments, int* exitCode, int* showCommand) {
    TempDir dir;
    EnvGuard env;
    env.Set("PROBE_OUT", dir / "out");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(KIT_WINMAIN_PROBE));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, KIT_WINMAIN_PROBE, nullptr, nullptr, argv.data(), environ) != 0) return "<no start>";
    int status = 0;
    waitpid(pid, &status, 0);
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::string out = ReadFileOrEmpty(dir / "out");
    size_t newline = out.find('\n');
    *showCommand = atoi(out.substr(0, newline).c_str());
    return newline == std::string::npos ? "<no output>" : out.substr(newline + 1);
}

struct EntryCase {
    Args arguments;
    const char* commandLine;
};

const EntryCase kEntryCases[] = {
    {{}, ""},
    {{"a"}, "a"},
    {{"a", "b"}, "a b"},
    {{"with blank", "x"}, "\"with blank\" x"},
    {{""}, "\"\""},
    {{"say \"hi\""}, "\"say \\\"hi\\\"\""},
    {{"C:\\dir\\", "C:\\my dir\\"}, "C:\\dir\\ \"C:\\my dir\\\\\""},
    {{"/S", "/D=C:\\Program Files\\App"}, "/S \"/D=C:\\Program Files\\App\""},
};

TEST(HostEntry, WinMainReceivesTheArgumentsAsAWindowsCommandLine) {
    for (const EntryCase& row : kEntryCases) {
        SCOPED_TRACE(row.commandLine);
        int exitCode = -1;
        int show = 0;
        std::string line = WinMainCommandLine(row.arguments, &exitCode, &show);
        EXPECT_EQ(row.commandLine, line);
        EXPECT_EQ(row.arguments, kit_host::SplitArguments(line));
        EXPECT_EQ(5, show);  // SW_SHOW
        EXPECT_EQ(static_cast<int>(strlen(row.commandLine)), exitCode);  // WinMain's result is the exit code
    }
}

}  // namespace
