// Ambrel's entry logic against the host platform layer: uninst.ini in a
// temporary installation folder, the registry injected as .reg text, process
// creation recorded instead of performed.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/testing.h"
#include "platform/win32.h"
#include "uninstall_launcher/uninstall_launcher.h"

namespace {

const char kProduct[] = "Zelmar Kit Test 1.0";
const char kUninstallKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// .reg text pieces.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string HexBytes(const std::string& bytes) {
    std::string out;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(pair, sizeof pair, "%s%02x", i == 0 ? "" : ",", (unsigned char)bytes[i]);
        out += pair;
    }
    return out;
}

// A value line: name=data, data already in .reg form.
std::string ValueLine(const std::string& name, const std::string& data) { return Quoted(name) + "=" + data + "\n"; }

std::string StringValue(const std::string& name, const std::string& text) { return ValueLine(name, Quoted(text)); }

// An expandable string (REG_EXPAND_SZ) with its terminator.
std::string ExpandValue(const std::string& name, const std::string& text) {
    return ValueLine(name, "hex(2):" + HexBytes(text + std::string(1, '\0')));
}

// A string value (REG_SZ) whose data are exactly these bytes, stored without
// a terminating zero.
std::string UnterminatedValue(const std::string& name, const std::string& bytes) {
    return ValueLine(name, "hex(1):" + HexBytes(bytes));
}

std::string UninstallKey(const std::string& product, const std::string& values) {
    return "[" + std::string(kUninstallKey) + "\\" + product + "]\n" + values + "\n";
}

std::string Registry(const std::string& keys) {
    return "REGEDIT4\n\n[" + std::string(kUninstallKey) + "]\n\n" + keys;
}

std::string InfoIni(const std::string& productName) { return "[Info]\nProductName=" + productName + "\n"; }

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Each test gets a fresh host layer, an installation folder of its own with
// Ambrel's module file name pointing into it, and recorded process creation.
class UninstallLauncherTest : public ::testing::Test {
protected:
    std::string folder;

    void SetUp() override {
        kit_test::Reset();
        const char* tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp != NULL && tmp[0] != '\0' ? tmp : "/tmp") + "/ambrel_test_XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        folder = name.data();
        kit_test::SetModuleFileName(folder + "/Ambrel.exe");
        kit_test::SimulateProcesses(true);
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        kit_test::Reset();
    }

    std::string IniPath() const { return folder + "/uninst.ini"; }

    void WriteIni(const std::string& text) {
        std::ofstream out(IniPath(), std::ios::binary);
        out << text;
    }

    void LoadRegistry(const std::string& text) { ASSERT_TRUE(kit_test::LoadRegistryText(text)) << text; }

    // Runs the launcher and checks what holds after every run: the file and
    // the registry unchanged, no registry handle left open, the notice shown
    // exactly on failure, one process started on success.
    int Run() {
        bool hadIni = std::filesystem::exists(IniPath());
        std::string iniBefore = hadIni ? ReadFileBytes(IniPath()) : "";
        std::string registryBefore = kit_test::ExportRegistryText();

        int code = RunUninstallLauncher();

        EXPECT_EQ(std::filesystem::exists(IniPath()), hadIni);
        if (hadIni) {
            EXPECT_EQ(ReadFileBytes(IniPath()), iniBefore);
        }
        EXPECT_EQ(kit_test::ExportRegistryText(), registryBefore);
        EXPECT_EQ(kit_test::OpenRegistryHandles(), 0u);
        EXPECT_EQ(kit_test::MessageBoxes().size(), code == -1 ? 1u : 0u);
        if (code == 0) {
            EXPECT_EQ(kit_test::StartedProcesses().size(), 1u);
        }
        return code;
    }

    // The host layer records every CreateProcessA call, a failed one too:
    // `attempts` is the number of calls expected before the notice.
    void ExpectFailureNotice(size_t attempts = 0) {
        ASSERT_EQ(kit_test::MessageBoxes().size(), 1u);
        const kit_test::ShownBox& box = kit_test::MessageBoxes()[0];
        EXPECT_EQ(box.function, "MessageBoxExA");
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.text,
                  "Unable to locate information required for initializing uninstallation. "
                  "Use 'Control Panel' -> 'Add/Remove Programs' to uninstall this product.");
        EXPECT_EQ(box.style, (unsigned)MB_ICONHAND);
        EXPECT_EQ(box.language, 0u);
        EXPECT_EQ(kit_test::StartedProcesses().size(), attempts);
    }

    void ExpectStarted(const std::string& commandLine) {
        EXPECT_TRUE(kit_test::MessageBoxes().empty());
        ASSERT_EQ(kit_test::StartedProcesses().size(), 1u);
        EXPECT_EQ(kit_test::StartedProcesses()[0].commandLine, commandLine);
    }
};

