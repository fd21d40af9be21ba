// The terminal's replies to the console host's own queries. Whoever reads the keyboard finds
// them among the typed bytes (the terminal-input decoder tells them apart from keys) and posts
// them here; the part of the host that asked takes them, from any thread.
#pragma once

#include "platform/common/vt_input.hpp"

namespace conlib::posix::reports {

// Keeps `report` as the latest of its kind, for Take.
void Post(const platform::TerminalReport& report);

// Takes the latest report of `kind` posted since the last Take of that kind into `report`,
// waiting at most `timeoutMs` milliseconds for one to be posted (0: only what is there); false
// when none came in time.
bool Take(platform::TerminalReport::Kind kind, int timeoutMs, platform::TerminalReport& report);

}  // namespace conlib::posix::reports
