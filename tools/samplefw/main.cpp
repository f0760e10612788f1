// make-sample-fw: writes a sample ".QRV" firmware file for the simulated
// controller (model byte 2 by default).
//   make-sample-fw [--help] PATH [MODEL]
// Every argument that starts with "-" is an option, never a file name: a
// mistyped option must not leave a 20 KB file behind.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "SampleImage.h"
#include "SampleModels.h"

namespace {

constexpr int cExitUsage = 2;
constexpr int cExitWrite = 1;
constexpr long cMaxByte = 255;

const char* const cUsageLine = "usage: make-sample-fw [--help] PATH [MODEL]\n";

void PrintUsage(std::ostream& Out) {
  Out << cUsageLine << "Writes a sample firmware file to PATH: " << samplefw::cImageBytes
      << " bytes, a short program and erased\n"
         "flash, for the simulated controller (mcsim-run --model CODE) or a controller\n"
         "of the same class. MODEL is the file's model byte, decimal or 0x.. ("
      << static_cast<int>(samplefw::cDefaultModel)
      << " by\n"
         "default). The file has the layout of the PIC16F886 classes, so MODEL is one\n"
         "of these:\n"
      << samplefw::SampleModelsText()
      << "A PATH that starts with \"-\" is taken for an option: write ./-NAME.\n"
         "  -h, --help   show this text\n";
}

int UsageError(const std::string& Message) {
  std::cerr << "make-sample-fw: " << Message << "\n"
            << cUsageLine << "make-sample-fw --help lists the model bytes.\n";
  return cExitUsage;
}

// The model byte MODEL names, or -1 when it is no number of 0..255 or names a
// byte whose class does not have the sample's layout.
long ParseModel(const std::string& Text) {
  char* End = nullptr;
  const long Value = std::strtol(Text.c_str(), &End, 0);
  if (Text.empty() || *End != '\0' || Value < 0 || Value > cMaxByte) return -1;
  return samplefw::FitsSampleLayout(static_cast<std::uint8_t>(Value)) ? Value : -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> Operands;
  for (int I = 1; I < argc; ++I) {
    const std::string Arg = argv[I];
    if (Arg == "-h" || Arg == "--help") {
      PrintUsage(std::cout);
      return 0;
    }
    if (!Arg.empty() && Arg[0] == '-') return UsageError("unknown option: " + Arg);
    Operands.push_back(Arg);
  }
  if (Operands.empty() || Operands.size() > 2) return UsageError("expected PATH [MODEL]");

  long Model = samplefw::cDefaultModel;
  if (Operands.size() == 2) {
    Model = ParseModel(Operands[1]);
    if (Model < 0) return UsageError("not a model byte of this file's layout: " + Operands[1]);
  }
  const std::string& Path = Operands[0];
  if (!samplefw::WriteImage(Path, samplefw::MakeImage(static_cast<std::uint8_t>(Model)))) {
    std::cerr << "make-sample-fw: cannot write " << Path << "\n";
    return cExitWrite;
  }
  std::cout << Path << "\n";
  return 0;
}
