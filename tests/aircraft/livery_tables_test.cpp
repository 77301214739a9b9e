#include "aircraft/livery_tables.h"

#include <gtest/gtest.h>

#include "aircraft/livery_fixture.h"
#include "core/params.h"
#include "platform/window_model.h"

namespace {

class LiveryTablesTest : public LiveryTest {};

// Pick lists of the classes hold only installed types; light types are logged twenty a line and
// their check box is enabled again.
TEST_F(LiveryTablesTest, PickListsDrawOnlyWhatIsInstalled) {
    gf_setEnabled(ctl::kLightAircraft, false);
    std::vector<Liv> rows = {{"REG", "EC35", "EC35 Rega"}, {"NJE", "CL60", "CL60 NetJets"},
                             {"NJE", "C56X", "C56X NetJets"}, {"SWR", "A320", "A320 Swiss"}};
    std::vector<std::string> names;
    for (int i = 0; i < 45; ++i) names.push_back(fmt::format("L{:03}", i));  // unknown types count as Light
    for (const std::string& name : names) rows.push_back({"ZZZ", name.c_str(), name.c_str()});
    build(rows);
    std::string lines = "Category Light: 45 pax liveries\n";
    for (int first : {0, 20, 40}) {
        std::string line = "  ";
        for (int i = first; i < std::min(first + 20, 45); ++i) line += names[i] + ",";
        line.back() = '\n';
        lines += line;
    }
    const std::string log = newLog();
    EXPECT_NE(log.find(lines), std::string::npos) << log;
    EXPECT_EQ(g_lightTypes, names);
    EXPECT_TRUE(gf_controlState(ctl::kLightAircraft).enabled && LIGHT_AIRCRAFT.value());
    EXPECT_EQ(lf_randomHeliType(), "EC35");
    EXPECT_EQ(g_heliTypes, (ClassPickList{"EC35"}));
    EXPECT_EQ(g_bizjetTypes, (ClassPickList{"C56X", "CL60"}));
    std::set<std::string> drawn;
    for (int i = 0; i < 50; ++i) drawn.insert(lf_randomBizjetType());
    EXPECT_EQ(drawn, (std::set<std::string>{"C56X", "CL60"}));
}

TEST_F(LiveryTablesTest, ReserveOnlyOnceAndClearEmptiesEveryTable) {
    gf_reserveLiveryTables();
    EXPECT_GE(g_lightTypes.capacity(), 64u);
    g_lightTypes.shrink_to_fit();
    gf_reserveLiveryTables();
    EXPECT_EQ(g_lightTypes.capacity(), 0u);
    build({{"SWR", "A320", "t"}});
    gf_clearLiveryTables();
    EXPECT_TRUE(g_rawAirlineTable.empty() && g_typeTables[0].empty() && g_airlineTables[0].empty());
}

// Codes that differ only in their last byte (A330, A338) keep one run each, titles in order.
TEST_F(LiveryTablesTest, CodesDifferingInTheLastByteStayApart) {
    build({{"SWR", "A338", "t1"}, {"SWR", "A330", "t2"}, {"SWR", "A338", "t0"}, {"SWR", "A330", "t3"}});
    ASSERT_EQ(g_rawAirlineTable.at("SWR").size(), 2u);
    EXPECT_EQ(g_airlineTables[0].at("SWR").at("A330"), (TitleList{"t2", "t3"}));
    EXPECT_EQ(g_airlineTables[0].at("SWR").at("A338"), (TitleList{"t0", "t1"}));
}

}  // namespace
