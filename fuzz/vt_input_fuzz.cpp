// Fuzz target: the terminal input decoder on any bytes.
//
// The first input byte chooses how the rest is cut into reads. The rest is decoded twice: as
// one read, and read by read the way the console host does it (keep what was not used, append
// the next read, decode without `final`; at the end decode with `final` and end a drop). Both
// must give the same events and the same reports, every call must keep the decoder's promises,
// and every key's records must be well formed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/common/vt_input.hpp"

namespace {

using namespace conlib::platform;
using namespace conlib::win;

constexpr std::size_t MaxInput = 4096;
constexpr std::size_t MaxEvents = MaxInput * KeyEvents::Capacity;

struct Events {
    INPUT_RECORD records[MaxEvents];
    std::size_t count;
    TerminalReport reports[MaxInput];
    std::size_t reportCount;
    DecoderState state;
};

Events OneRead;
Events ReadByRead;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "vt_input_fuzz: %s\n", what);
    std::abort();
}

void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

constexpr DWORD ModifierBits = SHIFT_PRESSED | LEFT_ALT_PRESSED | LEFT_CTRL_PRESSED;

// One key's records: KEY_EVENTs with a repeat count of 1, the key's down and up with the same
// fields, and every modifier that went down coming up again.
void CheckKey(const KeyEvents& key) {
    Check(key.count <= KeyEvents::Capacity, "too many records");
    if (key.count == 0) return;
    Check(key.count % 2 == 0, "records not in pairs");
    for (std::size_t i = 0; i < key.count; ++i) {
        const INPUT_RECORD& record = key.records[i];
        Check(record.EventType == KEY_EVENT, "not a key event");
        Check(record.Event.KeyEvent.wRepeatCount == 1, "repeat count not 1");
        Check((record.Event.KeyEvent.bKeyDown != 0) == (i < key.count / 2), "down/up order");
    }
    const KEY_EVENT_RECORD& down = key.records[key.count / 2 - 1].Event.KeyEvent;
    const KEY_EVENT_RECORD& up = key.records[key.count / 2].Event.KeyEvent;
    Check(down.wVirtualKeyCode == up.wVirtualKeyCode &&
              down.uChar.AsciiChar == up.uChar.AsciiChar &&
              down.dwControlKeyState == up.dwControlKeyState,
          "key up differs from key down");
    Check((key.records[key.count - 1].Event.KeyEvent.dwControlKeyState & ModifierBits) == 0,
          "a modifier stays down");
}

bool SameKeyEvent(const INPUT_RECORD& a, const INPUT_RECORD& b) {
    const KEY_EVENT_RECORD& x = a.Event.KeyEvent;
    const KEY_EVENT_RECORD& y = b.Event.KeyEvent;
    return a.EventType == b.EventType && x.bKeyDown == y.bKeyDown &&
           x.wRepeatCount == y.wRepeatCount && x.wVirtualKeyCode == y.wVirtualKeyCode &&
           x.wVirtualScanCode == y.wVirtualScanCode && x.uChar.AsciiChar == y.uChar.AsciiChar &&
           x.dwControlKeyState == y.dwControlKeyState;
}

// Decodes `bytes[0..length)` from the front as far as it goes, appending the events to `out`;
// returns the bytes used.
std::size_t DecodeAvailable(const std::uint8_t* bytes, std::size_t length, bool final,
                            Events& out) {
    std::size_t used = 0;
    while (used < length) {
        KeyEvents key;
        const std::size_t n = DecodeKey(bytes + used, length - used, final, out.state, key);
        Check(n <= length - used, "used more bytes than given");
        if (n == 0) {
            Check(!final, "stalled with final");
            Check(length - used < MaxSequenceLength, "stalled on a full buffer");
            Check(key.count == 0, "events while waiting for more");
            Check(key.report.kind == TerminalReport::Kind::None, "report while waiting for more");
            break;
        }
        CheckKey(key);
        if (key.report.kind != TerminalReport::Kind::None) {
            Check(key.count == 0, "a report with key events");
            Check(key.report.count <= TerminalReport::Capacity, "too many report values");
            out.reports[out.reportCount++] = key.report;
        }
        std::memcpy(out.records + out.count, key.records, key.count * sizeof(INPUT_RECORD));
        out.count += key.count;
        used += n;
    }
    if (final && used == length) out.state.EndDrop();
    return used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > MaxInput + 1) return 0;
    unsigned cut = data[0] | 1u;
    ++data;
    --size;

    OneRead.count = 0;
    OneRead.reportCount = 0;
    OneRead.state = DecoderState{};
    Check(DecodeAvailable(data, size, true, OneRead) == size, "one read not used up");

    // The reads: lengths 1 to 16 from a small generator seeded by the first byte. `pending`
    // is the host's buffer: the bytes not used yet, followed by the new read.
    ReadByRead.count = 0;
    ReadByRead.reportCount = 0;
    ReadByRead.state = DecoderState{};
    std::uint8_t pending[MaxInput];
    std::size_t pendingLength = 0;
    std::size_t offset = 0;
    while (offset < size) {
        cut = cut * 1103515245u + 12345u;
        std::size_t read = 1 + (cut >> 16) % 16;
        if (read > size - offset) read = size - offset;
        std::memcpy(pending + pendingLength, data + offset, read);
        pendingLength += read;
        offset += read;
        const std::size_t used = DecodeAvailable(pending, pendingLength, false, ReadByRead);
        std::memmove(pending, pending + used, pendingLength - used);
        pendingLength -= used;
    }
    Check(DecodeAvailable(pending, pendingLength, true, ReadByRead) == pendingLength,
          "rest not used up");

    Check(OneRead.count == ReadByRead.count, "event count depends on the reads");
    for (std::size_t i = 0; i < OneRead.count; ++i) {
        Check(SameKeyEvent(OneRead.records[i], ReadByRead.records[i]),
              "events depend on the reads");
    }
    Check(OneRead.reportCount == ReadByRead.reportCount, "report count depends on the reads");
    for (std::size_t i = 0; i < OneRead.reportCount; ++i) {
        const TerminalReport& a = OneRead.reports[i];
        const TerminalReport& b = ReadByRead.reports[i];
        bool same = a.kind == b.kind && a.decPrivate == b.decPrivate && a.count == b.count;
        for (std::size_t v = 0; same && v < a.count; ++v)
            same = a.values[v] == b.values[v];
        Check(same, "reports depend on the reads");
    }
    return 0;
}
