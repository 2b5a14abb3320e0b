// inikit: a command-line tool over the INI library.
//
//   inikit VERB ARGUMENTS...
//   inikit --help
//
// Each verb is one row of the table below: its name, its function (declared
// in verbs.h), its usage line and what it does. A verb is added with one row.
#include <stdio.h>
#include <string.h>

#include "tools/inikit/verbs.h"

namespace {

struct Verb {
    const char* name;
    VerbFunction run;
    const char* usage;
    const char* description;  // lines of the help text, each ending in "\n"
};

const Verb kVerbs[] = {
    {"dump", DumpVerb, "dump [--editable] FILE",
     "Loads FILE (read-only, or editable with --editable; the file is never\n"
     "rewritten) and prints its model as one JSON document:\n"
     "  {\"opened\": BOOL, \"sections\": [SECTION, ...]}\n"
     "  SECTION = {\"name\": TEXT, \"items\": [{\"name\": TEXT, \"value\": TEXT or null}, ...],\n"
     "             \"nested\": [SECTION, ...]}\n"
     "Names are the stored (encoded) names; every byte is written as the character\n"
     "with that code point (\\u00XX unless printable ASCII).\n"},
    {"get", GetVerb, "get [--kind byte|word|dword|text|heaptext|block:N] [--default VALUE] FILE SECTION KEY",
     "Reads KEY of SECTION from FILE (read-only) as one typed value and prints it:\n"
     "numbers in unsigned decimal, texts as they are, blocks as upper-case hex.\n"
     "--default is the value of a missing item (numbers in any form an item may\n"
     "hold, blocks as 2N hex digits). Exit code 1 when the section or the key\n"
     "does not exist (the default is printed all the same). Kind: text.\n"},
    {"set", SetVerb, "set [--kind byte|word|dword|text|block] [--hex] FILE SECTION KEY VALUE",
     "Stores VALUE as KEY of SECTION and rewrites FILE (created if missing).\n"
     "Numbers in any form get reads, fitting the kind; --hex writes new numbers\n"
     "in hexadecimal. A block is given as hex digits. Exit code 1 when FILE\n"
     "could not be rewritten (it is then left as it was). Kind: text.\n"},
    {"del", DelVerb, "del FILE SECTION [KEY]",
     "Deletes SECTION (its first occurrence, with its nested sections), or KEY\n"
     "in it, and rewrites FILE. Exit code 1 when FILE cannot be read or written.\n"},
    {"sections", SectionsVerb, "sections [--editable] FILE [PREFIX]",
     "Prints the names of FILE's top-level sections that begin with PREFIX, one\n"
     "per line, as stored. The file is never rewritten.\n"},
    {"keys", KeysVerb, "keys [--editable] FILE SECTION [PREFIX]",
     "Prints the item names of SECTION that begin with PREFIX, one per line\n"
     "(with --editable, kept comment and blank lines give empty names).\n"},
};

const size_t kVerbCount = sizeof kVerbs / sizeof kVerbs[0];

const Verb* FindVerb(const char* name) {
    for (size_t i = 0; i < kVerbCount; ++i) {
        if (strcmp(kVerbs[i].name, name) == 0) {
            return &kVerbs[i];
        }
    }
    return nullptr;
}

void PrintUsage(FILE* out) {
    fputs("usage: inikit VERB ARGUMENTS...\n       inikit --help\nverbs:\n", out);
    for (size_t i = 0; i < kVerbCount; ++i) {
        fprintf(out, "  inikit %s\n", kVerbs[i].usage);
    }
}

void PrintHelp() {
    fputs("inikit: reads and changes INI files through the kit's INI library.\n\n", stdout);
    PrintUsage(stdout);
    for (size_t i = 0; i < kVerbCount; ++i) {
        printf("\ninikit %s\n%s", kVerbs[i].usage, kVerbs[i].description);
    }
    fputs("\nExit codes: 0 done, 2 usage error; a verb may name others.\n", stdout);
}

}  // namespace

int UsageError(const char* verb) {
    const Verb* found = FindVerb(verb);
    if (found != nullptr) {
        fprintf(stderr, "usage: inikit %s\n", found->usage);
    } else {
        PrintUsage(stderr);
    }
    return 2;
}

int main(int argc, char** argv) {
    if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        PrintHelp();
        return 0;
    }
    const Verb* verb = argc >= 2 ? FindVerb(argv[1]) : nullptr;
    if (verb == nullptr) {
        if (argc >= 2) {
            fprintf(stderr, "inikit: unknown verb '%s'\n", argv[1]);
        }
        PrintUsage(stderr);
        return 2;
    }
    return verb->run(argc - 2, argv + 2);
}
