// An update that fails part way, on a simulated controller behind a line at
// UART speed: the adapter pulled out mid-block must end it at once, saying
// what happened, and after every kind of failure a power cycle and a second
// update must leave the whole image in every MCU's flash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Loader.h"
#include "RecordingView.h"
#include "SampleImage.h"
#include "Sim.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int cBaud = 115200;  // the search's first rate, so it finds the application at once
constexpr int cBootBaud = 9600;
// The longest the update may go on once the plug is pulled (it takes about
// 0.1 s: the port's closing pause). Waiting out a block's reply would be more.
constexpr double cUnplugBoundMs = 1000;
const char* const cUpdateFailed =
    "Firmware update failed. Cycle power to motor controller and try again!";

struct TController {
  const char* Name;
  std::uint8_t ModelCode;
  int McuCount;
  mcsim::Family Family;
  int BlockSize;
  std::uint32_t Start;
  std::uint32_t FlashSize;
  std::size_t ModelByteAt;  // where the file names its model
  int FaultMcu;             // the MCU whose transfer fails
};

// A two-MCU PIC16 (class 1) fails in its second MCU, after the first is done;
// a single-MCU STM32 (class 11, 64-byte blocks) in its only one.
const TController cPic16Pair{"PIC16 x2", 1, 2, mcsim::Family::PIC16, 16, 0x200, 0x4000, 0x2, 2};
const TController cStm32{"STM32", 11, 1, mcsim::Family::STM32, 64, 0xC00, 0x4000, 0xBFC, 1};
constexpr std::size_t cBlocks = 4;

Bytes MakeImage(const TController& C) {
  if (C.Family == mcsim::Family::PIC16) return samplefw::MakeImage(C.ModelCode, cBlocks * 16);
  Bytes Image(C.FlashSize, 0xFF);
  for (std::size_t I = 0; I < cBlocks * C.BlockSize; ++I)
    Image[C.Start + I] = static_cast<std::uint8_t>(I * 7 + 3);
  Image[C.ModelByteAt] = C.ModelCode;
  return Image;
}

mcsim::Config SimConfig(const TController& C, const std::string& LinkPath) {
  mcsim::Config Config;
  Config.mode = mcsim::Mode::Application;
  // Both models enter their bootloader at 9600 and stay at that speed.
  Config.appBaud = cBaud;
  Config.appAlsoBaud = cBootBaud;
  Config.bootBaud = cBootBaud;
  Config.modelCode = C.ModelCode;
  Config.mcuCount = C.McuCount;
  Config.family = C.Family;
  Config.blockSize = C.BlockSize;
  Config.startAddress = C.Start;
  Config.flashSize = C.FlashSize;
  Config.lineSpeed = true;
  Config.linkPath = LinkPath;
  return Config;
}

mcsim::Fault FaultAt(mcsim::FaultKind Kind, int Mcu) {
  mcsim::Fault F;
  F.kind = Kind;
  F.mcu = Mcu;
  F.block = 1;
  return F;
}

// Where each case keeps its files; removed with it.
class TCaseDir {
 public:
  explicit TCaseDir(const std::string& Name)
      : Path(fs::temp_directory_path() /
             ("quarnel-unplug-" + std::to_string(getpid()) + "-" + Name)) {
    fs::create_directories(Path);
  }
  ~TCaseDir() {
    std::error_code Error;
    fs::remove_all(Path, Error);
  }
  const fs::path Path;
};

RecordingView ViewAt(const fs::path& Link, const fs::path& File) {
  RecordingView View;
  View.Controls.AutoSelectCOMPort = false;
  View.Controls.PortText = Link.string();
  View.Controls.FileName = File.string();
  View.Controls.PCDirectMode = false;
  return View;
}

TPortMap NoPorts() {
  return TPortMap([](int) { return std::string(); });
}

