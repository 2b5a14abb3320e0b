// Splitting a path into drive, directory, base name and extension, and
// joining such parts back into a path, in the fixed buffer sizes that both
// launchers use. Works on 8-bit, zero-terminated text; a backslash and a
// slash both count as separators. Neither function ever writes past the
// buffers it is given, and neither cuts a part silently: a part that does not
// fit makes the whole call fail.
#ifndef LAUNCHER_COMMON_PATH_PARTS_H
#define LAUNCHER_COMMON_PATH_PARTS_H

#include <stddef.h>

enum {
    kPathDriveSize = 3,   // letter, colon, terminator
    kPathPartSize = 256,  // directory, base name or extension with terminator
    kPathSize = 260       // a whole path with terminator
};

// Splits `path` into its parts. Any of the out pointers may be null when that
// part is not wanted; the others must point at buffers of the sizes above.
//   drive: the first two characters when the second one is a colon, else "".
//   dir:   from behind the drive up to and including the last backslash or
//          slash; "" when the path has no separator.
//   base:  what follows the directory, up to the last dot.
//   ext:   from the last dot behind the directory (the dot included), or "".
// Returns 1 on success. Returns 0, with every requested part set to "", when
// `path` is null or a part would need more than its buffer.
int SplitPath(const char* path, char* drive, char* dir, char* base, char* ext);

// Joins parts into `path` (a buffer of kPathSize bytes). Null or empty parts
// are left out. Writes the drive; then the directory, followed by a backslash
// unless it already ends in a backslash or slash; then the base name; then
// the extension, preceded by a dot unless it begins with one.
// Returns 1 on success. Returns 0, with `path` set to "", when the result
// would not fit into kPathSize bytes.
int JoinPath(char* path, const char* drive, const char* dir, const char* base, const char* ext);

#endif
