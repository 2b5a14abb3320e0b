// The setup launcher's routine against the host platform layer: which notice
// it shows, the command line and directory it starts the installer with, its
// limits, and its wait loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/testing.h"
#include "setup_launcher/setup_launcher.h"

namespace {

const char kOwnPath[] = "C:\\Zelmar\\Disk1\\setup.exe";
const char kInstaller[] = "C:\\Zelmar\\Disk1\\_setup.EXE";

// Code page 1251 to UTF-8 for ASCII and the Cyrillic letters А..я
// (0xC0..0xFF); anything else turns into '?' so that it cannot match.
std::string Cp1251ToUtf8(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= 0xC0) {
            unsigned code = 0x0410 + (c - 0xC0);
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += '?';
        }
    }
    return out;
}

std::string Fill(std::string format, char letter)
{
    for (size_t at = format.find("%c"); at != std::string::npos; at = format.find("%c")) {
        format.replace(at, 2, 1, letter);
    }
    return format;
}

std::string EnglishNotice(char letter)
{
    return Fill(
        "If you get a message\r\n\r\n\"1155: File <path>\\instmsi%c.exe not found\"\r\n\r\n"
        ", you must download the 'instmsi%c.exe' file from the Zelmar WEB site (http://www.zelmar.example/) "
        "and run it before installation.",
        letter);
}

// UTF-8; the launcher shows it as code page 1251.
std::string RussianNotice(char letter)
{
    return Fill(
        "Если во время установки Вы получите сообщение\r\n\r\n\"1155: Файл <path>\\instmsi%c.exe не найден\"\r\n\r\n"
        "то Вам необходимо загрузить файл 'instmsi%c.exe' с сайта фирмы 'Зелмар' (http://www.zelmar.example/) "
        "и запустить его перед установкой.",
        letter);
}

class SetupLauncherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit_test::Reset();
        kit_test::SimulateProcesses(true, 0);
        kit_test::SetModuleFileName(kOwnPath);
        kit_test::SetSystemDefaultLCID(1033);
        kit_test::SetPlatformId(VER_PLATFORM_WIN32_NT);
    }
    void TearDown() override { kit_test::Reset(); }
};

