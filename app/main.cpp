#include "program.hpp"

int main() {
    conlib::demo::ProgramMain();
}
