// The INIStream reader: construction, the load, the line loop with its
// section headers, items, continued values and include files, the nested
// streams, and the lines an editable stream keeps outside its model.
//
// The file is read strictly forward. A header that starts or ends a nested
// stream is handed to the stream that reads it next through the load's
// pending line instead of moving the file back, so a load makes no position
// query and no seek; its system calls are the reads of the stdio buffer.
#include <new>
#include <string.h>

#include "foundation/diagnostics.h"
#include "foundation/strings.h"
#include "ini/inistream.h"
#include "ini/section_lookup.h"
#include "platform/runtime.h"

namespace {

const int kLineSize = 8192;            // line buffer: 8190 characters, LF, terminator
const int kLineRead = kLineSize - 1;   // size handed to ReadLine
const size_t kFileBufferSize = 16384;  // stdio buffer of the main file
const size_t kMaxPath = 259;           // longest file name or include path
const int kMaxIncludeDepth = 16;       // include files open at one time
const unsigned kMaxDepth = 255;        // deepest nesting a stream can record
const int kOpenFailed = 5229;          // ReportError number of an include not read
const char kInclude[] = "#include";
const size_t kIncludeLength = sizeof kInclude - 1;
const char kUndefined[] = "Undefined";

// Where text mode leaves the CR of a CR LF pair, the reader drops it itself,
// so that a file gives the same lines on every platform.
const bool kDropCR = kTextModeKeepsCR;
const bool kFoldNameCase = kFileNamesFoldCase;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char* SkipBlanks(char* p) {
    while (IsBlank(*p)) {
        ++p;
    }
    return p;
}

// Whether the text from value to end holds "@[", the start of a reference.
bool HoldsReference(const char* value, const char* end) {
    const char* at = static_cast<const char*>(memchr(value, '@', size_t(end - value)));
    while (at != nullptr && at + 1 < end && at[1] != '[') {
        at = static_cast<const char*>(memchr(at + 1, '@', size_t(end - at - 1)));
    }
    return at != nullptr && at + 1 < end;
}

bool IsItemStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$';
}

// A full buffer without a line end: the line ends exactly here when an LF
// (or a CR LF pair, where CRs are dropped) comes next; that end is consumed.
// Anything else is left for the next read. `length` loses a CR that turns
// out to be the first half of a CR LF pair.
bool LineEndsHere(FILE* file, const char* buffer, size_t* length) {
    int c = getc(file);
    if (c == EOF) {
        return true;
    }
    if (c == '\n') {
        if (kDropCR && *length != 0 && buffer[*length - 1] == '\r') {
            --*length;
        }
        return true;
    }
    if (kDropCR && c == '\r') {
        int next = getc(file);
        if (next == '\n') {
            return true;
        }
        if (next != EOF) {
            ungetc(next, file);
        }
    }
    ungetc(c, file);
    return false;
}

// Reads one physical line of at most n - 1 characters and removes its line
// end. Returns the length, or -1 at the end of the file, on an error, or
// when n leaves no room for a character. *ended is false when the line was
// cut at n - 1 characters and goes on in the next read.
int ReadPhysicalLine(FILE* file, int n, char* buffer, bool* ended) {
    *ended = true;
    if (n < 2 || fgets(buffer, n, file) == nullptr) {
        return -1;
    }
    size_t length = strlen(buffer);
    if (length != 0 && buffer[length - 1] == '\n') {
        --length;
        if (kDropCR && length != 0 && buffer[length - 1] == '\r') {
            --length;
        }
    } else if (length == size_t(n - 1)) {
        *ended = LineEndsHere(file, buffer, &length);
    }
    buffer[length] = 0;
    return int(length);
}

// Length of the drive and directory part of a path: up to and including the
// last slash or backslash, else the drive ("C:"), else nothing.
size_t DirectoryLength(const char* path) {
    size_t length = 0;
    for (size_t i = 0; path[i] != 0; ++i) {
        if (path[i] == '/' || path[i] == '\\') {
            length = i + 1;
        }
    }
    if (length == 0 && path[0] != 0 && path[1] == ':') {
        length = 2;
    }
    return length;
}

