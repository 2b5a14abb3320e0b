// Section lookups in streams with many sections, where a hash of the names
// replaces the scan: every answer must still be the first section of that
// name in list order, through loads, stores of new sections and deletes.
#include <random>

#include "tests/ini/access_fixture.h"

using ini_test::IniFiles;

namespace {

class SectionLookupTest : public IniFiles {};

// The first section whose stored name is `name` encoded, by a plain scan.
SectionItem* ScanFor(const SContainer& list, const std::string& name) {
    std::vector<char> encoded(name.size() + 1);
    EncodeSectionName(encoded.data(), name.c_str());
    for (uint32_t i = 0; i < list.Count(); ++i) {
        SectionItem* s = static_cast<SectionItem*>(list.At(i));
        if (strcmp(s->Name(), encoded.data()) == 0) return s;
    }
    return nullptr;
}

// Names that collide in interesting ways: duplicates, case, brackets, a name
// longer than the field, and the empty name.
std::vector<std::string> Names() {
    std::vector<std::string> names = {"", "a[b", "a]b", "A", "a", std::string(80, 'L'), std::string(80, 'L') + "x"};
    for (int i = 0; i < 40; ++i) names.push_back("Sec" + std::to_string(i));
    return names;
}

std::string Corpus(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        text += "[" + names[i] + "]\nk=" + std::to_string(i) + "\n";
        if (i % 3 == 0) text += "[" + names[i] + "]\nk=dup" + std::to_string(i) + "\n";
    }
    return text;
}

void ExpectSameAsScan(INIStream& s, const std::vector<std::string>& names, const char* step) {
    for (const std::string& name : names) {
        strcpy(s.currentSection, name.c_str());
        SectionItem* expected = ScanFor(s.sectionList, name);
        EXPECT_EQ(s.CurrentSection(), expected) << step << " [" << name << "]";
        const SContainer& readList = s.sectionIndex.Count() != 0 ? s.sectionIndex : s.sectionList;
        SectionItem* readFrom = ScanFor(readList, name);
        char value[64] = "";
        s.ReadText("k", "none", value, int(sizeof value));
        std::string want = "none";
        if (readFrom != nullptr && readFrom->itemList.Count() != 0) {
            want = readFrom->itemList.At(0)->GetValue();
        }
        EXPECT_EQ(std::string(value), want) << step << " [" << name << "]";
    }
}

TEST_F(SectionLookupTest, AnswersAsAScanThroughStoresAndDeletes) {
    std::vector<std::string> names = Names();
    for (unsigned char readOnly = 0; readOnly < 2; ++readOnly) {
        INIStream* s = Load(Corpus(names).c_str(), readOnly);
        ASSERT_GT(s->sectionList.Count(), 16u);
        ExpectSameAsScan(*s, names, "loaded");
        std::mt19937 random(7 + readOnly);
        for (int step = 0; step < 120; ++step) {
            std::string name = names[random() % names.size()];
            std::string fresh = "New" + std::to_string(step % 25);
            switch (random() % 4) {
            case 0:
                strcpy(s->currentSection, fresh.c_str());
                s->StoreText("k", ("new" + std::to_string(step)).c_str());
                names.push_back(fresh);
                break;
            case 1:
                s->DeleteSection(name.c_str());
                break;
            case 2:
                s->DeleteSections(name.substr(0, 4).c_str());
                break;
            default:
                strcpy(s->currentSection, name.c_str());
                s->StoreText("k", "stored");
                break;
            }
            ExpectSameAsScan(*s, names, ("step " + std::to_string(step)).c_str());
            if (HasFailure()) break;
        }
        delete s;
    }
}

TEST_F(SectionLookupTest, ReferencesFindTheFirstOfManySections) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "[S" + std::to_string(i) + "]\nv=" + std::to_string(i) + "\n";
    text += "[a[b]\nv=bracket\n[S7]\nv=second\n[Use]\nx=@[S7].v\ny=@[a[b].v\nz=@[Nowhere].v\nw=@[s7].v\n";
    INIStream* s = Load(text.c_str(), 1);
    strcpy(s->currentSection, "Use");
    char value[64];
    const char* keys[] = {"x", "y", "z", "w"};
    const char* expected[] = {"7", "bracket", "@[Nowhere].v", "@[s7].v"};
    for (int i = 0; i < 4; ++i) {
        s->ReadText(keys[i], "", value, int(sizeof value));
        EXPECT_STREQ(value, expected[i]) << keys[i];
    }
    delete s;
}

}  // namespace
