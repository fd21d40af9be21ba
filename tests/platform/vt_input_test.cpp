// The terminal input decoder: which Windows key events each byte sequence becomes, when it
// waits for more bytes, and what it makes of unfinished, unknown and broken input.
#include "platform/common/vt_input.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace conlib::platform {
namespace {

using namespace win;
using namespace std::string_literals;
using namespace std::string_view_literals;

constexpr DWORD Shift = SHIFT_PRESSED;
constexpr DWORD Alt = LEFT_ALT_PRESSED;
constexpr DWORD Ctrl = LEFT_CTRL_PRESSED;
constexpr DWORD Grey = ENHANCED_KEY;

struct Event {
    bool down;
    WORD vk;
    WORD scan;
    unsigned char ch;
    DWORD state;
    bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
    char text[80];
    std::snprintf(text, sizeof text, "{%s vk=0x%02X scan=0x%02X ch=0x%02X state=0x%04X}",
                  e.down ? "down" : "up", e.vk, e.scan, e.ch, static_cast<unsigned>(e.state));
    return out << text;
}

// The bytes with the control and non-ASCII ones escaped, for failure messages.
std::string Shown(std::string_view bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            text += hex;
        }
    }
    return text;
}

std::vector<Event> ToEvents(const KeyEvents& events) {
    std::vector<Event> list;
    EXPECT_LE(events.count, KeyEvents::Capacity);
    for (std::size_t i = 0; i < events.count && i < KeyEvents::Capacity; ++i) {
        const INPUT_RECORD& record = events.records[i];
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        EXPECT_EQ(record.EventType, KEY_EVENT);
        EXPECT_EQ(key.wRepeatCount, 1);
        list.push_back({key.bKeyDown != FALSE, key.wVirtualKeyCode, key.wVirtualScanCode,
                        static_cast<unsigned char>(key.uChar.AsciiChar), key.dwControlKeyState});
    }
    return list;
}

// One call of the decoder on exactly `bytes` (held in a block of its own size, so that a
// sanitizer build sees any read past the end).
struct Step {
    std::size_t used;
    std::vector<Event> events;
    TerminalReport report;
};

Step DecodeOnce(std::string_view bytes, bool final, DecoderState& state) {
    const std::vector<unsigned char> block(bytes.begin(), bytes.end());
    KeyEvents events{};
    const std::size_t used = DecodeKey(block.data(), block.size(), final, state, events);
    EXPECT_LE(used, bytes.size());
    if (events.report.kind != TerminalReport::Kind::None) {
        EXPECT_EQ(events.count, 0u);
    }
    return {used, ToEvents(events), events.report};
}

// One call with a decoder that has nothing carried over.
Step DecodeOnce(std::string_view bytes, bool final) {
    DecoderState state;
    return DecodeOnce(bytes, final, state);
}

// Decodes all of `bytes` as one read after which nothing more comes.
std::vector<Event> DecodeAll(std::string_view bytes) {
    std::vector<Event> all;
    DecoderState state;
    while (!bytes.empty()) {
        const Step step = DecodeOnce(bytes, true, state);
        EXPECT_GT(step.used, 0u) << "stuck at " << Shown(bytes);
        if (step.used == 0) break;
        all.insert(all.end(), step.events.begin(), step.events.end());
        bytes.remove_prefix(step.used);
    }
    return all;
}

// What a keyboard sends for one key press: Shift, Alt and Ctrl go down in that order, each
// adding its flag; the key goes down and up; the modifiers come up in reverse, each clearing
// its flag. `state` holds the key's modifiers and ENHANCED_KEY.
struct KeyPress {
    WORD vk;
    WORD scan;
    unsigned char ch;
    DWORD state;
};

std::vector<Event> Press(const KeyPress& key) {
    struct Modifier {
        DWORD flag;
        WORD vk;
        WORD scan;
    };
    const Modifier modifiers[] = {
        {Shift, VK_SHIFT, 0x2A}, {Alt, VK_MENU, 0x38}, {Ctrl, VK_CONTROL, 0x1D}};
    std::vector<Event> events;
    DWORD held = 0;
    for (const Modifier& m : modifiers) {
        if ((key.state & m.flag) == 0) continue;
        held |= m.flag;
        events.push_back({true, m.vk, m.scan, 0, held});
    }
    const DWORD state = held | (key.state & Grey);
    events.push_back({true, key.vk, key.scan, key.ch, state});
    events.push_back({false, key.vk, key.scan, key.ch, state});
    for (int i = 2; i >= 0; --i) {
        const Modifier& m = modifiers[i];
        if ((key.state & m.flag) == 0) continue;
        held &= ~m.flag;
        events.push_back({false, m.vk, m.scan, 0, held});
    }
    return events;
}

std::vector<Event> Presses(std::initializer_list<KeyPress> keys) {
    std::vector<Event> events;
    for (const KeyPress& key : keys) {
        const std::vector<Event> one = Press(key);
        events.insert(events.end(), one.begin(), one.end());
    }
    return events;
}

// The caller's side: it keeps the bytes not used yet, appends what the next read brings, and
// decodes with `final` only when its timer has run out.
struct Reader {
    // Appends a read's bytes and decodes every key they complete.
    void Read(std::string_view bytes) {
        pending += bytes;
        Decode(false);
    }
    // The timer ran out with nothing more read.
    void TimeOut() {
        Decode(true);
        state.EndDrop();
    }

