// The built quarnel-cli as a child process against the simulated controller:
// exit status, output and what the controller received.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Child.h"
#include "CliRun.h"
#include "Console.h"
#include "FlashCheck.h"
#include "SampleImage.h"
#include "Sha256.h"
#include "Sim.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t cProgramBytes = 0x20;  // two PIC16 blocks
constexpr std::uint8_t cModel = 2;           // single-MCU PIC16 class
constexpr std::uint8_t cUnsupported = 0x7F;  // no rule and no table row name it
constexpr auto cLimit = 60s;                 // generous: a run takes a few seconds
const char* const cNoSuchPort = "/dev/quarnel-no-such-port";

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> Out;
  std::istringstream In(Text);
  for (std::string Line; std::getline(In, Line);) Out.push_back(Line);
  return Out;
}

bool Contains(const std::string& Text, const std::string& Part) {
  return Text.find(Part) != std::string::npos;
}

std::string Replace(std::string Text, const std::string& From, const std::string& To) {
  for (auto At = Text.find(From); At != std::string::npos; At = Text.find(From, At + To.size()))
    Text.replace(At, From.size(), To);
  return Text;
}

class CliProcessTest : public testing::Test {
 protected:
  CliProcessTest() { fs::create_directories(Dir); }
  ~CliProcessTest() override {
    Sim.reset();
    std::error_code Error;
    fs::remove_all(Dir, Error);
  }

  static mcsim::Config ModelConfig(std::uint8_t Model = cModel) {
    mcsim::Config Config;
    Config.modelCode = Model;
    return Config;
  }
  void StartSim(const mcsim::Config& Config) {
    Sim.reset();
    Sim = std::make_unique<mcsim::Sim>(Config);
    Sim->Start();
  }
  std::string WriteFirmware(const std::vector<std::uint8_t>& Image) {
    const fs::path File = Dir / "fw.QRV";
    EXPECT_TRUE(samplefw::WriteImage(File.string(), Image));
    return File.string();
  }
  // quarnel-cli with Args, then --port at the simulator and --json.
  TChildResult Cli(std::vector<std::string> Args, const TWhileRunning& WhileRunning = {}) {
    Args.insert(Args.end(), {"--port", Sim ? Sim->DevicePath() : cNoSuchPort, "--json"});
    TChildResult R = RunChild(QUARNEL_CLI_PATH, Args, cLimit, WhileRunning);
    EXPECT_FALSE(R.TimedOut);
    return R;
  }
  // The last JSON line, which must be the result.
  static std::string Result(const TChildResult& R) {
    const auto All = Lines(R.Out);
    if (All.empty()) return {};
    EXPECT_TRUE(Contains(All.back(), "{\"event\":\"result\"")) << All.back();
    return All.back();
  }
  void ExpectImageReceived(const std::vector<std::uint8_t>& Image,
                           std::size_t ProgramBytes = cProgramBytes) const {
    EXPECT_TRUE(ImageReceived(Sim->GetRecord(), Image, ProgramBytes));
  }
  std::size_t BlocksReceived() const { return Sim->GetRecord().Count(mcsim::EventKind::Block); }

  fs::path Dir = fs::temp_directory_path() / ("quarnel-cli-" + std::to_string(getpid()));
  std::unique_ptr<mcsim::Sim> Sim;
};

TEST_F(CliProcessTest, UpdateWritesTheFileOnAPlainLinkAndOnAnEchoingBus) {
  for (const mcsim::Link Link : {mcsim::Link::Plain, mcsim::Link::EchoBus}) {
    SCOPED_TRACE(Link == mcsim::Link::Plain ? "plain" : "bus");
    mcsim::Config Config = ModelConfig();
    Config.link = Link;
    StartSim(Config);
    const auto Image = samplefw::MakeImage(cModel, cProgramBytes);
    const TChildResult R = Cli({"update", WriteFirmware(Image)});
    EXPECT_EQ(R.ExitStatus, cExitDone) << R.Err;
    EXPECT_EQ(R.Err, "");
    EXPECT_TRUE(Contains(R.Out, "{\"event\":\"status\",\"text\":\"100% of MCU 1\"}\n"));
    EXPECT_EQ(Result(R),
              "{\"event\":\"result\",\"command\":\"update\",\"outcome\":\"done\","
              "\"status\":0,\"port\":\"" +
                  Sim->DevicePath() + "\",\"device\":\"" + Sim->DevicePath() +
                  "\",\"interrupted\":false}");
    ExpectImageReceived(Image);
  }
}

