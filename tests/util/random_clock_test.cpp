// The generator's sequence and seeding, and the clock queries over an injected clock.
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include <gtest/gtest.h>

#include "conlib/util.hpp"
#include "platform/win.hpp"
#include "util/clock_source.hpp"

namespace conlib {
namespace {

using win::SYSTEMTIME;

// Times that the fake clock reports, and how often each reader was asked.
SYSTEMTIME FakeUtc = {};
SYSTEMTIME FakeLocal = {};
int UtcReads = 0;
int LocalReads = 0;

void ReadFakeUtc(SYSTEMTIME* time) {
    ++UtcReads;
    *time = FakeUtc;
}
void ReadFakeLocal(SYSTEMTIME* time) {
    ++LocalReads;
    *time = FakeLocal;
}

SYSTEMTIME TimeOfDay(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                     std::uint16_t millisecond) {
    return SYSTEMTIME{2024, 6, 3, 12, hour, minute, second, millisecond};
}

// The seed is the last value returned, rotated back.
std::uint32_t SeedAfter(std::uint32_t value) {
    return (value << 8) | (value >> 24);
}

class FakeClock : public ::testing::Test {
  protected:
    void SetUp() override {
        detail::ClockSource = {ReadFakeUtc, ReadFakeLocal};
        UtcReads = 0;
        LocalReads = 0;
    }
    void TearDown() override { detail::ClockSource = detail::SystemClockSource; }

    // Puts the generator back to its state at program start, seed 1.
    static void RestartSequence() {
        FakeUtc = TimeOfDay(0, 0, 0, 1);
        RandSeedFromClock();
    }
};

// Checked in a process of its own, where nothing has used the generator yet.
TEST(RandomStart, SequenceStartsFromSeedOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const bool fresh = RandNext() == 0xC00029E2u;
            std::exit(fresh ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FakeClock, SequenceFromSeedOne) {
    RestartSequence();
    const std::uint32_t first = RandNext();
    EXPECT_EQ(first, 0xC00029E2u);
    EXPECT_EQ(SeedAfter(first), 0x0029E2C0u);
    EXPECT_EQ(RandNext(), 0x83C823F6u);
    const std::uint32_t third = RandNext();
    EXPECT_EQ(third, 0x3A18BE87u);
    EXPECT_EQ(SeedAfter(third), 0x18BE873Au);
}

TEST_F(FakeClock, RandBelowTakesOneStepAndReducesIt) {
    struct Case {
        std::uint32_t n;
        std::uint32_t expected;  // for the first value after seed 1, 0xC00029E2 = 3,221,236,194
    };
    const Case cases[] = {
        {10, 4},          {1, 0}, {0xC00029E2u, 0}, {0xFFFFFFFFu, 0xC00029E2u},
        {0, 0xC00029E2u},  // 0 stands for 2^32: the value is returned whole
    };
    for (const Case& c : cases) {
        RestartSequence();
        EXPECT_EQ(RandBelow(c.n), c.expected) << "n = " << c.n;
        // One step taken: the next value is the sequence's second.
        EXPECT_EQ(RandNext(), 0x83C823F6u) << "n = " << c.n;
    }
}

TEST_F(FakeClock, SeedsFromTheUtcMillisecondOnly) {
    FakeUtc = SYSTEMTIME{2023, 12, 0, 31, 23, 59, 59, 0};
    FakeLocal = TimeOfDay(1, 2, 3, 500);
    RandSeedFromClock();
    EXPECT_EQ(UtcReads, 1);
    EXPECT_EQ(LocalReads, 0);
    const std::uint32_t value = RandNext();
    EXPECT_EQ(value, 0xC300269Eu);
    EXPECT_EQ(SeedAfter(value), 0x00269EC3u);

    // Same millisecond at another moment: the same sequence.
    FakeUtc = SYSTEMTIME{1999, 1, 5, 1, 7, 8, 9, 0};
    RandSeedFromClock();
    EXPECT_EQ(RandNext(), 0xC300269Eu);

    FakeUtc.wMilliseconds = 999;
    RandSeedFromClock();
    EXPECT_EQ(SeedAfter(RandNext()), 999u * 214013u + 2531011u);
}

TEST_F(FakeClock, MsOfDayFromTheLocalTime) {
    struct Case {
        SYSTEMTIME time;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {TimeOfDay(0, 0, 0, 0), 0},
        {TimeOfDay(23, 59, 59, 999), 86'399'999},
        {TimeOfDay(0, 0, 1, 0), 1'000},
        {TimeOfDay(12, 34, 56, 789), 45'296'789},
        {TimeOfDay(18, 12, 0, 7), 65'520'007},  // 65,520 s: above 16 bits
    };
    FakeUtc = TimeOfDay(5, 0, 0, 0);
    for (const Case& c : cases) {
        FakeLocal = c.time;
        EXPECT_EQ(ClockMsOfDay(), c.expected) << c.time.wHour << ":" << c.time.wMinute << ":"
                                              << c.time.wSecond << "." << c.time.wMilliseconds;
    }
    EXPECT_EQ(LocalReads, static_cast<int>(std::size(cases)));
    EXPECT_EQ(UtcReads, 0);
}

TEST_F(FakeClock, NowFileTimeOfTheLocalWallClock) {
    struct Case {
        SYSTEMTIME time;
        std::uint32_t low;
        std::uint32_t high;
    };
    const Case cases[] = {
        // 125,911,584,000,000,000
        {SYSTEMTIME{2000, 1, 6, 1, 0, 0, 0, 0}, 0x256D4000u, 0x01BF53EBu},
        // One millisecond after the epoch: 10,000 intervals.
        {SYSTEMTIME{1601, 1, 1, 1, 0, 0, 0, 1}, 10'000u, 0u},
        // 1 January 1970: 116,444,736,000,000,000.
        {SYSTEMTIME{1970, 1, 4, 1, 0, 0, 0, 0}, 0xD53E8000u, 0x019DB1DEu},
    };
    FakeUtc = SYSTEMTIME{1980, 1, 2, 1, 0, 0, 0, 0};
    for (const Case& c : cases) {
        FakeLocal = c.time;
        std::uint32_t destination[3] = {1, 2, 0xCCCCCCCCu};
        ClockNowFileTime(destination);
        EXPECT_EQ(destination[0], c.low) << c.time.wYear;
        EXPECT_EQ(destination[1], c.high) << c.time.wYear;
        EXPECT_EQ(destination[2], 0xCCCCCCCCu) << "only 8 bytes are written";
    }
    EXPECT_EQ(UtcReads, 0);
}

TEST_F(FakeClock, NowFileTimeOfAnInvalidTimeIsZero) {
    FakeLocal = SYSTEMTIME{2000, 13, 0, 1, 0, 0, 0, 0};
    std::uint32_t destination[2] = {1, 2};
    ClockNowFileTime(destination);
    EXPECT_EQ(destination[0], 0u);
    EXPECT_EQ(destination[1], 0u);
}

// The system clock, read through the default source: plausible values only.
TEST(SystemClock, QueriesGiveTimesOfToday) {
    const std::uint32_t ms = ClockMsOfDay();
    EXPECT_LT(ms, 86'400'000u);
    std::uint32_t now[2] = {0, 0};
    ClockNowFileTime(now);
    const std::uint64_t ticks = (std::uint64_t{now[1]} << 32) | now[0];
    // Between 2020 and 2100.
    EXPECT_GT(ticks, 132'223'104'000'000'000u);
    EXPECT_LT(ticks, 157'469'184'000'000'000u);
}

}  // namespace
}  // namespace conlib