struct RunCase {
    const char* what;
    std::string ini;       // "" for no uninst.ini at all
    std::string registry;  // .reg text
    bool starts;
    std::string commandLine;  // when it starts
};

std::vector<RunCase> RunCases() {
    const std::string plain = "C:\\Zelmar\\uninstall.exe /S";
    const std::string registered = Registry(UninstallKey(kProduct, StringValue("UninstallString", plain)));
    const std::string longName(260, 'n');
    const std::string longestName(259, 'n');
    const std::string longestCommand = "C:\\u.exe " + std::string(1023 - 9, 'x');
    return {
        // The product name is not there.
        {"no uninst.ini beside the launcher", "", registered, false, ""},
        {"ProductName in a section other than Info", "[General]\nProductName=" + std::string(kProduct) + "\n",
         registered, false, ""},
        {"section name differs in letter case", "[info]\nProductName=" + std::string(kProduct) + "\n", registered,
         false, ""},
        {"item name differs in letter case", "[Info]\nproductname=" + std::string(kProduct) + "\n", registered,
         false, ""},
        {"empty file", "\n", registered, false, ""},
        // An empty name must not reach the registry: the Uninstall key itself
        // carries a command here.
        {"empty ProductName", InfoIni(""),
         Registry("[" + std::string(kUninstallKey) + "]\n" + StringValue("UninstallString", plain) + "\n"), false,
         ""},
        // Cutting the name would name another product's key, present here.
        {"ProductName of 260 characters", InfoIni(longName),
         Registry(UninstallKey(longestName, StringValue("UninstallString", plain))), false, ""},

        // The registry does not hold a usable command.
        {"no uninstall key for the product", InfoIni(kProduct),
         Registry(UninstallKey("Another Product", StringValue("UninstallString", plain))), false, ""},
        {"UninstallString missing", InfoIni(kProduct),
         Registry(UninstallKey(kProduct, StringValue("DisplayName", "Zelmar Kit"))), false, ""},
        {"UninstallString empty", InfoIni(kProduct), Registry(UninstallKey(kProduct, StringValue("UninstallString", ""))),
         false, ""},
        {"UninstallString of 1024 characters, 1025 bytes with its terminator", InfoIni(kProduct),
         Registry(UninstallKey(kProduct, StringValue("UninstallString", longestCommand + "x"))), false, ""},
        {"UninstallString of exactly 1024 bytes without a terminator", InfoIni(kProduct),
         Registry(UninstallKey(kProduct, UnterminatedValue("UninstallString", std::string(1024, 'a')))), false, ""},

        // Started exactly as stored.
        {"plain command", InfoIni(kProduct), registered, true, plain},
        {"unquoted program path with blanks", InfoIni(kProduct),
         Registry(UninstallKey(kProduct, StringValue("UninstallString",
                                                     "C:\\Program Files\\Zelmar Kit\\uninstall.exe /S /log=a b.txt"))),
         true, "C:\\Program Files\\Zelmar Kit\\uninstall.exe /S /log=a b.txt"},
        {"quoted program path", InfoIni(kProduct),
         Registry(UninstallKey(kProduct, StringValue("UninstallString", "\"C:\\Program Files\\Zelmar\\u.exe\" -x"))),
         true, "\"C:\\Program Files\\Zelmar\\u.exe\" -x"},
        {"expandable string passed unexpanded", InfoIni(kProduct),
         Registry(UninstallKey(kProduct, ExpandValue("UninstallString", "%ProgramFiles%\\Zelmar\\uninstall.exe /S"))),
         true, "%ProgramFiles%\\Zelmar\\uninstall.exe /S"},
        {"UninstallString of 1023 characters", InfoIni(kProduct),
         Registry(UninstallKey(kProduct, StringValue("UninstallString", longestCommand))), true, longestCommand},
        // Without being ended where its data end, the value would run on into
        // the key path that filled the buffer before.
        {"short UninstallString stored without a terminator", InfoIni(kProduct),
         Registry(UninstallKey(kProduct, UnterminatedValue("UninstallString", "C:\\u.exe"))), true, "C:\\u.exe"},
        {"ProductName of 259 characters", InfoIni(longestName),
         Registry(UninstallKey(longestName, StringValue("UninstallString", plain))), true, plain},
        {"product name with blanks and other sections and items around",
         "; written by the installer\n[Setup]\nProductName=Other\n[Info]\nVersion=1.0\nProductName=" +
             std::string(kProduct) + "\nPublisher=Zelmar\n[Files]\nCount=3\n",
         registered, true, plain},
    };
}