TEST_F(SetupLauncherTest, NoticeFollowsLocaleAndPlatform)
{
    struct Case {
        LCID lcid;
        DWORD platform;
        bool versionFails;
        bool russian;
        char letter;
        const char* what;
    };
    const Case cases[] = {
        {1049, VER_PLATFORM_WIN32_NT, false, true, 'w', "Russian system, NT family"},
        {1049, VER_PLATFORM_WIN32_WINDOWS, false, true, 'a', "Russian system, Windows 95 family"},
        {1033, VER_PLATFORM_WIN32_NT, false, false, 'w', "US English"},
        {1033, VER_PLATFORM_WIN32_WINDOWS, false, false, 'a', "US English, Windows 95 family"},
        {1033, VER_PLATFORM_WIN32s, false, false, 'a', "Win32s counts as not NT"},
        {1058, VER_PLATFORM_WIN32_NT, false, false, 'w', "Ukrainian: Cyrillic but not Russian"},
        {2073, VER_PLATFORM_WIN32_NT, false, false, 'w', "Russian (Moldova) is not 1049"},
        {0x0419 | 0x10000, VER_PLATFORM_WIN32_NT, false, false, 'w', "1049 with a sort id is not 1049 exactly"},
        {0, VER_PLATFORM_WIN32_NT, false, false, 'w', "locale 0"},
        {1049, VER_PLATFORM_WIN32_NT, true, true, 'a', "version query fails: letter a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        kit_test::SetSystemDefaultLCID(c.lcid);
        kit_test::SetPlatformId(c.platform);
        if (c.versionFails) kit_test::FailCall("GetVersionExA", ERROR_INVALID_PARAMETER);

        EXPECT_EQ(0, RunSetupLauncher(""));

        const std::vector<kit_test::ShownBox>& boxes = kit_test::MessageBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ("MessageBoxExA", boxes[0].function);
        EXPECT_EQ("ATTENTION!", boxes[0].caption);
        EXPECT_EQ(48u, boxes[0].style);  // exclamation icon, plain OK button
        EXPECT_EQ(0u, boxes[0].language);
        if (c.russian) {
            EXPECT_EQ(RussianNotice(c.letter), Cp1251ToUtf8(boxes[0].text));
        } else {
            EXPECT_EQ(EnglishNotice(c.letter), boxes[0].text);
        }
        EXPECT_EQ(1u, kit_test::StartedProcesses().size());
    }
}

TEST_F(SetupLauncherTest, RussianNoticeIsCodePage1251Bytes)
{
    kit_test::SetSystemDefaultLCID(1049);
    ASSERT_EQ(0, RunSetupLauncher(""));
    ASSERT_EQ(1u, kit_test::MessageBoxes().size());
    // "Если" in code page 1251, not in UTF-8.
    EXPECT_EQ(0, kit_test::MessageBoxes()[0].text.compare(0, 4, "\xc5\xf1\xeb\xe8"));
}

TEST_F(SetupLauncherTest, StartsInstallerBesideItselfWithItsArguments)
{
    struct Case {
        const char* ownPath;
        const char* arguments;
        const char* commandLine;
        const char* directory;
        const char* what;
    };
    const Case cases[] = {
        {kOwnPath, "", "C:\\Zelmar\\Disk1\\_setup.EXE ", "C:\\Zelmar\\Disk1\\", "no arguments: path and one blank"},
        {kOwnPath, "/s /v\"INSTALLDIR=C:\\Program Files\\Z\"  -x",
         "C:\\Zelmar\\Disk1\\_setup.EXE /s /v\"INSTALLDIR=C:\\Program Files\\Z\"  -x", "C:\\Zelmar\\Disk1\\",
         "arguments passed as received, quotes and inner blanks kept"},
        {"C:\\Program Files\\Zelmar Setup\\setup.exe", "/q",
         "C:\\Program Files\\Zelmar Setup\\_setup.EXE /q", "C:\\Program Files\\Zelmar Setup\\",
         "directory with blanks: path not quoted"},
        {"D:\\SETUP.EXE", "", "D:\\_setup.EXE ", "D:\\", "root of a drive"},
        {"C:/Zelmar/setup.exe", "", "C:/Zelmar/_setup.EXE ", "C:/Zelmar/", "slashes: no backslash added"},
        {"\\\\server\\share\\setup.exe", "", "\\\\server\\share\\_setup.EXE ", "\\\\server\\share\\",
         "network path without a drive"},
        {"/opt/zelmar/setup", "a", "/opt/zelmar/_setup.EXE a", "/opt/zelmar/", "host path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        kit_test::SetModuleFileName(c.ownPath);

        EXPECT_EQ(0, RunSetupLauncher(c.arguments));

        const std::vector<kit_test::StartedProcess>& started = kit_test::StartedProcesses();
        ASSERT_EQ(1u, started.size());
        EXPECT_FALSE(started[0].hasApplicationName);
        EXPECT_EQ(c.commandLine, started[0].commandLine);
        EXPECT_TRUE(started[0].hasCurrentDirectory);
        EXPECT_EQ(c.directory, started[0].currentDirectory);
        EXPECT_FALSE(started[0].inheritHandles);
        EXPECT_EQ(0u, started[0].creationFlags);
        EXPECT_FALSE(started[0].hasEnvironment);
    }
}

TEST_F(SetupLauncherTest, NullArgumentsCountAsEmpty)
{
    EXPECT_EQ(0, RunSetupLauncher(nullptr));
    ASSERT_EQ(1u, kit_test::StartedProcesses().size());
    EXPECT_EQ(std::string(kInstaller) + " ", kit_test::StartedProcesses()[0].commandLine);
}

TEST_F(SetupLauncherTest, StartupRecordAsksToShowTheWindow)
{
    ASSERT_EQ(0, RunSetupLauncher("x"));
    ASSERT_EQ(1u, kit_test::StartedProcesses().size());
    const STARTUPINFOA& si = kit_test::StartedProcesses()[0].startup;
    EXPECT_EQ(sizeof(STARTUPINFOA), si.cb);
    EXPECT_EQ(static_cast<DWORD>(STARTF_USESHOWWINDOW), si.dwFlags);
    EXPECT_EQ(SW_SHOW, si.wShowWindow);
    // Everything else cleared.
    EXPECT_EQ(nullptr, si.lpReserved);
    EXPECT_EQ(nullptr, si.lpDesktop);
    EXPECT_EQ(nullptr, si.lpTitle);
    EXPECT_EQ(0u, si.dwX + si.dwY + si.dwXSize + si.dwYSize + si.dwXCountChars + si.dwYCountChars);
    EXPECT_EQ(0u, si.dwFillAttribute);
    EXPECT_EQ(0u, si.cbReserved2);
    EXPECT_EQ(nullptr, si.lpReserved2);
    EXPECT_EQ(nullptr, si.hStdInput);
    EXPECT_EQ(nullptr, si.hStdOutput);
    EXPECT_EQ(nullptr, si.hStdError);
}

// The installer's path (26 characters here), a blank and the arguments must
// fit into 512 bytes with the terminator; longer arguments start nothing.
TEST_F(SetupLauncherTest, ArgumentsMustFitTheCommandLine)
{
    struct Case {
        size_t argumentLength;
        int result;
        const char* what;
    };
    const size_t room = 511 - (sizeof(kInstaller) - 1) - 1;
    const Case cases[] = {
        {room, 0, "exactly 511 characters"},
        {room + 1, -1, "one character too many"},
        {4000, -1, "far too long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        std::string arguments(c.argumentLength, 'a');

        EXPECT_EQ(c.result, RunSetupLauncher(arguments.c_str()));

        EXPECT_EQ(1u, kit_test::MessageBoxes().size());  // the notice comes first
        if (c.result == 0) {
            ASSERT_EQ(1u, kit_test::StartedProcesses().size());
            EXPECT_EQ(std::string(kInstaller) + " " + arguments, kit_test::StartedProcesses()[0].commandLine);
        } else {
            EXPECT_TRUE(kit_test::StartedProcesses().empty());
            EXPECT_TRUE(kit_test::WaitTimeouts().empty());
        }
    }
}

// The own path comes from a 255-character request: a result that fills it
// may be cut, and the installer's path must fit into 260 bytes.
TEST_F(SetupLauncherTest, OwnPathMustBeWholeAndInstallerPathMustFit)
{
    struct Case {
        std::string ownPath;
        bool moduleNameFails;
        int result;
        const char* what;
    };
    const std::string dir245 = "C:\\" + std::string(245, 'd');
    const std::string dir246 = "C:\\" + std::string(246, 'd');
    const Case cases[] = {
        {dir245 + "\\s", false, 0, "installer path of 259 characters fits"},
        {dir246 + "\\s", false, -1, "installer path of 260 characters does not"},
        // Cut to 254 characters this would name C:\ddd...\, an existing
        // directory that is not the launcher's.
        {"C:\\" + std::string(200, 'd') + "\\" + std::string(60, 'e') + "\\s.exe", false, -1,
         "own path longer than 254: cut by the query"},
        {kOwnPath, true, -1, "module file name query fails"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        kit_test::SetModuleFileName(c.ownPath);
        if (c.moduleNameFails) kit_test::FailCall("GetModuleFileNameA", ERROR_INVALID_PARAMETER);

        EXPECT_EQ(c.result, RunSetupLauncher(""));

        EXPECT_EQ(1u, kit_test::MessageBoxes().size());
        if (c.result == 0) {
            ASSERT_EQ(1u, kit_test::StartedProcesses().size());
            EXPECT_EQ(dir245 + "\\_setup.EXE ", kit_test::StartedProcesses()[0].commandLine);
        } else {
            EXPECT_TRUE(kit_test::StartedProcesses().empty());
        }
    }
}

TEST_F(SetupLauncherTest, FailedStartEndsWithMinusOneAfterTheNotice)
{
    kit_test::FailCall("CreateProcessA", ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(-1, RunSetupLauncher("/s"));

    EXPECT_EQ(1u, kit_test::MessageBoxes().size());
    ASSERT_EQ(1u, kit_test::StartedProcesses().size());
    EXPECT_FALSE(kit_test::StartedProcesses()[0].succeeded);
    EXPECT_TRUE(kit_test::WaitTimeouts().empty());
    EXPECT_TRUE(kit_test::SleepCalls().empty());
}

// N time-outs: N+1 waits of 330 ms with a Sleep(0) between each two.
TEST_F(SetupLauncherTest, WaitsInSlicesUntilTheInstallerEnds)
{
    for (int timeouts : {0, 1, 4}) {
        SCOPED_TRACE(timeouts);
        SetUp();
        kit_test::SimulateProcesses(true, timeouts);

        EXPECT_EQ(0, RunSetupLauncher(""));

        EXPECT_EQ(std::vector<DWORD>(timeouts + 1, 330), kit_test::WaitTimeouts());
        EXPECT_EQ(std::vector<DWORD>(timeouts, 0), kit_test::SleepCalls());
    }
}

TEST_F(SetupLauncherTest, FailedWaitEndsTheLoopAsIfTheInstallerHadEnded)
{
    kit_test::SimulateProcesses(true, 5);
    kit_test::FailCall("WaitForSingleObject", ERROR_INVALID_HANDLE);

    EXPECT_EQ(0, RunSetupLauncher(""));

    EXPECT_EQ(std::vector<DWORD>(1, 330), kit_test::WaitTimeouts());
    EXPECT_TRUE(kit_test::SleepCalls().empty());
}

}  // namespace
