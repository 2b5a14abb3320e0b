// Processes on the host: CreateProcessA starts a real program with fork and
// exec (or only records the call when processes are simulated); process
// handles, waits with a time-out, exit codes and Sleep.
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/host/cmdline.h"
#include "platform/host/internal.h"
#include "platform/testing.h"

namespace {

// One started process, shared by its process and thread handles.
struct ProcessRecord {
    pid_t pid = 0;
    bool simulated = false;
    int timeoutsLeft = 0;  // simulated: waits that still time out
    bool ended = false;
    DWORD exitCode = 0;
};

// What a HANDLE points to. Both handles of one process share the record.
struct ProcessHandle {
    std::shared_ptr<ProcessRecord> process;
    bool isThread;
};

struct ProcessState {
    std::set<ProcessHandle*> handles;
    std::vector<kit_test::StartedProcess> started;
    std::vector<DWORD> waits;
    std::vector<DWORD> sleeps;
    bool simulate = false;
    int simulatedTimeouts = 0;
    std::vector<pid_t> unreaped;  // children whose handles were all closed
};

ProcessState& State() {
    static ProcessState state;
    return state;
}

void ReapClosedChildren() {
    std::vector<pid_t>& pids = State().unreaped;
    for (size_t i = 0; i < pids.size();) {
        if (waitpid(pids[i], nullptr, WNOHANG) != 0) pids.erase(pids.begin() + i);
        else ++i;
    }
}

DWORD ExitCodeFromStatus(int status) {
    if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return 128u + static_cast<DWORD>(WTERMSIG(status));
    return 0;
}

// Polls a real child once (or waits for it when `block`); true when ended.
bool Poll(ProcessRecord* process, bool block) {
    if (process->ended) return true;
    int status = 0;
    pid_t r;
    do {
        r = waitpid(process->pid, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return false;
    process->ended = true;
    process->exitCode = (r < 0) ? 0 : ExitCodeFromStatus(status);
    return true;
}

ProcessHandle* FindHandle(HANDLE h) {
    ProcessHandle* handle = static_cast<ProcessHandle*>(h);
    return State().handles.count(handle) ? handle : nullptr;
}

HANDLE NewHandle(const std::shared_ptr<ProcessRecord>& process, bool isThread) {
    ProcessHandle* handle = new ProcessHandle{process, isThread};
    State().handles.insert(handle);
    return handle;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string CurrentDirectory() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? std::string(buffer) + "/" : std::string();
}

// One spelling of a program name: a name with a slash is taken relative to
// the current directory; a bare name is looked for as Windows does, in the
// program's own directory, the current directory, then the PATH.
bool FindSpelling(const std::string& name, std::string* path) {
    if (name.empty()) return false;
    std::vector<std::string> places;
    if (name[0] == '/') {
        places.push_back("");
    } else if (name.find('/') != std::string::npos) {
        places.push_back(CurrentDirectory());
    } else {
        places.push_back(DirectoryOf(kit_host::ModuleFileName()));
        places.push_back(CurrentDirectory());
        const char* env = getenv("PATH");
        std::string list = env ? env : "";
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos) end = list.size();
            if (end > start) places.push_back(list.substr(start, end - start) + "/");
            start = end + 1;
        }
    }
    for (const std::string& place : places) {
        if (IsExecutableFile(place + name)) {
            *path = place + name;
            return true;
        }
    }
    return false;
}

// A program name as Windows finds it: as written, else with ".exe" added
// when the file name has no extension. Backslashes, which a Windows command
// line may carry, are also tried as slashes.
bool FindProgram(const std::string& name, std::string* path) {
    std::vector<std::string> spellings(1, name);
    std::string slashed = name;
    for (char& c : slashed) {
        if (c == '\\') c = '/';
    }
    if (slashed != name) spellings.push_back(slashed);
    size_t count = spellings.size();
    for (size_t i = 0; i < count; ++i) {
        std::string base = spellings[i].substr(spellings[i].rfind('/') + 1);
        if (base.find('.') == std::string::npos) spellings.push_back(spellings[i] + ".exe");
    }
    for (const std::string& spelling : spellings) {
        if (FindSpelling(spelling, path)) return true;
    }
    return false;
}

// The program of a command line without application name: a quoted first
// token is the program; an unquoted one with blanks behind it is tried as
// successively longer prefixes ("a", "a b", "a b c", ...), the first that
// names an executable file wins. *rest: offset of the arguments' text.
bool ResolveCommandLine(const std::string& line, std::string* path, std::string* token, size_t* rest) {
    size_t start = 0;
    while (start < line.size() && kit_host::IsArgumentBlank(line[start])) ++start;
    if (start < line.size() && line[start] == '"') {
        *token = kit_host::ProgramToken(line, rest);
        return FindProgram(*token, path);
    }
    size_t end = start;
    while (end <= line.size()) {
        while (end < line.size() && !kit_host::IsArgumentBlank(line[end])) ++end;
        *token = line.substr(start, end - start);
        *rest = end;
        if (FindProgram(*token, path)) return true;
        if (end == line.size()) break;
        while (end < line.size() && kit_host::IsArgumentBlank(line[end])) ++end;
        if (end == line.size()) break;
    }
    return false;
}

std::string Absolute(const std::string& path) { return path[0] == '/' ? path : CurrentDirectory() + path; }

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The current directory for the child: as given, or with backslashes read
// as slashes when only that spelling names a directory (a Windows-style
// path such as "dir\sub\"). A directory that does not exist is passed on
// as given, and the child's chdir reports it.
std::string ChildDirectory(const char* directory) {
    std::string given = directory;
    if (IsDirectory(given)) return given;
    std::string slashed = given;
    for (char& c : slashed) {
        if (c == '\\') c = '/';
    }
    return IsDirectory(slashed) ? slashed : given;
}

// An environment block: "NAME=value" strings, each ended by a zero byte,
// the whole ended by one more zero byte.
std::vector<std::string> EnvironmentStrings(const char* block) {
    std::vector<std::string> strings;
    while (*block != '\0') {
        strings.push_back(block);
        block += strings.back().size() + 1;
    }
    return strings;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(&s[0]);
    pointers.push_back(nullptr);
    return pointers;
}

// What the child reports through the pipe when it cannot run the program.
struct ChildFailure {
    int stage;  // 1: chdir, 2: exec
    int err;
};

// Forks and execs; the child writes a ChildFailure to a close-on-exec pipe
// if chdir or exec fails, so the parent learns of it before returning.
DWORD Spawn(const std::string& path, std::vector<std::string> argv, const char* directory,
            const char* environment, pid_t* pid) {
    std::vector<std::string> envStrings;
    if (environment != nullptr) envStrings = EnvironmentStrings(environment);
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> envp = Pointers(envStrings);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return kit_host::ErrorFromErrno(errno);
    pid_t child = fork();
    if (child < 0) {
        int err = errno;
        close(fds[0]);
        close(fds[1]);
        return kit_host::ErrorFromErrno(err);
    }
    if (child == 0) {
        ChildFailure failure = {1, 0};
        if (directory == nullptr || chdir(directory) == 0) {
            failure.stage = 2;
            if (environment != nullptr) execve(path.c_str(), args.data(), envp.data());
            else execv(path.c_str(), args.data());
        }
        failure.err = errno;
        ssize_t written = write(fds[1], &failure, sizeof failure);
        (void)written;
        _exit(127);
    }
    close(fds[1]);
    ChildFailure failure = {0, 0};
    ssize_t n;
    do {
        n = read(fds[0], &failure, sizeof failure);
    } while (n < 0 && errno == EINTR);
    close(fds[0]);
    if (n <= 0) {
        *pid = child;
        return ERROR_SUCCESS;
    }
    waitpid(child, nullptr, 0);
    if (failure.stage == 1) return ERROR_DIRECTORY;
    return kit_host::ErrorFromErrno(failure.err);
}

// Finds the program and its arguments for a real start.
DWORD PrepareStart(LPCSTR applicationName, LPCSTR commandLine, std::string* path, std::vector<std::string>* argv) {
    if (applicationName != nullptr) {
        if (!FindProgram(applicationName, path)) return ERROR_FILE_NOT_FOUND;
        if (commandLine != nullptr) *argv = kit_host::SplitCommandLine(commandLine);
        if (argv->empty() || commandLine == nullptr) argv->assign(1, applicationName);
        return ERROR_SUCCESS;
    }
    std::string token;
    size_t rest = 0;
    std::string line = commandLine;
    if (!ResolveCommandLine(line, path, &token, &rest)) return ERROR_FILE_NOT_FOUND;
    argv->assign(1, token);
    std::vector<std::string> others = kit_host::SplitArguments(line.substr(rest));
    argv->insert(argv->end(), others.begin(), others.end());
    return ERROR_SUCCESS;
}

kit_test::StartedProcess Record(LPCSTR applicationName, LPCSTR commandLine, BOOL inheritHandles, DWORD flags,
                                LPVOID environment, LPCSTR directory, LPSTARTUPINFOA startup) {
    kit_test::StartedProcess record;
    record.hasApplicationName = applicationName != nullptr;
    record.applicationName = applicationName ? applicationName : "";
    record.commandLine = commandLine ? commandLine : "";
    record.hasCurrentDirectory = directory != nullptr;
    record.currentDirectory = directory ? directory : "";
    record.inheritHandles = inheritHandles != 0;
    record.creationFlags = flags;
    record.hasEnvironment = environment != nullptr;
    memset(&record.startup, 0, sizeof record.startup);
    if (startup != nullptr) record.startup = *startup;
    record.succeeded = false;
    return record;
}

}  // namespace

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes, LPSECURITY_ATTRIBUTES lpThreadAttributes,
                           BOOL bInheritHandles, DWORD dwCreationFlags, LPVOID lpEnvironment,
                           LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
    (void)lpProcessAttributes;
    (void)lpThreadAttributes;
    ProcessState& state = State();
    ReapClosedChildren();
    state.started.push_back(Record(lpApplicationName, lpCommandLine, bInheritHandles, dwCreationFlags,
                                   lpEnvironment, lpCurrentDirectory, lpStartupInfo));
    DWORD error;
    if (kit_host::InjectedFailure("CreateProcessA", &error)) return FALSE;
    if ((lpApplicationName == nullptr && lpCommandLine == nullptr) || lpProcessInformation == nullptr) {
        kit_host::SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<ProcessRecord> process(new ProcessRecord());
    if (state.simulate) {
        process->simulated = true;
        process->timeoutsLeft = state.simulatedTimeouts;
    } else {
        std::string path;
        std::vector<std::string> argv;
        error = PrepareStart(lpApplicationName, lpCommandLine, &path, &argv);
        if (error == ERROR_SUCCESS) {
            std::string directory = lpCurrentDirectory ? ChildDirectory(lpCurrentDirectory) : std::string();
            error = Spawn(Absolute(path), argv, lpCurrentDirectory ? directory.c_str() : nullptr,
                          static_cast<const char*>(lpEnvironment), &process->pid);
        }
        if (error != ERROR_SUCCESS) {
            kit_host::SetLastErrorCode(error);
            return FALSE;
        }
    }
    static DWORD nextSimulatedId = 1000;
    DWORD id = process->simulated ? nextSimulatedId++ : static_cast<DWORD>(process->pid);
    lpProcessInformation->hProcess = NewHandle(process, false);
    lpProcessInformation->hThread = NewHandle(process, true);
    lpProcessInformation->dwProcessId = id;
    lpProcessInformation->dwThreadId = id;
    state.started.back().succeeded = true;
    return TRUE;
}

