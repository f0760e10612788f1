// make-sample-fw: writes a sample ".QRV" firmware file for the simulated
// controller (model code 2 by default).
//   make-sample-fw PATH [MODEL]
#include <cstdlib>
#include <iostream>
#include <string>

#include "SampleImage.h"

namespace {
constexpr long cMaxModel = 255;
}

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::cerr << "usage: make-sample-fw PATH [MODEL]\n";
    return 2;
  }
  long Model = samplefw::cDefaultModel;
  if (argc == 3) {
    char* End = nullptr;
    Model = std::strtol(argv[2], &End, 0);
    if (*argv[2] == '\0' || *End != '\0' || Model < 0 || Model > cMaxModel) {
      std::cerr << "make-sample-fw: not a model byte: " << argv[2] << "\n";
      return 2;
    }
  }
  if (!samplefw::WriteImage(argv[1], samplefw::MakeImage(static_cast<std::uint8_t>(Model)))) {
    std::cerr << "make-sample-fw: cannot write " << argv[1] << "\n";
    return 1;
  }
  std::cout << argv[1] << "\n";
  return 0;
}