char FoldForPath(char c) {
    if (c == '/') {
        return '\\';
    }
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool SamePath(const char* a, const char* b) {
    if (!kFoldNameCase) {
        return strcmp(a, b) == 0;
    }
    for (; FoldForPath(*a) == FoldForPath(*b); ++a, ++b) {
        if (*a == 0) {
            return true;
        }
    }
    return false;
}

// Appends text to a kept line that was cut by the line length limit.
void ExtendKeptLine(Istr* line, const char* text) {
    if (line->text == nullptr) {
        return;
    }
    size_t have = strlen(line->text);
    size_t more = strlen(text);
    char* joined = new (std::nothrow) char[have + more + 1];
    if (joined == nullptr) {
        return;
    }
    memcpy(joined, line->text, have);
    memcpy(joined + have, text, more + 1);
    line->Assign(joined);
    delete[] joined;
}

// Adds a kept line, or continues the last one when `join` is set.
void AddKeptLine(SContainer& lines, const char* text, bool join) {
    if (join && lines.Count() != 0) {
        ExtendKeptLine(static_cast<Istr*>(lines.Last()), text);
        return;
    }
    Istr* line = new (std::nothrow) Istr(text);
    if (line != nullptr && !lines.Add(line)) {
        delete line;
    }
}

}  // namespace

// What one load shares; see the declaration in the header.
struct INIStream::LoadState {
    FILE* pendingFile;        // the file whose next line is `pending`, or null
    int pendingLength;
    bool pendingEnded;        // the pending line was not cut by the length limit
    bool leadingOpen;         // the last kept leading line was cut and goes on
    int includeDepth;         // include files open now
    const char* includePaths[kMaxIncludeDepth];
    char pending[kLineSize];

    LoadState() : pendingFile(nullptr), pendingLength(0), pendingEnded(true), leadingOpen(false), includeDepth(0) {}
};

// ---- Construction and destruction ----

// A name that does not fit fileName names no file: the stream stays empty
// and, having an empty fileName, can never write to a cut name.
INIStream::INIStream(const char* name, unsigned char readOnly_)
    : depth(0), sectionStack(0, 2), sectionList(0, 16), sectionIndex(SC_NODELETE, 16), opened(0),
      readOnly(readOnly_), numberFormat(1), leadingLines(0, 16), trailingLines(0, 16), load(nullptr),
      referencesFrom(UINT32_MAX), sectionTables(nullptr) {
    fileName[0] = 0;
    memcpy(currentSection, kUndefined, sizeof kUndefined);
    size_t length = name != nullptr ? strlen(name) : 0;
    if (name == nullptr || length > kMaxPath) {
        return;
    }
    memcpy(fileName, name, length + 1);
    FILE* file = fopen(fileName, "rt");
    if (file == nullptr) {
        return;
    }
    // Our own buffer: not every run-time honours the size when it supplies one.
    char* buffer = new (std::nothrow) char[kFileBufferSize];
    if (buffer == nullptr || setvbuf(file, buffer, _IOFBF, kFileBufferSize) != 0) {
        fclose(file);
        delete[] buffer;
        return;
    }
    opened = 1;
    {
        HeapGrowthHint hint(file);
        Read(file);  // closes the file
    }
    delete[] buffer;
}

INIStream::INIStream(INIStream* parent, FILE* file)
    : depth((unsigned char)(parent->depth + 1)), sectionStack(0, 2), sectionList(0, 16),
      sectionIndex(SC_NODELETE, 16), opened(parent->opened), readOnly(parent->readOnly),
      numberFormat(parent->numberFormat), leadingLines(0, 16), trailingLines(0, 16), load(parent->load),
      referencesFrom(UINT32_MAX), sectionTables(nullptr) {
    memcpy(fileName, parent->fileName, sizeof fileName);
    memcpy(currentSection, kUndefined, sizeof kUndefined);
    Read(file);
    load = nullptr;
}

