// The heap growth hint; see platform/runtime.h.
#include "platform/runtime.h"

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/stat.h>
#endif

namespace {

#if defined(__GLIBC__)
const long kDefaultTopPad = 128 * 1024;  // glibc's own default
const long kDefaultMmapThreshold = 128 * 1024;     // glibc's own starting value
const long kMaxMmapThreshold = 32L * 1024 * 1024;  // the most glibc accepts on 64-bit hosts
const long kMaxTopPad = 256L * 1024 * 1024;
#endif

}  // namespace

HeapGrowthHint::HeapGrowthHint(FILE* file) : set(false) {
#if defined(__GLIBC__)
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && status.st_size > off_t(kDefaultTopPad)) {
        off_t pad = status.st_size < off_t(kMaxTopPad / 4) ? status.st_size * 4 : off_t(kMaxTopPad);
        set = mallopt(M_TOP_PAD, int(pad)) != 0;
        if (set) {
            mallopt(M_MMAP_THRESHOLD, int(kMaxMmapThreshold));
        }
    }
#else
    (void)file;
#endif
}

HeapGrowthHint::~HeapGrowthHint() {
#if defined(__GLIBC__)
    if (set) {
        mallopt(M_TOP_PAD, int(kDefaultTopPad));
        mallopt(M_MMAP_THRESHOLD, int(kDefaultMmapThreshold));
    }
#endif
}