    void Decode(bool final) {
        while (!pending.empty()) {
            const Step step = DecodeOnce(pending, final, state);
            if (step.used == 0) break;
            events.insert(events.end(), step.events.begin(), step.events.end());
            if (step.report.kind != TerminalReport::Kind::None) reports.push_back(step.report);
            pending.erase(0, step.used);
        }
    }

    std::string pending;  // bytes read but not used yet
    std::vector<Event> events;
    std::vector<TerminalReport> reports;
    DecoderState state;
};

// ---- One key per sequence --------------------------------------------------------------

struct KeyRow {
    std::string_view bytes;
    KeyPress key;
};

const KeyRow KeyRows[] = {
    // Printable characters: the US keyboard key, with Shift where it needs it.
    {"a", {'A', 0x1E, 'a', 0}},
    {"z", {'Z', 0x2C, 'z', 0}},
    {"A", {'A', 0x1E, 'A', Shift}},
    {"1", {'1', 0x02, '1', 0}},
    {"0", {'0', 0x0B, '0', 0}},
    {"!", {'1', 0x02, '!', Shift}},
    {")", {'0', 0x0B, ')', Shift}},
    {" ", {VK_SPACE, 0x39, ' ', 0}},
    {"-", {VK_OEM_MINUS, 0x0C, '-', 0}},
    {"_", {VK_OEM_MINUS, 0x0C, '_', Shift}},
    {"=", {VK_OEM_PLUS, 0x0D, '=', 0}},
    {"+", {VK_OEM_PLUS, 0x0D, '+', Shift}},
    {"[", {VK_OEM_4, 0x1A, '[', 0}},
    {"}", {VK_OEM_6, 0x1B, '}', Shift}},
    {"\\", {VK_OEM_5, 0x2B, '\\', 0}},
    {":", {VK_OEM_1, 0x27, ':', Shift}},
    {"'", {VK_OEM_7, 0x28, '\'', 0}},
    {"~", {VK_OEM_3, 0x29, '~', Shift}},
    {"<", {VK_OEM_COMMA, 0x33, '<', Shift}},
    {".", {VK_OEM_PERIOD, 0x34, '.', 0}},
    {"?", {VK_OEM_2, 0x35, '?', Shift}},
    // Enter, Tab, Backspace, Escape.
    {"\r", {VK_RETURN, 0x1C, '\r', 0}},
    {"\n", {VK_RETURN, 0x1C, '\r', 0}},
    {"\t", {VK_TAB, 0x0F, '\t', 0}},
    {"\x1b[Z", {VK_TAB, 0x0F, '\t', Shift}},
    {"\x7f", {VK_BACK, 0x0E, '\b', 0}},
    {"\b", {VK_BACK, 0x0E, '\b', 0}},
    // Control characters.
    {"\x01", {'A', 0x1E, 0x01, Ctrl}},
    {"\x03", {'C', 0x2E, 0x03, Ctrl}},
    {"\x0c", {'L', 0x26, 0x0C, Ctrl}},
    {"\x1a", {'Z', 0x2C, 0x1A, Ctrl}},
    {"\0"sv, {VK_SPACE, 0x39, 0, Ctrl}},
    {"\x1c", {VK_OEM_5, 0x2B, 0x1C, Ctrl}},
    {"\x1d", {VK_OEM_6, 0x1B, 0x1D, Ctrl}},
    {"\x1e", {'6', 0x07, 0x1E, Shift | Ctrl}},
    {"\x1f", {VK_OEM_MINUS, 0x0C, 0x1F, Shift | Ctrl}},
    // Alt: ESC before the key.
    {"\x1b"
     "a",
     {'A', 0x1E, 'a', Alt}},
    {"\x1b"
     "A",
     {'A', 0x1E, 'A', Shift | Alt}},
    {"\x1b"
     "5",
     {'5', 0x06, '5', Alt}},
    {"\x1b"
     "0",
     {'0', 0x0B, '0', Alt}},
    {"\x1b"
     "-",
     {VK_OEM_MINUS, 0x0C, '-', Alt}},
    {"\x1b\r", {VK_RETURN, 0x1C, '\r', Alt}},
    {"\x1b\x7f", {VK_BACK, 0x0E, '\b', Alt}},
    {"\x1b\x01", {'A', 0x1E, 0x01, Alt | Ctrl}},
    {"\x1b\xc3\xa9", {VK_PACKET, 0, 0x82, Alt}},
    {"\x1b\x1b[A", {VK_UP, 0x48, 0, Alt | Grey}},
    {"\x1b\x1bOP", {VK_F1, 0x3B, 0, Alt}},
    {"\x1b\x1b[5~", {VK_PRIOR, 0x49, 0, Alt | Grey}},
    // Cursor keys, CSI and SS3.
    {"\x1b[A", {VK_UP, 0x48, 0, Grey}},
    {"\x1b[B", {VK_DOWN, 0x50, 0, Grey}},
    {"\x1b[C", {VK_RIGHT, 0x4D, 0, Grey}},
    {"\x1b[D", {VK_LEFT, 0x4B, 0, Grey}},
    {"\x1b[H", {VK_HOME, 0x47, 0, Grey}},
    {"\x1b[F", {VK_END, 0x4F, 0, Grey}},
    {"\x1bOA", {VK_UP, 0x48, 0, Grey}},
    {"\x1bOB", {VK_DOWN, 0x50, 0, Grey}},
    {"\x1bOC", {VK_RIGHT, 0x4D, 0, Grey}},
    {"\x1bOD", {VK_LEFT, 0x4B, 0, Grey}},
    {"\x1bOH", {VK_HOME, 0x47, 0, Grey}},
    {"\x1bOF", {VK_END, 0x4F, 0, Grey}},
    {"\x1b[E", {VK_CLEAR, 0x4C, 0, 0}},
    {"\x1bOE", {VK_CLEAR, 0x4C, 0, 0}},
    {"\x1b[G", {VK_CLEAR, 0x4C, 0, 0}},
    // xterm modifiers: 2 Shift, 3 Alt, 4 Shift+Alt, 5 Ctrl, 6 Ctrl+Shift, 7 Ctrl+Alt, 8 all
    // three; 9 and up add Meta, which no Windows key stands for.
    {"\x1b[1;2A", {VK_UP, 0x48, 0, Shift | Grey}},
    {"\x1b[1;3B", {VK_DOWN, 0x50, 0, Alt | Grey}},
    {"\x1b[1;4C", {VK_RIGHT, 0x4D, 0, Shift | Alt | Grey}},
    {"\x1b[1;5D", {VK_LEFT, 0x4B, 0, Ctrl | Grey}},
    {"\x1b[1;6H", {VK_HOME, 0x47, 0, Shift | Ctrl | Grey}},
    {"\x1b[1;7F", {VK_END, 0x4F, 0, Alt | Ctrl | Grey}},
    {"\x1b[1;8A", {VK_UP, 0x48, 0, Shift | Alt | Ctrl | Grey}},
    {"\x1b[1;9A", {VK_UP, 0x48, 0, Grey}},
    {"\x1b[1;13A", {VK_UP, 0x48, 0, Ctrl | Grey}},
    {"\x1b[1;1A", {VK_UP, 0x48, 0, Grey}},
    {"\x1b[1;5Z", {VK_TAB, 0x0F, '\t', Ctrl}},
    {"\x1bO5D", {VK_LEFT, 0x4B, 0, Ctrl | Grey}},
    {"\x1bO1;2A", {VK_UP, 0x48, 0, Shift | Grey}},
    // Editing keys: CSI n ~, with tmux, screen, rxvt and Linux console numbers for Home/End.
    {"\x1b[1~", {VK_HOME, 0x47, 0, Grey}},
    {"\x1b[2~", {VK_INSERT, 0x52, 0, Grey}},
    {"\x1b[3~", {VK_DELETE, 0x53, 0, Grey}},
    {"\x1b[4~", {VK_END, 0x4F, 0, Grey}},
    {"\x1b[5~", {VK_PRIOR, 0x49, 0, Grey}},
    {"\x1b[6~", {VK_NEXT, 0x51, 0, Grey}},
    {"\x1b[7~", {VK_HOME, 0x47, 0, Grey}},
    {"\x1b[8~", {VK_END, 0x4F, 0, Grey}},
    {"\x1b[2;2~", {VK_INSERT, 0x52, 0, Shift | Grey}},
    {"\x1b[3;5~", {VK_DELETE, 0x53, 0, Ctrl | Grey}},
    {"\x1b[5;3~", {VK_PRIOR, 0x49, 0, Alt | Grey}},
    {"\x1b[6;6~", {VK_NEXT, 0x51, 0, Shift | Ctrl | Grey}},
    // rxvt's modified keys.
    {"\x1b[7$", {VK_HOME, 0x47, 0, Shift | Grey}},
    {"\x1b[8^", {VK_END, 0x4F, 0, Ctrl | Grey}},
    {"\x1b[3@", {VK_DELETE, 0x53, 0, Shift | Ctrl | Grey}},
    {"\x1b[a", {VK_UP, 0x48, 0, Shift | Grey}},
    {"\x1b[d", {VK_LEFT, 0x4B, 0, Shift | Grey}},
    {"\x1bOb", {VK_DOWN, 0x50, 0, Ctrl | Grey}},
    {"\x1bOc", {VK_RIGHT, 0x4D, 0, Ctrl | Grey}},
    // Function keys.
    {"\x1bOP", {VK_F1, 0x3B, 0, 0}},
    {"\x1bOQ", {VK_F2, 0x3C, 0, 0}},
    {"\x1bOR", {VK_F3, 0x3D, 0, 0}},
    {"\x1bOS", {VK_F4, 0x3E, 0, 0}},
    {"\x1b[15~", {VK_F5, 0x3F, 0, 0}},
    {"\x1b[17~", {VK_F6, 0x40, 0, 0}},
    {"\x1b[18~", {VK_F7, 0x41, 0, 0}},
    {"\x1b[19~", {VK_F8, 0x42, 0, 0}},
    {"\x1b[20~", {VK_F9, 0x43, 0, 0}},
    {"\x1b[21~", {VK_F10, 0x44, 0, 0}},
    {"\x1b[23~", {VK_F11, 0x57, 0, 0}},
    {"\x1b[24~", {VK_F12, 0x58, 0, 0}},
    {"\x1b[11~", {VK_F1, 0x3B, 0, 0}},
    {"\x1b[14~", {VK_F4, 0x3E, 0, 0}},
    {"\x1b[[A", {VK_F1, 0x3B, 0, 0}},
    {"\x1b[[E", {VK_F5, 0x3F, 0, 0}},
    {"\x1b[1;2P", {VK_F1, 0x3B, 0, Shift}},
    {"\x1b[1;5S", {VK_F4, 0x3E, 0, Ctrl}},
    {"\x1bO2Q", {VK_F2, 0x3C, 0, Shift}},
    {"\x1b[15;2~", {VK_F5, 0x3F, 0, Shift}},
    {"\x1b[21;5~", {VK_F10, 0x44, 0, Ctrl}},
    {"\x1b[24;3~", {VK_F12, 0x58, 0, Alt}},
    // The keypad in application mode.
    {"\x1bOk", {VK_ADD, 0x4E, '+', 0}},
    {"\x1bOm", {VK_SUBTRACT, 0x4A, '-', 0}},
    {"\x1bOM", {VK_RETURN, 0x1C, '\r', Grey}},
    {"\x1bOj", {VK_MULTIPLY, 0x37, '*', 0}},
    {"\x1bOo", {VK_DIVIDE, 0x35, '/', Grey}},
    {"\x1bOn", {VK_DECIMAL, 0x53, '.', 0}},
    {"\x1bOp", {VK_NUMPAD0, 0x52, '0', 0}},
    {"\x1bOy", {VK_NUMPAD9, 0x49, '9', 0}},
    {"\x1bO5k", {VK_ADD, 0x4E, '+', Ctrl}},
    // UTF-8 text, in code page 437; '?' where the code page has no such character.
    {"\xc3\xa9", {VK_PACKET, 0, 0x82, 0}},         // e acute
    {"\xc3\x87", {VK_PACKET, 0, 0x80, 0}},         // C cedilla
    {"\xc2\xa0", {VK_PACKET, 0, 0xFF, 0}},         // no-break space
    {"\xe2\x96\x91", {VK_PACKET, 0, 0xB0, 0}},     // light shade
    {"\xe2\x82\xa7", {VK_PACKET, 0, 0x9E, 0}},     // peseta sign
    {"\xe2\x82\xac", {VK_PACKET, 0, '?', 0}},      // euro sign: none
    {"\xf0\x9f\x98\x80", {VK_PACKET, 0, '?', 0}},  // a four-byte character: none
};