TEST_F(UninstallLauncherTest, EachRunEndsInTheNoticeOrOneStartedCommand) {
    for (const RunCase& c : RunCases()) {
        SCOPED_TRACE(c.what);
        kit_test::Reset();
        kit_test::SetModuleFileName(folder + "/Ambrel.exe");
        kit_test::SimulateProcesses(true);
        unlink(IniPath().c_str());
        if (!c.ini.empty()) WriteIni(c.ini);
        LoadRegistry(c.registry);

        int code = Run();

        if (c.starts) {
            EXPECT_EQ(code, 0);
            ExpectStarted(c.commandLine);
        } else {
            EXPECT_EQ(code, -1);
            ExpectFailureNotice();
        }
    }
}

TEST_F(UninstallLauncherTest, StartsTheCommandWithDefaultsAndDoesNotWaitForIt) {
    WriteIni(InfoIni(kProduct));
    LoadRegistry(Registry(UninstallKey(kProduct, StringValue("UninstallString", "C:\\Zelmar\\uninstall.exe /S"))));
    // The simulated uninstaller would still be running for a thousand waits.
    kit_test::SimulateProcesses(true, 1000);

    EXPECT_EQ(Run(), 0);

    ASSERT_EQ(kit_test::StartedProcesses().size(), 1u);
    const kit_test::StartedProcess& p = kit_test::StartedProcesses()[0];
    EXPECT_FALSE(p.hasApplicationName);
    EXPECT_EQ(p.commandLine, "C:\\Zelmar\\uninstall.exe /S");
    // The uninstaller inherits the launcher's current directory and
    // environment, not the launcher's own folder.
    EXPECT_FALSE(p.hasCurrentDirectory);
    EXPECT_FALSE(p.hasEnvironment);
    EXPECT_FALSE(p.inheritHandles);
    EXPECT_EQ(p.creationFlags, 0u);

    STARTUPINFOA expected;
    memset(&expected, 0, sizeof expected);
    expected.cb = sizeof expected;
    expected.dwFlags = STARTF_USESHOWWINDOW;
    expected.wShowWindow = SW_SHOW;
    EXPECT_EQ(memcmp(&p.startup, &expected, sizeof expected), 0) << "start-up record: cb " << p.startup.cb
                                                                 << ", flags " << p.startup.dwFlags << ", show "
                                                                 << p.startup.wShowWindow;

    EXPECT_TRUE(kit_test::WaitTimeouts().empty());
    EXPECT_TRUE(kit_test::SleepCalls().empty());
}

