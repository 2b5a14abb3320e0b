// Writing back on a POSIX file system (host only): a write that fails half
// way leaves the old file intact, a file the process may not write is left
// alone, symbolic links are followed, permission bits are kept, and no
// temporary file stays behind.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/ini/access_fixture.h"

using ini_test::IniFiles;
using ini_test::ReadFile;
using ini_test::Reports;

namespace {

class PosixWriteBack : public IniFiles {};

// Runs `body` in a child process and gives its exit code (-1 when it did
// not end normally).
template <class Body>
int InChild(Body body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string OldText() {
    std::string text = "; settings\n[Main]\nname=value\n[[Sub]]\nx=1\n";
    for (int i = 0; i < 200; ++i) text += "[S" + std::to_string(i) + "]\nkey=" + std::string(40, 'v') + "\n";
    return text;
}

TEST_F(PosixWriteBack, AWriteThatFailsHalfWayLeavesTheOldFileIntact) {
    const std::string old = OldText();
    ini_test::WriteFile(Path("test.ini"), old);
    std::string path = Path("test.ini");
    int code = InChild([&] {
        Reports reports;
        INIStream* s = new INIStream(path.c_str(), 0);
        strcpy(s->currentSection, "Main");
        s->Put(INIWriteRequest("name", std::string(100000, 'n').c_str()));
        // From here on no file of this process may grow beyond 20000 bytes.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {20000, 20000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        delete s;
        return reports.Count("me", 5230) == 1 ? 0 : 11;
    });
    EXPECT_EQ(code, 0) << "the child saw no write-back report";
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(Files(), std::vector<std::string>{"test.ini"});
}

TEST_F(PosixWriteBack, AFileThisProcessMayNotWriteIsLeftAlone) {
    const std::string old = "[A]\na=1\n";
    std::string path = Path("test.ini");
    ini_test::WriteFile(path, old);
    chmod(path.c_str(), 0444);
    chmod(dir.c_str(), 0777);  // the folder itself stays writable
    int code = InChild([&] {
        // Root may write any file; the check runs as an ordinary user.
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
        Reports reports;
        INIStream* s = new INIStream(path.c_str(), 0);
        strcpy(s->currentSection, "A");
        s->Put(INIWriteRequest("a", "2"));
        if (s->sectionList.Count() != 1) return 12;  // the file was read
        delete s;
        return reports.Count("me", 5230) == 1 ? 0 : 11;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(Files(), std::vector<std::string>{"test.ini"});
}

TEST_F(PosixWriteBack, SymbolicLinksAreFollowedAndPermissionsKept) {
    std::filesystem::create_directories(dir / "real");
    std::string real = Path("real/target.ini");
    ini_test::WriteFile(real, "[A]\na=1\n");
    chmod(real.c_str(), 0640);
    ASSERT_EQ(symlink("real/target.ini", Path("link.ini").c_str()), 0);
    ASSERT_EQ(symlink("link.ini", Path("link2.ini").c_str()), 0);  // a link to a link
    INIStream* s = new INIStream(Path("link2.ini").c_str(), 0);
    strcpy(s->currentSection, "A");
    s->Put(INIWriteRequest("b", "2"));
    delete s;
    struct stat st;
    ASSERT_EQ(lstat(Path("link2.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(lstat(Path("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(real), "[A]\na=1\nb=2\n");
    EXPECT_EQ(std::filesystem::directory_iterator(dir / "real")->path().filename(), "target.ini");
    // A link to a file that does not exist yet creates that file.
    ASSERT_EQ(symlink("real/new.ini", Path("dangling.ini").c_str()), 0);
    delete new INIStream(Path("dangling.ini").c_str(), 0);
    ASSERT_EQ(lstat(Path("dangling.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "real/new.ini"));
}

TEST_F(PosixWriteBack, NewFilesGetTheUsualMode) {
    mode_t mask = umask(022);
    delete new INIStream(Path("new.ini").c_str(), 0);
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat(Path("new.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(PosixWriteBack, LinkLoopsAndDevicesAreRefused) {
    Reports reports;
    ASSERT_EQ(symlink("loop2.ini", Path("loop1.ini").c_str()), 0);
    ASSERT_EQ(symlink("loop1.ini", Path("loop2.ini").c_str()), 0);
    delete new INIStream(Path("loop1.ini").c_str(), 0);
    EXPECT_EQ(reports.Count("me", 5230), 1);
    ASSERT_EQ(symlink("/dev/null", Path("null.ini").c_str()), 0);
    delete new INIStream(Path("null.ini").c_str(), 0);
    EXPECT_EQ(reports.Count("me", 5230), 2);
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

}  // namespace