TEST_F(CliProcessTest, VersionOfARunningControllerOrOneInItsBootloader) {
  struct {
    mcsim::Mode Mode;
    mcsim::Link Link;
    const char* Status;
    const char* Version;
    const char* Bootloader;
  } const cCases[] = {
      {mcsim::Mode::Application, mcsim::Link::Plain, "3.28.02", "\"3.28.02\"", "false"},
      {mcsim::Mode::Bootloader, mcsim::Link::EchoBus,
       "Version information is not available, but MC is ready for updating.", "null", "true"},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(Case.Status);
    mcsim::Config Config = ModelConfig();
    Config.mode = Case.Mode;
    Config.link = Case.Link;
    StartSim(Config);
    const TChildResult R = Cli({"version"});
    EXPECT_EQ(R.ExitStatus, cExitDone) << R.Err;
    EXPECT_TRUE(Contains(R.Out, std::string("{\"event\":\"status\",\"text\":\"") + Case.Status));
    const std::string Last = Result(R);
    EXPECT_TRUE(Contains(Last, std::string("\"version\":") + Case.Version)) << Last;
    EXPECT_TRUE(Contains(Last, std::string("\"bootloader\":") + Case.Bootloader)) << Last;
    EXPECT_EQ(Sim->GetRecord().Count(mcsim::EventKind::Entry), 0u);
  }
}

// Every way an update stops before writing: its status, its message on
// stderr word for word, and nothing written into the controller.
TEST_F(CliProcessTest, RefusalsExitWithTheirStatusAndWriteNothing) {
  struct {
    const char* Name;
    bool Simulator;
    std::uint8_t ControllerModel;
    std::optional<std::string> VersionReply;
    std::uint8_t FileModel;
    std::size_t FileSize;  // 0: no file at all
    int Status;
    const char* Outcome;
    const char* Message;
  } const cCases[] = {
      {"no controller",
       false,
       cModel,
       {},
       cModel,
       samplefw::cImageBytes,
       cExitNoController,
       "no-controller",
       "Can not connect to a motor controller.\n"
       "/dev/quarnel-no-such-port\n"
       "  Not present: the system has no such device.\n"
       "Check that the adapter is plugged in and that the name is right."},
      {"no file",
       true,
       cModel,
       {},
       cModel,
       0,
       cExitFileRefused,
       "file-not-opened",
       "File open error."},
      {"file too short",
       true,
       cModel,
       {},
       cModel,
       samplefw::cImageBytes - 1,
       cExitFileRefused,
       "file-wrong-size",
       "Not a valid motor controller firmware file."},
      {"file of another model",
       true,
       cModel,
       {},
       cModel + 1,
       samplefw::cImageBytes,
       cExitFileRefused,
       "file-wrong-model",
       "The firmware file is not for this motor controller."},
      {"unsupported controller",
       true,
       cUnsupported,
       {},
       cModel,
       samplefw::cImageBytes,
       cExitControllerRefused,
       "not-supported",
       "The motor controller is not supported by this version of firmware loader."},
      {"not upgradeable", true, cModel, "=011C02\r", cModel, samplefw::cImageBytes,
       cExitControllerRefused, "not-upgradeable", "This motor controller is not user-upgradeable."},
      {"reply that is no number", true, cModel, "=011C0G\r", cModel, samplefw::cImageBytes,
       cExitUnexpected, "error", "'$0G' is not a valid integer value."},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(Case.Name);
    Sim.reset();
    if (Case.Simulator) {
      mcsim::Config Config = ModelConfig(Case.ControllerModel);
      Config.versionReply = Case.VersionReply;
      StartSim(Config);
    }
    std::string File = (Dir / "missing.QRV").string();
    if (Case.FileSize > 0) {
      auto Image = samplefw::MakeImage(Case.FileModel, cProgramBytes);
      Image.resize(Case.FileSize, samplefw::cErased);
      File = WriteFirmware(Image);
    }
    const TChildResult R = Cli({"update", File});
    EXPECT_EQ(R.ExitStatus, Case.Status);
    EXPECT_EQ(R.Err, std::string(Case.Message) + "\n");
    EXPECT_TRUE(Contains(Result(R), std::string("\"outcome\":\"") + Case.Outcome + "\""));
    if (Sim) {
      const mcsim::Record Record = Sim->GetRecord();
      EXPECT_EQ(Record.Count(mcsim::EventKind::Entry), 0u);
      if (Case.FileSize == 0) {
        EXPECT_TRUE(Record.rx.empty());  // not even a search
      }
    }
    fs::remove(File);
  }
}

