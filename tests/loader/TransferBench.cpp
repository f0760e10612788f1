// Times whole transfers through the simulated controller in line-speed mode
// and sets each beside its floor: the protocol's fixed pauses, the line time
// of every character on the tool's path (commands, frames, replies; a bus
// echo travels with its frame) and the simulator's own reply delays. Then
// times a whole two-MCU PIC16 update at 115200 with and without a USB
// adapter's receive timer. Run by hand:
//   build/tests/loader/transfer_bench [--quick]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Loader.h"
#include "RecordingView.h"
#include "SampleImage.h"
#include "Sim.h"
#include "TransferEstimate.h"

namespace {

using TClock = std::chrono::steady_clock;

struct TFamily {
  const char* Name;
  TMCUModel Model;
  mcsim::Family SimFamily;
  std::int32_t BlockSize;
  std::int32_t Blocks;  // blocks sent per run
};

const TFamily cFamilies[] = {
    {"PIC16", TMCUModel::PIC16F886, mcsim::Family::PIC16, 16, 24},
    {"PIC18", TMCUModel::PIC18F25K20, mcsim::Family::PIC18, 64, 8},
    {"STM32", TMCUModel::STM32F051C8T6_1024, mcsim::Family::STM32, 1024, 2},
};

constexpr std::int32_t cStart = 0x1000;

struct TRow {
  const TFamily* Family;
  int Rate;
  bool Bus;
  bool PCDirect;
  bool Usb;
};

// The shortest a transfer of one MCU can take on a real line, the
// simulator's reply delays included: the same floor the info command gives.
double FloorMs(const TRow& Row, const mcsim::Config& Sim) {
  const TFamily& F = *Row.Family;
  const TTransferCase Case{Row.Rate, Row.PCDirect, F.Blocks, 1};
  const TReplyDelays Delays{static_cast<double>(Sim.replyDelay.count()),
                            static_cast<double>(Sim.startReplyDelay.count())};
  return TransferFloorMs(*TransferParamsFor(F.Model), Case, Delays);
}

std::vector<std::uint8_t> Pattern(std::int32_t End) {
  std::vector<std::uint8_t> Data(cDataBufferSize, 0xFF);
  for (std::int32_t I = 0; I < End; ++I) Data[I] = static_cast<std::uint8_t>(I * 7 + 1);
  Data[End - 1] = 0x42;  // never ends erased
  return Data;
}

// One transfer; returns its time in ms, or exits on a failed transfer.
double RunTransfer(const TRow& Row, mcsim::Config& Config) {
  const TFamily& F = *Row.Family;
  const std::int32_t End = cStart + F.Blocks * F.BlockSize;
  Config.mode = mcsim::Mode::Bootloader;
  Config.link = Row.Bus ? mcsim::Link::EchoBus : mcsim::Link::Plain;
  Config.appBaud = Row.Rate;
  Config.bootBaud = Row.Rate;
  Config.family = F.SimFamily;
  Config.blockSize = F.BlockSize;
  Config.startAddress = cStart;
  Config.flashSize = static_cast<std::uint32_t>(End);
  Config.lineSpeed = true;
  Config.usbAdapter = Row.Usb;
  mcsim::Sim Sim(Config);
  Sim.Start();

  TCOMPort Port;
  RecordingView View;
  View.Controls.PCDirectMode = Row.PCDirect;
  TLoader Loader(Port, View, [] { return PortMapFromList({}); });
  Port.DeviceName = Sim.DevicePath();
  Port.BaudRate = Row.Rate;
  Loader.SimpleBusMode = Row.Bus;
  Loader.MCUCount = 1;
  Loader.Params.FlashSize = End;
  Loader.Params.PGMStartAddress = cStart;
  Loader.Params.MCUModel = F.Model;
  Loader.DataBuffer = Pattern(End);

  const auto Begin = TClock::now();
  const bool Ok = Loader.WriteBufferedData();
  const double Ms = std::chrono::duration<double, std::milli>(TClock::now() - Begin).count();
  const mcsim::Record R = Sim.GetRecord();
  if (!Ok || R.Count(mcsim::EventKind::Block) != static_cast<std::size_t>(F.Blocks)) {
    std::fprintf(stderr, "%s transfer failed at %d\n", F.Name, Row.Rate);
    std::exit(1);
  }
  return Ms;
}

void PrintTable(bool Quick) {
  std::printf(
      "| family | baud | link | PC Direct | USB timer | measured ms | floor ms | ratio |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  double Worst = 0;
  for (const TFamily& F : cFamilies) {
    for (const int Rate : {9600, 38400, 115200}) {
      for (const bool Bus : {false, true}) {
        for (const bool PCDirect : {false, true}) {
          // Only STM32 frames are paced; PIC rows would repeat themselves.
          if (PCDirect && F.SimFamily != mcsim::Family::STM32) continue;
          for (const bool Usb : {false, true}) {
            if (Quick && (Usb || Bus)) continue;
            const TRow Row{&F, Rate, Bus, PCDirect, Usb};
            mcsim::Config Config;
            const double Ms = RunTransfer(Row, Config);
            const double Floor = FloorMs(Row, Config);
            if (!Usb && Ms / Floor > Worst) Worst = Ms / Floor;
            std::printf("| %s, %d blocks | %d | %s | %s | %s | %.0f | %.0f | %.3f |\n", F.Name,
                        F.Blocks, Rate, Bus ? "bus" : "plain", PCDirect ? "on" : "off",
                        Usb ? "16 ms" : "none", Ms, Floor, Ms / Floor);
            std::fflush(stdout);
          }
        }
      }
    }
  }
  std::printf("\nworst ratio without the USB timer: %.3f\n", Worst);
}

// A whole update, search included, of a two-MCU PIC16 controller found at
// 115200, with every block of the flash. Its application also takes the entry
// command at 9600, the speed at which PIC bootloaders then run the transfer.
double RunWholeUpdate(bool Usb) {
  namespace fs = std::filesystem;
  constexpr std::uint8_t cTwoMcuPic16 = 0;
  const fs::path File =
      fs::temp_directory_path() / ("quarnel-bench-" + std::to_string(getpid()) + ".QRV");
  samplefw::WriteImage(File.string(), samplefw::MakeImage(cTwoMcuPic16, samplefw::cImageBytes));
  mcsim::Config Config;
  Config.modelCode = cTwoMcuPic16;
  Config.mcuCount = 2;
  Config.appBaud = 115200;
  Config.appAlsoBaud = 9600;
  Config.bootBaud = 9600;
  Config.lineSpeed = true;
  Config.usbAdapter = Usb;
  mcsim::Sim Sim(Config);
  Sim.Start();
  TCOMPort Port;
  RecordingView View;
  View.Controls.AutoSelectCOMPort = false;
  View.Controls.PortText = Sim.DevicePath();
  View.Controls.FileName = File.string();
  TLoader Loader(Port, View, [] { return PortMapFromList({}); });
  const auto Begin = TClock::now();
  Loader.UpdateFirmware();
  const double Ms = std::chrono::duration<double, std::milli>(TClock::now() - Begin).count();
  fs::remove(File);
  if (View.PromptText != "Update Complete. Turn off power.") {
    std::fprintf(stderr, "whole update failed: %s%s\n", View.PromptText.c_str(),
                 View.Errors.empty() ? "" : View.Errors.back().c_str());

    std::exit(1);
  }
  std::printf("| %s | %zu | %.1f |\n", Usb ? "16 ms" : "none",
              Sim.GetRecord().Count(mcsim::EventKind::Block), Ms / 1000);
  std::fflush(stdout);
  return Ms;
}

}  // namespace

int main(int argc, char** argv) {
  const bool Quick = argc > 1 && std::string(argv[1]) == "--quick";
  if (argc > 1 && std::string(argv[1]) == "--update") {
    RunWholeUpdate(false);
    return 0;
  }
  std::printf("Transfers of one MCU in line-speed mode (bootloader found at the rate).\n\n");
  PrintTable(Quick);
  if (Quick) return 0;
  std::printf("\nWhole update of a two-MCU PIC16 controller found at 115200, full flash:\n\n");
  std::printf("| USB timer | blocks | seconds |\n|---|---|---|\n");
  const double Plain = RunWholeUpdate(false);
  const double Usb = RunWholeUpdate(true);
  std::printf("\ncost of the USB timer: %.1f s (%.0f%%)\n", (Usb - Plain) / 1000,
              100 * (Usb - Plain) / Plain);
  return 0;
}
