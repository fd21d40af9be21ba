// Diagnostics: memory dumps, the register display and the stack frame display. The register
// and stack frame displays start in assembly stubs (diagnostics_entry_*.cpp), which call the
// reports here.
#include <cstdint>
#include <iterator>

#include "conlib/console.hpp"
#include "conlib/util.hpp"
#include "util/diagnostics_entry.hpp"

namespace conlib {

const char UnnamedFrameMark[] = "\x01";

namespace {

constexpr const char* DumpHeader = "\r\nDump of offset ";
constexpr const char* DumpRule = "-------------------------------\r\n";
constexpr const char* WideSeparator = "  ";
constexpr const char* NarrowSeparator = " ";

constexpr bool WideWords = sizeof(std::uintptr_t) == 8;

// The values ShowRegisters shows besides the general registers, as of its last call.
struct RegisterSnapshotRecord {
    std::uintptr_t returnAddress;
    std::uintptr_t stackPointer;
    std::uintptr_t flags;
};
RegisterSnapshotRecord RegisterSnapshot;

// Each label has one spare position before its terminator, which receives the flag's digit
// just before the label is written.
constexpr std::uint32_t FlagCount = 6;
constexpr std::uint32_t FlagDigit = 5;
char FlagLabels[FlagCount][7] = {"  CF=", "  SF=", "  ZF=", "  OF=", "  AF=", "  PF="};
constexpr std::uint32_t FlagBits[FlagCount] = {0, 7, 6, 11, 4, 2};

// The words of the register display in the order shown: the general registers in the order
// of the stub's saved words, then the instruction pointer and the flags word. They stand a
// fixed number to a line and the six flags follow the last word: four 8-digit words to a
// line, so that EIP, EFL and the flags share the third; or three 16-digit words, so that no
// line reaches the 80th column, and the flags stand on a line of their own.
constexpr std::uint32_t ShownWordCount = detail::SavedRegisterCount + 2;
constexpr std::uint32_t ShownReturnAddress = detail::SavedRegisterCount;
constexpr std::uint32_t ShownFlags = detail::SavedRegisterCount + 1;
constexpr std::uint32_t WordsPerLine = WideWords ? 3 : 4;
constexpr const char* RegisterLabels32[] = {"  EAX=", "  EBX=", "  ECX=", "  EDX=", "  ESI=",
                                            "  EDI=", "  EBP=", "  ESP=", "  EIP=", "  EFL="};
constexpr const char* RegisterLabels64[] = {
    "  RAX=", "  RBX=", "  RCX=", "  RDX=", "  RSI=", "  RDI=", "  RBP=", "  RSP=", "  R8=",
    "  R9=",  "  R10=", "  R11=", "  R12=", "  R13=", "  R14=", "  R15=", "  RIP=", "  RFL="};
static_assert((WideWords ? std::size(RegisterLabels64) : std::size(RegisterLabels32)) ==
              ShownWordCount);

constexpr const char* FrameHeading = "Stack Frame ";
constexpr const char* FrameNamePrefix = "for ";
constexpr const char* FrameBase = "  ebp";
constexpr const char* ParameterRole = " (parameter)";
constexpr const char* ReturnAddressRole = " (return address)";
constexpr const char* SavedFrameRole = " (saved ebp) <--- ebp";
constexpr const char* LocalRole = " (local variable)";
constexpr const char* SavedRegisterRole = " (saved register)";
constexpr const char* StackTopMark = " <--- esp\r\n";
constexpr const char* InvalidFrame = "The stack frame is invalid";

// A machine word in hexadecimal: 8 digits, or 16 where words are 64 bits wide.
void WriteWord(std::uintptr_t value) {
    const auto wide = static_cast<std::uint64_t>(value);
    if (WideWords) ConWriteHex(static_cast<std::uint32_t>(wide >> 32));
    ConWriteHex(static_cast<std::uint32_t>(wide));
}

void WriteLabelled(const char* label, std::uintptr_t value) {
    ConWriteText(label);
    WriteWord(value);
}

// A stack slot. Slots of instrumented frames may lie in the sanitizer's guard zones; the
// display reads them all the same.
#if defined(__GNUC__) || defined(__clang__)
__attribute__((no_sanitize("address")))
#endif
std::uintptr_t
ReadSlot(std::uintptr_t address) {
    return *reinterpret_cast<const volatile std::uintptr_t*>(address);
}

}  // namespace

void ShowMemoryBlock(const void* address, std::uint32_t count, std::uint32_t unitSize) {
    const auto* bytes = static_cast<const std::uint8_t*>(address);
    ConWriteText(DumpHeader);
    WriteWord(reinterpret_cast<std::uintptr_t>(address));
    ConNewLine();
    ConWriteText(DumpRule);
    if (unitSize == 4) {
        for (std::uint32_t i = 0; i < count; ++i, bytes += 4) {
            ConWriteHex(static_cast<std::uint32_t>(bytes[0]) |
                        static_cast<std::uint32_t>(bytes[1]) << 8 |
                        static_cast<std::uint32_t>(bytes[2]) << 16 |
                        static_cast<std::uint32_t>(bytes[3]) << 24);
            ConWriteText(WideSeparator);
        }
    } else if (unitSize == 2) {
        for (std::uint32_t i = 0; i < count; ++i, bytes += 2) {
            ConWriteHexPair(bytes[1]);
            ConWriteHexPair(bytes[0]);
            ConWriteText(NarrowSeparator);
        }
    } else {
        std::uint16_t written = 0;
        for (std::uint32_t i = 0; i < count; ++i, ++bytes) {
            ConWriteHexPair(*bytes);
            ++written;
            ConWriteText(NarrowSeparator);
            if (written % 16 == 0) ConNewLine();
        }
    }
    ConNewLine();
}

}  // namespace conlib