TEST(Unplug, AnAdapterPulledOutMidBlockEndsTheUpdateAtOnceAndSaysWhatToDo) {
  const TCaseDir Dir("block");
  const fs::path Link = Dir.Path / "ttyUSB-sim";
  const fs::path File = Dir.Path / "fw.QRV";
  ASSERT_TRUE(samplefw::WriteImage(File.string(), MakeImage(cStm32)));
  mcsim::Config Config = SimConfig(cStm32, Link.string());
  Config.faults = {FaultAt(mcsim::FaultKind::Unplug, 1)};
  mcsim::Sim Sim(Config);
  Sim.Start();
  TCOMPort Port;
  RecordingView View = ViewAt(Link, File);
  TLoader Loader{Port, View, NoPorts};

  Loader.UpdateFirmware();
  const auto Ended = mcsim::Clock::now();

  const auto Gone = Sim.GetRecord().EventsOf(mcsim::EventKind::Disconnect);
  ASSERT_EQ(Gone.size(), 1u);
  const double Ms = std::chrono::duration<double, std::milli>(Ended - Gone.front().at).count();
  std::printf("unplug to end of update: %.0f ms\n", Ms);
  EXPECT_LT(Ms, cUnplugBoundMs);
  EXPECT_FALSE(fs::exists(fs::symlink_status(Link)));

  EXPECT_EQ(Loader.LastOutcome.Outcome, TOutcome::TransferFailed);
  ASSERT_EQ(View.Errors, std::vector<std::string>{cUpdateFailed});
  const std::string& Details = View.ErrorDetails.at(0);
  EXPECT_NE(Details.find("adapter disappeared"), std::string::npos) << Details;
  EXPECT_NE(Details.find("Plug the adapter in again"), std::string::npos) << Details;
  EXPECT_EQ(Loader.LastOutcome.Details, Details);
}

// Pulled out while the search asks it: the search stops on that port and
// says it is not present, rather than that nothing answered.
TEST(Unplug, AnAdapterPulledOutDuringTheSearchIsReportedAsNotPresent) {
  const TCaseDir Dir("search");
  const fs::path Link = Dir.Path / "ttyUSB-sim";
  mcsim::Config Config = SimConfig(cStm32, Link.string());
  Config.appBaud = cBootBaud;  // the search's last rate: the first ones go unanswered
  mcsim::Sim Sim(Config);
  Sim.Start();
  TCOMPort Port;
  RecordingView View = ViewAt(Link, Dir.Path / "unused.QRV");
  View.OnProcessMessages = [&] {
    if (!Sim.GetRecord().rx.empty()) Sim.Unplug();
  };
  TLoader Loader{Port, View, NoPorts};

  const auto Start = mcsim::Clock::now();
  Loader.QueryVersion();
  const double Ms = std::chrono::duration<double, std::milli>(mcsim::Clock::now() - Start).count();

  EXPECT_EQ(Loader.LastOutcome.Outcome, TOutcome::NoController);
  ASSERT_EQ(Loader.LastOutcome.Search.Ports.size(), 1u);
  const TPortTried& Tried = Loader.LastOutcome.Search.Ports[0];
  EXPECT_EQ(Tried.Outcome, TPortOutcome::NotOpened);
  EXPECT_EQ(Tried.Report.Access, TPortAccess::Absent);
  EXPECT_NE(View.ErrorDetails.at(0).find("Not present"), std::string::npos)
      << View.ErrorDetails.at(0);
  EXPECT_LT(Ms, 2000) << "the remaining rates must not be waited out";
}

// What one failure and its recovery came to; filled on a thread of its own.
struct TRecovery {
  std::string Name;
  TOutcome Failed = TOutcome::Error;
  mcsim::Mode ModeAtPowerOn = mcsim::Mode::Application;
  TOutcome Retried = TOutcome::Error;
  bool FoundInBootloader = false;
  std::vector<std::string> RetryErrors;
  std::vector<bool> FlashWhole;  // per MCU
  std::size_t Finishes = 0;
};

