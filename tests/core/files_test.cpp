#include "core/files.h"

#include <cerrno>
#include <sstream>

#include <gtest/gtest.h>

#include "core/atomic_file.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/params.h"
#include "support/work_folder.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using Lines = std::vector<std::string>;

using FilesTest = LoggedTest;

TEST_F(FilesTest, ReadTextFileDecodesEveryCharacterSet) {
    const struct {
        std::string bytes;
        Lines lines;
    } rows[] = {
        {"", {}},
        {"\xEF\xBB\xBFtitle=Z\xC3\xBCrich\r\nx\r\n", {"title=Z\xC3\xBCrich", "x"}},
        {"\xFF\xFEt\0=\0\xFC\0\r\0\n\0y\0"s, {"t=\xC3\xBC", "y"}},
        {"t=\xFC\n\x80", {"t=\xC3\xBC", "\xE2\x82\xAC"}},
        {"a\rb\n\n\r\r\n", {"a\rb", "", "\r"}},  // only CR LF and LF end a line
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.bytes);
        tst_writeFile("aircraft.cfg", r.bytes);
        Lines lines{"stale"};
        lines.reserve(4050);
        ASSERT_TRUE(gf_readTextFile("aircraft.cfg", lines));
        EXPECT_EQ(lines, r.lines);
        EXPECT_GE(lines.capacity(), 4050u);
    }
    fs::create_directory("folder");
    Lines lines{"kept"};
    EXPECT_FALSE(gf_readTextFile("missing.cfg", lines));
    EXPECT_FALSE(gf_readTextFile("folder", lines));
    EXPECT_EQ(lines, Lines{"kept"});
    tst_writeFile("park.txt", "EGLL\r\nLSZH,A12\n\nEDDF");
    EXPECT_EQ(gf_readFileLines("park.txt"), (Lines{"EGLL", "LSZH,A12", "", "EDDF"}));
    EXPECT_TRUE(gf_readFileLines("nothing.txt").empty());
    std::istringstream in("one\ntwo\n");
    gf_readLines(in, lines);
    EXPECT_EQ(lines, (Lines{"kept", "one", "two"}));
}

TEST_F(FilesTest, WritesReplaceTheOldContentOrFailWhereNoFileCanBe) {
    tst_writeFile("out/list.txt", "old content that is longer\n");
    ASSERT_TRUE(gf_writeTextFile({"EGLL", "", "LSZH,A12"}, "out/list.txt"));
    EXPECT_EQ(tst_readFile("out/list.txt"), "EGLL\n\nLSZH,A12\n");
    ASSERT_TRUE(gf_writeTextToFile("C:\\archive\\EGLL.xml", "link.txt", true));
    EXPECT_EQ(tst_readFile("link.txt"), "C:\\archive\\EGLL.xml\n");
    ASSERT_TRUE(gf_writeTextToFile("{}", "link.txt", false));
    EXPECT_EQ(tst_readFile("link.txt"), "{}");
    tst_writeFile("taken/dir/inner.txt", "x");
    EXPECT_FALSE(gf_writeTextFile({"a"}, "taken/dir"));
    EXPECT_FALSE(gf_writeTextToFile("a", "taken/dir", true));
    EXPECT_EQ(tst_readFile("taken/dir/inner.txt"), "x");
}

TEST_F(FilesTest, WholeFileReadsSayWhyAndRefuseFilesAboveTheLimit) {
    tst_writeFile("eleven.txt", "eleven byte");
    fs::create_directory("folder");
    using Row = std::tuple<const char*, int, std::optional<std::string>, const char*>;
    for (auto [path, limit, why, bytes] :
         {Row{"eleven.txt", 11, {}, "eleven byte"}, {"missing.txt", 10, "No such file or directory", ""},
          {"eleven.txt", 10, "the file is 11 bytes, more than the limit of 10 bytes", ""},
          {"folder", 10, "Is a directory", ""}}) {
        std::string read = "old";
        EXPECT_EQ(gf_readWholeFile(path, read, limit), why) << path << limit;
        EXPECT_EQ(read, bytes) << path << limit;
    }
}

