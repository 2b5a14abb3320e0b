// The .reg text reader and writer of the host registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/host/regtree.h"
#include "platform/testing.h"

namespace {

class RegTextTest : public ::testing::Test {
protected:
    void SetUp() override { kit_test::Reset(); }
    void TearDown() override { kit_test::Reset(); }
};

// Reads a value through the registry functions: type and bytes.
bool QueryValue(HKEY root, const char* path, const char* name, DWORD* type, std::vector<BYTE>* data) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LSTATUS r = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
    if (r == ERROR_SUCCESS) {
        data->assign(size, 0);
        r = RegQueryValueExA(key, name, nullptr, type, data->data(), &size);
    }
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

std::vector<BYTE> Bytes(const std::string& s) { return std::vector<BYTE>(s.begin(), s.end()); }

// Texts in the writer's own form: reading and writing them again gives the
// same bytes.
struct RoundTrip {
    const char* what;
    const char* text;
};

const RoundTrip kRoundTrips[] = {
    {"empty registry", "REGEDIT4\n\n"},
    {"string, escapes and the unnamed value",
     "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n"
     "@=\"default\"\n"
     "\"Path\"=\"C:\\\\Program Files\\\\App\\\\\"\n"
     "\"Quote\"=\"say \\\"hi\\\"\"\n"
     "\"Empty\"=\"\"\n"
     "\"name with \\\"quotes\\\" and = sign\"=\"x\"\n\n"},
    {"8-bit text is kept as bytes",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\\xC7\xE5\xEB\xEC\xE0\xF0]\n\"\xC8\xEC\xFF\"=\"\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5\tx\"\n\n"},
    {"dword, binary and typed hex",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\Console]\n"
     "\"FullScreen\"=dword:0000000a\n"
     "\"Max\"=dword:ffffffff\n"
     "\"Bin\"=hex:00,01,fe,ff\n"
     "\"NoBytes\"=hex:\n"
     "\"Expand\"=hex(2):25,50,41,54,48,25,00\n"
     "\"Multi\"=hex(7):61,00,62,00,00\n"
     "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\n"
     "\"Other\"=hex(123):07\n\n"},
    {"string data a plain string cannot show",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\S]\n"
     "\"NoTerminator\"=hex(1):61,62\n"
     "\"LineBreak\"=hex(1):61,0d,0a,62,00\n"
     "\"InnerZero\"=hex(1):61,00,62,00\n"
     "\"ShortDword\"=hex(4):01,02\n\n"},
    {"empty keys, nesting order, both roots",
     "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\B]\n\n[HKEY_LOCAL_MACHINE\\B\\Inner]\n\n[HKEY_LOCAL_MACHINE\\A]\n\n"
     "[HKEY_CURRENT_USER]\n\"RootValue\"=\"r\"\n\n[HKEY_CURRENT_USER\\C]\n\n"},
    {"a long binary wraps with continuation lines",
     "REGEDIT4\n\n[HKEY_CURRENT_USER\\W]\n"
     "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
     "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\n"
     "  2f,30,31\n\n"},
};

TEST_F(RegTextTest, WriterReproducesItsOwnTextByteForByte) {
    for (const RoundTrip& row : kRoundTrips) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(kit_test::LoadRegistryText(row.text));
        EXPECT_EQ(row.text, kit_test::ExportRegistryText());
    }
}

