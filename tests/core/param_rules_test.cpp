#include "core/param_rules.h"

#include <gtest/gtest.h>

#include "core/params.h"
#include "support/work_folder.h"

namespace {

class ParamRulesTest : public WorkFolderTest {};

struct Snap {
    int in;
    int out;
};

TEST_F(ParamRulesTest, SnapRangeAtEveryEdge) {
    const Snap rows[] = {
        {-2147483647 - 1, 2},
        {-1, 2},
        {0, 2},
        {2, 2},
        {3, 3},
        {4, 4},
        {5, 5},
        {6, 6},
        {7, 8},
        {8, 8},
        {9, 10},
        {10, 10},
        {11, 12},
        {12, 12},
        {13, 14},
        {14, 14},
        {15, 16},
        {16, 16},
        {17, 18},
        {18, 18},
        {19, 20},
        {22, 20},
        {23, 25},
        {27, 25},
        {28, 30},
        {32, 30},
        {33, 35},
        {37, 35},
        {38, 40},
        {44, 40},
        {45, 50},
        {56, 50},
        {57, 65},
        {72, 65},
        {73, 80},
        {89, 80},
        {90, 100},
        {100, 100},
        {2147483647, 100},
    };
    for (const Snap& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(gf_snapRange(row.in), row.out);
    }
}

TEST_F(ParamRulesTest, SnapRangeAlwaysGivesARangeChoice) {
    for (int nm = -5; nm <= 120; ++nm) {
        SCOPED_TRACE(nm);
        RANGE.set(gf_snapRange(nm));
        EXPECT_EQ(RANGE.value(), gf_snapRange(nm));
        EXPECT_GE(RANGE.choiceIndex(), 0);
    }
}

TEST_F(ParamRulesTest, SnapPercentageAtEveryEdge) {
    const Snap rows[] = {
        {-2147483647 - 1, 0},
        {-13, 0},
        {-8, 0},
        {-7, 0},
        {-3, 0},
        {0, 0},
        {2, 0},
        {3, 5},
        {7, 5},
        {8, 10},
        {12, 10},
        {13, 15},
        {47, 45},
        {48, 50},
        {97, 95},
        {98, 100},
        {100, 100},
        {102, 100},
        {103, 100},
        {2147483647, 100},
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

}  // namespace
