/* The rows of bulk_rows.cpp written with printf, for bench/bulk-output.sh to compare. */
#include <stdio.h>

int main(void) {
    enum { Rows = 20000 };
    for (int n = 0; n < Rows; ++n) {
        printf("row %5d: the quick brown fox jumps over the lazy dog again\n", n);
    }
    return 0;
}
