// INIStream: the in-memory image of one INI file.
#ifndef INI_INISTREAM_H
#define INI_INISTREAM_H

#include <stdint.h>
#include <stdio.h>
#include "foundation/container.h"
#include "ini/model.h"

struct INIReadRequest;
struct INIWriteRequest;

// The stream owns its sections (sectionList), each section its items and
// nested stream. sectionIndex is a non-owning copy of sectionList, filled only
// at the end of a read-only load of more than 8 sections. sectionStack holds
// Istr copies of saved currentSection names. A stream of depth 0 is loaded
// completely by its constructor; an editable one rewrites fileName when it is
// destroyed, a read-only one never writes.
class INIStream {
public:
    unsigned char depth;       // 0 for a stream on a file; parent's + 1 when nested
    SContainer sectionStack;   // Istr, flags 0, delta 2
    SContainer sectionList;    // SectionItem, flags 0, delta 16
    SContainer sectionIndex;   // SectionItem, SC_NODELETE, delta 16
    unsigned char opened;      // the file was opened and buffered
    unsigned char readOnly;    // 1 read-only, 0 editable
    int32_t numberFormat;      // 1 decimal, 2 hexadecimal
    char fileName[260];        // empty when the path given did not fit
    char currentSection[256];  // unencoded; "Undefined" after every load

    // Lines an editable depth-0 stream keeps although they are not in the
    // model (Istr, owned): those before the first section header, written
    // first, and those from a point where the load stopped early, written last.
    SContainer leadingLines;
    SContainer trailingLines;

    // Opens fileName (text mode, 16 KiB buffer) and loads it completely.
    // A missing file, or a name longer than 259 characters (never cut: the
    // stream then has an empty fileName and can write nowhere), gives an
    // empty stream with opened 0.
    INIStream(const char* fileName, unsigned char readOnly);
    // A nested stream: depth one more than the parent's, the parent's
    // settings and file name; reads from the file (and the line the parent
    // handed over) up to its own end. Used by the line loop only.
    INIStream(INIStream* parent, FILE* file);
    // Writes back (depth 0 only, editable only), then releases everything.
    ~INIStream();

    // Loading.
    // Loads from an open file; a stream of depth 0 closes it.
    void Read(FILE* file);
    // The line loop over one open file; calls itself for include files.
    void ParseLines(FILE* file);
    // One physical line of at most n - 1 characters without its line end
    // (LF, or CR LF on every platform; a lone CR stays); a longer line goes
    // on in the next call. Null at the end of the file or on an error.
    static char* ReadLine(FILE* file, int n, char* buffer);
    static char* StringEnd(char* text);
    // Replaces the references in the values of this stream's sections.
    void ResolveReferences();

    // Typed access and maintenance by name.
    INIStream& Get(const INIReadRequest& request);
    INIStream& Put(const INIWriteRequest& request);
    void ReadText(const char* key, const char* defaultText, char* destination, int size);
    void StoreText(const char* key, const char* text);
    void StoreNumber(const INIWriteRequest& request);
    void PushSection();
    void PopSection();
    SectionItem* CurrentSection();
    void DeleteSection(const char* name);
    void DeleteSections(const char* prefix);
    void DeleteItem(const char* key);

    // Writing back.
    void WriteBack();
    void Print(FILE* file);

private:
    // ---- Reader state (loading only) ----
    // What one load shares between the stream of depth 0, the nested streams
    // it constructs and the include files it follows: the line handed from
    // one stream to another (so the file never has to be moved back), and
    // the include files open at the moment. Defined in the reader; `load`
    // points at it during a load and is null otherwise.
    struct LoadState;
    LoadState* load;
    // The first section of the current load that got a value holding "@["
    // (UINT32_MAX: none), so that the reference pass at the end of the load
    // starts there instead of walking every value once more.
    uint32_t referencesFrom;

    void FinishLoad(uint32_t firstNewSection);
    void ContinueLoad(FILE* file);
    int NextLine(FILE* file, char* buffer, bool* ended);
    void SetPending(FILE* file, const char* line, int length, bool ended);
    void OpenNested(FILE* file, const char* line, int length, bool ended);
    void TakeHeader(char* p, int k, char* end);
    void TakeItem(FILE* file, char* buffer, char* p, char* equals, int length);
    void KeepLine(const char* line, const char* p, int length, bool ended, bool join);
    void KeepRestOfFile(FILE* file, char* buffer, bool ended);
    bool FollowInclude(const char* argument, size_t length);
    void ResolveFrom(uint32_t firstSection);
    // ---- end of reader state ----

    // ---- Section lookup acceleration (ini/section_lookup.cpp) ----
    // A hash of the stored section names, one table each for sectionList and
    // sectionIndex, mapping a name to the first section of that name in the
    // list's order: the section a linear scan of the list would find. Built
    // on the first lookup in a list of more than a few sections, extended
    // when a section is appended, and dropped whenever sections are loaded
    // or removed; a table also notices a list whose array or count changed
    // behind its back and then rebuilds. Null until the first such lookup.
    // The lists themselves stay exactly as they are.
    friend class SectionLookup;
    struct SectionTables;
    SectionTables* sectionTables;
    // ---- end of section lookup ----

    INIStream(const INIStream&) = delete;
    INIStream& operator=(const INIStream&) = delete;
};

#endif
