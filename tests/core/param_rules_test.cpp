#include "core/param_rules.h"

#include <limits>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/params.h"
#include "support/work_folder.h"

namespace {

class ParamRulesTest : public WorkFolderTest {};

constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();

struct Snap {
    int in;
    int out;
};

TEST_F(ParamRulesTest, SnapRangeAtEveryEdge) {
    const Snap rows[] = {
        {kMin, 2}, {-1, 2},  {0, 2},   {2, 2},   {3, 3},    {4, 4},     {5, 5},      {6, 6},
        {7, 8},    {8, 8},   {9, 10},  {10, 10}, {11, 12},  {12, 12},   {13, 14},    {14, 14},
        {15, 16},  {16, 16}, {17, 18}, {18, 18}, {19, 20},  {22, 20},   {23, 25},    {27, 25},
        {28, 30},  {32, 30}, {33, 35}, {37, 35}, {38, 40},  {44, 40},   {45, 50},    {56, 50},
        {57, 65},  {72, 65}, {73, 80}, {89, 80}, {90, 100}, {100, 100}, {kMax, 100},
    };
    for (const Snap& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(gf_snapRange(row.in), row.out);
    }
}

TEST_F(ParamRulesTest, SnapPercentageAtEveryEdge) {
    const Snap rows[] = {
        {kMin, 0}, {-13, 0},  {-8, 0},    {-7, 0},    {-3, 0},    {0, 0},      {2, 0},
        {3, 5},    {7, 5},    {8, 10},    {12, 10},   {13, 15},   {47, 45},    {48, 50},
        {97, 95},  {98, 100}, {100, 100}, {102, 100}, {103, 100}, {kMax, 100},
    };
    for (const Snap& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(gf_snapPercentage(row.in), row.out);
    }
}

TEST_F(ParamRulesTest, MaxFitToFloatAtEveryEdge) {
    struct Row {
        int halfHours;
        double hours;
    };
    const Row rows[] = {
        {47, 24}, {44, 24}, {43, 21}, {38, 21}, {37, 18}, {32, 18}, {31, 15}, {26, 15},
        {25, 12}, {22, 12}, {21, 11}, {20, 11}, {19, 10}, {18, 10}, {17, 9},  {16, 9},
        {15, 8},  {14, 8},  {13, 7},  {12, 7},  {11, 6},  {10, 6},  {9, 5},   {8, 4.5},
        {7, 4},   {6, 3.5}, {5, 3},   {4, 2.5}, {3, 2},   {2, 1.5}, {1, 1},   {0, 0.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.halfHours);
        MAX_FIT.set(row.halfHours);
        EXPECT_EQ(gf_maxFitToFloat(), row.hours);
    }
}

// Every setting's default and range as the settings are documented, in registry order.
TEST_F(ParamRulesTest, EveryDefaultAsDocumented) {
    gf_resetParameters();
    std::string all;
    for (const Parameter* p : gf_allParameters()) {
        all += fmt::format("{}={}", p->name(), p->valueText());
        if (auto* ip = dynamic_cast<const IntParameter*>(p))
            all += fmt::format("({}..{})", ip->min(), ip->max());
        all += ' ';
    }
    std::string folders;
    for (const char* kind : {"l", "a"})
        for (int i = 0; i < 10; ++i) folders += fmt::format("{}folder{}= ", kind, i);
    EXPECT_EQ(
        all,
        "RANGE=40(2..100) AUTO_RANGE=true LATERAL_RANGE=40(2..100) MAX_LIVE_SEL=500(0..500) "
        "MAX_LIVE=-1(-1..300) MAX_PARK_SEL=500(0..500) CUSTOM_PARKING_PERCENTAGE=-1(-1..100) "
        "parking_percentage=0(0..100) MAX_FIT=47(0..47) MAX_FIT_FL=21 WEEK=false PARK_SOFT=true "
        "PARK_FAKE=false INITIAL_LOAD_ONLY=false RT_PARKTRAFFIC_ONLY=false LEARN_SOFT=true "
        "AIRP_RANGE=20(5..30) AIRP_HEIGHT=18000(2000..48000) DESTINATION= MATCHING_DEPTH=4(1..4) "
        "LIGHT_AIRCRAFT=true HIGH_PERF_AIRCRAFT=true HELICOPTERS=true AIRBORNE_ONLY=false "
        "GUID_CHANGES=true NAV_LIGHTS_WHILE_PARKED=true STRAIGHT_PBS_ONLY=false COLLISION_USER_AIR=true "
        "COLLISION_USER_GND=true COLLISION_LIVE_PARKED_GND=false LOG=true BLOCK_CALLSIGN= "
        "HOLDING_THRESHOLD_METERS=250(10..4000) MAX_HOLDING_MINUTES=20(1..60) SCAN_LIVERIES=true "
        "LIG_AUTOMATIC=true LIG_PRIORITIZE=false SCAN_AIRPORTS=true AFG_AUTOMATIC=true " +
            folders +
            "SIM_INSTALL_PATH= P3D_VERSION=5(5..6) SIM_TIME=false KEEP_SIM_TIME_PAR=false "
            "TIME_SHIFT_DAYS=0(0..13) TIME_SHIFT_HOURS=0(0..23) TIME_SHIFT_MINS=0(0..59) "
            "LAST_EPOCH_TIME=0 author= date= version= ");
}

// A stored number is taken whole or not at all.
TEST_F(ParamRulesTest, StoredNumbersRefuseJunk) {
    for (const char* text : {"2.5x", "x2.5", "", " ", "inf", "nan", "1e999"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(MAX_FIT_FL.setFromText(text));
        EXPECT_FALSE(MATCHING_DEPTH.setFromText(text));
    }
    EXPECT_FALSE(MATCHING_DEPTH.setFromText("2.5"));
    EXPECT_EQ(MAX_FIT_FL.value(), 21.0);
    EXPECT_EQ(MATCHING_DEPTH.value(), 4);
    EXPECT_TRUE(MAX_FIT_FL.setFromText(" 2.5 "));
    EXPECT_EQ(MAX_FIT_FL.value(), 2.5);
    EXPECT_TRUE(MATCHING_DEPTH.setFromText("9"));
    EXPECT_EQ(MATCHING_DEPTH.value(), 4) << "clamped";
}

// A control finds its own record, and a value between the choices selects none of them.
TEST_F(ParamRulesTest, ControlsFindTheirRecordAndChoice) {
    EXPECT_EQ(gf_parameterOfControl(ctl::kMatchingDepth), &MATCHING_DEPTH);
    EXPECT_EQ(gf_parameterOfControl(0), nullptr);
    RANGE.set(7);
    EXPECT_EQ(RANGE.choiceIndex(), -1);
    RANGE.set(8);
    EXPECT_EQ(RANGE.choiceIndex(), 5);
}

}  // namespace
