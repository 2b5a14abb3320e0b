// inibench: measures the INI library's load, lookup and write-back against a
// plain line scan (the floor) and two peers, inih and SimpleIni.
//
// One program plays two roles. The driver generates the corpora, then starts
// one worker process per measured operation, so that every load pays for its
// fresh memory as a real program does; the worker times the operation alone
// and prints one result line that the driver reads back.
#ifndef BENCH_BENCH_H
#define BENCH_BENCH_H

#include <stdint.h>
#include <string>
#include <vector>

// Deterministic random numbers (splitmix64): the same seed gives the same
// corpus and the same lookup keys on every machine and library version.
class BenchRng {
public:
    explicit BenchRng(uint64_t seed) : state(seed) {}
    uint64_t Next();
    // A number in [0, n); n must be nonzero.
    uint32_t Below(uint32_t n);
    // A number in [lo, hi].
    uint32_t Range(uint32_t lo, uint32_t hi) { return lo + Below(hi - lo + 1); }

private:
    uint64_t state;
};

// The shape of one generated corpus. Sections hold minItems..maxItems items,
// sections are added until the file reaches targetBytes; with oneSection the
// file is one section of wideItems items. refShare of the values hold
// references to other items or to the section's name.
struct CorpusShape {
    uint64_t targetBytes;
    uint32_t minItems;
    uint32_t maxItems;
    bool oneSection;
    uint32_t wideItems;
    double refShare;
};

// What the generator wrote: the driver checks every method's counts against it.
struct CorpusInfo {
    std::string name;
    std::string path;
    uint64_t bytes;
    uint32_t sections;
    uint64_t items;
    uint64_t lines;
    uint64_t references;
};

// Writes a corpus of the given shape to path. Returns false (with a message
// on stderr) when the file cannot be written.
bool GenerateCorpus(const std::string& path, const CorpusShape& shape, uint64_t seed, CorpusInfo* info);

// One worker run as the worker reports it.
struct WorkResult {
    bool ok;
    double seconds;     // the measured operation only, wall clock
    double cpuSeconds;  // the same, CPU time of the process (user + system)
    long baseKb;        // resident memory just before the operation
    long peakKb;        // peak resident memory up to the end of the operation
    uint64_t count;     // lines, items or lookups seen, checked by the driver
    uint64_t check;     // a checksum of what was read, compared across methods
    uint64_t outBytes;  // bytes written (write-back methods)
    std::string error;
};

// Parameters that the driver passes to a worker.
struct WorkArgs {
    std::string method;
    std::string file;
    std::string out;     // output path of the write-back methods
    uint64_t lookups;    // number of random lookups
    uint64_t seed;       // seed of the lookup keys
};

// The worker's entry: runs one method and prints "RESULT ..." on stdout.
int WorkerMain(int argc, char** argv);

// Methods of the peers and of the line scans (worker_peers.cpp); each fills
// result and returns false when the method is unknown here.
bool RunPeerMethod(const WorkArgs& args, WorkResult* result);
// Methods of the INI library (worker_ini.cpp).
bool RunIniMethod(const WorkArgs& args, WorkResult* result);

// Seconds of a monotonic clock.
double NowSeconds();

// Size in bytes of a file, 0 when it cannot be opened.
uint64_t FileBytes(const std::string& path);

// Times one operation on the wall clock and in CPU time: started when
// constructed, Stop writes both into the result.
class Stopwatch {
public:
    Stopwatch();
    void Stop(WorkResult* result) const;

private:
    double wall;
    double cpu;
};

// One existing key of a corpus: its section's name and the item's name.
struct ItemKey {
    const char* section;
    const char* name;
};

// n keys drawn at random (seeded) from every item of an INI file. The file is
// read by a plain scan of its own; the texts live in this object.
class LookupKeys {
public:
    bool Load(const std::string& file, uint64_t n, uint64_t seed);
    const std::vector<ItemKey>& Keys() const { return picked; }

private:
    std::string text;  // every "name\0", sections and items alike
    std::vector<ItemKey> picked;
};

#endif