// Only the stream on a file writes; the members then go in reverse order of
// declaration: the kept lines, sectionIndex (not owning), sectionList
// (deleting the sections with their items and nested streams), sectionStack.
INIStream::~INIStream() {
    if (depth == 0) {
        WriteBack();
    }
    SectionLookup::Release(*this);
}

// ---- The load ----

void INIStream::Read(FILE* file) {
    if (file == nullptr) {
        return;
    }
    if (load == nullptr) {
        LoadState* state = new (std::nothrow) LoadState();
        if (state == nullptr) {
            if (depth == 0) {
                fclose(file);
            }
            return;
        }
        load = state;
        Read(file);
        load = nullptr;
        delete state;
        return;
    }
    memcpy(currentSection, kUndefined, sizeof kUndefined);
    uint32_t first = sectionList.Count();
    referencesFrom = UINT32_MAX;
    ParseLines(file);
    SectionLookup::Forget(*this);
    if (depth == 0) {
        fclose(file);
    }
    FinishLoad(first);
}

// A second run of headers one level deeper under the same section: the
// existing nested stream reads on from the pending header and finishes its
// new sections as a load would.
void INIStream::ContinueLoad(FILE* file) {
    uint32_t first = sectionList.Count();
    referencesFrom = UINT32_MAX;
    ParseLines(file);
    SectionLookup::Forget(*this);
    FinishLoad(first);
}

// The end of a load of a read-only stream: the section index, then the
// references of the sections read by this load. Sections before the first
// one that got a value with "@[" hold nothing the pass would change.
void INIStream::FinishLoad(uint32_t firstNewSection) {
    if (!readOnly) {
        return;
    }
    if (sectionList.Count() > 8) {
        sectionIndex.Reset();
        for (uint32_t i = 0; i < sectionList.Count(); ++i) {
            sectionIndex.Add(sectionList.At(i));
        }
        SectionLookup::Forget(*this);
    }
    if (referencesFrom != UINT32_MAX) {
        ResolveFrom(referencesFrom > firstNewSection ? referencesFrom : firstNewSection);
    }
}

char* INIStream::ReadLine(FILE* file, int n, char* buffer) {
    bool ended;
    return ReadPhysicalLine(file, n, buffer, &ended) < 0 ? nullptr : buffer;
}

char* INIStream::StringEnd(char* text) {
    return text + strlen(text);
}

// The pending line when it belongs to this file, else the next physical line.
int INIStream::NextLine(FILE* file, char* buffer, bool* ended) {
    if (load->pendingFile == file) {
        load->pendingFile = nullptr;
        memcpy(buffer, load->pending, size_t(load->pendingLength) + 1);
        *ended = load->pendingEnded;
        return load->pendingLength;
    }
    return ReadPhysicalLine(file, kLineRead, buffer, ended);
}

void INIStream::SetPending(FILE* file, const char* line, int length, bool ended) {
    memcpy(load->pending, line, size_t(length) + 1);
    load->pendingLength = length;
    load->pendingEnded = ended;
    load->pendingFile = file;
}

