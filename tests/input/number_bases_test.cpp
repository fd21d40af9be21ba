// The number_bases example with its answers on a pipe: the readers take the lines of standard
// input, and the end of the input ends the program.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.hpp"

namespace conlib {
namespace {

test::ProcessResult RunExample(const std::string& input) {
    // No headless console: standard input and output are the pipes. Stopped after 20 s.
    return test::RunProcess({"/usr/bin/timeout", "20", "/usr/bin/env", "-u", "CONLIB_CONSOLE",
                             CONLIB_NUMBER_BASES_PATH},
                            {.directory = {}, .environment = {}, .input = input});
}

const std::string Heading =
    "Kinds: u unsigned decimal, s signed decimal, h hexadecimal.\r\nAn empty line ends.\r\n";

TEST(NumberBasesExample, ShowsEachNumberAndEndsOnAnEmptyLine) {
    const test::ProcessResult result = RunExample("s\n-5\nH\r\n  1aF  \r\nu\nx\nq\n\nu\n1\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, Heading +
                                 "Kind: Signed decimal:   unsigned  4294967291\r\n"
                                 "  signed    -5\r\n"
                                 "  hex       FFFFFFFB\r\n"
                                 "  binary    1111 1111 1111 1111 1111 1111 1111 1011\r\n"
                                 "Kind: Hexadecimal:   unsigned  431\r\n"
                                 "  signed    +431\r\n"
                                 "  hex       000001AF\r\n"
                                 "  binary    0000 0000 0000 0000 0000 0001 1010 1111\r\n"
                                 "Kind: Unsigned decimal:   unsigned  0\r\n"
                                 "  signed    +0\r\n"
                                 "  hex       00000000\r\n"
                                 "  binary    0000 0000 0000 0000 0000 0000 0000 0000\r\n"
                                 "Kind:   the kind is u, s or h\r\n"
                                 "Kind: \r\n");
}

TEST(NumberBasesExample, EndsAtTheEndOfTheInput) {
    const test::ProcessResult result = RunExample("s\n99999999999\nu\n42");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, Heading +
                                 "Kind: Signed decimal:  <32-bit integer overflow>\r\n"
                                 "Kind: Unsigned decimal:   unsigned  42\r\n"
                                 "  signed    +42\r\n"
                                 "  hex       0000002A\r\n"
                                 "  binary    0000 0000 0000 0000 0000 0000 0010 1010\r\n"
                                 "Kind: \r\n");
}

}  // namespace
}  // namespace conlib