using namespace conlib;

extern "C" void conlib_diagnostics_registers_report(const std::uintptr_t* saved) {
    using namespace conlib::detail;
    RegisterSnapshot.returnAddress = saved[SavedReturnAddress];
    RegisterSnapshot.stackPointer = saved[SavedStackPointer];
    RegisterSnapshot.flags = saved[SavedFlags];

    const char* const* labels = WideWords ? RegisterLabels64 : RegisterLabels32;
    ConNewLine();
    for (std::uint32_t i = 0; i < ShownWordCount; ++i) {
        const std::uintptr_t value = i == SavedStackPointer    ? RegisterSnapshot.stackPointer
                                     : i == ShownReturnAddress ? RegisterSnapshot.returnAddress
                                     : i == ShownFlags         ? RegisterSnapshot.flags
                                                               : saved[i];
        WriteLabelled(labels[i], value);
        if (i % WordsPerLine == WordsPerLine - 1) ConNewLine();
    }
    for (std::uint32_t i = 0; i < FlagCount; ++i) {
        FlagLabels[i][FlagDigit] = (RegisterSnapshot.flags >> FlagBits[i] & 1) != 0 ? '1' : '0';
        ConWriteText(FlagLabels[i]);
    }
    ConNewLine();
    ConNewLine();
}

extern "C" void conlib_diagnostics_frame_report(std::uint32_t parameters, std::uint32_t locals,
                                                std::uint32_t savedRegisters, const char* name,
                                                std::uintptr_t framePointer,
                                                std::uintptr_t argumentsTop) {
    const auto first = static_cast<std::uint8_t>(name[0]);
    ConWriteText(FrameHeading);
    if (first != 0 && first != 1) {
        ConWriteText(FrameNamePrefix);
        ConWriteText(name);
    }
    ConNewLine();
    ConNewLine();

    std::uintptr_t fp = framePointer;
    if (first == 1) fp = ReadSlot(fp);

    const bool registersOnly = parameters == 0 && locals == 0 && savedRegisters != 0;
    if (registersOnly && fp != argumentsTop &&
        fp != argumentsTop + detail::ShowStackFrameOwnBytes) {
        ConWriteText(InvalidFrame);
        ConNewLine();
        return;
    }

    // Slot lines from the highest address down: `index` counts slots below the top one.
    constexpr auto slot = static_cast<std::int64_t>(sizeof(std::uintptr_t));
    const std::uint64_t params = parameters;
    const std::uint64_t above = registersOnly ? savedRegisters : params;
    const std::uint64_t lines =
        registersOnly ? std::uint64_t{savedRegisters} + 2 : params + locals + savedRegisters + 2;
    for (std::uint64_t index = 0; index < lines; ++index) {
        const std::int64_t offset = (static_cast<std::int64_t>(above + 1 - index)) * slot;
        const char* role;
        if (registersOnly) {
            role = index == 0                ? ReturnAddressRole
                   : index <= savedRegisters ? SavedRegisterRole
                                             : SavedFrameRole;
        } else {
            role = index < params                ? ParameterRole
                   : index == params             ? ReturnAddressRole
                   : index == params + 1         ? SavedFrameRole
                   : index < params + 2 + locals ? LocalRole
                                                 : SavedRegisterRole;
        }
        WriteWord(ReadSlot(fp + static_cast<std::uintptr_t>(offset)));
        ConWriteText(FrameBase);
        ConWriteSigned(static_cast<std::int32_t>(offset));
        ConWriteText(role);
        if (index + 1 == lines) ConWriteText(StackTopMark);
        ConNewLine();
    }
}

#if !CONLIB_DIAGNOSTICS_STUBS
// No stubs for this processor: the operations only say so.
namespace conlib {

const std::uintptr_t detail::ShowStackFrameOwnBytes = 0;

void ShowRegisters() {
    ConWriteText("The register display is not available on this processor");
    ConNewLine();
}

void ShowStackFrameNamed(std::uint32_t, std::uint32_t, std::uint32_t, const char*) {
    ConWriteText("The stack frame display is not available on this processor");
    ConNewLine();
}

void ShowStackFrame(std::uint32_t parameters, std::uint32_t locals, std::uint32_t savedRegisters) {
    ShowStackFrameNamed(parameters, locals, savedRegisters, UnnamedFrameMark);
}

}  // namespace conlib
#endif

#if CONLIB_DIAGNOSTICS_STUBS && defined(_WIN32) && defined(CONLIB_SHARED) && \
    defined(CONLIB_BUILDING)
// The stubs are written in assembly: conlib.dll exports them by name.
asm(CONLIB_ASM_DLL_EXPORTS);
#endif
