#include "core/xml_meta.h"

#include <sstream>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/params.h"
#include "core/paths.h"
#include "support/work_folder.h"

namespace {

class XmlMetaTest : public WorkFolderTest {};

std::string lf_text(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "\t", pugi::format_default | pugi::format_no_declaration);
    return out.str();
}

TEST_F(XmlMetaTest, WritesTheFourInfosInOrderAndReadsThemBack) {
    gf_setUtcClock([] { return UtcTimePoint(std::chrono::seconds(1733500800)); });  // Fri Dec 06 2024 16:00 UTC
    g_simulatorName = "P3D";
    pugi::xml_document doc;
    doc.append_child("first");
    ASSERT_TRUE(gf_writeMetaInfo(doc));
    const std::string saved = lf_text(doc);
    EXPECT_EQ(saved, std::string("<first />\n<meta>\n\t<info name=\"author\" value=\"Trelvo\" />\n"
                                 "\t<info name=\"date\" value=\"Fri Dec 06 16:00:00 2024\" />\n"
                                 "\t<info name=\"version\" value=\"") +
                         TRELVO_VERSION + "\" />\n\t<info name=\"simulator\" value=\"P3D\" />\n</meta>\n");
    pugi::xml_document loaded;
    ASSERT_TRUE(loaded.load_string(saved.c_str()));
    EXPECT_TRUE(gf_readMetaInfo(loaded, version));
    EXPECT_EQ(version.value(), TRELVO_VERSION);
}

TEST_F(XmlMetaTest, ReadCases) {
    const struct {
        const char* xml;
        bool found;
        const char* value;
    } rows[] = {
        {"<meta><info name='date'/></meta>", true, ""},
        {"<meta><info name='author' value='x'/></meta>", false, ""},
        {"<meta><info name='date' value='first'/><info name='date' value='second'/></meta>", true, "first"},
        {"<other><meta><info name='date' value='nested'/></meta></other>", false, ""},
        {"<meta/><meta><info name='date' value='second block'/></meta>", true, "second block"},
        {"", false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.xml);
        date.set("stale");
        pugi::xml_document doc;
        doc.load_string(row.xml);
        EXPECT_EQ(gf_readMetaInfo(doc, date), row.found);
        EXPECT_EQ(date.value(), row.value);
    }
    static TextParameter quoted("it's", "", 0, false);  // records live as long as the process
    pugi::xml_document doc;
    doc.load_string("<meta><info name='x' value='y'/></meta>");
    EXPECT_THROW(gf_readMetaInfo(doc, quoted), pugi::xpath_exception);
}

}  // namespace
