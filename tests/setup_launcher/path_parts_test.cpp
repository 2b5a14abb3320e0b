// Splitting and joining paths in the launchers' fixed buffer sizes.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "launcher_common/path_parts.h"

namespace {

TEST(SplitPathTest, SplitsIntoDriveDirectoryBaseAndExtension)
{
    struct Case {
        const char* path;
        const char* drive;
        const char* dir;
        const char* base;
        const char* ext;
    };
    const Case cases[] = {
        {"C:\\Zelmar\\Disk1\\setup.exe", "C:", "\\Zelmar\\Disk1\\", "setup", ".exe"},
        {"C:/Zelmar/setup.exe", "C:", "/Zelmar/", "setup", ".exe"},
        {"C:\\mixed/seps\\a.b.c", "C:", "\\mixed/seps\\", "a.b", ".c"},  // last dot only
        {"C:\\dir.d\\noext", "C:", "\\dir.d\\", "noext", ""},            // a dot in the directory is not an extension
        {"C:setup.exe", "C:", "", "setup", ".exe"},                      // drive without a directory
        {"\\\\server\\share\\a.txt", "", "\\\\server\\share\\", "a", ".txt"},
        {"/opt/kit/setup", "", "/opt/kit/", "setup", ""},
        {"setup.", "", "", "setup", "."},
        {".hidden", "", "", "", ".hidden"},
        {"C:\\dir\\", "C:", "\\dir\\", "", ""},
        {"", "", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        char drive[kPathDriveSize], dir[kPathPartSize], base[kPathPartSize], ext[kPathPartSize];
        ASSERT_EQ(1, SplitPath(c.path, drive, dir, base, ext));
        EXPECT_STREQ(c.drive, drive);
        EXPECT_STREQ(c.dir, dir);
        EXPECT_STREQ(c.base, base);
        EXPECT_STREQ(c.ext, ext);
    }
}

TEST(SplitPathTest, PartsNotAskedForMayBeNull)
{
    char dir[kPathPartSize];
    ASSERT_EQ(1, SplitPath("D:\\a\\b.c", NULL, dir, NULL, NULL));
    EXPECT_STREQ("\\a\\", dir);
}

// Every part has 255 characters of room; one more fails the whole split
// and leaves every part empty rather than cut.
TEST(SplitPathTest, PartTooLongFailsWithoutWritingPastItsBuffer)
{
    struct Case {
        std::string path;
        int result;
        const char* what;
    };
    const std::string d255 = "\\" + std::string(253, 'd') + "\\";
    const Case cases[] = {
        {"C:" + d255 + "x.y", 1, "directory of 255"},
        {"C:" + d255 + "d\\x.y", 0, "directory of 256"},
        {std::string(255, 'b') + ".y", 1, "base name of 255"},
        {std::string(256, 'b') + ".y", 0, "base name of 256"},
        {"x." + std::string(254, 'e'), 1, "extension of 255"},
        {"x." + std::string(255, 'e'), 0, "extension of 256"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Guard bytes behind each buffer show any write past its end.
        struct {
            char drive[kPathDriveSize], g1[8];
            char dir[kPathPartSize], g2[8];
            char base[kPathPartSize], g3[8];
            char ext[kPathPartSize], g4[8];
        } b;
        memset(&b, 'G', sizeof b);
        EXPECT_EQ(c.result, SplitPath(c.path.c_str(), b.drive, b.dir, b.base, b.ext));
        if (c.result == 0) {
            EXPECT_STREQ("", b.drive);
            EXPECT_STREQ("", b.dir);
            EXPECT_STREQ("", b.base);
            EXPECT_STREQ("", b.ext);
        }
        EXPECT_EQ(std::string(8, 'G'), std::string(b.g1, 8));
        EXPECT_EQ(std::string(8, 'G'), std::string(b.g2, 8));
        EXPECT_EQ(std::string(8, 'G'), std::string(b.g3, 8));
        EXPECT_EQ(std::string(8, 'G'), std::string(b.g4, 8));
    }
}

TEST(JoinPathTest, JoinsWithSeparatorAndDotWhereMissing)
{
    struct Case {
        const char* drive;
        const char* dir;
        const char* base;
        const char* ext;
        const char* path;
    };
    const Case cases[] = {
        {"C:", "\\Zelmar\\", "_setup", "EXE", "C:\\Zelmar\\_setup.EXE"},
        {"C:", "\\Zelmar", "_setup", ".EXE", "C:\\Zelmar\\_setup.EXE"},  // backslash added, dot not doubled
        {"C:", "/Zelmar/", "uninst", "ini", "C:/Zelmar/uninst.ini"},     // a slash ends a directory too
        {"C:", "\\Zelmar\\", NULL, NULL, "C:\\Zelmar\\"},
        {"", "", "_setup", "EXE", "_setup.EXE"},                           // empty directory: no separator
        {NULL, "\\\\server\\share", "a", "", "\\\\server\\share\\a"},
        {"D:", NULL, NULL, NULL, "D:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        char path[kPathSize];
        ASSERT_EQ(1, JoinPath(path, c.drive, c.dir, c.base, c.ext));
        EXPECT_STREQ(c.path, path);
    }
}

// A path has 259 characters of room.
TEST(JoinPathTest, ResultTooLongFailsWithAnEmptyPath)
{
    struct {
        char path[kPathSize];
        char guard[8];
    } b;
    const std::string dir248 = "\\" + std::string(246, 'd') + "\\";  // "C:" + 248 + "_setup.EXE" = 260
    memset(&b, 'G', sizeof b);
    EXPECT_EQ(1, JoinPath(b.path, "C:", dir248.c_str(), "_setup", "EX"));
    EXPECT_EQ(259u, strlen(b.path));
    EXPECT_EQ(0, JoinPath(b.path, "C:", dir248.c_str(), "_setup", "EXE"));
    EXPECT_STREQ("", b.path);
    EXPECT_EQ(0, JoinPath(b.path, "C:", std::string(300, 'd').c_str(), NULL, NULL));
    EXPECT_STREQ("", b.path);
    EXPECT_EQ(std::string(8, 'G'), std::string(b.guard, 8));
}

}  // namespace
