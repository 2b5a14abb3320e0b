// inibench: see bench.h. Usage:
//   inibench [--quick] [--rounds N] [--corpus NAME] [--out FILE]
//            [--dir DIR] [--cap SECONDS] [--seed S] [--keep]
// Exit status: 0 when every run succeeded and every method agreed with the
// corpus; 1 otherwise (the report lists what failed); 2 on bad arguments.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include "bench/driver.h"

namespace {

const char* const kLoadMethods[] = {"scan", "scancopy", "ini_ro", "ini_rw", "inih", "simpleini"};

std::string g_self;  // this program's path, for the workers

bool ParseOptions(int argc, char** argv, Options* o)
{
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--quick")
            o->quick = true;
        else if (a == "--keep")
            o->keep = true;
        else if (a == "--rounds" && hasValue)
            o->rounds = atoi(argv[++i]);
        else if (a == "--corpus" && hasValue)
            o->corpus = argv[++i];
        else if (a == "--out" && hasValue)
            o->out = argv[++i];
        else if (a == "--dir" && hasValue)
            o->dir = argv[++i];
        else if (a == "--cap" && hasValue)
            o->cap = (unsigned)atoi(argv[++i]);
        else if (a == "--seed" && hasValue)
            o->seed = strtoull(argv[++i], nullptr, 10);
        else
            return false;
    }
    return o->rounds >= 0 && o->cap >= 1;
}

// A finished child process: its exit status and what it printed.
struct ChildRun {
    bool started = false;
    int status = 0;
    std::string output;
};

ChildRun RunChild(const std::vector<std::string>& args)
{
    ChildRun run;
    int fds[2];
    if (pipe(fds) != 0)
        return run;
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return run;
    }
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        run.output.append(buffer, (size_t)n);
    close(fds[0]);
    waitpid(pid, &run.status, 0);
    run.started = true;
    return run;
}

// Runs one worker; false (with a message in `error`) when it failed. A run
// stopped by its time cap sets `capped` instead.
bool RunWorker(const std::vector<std::string>& prefix, const WorkArgs& w, unsigned cap, WorkResult* r,
               bool* capped, std::string* error)
{
    std::vector<std::string> args(prefix);
    args.insert(args.end(), {g_self, "--worker", w.method, w.file, "--cap", std::to_string(cap)});
    if (!w.out.empty())
        args.insert(args.end(), {"--out", w.out});
    if (w.lookups)
        args.insert(args.end(), {"--lookups", std::to_string(w.lookups), "--seed", std::to_string(w.seed)});
    ChildRun run = RunChild(args);
    *capped = false;
    if (!run.started) {
        *error = w.method + ": cannot start a worker";
        return false;
    }
    if (WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGALRM) {
        *capped = true;
        return false;
    }
    unsigned long long count, check, outBytes;
    size_t at = run.output.find("RESULT ");
    if (at == std::string::npos ||
        sscanf(run.output.c_str() + at, "RESULT %lf %lf %ld %ld %llu %llu %llu", &r->seconds, &r->cpuSeconds,
               &r->baseKb, &r->peakKb, &count, &check, &outBytes) != 7) {
        size_t e = run.output.find("ERROR ");
        *error = w.method + " on " + w.file + ": " +
                 (e != std::string::npos ? run.output.substr(e + 6) : "worker ended with status " + std::to_string(run.status));
        while (!error->empty() && error->back() == '\n')
            error->pop_back();
        return false;
    }
    r->count = count;
    r->check = check;
    r->outBytes = outBytes;
    return true;
}

void AddRun(Measure& m, const WorkResult& r)
{
    m.seconds.push_back(r.seconds);
    m.cpuSeconds.push_back(r.cpuSeconds);
    m.peakMb.push_back((double)std::max(0L, r.peakKb - r.baseKb) / 1024.0);
    m.count = r.count;
    m.check = r.check;
    m.outBytes = r.outBytes;
}

// One more run of `m`; failures go to results.errors.
void Measure1(Measure& m, WorkArgs w, unsigned cap, Results& results)
{
    if (m.capped)
        return;
    WorkResult r{};
    std::string error;
    bool capped;
    if (RunWorker({}, w, cap, &r, &capped, &error))
        AddRun(m, r);
    else if (capped)
        m.capped = true;
    else
        results.errors.push_back(error);
}