namespace {

long long NowMilliseconds() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SleepMilliseconds(long long ms) {
    struct timespec ts = {static_cast<time_t>(ms / 1000), static_cast<long>((ms % 1000) * 1000000)};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

DWORD WaitSimulated(ProcessRecord* process, DWORD ms) {
    if (!process->ended && process->timeoutsLeft > 0 && ms != INFINITE) {
        --process->timeoutsLeft;
        return WAIT_TIMEOUT;
    }
    process->ended = true;
    return WAIT_OBJECT_0;
}

// Polls the child until it ends or `ms` have passed.
DWORD WaitReal(ProcessRecord* process, DWORD ms) {
    if (ms == INFINITE) {
        Poll(process, true);
        return WAIT_OBJECT_0;
    }
    long long deadline = NowMilliseconds() + ms;
    while (!Poll(process, false)) {
        long long left = deadline - NowMilliseconds();
        if (left <= 0) return WAIT_TIMEOUT;
        SleepMilliseconds(left < 2 ? left : 2);
    }
    return WAIT_OBJECT_0;
}

}  // namespace

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    State().waits.push_back(dwMilliseconds);
    DWORD error;
    if (kit_host::InjectedFailure("WaitForSingleObject", &error)) return WAIT_FAILED;
    ProcessHandle* handle = FindHandle(hHandle);
    if (handle == nullptr) {
        kit_host::SetLastErrorCode(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    ProcessRecord* process = handle->process.get();
    return process->simulated ? WaitSimulated(process, dwMilliseconds) : WaitReal(process, dwMilliseconds);
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    DWORD error;
    if (kit_host::InjectedFailure("GetExitCodeProcess", &error)) return FALSE;
    ProcessHandle* handle = FindHandle(hProcess);
    if (handle == nullptr || handle->isThread) {
        kit_host::SetLastErrorCode(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpExitCode == nullptr) {
        kit_host::SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ProcessRecord* process = handle->process.get();
    if (!process->simulated) Poll(process, false);
    *lpExitCode = process->ended ? process->exitCode : STILL_ACTIVE;
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    DWORD error;
    if (kit_host::InjectedFailure("CloseHandle", &error)) return FALSE;
    ProcessHandle* handle = FindHandle(hObject);
    if (handle == nullptr) {
        kit_host::SetLastErrorCode(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    State().handles.erase(handle);
    ProcessRecord* process = handle->process.get();
    if (handle->process.use_count() == 1 && !process->simulated && !Poll(process, false)) {
        State().unreaped.push_back(process->pid);
    }
    delete handle;
    return TRUE;
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    State().sleeps.push_back(dwMilliseconds);
    DWORD error;
    if (kit_host::InjectedFailure("Sleep", &error)) return;
    if (dwMilliseconds == 0) sched_yield();
    else SleepMilliseconds(dwMilliseconds);
}

namespace kit_host {

void ResetProcesses() {
    ProcessState& state = State();
    for (ProcessHandle* handle : state.handles) {
        if (handle->process.use_count() == 1 && !handle->process->simulated && !handle->process->ended) {
            state.unreaped.push_back(handle->process->pid);
        }
        delete handle;
    }
    state.handles.clear();
    state.started.clear();
    state.waits.clear();
    state.sleeps.clear();
    state.simulate = false;
    state.simulatedTimeouts = 0;
    ReapClosedChildren();
}

}  // namespace kit_host

namespace kit_test {

const std::vector<StartedProcess>& StartedProcesses() { return State().started; }

void SimulateProcesses(bool on, int timeoutsBeforeEnd) {
    State().simulate = on;
    State().simulatedTimeouts = timeoutsBeforeEnd;
}

const std::vector<DWORD>& WaitTimeouts() { return State().waits; }
const std::vector<DWORD>& SleepCalls() { return State().sleeps; }

}  // namespace kit_test