void INIStream::ParseLines(FILE* file) {
    if (file == nullptr) {
        return;
    }
    if (load == nullptr) {
        LoadState* state = new (std::nothrow) LoadState();
        if (state == nullptr) {
            return;
        }
        load = state;
        ParseLines(file);
        load = nullptr;
        delete state;
        return;
    }
    str line(kLineSize);
    if (line.data == nullptr) {
        return;
    }
    char* buffer = line.data;
    const bool mainFile = depth == 0 && load->includeDepth == 0;
    const int deeper = int(depth) + 1;
    bool ended = true;
    int length;
    while ((length = NextLine(file, buffer, &ended)) >= 0) {
        bool join = load->leadingOpen;
        load->leadingOpen = false;
        char* p = SkipBlanks(buffer);
        const char* end = buffer + length;
        if (*p == '#' && strncmp(p, kInclude, kIncludeLength) == 0) {
            char* argument = SkipBlanks(p + kIncludeLength);
            if (!FollowInclude(argument, size_t(end - argument))) {
                KeepLine(buffer, p, length, ended, join);
            }
            continue;
        }
        if (*p == '[') {
            int k = 0;
            while (p[k + 1] == '[') {
                ++k;
            }
            if (k == deeper && sectionList.Count() != 0 && unsigned(deeper) <= kMaxDepth) {
                OpenNested(file, buffer, length, ended);
                continue;
            }
            if (k < int(depth)) {  // a shallower header: the stream above reads it next
                SetPending(file, buffer, length, ended);
                return;
            }
            if (k == int(depth)) {
                TakeHeader(p, k, buffer + length);
                continue;
            }
            // Too deep, a deeper header before any section, or nesting
            // beyond what depth can record: this stream ends here.
            ReportMessage("sf", "INIStream('%s'): invalid section nesting %s", fileName, buffer);
            if (!readOnly && mainFile) {
                KeepRestOfFile(file, buffer, ended);
            } else {
                KeepLine(buffer, p, length, ended, join);
            }
            return;
        }
        if (sectionList.Count() != 0 && IsItemStart(*p)) {
            char* equals = static_cast<char*>(memchr(p, '=', size_t(end - p)));
            if (equals != nullptr) {
                TakeItem(file, buffer, p, equals, length);
                continue;
            }
        }
        KeepLine(buffer, p, length, ended, join);
    }
}

// A header one level deeper: the nested stream of the last section reads
// from this header on, a new one or, for a second run under the same
// section, the one already there.
void INIStream::OpenNested(FILE* file, const char* line, int length, bool ended) {
    SetPending(file, line, length, ended);
    SectionItem* last = static_cast<SectionItem*>(sectionList.Last());
    if (last->nestedStream != nullptr) {
        last->nestedStream->load = load;
        last->nestedStream->ContinueLoad(file);
        last->nestedStream->load = nullptr;
    } else {
        last->nestedStream = new (std::nothrow) INIStream(this, file);
    }
    if (load->pendingFile == file && last->nestedStream == nullptr) {
        load->pendingFile = nullptr;  // no memory for the stream: skip the header
    }
}

// A header of this stream's depth; p is at its first '[', k further ones.
void INIStream::TakeHeader(char* p, int k, char* end) {
    char* name = p + k + 1;
    char* close = static_cast<char*>(memchr(name, ']', size_t(end - name)));
    if (close != nullptr) {
        *close = 0;
    }
    SectionItem* section = new (std::nothrow) SectionItem(name);
    if (section == nullptr) {
        return;
    }
    if (section->hasLongName && section->Name()[0] == 0) {  // no memory for the long name
        delete section;
        return;
    }
    if (INIDiagnostics != 0 && sectionList.Find(section) != nullptr) {
        ReportMessage("sf", "INIStream('%s'): duplicate section [%s]", fileName, name);
    }
    if (!sectionList.Add(section)) {
        delete section;
    }
}

// Joins the physical lines of a continued value in place. seg is the
// value's start, end its terminator; returns the joined value's terminator.
static char* JoinContinuation(FILE* file, char* buffer, char* seg, char* end) {
    for (;;) {
        char* e = end;
        while (e > seg && IsBlank(e[-1])) {
            --e;
        }
        if (e == seg || e[-1] != '\\') {
            return end;
        }
        char* backslash = e - 1;
        *backslash = 0;
        bool ended;
        int got = ReadPhysicalLine(file, kLineRead - int(backslash - buffer), backslash, &ended);
        if (got < 0) {
            return backslash;
        }
        seg = backslash;
        end = backslash + got;
    }
}

