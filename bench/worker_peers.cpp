// Methods that do not involve the INI library: the two line scans that set
// the floor, and the peers inih and SimpleIni.
//   scan             fgets over a 16 KiB stdio buffer, lines counted
//   scancopy         the same, plus a heap copy of every line, kept
//   inih             ini_parse, the handler copies every name and value into
//                    a vector of strings
//   simpleini        CSimpleIniA::LoadFile
//   get_simpleini    GetValue of random existing keys (load not timed)
//   write_simpleini  SaveFile of a loaded file (load not timed)
//   noop             nothing (the baseline of the system-call counts)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>
#include <ini.h>
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION  // Debian's header keeps the template bodies behind this
#include <SimpleIni.h>
#include "bench/bench.h"

namespace {

const size_t kStdioBuffer = 16384;
const int kLineBuffer = 8192;

// Sum of the lengths of the lines, so that a scan cannot be optimised away.
bool Scan(const WorkArgs& args, bool copy, WorkResult* r)
{
    static char line[kLineBuffer];
    // glibc ignores the size given to setvbuf without a buffer and reads in
    // st_blksize pieces (4 KiB), so the 16 KiB buffer is supplied here.
    static char buffer[kStdioBuffer];
    std::vector<char*> kept;
    Stopwatch watch;
    FILE* f = fopen(args.file.c_str(), "r");
    if (!f || setvbuf(f, buffer, _IOFBF, kStdioBuffer) != 0) {
        r->error = "cannot open " + args.file;
        return false;
    }
    while (fgets(line, kLineBuffer, f)) {
        size_t n = strlen(line);
        if (copy) {
            char* p = (char*)malloc(n + 1);
            memcpy(p, line, n + 1);
            kept.push_back(p);
        }
        r->check += n;
        ++r->count;
    }
    fclose(f);
    watch.Stop(r);
    return true;
}

int InihHandler(void* user, const char* /*section*/, const char* name, const char* value)
{
    std::vector<std::string>* strings = static_cast<std::vector<std::string>*>(user);
    strings->emplace_back(name);
    strings->emplace_back(value);
    return 1;
}

bool Inih(const WorkArgs& args, WorkResult* r)
{
    std::vector<std::string> strings;
    Stopwatch watch;
    int rc = ini_parse(args.file.c_str(), InihHandler, &strings);
    watch.Stop(r);
    if (rc != 0) {
        r->error = "ini_parse returned " + std::to_string(rc);
        return false;
    }
    r->count = strings.size() / 2;
    for (size_t i = 1; i < strings.size(); i += 2)
        r->check += strings[i].size();
    return true;
}

// Items held by a loaded SimpleIni, and the total length of their values.
void CountSimpleIni(const CSimpleIniA& ini, WorkResult* r)
{
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto& s : sections) {
        const CSimpleIniA::TKeyVal* keys = ini.GetSection(s.pItem);
        if (!keys)
            continue;
        r->count += keys->size();
        for (const auto& kv : *keys)
            r->check += strlen(kv.second);
    }
}

bool LoadSimpleIni(const WorkArgs& args, CSimpleIniA& ini, WorkResult* r)
{
    if (ini.LoadFile(args.file.c_str()) < 0) {
        r->error = "SimpleIni cannot load " + args.file;
        return false;
    }
    return true;
}

bool SimpleIniLoad(const WorkArgs& args, WorkResult* r)
{
    CSimpleIniA* ini = new CSimpleIniA();
    Stopwatch watch;
    bool ok = LoadSimpleIni(args, *ini, r);
    watch.Stop(r);
    if (ok)
        CountSimpleIni(*ini, r);
    return ok;
}

bool SimpleIniGet(const WorkArgs& args, WorkResult* r)
{
    CSimpleIniA* ini = new CSimpleIniA();
    LookupKeys keys;
    if (!LoadSimpleIni(args, *ini, r))
        return false;
    if (!keys.Load(args.file, args.lookups, args.seed)) {
        r->error = "no keys in " + args.file;
        return false;
    }
    uint64_t missing = 0;
    Stopwatch watch;
    for (const ItemKey& k : keys.Keys()) {
        const char* v = ini->GetValue(k.section, k.name, nullptr);
        if (!v) {
            ++missing;
            continue;
        }
        r->check += strlen(v);
    }
    watch.Stop(r);
    r->count = keys.Keys().size() - missing;
    return true;
}

bool SimpleIniWrite(const WorkArgs& args, WorkResult* r)
{
    CSimpleIniA* ini = new CSimpleIniA();
    if (!LoadSimpleIni(args, *ini, r))
        return false;
    Stopwatch watch;
    SI_Error rc = ini->SaveFile(args.out.c_str(), false);
    watch.Stop(r);
    if (rc < 0) {
        r->error = "SimpleIni cannot save " + args.out;
        return false;
    }
    r->outBytes = FileBytes(args.out);
    return true;
}

} // namespace

bool RunPeerMethod(const WorkArgs& args, WorkResult* r)
{
    const std::string& m = args.method;
    bool ok;
    if (m == "scan")
        ok = Scan(args, false, r);
    else if (m == "scancopy")
        ok = Scan(args, true, r);
    else if (m == "inih")
        ok = Inih(args, r);
    else if (m == "simpleini")
        ok = SimpleIniLoad(args, r);
    else if (m == "get_simpleini")
        ok = SimpleIniGet(args, r);
    else if (m == "write_simpleini")
        ok = SimpleIniWrite(args, r);
    else if (m == "noop")
        ok = true;
    else
        return false;
    r->ok = ok;
    return true;
}
