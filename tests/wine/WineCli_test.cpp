// quarnel-cli.exe under Wine against the simulated controller, which runs
// here on a pty that the prefix serves as a COM port: exit status, output
// and what the controller received.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Console.h"
#include "FlashCheck.h"
#include "Line.h"
#include "SampleImage.h"
#include "Sim.h"
#include "SimOnCom.h"
#include "WineRun.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The exit statuses quarnel-cli documents (the stops' are in Console.h).
constexpr int cExitDone = 0;
constexpr int cExitTransferFailed = 1;
constexpr int cExitNoController = 3;

constexpr int cComNumber = 12;                 // above 9: reached only as "\\.\COM12"
constexpr std::uint8_t cModel = 2;             // single-MCU PIC16 class
constexpr std::size_t cProgramBytes = 0x100;   // 16 blocks
constexpr int cNeverSearchedBaud = 1200;       // the search never speaks at this rate
constexpr auto cLimit = 120s;                  // generous: a run takes a few seconds
constexpr std::size_t cFewBlocksBytes = 0x20;  // 2 blocks
// 160 blocks: their line time at 9600 (about 5.6 s) outweighs the protocol's
// fixed pauses, which a write that ignores the line finishes within.
constexpr std::size_t cManyBlocksBytes = 0xA00;
constexpr mcsim::Ms cLateStartReply{2000};  // a bootloader still erasing
constexpr mcsim::Ms cBlockPause{500};       // the tool's pause after the start reply

bool Contains(const std::string& Text, const std::string& Part) {
  return Text.find(Part) != std::string::npos;
}

// The last line of Text.
std::string LastLine(std::string Text) {
  while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r')) Text.pop_back();
  return Text.substr(Text.find_last_of('\n') + 1);
}

template <class TDuration>
double MsOf(TDuration D) {
  return std::chrono::duration<double, std::milli>(D).count();
}

class WineCliTest : public TSimOnCom {
 protected:
  WineCliTest() : TSimOnCom(cComNumber, cModel, "cli") {}

  TWineResult Cli(const std::vector<std::string>& Args) {
    TWineResult R = RunUnderWine(WindowsProgram("cli/quarnel-cli.exe"), Args, cLimit);
    EXPECT_FALSE(R.TimedOut);
    return R;
  }
  std::string Port() const { return ComLink->Name(); }
};

TEST_F(WineCliTest, VersionOfARunningControllerOrOneInItsBootloader) {
  // Lines on the plain link, JSON on the bus; the port as a name and as a number.
  struct {
    mcsim::Mode Mode;
    mcsim::Link Link;
    bool Json;
    const char* Expected;
    mcsim::EventKind Answered;
  } const cCases[] = {
      {mcsim::Mode::Application, mcsim::Link::Plain, false,
       "Result: done on COM12 (\\\\.\\COM12), version 3.28.02\n", mcsim::EventKind::VersionQuery},
      {mcsim::Mode::Bootloader, mcsim::Link::EchoBus, true,
       "\"outcome\":\"done\",\"status\":0,\"port\":\"COM12\",\"device\":\"\\\\\\\\.\\\\COM12\","
       "\"version\":null,\"bootloader\":true",
       mcsim::EventKind::Identify},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(Case.Json ? "bootloader, bus, JSON" : "application, plain, lines");
    mcsim::Config Config = ModelConfig();
    Config.mode = Case.Mode;
    Config.link = Case.Link;
    StartSim(Config);
    const TWineResult R =
        Case.Json ? Cli({"version", "--port", "12", "--json"}) : Cli({"version", "--port", Port()});
    EXPECT_EQ(R.ExitStatus, cExitDone) << R.Err;
    EXPECT_EQ(R.Err, "");
    EXPECT_TRUE(Contains(Case.Json ? LastLine(R.Out) : R.Out, Case.Expected)) << R.Out;
    const mcsim::Record Record = Sim->GetRecord();
    EXPECT_GE(Record.Count(Case.Answered), 1u);
    EXPECT_EQ(Record.Count(mcsim::EventKind::Entry), 0u);
    EXPECT_EQ(Record.Count(mcsim::EventKind::ProtocolError), 0u);
  }
}

