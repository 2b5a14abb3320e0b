// Methods of the INI library:
//   ini_ro     INIStream(file, read-only): load, index and reference pass
//   ini_rw     INIStream(file, editable)
//   get_ini    Get of random existing keys, Text kind (load not timed)
//   write_ini  WriteBack of an editable stream loaded from a copy of the file
//              (load and copy not timed)
// Counts are the named items of the whole model, nested streams included;
// the checksum is the total length of their values.
#include <stdio.h>
#include <string.h>
#include <new>
#include "bench/bench.h"

#include "ini/access.h"
#include "ini/inistream.h"
#include "ini/model.h"

namespace {

void CountStream(const INIStream& stream, WorkResult* r)
{
    for (uint32_t s = 0; s < stream.sectionList.Count(); ++s) {
        const SectionItem* section = static_cast<const SectionItem*>(stream.sectionList.At(s));
        for (uint32_t i = 0; i < section->itemList.Count(); ++i) {
            const INIItem* item = section->itemList.At(i);
            if (item->Name()[0] == '\0')
                continue;  // a kept comment or blank line of an editable stream
            ++r->count;
            const char* value = item->GetValue();
            if (value)
                r->check += strlen(value);
        }
        if (section->nestedStream)
            CountStream(*section->nestedStream, r);
    }
}

bool Load(const WorkArgs& args, unsigned char readOnly, WorkResult* r)
{
    Stopwatch watch;
    INIStream* stream = new (std::nothrow) INIStream(args.file.c_str(), readOnly);
    watch.Stop(r);
    if (!stream || !stream->opened) {
        r->error = "INIStream cannot open " + args.file;
        return false;
    }
    CountStream(*stream, r);
    return true;
}

bool Get(const WorkArgs& args, WorkResult* r)
{
    INIStream* stream = new (std::nothrow) INIStream(args.file.c_str(), 1);
    LookupKeys keys;
    if (!stream || !stream->opened) {
        r->error = "INIStream cannot open " + args.file;
        return false;
    }
    if (!keys.Load(args.file, args.lookups, args.seed)) {
        r->error = "no keys in " + args.file;
        return false;
    }
    static const char kMissing[] = "\x01missing";
    static char value[1024];
    uint64_t missing = 0;
    Stopwatch watch;
    for (const ItemKey& k : keys.Keys()) {
        strcpy(stream->currentSection, k.section);
        stream->Get(INIReadRequest(k.name, value, kMissing));
        if (strcmp(value, kMissing) == 0) {
            ++missing;
            continue;
        }
        r->check += strlen(value);
    }
    watch.Stop(r);
    r->count = keys.Keys().size() - missing;
    return true;
}

bool CopyFile(const std::string& from, const std::string& to)
{
    FILE* in = fopen(from.c_str(), "rb");
    FILE* out = in ? fopen(to.c_str(), "wb") : nullptr;
    static char buffer[1 << 16];
    size_t n;
    bool ok = in && out;
    while (ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = fwrite(buffer, 1, n, out) == n;
    if (in)
        fclose(in);
    if (out && fclose(out) != 0)
        ok = false;
    return ok;
}

bool Write(const WorkArgs& args, WorkResult* r)
{
    if (!CopyFile(args.file, args.out)) {
        r->error = "cannot copy " + args.file + " to " + args.out;
        return false;
    }
    INIStream* stream = new (std::nothrow) INIStream(args.out.c_str(), 0);
    if (!stream || !stream->opened) {
        r->error = "INIStream cannot open " + args.out;
        return false;
    }
    // Emptied first, so that a write that does nothing shows as 0 bytes.
    FILE* f = fopen(args.out.c_str(), "wb");
    if (f)
        fclose(f);
    Stopwatch watch;
    stream->WriteBack();
    watch.Stop(r);
    r->outBytes = FileBytes(args.out);
    return true;
}

} // namespace

bool RunIniMethod(const WorkArgs& args, WorkResult* r)
{
    const std::string& m = args.method;
    bool ok;
    if (m == "ini_ro")
        ok = Load(args, 1, r);
    else if (m == "ini_rw")
        ok = Load(args, 0, r);
    else if (m == "get_ini")
        ok = Get(args, r);
    else if (m == "write_ini")
        ok = Write(args, r);
    else
        return false;
    r->ok = ok;
    return true;
}
