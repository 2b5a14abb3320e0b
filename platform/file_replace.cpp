// Safe file replacement: a temporary file beside the target, moved over it
// only after everything was written. POSIX: symbolic links are followed with
// lstat/readlink, the temporary file gets the target's owner and permission
// bits, and rename() puts it in place. The data is not synced before the
// rename (a sync costs about as much as the whole write of a large file);
// file systems that delay allocation flush a file renamed over another.
// Windows: MoveFileExA with MOVEFILE_REPLACE_EXISTING puts it in place.
#include "platform/file_replace.h"

#include <new>
#include <string.h>

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

// A new block holding `first` followed by `second` (either may be empty).
char* JoinTexts(const char* first, size_t firstLength, const char* second) {
    size_t secondLength = strlen(second);
    char* text = new (std::nothrow) char[firstLength + secondLength + 1];
    if (text != nullptr) {
        memcpy(text, first, firstLength);
        memcpy(text + firstLength, second, secondLength + 1);
    }
    return text;
}

void Release(FileReplacement* r) {
    delete[] r->target;
    delete[] r->temporary;
    r->file = nullptr;
    r->target = nullptr;
    r->temporary = nullptr;
}

// The temporary file's name: the target's name followed by a suffix that
// makes it unique; `attempt` counts tries.
char* TemporaryName(const char* target, unsigned attempt) {
    char suffix[48];
    unsigned long id = 0;
#ifndef _WIN32
    id = (unsigned long)getpid();
#endif
    snprintf(suffix, sizeof suffix, ".%lu-%u.tmp~", id, attempt);
    return JoinTexts(target, strlen(target), suffix);
}

}  // namespace

#ifndef _WIN32

namespace {

const int kMaxLinks = 40;  // as the kernel's own limit on nested links

// The path that `path` leads to through symbolic links (a link to a missing
// file gives the missing file's path); null on a loop or an unreadable link.
char* FollowLinks(const char* path) {
    char* current = JoinTexts(path, strlen(path), "");
    for (int i = 0; current != nullptr && i < kMaxLinks; ++i) {
        struct stat st;
        if (lstat(current, &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        char link[4096];
        ssize_t n = readlink(current, link, sizeof link - 1);
        if (n <= 0 || size_t(n) >= sizeof link - 1) {
            break;
        }
        link[n] = 0;
        char* next;
        const char* slash = strrchr(current, '/');
        if (link[0] == '/' || slash == nullptr) {
            next = JoinTexts(link, size_t(n), "");
        } else {
            next = JoinTexts(current, size_t(slash - current) + 1, link);
        }
        delete[] current;
        current = next;
    }
    delete[] current;
    return nullptr;
}

// Whether an existing regular file may be written by this process.
bool Writable(const char* path) {
    int fd = open(path, O_WRONLY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

// Creates the temporary file beside target with the given owner and mode
// (a new target: 0666 less the umask, as fopen would create it).
FILE* CreateTemporary(FileReplacement* r, const struct stat* existing) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        r->temporary = TemporaryName(r->target, attempt);
        if (r->temporary == nullptr) {
            return nullptr;
        }
        int fd = open(r->temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            if (existing != nullptr) {
                // Owner first: a change of owner clears set-id bits.
                if (existing->st_uid != geteuid() || existing->st_gid != getegid()) {
                    (void)!fchown(fd, existing->st_uid, existing->st_gid);
                }
                fchmod(fd, existing->st_mode & 07777);
            }
            FILE* file = fdopen(fd, "w");
            if (file == nullptr) {
                close(fd);
                unlink(r->temporary);
            }
            return file;
        }
        delete[] r->temporary;
        r->temporary = nullptr;
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

}  // namespace

int BeginFileReplacement(FileReplacement* r, const char* path) {
    r->file = nullptr;
    r->temporary = nullptr;
    r->target = (path != nullptr && path[0] != 0) ? FollowLinks(path) : nullptr;
    if (r->target == nullptr) {
        return 0;
    }
    struct stat st;
    bool exists = stat(r->target, &st) == 0;
    if (exists ? (!S_ISREG(st.st_mode) || !Writable(r->target)) : errno != ENOENT) {
        Release(r);
        return 0;
    }
    r->file = CreateTemporary(r, exists ? &st : nullptr);
    if (r->file == nullptr) {
        Release(r);
        return 0;
    }
    return 1;
}

int TextModeWritesCRLF() {
    return 0;
}

int CommitFileReplacement(FileReplacement* r) {
    bool ok = fflush(r->file) == 0 && ferror(r->file) == 0;
    ok = (fclose(r->file) == 0) && ok;
    ok = ok && rename(r->temporary, r->target) == 0;
    if (!ok) {
        unlink(r->temporary);
    }
    Release(r);
    return ok ? 1 : 0;
}

#else  // _WIN32

namespace {

bool Exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Whether an existing file may be written (a read-only file may not).
bool Writable(const char* path) {
    FILE* probe = fopen(path, "r+b");
    if (probe == nullptr) {
        return false;
    }
    fclose(probe);
    return true;
}

}  // namespace

int BeginFileReplacement(FileReplacement* r, const char* path) {
    r->file = nullptr;
    r->temporary = nullptr;
    r->target = (path != nullptr && path[0] != 0) ? JoinTexts(path, strlen(path), "") : nullptr;
    if (r->target == nullptr) {
        return 0;
    }
    DWORD attributes = GetFileAttributesA(r->target);
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !Writable(r->target))) {
        Release(r);
        return 0;
    }
    for (unsigned attempt = 0; attempt < 100 && r->file == nullptr; ++attempt) {
        delete[] r->temporary;
        r->temporary = TemporaryName(r->target, attempt);
        if (r->temporary == nullptr) {
            break;
        }
        if (!Exists(r->temporary)) {
            r->file = fopen(r->temporary, "wt");
            if (r->file == nullptr) {
                break;  // the directory is missing or not writable
            }
        }
    }
    if (r->file == nullptr) {
        Release(r);
        return 0;
    }
    return 1;
}

int TextModeWritesCRLF() {
    return 1;
}

int CommitFileReplacement(FileReplacement* r) {
    bool ok = fflush(r->file) == 0 && ferror(r->file) == 0;
    ok = (fclose(r->file) == 0) && ok;
    ok = ok && MoveFileExA(r->temporary, r->target, MOVEFILE_REPLACE_EXISTING) != 0;
    if (!ok) {
        remove(r->temporary);
    }
    Release(r);
    return ok ? 1 : 0;
}

#endif  // _WIN32

void AbandonFileReplacement(FileReplacement* r) {
    if (r->file != nullptr) {
        fclose(r->file);
        remove(r->temporary);
    }
    Release(r);
}
