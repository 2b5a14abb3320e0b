// Helper program of the process tests. Appends what it was started with to
// the file named by PROBE_OUT: "cwd=<directory>", then "arg=<argument>" for
// each of argv[1..], one per line. Sleeps PROBE_SLEEP_MS milliseconds, then
// exits with PROBE_EXIT (default 0). With PROBE_ENV=NAME it also writes
// "env=<value of NAME>" (or "env-unset").
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* out = getenv("PROBE_OUT");
    if (out != nullptr) {
        FILE* f = fopen(out, "a");
        if (f == nullptr) return 99;
        char cwd[4096];
        fprintf(f, "cwd=%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
        for (int i = 1; i < argc; ++i) fprintf(f, "arg=%s\n", argv[i]);
        const char* name = getenv("PROBE_ENV");
        if (name != nullptr) {
            const char* value = getenv(name);
            if (value) fprintf(f, "env=%s\n", value);
            else fprintf(f, "env-unset\n");
        }
        fclose(f);
    }
    const char* sleepMs = getenv("PROBE_SLEEP_MS");
    if (sleepMs != nullptr) {
        long ms = atol(sleepMs);
        struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
        nanosleep(&ts, nullptr);
    }
    const char* code = getenv("PROBE_EXIT");
    return code ? atoi(code) : 0;
}
