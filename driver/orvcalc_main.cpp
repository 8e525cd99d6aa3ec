#include "driver/orvcalc.hpp"

int main(int argc, char** argv) { return orv::run_orvcalc(argc, argv); }
