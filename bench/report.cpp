// The Markdown report: the run, the corpora, one table per measured
// operation, the scaling series, the system calls and the goals.
// MB is 2^20 bytes throughout; times are medians over the rounds unless a
// column says otherwise.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>
#include <algorithm>
#include "bench/driver.h"

#ifndef INIBENCH_INIH_VERSION
#define INIBENCH_INIH_VERSION "?"
#endif
#ifndef INIBENCH_SIMPLEINI_VERSION
#define INIBENCH_SIMPLEINI_VERSION "?"
#endif

namespace {

const double kMb = 1048576.0;
#ifdef __clang__
const char kCompiler[] = "";
#else
const char kCompiler[] = "GCC ";
#endif

std::string Format(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

double MedianOf(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Ms(double seconds)
{
    double ms = seconds * 1000;
    return Format(ms < 10 ? "%.2f" : ms < 100 ? "%.1f" : "%.0f", ms);
}

std::string Ratio(double r)
{
    return r > 0 ? Format("%.2fx", r) : "-";
}

// The first line of /proc/cpuinfo's "model name", or "?".
std::string CpuModel()
{
    FILE* f = fopen("/proc/cpuinfo", "r");
    char line[512];
    std::string model = "?";
    while (f && fgets(line, sizeof line, f)) {
        if (strncmp(line, "model name", 10) == 0) {
            const char* p = strchr(line, ':');
            model = p ? p + 2 : line;
            model.erase(model.find_last_not_of(" \n") + 1);
            break;
        }
    }
    if (f)
        fclose(f);
    return model;
}

std::string Machine()
{
    utsname u;
    uname(&u);
    long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    return Format("%s %s %s; %s, %ld logical CPUs; %.1f GB memory", u.sysname, u.release, u.machine,
                  CpuModel().c_str(), sysconf(_SC_NPROCESSORS_ONLN), (double)pages * pageSize / 1e9);
}

std::string DateUtc()
{
    time_t now = time(nullptr);
    char buffer[64];
    strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M UTC", gmtime(&now));
    return buffer;
}

const Measure* Find(const CorpusRun& c, const char* method)
{
    for (const Measure& m : c.loads)
        if (m.method == method && !m.seconds.empty())
            return &m;
    return nullptr;
}

const CorpusRun* FindCorpus(const Results& r, const char* name)
{
    for (const CorpusRun& c : r.corpora)
        if (c.info.name == name)
            return &c;
    return nullptr;
}

// time of `peer` / time of `m`: above 1 when m is the faster.
// The median of the wall-clock times, or of the CPU times.
double Med(const Measure& m, bool cpu)
{
    return cpu ? m.MedianCpu() : m.Median();
}

double Speedup(const Measure* peer, const Measure* m, bool cpu = false)
{
    return peer && m && Med(*m, cpu) > 0 ? Med(*peer, cpu) / Med(*m, cpu) : 0;
}

class Writer {
public:
    std::string text;
    void Line(const std::string& s) { text += s + "\n"; }
};

void WriteRun(const Options& o, const Results& r, Writer& w)
{
    w.Line("## Run");
    w.Line("");
    w.Line("- Date: " + DateUtc());
    w.Line("- Machine: " + Machine());
    w.Line(std::string("- Build: ") + kCompiler + __VERSION__ + ", optimised (" +
#ifdef NDEBUG
           "NDEBUG" +
#else
           "assertions on" +
#endif
           std::string("); inih ") + INIBENCH_INIH_VERSION + ", SimpleIni " + INIBENCH_SIMPLEINI_VERSION +
           " (CSimpleIniA, no conversion), both from Debian's packages");
    w.Line(Format("- Rounds: %d per corpus, methods alternating round by round, one fresh process per load; "
                  "seed %llu; corpora generated in %.1f s%s",
                  o.rounds, (unsigned long long)o.seed, r.generateSeconds, o.quick ? "; QUICK RUN (tiny corpora)" : ""));
    w.Line("- Load average (1, 5, 15 min) at the start: " + r.loadBefore + "; at the end: " + r.loadAfter +
           " (other work on the machine shows here and in the spread between median and min)");
    w.Line("- Times are medians (min beside them) of the operation alone, measured inside the worker; files are "
           "read from the page cache. MB = 2^20 bytes. Peak = peak resident memory of the worker during the "
           "operation minus its resident memory just before it.");
    w.Line("");
}

void WriteCorpora(const Results& r, Writer& w)
{
    w.Line("## Corpora");
    w.Line("");
    w.Line("| corpus | MB | sections | items | lines | references |");
    w.Line("|---|---:|---:|---:|---:|---:|");
    for (const CorpusRun& c : r.corpora)
        w.Line(Format("| %s | %.2f | %u | %llu | %llu | %llu |", c.info.name.c_str(), c.info.bytes / kMb,
                      c.info.sections, (unsigned long long)c.info.items, (unsigned long long)c.info.lines,
                      (unsigned long long)c.info.references));
    w.Line("");
}

void WriteLoadTable(const CorpusRun& c, Writer& w)
{
    const Measure* floor = Find(c, "scan");
    const Measure* copy = Find(c, "scancopy");
    const Measure* inih = Find(c, "inih");
    const Measure* simple = Find(c, "simpleini");
    double mb = c.info.bytes / kMb;
    w.Line(Format("### Load: %s (%.2f MB)", c.info.name.c_str(), mb));
    w.Line("");
    w.Line("| method | median ms | min ms | CPU ms | MB/s | ÷ floor | ÷ scan+copy | SimpleIni ÷ this | inih ÷ this | "
           "peak MB | peak ÷ file |");
    w.Line("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|");
    for (const Measure& m : c.loads) {
        if (m.seconds.empty()) {
            w.Line("| " + std::string(MethodLabel(m.method)) + " | " +
                   (m.capped ? Format("over the %u s cap", c.cap) : std::string("failed")) + " | | | | | | | | | |");
            continue;
        }
        double t = m.Median();
        w.Line(Format("| %s%s | %s | %s | %s | %.0f | %s | %s | %s | %s | %.1f | %.2f |", MethodLabel(m.method),
                      m.capped ? " (a later round over the cap)" : "", Ms(t).c_str(), Ms(m.Min()).c_str(),
                      Ms(m.MedianCpu()).c_str(), mb / t,
                      Ratio(floor ? t / floor->Median() : 0).c_str(), Ratio(copy ? t / copy->Median() : 0).c_str(),
                      Ratio(Speedup(simple, &m)).c_str(), Ratio(Speedup(inih, &m)).c_str(), m.MedianPeakMb(),
                      m.MedianPeakMb() / mb));
    }
    w.Line("");
}

// Median seconds per MB of a method on a corpus, or 0.
double CostPerMb(const CorpusRun& c, const char* method, bool cpu = false)
{
    const Measure* m = Find(c, method);
    return m ? Med(*m, cpu) / (c.info.bytes / kMb) : 0;
}

std::vector<const CorpusRun*> ScalingSeries(const Results& r)
{
    std::vector<const CorpusRun*> series;
    for (const CorpusRun& c : r.corpora)
        if (c.scaling)
            series.push_back(&c);
    return series;
}

void WriteScaling(const Results& r, Writer& w)
{
    std::vector<const CorpusRun*> series = ScalingSeries(r);
    if (series.empty())
        return;
    w.Line("## Scaling");
    w.Line("");
    w.Line("Cost per MB at each size relative to the cost per MB at the smallest size (medians); the first column "
           "is the cost at the smallest size.");
    w.Line("");
    std::string head = "| method | ms/MB at " + Format("%.2f MB", series[0]->info.bytes / kMb);
    std::string rule = "|---|---:";
    for (const CorpusRun* c : series) {
        head += Format(" | %.2f MB", c->info.bytes / kMb);
        rule += "|---:";
    }
    w.Line(head + " |");
    w.Line(rule + "|");
    for (const Measure& m : series[0]->loads) {
        double base = CostPerMb(*series[0], m.method.c_str());
        std::string row = "| " + std::string(MethodLabel(m.method)) + " | " + Format("%.2f", base * 1000);
        for (const CorpusRun* c : series)
            row += " | " + Ratio(base > 0 ? CostPerMb(*c, m.method.c_str()) / base : 0);
        w.Line(row + " |");
    }
    w.Line("");
}

void WritePair(const char* title, const Measure& ini, const Measure& peer, double units, const char* unitName,
               double perUnitScale, const char* perUnitName, Writer& w)
{
    w.Line(title);
    w.Line("");
    w.Line(Format("| method | median ms | min ms | CPU ms | %s | SimpleIni ÷ this |", perUnitName));
    w.Line("|---|---:|---:|---:|---:|---:|");
    for (const Measure* m : {&ini, &peer}) {
        if (m->seconds.empty()) {
            w.Line("| " + std::string(MethodLabel(m->method)) + " | failed | | | | |");
            continue;
        }
        double per = perUnitScale > 0 ? m->Median() / units * perUnitScale : units / m->Median();
        w.Line(Format("| %s | %s | %s | %s | %s | %s |", MethodLabel(m->method), Ms(m->Median()).c_str(),
                      Ms(m->Min()).c_str(), Ms(m->MedianCpu()).c_str(), Format(perUnitScale > 0 ? "%.3f" : "%.0f", per).c_str(),
                      Ratio(Speedup(&peer, m)).c_str()));
    }
    (void)unitName;
    w.Line("");
}

void WriteLookupsAndWrites(const Results& r, Writer& w)
{
    if (!r.getIni.method.empty())
        WritePair(Format("## Typed lookups on typical (%llu random existing keys, Text kind)",
                         (unsigned long long)r.lookups).c_str(),
                  r.getIni, r.getSimpleIni, (double)r.lookups, "lookups", 1e6, "µs per lookup", w);
    if (!r.writeIni.method.empty()) {
        double mb = (r.writeIni.outBytes ? r.writeIni.outBytes : r.writeSimpleIni.outBytes) / kMb;
        WritePair("## Write-back on typical (WriteBack of an editable stream; SaveFile)", r.writeIni,
                  r.writeSimpleIni, mb, "MB", 0, "MB/s written", w);
        w.Line(Format("Bytes written: INIStream %llu, SimpleIni %llu.", (unsigned long long)r.writeIni.outBytes,
                      (unsigned long long)r.writeSimpleIni.outBytes));
        w.Line("");
    }
}

// The system calls of a load above those of a worker that does nothing.
uint64_t AboveStartup(const Results& r, const SyscallCount& s)
{
    uint64_t base = r.syscalls.empty() ? 0 : r.syscalls[0].total;
    return s.total > base ? s.total - base : 0;
}

uint64_t SyscallBudget(const CorpusRun& typical)
{
    return (typical.info.bytes + 16383) / 16384 + 64;
}

void WriteSyscalls(const Results& r, Writer& w)
{
    const CorpusRun* typical = FindCorpus(r, "typical");
    if (!r.straceRan || !typical)
        return;
    w.Line("## System calls of one load of typical (strace -c)");
    w.Line("");
    w.Line(Format("Budget: file size / 16 KiB + 64 = %llu calls above the %llu of a worker that loads nothing.",
                  (unsigned long long)SyscallBudget(*typical),
                  (unsigned long long)(r.syscalls.empty() ? 0 : r.syscalls[0].total)));
    w.Line("");
    w.Line("| method | calls | read | brk/mmap/munmap/mremap | other | above startup |");
    w.Line("|---|---:|---:|---:|---:|---:|");
    for (const SyscallCount& s : r.syscalls) {
        if (!s.ok) {
            w.Line("| " + std::string(MethodLabel(s.method)) + " | failed | | | | |");
            continue;
        }
        w.Line(Format("| %s | %llu | %llu | %llu | %llu | %llu |", MethodLabel(s.method),
                      (unsigned long long)s.total, (unsigned long long)s.reads, (unsigned long long)s.memory,
                      (unsigned long long)(s.total - s.reads - s.memory), (unsigned long long)AboveStartup(r, s)));
    }
    w.Line("");
}

struct Goal {
    std::string what;
    std::string measured;
    int met;  // 1 met, 0 missed, -1 not measured
};

void LoadGoals(const Results& r, bool cpu, std::vector<Goal>& goals)
{
    for (const char* corpus : {"typical", "big"}) {
        const CorpusRun* c = FindCorpus(r, corpus);
        for (const char* method : {"ini_ro", "ini_rw"}) {
            Goal g{Format("%s load of %s ≥ 1.5x as fast as SimpleIni and inih+copy (aim 2x)", MethodLabel(method),
                          corpus), "not measured", -1};
            const Measure* m = c ? Find(*c, method) : nullptr;
            if (m) {
                double s = Speedup(Find(*c, "simpleini"), m, cpu), i = Speedup(Find(*c, "inih"), m, cpu);
                g.measured = Format("%s ms; SimpleIni ÷ this %.2fx, inih ÷ this %.2fx", Ms(Med(*m, cpu)).c_str(), s, i);
                g.met = std::min(s, i) >= 1.5;
            }
            goals.push_back(g);
        }
    }
}

void ScalingGoals(const Results& r, bool cpu, std::vector<Goal>& goals)
{
    std::vector<const CorpusRun*> series = ScalingSeries(r);
    for (const char* method : {"ini_ro", "ini_rw"}) {
        Goal g{Format("%s: cost per MB at the largest scaling size within 1.2x of the smallest", MethodLabel(method)),
               "not measured", -1};
        if (series.size() >= 2) {
            double a = CostPerMb(*series.front(), method, cpu), b = CostPerMb(*series.back(), method, cpu);
            if (a > 0 && b > 0) {
                g.measured = Format("%.2f ms/MB at %.1f MB, %.2f ms/MB at %.1f MB: %.2fx", a * 1000,
                                    series.front()->info.bytes / kMb, b * 1000, series.back()->info.bytes / kMb, b / a);
                g.met = b / a <= 1.2;
            }
        }
        goals.push_back(g);
    }
}

void SyscallGoals(const Results& r, std::vector<Goal>& goals)
{
    const CorpusRun* typical = FindCorpus(r, "typical");
    for (const char* method : {"ini_ro", "ini_rw"}) {
        Goal g{Format("%s load of typical: system calls ≤ file size / 16 KiB + a small constant (64)",
                      MethodLabel(method)), "not measured", -1};
        for (const SyscallCount& s : r.syscalls) {
            if (s.method != method || !s.ok || !typical)
                continue;
            g.measured = Format("%llu calls above startup (of %llu in all: %llu read, %llu brk/mmap); budget %llu",
                                (unsigned long long)AboveStartup(r, s), (unsigned long long)s.total,
                                (unsigned long long)s.reads, (unsigned long long)s.memory,
                                (unsigned long long)SyscallBudget(*typical));
            g.met = AboveStartup(r, s) <= SyscallBudget(*typical);
        }
        goals.push_back(g);
    }
}

void OtherGoals(const Results& r, bool cpu, std::vector<Goal>& goals)
{
    Goal write{"Write-back of typical ≥ 300 MB/s", "not measured", -1};
    if (!r.writeIni.seconds.empty()) {
        double mbs = r.writeIni.outBytes / kMb / Med(r.writeIni, cpu);
        write.measured = Format("%.0f MB/s (SimpleIni %.0f MB/s)", mbs,
                                r.writeSimpleIni.seconds.empty() ? 0.0
                                    : r.writeSimpleIni.outBytes / kMb / Med(r.writeSimpleIni, cpu));
        write.met = mbs >= 300;
    }
    goals.push_back(write);

    Goal peak{"Peak memory of a read-only load of typical ≤ 0.9x SimpleIni's", "not measured", -1};
    const CorpusRun* typical = FindCorpus(r, "typical");
    const Measure* ro = typical ? Find(*typical, "ini_ro") : nullptr;
    const Measure* si = typical ? Find(*typical, "simpleini") : nullptr;
    if (ro && si && si->MedianPeakMb() > 0) {
        double ratio = ro->MedianPeakMb() / si->MedianPeakMb();
        peak.measured = Format("%.1f MB vs %.1f MB: %.2fx", ro->MedianPeakMb(), si->MedianPeakMb(), ratio);
        peak.met = ratio <= 0.9;
    }
    goals.push_back(peak);

    Goal get{"Typed Get of random existing keys on typical ≤ 1 µs per lookup", "not measured", -1};
    if (!r.getIni.seconds.empty() && r.lookups) {
        double us = Med(r.getIni, cpu) / r.lookups * 1e6;
        get.measured = Format("%.3f µs (SimpleIni %.3f µs)", us,
                              r.getSimpleIni.seconds.empty() ? 0.0 : Med(r.getSimpleIni, cpu) / r.lookups * 1e6);
        get.met = us <= 1.0;
    }
    goals.push_back(get);

    Goal refs{"Read-only load of refs ≤ 1.3x the load of typical, per MB", "not measured", -1};
    const CorpusRun* rc = FindCorpus(r, "refs");
    if (rc && typical && CostPerMb(*rc, "ini_ro", cpu) > 0 && CostPerMb(*typical, "ini_ro", cpu) > 0) {
        double a = CostPerMb(*rc, "ini_ro", cpu), b = CostPerMb(*typical, "ini_ro", cpu);
        refs.measured = Format("%.2f ms/MB vs %.2f ms/MB: %.2fx", a * 1000, b * 1000, a / b);
        refs.met = a / b <= 1.3;
    }
    goals.push_back(refs);
}

// Verdict text of a goal.
const char* Verdict(int met)
{
    return met < 0 ? "-" : met ? "met" : "**missed**";
}

std::vector<Goal> Goals(const Results& r, bool cpu)
{
    std::vector<Goal> goals;
    LoadGoals(r, cpu, goals);
    ScalingGoals(r, cpu, goals);
    SyscallGoals(r, goals);
    OtherGoals(r, cpu, goals);
    return goals;
}

// The goals judged on the medians of the wall-clock times (the goals' own
// measure), and beside them on CPU time, which other work on a shared
// machine disturbs less. Peak memory and system calls have no CPU variant.
void WriteGoals(const Options& o, const Results& r, Writer& w)
{
    std::vector<Goal> wall = Goals(r, false);
    std::vector<Goal> cpu = Goals(r, true);
    w.Line("## Goals");
    w.Line("");
    if (o.quick)
        w.Line("Quick run: the corpora are far smaller than the goals assume; these verdicts only show that every "
               "figure is computed.\n");
    w.Line("| goal | measured (wall clock) | verdict | on CPU time | verdict |");
    w.Line("|---|---|---|---|---|");
    for (size_t i = 0; i < wall.size(); ++i) {
        bool same = cpu[i].measured == wall[i].measured;
        w.Line("| " + wall[i].what + " | " + wall[i].measured + " | " + Verdict(wall[i].met) + " | " +
               (same ? "(same)" : cpu[i].measured) + " | " + (same ? "" : Verdict(cpu[i].met)) + " |");
    }
    w.Line("");
}

} // namespace

double Measure::Median() const
{
    return MedianOf(seconds);
}

double Measure::Min() const
{
    return seconds.empty() ? 0 : *std::min_element(seconds.begin(), seconds.end());
}

double Measure::MedianCpu() const
{
    return MedianOf(cpuSeconds);
}

double Measure::MedianPeakMb() const
{
    return MedianOf(peakMb);
}

const char* MethodLabel(const std::string& method)
{
    static const struct {
        const char* method;
        const char* label;
    } kLabels[] = {
        {"noop", "worker that loads nothing"},
        {"scan", "fgets scan, 16 KiB buffer (floor)"},
        {"scancopy", "fgets scan + heap copy of every line"},
        {"ini_ro", "INIStream read-only"},
        {"ini_rw", "INIStream editable"},
        {"inih", "inih ini_parse + copies"},
        {"simpleini", "SimpleIni LoadFile"},
        {"get_ini", "INIStream Get (Text)"},
        {"get_simpleini", "SimpleIni GetValue"},
        {"write_ini", "INIStream WriteBack"},
        {"write_simpleini", "SimpleIni SaveFile"},
    };
    for (const auto& l : kLabels)
        if (method == l.method)
            return l.label;
    return method.c_str();
}

std::string Report(const Options& o, const Results& r)
{
    Writer w;
    WriteRun(o, r, w);
    WriteCorpora(r, w);
    w.Line("## Loads");
    w.Line("");
    w.Line("÷ floor and ÷ scan+copy: this method's time divided by the scan's (how many times slower). "
           "SimpleIni ÷ this and inih ÷ this: the peer's time divided by this method's (above 1: this is faster).");
    w.Line("");
    for (const CorpusRun& c : r.corpora)
        if (!c.scaling)
            WriteLoadTable(c, w);
    WriteScaling(r, w);
    WriteLookupsAndWrites(r, w);
    WriteSyscalls(r, w);
    WriteGoals(o, r, w);
    if (!r.errors.empty()) {
        w.Line("## Errors");
        w.Line("");
        for (const std::string& e : r.errors)
            w.Line("- " + e);
        w.Line("");
    }
    return w.text;
}