TEST(VtInput, EachSequenceGivesItsKey) {
    for (std::size_t row = 0; row < std::size(KeyRows); ++row) {
        const KeyRow& r = KeyRows[row];
        SCOPED_TRACE("row " + std::to_string(row) + ": " + Shown(r.bytes));
        // Complete: decoded at once, without waiting for the timer.
        const Step step = DecodeOnce(r.bytes, false);
        EXPECT_EQ(step.used, r.bytes.size());
        EXPECT_EQ(step.events, Press(r.key));
    }
}

TEST(VtInput, EveryPrefixOfASequenceWaitsForMore) {
    for (std::size_t row = 0; row < std::size(KeyRows); ++row) {
        const std::string_view bytes = KeyRows[row].bytes;
        for (std::size_t length = 1; length < bytes.size(); ++length) {
            SCOPED_TRACE("row " + std::to_string(row) + ": " + Shown(bytes.substr(0, length)));
            const Step step = DecodeOnce(bytes.substr(0, length), false);
            EXPECT_EQ(step.used, 0u);
            EXPECT_TRUE(step.events.empty());
        }
    }
}

// Every row typed one after the other, arriving one byte per read: each key is decided from
// its own bytes, whatever follows it and however the reads cut it.
TEST(VtInput, AllSequencesInOneStreamByteByByte) {
    std::string stream;
    std::vector<Event> expected;
    for (const KeyRow& row : KeyRows) {
        stream += row.bytes;
        const std::vector<Event> one = Press(row.key);
        expected.insert(expected.end(), one.begin(), one.end());
    }
    Reader reader;
    for (const char byte : stream)
        reader.Read(std::string_view(&byte, 1));
    EXPECT_EQ(reader.events, expected);
    EXPECT_TRUE(reader.pending.empty());
}

