// Where the clock operations read the current time: the system's clock, or a test's own.
#pragma once

#include "platform/win.hpp"

namespace conlib::detail {

// Fills `time` with the current time, all eight fields.
using TimeReader = void (*)(win::SYSTEMTIME* time);

struct ClockSourceState {
    TimeReader systemTime;  // UTC
    TimeReader localTime;   // local wall-clock time
};

// Starts as the system's GetSystemTime and GetLocalTime; a test may put its own readers here
// and put the defaults back afterwards.
extern ClockSourceState ClockSource;
extern const ClockSourceState SystemClockSource;

}  // namespace conlib::detail
