#include "run/driver.hpp"

int main(int argc, char** argv) {
  tarvek::Channels channels = tarvek::standard_channels("tarvek");
  return tarvek::run_tarvek(argc, argv, channels);
}