TEST(VtInput, EmptyInputGivesNothing) {
    EXPECT_EQ(DecodeOnce("", false).used, 0u);
    EXPECT_EQ(DecodeOnce("", true).used, 0u);
}

// The rule for modifiers, spelled out record by record.
TEST(VtInput, ModifiersGoDownBeforeTheKeyAndUpAfterIt) {
    EXPECT_EQ(DecodeAll("\x1b[1;5D"), (std::vector<Event>{
                                          {true, VK_CONTROL, 0x1D, 0, Ctrl},
                                          {true, VK_LEFT, 0x4B, 0, Ctrl | Grey},
                                          {false, VK_LEFT, 0x4B, 0, Ctrl | Grey},
                                          {false, VK_CONTROL, 0x1D, 0, 0},
                                      }));
    EXPECT_EQ(DecodeAll("A"), (std::vector<Event>{
                                  {true, VK_SHIFT, 0x2A, 0, Shift},
                                  {true, 'A', 0x1E, 'A', Shift},
                                  {false, 'A', 0x1E, 'A', Shift},
                                  {false, VK_SHIFT, 0x2A, 0, 0},
                              }));
    EXPECT_EQ(DecodeAll("\x1b[15;8~"), (std::vector<Event>{
                                           {true, VK_SHIFT, 0x2A, 0, Shift},
                                           {true, VK_MENU, 0x38, 0, Shift | Alt},
                                           {true, VK_CONTROL, 0x1D, 0, Shift | Alt | Ctrl},
                                           {true, VK_F5, 0x3F, 0, Shift | Alt | Ctrl},
                                           {false, VK_F5, 0x3F, 0, Shift | Alt | Ctrl},
                                           {false, VK_CONTROL, 0x1D, 0, Shift | Alt},
                                           {false, VK_MENU, 0x38, 0, Shift},
                                           {false, VK_SHIFT, 0x2A, 0, 0},
                                       }));
    EXPECT_EQ(DecodeAll("a"), (std::vector<Event>{
                                  {true, 'A', 0x1E, 'a', 0},
                                  {false, 'A', 0x1E, 'a', 0},
                              }));
}