// A failing update, the power cycled, the same update again: all of it with
// its own simulator, port, window and files, so the cases can run side by
// side (they spend their time waiting on the line).
TRecovery FailAndRecover(const TController& C, mcsim::FaultKind Kind, const std::string& CaseName) {
  TRecovery Out;
  Out.Name = std::string(C.Name) + ", fault " + std::to_string(static_cast<int>(Kind));
  const TCaseDir Dir(CaseName);
  const fs::path File = Dir.Path / "fw.QRV";
  const fs::path Link = Dir.Path / "ttyUSB-sim";
  const Bytes Image = MakeImage(C);
  if (!samplefw::WriteImage(File.string(), Image)) return Out;
  const mcsim::Config Config = SimConfig(C, Link.string());
  mcsim::Config Failing = Config;
  Failing.faults = {FaultAt(Kind, C.FaultMcu)};
  mcsim::Sim Sim(Failing);
  Sim.Start();
  TCOMPort Port;
  RecordingView View = ViewAt(Link, File);
  TLoader Loader{Port, View, NoPorts};

  Loader.UpdateFirmware();
  Out.Failed = Loader.LastOutcome.Outcome;
  Sim.ClearRecord();  // the flash as erased: all of it must come from the retry
  Sim.PowerCycle(Config);
  Out.ModeAtPowerOn = Sim.CurrentMode();
  View.Errors.clear();
  Loader.UpdateFirmware();
  Out.Retried = Loader.LastOutcome.Outcome;
  Out.FoundInBootloader = Loader.LastOutcome.InBootloader;
  Out.RetryErrors = View.Errors;
  const mcsim::Record R = Sim.GetRecord();
  const std::size_t End = C.Start + cBlocks * C.BlockSize;
  for (const mcsim::McuImage& Mcu : R.mcus)
    Out.FlashWhole.push_back(
        std::equal(Image.begin() + C.Start, Image.begin() + End, Mcu.flash.begin() + C.Start));
  Out.Finishes = R.Count(mcsim::EventKind::Finish);
  return Out;
}

// Every way a transfer fails, then the power switched off and on and the same
// update again: the bootloader of the MCU that lost its firmware answers the
// search and takes the whole image.
TEST(Unplug, APowerCycleAndASecondUpdateRecoverFromEveryFailure) {
  const mcsim::FaultKind cFailures[] = {
      mcsim::FaultKind::WrongChecksum, mcsim::FaultKind::NoReply, mcsim::FaultKind::NulNever,
      mcsim::FaultKind::BadEnd,        mcsim::FaultKind::Garbage, mcsim::FaultKind::Disconnect,
      mcsim::FaultKind::Silence,       mcsim::FaultKind::Unplug,
  };
  std::vector<std::future<TRecovery>> Runs;
  for (const TController* C : {&cPic16Pair, &cStm32}) {
    for (const mcsim::FaultKind Kind : cFailures) {
      Runs.push_back(std::async(std::launch::async, FailAndRecover, std::cref(*C), Kind,
                                std::to_string(Runs.size())));
    }
  }
  std::size_t At = 0;
  for (const TController* C : {&cPic16Pair, &cStm32}) {
    for (std::size_t K = 0; K < std::size(cFailures); ++K) {
      const TRecovery R = Runs[At++].get();
      SCOPED_TRACE(R.Name);
      EXPECT_EQ(R.Failed, TOutcome::TransferFailed);
      EXPECT_EQ(R.ModeAtPowerOn, mcsim::Mode::Bootloader);
      EXPECT_EQ(R.Retried, TOutcome::Done);
      EXPECT_TRUE(R.FoundInBootloader);
      EXPECT_TRUE(R.RetryErrors.empty());
      EXPECT_EQ(R.FlashWhole, std::vector<bool>(static_cast<std::size_t>(C->McuCount), true));
      EXPECT_EQ(R.Finishes, static_cast<std::size_t>(C->McuCount));
    }
  }
}

}  // namespace
