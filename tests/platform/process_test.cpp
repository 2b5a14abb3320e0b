// Processes on the host: CreateProcessA with Windows' program-name rules,
// real start, wait, exit code and current directory, synchronous failures,
// and the simulated mode of the test interface.
#include <gtest/gtest.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        kit_test::Reset();
        env_.Set("PROBE_OUT", dir_ / "out");
        env_.Unset("PROBE_EXIT");
        env_.Unset("PROBE_SLEEP_MS");
        env_.Unset("PROBE_ENV");
    }
    void TearDown() override { kit_test::Reset(); }

    // A copy of the probe program under `name` in the test directory.
    std::string InstallProbe(const std::string& name, int mode = 0755) {
        std::string probe;
        EXPECT_TRUE(ReadFile(KIT_PROBE, &probe));
        std::string path = dir_ / name;
        EXPECT_TRUE(WriteFile(path, probe, mode));
        return path;
    }

    // Starts `commandLine` and waits for it; false when it did not start.
    bool Run(const std::string& commandLine, const char* directory = nullptr, DWORD* exitCode = nullptr) {
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back('\0');
        STARTUPINFOA startup;
        memset(&startup, 0, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info;
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, directory, &startup, &info)) {
            return false;
        }
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, INFINITE));
        DWORD code = 12345;
        EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
        if (exitCode) *exitCode = code;
        EXPECT_TRUE(CloseHandle(info.hProcess));
        EXPECT_TRUE(CloseHandle(info.hThread));
        return true;
    }

    std::string Output() { return ReadFileOrEmpty(dir_ / "out"); }

    TempDir dir_;
    EnvGuard env_;
};

TEST_F(ProcessTest, StartsTheProgramWithItsArgumentsInTheGivenDirectory) {
    TempDir work;
    DWORD code = 0;
    env_.Set("PROBE_EXIT", "7");
    ASSERT_TRUE(Run(std::string("\"") + KIT_PROBE + "\" one \"two three\" fo\\\"ur \"\"", work.path().c_str(), &code));
    EXPECT_EQ(7u, code);
    EXPECT_EQ("cwd=" + work.path() + "\narg=one\narg=two three\narg=fo\"ur\narg=\n", Output());
    const kit_test::StartedProcess& started = kit_test::StartedProcesses().back();
    EXPECT_TRUE(started.succeeded);
    EXPECT_EQ(work.path(), started.currentDirectory);
}

// The launchers join a directory with a backslash: such a directory is
// used with the backslashes read as slashes.
TEST_F(ProcessTest, BackslashesInTheDirectoryAreReadAsSlashes) {
    TempDir work;
    ASSERT_EQ(0, mkdir((work / "sub").c_str(), 0755));
    ASSERT_TRUE(Run(KIT_PROBE, (work.path() + "\\sub\\").c_str()));
    EXPECT_EQ("cwd=" + work.path() + "/sub\n", Output());
}

TEST_F(ProcessTest, WithoutDirectoryTheChildInheritsTheCurrentOne) {
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    ASSERT_TRUE(Run(KIT_PROBE));
    EXPECT_EQ(std::string("cwd=") + cwd + "\n", Output());
}

// Windows' reading of an unquoted program path with blanks: "a", then
// "a b", then "a b c" ...; the first that names an executable file wins.
TEST_F(ProcessTest, UnquotedPathWithBlanksTriesLongerAndLongerPrefixes) {
    InstallProbe("my prog");
    ASSERT_TRUE(Run(dir_ / "my prog arg1  arg2"));
    EXPECT_NE(std::string::npos, Output().find("\narg=arg1\narg=arg2\n"));

    // A plain file that is not executable does not count.
    ASSERT_TRUE(WriteFile(dir_ / "my", "not a program", 0644));
    unlink((dir_ / "out").c_str());
    ASSERT_TRUE(Run(dir_ / "my prog x"));
    EXPECT_NE(std::string::npos, Output().find("\narg=x\n"));

    // An executable "my" comes first, and the rest becomes its arguments.
    InstallProbe("my");
    unlink((dir_ / "out").c_str());
    ASSERT_TRUE(Run(dir_ / "my prog x"));
    EXPECT_NE(std::string::npos, Output().find("\narg=prog\narg=x\n"));

    // Quoted, the name is taken whole.
    unlink((dir_ / "out").c_str());
    ASSERT_TRUE(Run("\"" + (dir_ / "my prog") + "\" x"));
    EXPECT_NE(std::string::npos, Output().find("\narg=x\n"));
    EXPECT_EQ(std::string::npos, Output().find("arg=prog"));
}

