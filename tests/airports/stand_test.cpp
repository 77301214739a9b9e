#include "airports/stand.h"

#include <numbers>

#include "support/stand_builders.h"
#include "support/work_folder.h"

namespace {

using StandTest = WorkFolderTest;

// A stand so many metres north of the origin, not numbered yet.
void tst_addStand(const char* name, double metresNorth, double radiusMetres) {
    tst_addStands({{name, metresNorth, 0, radiusMetres}}, false);
}

TEST_F(StandTest, ConstructionConvertsTheRadiusAndClearsTheFlags) {
    Stand s("A12", {StandOption("DLH4AB", "", "DLH", "B738", "D-ABCD", 0b110, 1, 3, 1, 1)}, 50.1, 8.2,
            std::numbers::pi / 2, 18.52, true, false, true);
    EXPECT_DOUBLE_EQ(s.radius, 0.01);
    EXPECT_TRUE(s.cargo && s.heli && !s.ramp);
    EXPECT_EQ(s.options.at(0).reg, "D-ABCD");
    EXPECT_EQ(StandOption::madeUp("BAW", "A320", "G-EUUA", "BAW12", 1, 2, 4, 1, 0).callsign, "BAW12");
}

TEST_F(StandTest, NeighbourRule) {
    struct Row {
        const char* name;
        double apartMetres;
        double radiusA, radiusB;
        bool neighbours;
    };
    const Row rows[] = {
        {"20 m and 25 m, 40 m apart (44 < 45)", 40, 20, 25, true},
        {"20 m and 25 m, 41 m apart (45.1 > 45)", 41, 20, 25, false},
        {"same position, radius 0", 0, 0, 0, false},
        {"same position, radius 1 m", 0, 1, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        gf_clearStands();
        tst_addStand("A", 0, row.radiusA);
        tst_addStand("B", row.apartMetres, row.radiusB);
        gf_numberStands();
        EXPECT_EQ(g_stands[0].neighbours,
                  row.neighbours ? std::vector<uint32_t>{2} : std::vector<uint32_t>{});
        EXPECT_EQ(g_stands[1].neighbours,
                  row.neighbours ? std::vector<uint32_t>{1} : std::vector<uint32_t>{});
    }
}

TEST_F(StandTest, NumberingIsOneBasedAndNeighbourListsAscendSymmetrically) {
    // A row of stands 30 m apart with 20 m radii: each touches the ones next to it only.
    for (int i = 0; i < 5; ++i) tst_addStand(std::to_string(i + 1).c_str(), 30.0 * i, 20);
    tst_addStand("far", 5000, 20);
    tst_addStand("on 3", 60, 20);  // same place as stand 3
    gf_numberStands();
    for (size_t i = 0; i < g_stands.size(); ++i) EXPECT_EQ(g_stands[i].standId, i + 1);
    EXPECT_EQ(g_stands[0].neighbours, (std::vector<uint32_t>{2}));
    EXPECT_EQ(g_stands[2].neighbours, (std::vector<uint32_t>{2, 4, 7}));
    EXPECT_EQ(g_stands[5].neighbours, std::vector<uint32_t>{});
    EXPECT_EQ(g_stands[6].neighbours, (std::vector<uint32_t>{2, 3, 4}));
    for (const Stand& a : g_stands)
        for (uint32_t id : a.neighbours) {
            EXPECT_NE(id, a.standId);
            const auto& back = g_stands[id - 1].neighbours;
            EXPECT_NE(std::find(back.begin(), back.end(), a.standId), back.end()) << a.name << " -> " << id;
        }
    // Numbering again does not duplicate the lists.
    gf_numberStands();
    EXPECT_EQ(g_stands[2].neighbours, (std::vector<uint32_t>{2, 4, 7}));
}

TEST_F(StandTest, LookupByIdAlsoAfterTheListChanged) {
    tst_addStand("A1", 0, 20);
    tst_addStand("B7", 500, 20);
    gf_numberStands();
    EXPECT_EQ(gf_standNameOfId(2), "B7");
    EXPECT_EQ(gf_standNameOfId(0), "sid==0?");
    EXPECT_EQ(gf_standNameOfId(3), "sid==?");
    // A stand taken out without numbering again: the others keep their ids.
    g_stands.erase(g_stands.begin());
    EXPECT_EQ(gf_standById(2), &g_stands[0]);
    EXPECT_EQ(gf_standById(1), nullptr);
}

TEST_F(StandTest, PublishedCopyFollowsNumberingAndClearing) {
    EXPECT_TRUE(gf_publishedStands()->empty());
    tst_addStand("A1", 0, 20);
    EXPECT_TRUE(gf_publishedStands()->empty()) << "appending alone publishes nothing";
    tst_addStand("B7", 500, 20);
    gf_numberStands();
    const uint64_t version = gf_publishedStandsVersioned().version;
    const auto published = gf_publishedStands();
    ASSERT_EQ(published->size(), 2u);
    EXPECT_EQ((*published)[1].name, "B7");
    EXPECT_DOUBLE_EQ((*published)[1].position.lat, tst_offsetM(500, 0).lat);
    gf_clearStands();
    EXPECT_TRUE(g_stands.empty());
    EXPECT_TRUE(gf_publishedStands()->empty());
    EXPECT_GT(gf_publishedStandsVersioned().version, version) << "readers' cached answers go stale";
    EXPECT_EQ(published->size(), 2u) << "a reader's copy stays whole while the list is rebuilt";
}

}  // namespace