// A Windows call on the road fails although everything is in place.
TEST_F(UninstallLauncherTest, AFailedWindowsCallEndsInTheNotice) {
    struct Case {
        const char* function;
        DWORD error;
        const char* what;
    } cases[] = {
        {"RegOpenKeyExA", ERROR_ACCESS_DENIED, "all-access rights refused for the uninstall key"},
        {"RegQueryValueExA", ERROR_ACCESS_DENIED, "the value cannot be read"},
        {"CreateProcessA", ERROR_FILE_NOT_FOUND, "the command names a program that does not exist"},
        {"GetModuleFileNameA", ERROR_INSUFFICIENT_BUFFER, "the own path is not available"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kit_test::Reset();
        kit_test::SetModuleFileName(folder + "/Ambrel.exe");
        kit_test::SimulateProcesses(true);
        WriteIni(InfoIni(kProduct));
        LoadRegistry(Registry(UninstallKey(kProduct, StringValue("UninstallString", "C:\\Zelmar\\uninstall.exe"))));
        kit_test::FailCall(c.function, c.error);

        EXPECT_EQ(Run(), -1);
        ExpectFailureNotice(strcmp(c.function, "CreateProcessA") == 0 ? 1 : 0);
    }
}

// An own path of 255 characters or more comes back cut. Cut inside a
// directory name, its directory part is a parent folder, here one that holds
// another product's uninst.ini: that product's uninstaller must not start.
TEST_F(UninstallLauncherTest, AnOwnPathCutAt255CharactersEndsInTheNotice) {
    std::string ownPath = folder + "/" + std::string(240, 'd') + "/Ambrel.exe";
    ASSERT_LT(folder.size() + 1, 254u);
    WriteIni(InfoIni(kProduct));
    LoadRegistry(Registry(UninstallKey(kProduct, StringValue("UninstallString", "C:\\Zelmar\\uninstall.exe"))));
    kit_test::SetModuleFileName(ownPath);

    EXPECT_EQ(Run(), -1);
    ExpectFailureNotice();
}

TEST_F(UninstallLauncherTest, AnOwnPathOf254CharactersIsUsed) {
    std::string deep = folder + "/" + std::string(254 - 11 - folder.size() - 1, 'd');
    ASSERT_TRUE(std::filesystem::create_directory(deep));
    std::string ownPath = deep + "/Ambrel.exe";
    ASSERT_EQ(ownPath.size(), 254u);
    {
        std::ofstream out(deep + "/uninst.ini", std::ios::binary);
        out << InfoIni(kProduct);
    }
    LoadRegistry(Registry(UninstallKey(kProduct, StringValue("UninstallString", "C:\\Zelmar\\uninstall.exe"))));
    kit_test::SetModuleFileName(ownPath);

    EXPECT_EQ(RunUninstallLauncher(), 0);
    ExpectStarted("C:\\Zelmar\\uninstall.exe");
}

TEST(ComposeIniPathTest, PutsUninstIniIntoTheLaunchersOwnDirectory) {
    struct Case {
        const char* ownPath;
        const char* iniPath;
    } cases[] = {
        {"C:\\Program Files\\Zelmar\\Ambrel.exe", "C:\\Program Files\\Zelmar\\uninst.ini"},
        // Started through a network path: no drive letter.
        {"\\\\server\\share\\Zelmar\\Ambrel.exe", "\\\\server\\share\\Zelmar\\uninst.ini"},
        {"C:/Zelmar/Ambrel.exe", "C:/Zelmar/uninst.ini"},
        {"/opt/zelmar/Ambrel", "/opt/zelmar/uninst.ini"},
        {"C:\\Ambrel.exe", "C:\\uninst.ini"},
        // A drive with no directory, and no directory at all.
        {"C:Ambrel.exe", "C:uninst.ini"},
        {"Ambrel.exe", "uninst.ini"},
        // A dot in a directory name is not an extension.
        {"D:\\Zelmar.Kit\\v1.0\\Ambrel", "D:\\Zelmar.Kit\\v1.0\\uninst.ini"},
    };
    for (const Case& c : cases) {
        char iniPath[260];
        memset(iniPath, 'X', sizeof iniPath);
        EXPECT_EQ(ComposeIniPath(c.ownPath, iniPath), 1) << c.ownPath;
        EXPECT_STREQ(iniPath, c.iniPath) << c.ownPath;
    }
}

TEST(ComposeIniPathTest, RefusesAPathThatWouldNotFitInto260Bytes) {
    // "C:\" + 245 characters + "\" + "uninst.ini" is 259 characters: fits.
    std::string fits = "C:\\" + std::string(245, 'd') + "\\Ambrel.exe";
    std::string tooLong = "C:\\" + std::string(246, 'd') + "\\Ambrel.exe";
    char iniPath[261];
    iniPath[260] = '#';

    EXPECT_EQ(ComposeIniPath(fits.c_str(), iniPath), 1);
    EXPECT_EQ(strlen(iniPath), 259u);
    EXPECT_EQ(ComposeIniPath(tooLong.c_str(), iniPath), 0);
    EXPECT_STREQ(iniPath, "");
    EXPECT_EQ(iniPath[260], '#');
}

}  // namespace