TEST_F(ProcessTest, BlanksInADirectoryNameAreFoundTheSameWay) {
    ASSERT_EQ(0, mkdir((dir_ / "Program Files").c_str(), 0755));
    InstallProbe("Program Files/_setup.EXE");
    ASSERT_TRUE(Run(dir_ / "Program Files/_setup.EXE /S "));
    EXPECT_NE(std::string::npos, Output().find("\narg=/S\n"));
    // Written the Windows way, with backslashes.
    unlink((dir_ / "out").c_str());
    ASSERT_TRUE(Run(dir_.path() + "\\Program Files\\_setup.EXE /T"));
    EXPECT_NE(std::string::npos, Output().find("\narg=/T\n"));
}

TEST_F(ProcessTest, ProgramWithoutExtensionIsAlsoFoundWithExe) {
    InstallProbe("unins000.exe");
    ASSERT_TRUE(Run(dir_ / "unins000 /quiet"));
    EXPECT_NE(std::string::npos, Output().find("\narg=/quiet\n"));
}

TEST_F(ProcessTest, RelativeProgramIsFoundFromTheParentsDirectoryNotTheChilds) {
    InstallProbe("rel");
    TempDir work;
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir_.path().c_str()));
    bool started = Run("./rel a", work.path().c_str());
    ASSERT_EQ(0, chdir(cwd));
    ASSERT_TRUE(started);
    EXPECT_EQ("cwd=" + work.path() + "\narg=a\n", Output());
}

struct StartFailure {
    const char* what;
    std::string commandLine;
    std::string directory;  // empty: none
    DWORD error;
};

TEST_F(ProcessTest, FailureToStartIsReportedAtOnce) {
    InstallProbe("good");
    std::string notExecutable = dir_ / "plain";
    ASSERT_TRUE(WriteFile(notExecutable, "#!/bin/sh\n", 0644));
    std::string badFormat = dir_ / "garbage";
    ASSERT_TRUE(WriteFile(badFormat, "\x7f" "ELF but not really", 0755));
    const StartFailure cases[] = {
        {"missing program", dir_ / "missing a b", "", ERROR_FILE_NOT_FOUND},
        {"missing quoted program", "\"" + (dir_ / "good x") + "\"", "", ERROR_FILE_NOT_FOUND},
        {"file without execute permission", notExecutable, "", ERROR_FILE_NOT_FOUND},
        {"directory as program", dir_.path(), "", ERROR_FILE_NOT_FOUND},
        {"not a program the system can run", badFormat, "", ERROR_BAD_EXE_FORMAT},
        {"missing current directory", dir_ / "good", dir_ / "no-such-dir", ERROR_DIRECTORY},
        {"empty command line", "", "", ERROR_FILE_NOT_FOUND},
    };
    for (const StartFailure& row : cases) {
        SCOPED_TRACE(row.what);
        unlink((dir_ / "out").c_str());
        size_t before = kit_test::StartedProcesses().size();
        EXPECT_FALSE(Run(row.commandLine, row.directory.empty() ? nullptr : row.directory.c_str()));
        EXPECT_EQ(row.error, GetLastError());
        EXPECT_FALSE(FileExists(dir_ / "out"));  // nothing ran
        ASSERT_EQ(before + 1, kit_test::StartedProcesses().size());
        EXPECT_FALSE(kit_test::StartedProcesses().back().succeeded);
    }
}

