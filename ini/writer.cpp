// Writing an INIStream back into its file.
//
// WriteBack never writes into the file itself: the text goes to a temporary
// file beside it, which replaces the file only when every write and the close
// succeeded (platform/file_replace.h). Any failure, including a file that
// cannot be written at all, is reported as ReportMessage("me", 5230, fileName)
// and leaves the file as it was.
//
// Print writes, per section: an empty line when the last line written by this
// stream was a name=value line, the header with depth + 1 brackets on each
// side, one line per item (name=value, or the kept text of a non-item line),
// then the nested block, itself preceded by an empty line after a name=value
// line. The depth-0 stream writes its kept leading lines first and its kept
// trailing lines last. Names and values go out unchanged; a line whose text
// ends in CR gets one more CR before its LF on hosts whose text mode does not
// add one, so that reading drops only that one.
#include <string.h>

#include "foundation/diagnostics.h"
#include "foundation/strings.h"
#include "ini/inistream.h"
#include "platform/file_replace.h"

namespace {

const int kWriteBackError = 5230;
const size_t kBufferSize = 16384;

// Collects the output in one buffer and hands it to the file in large
// pieces, so that a line costs a few memcpy calls and no formatting.
class OutputSink {
public:
    explicit OutputSink(FILE* file_) : file(file_), used(0), addCR(TextModeWritesCRLF() == 0) {}
    ~OutputSink() { Flush(); }

    void Put(const char* text, size_t length) {
        if (length == 0) {
            return;
        }
        if (length > kBufferSize - used) {
            Flush();
            if (length >= kBufferSize) {
                fwrite(text, 1, length, file);
                return;
            }
        }
        memcpy(buffer + used, text, length);
        used += length;
    }
    void Put(const char* text) { Put(text, strlen(text)); }
    void Put(char c) {
        if (used == kBufferSize) {
            Flush();
        }
        buffer[used++] = c;
    }
    // Ends a line whose text was `text`. A text ending in CR gets a CR of
    // its own before the LF where the file does not add one, because the
    // reader takes CR LF for a line end and would drop the text's CR.
    void EndLine(const char* text, size_t length) {
        if (addCR && length != 0 && text[length - 1] == '\r') {
            Put('\r');
        }
        Put('\n');
    }
    void Repeat(char c, unsigned count) {
        while (count-- != 0) {
            Put(c);
        }
    }
    void Flush() {
        if (used != 0) {
            fwrite(buffer, 1, used, file);
            used = 0;
        }
    }

private:
    FILE* file;
    size_t used;
    bool addCR;
    char buffer[kBufferSize];

    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;
};

// Each kept line's text and a line end.
void PrintLines(const SContainer& lines, OutputSink& out) {
    for (uint32_t i = 0; i < lines.count; ++i) {
        const Istr* line = static_cast<const Istr*>(lines.items[i]);
        const char* text = line != nullptr && line->text != nullptr ? line->text : "";
        size_t length = strlen(text);
        out.Put(text, length);
        out.EndLine(text, length);
    }
}

// The items of one section; returns whether the last line was name=value
// (`afterItem` when the section has no items).
bool PrintItems(const SectionItem& section, OutputSink& out, bool afterItem) {
    for (uint32_t i = 0; i < section.itemList.Count(); ++i) {
        const INIItem* item = section.itemList.At(i);
        const char* name = item->Name();
        const char* value = item->GetValue();
        if (name[0] != 0) {
            out.Put(name);
            out.Put('=');
            afterItem = true;
        } else {
            afterItem = false;
        }
        size_t length = value != nullptr ? strlen(value) : 0;
        out.Put(value, length);
        out.EndLine(value, length);
    }
    return afterItem;
}

void PrintSections(const INIStream& stream, OutputSink& out) {
    bool afterItem = false;
    unsigned brackets = unsigned(stream.depth) + 1;
    for (uint32_t i = 0; i < stream.sectionList.count; ++i) {
        const SectionItem* section = static_cast<const SectionItem*>(stream.sectionList.items[i]);
        if (afterItem) {
            out.Put('\n');
        }
        out.Repeat('[', brackets);
        out.Put(section->Name());
        out.Repeat(']', brackets);
        out.Put('\n');
        afterItem = PrintItems(*section, out, afterItem);
        if (section->nestedStream != nullptr) {
            if (afterItem) {
                out.Put('\n');
            }
            PrintSections(*section->nestedStream, out);
            afterItem = false;
        }
    }
}

}  // namespace

void INIStream::Print(FILE* file) {
    if (file == nullptr) {
        return;
    }
    OutputSink out(file);  // on the stack: nothing here can fail to allocate
    PrintLines(leadingLines, out);
    PrintSections(*this, out);
    PrintLines(trailingLines, out);
    out.Flush();
}

void INIStream::WriteBack() {
    if (readOnly) {
        return;
    }
    FileReplacement replacement;
    if (!BeginFileReplacement(&replacement, fileName)) {
        ReportMessage("me", kWriteBackError, fileName);
        return;
    }
    // glibc ignores the size when it allocates the buffer itself, so the
    // file gets a block of ours; it lives until the file is closed below.
    str buffer(kBufferSize);
    setvbuf(replacement.file, buffer.data, _IOFBF, kBufferSize);
    Print(replacement.file);
    if (!CommitFileReplacement(&replacement)) {
        ReportMessage("me", kWriteBackError, fileName);
    }
}