// No controller: after the window's words, why, on stderr and in the result.
TEST_F(CliProcessTest, NoControllerSaysWhyOnStderrAndInTheResult) {
  const std::string Why =
      "/dev/quarnel-no-such-port\n"
      "  Not present: the system has no such device.\n"
      "Check that the adapter is plugged in and that the name is right.";
  const TChildResult Plain = RunChild(QUARNEL_CLI_PATH, {"version", "--port", cNoSuchPort}, cLimit);
  EXPECT_EQ(Plain.ExitStatus, cExitNoController);
  EXPECT_EQ(Plain.Err, "Can not connect to a motor controller.\n" + Why + "\n");
  const std::string Last = Result(Cli({"version"}));
  const std::string Json = "\"details\":\"" + Replace(Why, "\n", "\\u000a") +
                           "\",\"tried\":[{\"port\":\"" + cNoSuchPort + "\",\"device\":\"" +
                           cNoSuchPort + "\",\"info\":\"\",\"result\":\"absent\"}]";
  EXPECT_TRUE(Contains(Last, Json)) << Last;
}

TEST_F(CliProcessTest, TransferFailureExitsOneAfterTheMessage) {
  mcsim::Config Config = ModelConfig();
  mcsim::Fault Fault;
  Fault.kind = mcsim::FaultKind::WrongChecksum;
  Fault.block = 1;
  Config.faults.push_back(Fault);
  StartSim(Config);
  const TChildResult R = Cli({"update", WriteFirmware(samplefw::MakeImage(cModel, cProgramBytes))});
  EXPECT_EQ(R.ExitStatus, cExitTransferFailed);
  EXPECT_EQ(R.Err, "Firmware update failed. Cycle power to motor controller and try again!\n");
  EXPECT_TRUE(Contains(R.Out, "{\"event\":\"status\",\"text\":\"Checksum error.\"}"));
  EXPECT_TRUE(Contains(Result(R), "\"outcome\":\"transfer-failed\""));
  EXPECT_EQ(Sim->GetRecord().Count(mcsim::EventKind::Abort), 1u);
}

TEST_F(CliProcessTest, BadCommandLinesExitTwoWithAMessageAndTouchNoPort) {
  StartSim(ModelConfig());
  const std::string Port = Sim->DevicePath();
  const std::pair<std::vector<std::string>, const char*> cCases[] = {
      {{"update", "fw.QRV", "--port", Port, "--force"}, "unknown option '--force'"},
      {{"update", "--port", Port}, "'update' needs a FILE"},
      {{"version", "--port"}, "--port needs a value"},
      {{"version", "--port", "--json"}, "--port needs a value"},
      {{"update", "fw.QRV", "--port", Port, "--pc-direct", "--no-pc-direct"},
       "--pc-direct and --no-pc-direct exclude each other"},
      {{"flash", "--port", Port}, "unknown command 'flash'"},
      {{}, "no command given"},
  };
  for (const auto& [Args, Why] : cCases) {
    SCOPED_TRACE(Why);
    const TChildResult R = RunChild(QUARNEL_CLI_PATH, Args, cLimit);
    EXPECT_EQ(R.ExitStatus, cExitUsage);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err, std::string("quarnel-cli: ") + Why + "\nTry 'quarnel-cli --help'.\n");
  }
  EXPECT_TRUE(Sim->GetRecord().rx.empty());
}

// "info" through main: it reads the file alone and never takes a port.
TEST_F(CliProcessTest, InfoDescribesTheFileAndTakesNoPort) {
  const std::string File = WriteFirmware(samplefw::MakeImage(cModel, cProgramBytes));
  const TChildResult R = RunChild(QUARNEL_CLI_PATH, {"info", File}, cLimit);
  EXPECT_EQ(R.ExitStatus, cExitDone) << R.Err;
  EXPECT_EQ(R.Err, "");
  const auto Out = Lines(R.Out);
  ASSERT_GE(Out.size(), 3u) << R.Out;
  EXPECT_EQ(Out[0], File + ": 20480 bytes");
  EXPECT_EQ(Out[1], "Class 2 (model codes 2, 3, 26): 1 x PIC16F886");
  EXPECT_EQ(Out[2], "  blocks per MCU: 2 of 16 bytes, 0x200 to 0x220");
  const TChildResult WithPort = RunChild(QUARNEL_CLI_PATH, {"info", File, "--port", "1"}, cLimit);
  EXPECT_EQ(WithPort.ExitStatus, cExitUsage);
  EXPECT_EQ(WithPort.Err,
            "quarnel-cli: --port does not apply to 'info'\nTry 'quarnel-cli --help'.\n");
}

