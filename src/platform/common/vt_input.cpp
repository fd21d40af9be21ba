// Keyboard input from a VT terminal, decoded into Windows key events.
//
// Every form the decoder knows, and the key it gives (CSI is ESC [, SS3 is ESC O; m is the
// xterm modifier parameter, 1 + Shift 1 + Alt 2 + Ctrl 4; higher bits are ignored):
//
//   a-z A-Z 0-9 and the other printable ASCII  the US keyboard key that types it, with Shift
//                                              pressed around it where the key needs it
//   UTF-8 text            the character in code page 437 ('?' where it has none), VK_PACKET
//   CR, LF                Enter                     TAB            Tab
//   DEL, BS               Backspace                 ESC            Escape
//   0x01-0x1A             Ctrl+A to Ctrl+Z (those not above)       0x00  Ctrl+Space
//   0x1C 0x1D 0x1E 0x1F   Ctrl+\  Ctrl+]  Ctrl+Shift+6 (^)  Ctrl+Shift+- (_)
//   ESC then any of those Alt with that key (Alt+digit included; ESC ESC is Alt+Escape)
//   ESC then a sequence   Alt with the sequence's key (rxvt)
//   CSI A B C D           Up Down Right Left        also CSI 1;m A, SS3 A, SS3 m A, SS3 1;m A
//   CSI H F               Home End                  the same forms
//   CSI E, CSI G          keypad 5 as Clear         the same forms (CSI G: Linux console)
//   CSI P Q R S, SS3 P-S  F1-F4                     the same forms
//   CSI Z                 Shift+Tab                 CSI 1;m Z: Tab with modifiers m
//   CSI n ~, CSI n;m ~    n: 1 Home  2 Insert  3 Delete  4 End  5 Page Up  6 Page Down
//                         7 Home  8 End  11-15 F1-F5  17-21 F6-F10  23 F11  24 F12
//   CSI n $  ^  @         rxvt: key n with Shift, with Ctrl, with Ctrl+Shift
//   CSI a b c d           rxvt: Shift+Up Down Right Left
//   SS3 a b c d           rxvt: Ctrl+Up Down Right Left
//   CSI [A to CSI [E      Linux console: F1-F5
//   SS3 j k m n o M       keypad * + - . / Enter (keypad application mode)
//   SS3 p to SS3 y        keypad 0-9
//
// Any other complete sequence, private ones (CSI ? ..., CSI < ...) and those with sub-parameters
// or intermediate bytes included, stands for no key: it is used whole and gives no events.
// Among them, the terminal's replies come as reports:
//
//   CSI ? Pd ; Ps $ y, CSI Pd ; Ps $ y     the setting Ps of mode Pd (DECRPM)
//   CSI ? ... c, CSI > ... c               primary, secondary device attributes
//   CSI ? row ; column R (; page)          the cursor position; also CSI row ; column R with
//                                          a row above 1 (row 1 is F3 with modifiers)
//
// Control strings, ESC ] (OSC), ESC P (DCS), ESC _ (APC), ESC ^ (PM) and ESC X (SOS), up to
// BEL or ST (ESC backslash), stand for no key either. Their text is printable; a string broken
// off by a control character (or an ESC that starts no ST), and one unfinished when nothing
// more comes, was typed: Alt with the second byte's key (Alt+] for ESC ]), then its bytes as
// keys. A sequence or string that runs past MaxSequenceLength bytes is cut there and dropped
// to its end, however long.
#include "platform/common/vt_input.hpp"

#include "platform/common/cp437.hpp"

