// The driver role: corpora, worker processes, rounds, and the report.
#ifndef BENCH_DRIVER_H
#define BENCH_DRIVER_H

#include <stdint.h>
#include <string>
#include <vector>
#include "bench/bench.h"

// Command-line options of a benchmark run.
struct Options {
    bool quick = false;        // tiny corpora and few lookups: a smoke run of seconds
    int rounds = 0;            // rounds per corpus, every method once a round (0: 5, quick 2)
    std::string corpus;        // run only this corpus ("" = all)
    std::string out;           // also write the report here
    std::string dir;           // parent of the temporary folder ("" = $TMPDIR or /tmp)
    unsigned cap = 30;         // seconds allowed to one load of the wide corpus
    uint64_t seed = 20261211;  // seed of every corpus and of the lookup keys
    bool keep = false;         // keep the temporary folder
};

// Every run of one method on one corpus.
struct Measure {
    std::string method;
    std::vector<double> seconds;  // one per finished run, wall clock
    std::vector<double> cpuSeconds;  // the same runs in CPU time
    std::vector<double> peakMb;   // peak resident memory above the base, per run
    bool capped = false;          // a run was stopped at the time cap
    uint64_t count = 0;           // of the last run
    uint64_t check = 0;
    uint64_t outBytes = 0;

    double Median() const;
    double MedianCpu() const;
    double Min() const;
    double MedianPeakMb() const;
};

// A corpus with the measures of its loads.
struct CorpusRun {
    CorpusInfo info;
    bool scaling = false;  // one of the scaling series
    unsigned cap = 0;      // seconds allowed to one load
    std::vector<Measure> loads;
};

// System calls of one load as strace -c counts them.
struct SyscallCount {
    std::string method;
    uint64_t total = 0;
    uint64_t reads = 0;
    uint64_t memory = 0;  // brk, mmap, munmap, mremap
    bool ok = false;
};

struct Results {
    std::vector<CorpusRun> corpora;
    Measure getIni, getSimpleIni;    // lookups on typical
    Measure writeIni, writeSimpleIni;
    uint64_t lookups = 0;
    std::vector<SyscallCount> syscalls;  // on typical; "noop" first
    bool straceRan = false;
    std::vector<std::string> errors;     // every failed or inconsistent run
    double generateSeconds = 0;
    std::string loadBefore, loadAfter;   // the machine's load averages around the run
};

// Writes the Markdown report of a run.
std::string Report(const Options& options, const Results& results);

// The display name of a method.
const char* MethodLabel(const std::string& method);

#endif
