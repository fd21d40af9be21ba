// Fuzz target: ParseSigned on any zero-terminated text and any length within it, on a headless
// console. The result must be the one std::from_chars gives for the sign and digits after the
// blanks, and a failure must leave its message line at the cursor.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "conlib/console.hpp"
#include "conlib/input.hpp"
#include "number_fuzz_support.hpp"
#include "platform/win.hpp"

namespace {

constexpr char Target[] = "parse_signed_fuzz";

constexpr char InvalidText[] = " <invalid integer>";
constexpr char OverflowText[] = " <32-bit integer overflow>";

// Each parse starts with the cursor here; a message goes there and moves the cursor to the
// start of the next row.
constexpr std::uint8_t StartColumn = 3;
constexpr std::uint8_t StartRow = 10;

enum class Outcome { Value, Invalid, Overflow };

conlib::win::COORD Cursor() {
    conlib::win::CONSOLE_SCREEN_BUFFER_INFO info{};
    conlib::win::GetConsoleScreenBufferInfo(
        conlib::win::GetStdHandle(conlib::win::STD_OUTPUT_HANDLE), &info);
    return info.dwCursorPosition;
}

bool MessageShown(const char* message) {
    char cells[32] = {};
    const auto length = static_cast<conlib::win::DWORD>(std::strlen(message));
    conlib::win::DWORD read = 0;
    conlib::win::ReadConsoleOutputCharacterA(
        conlib::win::GetStdHandle(conlib::win::STD_OUTPUT_HANDLE), cells, length,
        conlib::win::COORD{StartColumn, StartRow}, &read);
    const conlib::win::COORD cursor = Cursor();
    return read == length && std::memcmp(cells, message, length) == 0 && cursor.X == 0 &&
           cursor.Y == StartRow + 1;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // ParseSigned writes its messages to the console: an in-memory one, not the terminal.
    setenv("CONLIB_CONSOLE", "80x25", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace conlib::fuzz;
    if (size == 0 || size > 4096) return 0;
    const FuzzText text = MakeText(data, size, true);
    const char* chars = text.storage.get();

    Outcome outcome = Outcome::Value;
    std::int32_t expected = 0;
    const std::uint32_t start = NumberStart(chars, text.length);
    if (text.length != 0 && start != text.length) {
        const char* number = chars + start;
        const bool negative = *number == '-';
        const char* digits = number + ((*number == '-' || *number == '+') ? 1 : 0);
        const std::size_t run = DigitRun(digits);
        if (run == 0) {
            outcome = Outcome::Invalid;
        } else {
            // from_chars takes a '-' but no '+'.
            const char* first = negative ? digits - 1 : digits;
            const std::from_chars_result parsed = std::from_chars(first, digits + run, expected);
            if (parsed.ec == std::errc::result_out_of_range) outcome = Outcome::Overflow;
        }
    }

    conlib::ConClearScreen();
    conlib::ConMoveCursor(StartColumn, StartRow);
    const conlib::Result<std::int32_t> got = conlib::ParseSigned(chars, text.length);

    switch (outcome) {
        case Outcome::Value: {
            if (!got.ok || got.value != expected) Fail(Target, "wrong value", chars, text.length);
            const conlib::win::COORD cursor = Cursor();
            if (cursor.X != StartColumn || cursor.Y != StartRow) {
                Fail(Target, "a message for a valid number", chars, text.length);
            }
            break;
        }
        case Outcome::Invalid:
            if (got.ok || got.value != 0)
                Fail(Target, "invalid text must fail", chars, text.length);
            if (!MessageShown(InvalidText)) Fail(Target, "no invalid message", chars, text.length);
            break;
        case Outcome::Overflow:
            if (got.ok || got.value != 0) Fail(Target, "overflow must fail", chars, text.length);
            if (!MessageShown(OverflowText))
                Fail(Target, "no overflow message", chars, text.length);
            break;
    }
    return 0;
}
