// SectionLookup: finding a section of a stream by name through a hash of
// the stored names instead of a scan of the whole list.
#ifndef INI_SECTION_LOOKUP_H
#define INI_SECTION_LOOKUP_H

#include <stddef.h>
#include "ini/inistream.h"

struct SectionTable;

// Every answer is the one a linear scan of the list gives: the first section
// in list order whose stored name equals the wanted name. The tables live in
// the stream (INIStream::sectionTables); whoever changes sectionList or
// sectionIndex tells them through Appended or Forget.
class SectionLookup {
public:
    // The first section of `list` (the stream's sectionList or sectionIndex)
    // whose stored name equals the `length` bytes of `name` once '[' and ']'
    // are encoded as bytes 16 and 17 (an already encoded name stays as it
    // is), or null.
    static SectionItem* First(INIStream& stream, const SContainer& list, const char* name, size_t length);
    // One section was just appended to `list` (or the append failed).
    static void Appended(INIStream& stream, const SContainer& list);
    // Sections were loaded, removed or replaced: the tables are rebuilt by
    // the next lookup that needs them.
    static void Forget(INIStream& stream);
    // Frees the tables (the stream is being destroyed).
    static void Release(INIStream& stream);

private:
    static SectionTable* TableFor(INIStream& stream, const SContainer& list);
};

#endif
