// The diagnostics reports, read back from the console's cells: memory dumps of a known block,
// the register display called with known values in every register, and stack frames built
// slot by slot by the assembly fixtures (diagnostics_fixtures.cpp).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conlib/console.hpp"
#include "conlib/util.hpp"
#include "platform/win.hpp"
#include "support/console_support.hpp"
#include "util/diagnostics_fixtures.hpp"

namespace conlib {
namespace {

using namespace win;
using namespace test;

constexpr SHORT Columns = 240;
constexpr SHORT Rows = 60;
// The width of the console most programs start in, which the register display must fit.
constexpr SHORT ReportColumns = 80;
constexpr int Word = sizeof(std::uintptr_t);

// A machine word as the reports write it: 8 or 16 upper-case hexadecimal digits.
std::string Hex(std::uintptr_t value) {
    std::string text(2 * Word, '0');
    for (int i = 2 * Word - 1; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[value & 15];
    return text;
}

// A 64-bit pattern, cut to the machine word.
constexpr std::uintptr_t Pattern(std::uint64_t value) {
    return static_cast<std::uintptr_t>(value);
}

class Diagnostics : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureConsole();
        ASSERT_TRUE(win::SetConsoleScreenBufferSize(Output(), COORD{Columns, Rows}));
        ResetConsole();
    }

