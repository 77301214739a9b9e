#include "core/files.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include <fmt/format.h>

#include "core/atomic_file.h"
#include "core/clock.h"
#include "core/crypto.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/params.h"
#include "core/paths.h"
#include "core/xml_meta.h"
#include "platform/known_folders.h"
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

TEST_F(FilesTest, WholeFileReadsSayWhyAndRefuseFilesAboveTheLimit) {
    tst_writeFile("eleven.txt", "eleven byte");
    std::string bytes = "old";
    EXPECT_TRUE(gf_readFileBytes("eleven.txt", bytes));
    EXPECT_EQ(bytes, "eleven byte");
    EXPECT_FALSE(gf_readFileBytes("missing.txt", bytes));
    EXPECT_EQ(bytes, "");
    // The application data folder comes from the environment; without one it is "" and logged.
    gf_setLogCapture(true);
    setenv("TRELVO_APPDATA", "/data/appdata", 1);
    EXPECT_EQ(gf_getAppDataPath(), "/data/appdata");
    unsetenv("TRELVO_APPDATA");
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    unsetenv("HOME");
    EXPECT_EQ(gf_getAppDataPath(), "");
    if (home) setenv("HOME", savedHome.c_str(), 1);
    EXPECT_EQ(gf_capturedLog(), "Could not find the user's application data folder\n");
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
    // A file whose size is not known ahead is refused as its reading passes the limit.
    std::string read = "old";
    const std::string why = gf_readWholeFile("/proc/self/status", read, 10).value_or("read");
    EXPECT_TRUE(why.starts_with("the file is ") && why.ends_with(" bytes, more than the limit of 10 bytes"))
        << why;
    EXPECT_EQ(read, "");
}

// Text files end every line, replace the old file whole, and keep it when the new one cannot be
// written; removing a file that is not there is fine, one that cannot go is a warning.
TEST_F(FilesTest, TextFilesAreWrittenWholeAndRemovedQuietly) {
    gf_setLogCapture(true);
    EXPECT_TRUE(gf_writeTextFile({"EGLL", "", "LSZH,A12"}, "out/list.txt"));
    EXPECT_EQ(tst_readFile("out/list.txt"), "EGLL\n\nLSZH,A12\n");
    EXPECT_EQ(gf_replaceTextFile({"one"}, "out/list.txt"), std::nullopt);
    EXPECT_EQ(tst_readFile("out/list.txt"), "one\n");
    EXPECT_TRUE(gf_writeTextFile({}, "out/empty.txt"));
    EXPECT_EQ(tst_readFile("out/empty.txt"), "");
    tst_writeFile("blocker", "x");
    EXPECT_FALSE(gf_writeTextFile({"lost"}, "blocker/list.txt"));
    EXPECT_EQ(gf_replaceTextFile({"lost"}, "blocker/list.txt"), "Not a directory");
    for (auto [text, withEnd, written] :
         {std::tuple{"LSZH", true, "LSZH\n"}, {"LSZH", false, "LSZH"}, {"", true, "\n"}, {"", false, ""}}) {
        EXPECT_TRUE(gf_writeTextToFile(text, "one.txt", withEnd));
        EXPECT_EQ(tst_readFile("one.txt"), written) << text << withEnd;
    }
    EXPECT_FALSE(gf_writeTextToFile("lost", "blocker/one.txt", true));
    gf_removeFileIfExists("one.txt");
    EXPECT_FALSE(fs::exists("one.txt"));
    gf_removeFileIfExists("one.txt");
    EXPECT_EQ(gf_capturedLog(), "");
    gf_removeFileIfExists("out");  // a folder that holds files
    EXPECT_TRUE(fs::exists("out/list.txt"));
    EXPECT_EQ(gf_capturedLog(), "===> Warning: could not remove out, errorcode: Directory not empty\n");
}