// An item line: p is at its first character, equals at its first '='.
void INIStream::TakeItem(FILE* file, char* buffer, char* p, char* equals, int length) {
    char* name = p;
    char* nameEnd = equals;
    while (nameEnd > name && IsBlank(nameEnd[-1])) {
        --nameEnd;
    }
    char* value = SkipBlanks(equals + 1);
    char* end = buffer + length;
    if (*p == '$' && readOnly) {
        ++name;
        end = JoinContinuation(file, buffer, value, end);
    }
    INIItem* item = new (std::nothrow) INIItem(name, size_t(nameEnd - name), value, size_t(end - value));
    if (item == nullptr) {
        return;
    }
    if (item->hasLongName && item->Name()[0] == 0) {  // no memory for the long name
        delete item;
        return;
    }
    SectionItem* section = static_cast<SectionItem*>(sectionList.Last());
    if (INIDiagnostics != 0 && section->itemList.Find(item) != nullptr) {
        ReportMessage("sf", "INIStream('%s'): duplicate record '%s' in section [%s]", fileName, item->Name(),
                      section->Name());
    }
    if (!section->itemList.Add(item)) {
        delete item;
        return;
    }
    if (readOnly) {
        section->itemIndex.Add(item);
        if (referencesFrom == UINT32_MAX && HoldsReference(value, end)) {
            referencesFrom = sectionList.Count() - 1;
        }
    }
}

// A line that is not part of the model: an editable stream keeps it, before
// the first header as a leading line of the stream on the file (verbatim),
// inside a section as an item with the empty name (from its first non-blank).
void INIStream::KeepLine(const char* line, const char* p, int length, bool ended, bool join) {
    if (readOnly) {
        return;
    }
    if (sectionList.Count() == 0) {
        if (depth == 0) {
            AddKeptLine(leadingLines, line, join);
            load->leadingOpen = !ended;
        }
        return;
    }
    SectionItem* section = static_cast<SectionItem*>(sectionList.Last());
    INIItem* item = new (std::nothrow) INIItem("", 0, p, size_t(line + length - p));
    if (item != nullptr && !section->itemList.Add(item)) {
        delete item;
    }
}

// The load of the file stopped early: the line and everything after it are
// kept verbatim, long lines whole.
void INIStream::KeepRestOfFile(FILE* file, char* buffer, bool ended) {
    AddKeptLine(trailingLines, buffer, false);
    bool join = !ended;
    while (NextLine(file, buffer, &ended) >= 0) {
        AddKeptLine(trailingLines, buffer, join);
        join = !ended;
    }
}

// Follows an include directive whose argument (verbatim, `length`
// characters) names the file: the directory of fileName joined with the
// argument's name, any drive or directory in the argument ignored. Returns
// false, after reporting the path, when no file was read: a path that does
// not fit, a name that is empty, a file already open in this load (include
// recursion), too many include files open, or a file that cannot be opened.
bool INIStream::FollowInclude(const char* argument, size_t length) {
    const char* name = argument;
    const char* end = argument + length;
    if (length >= 2 && argument[1] == ':') {
        name += 2;
    }
    for (const char* q = name; q < end; ++q) {
        if (*q == '/' || *q == '\\') {
            name = q + 1;
        }
    }
    size_t nameLength = size_t(end - name);
    size_t directoryLength = DirectoryLength(fileName);
    size_t total = directoryLength + nameLength;
    if (total > kMaxPath) {
        char* whole = new (std::nothrow) char[total + 1];
        if (whole != nullptr) {
            memcpy(whole, fileName, directoryLength);
            memcpy(whole + directoryLength, name, nameLength);
            whole[total] = 0;
        }
        ReportError(kOpenFailed, whole != nullptr ? whole : argument);
        delete[] whole;
        return false;
    }
    char path[kMaxPath + 1];
    memcpy(path, fileName, directoryLength);
    memcpy(path + directoryLength, name, nameLength);
    path[total] = 0;
    bool refused = nameLength == 0 || load->includeDepth >= kMaxIncludeDepth || SamePath(path, fileName);
    for (int i = 0; i < load->includeDepth && !refused; ++i) {
        refused = SamePath(path, load->includePaths[i]);
    }
    FILE* included = refused ? nullptr : fopen(path, "rt");
    if (included == nullptr) {
        ReportError(kOpenFailed, path);
        return false;
    }
    load->includePaths[load->includeDepth++] = path;
    ParseLines(included);
    --load->includeDepth;
    if (load->pendingFile == included) {
        load->pendingFile = nullptr;  // a shallower header ended the file: the rest is not read
    }
    fclose(included);
    return true;
}
