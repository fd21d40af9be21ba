// Pseudo-random numbers and clock queries.
#include <bit>
#include <cstdint>

#include "conlib/util.hpp"
#include "platform/win.hpp"
#include "util/clock_source.hpp"

namespace conlib {

using namespace win;

namespace detail {

namespace {
void ReadSystemTime(SYSTEMTIME* time) {
    win::GetSystemTime(time);
}
void ReadLocalTime(SYSTEMTIME* time) {
    win::GetLocalTime(time);
}
}  // namespace

const ClockSourceState SystemClockSource = {ReadSystemTime, ReadLocalTime};
ClockSourceState ClockSource = SystemClockSource;

}  // namespace detail

using detail::ClockSource;

namespace {

std::uint32_t RandomSeed = 1;

// The last time fetched: UTC after seeding, local time after a clock query.
SYSTEMTIME ClockRecord = {};

}  // namespace

std::uint32_t RandNext() {
    RandomSeed = RandomSeed * 214013u + 2531011u;
    return std::rotr(RandomSeed, 8);
}

std::uint32_t RandBelow(std::uint32_t n) {
    const std::uint32_t value = RandNext();
    // A bound of 0 stands for 2^32, which every 32-bit value is below.
    return n == 0 ? value : value % n;
}

void RandSeedFromClock() {
    ClockSource.systemTime(&ClockRecord);
    RandomSeed = ClockRecord.wMilliseconds;
}

std::uint32_t ClockMsOfDay() {
    ClockSource.localTime(&ClockRecord);
    const std::uint32_t seconds = std::uint32_t{ClockRecord.wHour} * 3600u +
                                  std::uint32_t{ClockRecord.wMinute} * 60u +
                                  std::uint32_t{ClockRecord.wSecond};
    return seconds * 1000u + std::uint32_t{ClockRecord.wMilliseconds};
}

void ClockNowFileTime(std::uint32_t* destination) {
    ClockSource.localTime(&ClockRecord);
    // The local wall-clock fields are converted as they are, with no time-zone adjustment.
    FILETIME fileTime = {0, 0};
    win::SystemTimeToFileTime(&ClockRecord, &fileTime);
    destination[0] = fileTime.dwLowDateTime;
    destination[1] = fileTime.dwHighDateTime;
}

}  // namespace conlib