// ---- Input that ends before a sequence is complete -------------------------------------

struct EndRow {
    std::string_view bytes;
    std::initializer_list<KeyPress> keys;
};

TEST(VtInput, WhenNothingMoreComesAnUnfinishedSequenceIsTheKeysTyped) {
    const KeyPress escape{VK_ESCAPE, 0x01, 0x1B, 0};
    const KeyPress altEscape{VK_ESCAPE, 0x01, 0x1B, Alt};
    const KeyPress altBracket{VK_OEM_4, 0x1A, '[', Alt};
    const KeyPress bracket{VK_OEM_4, 0x1A, '[', 0};
    const EndRow rows[] = {
        {"\x1b", {escape}},
        {"\x1b\x1b", {altEscape}},
        {"\x1b[", {altBracket}},
        {"\x1bO", {{'O', 0x18, 'O', Shift | Alt}}},
        {"\x1b[1;5",
         {altBracket, {'1', 0x02, '1', 0}, {VK_OEM_1, 0x27, ';', 0}, {'5', 0x06, '5', 0}}},
        {"\x1b[[", {altBracket, bracket}},
        {"\x1b\x1b[", {altEscape, bracket}},
        {"\x1b\x1b[2", {altEscape, bracket, {'2', 0x03, '2', 0}}},
        {"\xc3", {{VK_PACKET, 0, '?', 0}}},
        {"\xe2\x82", {{VK_PACKET, 0, '?', 0}}},
        {"\x1b\xc3", {{VK_PACKET, 0, '?', Alt}}},
        {"a\x1b", {{'A', 0x1E, 'a', 0}, escape}},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        SCOPED_TRACE("row " + std::to_string(row) + ": " + Shown(rows[row].bytes));
        EXPECT_EQ(DecodeAll(rows[row].bytes), Presses(rows[row].keys));
    }
}

TEST(VtInput, SequencesAndCharactersSplitAcrossReadsComeTogether) {
    Reader reader;
    reader.Read("a\x1b[1;");
    EXPECT_EQ(reader.events, Presses({{'A', 0x1E, 'a', 0}}));
    reader.Read("5A\xe2");
    reader.Read("\x96");
    reader.Read("\x91z\xc3");
    reader.Read("\xa9");
    EXPECT_EQ(reader.events, Presses({{'A', 0x1E, 'a', 0},
                                      {VK_UP, 0x48, 0, Ctrl | Grey},
                                      {VK_PACKET, 0, 0xB0, 0},
                                      {'Z', 0x2C, 'z', 0},
                                      {VK_PACKET, 0, 0x82, 0}}));
    EXPECT_TRUE(reader.pending.empty());
}

TEST(VtInput, EscapeWaitsForTheTimerAndNeverSwallowsTheNextKey) {
    const KeyPress escape{VK_ESCAPE, 0x01, 0x1B, 0};
    {
        SCOPED_TRACE("ESC, then the timer, then a");
        Reader reader;
        reader.Read("\x1b");
        EXPECT_TRUE(reader.events.empty());
        reader.TimeOut();
        EXPECT_EQ(reader.events, Presses({escape}));
        reader.Read("a");
        EXPECT_EQ(reader.events, Presses({escape, {'A', 0x1E, 'a', 0}}));
    }
    {
        SCOPED_TRACE("ESC and a in one read: Alt+a");
        Reader reader;
        reader.Read("\x1b");
        reader.Read("a");
        EXPECT_EQ(reader.events, Presses({{'A', 0x1E, 'a', Alt}}));
    }
    {
        SCOPED_TRACE("ESC, then the rest of a sequence before the timer");
        Reader reader;
        reader.Read("\x1b");
        reader.Read("[");
        reader.Read("B");
        EXPECT_EQ(reader.events, Presses({{VK_DOWN, 0x50, 0, Grey}}));
    }
    {
        SCOPED_TRACE("Escape twice, the timer between");
        Reader reader;
        reader.Read("\x1b");
        reader.TimeOut();
        reader.Read("\x1b");
        reader.TimeOut();
        EXPECT_EQ(reader.events, Presses({escape, escape}));
    }
    {
        SCOPED_TRACE("ESC ESC in one read, then x: Alt+Escape, x");
        Reader reader;
        reader.Read("\x1b\x1b");
        EXPECT_TRUE(reader.events.empty());  // could still be Alt with a sequence
        reader.Read("x");
        EXPECT_EQ(reader.events, Presses({{VK_ESCAPE, 0x01, 0x1B, Alt}, {'X', 0x2D, 'x', 0}}));
    }
}