TEST_F(WineCliTest, UpdateWritesTheFileOnAPlainLinkAndOnAnEchoingBus) {
  for (const mcsim::Link Link : {mcsim::Link::Plain, mcsim::Link::EchoBus}) {
    SCOPED_TRACE(Link == mcsim::Link::Plain ? "plain" : "bus");
    mcsim::Config Config = ModelConfig();
    Config.link = Link;
    StartSim(Config);
    const auto Image = samplefw::MakeImage(cModel, cProgramBytes);
    const TWineResult R = Cli({"update", WriteFirmware(Image), "--port", Port(), "--json"});
    EXPECT_EQ(R.ExitStatus, cExitDone) << R.Err;
    EXPECT_EQ(R.Err, "");
    EXPECT_TRUE(Contains(R.Out, "{\"event\":\"status\",\"text\":\"100% of MCU 1\"}"));
    EXPECT_TRUE(Contains(LastLine(R.Out), "\"outcome\":\"done\",\"status\":0,\"port\":\"COM12\""));

    const mcsim::Record Record = Sim->GetRecord();
    EXPECT_TRUE(ImageReceived(Record, Image, cProgramBytes));
    EXPECT_EQ(Record.Count(mcsim::EventKind::ProtocolError), 0u);
  }
}

TEST_F(WineCliTest, TransferFaultExitsOneAndAbortsTheController) {
  mcsim::Config Config = ModelConfig();
  mcsim::Fault Fault;
  Fault.kind = mcsim::FaultKind::WrongChecksum;
  Fault.block = 1;
  Config.faults.push_back(Fault);
  StartSim(Config);
  const auto Image = samplefw::MakeImage(cModel, cProgramBytes);
  const TWineResult R = Cli({"update", WriteFirmware(Image), "--port", Port(), "--json"});
  EXPECT_EQ(R.ExitStatus, cExitTransferFailed);
  EXPECT_EQ(R.Err, "Firmware update failed. Cycle power to motor controller and try again!\n");
  EXPECT_TRUE(Contains(R.Out, "{\"event\":\"status\",\"text\":\"Checksum error.\"}"));
  EXPECT_TRUE(Contains(LastLine(R.Out), "\"outcome\":\"transfer-failed\""));
  const mcsim::Record Record = Sim->GetRecord();
  EXPECT_EQ(Record.Count(mcsim::EventKind::Abort), 1u);
  EXPECT_EQ(Record.Count(mcsim::EventKind::Finish), 0u);
}

// Ctrl-C reaches the program as the console's control event (Wine makes one
// of SIGINT). Before writing one stops at once; while writing the first lets
// the update finish, a second stops at once, and a power cycle and a new
// update recover the controller.
TEST_F(WineCliTest, CtrlCBeforeAndDuringWriting) {
  struct TCase {
    bool Writing;
    std::size_t Presses;
    int Status;
    std::string Err;
  };
  const std::string Ctrl = std::string(cStopPrefix) + "Ctrl-C";
  const TCase Cases[] = {
      {false, 1, cExitInterrupt, Ctrl + cNothingWrittenText},
      {true, 1, cExitDone, Ctrl + cRunsToEndText},
      {true, 2, cExitInterrupt, Ctrl + cRunsToEndText + Ctrl + cStoppedMidUpdateText},
  };
  const auto Image = samplefw::MakeImage(cModel, cManyBlocksBytes);
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(std::to_string(Case.Presses) + (Case.Writing ? " while writing" : " searching"));
    mcsim::Config Config = ModelConfig();
    if (!Case.Writing) Config.appBaud = cNeverSearchedBaud;
    StartSim(Config);
    const std::string File = WriteFirmware(Image);
    std::size_t Pressed = 0;
    const TWineResult R = RunUnderWine(
        WindowsProgram("cli/quarnel-cli.exe"), {"update", File, "--port", Port()}, cLimit, {},
        [&](pid_t Pid) {
          const mcsim::Record Record = Sim->GetRecord();
          const bool Due = Case.Writing ? Record.Count(mcsim::EventKind::Block) >= 1 + Pressed * 4
                                        : !Record.rx.empty();
          if (Due && Pressed < Case.Presses) {
            ::kill(Pid, SIGINT);
            ++Pressed;
          }
        });
    ASSERT_EQ(Pressed, Case.Presses);
    EXPECT_EQ(R.ExitStatus, Case.Status) << R.Err;
    EXPECT_TRUE(Contains(R.Err, Case.Err)) << R.Err;
    if (Case.Status == cExitDone) {
      EXPECT_TRUE(ImageReceived(Sim->GetRecord(), Image, cManyBlocksBytes));
    } else if (Case.Writing) {
      Sim->PowerCycle(Config);
      EXPECT_EQ(Cli({"update", File, "--port", Port()}).ExitStatus, cExitDone);
      EXPECT_TRUE(ImageReceived(Sim->GetRecord(), Image, cManyBlocksBytes));
    } else {
      EXPECT_EQ(Sim->GetRecord().Count(mcsim::EventKind::Entry), 0u);
    }
  }
}