TEST_F(RegTextTest, ValuesReadBackWithTheirTypesAndBytes) {
    ASSERT_TRUE(kit_test::LoadRegistryText(kRoundTrips[1].text));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Path", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(Bytes(std::string("C:\\Program Files\\App\\") + '\0'), data);
    ASSERT_TRUE(QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", nullptr, &type, &data));
    EXPECT_EQ(Bytes(std::string("default", 8)), data);
    ASSERT_TRUE(QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "Empty", &type, &data));
    EXPECT_EQ(std::vector<BYTE>(1, 0), data);

    ASSERT_TRUE(kit_test::LoadRegistryText(kRoundTrips[3].text));
    ASSERT_TRUE(QueryValue(HKEY_CURRENT_USER, "Console", "FullScreen", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ((std::vector<BYTE>{10, 0, 0, 0}), data);
    ASSERT_TRUE(QueryValue(HKEY_CURRENT_USER, "Console", "Expand", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_EQ(Bytes(std::string("%PATH%", 7)), data);
    ASSERT_TRUE(QueryValue(HKEY_CURRENT_USER, "Console", "Quad", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_QWORD), type);
    ASSERT_TRUE(QueryValue(HKEY_CURRENT_USER, "Console", "Other", &type, &data));
    EXPECT_EQ(0x123u, type);
    EXPECT_EQ(std::vector<BYTE>(1, 7), data);
    ASSERT_TRUE(QueryValue(HKEY_CURRENT_USER, "Console", "NoBytes", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    EXPECT_TRUE(data.empty());
}

// regedit's own exports: CR LF line ends, its own wrapping of hex lists,
// blanks around list items, upper-case digits, a comment, a repeated key.
TEST_F(RegTextTest, ReadsRegeditStyleTextWithContinuedHexLists) {
    const char* text =
        "REGEDIT4\r\n\r\n"
        "; exported\r\n"
        "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
        "\"Bin\"=hex:00,01,02,\\\r\n"
        "  03,04,\\\r\n"
        "      05\r\n"
        "\"Exp\"=hex(2):25,54,25 , 00\r\n"
        "\"Dw\"=dword:0000ABCD\r\n"
        "\r\n"
        "[hkey_current_user\\software\\TEST]\r\n"
        "\"Late\"=\"added to the same key\"\r\n";
    ASSERT_TRUE(kit_test::LoadRegistryText(text));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(QueryValue(HKEY_CURRENT_USER, "Software\\Test", "Bin", &type, &data));
    EXPECT_EQ((std::vector<BYTE>{0, 1, 2, 3, 4, 5}), data);
    ASSERT_TRUE(QueryValue(HKEY_CURRENT_USER, "Software\\Test", "Exp", &type, &data));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_EQ(Bytes(std::string("%T%", 4)), data);
    ASSERT_TRUE(QueryValue(HKEY_CURRENT_USER, "Software\\Test", "Dw", &type, &data));
    EXPECT_EQ((std::vector<BYTE>{0xCD, 0xAB, 0, 0}), data);
    EXPECT_TRUE(QueryValue(HKEY_CURRENT_USER, "Software\\Test", "Late", &type, &data));
    EXPECT_EQ(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\Test]\n"
        "\"Bin\"=hex:00,01,02,03,04,05\n\"Exp\"=hex(2):25,54,25,00\n\"Dw\"=dword:0000abcd\n"
        "\"Late\"=\"added to the same key\"\n\n",
        kit_test::ExportRegistryText());
}

TEST_F(RegTextTest, DeletionLinesRemoveKeysAndValues) {
    const char* text =
        "REGEDIT4\n\n"
        "[HKEY_LOCAL_MACHINE\\Keep]\n\"a\"=\"1\"\n\"b\"=\"2\"\n"
        "[HKEY_LOCAL_MACHINE\\Gone\\Deep]\n\"c\"=\"3\"\n"
        "[-HKEY_LOCAL_MACHINE\\Gone]\n\"ignored\"=\"inside a deleted key\"\n"
        "[HKEY_LOCAL_MACHINE\\Keep]\n\"a\"=-\n";
    ASSERT_TRUE(kit_test::LoadRegistryText(text));
    EXPECT_EQ("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Keep]\n\"b\"=\"2\"\n\n", kit_test::ExportRegistryText());
}

TEST_F(RegTextTest, VolatileMarkIsKeptByTheTestExportOnly) {
    const char* text =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Stay]\n\n; volatile\n[HKEY_CURRENT_USER\\Stay\\Temp]\n\"v\"=\"1\"\n\n"
        "; volatile\n[HKEY_CURRENT_USER\\Stay\\Temp\\Child]\n\n";
    ASSERT_TRUE(kit_test::LoadRegistryText(text));
    EXPECT_EQ(text, kit_test::ExportRegistryText());
    EXPECT_FALSE(kit_test::KeyIsVolatile(HKEY_CURRENT_USER, "Stay"));
    EXPECT_TRUE(kit_test::KeyIsVolatile(HKEY_CURRENT_USER, "Stay\\Temp"));
    EXPECT_TRUE(kit_test::KeyIsVolatile(HKEY_CURRENT_USER, "stay\\temp\\child"));

    kit_host::RegTree tree;
    std::string error;
    int line = 0;
    ASSERT_TRUE(kit_host::ParseRegText(text, &tree, &error, &line));
    EXPECT_EQ("REGEDIT4\n\n[HKEY_CURRENT_USER\\Stay]\n\n", kit_host::WriteRegText(tree, false));
}

TEST_F(RegTextTest, EmptyTextIsAnEmptyRegistry) {
    EXPECT_TRUE(kit_test::LoadRegistryText(""));
    EXPECT_TRUE(kit_test::LoadRegistryText("\n\r\n  \n"));
    EXPECT_EQ("REGEDIT4\n\n", kit_test::ExportRegistryText());
}

struct Malformed {
    const char* text;
    int line;          // the line the reader names
    const char* why;   // what is wrong with it
};

const Malformed kMalformed[] = {
    {"[HKEY_LOCAL_MACHINE\\A]\n", 1, "no header"},
    {"REGEDIT5\n\n[HKEY_LOCAL_MACHINE\\A]\n", 1, "wrong header"},
    {"REGEDIT4\n\"a\"=\"b\"\n", 2, "value before the first key"},
    {"REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n", 2, "root the layer does not hold"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", 2, "key line without ]"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]x\n", 2, "text after ]"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\\\A]\n", 2, "empty key name"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A\\]\n", 2, "empty last key name"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\n", 3, "string without closing quote"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a=\"b\"\n", 3, "name without closing quote"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"\\q\"\n", 3, "unknown escape"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\" c\n", 3, "text after the string"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\" \"b\"\n", 3, "no ="},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:123456789\n", 3, "dword of nine digits"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:\n", 3, "dword without digits"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:12x\n", 3, "dword with a non-hex digit"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:0g\n", 3, "non-hex byte"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:123\n", 3, "byte of three digits"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01 02\n", 3, "bytes without a comma"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,,02\n", 3, "empty byte"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(zz):01\n", 3, "bad hex type"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(2)01\n", 3, "hex type without colon"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,\\\n", 3, "continuation past the end"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=text\n", 3, "unknown value form"},
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\ngarbage\n", 3, "line of no known kind"},
    // A continued value is named by the line it begins on.
    {"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"ok\"=\"1\"\n\"a\"=hex:01,\\\n  02,zz\n", 4, "bad byte on a continuation line"},
};

TEST_F(RegTextTest, MalformedTextLeavesAnEmptyRegistryAndNamesTheLine) {
    for (const Malformed& row : kMalformed) {
        SCOPED_TRACE(row.why);
        ASSERT_TRUE(kit_test::LoadRegistryText("REGEDIT4\n[HKEY_CURRENT_USER\\Before]\n\"x\"=\"y\"\n"));
        EXPECT_FALSE(kit_test::LoadRegistryText(row.text));
        EXPECT_EQ("REGEDIT4\n\n", kit_test::ExportRegistryText());

        kit_host::RegTree tree;
        std::string error;
        int line = 0;
        EXPECT_FALSE(kit_host::ParseRegText(row.text, &tree, &error, &line));
        EXPECT_EQ(row.line, line);
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