// ---- Sequences that are no key, and broken ones ----------------------------------------

TEST(VtInput, SequencesAndStringsThatAreNoKeyAreUsedWholeAndGiveNothing) {
    const std::string_view rows[] = {
        "\x1b[99~",         // no such key number
        "\x1b[200~",        // start of a bracketed paste
        "\x1b[<0;10;5M",    // mouse report
        "\x1b[1;5X",        // unknown final byte
        "\x1b[1:5A",        // sub-parameter
        "\x1b[1;2;3;4;5A",  // too many parameters
        "\x1b[27;5;9~",     // a key in a form not decoded
        "\x1b[2 q",         // intermediate byte
        "\x1b[5;5$A",       // rxvt's suffix takes no modifier parameter
        "\x1b[2a",          // rxvt's Shift+Up takes no parameter
        "\x1bOZ",           // unknown SS3 key
        "\x1bO1;2;3A",      // too many SS3 parameters
        "\x1b[[Z",          // unknown Linux console key
        // Control strings.
        "\x1b]11;rgb:0000/0000/0000\x1b\\",   // colour reply, ended by ST
        "\x1b]11;rgb:ffff/ffff/ffff\a",       // and by BEL
        "\x1b]4;1;rgb:cdcd/0000/0000\x1b\\",  // palette colour
        "\x1b]l\xc3\xa9t\xc3\xa9\x1b\\",      // window title, UTF-8
        "\x1b]\a",                            // empty
        "\x1bP1$r0;1m\x1b\\",                 // DCS: a setting reported
        "\x1bP>|xterm(390)\x1b\\",            // DCS: the terminal's name
        "\x1b_Gi=1;OK\x1b\\",                 // APC
        "\x1b^private\x1b\\",                 // PM
        "\x1bXstring\x1b\\",                  // SOS
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        const std::string_view bytes = rows[row];
        SCOPED_TRACE("row " + std::to_string(row) + ": " + Shown(bytes));
        for (const bool final : {false, true}) {
            const Step step = DecodeOnce(bytes, final);
            EXPECT_EQ(step.used, bytes.size()) << "final " << final;
            EXPECT_TRUE(step.events.empty()) << "final " << final;
            EXPECT_EQ(step.report.kind, TerminalReport::Kind::None);
        }
        // Every prefix waits for the rest.
        for (std::size_t length = 1; length < bytes.size(); ++length) {
            EXPECT_EQ(DecodeOnce(bytes.substr(0, length), false).used, 0u) << length;
        }
    }
}

TEST(VtInput, ABrokenSequenceGivesNothingAndTheByteThatBrokeItStartsTheNextKey) {
    const struct {
        std::string_view bytes;
        std::size_t brokenLength;
        KeyPress next;
    } rows[] = {
        {"\x1b[1\x01", 3, {'A', 0x1E, 0x01, Ctrl}},    {"\x1b[1;\x1b[A", 4, {VK_UP, 0x48, 0, Grey}},
        {"\x1b[\xc3\xa9", 2, {VK_PACKET, 0, 0x82, 0}}, {"\x1bO\r", 2, {VK_RETURN, 0x1C, '\r', 0}},
        {"\x1b[[\x01", 3, {'A', 0x1E, 0x01, Ctrl}},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        SCOPED_TRACE("row " + std::to_string(row) + ": " + Shown(rows[row].bytes));
        const Step step = DecodeOnce(rows[row].bytes, false);
        EXPECT_EQ(step.used, rows[row].brokenLength);
        EXPECT_TRUE(step.events.empty());
        EXPECT_EQ(DecodeAll(rows[row].bytes), Press(rows[row].next));
    }
}

TEST(VtInput, AnOverlongSequenceIsDroppedInsteadOfWaitedFor) {
    // Longer than any sequence the decoder knows, without an end: waiting would stall a
    // caller whose buffer is full.
    const std::string parameters(MaxSequenceLength, '1');
    for (const std::string& bytes : {"\x1b[" + parameters, "\x1b\x1b[" + parameters,
                                     "\x1bO" + parameters, "\x1b]" + parameters}) {
        SCOPED_TRACE(Shown(bytes));
        const Step step = DecodeOnce(bytes, false);
        EXPECT_GT(step.used, 0u);
        EXPECT_TRUE(step.events.empty());
    }
    // Just short of the limit, they still wait.
    EXPECT_EQ(DecodeOnce("\x1b[" + std::string(MaxSequenceLength - 3, '1'), false).used, 0u);
    EXPECT_EQ(DecodeOnce("\x1b]" + std::string(MaxSequenceLength - 3, '1'), false).used, 0u);
}

