// The host entry of GUI programs: Windows hands a GUI program its command
// line as one text, so main() rebuilds that text from argv (arguments after
// the program name, quoted where Windows' rules need it) and calls WinMain.
#include <string>
#include <vector>

#include "platform/host/cmdline.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
    std::string line = kit_host::JoinArguments(argc, argv, 1);
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    return WinMain(0, 0, buffer.data(), SW_SHOW);
}
