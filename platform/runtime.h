// What the C run-time library of the target does differently, for the INI
// reader: how text mode reads line ends, how file names compare, and a hint
// that lets the heap grow in large steps while a file loads.
#ifndef PLATFORM_RUNTIME_H
#define PLATFORM_RUNTIME_H

#include <stdio.h>

// Windows' text mode already turns each CR LF pair into LF and compares file
// names without regard to case; elsewhere a reader has to drop the CR of a
// CR LF pair itself, and file names are compared byte for byte.
#ifdef _WIN32
const bool kTextModeKeepsCR = false;
const bool kFileNamesFoldCase = true;
#else
const bool kTextModeKeepsCR = true;
const bool kFileNamesFoldCase = false;
#endif

// While one lives, the heap grows in steps sized to `file` (about four times
// its size, the most an in-memory model of it takes) instead of the run-time
// library's default step. glibc's default is 128 KiB, one brk call each: for
// a large file that is a system call every thousand lines or so. The setting
// is process-wide (glibc's M_TOP_PAD) and is put back to glibc's default when
// the hint ends; it only reserves address space, no page is touched before an
// object is put there. Other run-time libraries need no such hint, and there
// it does nothing. Not for use by two threads at once.
class HeapGrowthHint {
public:
    explicit HeapGrowthHint(FILE* file);
    ~HeapGrowthHint();

private:
    bool set;

    HeapGrowthHint(const HeapGrowthHint&) = delete;
    HeapGrowthHint& operator=(const HeapGrowthHint&) = delete;
};

#endif
