#include "core/slots.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/log.h"
#include "support/work_folder.h"

namespace {

class SlotsTest : public WorkFolderTest {};

constexpr int64_t kFri1600 = 1733500800;  // Fri 2024-12-06 16:00:00 UTC
constexpr int64_t kMon0000 = kFri1600 + 2 * 86400 + 8 * 3600;

TEST_F(SlotsTest, SlotAndWeekdayOfUtcNow) {
    const struct {
        int64_t now;
        int shiftMinutes, slot, weekday;
    } rows[] = {
        {kFri1600 + 29 * 60 + 59, 0, 32, 5}, {kFri1600 + 30 * 60, 0, 33, 5}, {kMon0000 - 1, 0, 47, 7},
        {kMon0000, 0, 0, 1},                 {kMon0000, 1, 47, 7},             {kFri1600, (3 * 24 + 2) * 60, 28, 2},
        {kFri1600, -30, 33, 5},              {0, 0, 0, 4},                     {-1, 0, -1, -1},
        {60, 2, -1, -1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.now << " shifted " << r.shiftMinutes);
        gf_setUtcClock([now = r.now] { return UtcTimePoint(std::chrono::seconds(now)); });
        g_timeShiftMinutes = r.shiftMinutes;
        const uint64_t v = gf_slotAndWeekday();
        EXPECT_EQ(gf_slotOf(v), r.slot);
        EXPECT_EQ(gf_weekdayOf(v), r.weekday);
    }
    EXPECT_EQ(gf_packSlot(-1, -1), UINT64_MAX);
    EXPECT_EQ(gf_weekSlotOf(gf_packSlot(32, 5)), 4 * 48 + 32);
    EXPECT_EQ(gf_weekSlotOf(gf_packSlot(47, 7)), 335);
    for (uint64_t bad : {gf_packSlot(-1, -1), gf_packSlot(3, 0), gf_packSlot(3, 8), gf_packSlot(48, 1)})
        EXPECT_THROW(gf_weekSlotOf(bad), std::out_of_range) << bad;
}

TEST_F(SlotsTest, HoursToBitsetSkipsBadTokensWithAWarning) {
    const struct {
        const char* text;
        const char* hours;
        const char* log;
    } rows[] = {
        {"", "", ""},
        {"0,47,9,19", "0,9,19,47", ""},
        {" 3 , 1,\t2 ", "1,2,3", ""},
        {"5,5", "5", ""},
        {"1,48,2", "1,2", "===> gf_hours2bitset invalid hour '48' in 1,48,2\n"},
        {"-1,07", "7", "===> gf_hours2bitset invalid hour '-1' in -1,07\n"},
        {"1,x,+3", "1",
         "===> gf_hours2bitset invalid hour 'x' in 1,x,+3\n===> gf_hours2bitset invalid hour '+3' in 1,x,+3\n"},
        {"4,,6", "4,6", "===> gf_hours2bitset invalid hour '' in 4,,6\n"},
        {"99999999999", "", "===> gf_hours2bitset invalid hour '99999999999' in 99999999999\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        EXPECT_EQ(gf_bitset2hours(gf_hours2bitset(r.text)), r.hours);
        EXPECT_EQ(gf_capturedLog(), r.log);
    }
    HalfHourSet all;
    EXPECT_TRUE(gf_hours2bitset(gf_bitset2hours(all.set())).all());
}

TEST_F(SlotsTest, CheckedAccessRaisesTheBitsetPositionText) {
    HalfHourSet set;
    gf_slotSet(set, 0);
    gf_slotSet(set, 47);
    EXPECT_TRUE(gf_slotTest(set, 47));
    EXPECT_FALSE(gf_slotTest(set, 46));
    gf_slotSet(set, 47, false);
    for (int bad : {-1, 48, -2147483647 - 1}) {
        EXPECT_THROW(gf_slotTest(set, bad), std::out_of_range) << bad;
        EXPECT_THROW(gf_slotSet(set, bad), std::out_of_range) << bad;
    }
    EXPECT_EQ(gf_bitset2hours(set), "0");
    EXPECT_EQ(gf_checkWeekSlot(335), 335);
    EXPECT_THROW(gf_checkWeekSlot(336), std::out_of_range);
    EXPECT_THROW(gf_checkWeekSlot(-1), std::out_of_range);
}

}  // namespace
