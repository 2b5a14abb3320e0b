// Command-line splitting and quoting by Windows' rules.
#include "platform/host/cmdline.h"

namespace kit_host {

bool IsArgumentBlank(char c) { return c == ' ' || c == '\t'; }

std::string ProgramToken(const std::string& line, size_t* rest) {
    size_t i = 0;
    while (i < line.size() && IsArgumentBlank(line[i])) ++i;
    std::string token;
    if (i < line.size() && line[i] == '"') {
        size_t close = line.find('"', i + 1);
        if (close == std::string::npos) {
            token = line.substr(i + 1);
            *rest = line.size();
        } else {
            token = line.substr(i + 1, close - i - 1);
            *rest = close + 1;
        }
        return token;
    }
    size_t end = i;
    while (end < line.size() && !IsArgumentBlank(line[end])) ++end;
    *rest = end;
    return line.substr(i, end - i);
}

namespace {

// Reads the backslashes starting at text[*i] and what follows them into
// `current`; advances *i. Sets *toggle when an unescaped quote follows.
void ReadBackslashes(const std::string& text, size_t* i, std::string* current, bool* toggle) {
    size_t count = 0;
    while (*i < text.size() && text[*i] == '\\') {
        ++count;
        ++*i;
    }
    *toggle = false;
    if (*i < text.size() && text[*i] == '"') {
        current->append(count / 2, '\\');
        if (count % 2 == 1) {
            current->push_back('"');
            ++*i;
        } else {
            *toggle = true;  // the quote itself is handled by the caller
        }
    } else {
        current->append(count, '\\');
    }
}

}  // namespace

std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (!quoted && IsArgumentBlank(c)) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            bool toggle;
            ReadBackslashes(text, &i, &current, &toggle);
            if (!toggle) continue;
            c = '"';  // an unescaped quote follows at text[i]
        }
        if (c == '"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                current.push_back('"');
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current.push_back(c);
        ++i;
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
    size_t rest = 0;
    std::vector<std::string> arguments;
    arguments.push_back(ProgramToken(line, &rest));
    std::vector<std::string> others = SplitArguments(line.substr(rest));
    arguments.insert(arguments.end(), others.begin(), others.end());
    return arguments;
}

std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, '\\');
    quoted.push_back('"');
    return quoted;
}

std::string JoinArguments(int argc, const char* const* argv, int first) {
    std::string line;
    for (int i = first; i < argc; ++i) {
        if (i > first) line.push_back(' ');
        line += QuoteArgument(argv[i]);
    }
    return line;
}

}  // namespace kit_host
