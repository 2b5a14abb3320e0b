// Message boxes on the host: shown as "[caption] text" on stderr, recorded
// for kit_test::MessageBoxes, and appended as one JSON object per box to the
// file named by KIT_MESSAGEBOX_LOG.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/host/internal.h"
#include "platform/testing.h"

namespace {

std::vector<kit_test::ShownBox>& Boxes() {
    static std::vector<kit_test::ShownBox> boxes;
    return boxes;
}

}  // namespace

namespace kit_host {

// Each byte becomes the JSON character of that code point: printable ASCII
// other than the quote and the backslash as itself, all else as \u00XX.
std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            out.push_back(c);
        } else {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            out += escaped;
        }
    }
    out.push_back('"');
    return out;
}

void ResetMessageBoxes() { Boxes().clear(); }

}  // namespace kit_host

namespace {

int ShowBox(const char* function, LPCSTR text, LPCSTR caption, UINT style, WORD language) {
    DWORD error;
    if (kit_host::InjectedFailure(function, &error)) return 0;
    kit_test::ShownBox box;
    box.function = function;
    box.caption = caption ? caption : "Error";  // Windows' caption for a null one
    box.text = text ? text : "";
    box.style = style;
    box.language = language;
    Boxes().push_back(box);
    fprintf(stderr, "[%s] %s\n", box.caption.c_str(), box.text.c_str());
    fflush(stderr);
    const char* log = getenv("KIT_MESSAGEBOX_LOG");
    if (log != nullptr && *log != '\0') {
        FILE* f = fopen(log, "ab");
        if (f == nullptr) {
            fprintf(stderr, "kit message box: cannot append to %s\n", log);
        } else {
            fprintf(f, "{\"caption\": %s, \"text\": %s, \"style\": %u, \"language\": %u}\n",
                    kit_host::JsonString(box.caption).c_str(), kit_host::JsonString(box.text).c_str(), style,
                    static_cast<unsigned>(language));
            fclose(f);
        }
    }
    return IDOK;
}

}  // namespace

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    (void)hWnd;
    return ShowBox("MessageBoxA", lpText, lpCaption, uType, 0);
}

int WINAPI MessageBoxExA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType, WORD wLanguageId) {
    (void)hWnd;
    return ShowBox("MessageBoxExA", lpText, lpCaption, uType, wLanguageId);
}

namespace kit_test {

const std::vector<ShownBox>& MessageBoxes() { return Boxes(); }

}  // namespace kit_test