// What is cut at the bound is dropped to its end, however the reads split it, and the key
// after it arrives.
TEST(VtInput, TheRestOfAnOverlongSequenceGivesNoKey) {
    const KeyPress a{'A', 0x1E, 'a', 0};
    const KeyPress enter{VK_RETURN, 0x1C, '\r', 0};
    const std::string digits(500, '7');
    const std::string title(500, 't');
    const struct {
        std::string bytes;
        std::initializer_list<KeyPress> keys;
    } rows[] = {
        {"\x1b[" + digits + "Ha", {a}},      // ended by its final byte
        {"\x1b[" + digits + "\r", {enter}},  // broken off
        {"\x1b\x1b[" + digits + "~a", {a}},
        {"\x1b]2;" + title + "\x1b\\a", {a}},
        {"\x1b]2;" + title + "\aa", {a}},
        {"\x1bP" + title + "\x1b\\a", {a}},
        {"\x1b]2;" + title + "\r", {enter}},
        {"\x1b]2;" + title + "\x1b[A", {{VK_UP, 0x48, 0, Grey}}},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        EXPECT_EQ(DecodeAll(rows[row].bytes), Presses(rows[row].keys));
        for (const std::size_t readSize : {1u, 7u, 100u}) {
            Reader reader;
            for (std::size_t at = 0; at < rows[row].bytes.size(); at += readSize) {
                reader.Read(std::string_view(rows[row].bytes).substr(at, readSize));
            }
            reader.TimeOut();
            EXPECT_EQ(reader.events, Presses(rows[row].keys)) << "reads of " << readSize;
        }
    }
    // Once the timer has run out, what comes is typed, not the rest.
    Reader reader;
    reader.Read("\x1b[" + digits);
    reader.TimeOut();
    reader.Read("1a");
    EXPECT_EQ(reader.events, Presses({{'1', 0x02, '1', 0}, a}));
}

// ---- Control strings and the terminal's replies ----------------------------------------

// A string's introducer typed as a key: Alt+] (ESC ]), Alt+Shift+P (ESC P) and the others
// arrive, decided by the timer or by a byte no string holds.
TEST(VtInput, AStringIntroducerTypedAloneIsAltWithItsKey) {
    const KeyPress altBracket{VK_OEM_6, 0x1B, ']', Alt};
    const KeyPress enter{VK_RETURN, 0x1C, '\r', 0};
    const KeyPress one{'1', 0x02, '1', 0};
    const EndRow rows[] = {
        {"\x1b]", {altBracket}},
        {"\x1bP", {{'P', 0x19, 'P', Shift | Alt}}},
        {"\x1b_", {{VK_OEM_MINUS, 0x0C, '_', Shift | Alt}}},
        {"\x1b^", {{'6', 0x07, '^', Shift | Alt}}},
        {"\x1bX", {{'X', 0x2D, 'X', Shift | Alt}}},
        {"\x1b]11", {altBracket, one, one}},                            // timer
        {"\x1b]\r", {altBracket, enter}},                               // control
        {"\x1b]1\x1b[A", {altBracket, one, {VK_UP, 0x48, 0, Grey}}},    // ESC
        {"\x1b]1\x1b", {altBracket, one, {VK_ESCAPE, 0x01, 0x1B, 0}}},  // timer
        {"\x1b]\x7f", {altBracket, {VK_BACK, 0x0E, '\b', 0}}},          // DEL
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        SCOPED_TRACE("row " + std::to_string(row) + ": " + Shown(rows[row].bytes));
        EXPECT_EQ(DecodeAll(rows[row].bytes), Presses(rows[row].keys));
    }
    Reader reader;
    reader.Read("\x1b]");
    EXPECT_TRUE(reader.events.empty());  // a string may follow
    reader.TimeOut();
    reader.Read("1");
    EXPECT_EQ(reader.events, Presses({altBracket, one}));
}

struct ReportRow {
    std::string_view bytes;
    TerminalReport::Kind kind;
    bool decPrivate;
    std::vector<unsigned> values;
};

