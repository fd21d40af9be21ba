// The system's time services: broken-down UTC and local time, and their conversion to file
// times, checked against known dates and the fields a valid time may hold.
#include <cstdint>

#include <gtest/gtest.h>

#include "platform/win.hpp"
#include "support/test_support.hpp"

namespace conlib {
namespace {

using namespace win;

std::uint64_t Ticks(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

TEST(SystemTimeToFileTime, KnownDates) {
    struct Case {
        SYSTEMTIME time;
        std::uint64_t ticks;
    };
    const Case cases[] = {
        {{1601, 1, 1, 1, 0, 0, 0, 0}, 0},
        {{1601, 1, 1, 2, 0, 0, 0, 0}, 864'000'000'000},
        {{1601, 12, 1, 31, 23, 59, 59, 999}, 315'359'999'990'000},
        {{1970, 1, 4, 1, 0, 0, 0, 0}, 116'444'736'000'000'000},
        {{2000, 1, 6, 1, 0, 0, 0, 0}, 125'911'584'000'000'000},
        {{2000, 2, 2, 29, 0, 0, 0, 0}, 125'962'560'000'000'000},  // leap day of a 400th year
        {{2000, 3, 3, 1, 0, 0, 0, 0}, 125'963'424'000'000'000},
        {{2024, 2, 4, 29, 12, 30, 15, 250}, 133'536'834'152'500'000},
        {{2038, 1, 2, 19, 3, 14, 8, 0}, 137'919'572'480'000'000},  // past 32-bit seconds
        {{30827, 12, 0, 31, 23, 59, 59, 999}, 9'223'149'887'999'990'000u},
    };
    for (const Case& c : cases) {
        FILETIME result = {1, 1};
        EXPECT_NE(win::SystemTimeToFileTime(&c.time, &result), FALSE) << c.time.wYear;
        EXPECT_EQ(Ticks(result), c.ticks)
            << c.time.wYear << "-" << c.time.wMonth << "-" << c.time.wDay;
    }
}

TEST(SystemTimeToFileTime, IgnoresTheDayOfTheWeek) {
    const SYSTEMTIME time = {2000, 1, 3, 1, 0, 0, 0, 0};  // 1 January 2000 was a Saturday (6)
    FILETIME result = {};
    EXPECT_NE(win::SystemTimeToFileTime(&time, &result), FALSE);
    EXPECT_EQ(Ticks(result), 125'911'584'000'000'000u);
}

void ExpectRefused(const SYSTEMTIME& time) {
    FILETIME result = {0x11111111u, 0x22222222u};
    win::SetLastError(0);
    EXPECT_EQ(win::SystemTimeToFileTime(&time, &result), FALSE)
        << time.wYear << "-" << time.wMonth << "-" << time.wDay << " " << time.wHour << ":"
        << time.wMinute << ":" << time.wSecond << "." << time.wMilliseconds;
    EXPECT_EQ(win::GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(result.dwLowDateTime, 0x11111111u);
    EXPECT_EQ(result.dwHighDateTime, 0x22222222u);
}

TEST(SystemTimeToFileTime, RefusesFieldsOutOfRange) {
    const SYSTEMTIME cases[] = {
        {1600, 12, 0, 31, 23, 59, 59, 999},  // before the epoch
        {2000, 0, 0, 1, 0, 0, 0, 0},        {2000, 13, 0, 1, 0, 0, 0, 0},
        {2000, 1, 0, 0, 0, 0, 0, 0},        {2000, 1, 0, 32, 0, 0, 0, 0},
        {2000, 4, 0, 31, 0, 0, 0, 0},       {2000, 2, 0, 30, 0, 0, 0, 0},
        {2000, 1, 0, 1, 24, 0, 0, 0},       {2000, 1, 0, 1, 0, 60, 0, 0},
        {2000, 1, 0, 1, 0, 0, 60, 0},       {2000, 1, 0, 1, 0, 0, 0, 1000},
    };
    for (const SYSTEMTIME& time : cases)
        ExpectRefused(time);
}

TEST(SystemTimeToFileTime, RefusesTheTwentyNinthOfFebruaryOutsideLeapYears) {
    const SYSTEMTIME cases[] = {
        {1900, 2, 0, 29, 0, 0, 0, 0},  // divisible by 100, not by 400: no leap year
        {2023, 2, 0, 29, 0, 0, 0, 0},
    };
    for (const SYSTEMTIME& time : cases) {
        if (test::MeetsWineFault("its check gives February 29 days in every year")) {
            FILETIME result = {};
            EXPECT_NE(win::SystemTimeToFileTime(&time, &result), FALSE) << time.wYear;
        } else {
            ExpectRefused(time);
        }
    }
}

// Fields of a broken-down time that a valid one may hold, the day of the week matching the
// date (1 January 1601 was a Monday).
void ExpectValidTime(const SYSTEMTIME& time, const char* what) {
    FILETIME converted = {};
    ASSERT_NE(win::SystemTimeToFileTime(&time, &converted), FALSE) << what;
    const std::uint64_t days = Ticks(converted) / 864'000'000'000u;
    EXPECT_EQ(time.wDayOfWeek, (days + 1) % 7) << what;
    EXPECT_GE(time.wYear, 2020) << what;
}

TEST(SystemClock, UtcAndLocalTimesAreValidAndClose) {
    SYSTEMTIME utc = {};
    SYSTEMTIME local = {};
    win::GetSystemTime(&utc);
    win::GetLocalTime(&local);
    ExpectValidTime(utc, "UTC");
    ExpectValidTime(local, "local");

    // Time zones lie within 14 hours of UTC (plus a second for the time between the reads).
    FILETIME utcTicks = {};
    FILETIME localTicks = {};
    win::SystemTimeToFileTime(&utc, &utcTicks);
    win::SystemTimeToFileTime(&local, &localTicks);
    const auto difference = static_cast<std::int64_t>(Ticks(localTicks) - Ticks(utcTicks));
    EXPECT_LE(difference < 0 ? -difference : difference, (14 * 3600 + 1) * 10'000'000ll);
}

}  // namespace
}  // namespace conlib
