// Windows command-line text on the host: splitting a command line into
// arguments as CommandLineToArgvW does, and the inverse quoting that the
// host main() uses to rebuild a command line from argv.
#ifndef PLATFORM_HOST_CMDLINE_H
#define PLATFORM_HOST_CMDLINE_H

#include <stddef.h>

#include <string>
#include <vector>

namespace kit_host {

// Blanks between arguments: space and tab.
bool IsArgumentBlank(char c);

// The program token at the start of `line` by the program-name rule: leading
// blanks skipped; a token that begins with a double quote runs to the next
// double quote (no escapes) and the quotes are dropped; otherwise it runs to
// the next blank. *rest receives the offset just behind the token (behind the
// closing quote, if any).
std::string ProgramToken(const std::string& line, size_t* rest);

// Splits argument text (no program name) by the quoting rules:
// - arguments are separated by runs of blanks outside double quotes;
// - 2n backslashes before a double quote give n backslashes, and the quote
//   opens or closes a quoted part; 2n+1 backslashes before a double quote
//   give n backslashes and a literal quote;
// - inside a quoted part, two double quotes in a row give one literal quote
//   and the quoted part goes on;
// - backslashes not followed by a double quote are literal.
std::vector<std::string> SplitArguments(const std::string& text);

// A whole command line: the program token, then SplitArguments of the rest.
std::vector<std::string> SplitCommandLine(const std::string& line);

// One argument as command-line text that SplitArguments turns back into it:
// unchanged when it is not empty and holds no blank, tab, newline, vertical
// tab or double quote; otherwise quoted, with each quote escaped and the
// backslashes before a quote or the closing quote doubled.
std::string QuoteArgument(const std::string& argument);

// argv[first..argc-1] quoted and joined by single blanks.
std::string JoinArguments(int argc, const char* const* argv, int first);

}  // namespace kit_host

#endif