// The corpora of a run, scaled down for --quick.
struct CorpusPlan {
    const char* name;
    CorpusShape shape;
    bool scaling;
};

std::vector<CorpusPlan> Plans(const Options& o)
{
    const uint64_t mb = 1 << 20;
    uint64_t unit = o.quick ? 64 * 1024 : mb;  // the size of "1 MB" in the scaling series
    std::vector<CorpusPlan> plans = {
        {"typical", {o.quick ? 256 * 1024 : 10 * mb, 30, 70, false, 0, 0.0}, false},
        {"big", {o.quick ? mb : 100 * mb, 30, 70, false, 0, 0.0}, false},
    };
    static const char* const kScaleNames[] = {"scale-1", "scale-2", "scale-4", "scale-8", "scale-16", "scale-32"};
    for (int i = 0; i < 6; ++i)
        plans.push_back({kScaleNames[i], {unit << i, 30, 70, false, 0, 0.0}, true});
    plans.push_back({"wide", {0, 0, 0, true, o.quick ? 5000u : 500000u, 0.0}, false});
    plans.push_back({"refs", {o.quick ? 256 * 1024 : 10 * mb, 30, 70, false, 0, 0.1}, false});
    return plans;
}

bool Wanted(const Options& o, const std::string& name)
{
    return o.corpus.empty() || o.corpus == name || (o.corpus == "scaling" && name.compare(0, 6, "scale-") == 0);
}

// Every method must see what the generator wrote: the lines for the scans,
// the items for the loads, and the same value texts where no reference pass
// changed them.
void CheckCounts(const CorpusRun& c, Results& results)
{
    const Measure* reference = nullptr;
    for (const Measure& m : c.loads) {
        if (m.seconds.empty())
            continue;
        bool scan = m.method == "scan" || m.method == "scancopy";
        uint64_t want = scan ? c.info.lines : c.info.items;
        if (m.count != want)
            results.errors.push_back(m.method + " on " + c.info.name + ": counted " + std::to_string(m.count) +
                                     ", the corpus has " + std::to_string(want));
        if (scan || (m.method == "ini_ro" && c.info.references > 0))
            continue;
        if (!reference)
            reference = &m;
        else if (m.check != reference->check)
            results.errors.push_back(m.method + " on " + c.info.name + ": value texts differ from " +
                                     reference->method + "'s");
    }
    // References resolve to other text, so a pass that ran changes the sum.
    const Measure* ro = nullptr;
    for (const Measure& m : c.loads)
        if (m.method == "ini_ro" && !m.seconds.empty())
            ro = &m;
    if (ro && reference && c.info.references > 0 && ro->check == reference->check)
        results.errors.push_back("ini_ro on " + c.info.name + ": no reference was resolved");
}

void MeasureLoads(const Options& o, CorpusRun& c, Results& results)
{
    std::vector<std::string> methods(std::begin(kLoadMethods), std::end(kLoadMethods));
    for (const std::string& m : methods) {
        c.loads.emplace_back();
        c.loads.back().method = m;
    }
    bool wide = c.info.name == "wide";
    unsigned cap = wide ? o.cap : std::max(o.cap, 600u);
    c.cap = cap;
    for (int round = 0; round < o.rounds; ++round) {
        // Every method once a round, starting one further each round.
        for (size_t i = 0; i < methods.size(); ++i) {
            size_t k = (i + (size_t)round) % methods.size();
            WorkArgs w{methods[k], c.info.path, "", 0, 0};
            Measure1(c.loads[k], w, cap, results);
        }
    }
    CheckCounts(c, results);
    for (const Measure& m : c.loads)
        if (m.capped && o.quick)
            results.errors.push_back(m.method + " on " + c.info.name + ": over the time cap");
}

void MeasurePair(const Options& o, Measure& ini, Measure& peer, WorkArgs wi, WorkArgs wp, Results& results)
{
    for (int round = 0; round < o.rounds; ++round) {
        if (round % 2 == 0) {
            Measure1(ini, wi, 600, results);
            Measure1(peer, wp, 600, results);
        } else {
            Measure1(peer, wp, 600, results);
            Measure1(ini, wi, 600, results);
        }
    }
}