// The stop signals, the text each one starts with and the status of a stop
// at once.
struct TStopSignal {
  int Number;
  const char* Name;
  int Status;
};
constexpr TStopSignal cInt{SIGINT, "Ctrl-C", cExitInterrupt};
constexpr TStopSignal cTerm{SIGTERM, "SIGTERM", cExitTerminate};
constexpr TStopSignal cHup{SIGHUP, "SIGHUP", cExitHangUp};

std::string Said(const TStopSignal& Signal, const char* Text) {
  return std::string(cStopPrefix) + Signal.Name + Text;
}

enum class TPhase {
  Searching,       // nothing answers the search
  Writing,         // after the first block
  AfterLastBlock,  // the finish command sent
};
const char* const cPhaseNames[] = {"searching", "writing", "after the last block"};

constexpr std::size_t cLongProgram = 0x200;  // 32 blocks
constexpr auto cSlowReply = 25ms;            // a block a little over 25 ms: time to signal twice
constexpr int cUnheardBaud = 1200;           // no rate of the search
// A stop at once ends the program well within this; the search or the
// transfer it cuts off would last longer.
constexpr auto cStopBound = 1s;

// Each signal in each phase: before writing, one signal stops at once and
// says nothing was written; during writing the first lets the update finish
// with its own status, a second Ctrl-C or SIGTERM stops at once with the
// power-cycle text, and the power cycle and a new update recover the
// controller; a hang-up never stops a running update.
TEST_F(CliProcessTest, StopSignalsInEachPhase) {
  struct TCase {
    TPhase Phase;
    std::vector<TStopSignal> Signals;
    int Status;
    std::string Err;
  };
  std::vector<TCase> Cases;
  for (const TStopSignal& S : {cInt, cTerm, cHup}) {
    const std::string RunsToEnd = Said(S, cRunsToEndText);
    Cases.push_back({TPhase::Searching, {S}, S.Status, Said(S, cNothingWrittenText)});
    Cases.push_back({TPhase::Writing, {S}, cExitDone, RunsToEnd});
    Cases.push_back({TPhase::AfterLastBlock, {S}, cExitDone, RunsToEnd});
    if (S.Number == SIGHUP) {
      Cases.push_back({TPhase::Writing, {S, S}, cExitDone, RunsToEnd});
    } else {
      Cases.push_back(
          {TPhase::Writing, {S, S}, S.Status, RunsToEnd + Said(S, cStoppedMidUpdateText)});
    }
  }
  const auto Image = samplefw::MakeImage(cModel, cLongProgram);
  const std::string File = WriteFirmware(Image);
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Signals[0].Name) + " x" + std::to_string(Case.Signals.size()) +
                 " " + cPhaseNames[static_cast<int>(Case.Phase)]);
    mcsim::Config Config = ModelConfig();
    Config.replyDelay = cSlowReply;
    if (Case.Phase == TPhase::Searching) Config.appBaud = cUnheardBaud;
    StartSim(Config);
    std::size_t Sent = 0;
    auto LastSent = std::chrono::steady_clock::now();
    const TChildResult R = Cli({"update", File}, [&](pid_t Pid, const TChildResult& SoFar) {
      const mcsim::Record Record = Sim->GetRecord();
      bool Due = false;
      if (Sent > 0) {
        Due = Contains(SoFar.Err, "again");  // two sent close together may arrive as one
      } else if (Case.Phase == TPhase::Searching) {
        Due = !Record.rx.empty();
      } else if (Case.Phase == TPhase::Writing) {
        Due = Record.Count(mcsim::EventKind::Block) >= 1;
      } else {
        Due = Record.Count(mcsim::EventKind::Finish) == 1;
      }
      if (Due && Sent < Case.Signals.size()) {
        ::kill(Pid, Case.Signals[Sent++].Number);
        LastSent = std::chrono::steady_clock::now();
      }
    });
    const auto Ended = std::chrono::steady_clock::now();
    ASSERT_EQ(Sent, Case.Signals.size());
    EXPECT_EQ(R.ExitStatus, Case.Status) << R.Err;
    EXPECT_EQ(R.Err, Case.Err);
    const mcsim::Record Record = Sim->GetRecord();
    if (Case.Status == cExitDone) {
      EXPECT_TRUE(Contains(Result(R), "\"outcome\":\"done\","));
      EXPECT_TRUE(Contains(Result(R), "\"interrupted\":true"));
      ExpectImageReceived(Image, cLongProgram);
      continue;
    }
    EXPECT_LT(Ended - LastSent, cStopBound);
    EXPECT_FALSE(Contains(R.Out, "\"event\":\"result\""));
    EXPECT_EQ(Record.Count(mcsim::EventKind::Finish), 0u);
    if (Case.Phase == TPhase::Searching) {
      EXPECT_EQ(Record.Count(mcsim::EventKind::Entry), 0u);
    } else {
      // Cut off mid-block: a power cycle and a new update bring it back.
      Sim->PowerCycle(Config);
      const TChildResult Again = Cli({"update", File});
      EXPECT_EQ(Again.ExitStatus, cExitDone) << Again.Err;
      ExpectImageReceived(Image, cLongProgram);
    }
  }
}