TEST(VtInput, RepliesOfTheTerminalComeAsReports) {
    using Kind = TerminalReport::Kind;
    const ReportRow rows[] = {
        {"\x1b[?2026;2$y", Kind::Mode, true, {2026, TerminalReport::Reset}},
        {"\x1b[?2026;0$y", Kind::Mode, true, {2026, TerminalReport::NotRecognized}},
        {"\x1b[?1049;1$y", Kind::Mode, true, {1049, TerminalReport::Set}},
        {"\x1b[4;4$y", Kind::Mode, false, {4, TerminalReport::PermanentlyReset}},
        {"\x1b[?65;1;9c", Kind::DeviceAttributes, false, {65, 1, 9}},
        {"\x1b[?1;2c", Kind::DeviceAttributes, false, {1, 2}},
        {"\x1b[?6c", Kind::DeviceAttributes, false, {6}},
        {"\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c",
         Kind::DeviceAttributes,
         false,
         {64, 1, 2, 6, 9, 15, 16, 17, 18, 21, 22, 28}},
        {"\x1b[>41;390;0c", Kind::SecondaryDeviceAttributes, false, {41, 390, 0}},
        {"\x1b[?12;40R", Kind::CursorPosition, false, {12, 40}},
        {"\x1b[?1;1;1R", Kind::CursorPosition, false, {1, 1, 1}},
        {"\x1b[12;40R", Kind::CursorPosition, false, {12, 40}},
        {"\x1b[99999;1R", Kind::CursorPosition, false, {65535, 1}},
        {"\x1b[48;24;80;384;640t", Kind::WindowSize, false, {48, 24, 80, 384, 640}},
        {"\x1b[48;50;132t", Kind::WindowSize, false, {48, 50, 132}},
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        const ReportRow& r = rows[row];
        SCOPED_TRACE("row " + std::to_string(row) + ": " + Shown(r.bytes));
        const Step step = DecodeOnce(r.bytes, false);
        EXPECT_EQ(step.used, r.bytes.size());
        EXPECT_TRUE(step.events.empty());
        EXPECT_EQ(step.report.kind, r.kind);
        EXPECT_EQ(step.report.decPrivate, r.decPrivate);
        EXPECT_EQ(std::vector<unsigned>(step.report.values, step.report.values + step.report.count),
                  r.values);
        for (std::size_t length = 1; length < r.bytes.size(); ++length) {
            EXPECT_EQ(DecodeOnce(r.bytes.substr(0, length), false).used, 0u) << length;
        }
    }
    // Row 1 is F3 with modifiers, as the keyboard sends it, unless a cursor report is owed.
    EXPECT_EQ(DecodeAll("\x1b[1;5R"), Press({VK_F3, 0x3D, 0, Ctrl}));
    DecoderState owed;
    owed.cursorReportOwed = true;
    const Step report = DecodeOnce("\x1b[1;5R", false, owed);
    EXPECT_EQ(report.used, 6u);
    EXPECT_EQ(report.report.kind, Kind::CursorPosition);
    EXPECT_TRUE(report.events.empty());
    // Other sizes reported with 't' are no reply of the terminal's.
    EXPECT_EQ(DecodeOnce("\x1b[8;24;80t", false).report.kind, Kind::None);
}

// Replies amid typed keys, however the reads split them, give their reports and no key; an
// Escape typed just before a reply still arrives.
TEST(VtInput, RepliesAmidKeysGiveNoKey) {
    const KeyPress a{'A', 0x1E, 'a', 0};
    const KeyPress b{'B', 0x30, 'b', 0};
    const KeyPress escape{VK_ESCAPE, 0x01, 0x1B, 0};
    const std::string stream =
        "a\x1b[?2026;1$yb\x1b]11;rgb:0000/0000/0000\x1b\\a\x1b\x1b[?62;22cb\x1b\x1b]10;?\ab";
    for (const std::size_t readSize : {1u, 3u, 1000u}) {
        SCOPED_TRACE("reads of " + std::to_string(readSize));
        Reader reader;
        for (std::size_t at = 0; at < stream.size(); at += readSize)
            reader.Read(std::string_view(stream).substr(at, readSize));
        reader.TimeOut();
        EXPECT_EQ(reader.events, Presses({a, b, a, escape, b, escape, b}));
        ASSERT_EQ(reader.reports.size(), 2u);
        EXPECT_EQ(reader.reports[0].kind, TerminalReport::Kind::Mode);
        EXPECT_EQ(reader.reports[0].values[0], 2026u);
        EXPECT_EQ(reader.reports[0].values[1], 1u);
        EXPECT_EQ(reader.reports[1].kind, TerminalReport::Kind::DeviceAttributes);
        EXPECT_TRUE(reader.pending.empty());
    }
    // A device attributes reply too long to hold still reports, with its values lost.
    Reader reader;
    reader.Read("\x1b[?" + std::string(200, '1') + "ca");
    EXPECT_EQ(reader.events, Presses({a}));
    ASSERT_EQ(reader.reports.size(), 1u);
    EXPECT_EQ(reader.reports[0].kind, TerminalReport::Kind::DeviceAttributes);
    EXPECT_EQ(reader.reports[0].count, 0u);
}

TEST(VtInput, InvalidUtf8GivesOneQuestionMarkPerBrokenPiece) {
    const KeyPress question{VK_PACKET, 0, '?', 0};
    const EndRow rows[] = {
        {"\x80", {question}},                                            // stray continuation byte
        {"\xff", {question}},                                            // never in UTF-8
        {"\xc0\xaf", {question, question}},                              // overlong '/'
        {"\xe0\x80\xaf", {question, question, question}},                // overlong '/'
        {"\xed\xa0\x80", {question, question, question}},                // a surrogate
        {"\xf4\x90\x80\x80", {question, question, question, question}},  // past U+10FFFF
        {"\xe2\x82"
         "A",
         {question, {'A', 0x1E, 'A', Shift}}},  // cut short by a character
    };
    for (std::size_t row = 0; row < std::size(rows); ++row) {
        SCOPED_TRACE("row " + std::to_string(row) + ": " + Shown(rows[row].bytes));
        EXPECT_EQ(DecodeAll(rows[row].bytes), Presses(rows[row].keys));
    }
}

}  // namespace
}  // namespace conlib::platform