void MeasureLookups(const Options& o, const CorpusRun& typical, Results& results)
{
    results.lookups = o.quick ? 20000 : 1000000;
    results.getIni.method = "get_ini";
    results.getSimpleIni.method = "get_simpleini";
    WorkArgs wi{"get_ini", typical.info.path, "", results.lookups, o.seed};
    WorkArgs wp{"get_simpleini", typical.info.path, "", results.lookups, o.seed};
    MeasurePair(o, results.getIni, results.getSimpleIni, wi, wp, results);
    for (const Measure* m : {&results.getIni, &results.getSimpleIni})
        if (!m->seconds.empty() && m->count != results.lookups)
            results.errors.push_back(m->method + ": found " + std::to_string(m->count) + " of " +
                                     std::to_string(results.lookups) + " existing keys");
    if (!results.getIni.seconds.empty() && !results.getSimpleIni.seconds.empty() &&
        results.getIni.check != results.getSimpleIni.check)
        results.errors.push_back("get_ini and get_simpleini read different value texts");
}

void MeasureWrites(const Options& o, const CorpusRun& typical, const std::string& dir, Results& results)
{
    results.writeIni.method = "write_ini";
    results.writeSimpleIni.method = "write_simpleini";
    WorkArgs wi{"write_ini", typical.info.path, dir + "/write-ini.ini", 0, 0};
    WorkArgs wp{"write_simpleini", typical.info.path, dir + "/write-simpleini.ini", 0, 0};
    MeasurePair(o, results.writeIni, results.writeSimpleIni, wi, wp, results);
    for (const Measure* m : {&results.writeIni, &results.writeSimpleIni})
        if (!m->seconds.empty() && m->outBytes < typical.info.bytes * 9 / 10)
            results.errors.push_back(m->method + ": wrote " + std::to_string(m->outBytes) + " bytes of a " +
                                     std::to_string(typical.info.bytes) + "-byte file");
}

// Reads the "calls" column of strace -c's summary: the total and some rows.
bool ParseStraceSummary(const std::string& path, SyscallCount* s)
{
    FILE* f = fopen(path.c_str(), "r");
    if (!f)
        return false;
    char line[512];
    while (fgets(line, sizeof line, f)) {
        char name[64];
        double pct, secs;
        unsigned long long usecs, calls;
        // "% time  seconds  usecs/call  calls  [errors]  syscall"
        if (sscanf(line, "%lf %lf %llu %llu", &pct, &secs, &usecs, &calls) != 4)
            continue;
        const char* last = strrchr(line, ' ');
        if (!last || sscanf(last, "%63s", name) != 1)
            continue;
        std::string n = name;
        if (n == "total") {
            s->total = calls;
            s->ok = true;
        } else if (n == "read" || n == "pread64") {
            s->reads += calls;
        } else if (n == "brk" || n == "mmap" || n == "munmap" || n == "mremap") {
            s->memory += calls;
        }
    }
    fclose(f);
    return s->ok;
}

void MeasureSyscalls(const CorpusRun& typical, const std::string& dir, Results& results)
{
    if (access("/usr/bin/strace", X_OK) != 0)
        return;
    results.straceRan = true;
    std::vector<std::string> methods = {"noop"};
    for (const Measure& m : typical.loads)
        methods.push_back(m.method);
    for (const std::string& m : methods) {
        std::string out = dir + "/strace-" + m + ".txt";
        SyscallCount s;
        s.method = m;
        WorkResult r{};
        bool capped;
        std::string error;
        WorkArgs w{m, typical.info.path, "", 0, 0};
        if (!RunWorker({"/usr/bin/strace", "-c", "-o", out}, w, 600, &r, &capped, &error))
            results.errors.push_back("under strace: " + (capped ? m + " over the time cap" : error));
        else if (!ParseStraceSummary(out, &s))
            results.errors.push_back("cannot read strace's summary " + out);
        results.syscalls.push_back(s);
    }
}

std::string MakeTempDir(const Options& o)
{
    const char* tmp = getenv("TMPDIR");
    std::string parent = !o.dir.empty() ? o.dir : (tmp && *tmp ? tmp : "/tmp");
    std::string pattern = parent + "/inibench-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        return "";
    return buf.data();
}

