#include "core/slots.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/log.h"
#include "support/work_folder.h"

namespace {

class SlotsTest : public WorkFolderTest {
  protected:
    void SetUp() override {
        WorkFolderTest::SetUp();
        gf_setLogCapture(true);
    }
    static void setNow(int64_t epochSeconds) {
        gf_setUtcClock([epochSeconds] { return UtcTimePoint(std::chrono::seconds(epochSeconds)); });
    }
};

constexpr int64_t kFri1600 = 1733500800;  // Fri 2024-12-06 16:00:00 UTC

TEST_F(SlotsTest, PackAndUnpack) {
    const uint64_t v = gf_packSlot(33, 5);
    EXPECT_EQ(v, (uint64_t{33} << 32) | 5);
    EXPECT_EQ(gf_slotOf(v), 33);
    EXPECT_EQ(gf_weekdayOf(v), 5);
    const uint64_t unknown = gf_packSlot(-1, -1);
    EXPECT_EQ(unknown, UINT64_MAX);
    EXPECT_EQ(gf_slotOf(unknown), -1);
    EXPECT_EQ(gf_weekdayOf(unknown), -1);
}

TEST_F(SlotsTest, SlotAndWeekdayOfUtcNow) {
    const struct {
        const char* name;
        int64_t now;
        int shiftMinutes;
        int slot, weekday;
    } rows[] = {
        {"Friday 16:00", kFri1600, 0, 32, 5},
        {"Friday 16:29:59", kFri1600 + 29 * 60 + 59, 0, 32, 5},
        {"Friday 16:30", kFri1600 + 30 * 60, 0, 33, 5},
        {"Sunday 23:59:59", kFri1600 + 2 * 86400 + 8 * 3600 - 1, 0, 47, 7},
        {"Monday 00:00", kFri1600 + 2 * 86400 + 8 * 3600, 0, 0, 1},
        {"Monday 00:00 shifted back 1 minute", kFri1600 + 2 * 86400 + 8 * 3600, 1, 47, 7},
        {"Friday 16:00 shifted back 3 days 2 h", kFri1600, (3 * 24 + 2) * 60, 28, 2},
        {"Friday 16:00 shifted forward 30 min", kFri1600, -30, 33, 5},
        {"the epoch, a Thursday", 0, 0, 0, 4},
        {"before the epoch", -1, 0, -1, -1},
        {"shifted back before the epoch", 60, 2, -1, -1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        setNow(r.now);
        g_timeShiftMinutes = r.shiftMinutes;
        const uint64_t v = gf_slotAndWeekday();
        EXPECT_EQ(gf_slotOf(v), r.slot);
        EXPECT_EQ(gf_weekdayOf(v), r.weekday);
    }
}

TEST_F(SlotsTest, HoursToBitsetSkipsBadTokensWithAWarning) {
    const struct {
        const char* text;
        const char* hours;
        const char* log;
    } rows[] = {
        {"", "", ""},
        {"0,47", "0,47", ""},
        {" 3 , 1,\t2 ", "1,2,3", ""},
        {"5,5", "5", ""},
        {"1,48,2", "1,2", "===> gf_hours2bitset invalid hour '48' in 1,48,2\n"},
        {"-1,07", "7", "===> gf_hours2bitset invalid hour '-1' in -1,07\n"},
        {"1,x,2.5,+3", "1",
         "===> gf_hours2bitset invalid hour 'x' in 1,x,2.5,+3\n"
         "===> gf_hours2bitset invalid hour '2.5' in 1,x,2.5,+3\n"
         "===> gf_hours2bitset invalid hour '+3' in 1,x,2.5,+3\n"},
        {"4,,6", "4,6", "===> gf_hours2bitset invalid hour '' in 4,,6\n"},
        {"99999999999", "", "===> gf_hours2bitset invalid hour '99999999999' in 99999999999\n"},
        {"{}", "", "===> gf_hours2bitset invalid hour '{}' in {}\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        gf_setLogCapture(false);
        gf_setLogCapture(true);
        EXPECT_EQ(gf_bitset2hours(gf_hours2bitset(r.text)), r.hours);
        EXPECT_EQ(gf_capturedLog(), r.log);
    }
}

TEST_F(SlotsTest, BitsetToHoursListsAscending) {
    HalfHourSet set;
    EXPECT_EQ(gf_bitset2hours(set), "");
    set.set(47).set(0).set(12);
    EXPECT_EQ(gf_bitset2hours(set), "0,12,47");
    set.set();
    const HalfHourSet back = gf_hours2bitset(gf_bitset2hours(set));
    EXPECT_TRUE(back.all());
}

TEST_F(SlotsTest, CheckedAccessRaisesTheBitsetPositionText) {
    HalfHourSet set;
    gf_slotSet(set, 0);
    gf_slotSet(set, 47);
    EXPECT_TRUE(gf_slotTest(set, 47));
    EXPECT_FALSE(gf_slotTest(set, 46));
    gf_slotSet(set, 47, false);
    EXPECT_EQ(gf_bitset2hours(set), "0");
    for (int bad : {-1, 48, -2147483647 - 1, 2147483647}) {
        SCOPED_TRACE(bad);
        try {
            gf_slotTest(set, bad);
            ADD_FAILURE() << "no error";
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "invalid bitset position");
        }
        EXPECT_THROW(gf_slotSet(set, bad), std::out_of_range);
    }
    EXPECT_EQ(gf_bitset2hours(set), "0");
    EXPECT_EQ(gf_checkWeekSlot(0), 0);
    EXPECT_EQ(gf_checkWeekSlot(335), 335);
    EXPECT_THROW(gf_checkWeekSlot(336), std::out_of_range);
    EXPECT_THROW(gf_checkWeekSlot(-1), std::out_of_range);
}

TEST_F(SlotsTest, WeekSlotOfASlotValue) {
    EXPECT_EQ(gf_weekSlotOf(gf_packSlot(0, 1)), 0);
    EXPECT_EQ(gf_weekSlotOf(gf_packSlot(32, 5)), 4 * 48 + 32);
    EXPECT_EQ(gf_weekSlotOf(gf_packSlot(47, 7)), 335);
    for (uint64_t bad : {gf_packSlot(-1, -1), gf_packSlot(3, 0), gf_packSlot(3, 8), gf_packSlot(48, 1)}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(gf_weekSlotOf(bad), std::out_of_range);
    }
}

}  // namespace