namespace conlib::platform {

namespace {

using namespace win;

constexpr unsigned char Esc = 0x1B;
constexpr unsigned char Bel = 0x07;

// The modifiers a key is typed with, as control-key state bits (the left-hand keys).
constexpr DWORD Shift = SHIFT_PRESSED;
constexpr DWORD Alt = LEFT_ALT_PRESSED;
constexpr DWORD Ctrl = LEFT_CTRL_PRESSED;

// One key press: virtual key, scan code (set 1), character, and the modifiers it is typed with
// plus ENHANCED_KEY for the grey keys.
struct Key {
    WORD vk;
    WORD scan;
    unsigned char ch;
    DWORD state;
};

constexpr Key With(Key key, DWORD modifiers) {
    key.state |= modifiers;
    return key;
}

// ---- The keys --------------------------------------------------------------------------

constexpr Key Escape{VK_ESCAPE, 0x01, Esc, 0};
constexpr Key Tab{VK_TAB, 0x0F, '\t', 0};
constexpr Key Up{VK_UP, 0x48, 0, ENHANCED_KEY};
constexpr Key Down{VK_DOWN, 0x50, 0, ENHANCED_KEY};
constexpr Key Right{VK_RIGHT, 0x4D, 0, ENHANCED_KEY};
constexpr Key Left{VK_LEFT, 0x4B, 0, ENHANCED_KEY};
constexpr Key Home{VK_HOME, 0x47, 0, ENHANCED_KEY};
constexpr Key End{VK_END, 0x4F, 0, ENHANCED_KEY};
constexpr Key PageUp{VK_PRIOR, 0x49, 0, ENHANCED_KEY};
constexpr Key PageDown{VK_NEXT, 0x51, 0, ENHANCED_KEY};
constexpr Key Insert{VK_INSERT, 0x52, 0, ENHANCED_KEY};
constexpr Key Delete{VK_DELETE, 0x53, 0, ENHANCED_KEY};
constexpr Key Clear{VK_CLEAR, 0x4C, 0, 0};
constexpr Key KeypadEnter{VK_RETURN, 0x1C, '\r', ENHANCED_KEY};
constexpr Key KeypadMultiply{VK_MULTIPLY, 0x37, '*', 0};
constexpr Key KeypadAdd{VK_ADD, 0x4E, '+', 0};
constexpr Key KeypadSubtract{VK_SUBTRACT, 0x4A, '-', 0};
constexpr Key KeypadDecimal{VK_DECIMAL, 0x53, '.', 0};
constexpr Key KeypadDivide{VK_DIVIDE, 0x35, '/', ENHANCED_KEY};

// F1 to F12 by number; F11 and F12 sit apart from the others in the scan code set.
constexpr Key FunctionKey(unsigned number) {
    const WORD scan = static_cast<WORD>(number <= 10 ? 0x3A + number : 0x4C + number);
    return {static_cast<WORD>(VK_F1 + number - 1), scan, 0, 0};
}

// Keypad digits 0 to 9, as the keypad gives them with Num Lock on.
constexpr Key KeypadDigit(unsigned digit) {
    constexpr unsigned char scans[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B,
                                         0x4C, 0x4D, 0x47, 0x48, 0x49};
    return {static_cast<WORD>(VK_NUMPAD0 + digit), scans[digit],
            static_cast<unsigned char>('0' + digit), 0};
}

// Scan codes of the letter keys A to Z and of the top-row digits 0 to 9.
constexpr unsigned char LetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                          0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                          0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
constexpr unsigned char DigitScan[10] = {0x0B, 0x02, 0x03, 0x04, 0x05,
                                         0x06, 0x07, 0x08, 0x09, 0x0A};

// The other printable characters: the key that types each on a US keyboard.
struct Symbol {
    char ch;
    Key key;
};
constexpr Symbol Symbols[] = {
    {' ', {VK_SPACE, 0x39, ' ', 0}},          {'!', {'1', 0x02, '!', Shift}},
    {'@', {'2', 0x03, '@', Shift}},           {'#', {'3', 0x04, '#', Shift}},
    {'$', {'4', 0x05, '$', Shift}},           {'%', {'5', 0x06, '%', Shift}},
    {'^', {'6', 0x07, '^', Shift}},           {'&', {'7', 0x08, '&', Shift}},
    {'*', {'8', 0x09, '*', Shift}},           {'(', {'9', 0x0A, '(', Shift}},
    {')', {'0', 0x0B, ')', Shift}},           {'-', {VK_OEM_MINUS, 0x0C, '-', 0}},
    {'_', {VK_OEM_MINUS, 0x0C, '_', Shift}},  {'=', {VK_OEM_PLUS, 0x0D, '=', 0}},
    {'+', {VK_OEM_PLUS, 0x0D, '+', Shift}},   {'[', {VK_OEM_4, 0x1A, '[', 0}},
    {'{', {VK_OEM_4, 0x1A, '{', Shift}},      {']', {VK_OEM_6, 0x1B, ']', 0}},
    {'}', {VK_OEM_6, 0x1B, '}', Shift}},      {'\\', {VK_OEM_5, 0x2B, '\\', 0}},
    {'|', {VK_OEM_5, 0x2B, '|', Shift}},      {';', {VK_OEM_1, 0x27, ';', 0}},
    {':', {VK_OEM_1, 0x27, ':', Shift}},      {'\'', {VK_OEM_7, 0x28, '\'', 0}},
    {'"', {VK_OEM_7, 0x28, '"', Shift}},      {'`', {VK_OEM_3, 0x29, '`', 0}},
    {'~', {VK_OEM_3, 0x29, '~', Shift}},      {',', {VK_OEM_COMMA, 0x33, ',', 0}},
    {'<', {VK_OEM_COMMA, 0x33, '<', Shift}},  {'.', {VK_OEM_PERIOD, 0x34, '.', 0}},
    {'>', {VK_OEM_PERIOD, 0x34, '>', Shift}}, {'/', {VK_OEM_2, 0x35, '/', 0}},
    {'?', {VK_OEM_2, 0x35, '?', Shift}},
};

// The key that a terminal's ASCII byte stands for.
Key AsciiKey(unsigned char byte) {
    if (byte >= 'a' && byte <= 'z') {
        const unsigned index = byte - 'a';
        return {static_cast<WORD>('A' + index), LetterScan[index], byte, 0};
    }
    if (byte >= 'A' && byte <= 'Z') return {byte, LetterScan[byte - 'A'], byte, Shift};
    if (byte >= '0' && byte <= '9') return {byte, DigitScan[byte - '0'], byte, 0};
    switch (byte) {
        case 0x00:
            return {VK_SPACE, 0x39, 0, Ctrl};
        case '\b':
        case 0x7F:
            return {VK_BACK, 0x0E, '\b', 0};
        case '\t':
            return Tab;
        case '\r':
        case '\n':
            return {VK_RETURN, 0x1C, '\r', 0};
        case Esc:
            return Escape;
        case 0x1C:
            return {VK_OEM_5, 0x2B, byte, Ctrl};
        case 0x1D:
            return {VK_OEM_6, 0x1B, byte, Ctrl};
        case 0x1E:
            return {'6', 0x07, byte, Shift | Ctrl};
        case 0x1F:
            return {VK_OEM_MINUS, 0x0C, byte, Shift | Ctrl};
        default:
            break;
    }
    if (byte < 0x20) return {static_cast<WORD>('A' + byte - 1), LetterScan[byte - 1], byte, Ctrl};
    for (const Symbol& symbol : Symbols) {
        if (static_cast<unsigned char>(symbol.ch) == byte) return symbol.key;
    }
    return {VK_PACKET, 0, '?', 0};  // not reached: the table covers every printable byte
}

// ---- Events ----------------------------------------------------------------------------

void Push(KeyEvents& events, bool down, WORD vk, WORD scan, unsigned char ch, DWORD state) {
    INPUT_RECORD& record = events.records[events.count++];
    record = INPUT_RECORD{};
    record.EventType = KEY_EVENT;
    KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    key.bKeyDown = down ? TRUE : FALSE;
    key.wRepeatCount = 1;
    key.wVirtualKeyCode = vk;
    key.wVirtualScanCode = scan;
    key.uChar.AsciiChar = static_cast<CHAR>(ch);
    key.dwControlKeyState = state;
}

struct Modifier {
    DWORD flag;
    WORD vk;
    WORD scan;
};
constexpr Modifier Modifiers[3] = {
    {Shift, VK_SHIFT, 0x2A}, {Alt, VK_MENU, 0x38}, {Ctrl, VK_CONTROL, 0x1D}};

// The records of `key`: its modifiers go down one by one, each adding its flag; the key goes
// down and up with all of them held; the modifiers come up in reverse order, each clearing
// its flag.
void Emit(const Key& key, KeyEvents& events) {
    DWORD held = 0;
    for (const Modifier& modifier : Modifiers) {
        if ((key.state & modifier.flag) == 0) continue;
        held |= modifier.flag;
        Push(events, true, modifier.vk, modifier.scan, 0, held);
    }
    const DWORD state = held | (key.state & ENHANCED_KEY);
    Push(events, true, key.vk, key.scan, key.ch, state);
    Push(events, false, key.vk, key.scan, key.ch, state);
    for (int i = 2; i >= 0; --i) {
        const Modifier& modifier = Modifiers[i];
        if ((key.state & modifier.flag) == 0) continue;
        held &= ~modifier.flag;
        Push(events, false, modifier.vk, modifier.scan, 0, held);
    }
}

// ---- UTF-8 -----------------------------------------------------------------------------

// The code page 437 byte for a code point, '?' when the code page has no such character.
unsigned char ToCodePage(char32_t codePoint) {
    if (codePoint < 0x80) return static_cast<unsigned char>(codePoint);
    for (unsigned byte = 0x80; byte <= 0xFF; ++byte) {
        const auto ch = static_cast<unsigned char>(byte);
        if (Cp437CodePoint(ch) == codePoint) return ch;
    }
    return '?';
}

// Decodes the UTF-8 character at the start of `bytes` (whose first byte is 0x80 or above)
// into `ch`. Returns the bytes used, or 0 when the character is cut short and more may follow.
// A byte that cannot start a character, and a character broken off or cut short at the end,
// give '?'.
std::size_t DecodeText(const unsigned char* bytes, std::size_t length, bool final,
                       unsigned char& ch) {
    const unsigned char lead = bytes[0];
    std::size_t size = 0;
    char32_t codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        codePoint = lead & 0x07u;
    } else {
        ch = '?';
        return 1;
    }
    for (std::size_t i = 1; i < size; ++i) {
        if (i == length) {
            if (!final) return 0;
            ch = '?';
            return i;
        }
        const unsigned char next = bytes[i];
        // The second byte's range excludes overlong forms, surrogates and code points past
        // U+10FFFF.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (i == 1) {
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        }
        if (next < low || next > high) {
            ch = '?';
            return i;
        }
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    ch = ToCodePage(codePoint);
    return size;
}

// ---- Escape sequences ------------------------------------------------------------------

enum class Outcome {
    Key,       // a key
    NoKey,     // a sequence that stands for no key, or a broken one
    Report,    // a reply of the terminal
    NeedMore,  // unfinished: more bytes may come
    Typed,     // a control string broken off: its introducer was typed, as Alt with a key
    Cut,       // too long: cut at the bound, the rest to be dropped
};

struct Sequence {
    Outcome outcome;
    std::size_t length;  // bytes used, for Key, NoKey, Report and Cut
    Key key;
    TerminalReport report;
    unsigned char marker;  // a control sequence's private marker, for Cut
};

constexpr Sequence NoKey(std::size_t length) {
    return {Outcome::NoKey, length, {}, {}, 0};
}
constexpr Sequence Found(std::size_t length, Key key) {
    return {Outcome::Key, length, key, {}, 0};
}
constexpr Sequence Reported(std::size_t length, const TerminalReport& report) {
    return {Outcome::Report, length, {}, report, 0};
}
constexpr Sequence Cut(std::size_t length, unsigned char marker) {
    return {Outcome::Cut, length, {}, {}, marker};
}
constexpr Sequence NeedMore{Outcome::NeedMore, 0, {}, {}, 0};
constexpr Sequence Typed{Outcome::Typed, 0, {}, {}, 0};

// The modifiers that an xterm modifier parameter stands for. Higher bits (Meta, or Super for
// some terminals) have no Windows modifier and are left out.
DWORD ModifiersOf(unsigned parameter) {
    if (parameter < 2) return 0;
    const unsigned bits = parameter - 1;
    DWORD modifiers = 0;
    if (bits & 1u) modifiers |= Shift;
    if (bits & 2u) modifiers |= Alt;
    if (bits & 4u) modifiers |= Ctrl;
    return modifiers;
}

// The key numbered `number` in "CSI n ~"; false for numbers that are no key.
bool NumberedKey(unsigned number, Key& key) {
    switch (number) {
        case 1:
        case 7:
            key = Home;
            return true;
        case 2:
            key = Insert;
            return true;
        case 3:
            key = Delete;
            return true;
        case 4:
        case 8:
            key = End;
            return true;
        case 5:
            key = PageUp;
            return true;
        case 6:
            key = PageDown;
            return true;
        default:
            break;
    }
    if (number >= 11 && number <= 15) {
        key = FunctionKey(number - 10);
        return true;
    }
    if (number >= 17 && number <= 21) {
        key = FunctionKey(number - 11);
        return true;
    }
    if (number == 23 || number == 24) {
        key = FunctionKey(number - 12);
        return true;
    }
    return false;
}

// The keys that CSI and SS3 share, by final byte.
bool LetterKey(unsigned char final, Key& key) {
    switch (final) {
        case 'A':
            key = Up;
            return true;
        case 'B':
            key = Down;
            return true;
        case 'C':
            key = Right;
            return true;
        case 'D':
            key = Left;
            return true;
        case 'H':
            key = Home;
            return true;
        case 'F':
            key = End;
            return true;
        case 'E':
            key = Clear;
            return true;
        case 'P':
        case 'Q':
        case 'R':
        case 'S':
            key = FunctionKey(final - 'P' + 1u);
            return true;
        default:
            return false;
    }
}

// The arrows of rxvt's lower-case finals "a" to "d".
Key RxvtArrow(unsigned char final) {
    constexpr Key arrows[4] = {Up, Down, Right, Left};
    return arrows[final - 'a'];
}

// The most parameters of a key; a report may have more.
constexpr std::size_t MaxKeyParameters = 4;
constexpr unsigned MaxParameterValue = 65535;

// The parameters of a sequence: `count` of them, the first TerminalReport::Capacity kept.
struct Parameters {
    unsigned value[TerminalReport::Capacity];
    std::size_t count;