    // Each of `rows` from the top of the buffer (the rest of the row blank), then the cursor
    // at the start of the row after them.
    static void ExpectScreen(const std::vector<std::string>& rows, const std::string& what,
                             SHORT columns = Columns) {
        for (std::size_t y = 0; y < rows.size(); ++y) {
            const std::string expected =
                rows[y] + std::string(static_cast<std::size_t>(columns) - rows[y].size(), ' ');
            EXPECT_EQ(ReadCells(0, static_cast<int>(y), columns), expected)
                << what << ", row " << y;
        }
        const COORD cursor = Cursor();
        EXPECT_EQ(cursor.X, 0) << what;
        EXPECT_EQ(cursor.Y, static_cast<SHORT>(rows.size())) << what;
    }
};

// ---- ShowMemoryBlock

const std::uint8_t Block[24] = {0x78, 0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89,
                                0x00, 0xFF, 0x10, 0x01, 0x5A, 0xA5, 0x0F, 0xF0,
                                0x80, 0x7F, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};

std::vector<std::string> DumpHeader(const void* address) {
    return {"", "Dump of offset " + Hex(reinterpret_cast<std::uintptr_t>(address)),
            std::string(31, '-')};
}

TEST_F(Diagnostics, MemoryBlockUnits) {
    struct Case {
        const char* what;
        std::uint32_t offset;
        std::uint32_t count;
        std::uint32_t unitSize;
        std::vector<std::string> lines;
    };
    const std::string sixteen = "78 56 34 12 EF CD AB 89 00 FF 10 01 5A A5 0F F0 ";
    const Case cases[] = {
        {"4-byte units", 0, 3, 4, {"12345678  89ABCDEF  0110FF00  "}},
        {"4-byte units at an odd address", 1, 1, 4, {"EF123456  "}},
        {"2-byte units", 2, 4, 2, {"1234 CDEF 89AB FF00 "}},
        {"2-byte unit at an odd address", 1, 1, 2, {"3456 "}},
        {"1-byte units", 0, 3, 1, {"78 56 34 "}},
        {"unit size 3 means bytes", 0, 3, 3, {"78 56 34 "}},
        {"unit size 0 means bytes", 1, 2, 0, {"56 34 "}},
        {"unit size 8 means bytes", 0, 3, 8, {"78 56 34 "}},
        {"sixteen bytes, then an empty line", 0, 16, 1, {sixteen, ""}},
        {"seventeen bytes", 0, 17, 1, {sixteen, "80 "}},
        {"twenty-four bytes", 0, 24, 1, {sixteen, "80 7F 01 02 03 04 05 06 "}},
        {"count 0: the header alone", 0, 0, 4, {""}},
    };
    for (const Case& c : cases) {
        ConClearScreen();
        ShowMemoryBlock(Block + c.offset, c.count, c.unitSize);
        std::vector<std::string> rows = DumpHeader(Block + c.offset);
        rows.insert(rows.end(), c.lines.begin(), c.lines.end());
        ExpectScreen(rows, c.what);
    }
}

// Forty 4-byte units make one line of 400 characters, wider than the buffer: the console
// wraps it, but no line break stands between the units.
TEST_F(Diagnostics, MemoryBlockKeepsFourByteUnitsOnOneLine) {
    std::uint32_t words[40];
    std::string line;
    for (std::uint32_t i = 0; i < 40; ++i) {
        words[i] = 0x01010101u * i + 0x80000000u;
        line += Hex(words[i]).substr(2 * Word - 8) + "  ";
    }
    ShowMemoryBlock(words, 40, 4);
    const std::vector<std::string> header = DumpHeader(words);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(ReadCells(0, y, static_cast<int>(header[static_cast<std::size_t>(y)].size())),
                  header[static_cast<std::size_t>(y)]);
    ASSERT_EQ(line.size(), 400u);
    EXPECT_EQ(ReadCells(0, 3, 400), line);
    EXPECT_EQ(ReadCells(400 - Columns, 4, Columns - (400 - Columns)),
              std::string(static_cast<std::size_t>(2 * Columns - 400), ' '));
    const COORD cursor = Cursor();
    EXPECT_EQ(cursor.X, 0);
    EXPECT_EQ(cursor.Y, 5);
}

#if CONLIB_DIAGNOSTICS_STUBS

// ---- ShowRegisters

// The report as it must read, line by line: on 32-bit x86 four words to a line with the flags
// behind EFL; on x86-64 three words to a line, so that each line fits an 80-column console,
// and the flags on a line of their own.
std::vector<std::string> RegisterReport(const RegisterRun& run, const char* flagDigits) {
    const char* const generalNames[] = {"AX", "BX", "CX", "DX", "SI", "DI", "BP", "SP",
                                        "8",  "9",  "10", "11", "12", "13", "14", "15"};
    std::map<std::string, std::uintptr_t> values;
    for (std::uint32_t i = 0; i < RegisterCount; ++i)
        values[generalNames[i]] = i == StackPointerIndex ? run.stackPointer : run.before[i];
    values["IP"] = run.returnAddress;
    values["FL"] = run.before[FlagsIndex];

    using Lines = std::vector<std::vector<std::string>>;
    const Lines lines =
        Word == 8 ? Lines{{"AX", "BX", "CX"},
                          {"DX", "SI", "DI"},
                          {"BP", "SP", "8"},
                          {"9", "10", "11"},
                          {"12", "13", "14"},
                          {"15", "IP", "FL"},
                          {}}
                  : Lines{{"AX", "BX", "CX", "DX"}, {"SI", "DI", "BP", "SP"}, {"IP", "FL"}};
    const std::string prefix = Word == 8 ? "  R" : "  E";
    std::vector<std::string> rows = {""};
    for (const auto& names : lines) {
        rows.emplace_back();
        for (const std::string& name : names)
            rows.back() += prefix + name + "=" + Hex(values[name]);
    }
    rows.back() += flagDigits;
    rows.emplace_back();
    return rows;
}

TEST_F(Diagnostics, RegistersShowTheCallersStateAndKeepIt) {
    struct Case {
        const char* what;
        std::uint64_t pattern;  // register i holds pattern * (i + 1)
        std::uint64_t flip;     // then XOR this
        std::uintptr_t flags;
        const char* digits;
    };
    const Case cases[] = {
        {"zero and parity set (bits 1, 2, 6, 9)", 0x1111111111111111u, 0, 0x246,
         "  CF=0  SF=0  ZF=1  OF=0  AF=0  PF=1"},
        {"carry, sign, overflow, auxiliary carry and direction set", 0x1111111111111111u,
         ~std::uint64_t{0}, 0xE93, "  CF=1  SF=1  ZF=0  OF=1  AF=1  PF=0"},
        {"all flags of the report set", 0x0102040810204080u, 0, 0xAD7,
         "  CF=1  SF=1  ZF=1  OF=1  AF=1  PF=1"},
    };
    // An 80-column buffer: a line of 80 characters or more would wrap (the cursor leaves the
    // row at its last column), and its rows would no longer read as the lines above.
    ASSERT_TRUE(win::SetConsoleScreenBufferSize(Output(), COORD{ReportColumns, Rows}));
    for (const Case& c : cases) {
        ConClearScreen();
        RegisterRun run{};
        for (std::uint32_t i = 0; i < RegisterCount; ++i)
            run.before[i] = Pattern((c.pattern * (i + 1)) ^ c.flip);
        run.before[FlagsIndex] = c.flags;
        conlib_test_run_show_registers(&run);

        const std::vector<std::string> report = RegisterReport(run, c.digits);
        for (const std::string& line : report)
            EXPECT_LT(line.size(), static_cast<std::size_t>(ReportColumns))
                << c.what << ": " << line;
        ExpectScreen(report, c.what, ReportColumns);
        for (std::uint32_t i = 0; i < RegisterCount; ++i) {
            if (i == StackPointerIndex) continue;
            EXPECT_EQ(run.after[i], run.before[i]) << c.what << ", register " << i;
        }
        EXPECT_EQ(run.after[FlagsIndex], c.flags) << c.what << ", flags";
    }
}

// ---- ShowStackFrame, ShowStackFrameNamed

std::string Signed(int value) {
    std::string text = value < 0 ? "" : "+";
    return text += std::to_string(value);
}

enum class Role { Parameter, ReturnAddress, SavedFrame, Local, SavedRegister };

struct Line {
    int slot;  // offset from the frame pointer, in slots
    Role role;
};

const char* RoleText(Role role) {
    switch (role) {
        case Role::Parameter:
            return " (parameter)";
        case Role::ReturnAddress:
            return " (return address)";
        case Role::SavedFrame:
            return " (saved ebp) <--- ebp";
        case Role::Local:
            return " (local variable)";
        case Role::SavedRegister:
            return " (saved register)";
    }
    return "";
}

// What each slot of the frame that the fixture built holds, by its offset in slots.
std::map<int, std::uintptr_t> FrameSlots(const FrameRun& run) {
    const int registers = static_cast<int>(run.registerCount);
    std::map<int, std::uintptr_t> slots;
    slots[0] = run.outerFramePointer;
    for (int i = 0; i < registers; ++i)
        slots[registers - i] = run.registers[i];
    slots[registers + 1] = run.returnAddress;
    for (int i = 0; i < static_cast<int>(run.aboveCount); ++i)
        slots[registers + 2 + i] = run.above[i];
    for (int i = 0; i < static_cast<int>(run.belowCount); ++i)
        slots[-1 - i] = run.below[i];
    return slots;
}

TEST_F(Diagnostics, StackFrames) {
    const std::uintptr_t above[] = {Pattern(0x1000000000000A01u), Pattern(0x2000000000000A02u)};
    const std::uintptr_t registers[] = {Pattern(0x3000000000000B01u), Pattern(0x4000000000000B02u)};
    const std::uintptr_t below[] = {Pattern(0x5000000000000C01u), Pattern(0x6000000000000C02u),
                                    Pattern(0x7000000000000C03u)};
    using enum Role;
    const std::vector<Line> full212 = {{3, Parameter},     {2, Parameter}, {1, ReturnAddress},
                                       {0, SavedFrame},    {-1, Local},    {-2, SavedRegister},
                                       {-3, SavedRegister}};
    const std::vector<Line> registersOnly2 = {
        {3, ReturnAddress}, {2, SavedRegister}, {1, SavedRegister}, {0, SavedFrame}};
    struct Case {
        const char* what;
        std::uint32_t parameters, locals, savedRegisters;
        const char* name;  // null: ShowStackFrame
        std::uint32_t aboveCount, registerCount, belowCount;
        const char* heading;
        std::vector<Line> lines;  // none: the frame is invalid
        bool outer;               // the slots shown are those of the fixture's own frame
    };
    const Case cases[] = {
        {"counts 0, 0, 0",
         0,
         0,
         0,
         nullptr,
         0,
         0,
         0,
         "Stack Frame ",
         {{1, ReturnAddress}, {0, SavedFrame}},
         false},
        {"counts 0, 1, 0",
         0,
         1,
         0,
         nullptr,
         0,
         0,
         1,
         "Stack Frame ",
         {{1, ReturnAddress}, {0, SavedFrame}, {-1, Local}},
         false},
        {"counts 2, 1, 2", 2, 1, 2, nullptr, 2, 0, 3, "Stack Frame ", full212, false},
        {"counts 2, 1, 2, named", 2, 1, 2, "Worker", 2, 0, 3, "Stack Frame for Worker", full212,
         false},
        {"name byte 0: the caller's own frame", 2, 1, 2, "", 2, 0, 3, "Stack Frame ", full212,
         false},
        {"name byte 1: the frame one link further out",
         0,
         0,
         0,
         UnnamedFrameMark,
         0,
         0,
         0,
         "Stack Frame ",
         {{1, ReturnAddress}, {0, SavedFrame}},
         true},
        {"register-only at A", 0, 0, 2, "Worker", 0, 2, 0, "Stack Frame for Worker", registersOnly2,
         false},
        {"register-only through ShowStackFrame", 0, 0, 2, nullptr, 0, 2, 0, "Stack Frame ",
         registersOnly2, false},
        {"register-only, frame pointer one slot off",
         0,
         0,
         2,
         nullptr,
         0,
         2,
         1,
         "Stack Frame ",
         {},
         false},
        {"register-only named, frame pointer one slot off",
         0,
         0,
         2,
         "Worker",
         0,
         2,
         1,
         "Stack Frame for Worker",
         {},
         false},
    };
    for (const Case& c : cases) {
        ConClearScreen();
        FrameRun run{};
        run.parameters = c.parameters;
        run.locals = c.locals;
        run.savedRegisters = c.savedRegisters;
        run.name = c.name;
        run.aboveCount = c.aboveCount;
        run.above = above;
        run.registerCount = c.registerCount;
        run.registers = registers;
        run.belowCount = c.belowCount;
        run.below = below;
        conlib_test_run_frame(&run);

        std::map<int, std::uintptr_t> slots = FrameSlots(run);
        if (c.outer) slots = {{0, run.outerSavedFramePointer}, {1, run.outerReturnAddress}};
        std::vector<std::string> rows = {c.heading, ""};
        if (c.lines.empty()) rows.emplace_back("The stack frame is invalid");
        for (const Line& line : c.lines) {
            ASSERT_EQ(slots.count(line.slot), 1u) << c.what << ", slot " << line.slot;
            rows.push_back(Hex(slots[line.slot]) + "  ebp" + Signed(line.slot * Word) +
                           RoleText(line.role));
        }
        if (!c.lines.empty()) {
            rows.back() += " <--- esp";
            rows.emplace_back();
        }
        ExpectScreen(rows, c.what);
    }
}

#else

TEST_F(Diagnostics, RegistersAndFramesAreNotAvailable) {
    ShowRegisters();
    ShowStackFrame(0, 0, 0);
    ExpectScreen({"The register display is not available on this processor",
                  "The stack frame display is not available on this processor"},
                 "not available");
}

#endif

}  // namespace
}  // namespace conlib
