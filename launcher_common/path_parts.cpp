#include "launcher_common/path_parts.h"

#include <string.h>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Copies `length` bytes of `from` into `to` (a buffer of `size` bytes) and
// terminates it. Returns false, writing nothing, when they do not fit.
bool CopyPart(char* to, size_t size, const char* from, size_t length)
{
    if (to == NULL) return true;
    if (length + 1 > size) return false;
    memcpy(to, from, length);
    to[length] = '\0';
    return true;
}

void Clear(char* part)
{
    if (part != NULL) part[0] = '\0';
}

// Appends `text` at `*used` of `path` (kPathSize bytes). False when it would
// not fit with the terminator.
bool Append(char* path, size_t* used, const char* text, size_t length)
{
    if (*used + length + 1 > kPathSize) return false;
    memcpy(path + *used, text, length);
    *used += length;
    path[*used] = '\0';
    return true;
}

}  // namespace

int SplitPath(const char* path, char* drive, char* dir, char* base, char* ext)
{
    Clear(drive);
    Clear(dir);
    Clear(base);
    Clear(ext);
    if (path == NULL) return 0;

    const char* rest = path;
    size_t driveLength = (path[0] != '\0' && path[1] == ':') ? 2 : 0;
    rest += driveLength;

    const char* name = rest;  // behind the last separator
    for (const char* p = rest; *p != '\0'; ++p) {
        if (IsSeparator(*p)) name = p + 1;
    }
    const char* dot = strrchr(name, '.');
    const char* end = name + strlen(name);
    if (dot == NULL) dot = end;

    bool fits = CopyPart(drive, kPathDriveSize, path, driveLength) &&
                CopyPart(dir, kPathPartSize, rest, static_cast<size_t>(name - rest)) &&
                CopyPart(base, kPathPartSize, name, static_cast<size_t>(dot - name)) &&
                CopyPart(ext, kPathPartSize, dot, static_cast<size_t>(end - dot));
    if (!fits) {
        Clear(drive);
        Clear(dir);
        Clear(base);
        Clear(ext);
        return 0;
    }
    return 1;
}

int JoinPath(char* path, const char* drive, const char* dir, const char* base, const char* ext)
{
    size_t used = 0;
    path[0] = '\0';
    bool fits = true;
    if (drive != NULL) fits = Append(path, &used, drive, strlen(drive));
    if (fits && dir != NULL && dir[0] != '\0') {
        size_t length = strlen(dir);
        fits = Append(path, &used, dir, length);
        if (fits && !IsSeparator(dir[length - 1])) fits = Append(path, &used, "\\", 1);
    }
    if (fits && base != NULL) fits = Append(path, &used, base, strlen(base));
    if (fits && ext != NULL && ext[0] != '\0') {
        if (ext[0] != '.') fits = Append(path, &used, ".", 1);
        if (fits) fits = Append(path, &used, ext, strlen(ext));
    }
    if (!fits) {
        path[0] = '\0';
        return 0;
    }
    return 1;
}