long long Milliseconds() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

TEST_F(ProcessTest, WaitWithTimeOutPollsUntilTheProcessEnds) {
    env_.Set("PROBE_SLEEP_MS", "400");
    env_.Set("PROBE_EXIT", "3");
    char line[512];
    snprintf(line, sizeof line, "%s", KIT_PROBE);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), code);
    long long start = Milliseconds();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(info.hProcess, 50));
    EXPECT_GE(Milliseconds() - start, 50);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(info.hProcess, 0));
    int timeouts = 0;
    DWORD result;
    while ((result = WaitForSingleObject(info.hProcess, 30)) == WAIT_TIMEOUT) {
        ++timeouts;
        Sleep(0);
    }
    EXPECT_EQ(WAIT_OBJECT_0, result);
    EXPECT_GT(timeouts, 3);
    EXPECT_GE(Milliseconds() - start, 350);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hThread, 0));  // the thread handle ends with it
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(3u, code);
    EXPECT_FALSE(GetExitCodeProcess(info.hThread, &code));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_FALSE(CloseHandle(info.hProcess));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(info.hProcess, 0));
    ASSERT_FALSE(kit_test::SleepCalls().empty());
    EXPECT_EQ(0u, kit_test::SleepCalls()[0]);
}

TEST_F(ProcessTest, ApplicationNameIsTheProgramAndTheCommandLineItsArguments) {
    char line[] = "ignored-name \"a b\" c";
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CreateProcessA(KIT_PROBE, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, INFINITE));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_NE(std::string::npos, Output().find("\narg=a b\narg=c\n"));
}

TEST_F(ProcessTest, EnvironmentBlockReplacesTheEnvironment) {
    std::string out = "PROBE_OUT=" + (dir_ / "out");
    std::string block = out + '\0' + "PROBE_ENV=ONLY" + '\0' + "ONLY=yes" + '\0' + '\0';
    char line[512];
    snprintf(line, sizeof line, "%s", KIT_PROBE);
    env_.Set("PROBE_ENV", "HOME");
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, &block[0], nullptr, &startup, &info));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, INFINITE));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_NE(std::string::npos, Output().find("env=yes\n"));
}

TEST_F(ProcessTest, SimulatedProcessesAreRecordedAndEndAfterTheGivenTimeOuts) {
    kit_test::SimulateProcesses(true, 2);
    char line[] = "C:\\Program Files\\App\\_setup.EXE /x";
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = 68;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, "C:\\Program Files\\App\\",
                               &startup, &info));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(info.hProcess, 330));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(info.hProcess, 330));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 330));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(info.hProcess, 330));
    EXPECT_EQ(std::vector<DWORD>(4, 330), kit_test::WaitTimeouts());
    DWORD code = 99;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(0u, code);
    ASSERT_EQ(1u, kit_test::StartedProcesses().size());
    const kit_test::StartedProcess& p = kit_test::StartedProcesses()[0];
    EXPECT_FALSE(p.hasApplicationName);
    EXPECT_EQ(line, p.commandLine);
    EXPECT_TRUE(p.hasCurrentDirectory);
    EXPECT_EQ("C:\\Program Files\\App\\", p.currentDirectory);
    EXPECT_FALSE(p.inheritHandles);
    EXPECT_FALSE(p.hasEnvironment);
    EXPECT_EQ(68u, p.startup.cb);
    EXPECT_EQ(static_cast<DWORD>(STARTF_USESHOWWINDOW), p.startup.dwFlags);
    EXPECT_EQ(SW_SHOW, p.startup.wShowWindow);
    EXPECT_TRUE(p.succeeded);
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
}

TEST_F(ProcessTest, SleepRecordsItsArgumentAndSleeps) {
    long long start = Milliseconds();
    Sleep(0);
    Sleep(30);
    EXPECT_GE(Milliseconds() - start, 30);
    EXPECT_EQ((std::vector<DWORD>{0, 30}), kit_test::SleepCalls());
}

}  // namespace
