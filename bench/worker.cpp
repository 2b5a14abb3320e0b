// The worker role: runs one method on one file and reports it on one line.
// Memory: the peak resident size is reset just before the operation (when
// the kernel allows it), so the reported peak belongs to this operation; the
// resident size just before it is reported beside it as the base.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include "bench/bench.h"

double NowSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

namespace {

double CpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

} // namespace

Stopwatch::Stopwatch() : wall(NowSeconds()), cpu(CpuSeconds()) {}

uint64_t FileBytes(const std::string& path)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return 0;
    fseek(f, 0, SEEK_END);
    uint64_t bytes = (uint64_t)ftell(f);
    fclose(f);
    return bytes;
}

void Stopwatch::Stop(WorkResult* result) const
{
    result->seconds = NowSeconds() - wall;
    result->cpuSeconds = CpuSeconds() - cpu;
}

namespace {

// A field of /proc/self/status in kB, or -1.
long StatusKb(const char* field)
{
    FILE* f = fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long value = -1;
    size_t n = strlen(field);
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, field, n) == 0 && line[n] == ':') {
            value = strtol(line + n + 1, nullptr, 10);
            break;
        }
    }
    fclose(f);
    return value;
}

// Makes VmHWM start again from the present resident size.
void ResetPeak()
{
    FILE* f = fopen("/proc/self/clear_refs", "w");
    if (!f)
        return;
    fputs("5", f);
    fclose(f);
}

bool ParseArgs(int argc, char** argv, WorkArgs* args)
{
    // argv: inibench --worker METHOD FILE [--out PATH] [--lookups N] [--seed S] [--cap SECONDS]
    if (argc < 4)
        return false;
    args->method = argv[2];
    args->file = argv[3];
    args->lookups = 0;
    args->seed = 1;
    unsigned cap = 0;
    for (int i = 4; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--out") == 0)
            args->out = argv[i + 1];
        else if (strcmp(argv[i], "--lookups") == 0)
            args->lookups = strtoull(argv[i + 1], nullptr, 10);
        else if (strcmp(argv[i], "--seed") == 0)
            args->seed = strtoull(argv[i + 1], nullptr, 10);
        else if (strcmp(argv[i], "--cap") == 0)
            cap = (unsigned)strtoul(argv[i + 1], nullptr, 10);
        else
            return false;
    }
    if (cap > 0)
        alarm(cap);  // SIGALRM ends an operation that runs over its cap
    return true;
}

} // namespace

int WorkerMain(int argc, char** argv)
{
    WorkArgs args;
    if (!ParseArgs(argc, argv, &args)) {
        fprintf(stderr, "inibench: bad worker arguments\n");
        return 2;
    }
    WorkResult result{};
    result.ok = true;
    ResetPeak();
    result.baseKb = StatusKb("VmRSS");
    bool known = RunPeerMethod(args, &result) || RunIniMethod(args, &result);
    result.peakKb = StatusKb("VmHWM");
    if (!known) {
        result.ok = false;
        result.error = "unknown method " + args.method;
    }
    if (!result.ok) {
        printf("ERROR %s\n", result.error.c_str());
        fflush(stdout);
        _exit(1);
    }
    printf("RESULT %.9f %.9f %ld %ld %llu %llu %llu\n", result.seconds, result.cpuSeconds, result.baseKb,
           result.peakKb,
           (unsigned long long)result.count, (unsigned long long)result.check,
           (unsigned long long)result.outBytes);
    fflush(stdout);
    // No teardown: a real program's exit does not free its model either, and
    // an editable stream must not write its file back here.
    _exit(0);
}

bool LookupKeys::Load(const std::string& file, uint64_t n, uint64_t seed)
{
    FILE* f = fopen(file.c_str(), "r");
    if (!f)
        return false;
    std::vector<std::pair<size_t, size_t>> all;  // (section, name) offsets in text
    size_t section = std::string::npos;
    static char line[8192];
    while (fgets(line, sizeof line, f)) {
        if (line[0] == '[') {
            char* end = strchr(line, ']');
            if (!end)
                continue;
            section = text.size();
            text.append(line + 1, (size_t)(end - line - 1));
            text.push_back('\0');
        } else if (section != std::string::npos && ((line[0] | 0x20) >= 'a' && (line[0] | 0x20) <= 'z')) {
            char* eq = strchr(line, '=');
            if (!eq)
                continue;
            all.emplace_back(section, text.size());
            text.append(line, (size_t)(eq - line));
            text.push_back('\0');
        }
    }
    fclose(f);
    if (all.empty())
        return false;
    BenchRng rng(seed);
    picked.reserve(n);
    for (uint64_t i = 0; i < n; ++i) {
        const auto& k = all[rng.Below((uint32_t)all.size())];
        picked.push_back(ItemKey{text.c_str() + k.first, text.c_str() + k.second});
    }
    return true;
}