// A power loss must find the old file or the new one: the new content is on the disk before
// the rename, and the rename is on the disk before the save reports success.
std::vector<std::string> g_synced;  // per flush: the target's and the temporary file's content

TEST_F(FilesTest, SavesAreFlushedBeforeAndAfterTheRename) {
    tst_writeFile("settings.xml", "old");
    gf_setFileSync([](int) {
        g_synced.push_back(tst_readFile("settings.xml") + ":" + tst_readFile("settings.xml.tmp"));
        return 0;
    });
    EXPECT_EQ(gf_replaceFileContent("settings.xml", "new"), std::nullopt);
    EXPECT_EQ(g_synced, (std::vector<std::string>{"old:new", "new:"}));
    // A flush that fails (the disk is full) keeps the old file and no temporary one.
    gf_setFileSync([](int) {
        errno = ENOSPC;
        return -1;
    });
    EXPECT_EQ(gf_replaceFileContent("settings.xml", "newer"), "No space left on device");
    EXPECT_EQ(tst_readFile("settings.xml"), "new");
    EXPECT_FALSE(fs::exists("settings.xml.tmp"));
}

TEST_F(FilesTest, FoldersAreMadeCountedListedAndCleaned) {
    gf_createDirectories("airports/TBLO/keep");
    gf_createDirectories("airports/TBLO/keep");  // already there: fine
    EXPECT_TRUE(fs::is_directory("airports/TBLO/keep"));
    tst_writeFile("in/the/way", "x");
    EXPECT_THROW(gf_createDirectories("in/the/way/below"), fs::filesystem_error);
    for (const char* f : {"EGLL.xml", "lszh.XML", "EDDF.Xml", "notes.txt", "xml", ".xml", "EGKK.xml.bak",
                          "sub.xml/inner.xml"})
        tst_writeFile(fs::path("airports") / f, "");
    EXPECT_EQ(gf_countFiles("airports"), 7u);
    EXPECT_EQ(gf_countFiles("missing"), 0u);
    EXPECT_EQ(gf_listXmlFiles("airports"), (Lines{"EDDF", "EGLL", "lszh"}));
    EXPECT_TRUE(gf_listXmlFiles("missing").empty());
    tst_writeFile("airports/TBLO/b.txt", "");
    tst_writeFile("airports/TBLO/keep/c.xml", "");
    gf_cleanFolder("airports/TBLO");
    EXPECT_EQ(gf_countFiles("airports/TBLO"), 0u);
    EXPECT_TRUE(fs::exists("airports/TBLO/keep/c.xml"));
    try {
        gf_cleanFolder("no/such/folder");
        FAIL() << "no error";
    } catch (const qtk::UserErrorException& e) {
        EXPECT_EQ(e.code(), 5);
        EXPECT_EQ(e.message().rfind("Filesystem error: ", 0), 0u) << e.message();
        EXPECT_NE(e.message().find("[no/such/folder]"), std::string::npos) << e.message();
    }
    EXPECT_EQ(gf_capturedLog(), "Cleaning folder: airports/TBLO\nCleaning folder: no/such/folder\n");
}

TEST_F(FilesTest, SimVersionFromTheInstallPath) {
    for (auto [path, setting, version] :
         {std::tuple{"C:\\Lockheed Martin\\Prepar3D v5", 6, "5"}, {"D:\\P3D V6\\", 5, "6"},
          {"E:\\sims\\v4\\P3D v6", 5, "6"}, {"E:\\vsim\\v7", 6, "6"}, {"", 5, "5"}, {"C:\\Prepar3D v", 6, "6"},
          {"C:\\Prepar3D 5", 6, "6"}}) {
        SIM_INSTALL_PATH.set(path);
        P3D_VERSION.set(setting);
        EXPECT_EQ(gf_simVersionFromPath(), version) << path;
    }
}

}  // namespace
