// The terminal's replies, kept for the host: the latest of each kind.
#include "terminal_reports.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace conlib::posix::reports {

namespace {

using platform::TerminalReport;

constexpr std::size_t KindCount =
    static_cast<std::size_t>(TerminalReport::Kind::CursorPosition) + 1;

struct Mailbox {
    std::mutex lock;
    std::condition_variable posted;
    TerminalReport latest[KindCount] = {};
    bool waiting[KindCount] = {};  // a report of the kind is there, not taken yet
};

Mailbox& Box() {
    static Mailbox* box = new Mailbox();
    return *box;
}

}  // namespace

void Post(const TerminalReport& report) {
    const auto kind = static_cast<std::size_t>(report.kind);
    if (kind == 0 || kind >= KindCount) return;
    Mailbox& box = Box();
    {
        const std::lock_guard<std::mutex> hold(box.lock);
        box.latest[kind] = report;
        box.waiting[kind] = true;
    }
    box.posted.notify_all();
}

bool Take(TerminalReport::Kind kind, int timeoutMs, TerminalReport& report) {
    const auto index = static_cast<std::size_t>(kind);
    if (index == 0 || index >= KindCount) return false;
    Mailbox& box = Box();
    std::unique_lock<std::mutex> hold(box.lock);
    const bool came =
        box.posted.wait_for(hold, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                            [&] { return box.waiting[index]; });
    if (!came) return false;
    box.waiting[index] = false;
    report = box.latest[index];
    return true;
}

}  // namespace conlib::posix::reports
