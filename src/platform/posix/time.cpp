// The system clock as broken-down UTC and local time, and their conversion to file times.
#include <cerrno>
#include <cstdint>
#include <ctime>

#include "platform/posix/win.hpp"

namespace conlib::win {

static_assert(ERROR_INVALID_PARAMETER == EINVAL);

namespace {

// 100-nanosecond intervals.
constexpr std::uint64_t TicksPerMillisecond = 10'000;
constexpr std::uint64_t TicksPerSecond = 10'000'000;
constexpr std::uint64_t SecondsPerDay = 86'400;

// The range of years a broken-down time may name.
constexpr WORD FirstYear = 1601;
constexpr WORD LastYear = 30827;

bool IsLeapYear(std::uint32_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::uint32_t DaysInMonth(std::uint32_t year, std::uint32_t month) {
    constexpr std::uint8_t Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29u : Days[month - 1];
}

// Days from 1 January 1601 to the given date of the proleptic Gregorian calendar. 1601 starts
// a 400-year cycle, so the count is taken in years that run from March to February, which
// puts the leap day at the end of its year.
std::uint64_t DaysSince1601(std::uint32_t year, std::uint32_t month, std::uint32_t day) {
    const std::uint32_t marchYear = (month <= 2 ? year - 1 : year) - 1600;  // 1600: year 0
    const std::uint32_t cycle = marchYear / 400;
    const std::uint32_t yearOfCycle = marchYear % 400;
    const std::uint32_t monthFromMarch = month > 2 ? month - 3 : month + 9;
    const std::uint32_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const std::uint32_t dayOfCycle =
        yearOfCycle * 365 + yearOfCycle / 4 - yearOfCycle / 100 + dayOfYear;
    // 1 March 1600 is day 0 of this count; 1 January 1601 lies 306 days after it.
    return std::uint64_t{cycle} * 146'097 + dayOfCycle - 306;
}

void FillRecord(const std::tm* fields, std::uint32_t milliseconds, SYSTEMTIME* record) {
    if (fields == nullptr) {
        *record = SYSTEMTIME{};
        return;
    }
    record->wYear = static_cast<WORD>(fields->tm_year + 1900);
    record->wMonth = static_cast<WORD>(fields->tm_mon + 1);
    record->wDayOfWeek = static_cast<WORD>(fields->tm_wday);
    record->wDay = static_cast<WORD>(fields->tm_mday);
    record->wHour = static_cast<WORD>(fields->tm_hour);
    record->wMinute = static_cast<WORD>(fields->tm_min);
    // A leap second, where the system reports one, is shown as the second before it.
    record->wSecond = static_cast<WORD>(fields->tm_sec > 59 ? 59 : fields->tm_sec);
    record->wMilliseconds = static_cast<WORD>(milliseconds);
}

}  // namespace

void GetSystemTime(SYSTEMTIME* lpSystemTime) {
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm fields = {};
    FillRecord(gmtime_r(&now.tv_sec, &fields), static_cast<std::uint32_t>(now.tv_nsec / 1'000'000),
               lpSystemTime);
}

void GetLocalTime(SYSTEMTIME* lpSystemTime) {
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm fields = {};
    FillRecord(localtime_r(&now.tv_sec, &fields),
               static_cast<std::uint32_t>(now.tv_nsec / 1'000'000), lpSystemTime);
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, FILETIME* lpFileTime) {
    const SYSTEMTIME& time = *lpSystemTime;
    // The day of the week is not checked.
    const bool valid = time.wYear >= FirstYear && time.wYear <= LastYear && time.wMonth >= 1 &&
                       time.wMonth <= 12 && time.wDay >= 1 &&
                       time.wDay <= DaysInMonth(time.wYear, time.wMonth) && time.wHour < 24 &&
                       time.wMinute < 60 && time.wSecond < 60 && time.wMilliseconds < 1000;
    if (!valid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::uint64_t seconds =
        DaysSince1601(time.wYear, time.wMonth, time.wDay) * SecondsPerDay +
        std::uint64_t{time.wHour} * 3600 + std::uint64_t{time.wMinute} * 60 + time.wSecond;
    const std::uint64_t ticks = seconds * TicksPerSecond + time.wMilliseconds * TicksPerMillisecond;
    lpFileTime->dwLowDateTime = static_cast<DWORD>(ticks);
    lpFileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return TRUE;
}

}  // namespace conlib::win
