#include "run/driver.hpp"

int main(int argc, char** argv) { return tarvek::run_tarvek(argc, argv); }
