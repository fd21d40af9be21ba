// Message boxes of the console host (MessageBoxA).
//
// With a screen (a terminal, or the headless console) the box is drawn over the screen buffer,
// centred in the window, in the glyphs of code page 437:
//
//   ╔══════ Caption ══════╗
//   ║                     ║
//   ║   ?   The text,     ║     the text broken at its line breaks and wrapped to fit;
//   ║       wrapped       ║     the question mark with MB_ICONQUESTION
//   ║                     ║
//   ║    [ Yes ]   No     ║     the focused button in brackets and colours of its own
//   ╚═════════════════════╝
//
// It is answered with keys from the console's input: Enter or Space chooses the focused
// button, Tab, Shift+Tab and the arrow keys move the focus, a button's first letter chooses
// that button, and Escape chooses Cancel where there is one, else No, else OK. Key releases and
// other events do nothing; the release of the key that answered is taken with it when it is
// already queued. The cells under the box, the cursor and the current attribute are put back
// when it goes.
//
// Without a screen (standard output a file or a pipe) the caption, the text and a prompt that
// names the answers go to standard error, and the answer is read as a line from the console's
// input, asked again until it names a button; any line answers a box with OK alone.
//
// Either way, when the input ends before an answer the result is 0, with ERROR_HANDLE_EOF as
// the last error.
#include "message_box.hpp"

#include <algorithm>
#include <cstring>

#include <unistd.h>

#include "console_host.hpp"
#include "handles.hpp"
#include "platform/posix/win.hpp"