// A write replaces a longer old file whole; where a folder stands in the way, it fails and the
// folder keeps what it holds.
TEST_F(FilesTest, WritesReplaceTheOldContentOrFailWhereNoFileCanBe) {
    tst_writeFile("out/list.txt", "old content that is longer\n");
    ASSERT_TRUE(gf_writeTextFile({"EGLL", "", "LSZH,A12"}, "out/list.txt"));
    EXPECT_EQ(tst_readFile("out/list.txt"), "EGLL\n\nLSZH,A12\n");
    ASSERT_TRUE(gf_writeTextToFile("C:\\archive\\EGLL.xml", "link.txt", true));
    EXPECT_EQ(tst_readFile("link.txt"), "C:\\archive\\EGLL.xml\n");
    ASSERT_TRUE(gf_writeTextToFile("{}", "link.txt", false));
    EXPECT_EQ(tst_readFile("link.txt"), "{}");
    ASSERT_TRUE(gf_writeTextToFile("1", "one.txt", false)) << "a single byte is a whole write";
    EXPECT_EQ(tst_readFile("one.txt"), "1");
    tst_writeFile("taken/dir/inner.txt", "x");
    EXPECT_FALSE(gf_writeTextFile({"a"}, "taken/dir"));
    EXPECT_FALSE(gf_writeTextToFile("a", "taken/dir", true));
    EXPECT_EQ(tst_readFile("taken/dir/inner.txt"), "x");
}

// Our XML files carry who wrote them and when; a reader finds each entry by name or learns that
// there is none.
TEST_F(FilesTest, MetaBlockIsWrittenAndReadByName) {
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733500800)); });
    g_simulatorName = "P3D";
    pugi::xml_document doc;
    ASSERT_TRUE(gf_writeMetaInfo(doc));
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw);
    EXPECT_EQ(out.str(), fmt::format("<?xml version=\"1.0\"?><meta><info name=\"author\" value=\"Trelvo\"/>"
                                     "<info name=\"date\" value=\"Fri Dec 06 16:00:00 2024\"/>"
                                     "<info name=\"version\" value=\"{}\"/><info name=\"simulator\" "
                                     "value=\"P3D\"/></meta>",
                                     TRELVO_VERSION));
    const struct {
        TextParameter& record;
        bool found;
        const char* value;
    } rows[] = {{author, true, "Trelvo"},
                {date, true, "Fri Dec 06 16:00:00 2024"},
                {version, true, TRELVO_VERSION},
                {DESTINATION, false, ""}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.record.name());
        r.record.set("before");
        EXPECT_EQ(gf_readMetaInfo(doc, r.record), r.found);
        EXPECT_EQ(r.record.value(), r.value);
    }
    pugi::xml_document bare;
    bare.load_string("<meta><info name=\"author\"/></meta>");
    author.set("before");
    EXPECT_TRUE(gf_readMetaInfo(bare, author));
    EXPECT_EQ(author.value(), "") << "an entry without a value";
    g_stockAirportsPath = "airports/stock";
    gf_resetPaths();
    EXPECT_EQ(g_simulatorName + "|" + g_stockAirportsPath, "MSFS|");
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
    try {
        gf_createDirectories("in/the/way/below");
        ADD_FAILURE() << "no error";
    } catch (const fs::filesystem_error& e) {  // the operation and the path, not the library's words
        EXPECT_STREQ(e.what(), "filesystem error: create_directories: Not a directory [in/the/way/below]");
    }
    for (const char* f : {"EGLL.xml", "lszh.XML", "EDDF.Xml", "notes.txt", "xml", ".xml", "EGKK.xml.bak",
                          "sub.xml/inner.xml", "K.xml"})
        tst_writeFile(fs::path("airports") / f, "");
    EXPECT_EQ(gf_countFiles("airports"), 8u);
    EXPECT_EQ(gf_countFiles("missing"), 0u);
    EXPECT_EQ(gf_listXmlFiles("airports"), (Lines{"EDDF", "EGLL", "K", "lszh"}));
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
        EXPECT_EQ(std::string(e.what()).rfind("5: Filesystem error: ", 0), 0u) << e.what();
        EXPECT_STREQ(qtk::UserErrorException(99, "the message alone").what(), "the message alone");
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

constexpr size_t kHeader = 24;
constexpr size_t kExtra = 17;  // tag byte + MAC per chunk

using CryptoTest = LoggedTest;

std::string lf_pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 7) & 0xff);
    return s;
}

