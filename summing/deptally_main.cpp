// deptally: sums the receptor deposition output of a finished run. It takes
// no arguments and works on the files of the working directory.

#include <exception>
#include <iostream>

#include "summing/receptor_sums.hpp"

int main() {
    try {
        return orv::sum_receptor_output(".", std::cout);
    } catch (const std::exception& e) {
        std::cout << " *ERROR* deptally: " << e.what() << std::endl;
        return 1;
    }
}
