// libFuzzer target of the host layer's text readers. The first byte picks
// the check:
// - even: the .reg reader must not crash on any text; text it accepts is
//   written, read again and written again, and both writes must agree;
// - odd: splitting any command line must not crash, and quoting the input
//   as one argument must split back into exactly that argument.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/host/cmdline.h"
#include "platform/host/regtree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] % 2 == 0) {
        kit_host::RegTree tree;
        std::string error;
        int line = 0;
        if (!kit_host::ParseRegText(text, &tree, &error, &line)) return 0;
        std::string first = kit_host::WriteRegText(tree, true);
        kit_host::RegTree again;
        if (!kit_host::ParseRegText(first, &again, &error, &line)) abort();
        if (kit_host::WriteRegText(again, true) != first) abort();
    } else {
        kit_host::SplitCommandLine(text);
        std::string argument = text.substr(0, text.find('\0'));
        std::vector<std::string> back = kit_host::SplitArguments(kit_host::QuoteArgument(argument));
        if (back.size() != 1 || back[0] != argument) abort();
    }
    return 0;
}
