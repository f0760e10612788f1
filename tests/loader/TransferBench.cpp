// Times a whole 64 KiB STM32 transfer over a pty against the simulated
// controller and sets it beside the protocol's fixed pauses. Run by hand:
//   build/tests/loader/transfer_bench [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Loader.h"
#include "Pty.h"
#include "RecordingView.h"
#include "Sim.h"
#include "TransferRules.h"

namespace {

constexpr std::int32_t cImageEnd = 0x10000;
constexpr std::int32_t cImageStart = 0x1400;
constexpr std::int32_t cBlockSize = 1024;
constexpr std::int32_t cBaudRate = 115200;
// The pauses a transfer of one MCU cannot avoid, in ms: the dot (200 + 200),
// the settling after the start reply (500) and the closing pause (100). The
// entry wait counts only when it goes unanswered, which it does not here.
constexpr double cFixedPausesMs = 200 + 200 + 500 + 100;

double RunOnce() {
  mcsim::Config Config;
  Config.family = mcsim::Family::STM32;
  Config.blockSize = cBlockSize;
  Config.startAddress = cImageStart;
  Config.flashSize = cImageEnd;
  Config.appBaud = cBaudRate;
  Config.bootBaud = cBaudRate;
  mcsim::Sim Sim(Config);
  Sim.Start();

  TCOMPort Port;
  RecordingView View;
  View.Controls.PCDirectMode = false;
  TLoader Loader(Port, View, [] { return PortMapFromList({}); });
  Port.DeviceName = Sim.DevicePath();
  Port.BaudRate = cBaudRate;
  Loader.MCUCount = 1;
  Loader.Params.FlashSize = cImageEnd;
  Loader.Params.PGMStartAddress = cImageStart;
  Loader.Params.MCUModel = TMCUModel::STM32F051C8T6_1024;
  for (std::size_t I = 0; I < static_cast<std::size_t>(cImageEnd); ++I)
    Loader.DataBuffer[I] =
        static_cast<std::uint8_t>(I * 7 + 1) == 0xFF ? 0x00 : static_cast<std::uint8_t>(I * 7 + 1);

  const auto Begin = std::chrono::steady_clock::now();
  const bool Ok = Loader.WriteBufferedData();
  const double Ms = MsSince(Begin);
  const mcsim::Record R = Sim.GetRecord();
  const bool Same =
      std::equal(Loader.DataBuffer.begin() + cImageStart, Loader.DataBuffer.begin() + cImageEnd,
                 R.mcus.at(0).flash.begin() + cImageStart);
  if (!Ok || !Same) {
    std::fprintf(stderr, "transfer failed (result %d, image %s)\n", Ok, Same ? "same" : "differs");
    std::exit(1);
  }
  return Ms;
}

}  // namespace

int main(int argc, char** argv) {
  const int Runs = argc > 1 ? std::atoi(argv[1]) : 3;
  const std::int32_t Blocks = BlockCount(cImageStart, cImageEnd, cBlockSize);
  std::printf("64 KiB STM32 image, %d blocks of %d bytes from 0x%X, %d baud, plain link\n", Blocks,
              cBlockSize, cImageStart, cBaudRate);
  // A real line carries 10 bits per character (8N1); a pty has no line time.
  const double LineMs = 1000.0 * 10.0 * 2.0 * cBlockSize * Blocks / cBaudRate;
  std::printf("fixed pauses: %.0f ms; frames on a real %d-baud line: %.0f ms\n", cFixedPausesMs,
              cBaudRate, LineMs);
  for (int I = 0; I < Runs; ++I) {
    const double Ms = RunOnce();
    std::printf("run %d: %.0f ms (%.0f ms beyond the fixed pauses, %.1f ms per block)\n", I + 1, Ms,
                Ms - cFixedPausesMs, (Ms - cFixedPausesMs) / Blocks);
  }
  return 0;
}