// The terminal closes (a window shut, an SSH session dropped): while
// searching the program stops with 129; while writing the update goes on
// with nowhere to write its output, and still ends with its own status.
TEST_F(CliProcessTest, HangUpOfItsTerminal) {
  const auto Image = samplefw::MakeImage(cModel, cLongProgram);
  const std::string File = WriteFirmware(Image);
  for (const TPhase Phase : {TPhase::Searching, TPhase::Writing}) {
    const bool Searching = Phase == TPhase::Searching;
    SCOPED_TRACE(Searching ? "searching" : "writing");
    mcsim::Config Config = ModelConfig();
    Config.replyDelay = cSlowReply;
    if (Searching) Config.appBaud = cUnheardBaud;
    StartSim(Config);
    const TChildResult R = RunChildOnTerminal(
        QUARNEL_CLI_PATH, {"update", File, "--port", Sim->DevicePath()}, cLimit, [&] {
          const mcsim::Record Record = Sim->GetRecord();
          return Searching ? !Record.rx.empty() : Record.Count(mcsim::EventKind::Block) >= 1;
        });
    EXPECT_FALSE(R.TimedOut);
    EXPECT_EQ(R.Signal, 0);
    if (Searching) {
      EXPECT_EQ(R.ExitStatus, cExitHangUp);
      EXPECT_EQ(Sim->GetRecord().Count(mcsim::EventKind::Entry), 0u);
    } else {
      EXPECT_EQ(R.ExitStatus, cExitDone);
      ExpectImageReceived(Image, cLongProgram);
    }
  }
}

}  // namespace

namespace {

// The adapter pulled out mid-block: the transfer's message and status, and
// details that say what happened and what to do, on stderr and in the result.
TEST(CliUnplug, AnAdapterPulledOutGivesTheDetailsOnStderrAndInTheResult) {
  const fs::path Dir =
      fs::temp_directory_path() / ("quarnel-cli-unplug-" + std::to_string(getpid()));
  fs::create_directories(Dir);
  mcsim::Config Config;
  Config.modelCode = cModel;
  Config.linkPath = (Dir / "ttyUSB-sim").string();
  mcsim::Fault Fault;
  Fault.kind = mcsim::FaultKind::Unplug;
  Fault.block = 1;
  Config.faults.push_back(Fault);
  auto Sim = std::make_unique<mcsim::Sim>(Config);
  Sim->Start();
  const std::string File = (Dir / "fw.QRV").string();
  ASSERT_TRUE(samplefw::WriteImage(File, samplefw::MakeImage(cModel, cProgramBytes)));

  const TChildResult R =
      RunChild(QUARNEL_CLI_PATH, {"update", File, "--port", Sim->DevicePath(), "--json"}, cLimit);
  EXPECT_EQ(R.ExitStatus, cExitTransferFailed);
  EXPECT_TRUE(Contains(R.Err,
                       "Firmware update failed. Cycle power to motor controller and try again!\n"
                       "The serial adapter disappeared"))
      << R.Err;
  const auto All = Lines(R.Out);
  ASSERT_FALSE(All.empty());
  EXPECT_TRUE(Contains(All.back(), "\"outcome\":\"transfer-failed\""));
  EXPECT_TRUE(Contains(All.back(), "\"details\":\"The serial adapter disappeared")) << All.back();
  Sim.reset();
  std::error_code Error;
  fs::remove_all(Dir, Error);
}

}  // namespace