// A search of every COM number finds the port but nothing that answers: the
// controller hears the probes at each of the search's rates, at none of which
// it listens.
TEST_F(WineCliTest, NoControllerAnswersTheSearch) {
  mcsim::Config Config = ModelConfig();
  Config.appBaud = cNeverSearchedBaud;
  StartSim(Config);
  const TWineResult R = Cli({"version"});
  EXPECT_EQ(R.ExitStatus, cExitNoController);
  // The message, then what was tried: the simulator's port heard nothing back.
  EXPECT_EQ(R.Err.substr(0, R.Err.find('\n') + 1), "Can not connect to a motor controller.\n");
  EXPECT_TRUE(Contains(R.Err,
                       "COM12: \\\\.\\COM12\n"
                       "  Opened, but nothing answered at 115200, 38400 or 9600 baud.\n"))
      << R.Err;
  EXPECT_EQ(LastLine(R.Out), "Result: no controller found");
  const mcsim::Record Record = Sim->GetRecord();
  for (const int Rate : {115200, 38400, 9600}) {
    SCOPED_TRACE(Rate);
    EXPECT_TRUE(std::any_of(Record.rx.begin(), Record.rx.end(),
                            [&](const mcsim::RxByte& B) { return B.baud == Rate; }));
  }
  EXPECT_TRUE(Record.tx.empty());
}

// A file behind the port's name is no serial port: the search says so and
// writes none of its probes into it.
TEST_F(WineCliTest, AFileGivenAsThePortIsNotOpened) {
  const fs::path File = Dir / "not-a-port";
  { std::ofstream Create(File); }
  const TComLink ToFile(cComNumber, File.string());
  const TWineResult R = Cli({"version", "--port", ToFile.Name()});
  EXPECT_EQ(R.ExitStatus, cExitNoController);
  EXPECT_TRUE(Contains(R.Err, "COM12: \\\\.\\COM12\n  Could not be opened: not a serial device.\n"))
      << R.Err;
  EXPECT_EQ(fs::file_size(File), 0u);
}

// The port's faults that only time shows, on an echoing bus: (a) in
// line-speed mode, the echo of the bus probe, still queued at the reopen,
// passed for the bootloader's late start reply, so block 0 went out 500 ms
// after the start command instead of 500 ms after the reply; (b) on a bare
// pty, which takes bytes at once, writes returned before their line time, so
// an update of many blocks took less than its characters need on the line.
TEST_F(WineCliTest, UpdateOnABusTakesTheLinesTime) {
  struct {
    const char* Name;
    bool LineSpeed;
    mcsim::Ms StartReplyDelay;
    std::size_t ProgramBytes;
  } const cCases[] = {
      {"late start reply", true, cLateStartReply, cFewBlocksBytes},
      {"line time", false, mcsim::Ms{0}, cManyBlocksBytes},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(Case.Name);
    mcsim::Config Config = ModelConfig();
    Config.link = mcsim::Link::EchoBus;
    Config.lineSpeed = Case.LineSpeed;
    Config.startReplyDelay = Case.StartReplyDelay;
    StartSim(Config);
    const auto Image = samplefw::MakeImage(cModel, Case.ProgramBytes);
    const TWineResult R = Cli({"update", WriteFirmware(Image), "--port", Port()});
    const auto Ended = mcsim::Clock::now();
    EXPECT_EQ(R.ExitStatus, cExitDone) << R.Err;

    const mcsim::Record Record = Sim->GetRecord();
    EXPECT_TRUE(ImageReceived(Record, Image, Case.ProgramBytes));
    const auto Starts = Record.EventsOf(mcsim::EventKind::Start);
    const auto Blocks = Record.EventsOf(mcsim::EventKind::Block);
    ASSERT_EQ(Starts.size(), 1u);
    ASSERT_FALSE(Blocks.empty());
    EXPECT_GE(MsOf(Blocks.front().at - Starts.front().at),
              MsOf(Case.StartReplyDelay + cBlockPause));

    // From the first byte on the line to the tool's end, at least the line
    // time of every character the tool sent.
    mcsim::Clock::duration LineTime{0};
    for (const mcsim::RxByte& B : Record.rx) LineTime += mcsim::CharTime(B.baud);
    ASSERT_FALSE(Record.rx.empty());
    EXPECT_GE(MsOf(Ended - Record.rx.front().at), MsOf(LineTime));
  }
}

}  // namespace
