// The seeded corpus generator. Names are unique within their section (and
// section names within the file) regardless of letter case, so that every
// method, case-sensitive or not, holds the same number of items. Values have
// no blanks at either end and none of the characters that a peer reads as a
// comment or a quote, so every method reads the same texts.
#include <stdio.h>
#include <string.h>
#include <unordered_set>
#include "bench/bench.h"

uint64_t BenchRng::Next()
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t BenchRng::Below(uint32_t n)
{
    return (uint32_t)(((Next() >> 32) * n) >> 32);
}

namespace {

const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char kNameChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
const char kValueChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:/-_";

char Pick(BenchRng& rng, const char* set, size_t setLength)
{
    return set[rng.Below((uint32_t)setLength)];
}

// A name of 4-20 characters: a letter, then letters, digits and '_'.
std::string RandomName(BenchRng& rng)
{
    uint32_t length = rng.Range(4, 20);
    std::string name(1, Pick(rng, kLetters, sizeof kLetters - 1));
    while (name.size() < length)
        name += Pick(rng, kNameChars, sizeof kNameChars - 1);
    return name;
}

std::string Lowered(const std::string& text)
{
    std::string low(text);
    for (char& c : low)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return low;
}

// A name not yet in `taken` (compared without letter case); adds it there.
std::string UniqueName(BenchRng& rng, std::unordered_set<std::string>& taken)
{
    for (;;) {
        std::string name = RandomName(rng);
        if (taken.insert(Lowered(name)).second)
            return name;
    }
}

// A text of `length` value characters without blanks at either end.
std::string RandomText(BenchRng& rng, uint32_t length)
{
    std::string text;
    for (uint32_t i = 0; i < length; ++i)
        text += Pick(rng, kValueChars, sizeof kValueChars - 1);
    if (!text.empty() && text.front() == ' ')
        text.front() = 'x';
    if (!text.empty() && text.back() == ' ')
        text.back() = 'y';
    return text;
}

// A value of 0-60 characters, a third of them under 8.
std::string RandomValue(BenchRng& rng)
{
    uint32_t length = rng.Below(3) == 0 ? rng.Range(0, 7) : rng.Range(8, 60);
    return RandomText(rng, length);
}

// Where references may point: one item of every section written so far.
struct RefTarget {
    std::string section;
    std::string item;
};

// A value holding one reference: to an item of an earlier section, to the
// own section's name, to the item itself, or to an earlier item of the same
// section. Text after an item-name reference starts with '/', which ends
// the name.
std::string ReferenceValue(BenchRng& rng, const std::vector<RefTarget>& targets,
                           const std::vector<std::string>& sectionItems)
{
    std::string ref;
    uint32_t form = rng.Below(10);
    if (form < 5 && !targets.empty()) {
        const RefTarget& t = targets[rng.Below((uint32_t)targets.size())];
        ref = "@[" + t.section + "]." + t.item;
    } else if (form == 9 && !sectionItems.empty()) {
        ref = "@[]." + sectionItems[rng.Below((uint32_t)sectionItems.size())];
    } else if (form >= 7) {
        ref = "@[]";
    } else {
        ref = "@[.]";
    }
    std::string value = RandomText(rng, rng.Range(0, 8)) + ref;
    if (rng.Below(2))
        value += "/" + RandomText(rng, rng.Range(1, 12));
    return value;
}

// Buffered output that counts what it writes.
class CorpusWriter {
public:
    explicit CorpusWriter(FILE* f) : file(f) {}
    void Line(const std::string& text)
    {
        fwrite(text.data(), 1, text.size(), file);
        fputc('\n', file);
        bytes += text.size() + 1;
        ++lines;
    }
    FILE* file;
    uint64_t bytes = 0;
    uint64_t lines = 0;
};

// Blank and comment lines between sections.
void WriteGap(BenchRng& rng, CorpusWriter& out)
{
    out.Line("");
    if (rng.Below(2))
        out.Line("; " + RandomText(rng, rng.Range(10, 60)));
}

// One section with `items` items; adds one of its items to the targets.
void WriteSection(BenchRng& rng, const CorpusShape& shape, const std::string& name, uint32_t items,
                  std::vector<RefTarget>& targets, CorpusWriter& out, CorpusInfo* info)
{
    std::unordered_set<std::string> taken;
    std::vector<std::string> names;
    out.Line("[" + name + "]");
    for (uint32_t i = 0; i < items; ++i) {
        std::string item = UniqueName(rng, taken);
        std::string value;
        if (shape.refShare > 0 && rng.Below(1000) < (uint32_t)(shape.refShare * 1000)) {
            value = ReferenceValue(rng, targets, names);
            ++info->references;
        } else {
            value = RandomValue(rng);
        }
        out.Line(item + "=" + value);
        if (shape.refShare > 0)
            names.push_back(item);
    }
    if (shape.refShare > 0 && !names.empty())
        targets.push_back(RefTarget{name, names[rng.Below((uint32_t)names.size())]});
    info->items += items;
    ++info->sections;
}

} // namespace

bool GenerateCorpus(const std::string& path, const CorpusShape& shape, uint64_t seed, CorpusInfo* info)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        fprintf(stderr, "inibench: cannot write %s\n", path.c_str());
        return false;
    }
    static char buffer[1 << 20];
    setvbuf(f, buffer, _IOFBF, sizeof buffer);
    BenchRng rng(seed);
    CorpusWriter out(f);
    std::unordered_set<std::string> sectionNames;
    std::vector<RefTarget> targets;
    info->path = path;
    info->sections = 0;
    info->items = 0;
    info->references = 0;
    out.Line("; inibench corpus " + info->name + ", seed " + std::to_string(seed));
    if (shape.oneSection) {
        WriteSection(rng, shape, UniqueName(rng, sectionNames), shape.wideItems, targets, out, info);
    } else {
        while (out.bytes < shape.targetBytes) {
            if (info->sections > 0)
                WriteGap(rng, out);
            uint32_t items = rng.Range(shape.minItems, shape.maxItems);
            WriteSection(rng, shape, UniqueName(rng, sectionNames), items, targets, out, info);
        }
    }
    info->bytes = out.bytes;
    info->lines = out.lines;
    bool ok = !ferror(f);
    if (fclose(f) != 0)
        ok = false;
    if (!ok)
        fprintf(stderr, "inibench: error writing %s\n", path.c_str());
    return ok;
}