// Several controllers in one run: each port gets its own operation at the
// same time; one that fails (a checksum fault, nothing on the port) never
// stops the others, and the run ends with the first failure's status in the
// order the ports were given.
TEST(CliSeveralPorts, EachPortItsOwnUpdateAndTheFirstFailureDecides) {
  const fs::path Dir = fs::temp_directory_path() / ("quarnel-multi-" + std::to_string(getpid()));
  fs::create_directories(Dir);
  const auto Image = samplefw::MakeImage(cModel, cProgramBytes);
  const std::string File = (Dir / "fw.QRV").string();
  ASSERT_TRUE(samplefw::WriteImage(File, Image));
  std::vector<std::unique_ptr<mcsim::Sim>> Sims;
  for (int I = 0; I < 3; ++I) {
    mcsim::Config Config;
    Config.modelCode = cModel;
    Config.link = I == 1 ? mcsim::Link::EchoBus : mcsim::Link::Plain;
    if (I == 2) {
      mcsim::Fault Fault;
      Fault.kind = mcsim::FaultKind::WrongChecksum;
      Fault.block = 1;
      Config.faults.push_back(Fault);
    }
    Sims.push_back(std::make_unique<mcsim::Sim>(Config));
    Sims.back()->Start();
  }
  const std::string Good1 = Sims[0]->DevicePath();
  const std::string Good2 = Sims[1]->DevicePath();
  const std::string Faulty = Sims[2]->DevicePath();
  const TChildResult R =
      RunChild(QUARNEL_CLI_PATH,
               {"update", File, "--port", Good1, "--port", cNoSuchPort, "--port", Good2, "--port",
                Faulty, "--record", (Dir / "units.log").string()},
               cLimit);
  EXPECT_EQ(R.ExitStatus, cExitNoController) << R.Out << R.Err;
  EXPECT_TRUE(ImageReceived(Sims[0]->GetRecord(), Image, cProgramBytes));
  EXPECT_TRUE(ImageReceived(Sims[1]->GetRecord(), Image, cProgramBytes));
  EXPECT_EQ(Sims[2]->GetRecord().Count(mcsim::EventKind::Abort), 1u);
  // Lines mode: each port's texts prefixed, then the summary.
  EXPECT_TRUE(Contains(R.Out, Good1 + ": Update Complete. Turn off power.\n"));
  EXPECT_TRUE(Contains(R.Err, Faulty + ": Firmware update failed."));
  EXPECT_TRUE(Contains(R.Out, "\nFailed: " + std::string(cNoSuchPort) + " " + Faulty + "\n"));
  const auto All = Lines(R.Out);
  const auto Head = std::find_if(All.begin(), All.end(),
                                 [](const std::string& L) { return L.rfind("port ", 0) == 0; });
  ASSERT_EQ(All.end() - Head, 6);  // heading, four ports, failures
  EXPECT_TRUE(Contains(Head[1], "1 x PIC16F886")) << Head[1];
  EXPECT_TRUE(Contains(Head[1], std::to_string(cProgramBytes / 16) + "  ")) << Head[1];
  EXPECT_TRUE(Contains(Head[4], "the update failed during the transfer")) << Head[4];
  // A record line a port, each with the file's hash and its own outcome.
  std::ifstream Log(Dir / "units.log");
  std::stringstream Records;
  Records << Log.rdbuf();
  const auto Units = Lines(Records.str());
  ASSERT_EQ(Units.size(), 4u);
  const std::string Hash = "\"sha256\":\"" + Sha256Hex(Image.data(), Image.size()) + "\"";
  for (const std::string& Unit : Units) EXPECT_TRUE(Contains(Unit, Hash)) << Unit;
  const std::string Port = "\"port\":\"" + Faulty + "\"";
  EXPECT_EQ(std::count_if(Units.begin(), Units.end(),
                          [&](const std::string& U) {
                            return Contains(U, Port) &&
                                   Contains(U, "\"outcome\":\"transfer-failed\"");
                          }),
            1);
  fs::remove_all(Dir);
}