TEST_F(CryptoTest, RoundTripsAtChunkEdges) {
    for (auto [plainBytes, chunks] : {std::pair<size_t, size_t>{0, 1}, {4095, 1}, {4096, 1}, {4097, 2}, {100000, 25}}) {
        SCOPED_TRACE(plainBytes);
        const std::string plain = lf_pattern(plainBytes);
        tst_writeFile("plain.xml", plain);
        gf_streamEncrypt("plain.xml", "data.enc");
        const std::string enc = tst_readFile("data.enc");
        EXPECT_EQ(enc.size(), kHeader + plainBytes + chunks * kExtra);
        if (plain.size() >= 64) EXPECT_EQ(enc.find(plain.substr(0, 64)), std::string::npos);
        tst_writeFile("out.xml", std::string(10000, 'x'));  // an older, longer plain file is replaced
        ASSERT_TRUE(gf_streamDecrypt("data.enc", "out.xml"));
        EXPECT_EQ(tst_readFile("out.xml"), plain);
    }
    EXPECT_EQ(gf_capturedLog(), "");
    // A new header (nonce) per stream: the same plain text never gives the same bytes.
    EXPECT_NE(gf_encryptBytes("same"), gf_encryptBytes("same"));
}

// A cut or flipped stream fails with the reason and where.
TEST_F(CryptoTest, DamagedStreamsFailWithTheirReason) {
    const std::string enc = gf_encryptBytes(lf_pattern(5000)), oneChunk = gf_encryptBytes(lf_pattern(4096));
    std::string flipped = enc;
    flipped[kHeader + 4096 + kExtra + 10] ^= 0x01;
    const struct {
        std::string bytes;
        const char* what;
    } rows[] = {
        {enc.substr(0, kHeader - 1), "truncated header"},
        {enc.substr(0, kHeader), "stream ends without the final chunk"},
        {enc.substr(0, kHeader + 4096 + kExtra + 16), "truncated chunk at offset 4137"},
        {enc.substr(0, kHeader + 100), "corrupted chunk at offset 24"},
        {flipped, "corrupted chunk at offset 4137"},
        {enc + "x", "corrupted chunk at offset 4137"},  // a short final chunk swallows what follows
        {oneChunk + "x", "data after the final chunk at offset 4137"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        try {
            gf_decryptBytes(row.bytes);
            ADD_FAILURE() << "decrypted";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), row.what);
        }
    }
    EXPECT_EQ(gf_decryptBytes(enc), lf_pattern(5000));
}

// A failed decryption leaves no plain file behind, not even an older one.
TEST_F(CryptoTest, FailedStreamsLogAndLeaveNoPlainFile) {
    std::string enc = gf_encryptBytes("<airports/>");
    enc[30] ^= 0x04;
    tst_writeFile("data.enc", enc);
    tst_writeFile("out.xml", "stale plain file");
    EXPECT_FALSE(gf_streamDecrypt("data.enc", "out.xml"));
    EXPECT_FALSE(fs::exists("out.xml"));
    tst_writeFile("out.xml", "stale plain file");
    EXPECT_FALSE(gf_streamDecrypt("missing.enc", "out.xml"));
    EXPECT_FALSE(fs::exists("out.xml"));
    EXPECT_THROW(gf_streamEncrypt("missing.xml", "x.enc"), std::runtime_error);
    EXPECT_FALSE(fs::exists("x.enc"));
    tst_writeFile("data.enc", gf_encryptBytes("abc"));
    EXPECT_FALSE(gf_streamDecrypt("data.enc", "no/such/folder/out.xml"));
    EXPECT_EQ(
        gf_capturedLog(),
        "gf_streamDecrypt exception: data.enc: cannot be decrypted: corrupted chunk at offset 24\n"
        "gf_streamDecrypt exception: missing.enc: cannot be read: No such file or directory\n"
        "gf_streamDecrypt exception: data.enc: cannot be decrypted into no/such/folder/out.xml: No such file "
        "or directory\n");
    // A full disk shows only when the plain file is flushed; what was written of it goes too.
    fs::create_symlink("/dev/full", "full.xml");
    EXPECT_EQ(gf_decryptFile("data.enc", "full.xml"),
              "data.enc: cannot be decrypted into full.xml: No space left on device");
    EXPECT_FALSE(fs::exists(fs::symlink_status("full.xml")));
    EXPECT_EQ(gf_decryptFile("data.enc", "out.xml"), "");
    EXPECT_EQ(tst_readFile("out.xml"), "abc");
}

}  // namespace