    void Add(unsigned parameter) {
        if (count < TerminalReport::Capacity) value[count] = parameter;
        ++count;
    }
};

// The key of a complete "CSI parameters final".
bool CsiKey(const Parameters& p, unsigned char final, Key& key) {
    if (final == 'G' && p.count == 0) {  // the Linux console's keypad 5
        key = Clear;
        return true;
    }
    if (final == 'Z' && p.count <= 2) {
        // Shift+Tab; with a modifier parameter, Tab with those modifiers.
        key = With(Tab, p.count == 2 ? ModifiersOf(p.value[1]) : Shift);
        return true;
    }
    if (final >= 'a' && final <= 'd') {
        if (p.count != 0) return false;
        key = With(RxvtArrow(final), Shift);
        return true;
    }
    if (final == '~' || final == '$' || final == '^' || final == '@') {
        if (p.count == 0 || p.count > 2 || (p.count == 2 && final != '~')) return false;
        if (!NumberedKey(p.value[0], key)) return false;
        DWORD modifiers = p.count == 2 ? ModifiersOf(p.value[1]) : 0;
        if (final == '$') modifiers = Shift;
        if (final == '^') modifiers = Ctrl;
        if (final == '@') modifiers = Ctrl | Shift;
        key = With(key, modifiers);
        return true;
    }
    // "CSI 1 ; m X": the first parameter is 1 or left out; anything else (such as a cursor
    // position report, "CSI row ; column R") is no key.
    if (p.count > 2 || (p.count >= 1 && p.value[0] > 1)) return false;
    if (!LetterKey(final, key)) return false;
    key = With(key, p.count == 2 ? ModifiersOf(p.value[1]) : 0);
    return true;
}

// The key of a complete "SS3 parameters final"; the modifier, where one is given, is the last
// parameter ("SS3 5 A" and "SS3 1 ; 5 A").
bool Ss3Key(const Parameters& p, unsigned char final, Key& key) {
    if (p.count > 2) return false;
    const DWORD modifiers = p.count >= 1 ? ModifiersOf(p.value[p.count - 1]) : 0;
    if (final >= 'a' && final <= 'd') {
        key = With(RxvtArrow(final), Ctrl | modifiers);
        return true;
    }
    if (final >= 'p' && final <= 'y') {
        key = With(KeypadDigit(static_cast<unsigned>(final - 'p')), modifiers);
        return true;
    }
    switch (final) {
        case 'M':
            key = KeypadEnter;
            break;
        case 'j':
            key = KeypadMultiply;
            break;
        case 'k':
            key = KeypadAdd;
            break;
        case 'm':
            key = KeypadSubtract;
            break;
        case 'n':
            key = KeypadDecimal;
            break;
        case 'o':
            key = KeypadDivide;
            break;
        default:
            if (!LetterKey(final, key)) return false;
            break;
    }
    key = With(key, modifiers);
    return true;
}

// The reply of the terminal that a complete "CSI marker parameters intermediate final" is;
// false for any other sequence.
bool ReportOf(const Parameters& p, unsigned char marker, unsigned char intermediate,
              unsigned char final, bool cursorReportOwed, TerminalReport& report) {
    using Kind = TerminalReport::Kind;
    report = TerminalReport{};
    if (final == 'y' && intermediate == '$' && (marker == 0 || marker == '?') && p.count == 2) {
        report.kind = Kind::Mode;
        report.decPrivate = marker == '?';
    } else if (final == 'c' && intermediate == 0 && marker == '?') {
        report.kind = Kind::DeviceAttributes;
    } else if (final == 'c' && intermediate == 0 && marker == '>') {
        report.kind = Kind::SecondaryDeviceAttributes;
    } else if (final == 'R' && intermediate == 0 &&
               ((marker == '?' && (p.count == 2 || p.count == 3)) ||
                (marker == 0 && p.count == 2 && (p.value[0] > 1 || cursorReportOwed)))) {
        report.kind = Kind::CursorPosition;
    } else if (final == 't' && intermediate == 0 && marker == 0 && p.count >= 3 &&
               p.value[0] == 48) {
        report.kind = Kind::WindowSize;
    } else {
        return false;
    }
    report.count = p.count < TerminalReport::Capacity ? p.count : TerminalReport::Capacity;
    for (std::size_t i = 0; i < report.count; ++i)
        report.values[i] = p.value[i];
    return true;
}

// Parses the sequence at the start of `bytes`, which begins "ESC [" or "ESC O" and is cut
// once it runs to `maxLength` bytes without a final byte.
//
// A private marker (0x3C-0x3F) may come first; then parameter bytes (0x30-0x3B) and
// intermediate bytes (0x20-0x2F) run up to a final byte (0x40-0x7E). rxvt ends its modified
// keys with '$', an intermediate byte elsewhere: right after one plain parameter it is taken
// as the final byte.
Sequence ParseSequence(const unsigned char* bytes, std::size_t length, std::size_t maxLength,
                       bool cursorReportOwed) {
    const unsigned char introducer = bytes[1];
    if (introducer == '[' && length > 2 && bytes[2] == '[') {  // Linux console F1-F5
        if (length == 3) return NeedMore;
        const unsigned char final = bytes[3];
        if (final >= 'A' && final <= 'E') return Found(4, FunctionKey(final - 'A' + 1u));
        return NoKey(final >= 0x40 && final <= 0x7E ? 4 : 3);
    }

    const std::size_t limit = length < maxLength ? length : maxLength;
    Parameters parameters{};
    unsigned current = 0;
    bool anyParameter = false;
    bool separated = false;          // a ';' came
    unsigned char marker = 0;        // the private marker
    unsigned char intermediate = 0;  // the intermediate byte
    bool unusual = false;  // a sub-parameter, a marker further on, bytes out of their order
    std::size_t i = 2;
    for (; i < limit; ++i) {
        const unsigned char c = bytes[i];
        if (intermediate != 0 && c >= 0x30 && c <= 0x3F) unusual = true;
        if (c >= '0' && c <= '9') {
            current = current * 10 + (c - '0');
            if (current > MaxParameterValue) current = MaxParameterValue;
            anyParameter = true;
        } else if (c == ';') {
            parameters.Add(current);
            current = 0;
            anyParameter = true;
            separated = true;
        } else if (c >= 0x3C && c <= 0x3F && i == 2) {
            marker = c;
        } else if (c >= 0x3A && c <= 0x3F) {
            unusual = true;
        } else if (c >= 0x20 && c <= 0x2F) {
            if (c == '$' && introducer == '[' && marker == 0 && !separated && !unusual &&
                intermediate == 0) {
                break;
            }
            if (intermediate != 0) unusual = true;
            intermediate = c;
        } else {
            break;
        }
    }
    if (i == limit) {
        // Ran out of bytes: wait for the rest, unless the sequence is already too long to be
        // one the decoder knows.
        if (length < maxLength) return NeedMore;
        return Cut(i, marker);
    }
    const unsigned char final = bytes[i];
    if (final != '$' && (final < 0x40 || final > 0x7E)) return NoKey(i);  // broken off
    if (anyParameter) parameters.Add(current);
    if (unusual) return NoKey(i + 1);
    if (introducer == '[') {
        TerminalReport report{};
        if (ReportOf(parameters, marker, intermediate, final, cursorReportOwed, report)) {
            return Reported(i + 1, report);
        }
    }
    if (marker != 0 || intermediate != 0 || parameters.count > MaxKeyParameters) {
        return NoKey(i + 1);
    }
    Key key{};
    const bool known =
        introducer == '[' ? CsiKey(parameters, final, key) : Ss3Key(parameters, final, key);
    return known ? Found(i + 1, key) : NoKey(i + 1);
}

// The second byte of each control string: OSC, DCS, APC, PM and SOS.
bool StartsString(unsigned char byte) {
    return byte == ']' || byte == 'P' || byte == '_' || byte == '^' || byte == 'X';
}

// Bytes that cannot be part of a control string's text; BEL and ESC end it.
bool BreaksString(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

// Parses the control string at the start of `bytes`, which begins with ESC and a byte of
// StartsString and is cut once it runs to `maxLength` bytes without an end. Its text is
// printable ASCII and the bytes of UTF-8 characters; a terminal sends nothing else in one.
Sequence ParseString(const unsigned char* bytes, std::size_t length, std::size_t maxLength) {
    const std::size_t limit = length < maxLength ? length : maxLength;
    for (std::size_t i = 2; i < limit; ++i) {
        const unsigned char c = bytes[i];
        if (c == Bel) return NoKey(i + 1);
        if (c == Esc) {
            if (i + 1 == limit) return length < maxLength ? NeedMore : Cut(i, 0);
            return bytes[i + 1] == '\\' ? NoKey(i + 2) : Typed;
        }
        if (BreaksString(c)) return Typed;
    }
    return length < maxLength ? NeedMore : Cut(limit, 0);
}

// Drops the bytes at the start of `bytes` that still belong to a sequence cut at the bound,
// and returns how many. The drop ends at the sequence's end, which is dropped too, or at a
// byte that cannot continue it, which is not.
std::size_t DropRest(const unsigned char* bytes, std::size_t length, bool final,
                     DecoderState& state, KeyEvents& events) {
    if (state.drop == DecoderState::Drop::ControlSequence) {
        for (std::size_t i = 0; i < length; ++i) {
            const unsigned char c = bytes[i];
            if (c >= 0x20 && c <= 0x3F) continue;
            state.EndDrop();
            if (c < 0x40 || c > 0x7E) return i;
            // A device attributes reply too long to hold still says that the terminal has
            // answered.
            if (c == 'c' && (state.marker == '?' || state.marker == '>')) {
                events.report.kind = state.marker == '?'
                                         ? TerminalReport::Kind::DeviceAttributes
                                         : TerminalReport::Kind::SecondaryDeviceAttributes;
            }
            return i + 1;
        }
        return length;
    }
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char c = bytes[i];
        if (c == Bel) {
            state.EndDrop();
            return i + 1;
        }
        if (c == Esc) {
            if (i + 1 == length && !final) return i;  // ST may follow
            state.EndDrop();
            return i + 1 < length && bytes[i + 1] == '\\' ? i + 2 : i;
        }
        if (BreaksString(c)) {
            state.EndDrop();
            return i;
        }
    }
    return length;
}

// ---- Keys ------------------------------------------------------------------------------

// Decodes a key that is not an escape sequence (one ASCII byte, or one UTF-8 character)
// typed with `modifiers` on top of its own.
std::size_t DecodePlain(const unsigned char* bytes, std::size_t length, bool final, DWORD modifiers,
                        KeyEvents& events) {
    if (bytes[0] < 0x80) {
        Emit(With(AsciiKey(bytes[0]), modifiers), events);
        return 1;
    }
    unsigned char ch = 0;
    const std::size_t used = DecodeText(bytes, length, final, ch);
    if (used == 0) return 0;
    Emit({VK_PACKET, 0, ch, modifiers}, events);
    return used;
}

// Decodes what starts with ESC: Escape, Alt with a key (Alt+Escape for ESC ESC), an escape
// sequence, a control string or a reply of the terminal.
std::size_t DecodeEscape(const unsigned char* bytes, std::size_t length, bool final,
                         DecoderState& state, KeyEvents& events) {
    if (length == 1) {
        if (!final) return 0;
        Emit(Escape, events);
        return 1;
    }
    const unsigned char next = bytes[1];
    const bool control = next == '[' || next == 'O';
    if (control || StartsString(next)) {
        const Sequence sequence =
            control ? ParseSequence(bytes, length, MaxSequenceLength, state.cursorReportOwed)
                    : ParseString(bytes, length, MaxSequenceLength);
        switch (sequence.outcome) {
            case Outcome::Key:
                Emit(sequence.key, events);
                return sequence.length;
            case Outcome::NoKey:
                return sequence.length;
            case Outcome::Report:
                events.report = sequence.report;
                return sequence.length;
            case Outcome::Cut:
                state.drop =
                    control ? DecoderState::Drop::ControlSequence : DecoderState::Drop::String;
                state.marker = sequence.marker;
                return sequence.length;
            case Outcome::NeedMore:
                if (!final) return 0;
                // Nothing more is coming: this was Alt with the key of the second byte (Alt+[,
                // Alt+], Alt+Shift+P ...), and what follows it was typed after it.
                [[fallthrough]];
            case Outcome::Typed:
                Emit(With(AsciiKey(next), Alt), events);
                return 2;
        }
    }
    if (next == Esc && length > 2 &&
        (bytes[2] == '[' || bytes[2] == 'O' || StartsString(bytes[2]))) {
        // rxvt sends Alt with a key that has a sequence as ESC and that sequence; ESC before a
        // reply or a control string is Escape, typed just before the terminal sent it.
        // The sequence is one byte shorter than its limit, so that with MaxSequenceLength
        // bytes at hand it is decided, as every other one is.
        const bool inner = bytes[2] == '[' || bytes[2] == 'O';
        const Sequence sequence = inner
                                      ? ParseSequence(bytes + 1, length - 1, MaxSequenceLength - 1,
                                                      state.cursorReportOwed)
                                      : ParseString(bytes + 1, length - 1, MaxSequenceLength - 1);
        switch (sequence.outcome) {
            case Outcome::Key:
                Emit(With(sequence.key, Alt), events);
                return 1 + sequence.length;
            case Outcome::NoKey:
            case Outcome::Cut:
                if (inner) {
                    if (sequence.outcome == Outcome::Cut) {
                        state.drop = DecoderState::Drop::ControlSequence;
                        state.marker = sequence.marker;
                    }
                    return 1 + sequence.length;
                }
                [[fallthrough]];
            case Outcome::Report:
                Emit(Escape, events);
                return 1;
            case Outcome::NeedMore:
                if (!final) return 0;
                break;  // Alt+Escape, and what follows was typed after it
            case Outcome::Typed:
                break;
        }
    }
    // ESC ESC may still become Alt with a sequence.
    if (next == Esc && length == 2 && !final) return 0;
    const std::size_t used = DecodePlain(bytes + 1, length - 1, final, Alt, events);
    return used == 0 ? 0 : used + 1;
}

}  // namespace

std::size_t DecodeKey(const unsigned char* bytes, std::size_t length, bool final,
                      DecoderState& state, KeyEvents& events) {
    events.count = 0;
    events.report = TerminalReport{};
    if (length == 0) return 0;
    // With this many bytes at hand, every sequence the decoder knows is complete.
    const bool noMore = final || length >= MaxSequenceLength;
    if (state.Dropping()) {
        const std::size_t dropped = DropRest(bytes, length, noMore, state, events);
        if (dropped > 0 || state.Dropping()) return dropped;
    }
    if (bytes[0] == Esc) return DecodeEscape(bytes, length, noMore, state, events);
    return DecodePlain(bytes, length, noMore, 0, events);
}

}  // namespace conlib::platform
