// Property: loading a file as an editable stream and destroying it twice
// gives the same bytes the second time as the first, for any file. The files
// are drawn at random (fixed seeds) from every line class of the format:
// headers of any depth (some invalid), items, continued values, comments,
// blank lines, include directives, overlong lines, CR LF ends and raw bytes.
//
// The included file ends at the outer level. An included file that ends
// inside a nested block is outside the property: its outer-level lines that
// follow the directive are read at the outer level the first time, but once
// the text is written in one file they follow the nested block and are read
// inside it, so the model itself changes with the first rewrite.
#include <random>

#include "tests/ini/access_fixture.h"

using ini_test::IniFiles;
using ini_test::ReadFile;

namespace {

class RandomIni {
public:
    explicit RandomIni(unsigned seed) : rng(seed) {}

    std::string File() {
        std::string text;
        int lines = Number(0, 40);
        for (int i = 0; i < lines; ++i) {
            text += Line();
            text += Chance(8) ? "\r\n" : "\n";
        }
        if (Chance(6) && !text.empty()) text.pop_back();  // no line end at the end
        return text;
    }

private:
    std::mt19937 rng;

    int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    bool Chance(int oneIn) { return Number(1, oneIn) == 1; }

    std::string From(const char* alphabet, int low, int high) {
        std::string s;
        int n = Number(low, high);
        size_t size = strlen(alphabet);
        for (int i = 0; i < n; ++i) s += alphabet[Number(0, int(size) - 1)];
        return s;
    }
    std::string Blanks() { return Chance(3) ? From(" \t", 1, 3) : ""; }
    std::string Bytes(int low, int high) {
        std::string s;
        int n = Number(low, high);
        for (int i = 0; i < n; ++i) {
            char c = char(Number(1, 255));
            s += c == '\n' ? ' ' : c;
        }
        return s;
    }
    std::string Value() {
        switch (Number(0, 3)) {
        case 0: return From("0123456789abcdefxX-+ ", 0, 12);
        case 1: return From("abc =@[].\\%#;$", 0, 20);
        case 2: return Bytes(0, 30);
        default: return "";
        }
    }

    std::string Line() {
        switch (Number(0, 12)) {
        case 0:
        case 1:
        case 2: {  // header, mostly of a plausible depth
            int depth = Chance(4) ? Number(0, 4) : Number(0, 1);
            std::string name = Chance(5) ? From("ab[% ", 0, 6) : From("ABCabc", 1, 3);
            std::string closing = Chance(6) ? "" : std::string(size_t(Number(1, 3)), ']');
            return Blanks() + std::string(size_t(depth + 1), '[') + name + closing + (Chance(5) ? " ; x" : "");
        }
        case 3:
        case 4:
        case 5:
        case 6: {  // item
            std::string name = From("abcXYZ_$", 1, 1) + From("abc09_ $", 0, 5);
            return Blanks() + name + Blanks() + "=" + Blanks() + Value();
        }
        case 7: return Blanks() + From(";#", 1, 1) + Value();
        case 8: return Chance(2) ? "" : Blanks();
        case 9: return Bytes(0, 40);
        case 10: return Chance(2) ? "#include part.ini" : "#include missing.ini";
        case 11: return Chance(4) ? std::string(8190 + size_t(Number(-2, 300)), Chance(2) ? 'k' : '=') : "$c = x \\";
        default: return "1digit=x";
        }
    }
};

class WriteBackProperty : public IniFiles {};

TEST_F(WriteBackProperty, SecondRewriteGivesTheSameBytesAsTheFirst) {
    ini_test::WriteFile(Path("part.ini"), "p=1\n[P]\n[[PP]]\nq=2\n[P2]\nr=3\n");
    for (unsigned seed = 1; seed <= 1000; ++seed) {
        RandomIni random(seed);
        std::string original = random.File();
        std::string once = Rewrite(original);
        std::string twice = Rewrite(once);
        ASSERT_EQ(twice, once) << "seed " << seed << ", original:\n" << original;
    }
}

}  // namespace
