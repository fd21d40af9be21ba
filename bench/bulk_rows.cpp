// Bulk output: 20,000 rows of 60 characters written one after the other with ConWriteText and
// ConNewLine, as a program that prints a long listing does. The same rows with printf are
// printf_rows.c; bench/bulk-output.sh runs both.
#include <cstdio>

#include "conlib/conlib.hpp"

int main() {
    constexpr int Rows = 20000;
    char row[64];
    for (int n = 0; n < Rows; ++n) {
        std::snprintf(row, sizeof row, "row %5d: the quick brown fox jumps over the lazy dog again",
                      n);
        conlib::ConWriteText(row);
        conlib::ConNewLine();
    }
    return 0;
}
