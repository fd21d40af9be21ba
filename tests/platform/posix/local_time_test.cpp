// Local time follows the process's time zone (TZ).
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "platform/win.hpp"

namespace conlib {
namespace {

using namespace win;

std::int64_t Ticks(const SYSTEMTIME& time) {
    FILETIME converted = {};
    EXPECT_NE(win::SystemTimeToFileTime(&time, &converted), FALSE);
    return static_cast<std::int64_t>((std::uint64_t{converted.dwHighDateTime} << 32) |
                                     converted.dwLowDateTime);
}

TEST(LocalTime, IsUtcShiftedByTheZoneOffset) {
    struct Case {
        const char* zone;
        std::int64_t offsetSeconds;  // local time minus UTC
    };
    const Case cases[] = {
        {"UTC0", 0},
        {"XST-2", 2 * 3600},
        {"YST+5:30", -(5 * 3600 + 30 * 60)},
        {"ZST-14", 14 * 3600},
    };
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved != nullptr ? saved : "";
    for (const Case& c : cases) {
        setenv("TZ", c.zone, 1);
        tzset();
        SYSTEMTIME utc = {};
        SYSTEMTIME local = {};
        win::GetSystemTime(&utc);
        win::GetLocalTime(&local);
        const std::int64_t difference = Ticks(local) - Ticks(utc) - c.offsetSeconds * 10'000'000;
        // The two reads lie less than a second apart.
        EXPECT_GE(difference, 0) << c.zone;
        EXPECT_LT(difference, 10'000'000) << c.zone;
    }
    if (saved != nullptr) {
        setenv("TZ", savedZone.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace
}  // namespace conlib