namespace conlib::posix {

namespace {

using namespace win;

// The largest box: 78 columns, which fits a window of 80 with a column to spare on either
// side, and 50 lines of text; text beyond that is left out.
constexpr int MaxBoxColumns = 78;
constexpr int MaxTextLines = 50;
// Rows besides the text: the two borders, a blank row above and below it, the buttons.
constexpr int FrameRows = 5;
constexpr int MaxBoxRows = MaxTextLines + FrameRows;
// Blank columns between a border and what the box shows.
constexpr int Margin = 2;
// The question mark (" ? ") and the blank after it.
constexpr int IconColumns = 4;
// A button is its label with two cells on either side; buttons stand this far apart.
constexpr int ButtonPadding = 4;
constexpr int ButtonGap = 2;
constexpr int MaxButtons = 3;

constexpr UINT ButtonTypeMask = 0x0F;

// Code page 437: a double-lined frame.
constexpr char TopLeft = '\xC9';
constexpr char TopRight = '\xBB';
constexpr char BottomLeft = '\xC8';
constexpr char BottomRight = '\xBC';
constexpr char Horizontal = '\xCD';
constexpr char Vertical = '\xBA';

struct Button {
    const char* label;
    int answer;
    char shortcut;  // the letter that chooses it, upper case
};

struct ButtonSet {
    UINT type;
    int count;
    Button buttons[MaxButtons];
    int escapeAnswer;
    const char* prompt;  // the prompt without a screen
};

constexpr Button OkButton = {"OK", IDOK, 'O'};
constexpr Button CancelButton = {"Cancel", IDCANCEL, 'C'};
constexpr Button YesButton = {"Yes", IDYES, 'Y'};
constexpr Button NoButton = {"No", IDNO, 'N'};

constexpr ButtonSet ButtonSets[] = {
    {MB_OK, 1, {OkButton, {}, {}}, IDOK, "[OK] "},
    {MB_OKCANCEL, 2, {OkButton, CancelButton, {}}, IDCANCEL, "[O/C] "},
    {MB_YESNOCANCEL, 3, {YesButton, NoButton, CancelButton}, IDCANCEL, "[Y/N/C] "},
    {MB_YESNO, 2, {YesButton, NoButton, {}}, IDNO, "[Y/N] "},
};

// The buttons of a box of `type`; null for a type this host does not show.
const ButtonSet* ButtonsFor(UINT type) {
    if ((type & ~(ButtonTypeMask | MB_ICONQUESTION)) != 0) return nullptr;
    for (const ButtonSet& set : ButtonSets) {
        if (set.type == (type & ButtonTypeMask)) return &set;
    }
    return nullptr;
}

int LengthOf(const char* text) {
    return static_cast<int>(std::strlen(text));
}

char UpperCase(char ch) {
    return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

bool IsLineBreak(char ch) {
    return ch == '\r' || ch == '\n';
}

// Past the line break at `position`: CR LF, LF or CR.
const char* SkipLineBreak(const char* position) {
    return position[0] == '\r' && position[1] == '\n' ? position + 2 : position + 1;
}

// ---- The box on a screen ----

struct TextLine {
    const char* start;
    int length;
};

// Where everything of a box stands, counted from the window's top left cell (originX, originY
// in the buffer). The box may reach past the window when the window is too small for it; only
// the part inside (clipColumns x clipRows) is drawn.
struct Layout {
    const ButtonSet* buttons;
    bool icon;
    const char* caption;
    int captionLength;  // as much of the caption as the top border holds
    int left;
    int top;
    int columns;
    int rows;
    int originX;
    int originY;
    int clipColumns;
    int clipRows;
    int lineCount;
    TextLine lines[MaxTextLines];
    int buttonLeft[MaxButtons];
};

// The box being shown, the cells it covers and what they held before.
Layout Box;
MessageBoxArea Covered = {0, 0, 0, 0};
Cell Saved[MaxBoxRows][MaxBoxColumns];
// The buffer's size when the box was placed: a terminal that changes size moves it.
int PlacedColumns = 0;
int PlacedRows = 0;

// Breaks `text` into lines at each line break, and wraps each line wider than `width` after
// its last blank that fits (blanks at the break are dropped), or after `width` characters when
// none does. Keeps at most `most` lines (at least one, empty for an empty text).
int WrapText(const char* text, int width, TextLine* lines, int most) {
    int count = 0;
    const char* position = text;
    for (;;) {
        const char* end = position;
        while (*end != '\0' && !IsLineBreak(*end))
            ++end;
        do {
            if (end - position <= width) {
                lines[count++] = {position, static_cast<int>(end - position)};
                position = end;
            } else {
                const char* cut = position + width;
                while (cut > position && *cut != ' ')
                    --cut;
                if (cut == position) {
                    lines[count++] = {position, width};
                    position += width;
                } else {
                    const char* last = cut;
                    while (last > position && last[-1] == ' ')
                        --last;
                    lines[count++] = {position, static_cast<int>(last - position)};
                    position = cut;
                    while (position < end && *position == ' ')
                        ++position;
                }
            }
            if (count == most) return count;
        } while (position < end);
        if (*end == '\0') return count;
        position = SkipLineBreak(end);
    }
}

void Arrange(Layout& box, const ScreenBuffer& screen, int windowColumns, int windowRows,
             const char* text, const char* caption, const ButtonSet& set, bool icon) {
    box.buttons = &set;
    box.icon = icon;
    box.caption = caption;
    box.originX = screen.WindowLeft();
    box.originY = screen.WindowTop();
    box.clipColumns = std::max(0, std::min(windowColumns, screen.Columns() - box.originX));
    box.clipRows = std::max(0, std::min(windowRows, screen.Rows() - box.originY));

    const int widest = std::clamp(box.clipColumns, 1, MaxBoxColumns);
    const int iconColumns = icon ? IconColumns : 0;
    const int textWidth = std::max(1, widest - 2 - 2 * Margin - iconColumns);
    const int mostLines = std::clamp(box.clipRows - FrameRows, 1, MaxTextLines);
    box.lineCount = WrapText(text, textWidth, box.lines, mostLines);

    int longest = 0;
    for (int i = 0; i < box.lineCount; ++i)
        longest = std::max(longest, box.lines[i].length);
    int buttonsWidth = ButtonGap * (set.count - 1);
    for (int i = 0; i < set.count; ++i)
        buttonsWidth += LengthOf(set.buttons[i].label) + ButtonPadding;
    const int captionLength = static_cast<int>(strnlen(caption, MaxBoxColumns));

    // Inside the borders: the text or the buttons with their margins, and room for the caption
    // with a blank and a stroke of the border on either side.
    const int inner = std::max(
        {iconColumns + longest + 2 * Margin, buttonsWidth + 2 * Margin, captionLength + 4});
    box.columns = std::min(inner + 2, widest);
    box.rows = box.lineCount + FrameRows;
    box.captionLength = std::clamp(box.columns - 6, 0, captionLength);
    box.left = std::max(0, (box.clipColumns - box.columns) / 2);
    box.top = std::max(0, (box.clipRows - box.rows) / 2);

    int x = box.left + 1 + std::max(0, (box.columns - 2 - buttonsWidth) / 2);
    for (int i = 0; i < set.count; ++i) {
        box.buttonLeft[i] = x;
        x += LengthOf(set.buttons[i].label) + ButtonPadding + ButtonGap;
    }
}

// The cells of the buffer the box covers.
MessageBoxArea AreaOf(const Layout& box) {
    return {box.originX + box.left, box.originY + box.top,
            std::clamp(box.clipColumns - box.left, 0, box.columns),
            std::clamp(box.clipRows - box.top, 0, box.rows)};
}

int ButtonRow(const Layout& box) {
    return box.top + box.rows - 2;
}

// Puts a cell of the box, where it falls inside the window and the buffer; `inside` keeps it
// within the borders too.
void Put(ScreenBuffer& screen, const Layout& box, int x, int y, char ch, std::uint16_t attribute,
         bool inside = true) {
    if (x < 0 || y < 0 || x >= box.clipColumns || y >= box.clipRows) return;
    if (inside && (x <= box.left || x >= box.left + box.columns - 1)) return;
    const int column = box.originX + x;
    const int row = box.originY + y;
    if (!screen.Contains(column, row)) return;
    screen.WriteCharacters(ch == '\t' ? " " : &ch, 1, column, row);
    screen.WriteAttributes(&attribute, 1, column, row);
}

void DrawButtons(ScreenBuffer& screen, const Layout& box, int focus) {
    const int y = ButtonRow(box);
    for (int i = 0; i < box.buttons->count; ++i) {
        const bool focused = i == focus;
        const std::uint16_t attribute = focused ? MessageBoxFocusAttribute : MessageBoxAttribute;
        const char* label = box.buttons->buttons[i].label;
        const int length = LengthOf(label);
        int x = box.buttonLeft[i];
        Put(screen, box, x++, y, focused ? '[' : ' ', attribute);
        Put(screen, box, x++, y, ' ', attribute);
        for (int k = 0; k < length; ++k)
            Put(screen, box, x++, y, label[k], attribute);
        Put(screen, box, x++, y, ' ', attribute);
        Put(screen, box, x, y, focused ? ']' : ' ', attribute);
    }
}

void Draw(ScreenBuffer& screen, const Layout& box, int focus) {
    const int right = box.left + box.columns - 1;
    const int bottom = box.top + box.rows - 1;
    for (int y = box.top; y <= bottom; ++y) {
        const bool edge = y == box.top || y == bottom;
        for (int x = box.left; x <= right; ++x) {
            char ch = edge ? Horizontal : ' ';
            if (x == box.left) {
                ch = y == box.top ? TopLeft : y == bottom ? BottomLeft : Vertical;
            } else if (x == right) {
                ch = y == box.top ? TopRight : y == bottom ? BottomRight : Vertical;
            }
            Put(screen, box, x, y, ch, MessageBoxAttribute, false);
        }
    }

    if (box.columns >= 6) {
        // The caption in the middle of the top border, a blank on either side.
        int x = box.left + (box.columns - box.captionLength - 2) / 2;
        Put(screen, box, x++, box.top, ' ', MessageBoxAttribute);
        for (int k = 0; k < box.captionLength; ++k)
            Put(screen, box, x++, box.top, box.caption[k], MessageBoxAttribute);
        Put(screen, box, x, box.top, ' ', MessageBoxAttribute);
    }

    int textLeft = box.left + 1 + Margin;
    if (box.icon) {
        Put(screen, box, textLeft, box.top + 2, ' ', MessageBoxIconAttribute);
        Put(screen, box, textLeft + 1, box.top + 2, '?', MessageBoxIconAttribute);
        Put(screen, box, textLeft + 2, box.top + 2, ' ', MessageBoxIconAttribute);
        textLeft += IconColumns;
    }
    for (int i = 0; i < box.lineCount; ++i) {
        const TextLine& line = box.lines[i];
        for (int k = 0; k < line.length; ++k)
            Put(screen, box, textLeft + k, box.top + 2 + i, line.start[k], MessageBoxAttribute);
    }
    DrawButtons(screen, box, focus);
}

// The cursor stands on the focused button's label, where the box shows it.
void PlaceCursor(ScreenBuffer& screen, const Layout& box, int focus) {
    const int x = box.buttonLeft[focus] + 2;
    const int y = ButtonRow(box);
    if (x < box.left + box.columns - 1 && x < box.clipColumns && y < box.clipRows) {
        screen.SetCursor(box.originX + x, box.originY + y);
    }
}

void SaveUnder(const ScreenBuffer& screen, const MessageBoxArea& area) {
    for (int r = 0; r < area.rows; ++r) {
        screen.CopyRow(area.top + r, area.left, area.columns, Saved[r]);
    }
}

// Puts back what the box covered, as far as it is still inside the buffer.
void RestoreUnder(ScreenBuffer& screen, const MessageBoxArea& area) {
    char chars[MaxBoxColumns];
    std::uint16_t attributes[MaxBoxColumns];
    const int columns = std::min(area.columns, screen.Columns() - area.left);
    if (columns <= 0) return;
    const auto count = static_cast<std::size_t>(columns);
    for (int r = 0; r < area.rows && area.top + r < screen.Rows(); ++r) {
        for (int c = 0; c < columns; ++c) {
            chars[c] = static_cast<char>(Saved[r][c].ch);
            attributes[c] = Saved[r][c].attr;
        }
        screen.WriteCharacters(chars, count, area.left, area.top + r);
        screen.WriteAttributes(attributes, count, area.left, area.top + r);
    }
}

// Draws the box at its place in the window as it is now, keeping what it covers.
void Place(ConsoleHost& host, const char* text, const char* caption, const ButtonSet& set,
           bool icon, int focus) {
    ScreenBuffer& screen = host.Screen();
    Arrange(Box, screen, host.WindowColumns(), host.WindowRows(), text, caption, set, icon);
    Covered = AreaOf(Box);
    SaveUnder(screen, Covered);
    Draw(screen, Box, focus);
    PlaceCursor(screen, Box, focus);
    PlacedColumns = screen.Columns();
    PlacedRows = screen.Rows();
    host.Show();
}

// What a key press does: returns the answer it gives, or 0 when it only moves the focus (or
// does nothing).
int Respond(const KEY_EVENT_RECORD& key, const ButtonSet& set, int& focus) {
    const WORD vk = key.wVirtualKeyCode;
    const char ch = key.uChar.AsciiChar;
    if (vk == VK_RETURN || vk == VK_SPACE || ch == '\r' || ch == ' ') {
        return set.buttons[focus].answer;
    }
    if (vk == VK_ESCAPE || ch == '\x1b') return set.escapeAnswer;
    int step = 0;
    if (vk == VK_TAB || ch == '\t') {
        step = (key.dwControlKeyState & SHIFT_PRESSED) != 0 ? -1 : 1;
    } else if (vk == VK_LEFT || vk == VK_UP) {
        step = -1;
    } else if (vk == VK_RIGHT || vk == VK_DOWN) {
        step = 1;
    }
    if (step != 0) {
        focus = (focus + step + set.count) % set.count;
        return 0;
    }
    char letter = UpperCase(ch);
    if (letter < 'A' || letter > 'Z') letter = vk >= 'A' && vk <= 'Z' ? static_cast<char>(vk) : 0;
    for (int i = 0; letter != 0 && i < set.count; ++i) {
        if (set.buttons[i].shortcut == letter) return set.buttons[i].answer;
    }
    return 0;
}

// Takes the release of the key that answered when it is the next record already there, so
// that what is typed after the answer starts with a key press. Never waits for it.
void TakeRelease(HANDLE input, WORD vk) {
    INPUT_RECORD next{};
    DWORD count = 0;
    if (PeekConsoleInputA(input, &next, 1, &count) == FALSE || count == 0) return;
    if (next.EventType == KEY_EVENT && (next.Event.KeyEvent.bKeyDown & 1) == 0 &&
        next.Event.KeyEvent.wVirtualKeyCode == vk) {
        ReadConsoleInputA(input, &next, 1, &count);
    }
}

int AskOnScreen(ConsoleHost& host, const char* text, const char* caption, const ButtonSet& set,
                bool icon) {
    ScreenBuffer& screen = host.Screen();
    const int cursorX = screen.CursorX();
    const int cursorY = screen.CursorY();
    const std::uint16_t attribute = screen.Attribute();
    int focus = 0;
    Place(host, text, caption, set, icon, focus);

    // Keys as they come, with Ctrl+C ending the program where it did before.
    const HANDLE input = ConsoleInputHandle();
    DWORD savedMode = 0;
    const bool haveMode = GetConsoleMode(input, &savedMode) != FALSE;
    SetConsoleMode(input, haveMode ? savedMode & ENABLE_PROCESSED_INPUT : ENABLE_PROCESSED_INPUT);

    int answer = 0;
    DWORD failure = 0;
    for (;;) {
        INPUT_RECORD record{};
        DWORD count = 0;
        if (ReadConsoleInputA(input, &record, 1, &count) == FALSE) {
            failure = GetLastError();
            break;
        }
        if (host.Screen().Columns() != PlacedColumns || host.Screen().Rows() != PlacedRows) {
            RestoreUnder(screen, Covered);
            Place(host, text, caption, set, icon, focus);
        }
        if (count == 0 || record.EventType != KEY_EVENT ||
            (record.Event.KeyEvent.bKeyDown & 1) == 0) {
            continue;
        }
        const int before = focus;
        answer = Respond(record.Event.KeyEvent, set, focus);
        if (answer != 0) {
            TakeRelease(input, record.Event.KeyEvent.wVirtualKeyCode);
            break;
        }
        if (focus != before) {
            DrawButtons(screen, Box, focus);
            PlaceCursor(screen, Box, focus);
            host.Show();
        }
    }

    RestoreUnder(screen, Covered);
    screen.SetCursor(cursorX, cursorY);
    screen.SetAttribute(attribute);
    host.Show();
    if (haveMode) SetConsoleMode(input, savedMode);
    if (answer == 0) SetLastError(failure);
    return answer;
}

// ---- The question without a screen ----

// The longest answer looked at; a longer line names no button.
constexpr int AnswerCapacity = 16;

void WriteError(const char* bytes, std::size_t length) {
    WriteAll(STDERR_FILENO, bytes, length);
}

void WriteError(const char* text) {
    WriteError(text, std::strlen(text));
}

// The text, each of its lines ended with a line feed.
void WriteLines(const char* text) {
    const char* position = text;
    for (;;) {
        const char* end = position;
        while (*end != '\0' && !IsLineBreak(*end))
            ++end;
        WriteError(position, static_cast<std::size_t>(end - position));
        WriteError("\n");
        if (*end == '\0') return;
        position = SkipLineBreak(end);
    }
}

// Reads one line from the console's input into `answer`, without its line end and blanks at
// either end; a line too long for it comes back as AnswerCapacity + 1 characters, which match
// nothing. False when the input ended before any of a line came.
bool ReadAnswer(HANDLE input, char (&answer)[AnswerCapacity + 1], int& length) {
    length = 0;
    bool any = false;
    bool started = false;
    int kept = 0;  // up to the last character that is not a blank
    for (;;) {
        char chunk[64];
        DWORD count = 0;
        if (ReadConsoleA(input, chunk, sizeof chunk, &count, nullptr) == FALSE || count == 0) break;
        any = true;
        for (DWORD i = 0; i < count; ++i) {
            const char ch = chunk[i];
            if (IsLineBreak(ch)) continue;
            const bool blank = ch == ' ' || ch == '\t';
            if (blank && !started) continue;
            started = true;
            if (length <= AnswerCapacity) answer[length++] = ch;
            if (!blank) kept = length;
        }
        if (chunk[count - 1] == '\n') break;
    }
    length = kept;
    return any;
}

int AnswerOf(const ButtonSet& set, const char* answer, int length) {
    if (set.type == MB_OK) return IDOK;
    for (int i = 0; i < set.count; ++i) {
        const Button& button = set.buttons[i];
        if (length == 1 && UpperCase(answer[0]) == button.shortcut) return button.answer;
        const int labelLength = LengthOf(button.label);
        if (length != labelLength) continue;
        bool same = true;
        for (int k = 0; k < length && same; ++k)
            same = UpperCase(answer[k]) == UpperCase(button.label[k]);
        if (same) return button.answer;
    }
    return 0;
}

int AskOnStandardError(const char* text, const char* caption, const ButtonSet& set) {
    WriteLines(caption);
    WriteLines(text);

    const HANDLE input = ConsoleInputHandle();
    DWORD savedMode = 0;
    const bool haveMode = GetConsoleMode(input, &savedMode) != FALSE;
    SetConsoleMode(input, ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
    // A terminal on both sides shows the line as it is typed, and its end; otherwise the
    // prompt's line is ended here.
    const bool echoed = isatty(STDIN_FILENO) != 0 && isatty(STDERR_FILENO) != 0;

    int answer = 0;
    DWORD failure = 0;
    while (answer == 0) {
        WriteError(set.prompt);
        char line[AnswerCapacity + 1];
        int length = 0;
        const bool read = ReadAnswer(input, line, length);
        if (!read) failure = GetLastError();
        if (!read || !echoed) WriteError("\n");
        if (!read) break;
        answer = AnswerOf(set, line, length);
    }

    if (haveMode) SetConsoleMode(input, savedMode);
    if (answer == 0) SetLastError(failure);
    return answer;
}

}  // namespace

MessageBoxArea DrawMessageBox(ScreenBuffer& screen, int windowColumns, int windowRows,
                              const char* text, const char* caption, UINT type, int focus) {
    const ButtonSet* set = ButtonsFor(type);
    if (set == nullptr) return {0, 0, 0, 0};
    Arrange(Box, screen, windowColumns, windowRows, text, caption, *set,
            (type & MB_ICONQUESTION) != 0);
    Draw(screen, Box, std::clamp(focus, 0, set->count - 1));
    return AreaOf(Box);
}

}  // namespace conlib::posix

namespace conlib::win {

int MessageBoxA(HWND /*hWnd*/, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    const posix::ButtonSet* set = posix::ButtonsFor(uType);
    if (set == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // As on Windows: no text is an empty one, and a box without a caption is titled "Error".
    const char* text = lpText != nullptr ? lpText : "";
    const char* caption = lpCaption != nullptr ? lpCaption : "Error";
    posix::HostGuard guard(posix::ConsoleHost::Lock());
    posix::ConsoleHost& host = posix::ConsoleHost::Instance();
    if (host.mode() == posix::ConsoleHost::Mode::Plain) {
        return posix::AskOnStandardError(text, caption, *set);
    }
    return posix::AskOnScreen(host, text, caption, *set, (uType & MB_ICONQUESTION) != 0);
}

}  // namespace conlib::win
