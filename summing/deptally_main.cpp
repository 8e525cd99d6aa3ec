// deptally: sums the receptor deposition output of a finished run. It takes
// no arguments and works on the files of the working directory.

#include <exception>
#include <iostream>

#include "common/text_output.hpp"
#include "summing/receptor_sums.hpp"

int main() {
    orv::TextOut console(std::cout);
    try {
        return orv::sum_receptor_output(".", console);
    } catch (const std::exception& e) {
        console.list("*ERROR* deptally: ", std::string(e.what()));
        console.flush();
        return 1;
    }
}
