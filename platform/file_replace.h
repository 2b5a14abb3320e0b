// Safe replacement of a file's whole content. The new text is written to a
// temporary file beside the target; the temporary file takes the target's
// place only when every write, the flush and the close succeeded. On any
// failure the temporary file is removed and the target stays byte for byte as
// it was.
//
// The target is the file a symbolic link leads to (the link itself is kept),
// and the replacement keeps the target's permission bits and, where allowed,
// its owner. A target that exists but cannot be written (read-only file, no
// rights, not a regular file) is refused before anything is created.
// Replacing breaks hard links: other names of the old file keep the old text.
#ifndef PLATFORM_FILE_REPLACE_H
#define PLATFORM_FILE_REPLACE_H

#include <stdio.h>

// One replacement in progress. Owns the open temporary file and the two path
// copies between BeginFileReplacement and Commit/AbandonFileReplacement.
struct FileReplacement {
    FILE* file;       // the temporary file, open for writing in text mode
    char* target;     // the file that will be replaced (links followed)
    char* temporary;  // the temporary file's path
};

// Opens a temporary file beside `path` for writing in text mode ("\n" becomes
// CR LF on Windows). Returns 1 with replacement->file open, or 0 (nothing
// created, nothing to release) when the target cannot be replaced: an empty
// path, a missing directory, no rights, a read-only or non-regular target.
int BeginFileReplacement(FileReplacement* replacement, const char* path);

// Flushes and closes the temporary file and, when the file's error indicator
// is clear and every step succeeded, moves it over the target. Returns 1 on
// success; 0 when anything failed, after removing the temporary file (the
// target is untouched then). Releases everything in both cases.
int CommitFileReplacement(FileReplacement* replacement);

// Closes and removes the temporary file; the target is untouched.
void AbandonFileReplacement(FileReplacement* replacement);

// 1 where "\n" written to a text-mode file comes out as CR LF by itself
// (Windows), 0 where it comes out as LF alone.
int TextModeWritesCRLF();

#endif