void RemoveTempDir(const std::string& dir)
{
    std::string cmd = "rm -rf '" + dir + "'";
    if (system(cmd.c_str()) != 0)
        fprintf(stderr, "inibench: could not remove %s\n", dir.c_str());
}

bool Generate(const Options& o, const std::string& dir, Results& results)
{
    double start = NowSeconds();
    uint64_t seed = o.seed;
    for (const CorpusPlan& p : Plans(o)) {
        ++seed;  // every corpus its own seed, whichever are run
        // The reference pass is judged against the load of typical.
        bool needed = Wanted(o, p.name) || (std::string(p.name) == "typical" && o.corpus == "refs");
        if (!needed)
            continue;
        CorpusRun c;
        c.info.name = p.name;
        c.scaling = p.scaling;
        if (!GenerateCorpus(dir + "/" + p.name + ".ini", p.shape, seed, &c.info))
            return false;
        results.corpora.push_back(c);
    }
    results.generateSeconds = NowSeconds() - start;
    return true;
}

void Progress(const char* what, const std::string& name)
{
    fprintf(stderr, "inibench: %s %s\n", what, name.c_str());
}

// The first three fields of /proc/loadavg.
std::string LoadAverage()
{
    FILE* f = fopen("/proc/loadavg", "r");
    double a = 0, b = 0, c = 0;
    bool ok = f && fscanf(f, "%lf %lf %lf", &a, &b, &c) == 3;
    if (f)
        fclose(f);
    if (!ok)
        return "?";
    char text[64];
    snprintf(text, sizeof text, "%.2f %.2f %.2f", a, b, c);
    return text;
}

int DriverMain(const Options& o)
{
    std::string dir = MakeTempDir(o);
    if (dir.empty()) {
        fprintf(stderr, "inibench: cannot make a temporary folder\n");
        return 1;
    }
    Results results;
    results.loadBefore = LoadAverage();
    if (!Generate(o, dir, results)) {
        RemoveTempDir(dir);
        return 1;
    }
    Progress("corpora in", dir);
    for (CorpusRun& c : results.corpora) {
        Progress("measuring loads of", c.info.name);
        MeasureLoads(o, c, results);
    }
    for (CorpusRun& c : results.corpora) {
        if (c.info.name != "typical" || !(o.corpus.empty() || o.corpus == "typical"))
            continue;
        Progress("measuring lookups and write-back on", c.info.name);
        MeasureLookups(o, c, results);
        MeasureWrites(o, c, dir, results);
        Progress("counting system calls on", c.info.name);
        MeasureSyscalls(c, dir, results);
    }
    results.loadAfter = LoadAverage();
    std::string report = Report(o, results);
    fputs(report.c_str(), stdout);
    if (!o.out.empty()) {
        FILE* f = fopen(o.out.c_str(), "w");
        if (!f || fputs(report.c_str(), f) < 0 || fclose(f) != 0) {
            fprintf(stderr, "inibench: cannot write %s\n", o.out.c_str());
            return 1;
        }
    }
    if (!o.keep)
        RemoveTempDir(dir);
    for (const std::string& e : results.errors)
        fprintf(stderr, "inibench: error: %s\n", e.c_str());
    return results.errors.empty() ? 0 : 1;
}

std::string SelfPath(const char* argv0)
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return argv0;
    buf[n] = '\0';
    return buf;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && strcmp(argv[1], "--worker") == 0)
        return WorkerMain(argc, argv);
    Options o;
    bool help = argc > 1 && strcmp(argv[1], "--help") == 0;
    if (help || !ParseOptions(argc, argv, &o)) {
        fprintf(help ? stdout : stderr,
                "usage: inibench [--quick] [--rounds N] [--corpus typical|big|scaling|wide|refs|scale-N]\n"
                "                [--out FILE] [--dir DIR] [--cap SECONDS] [--seed S] [--keep]\n");
        return help ? 0 : 2;
    }
    if (o.rounds == 0)
        o.rounds = o.quick ? 2 : 5;
    g_self = SelfPath(argv[0]);
    return DriverMain(o);
}
