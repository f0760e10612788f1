// The search for the controller against the simulator: found in either mode
// at each rate on either link, typed ports, replies that fail their test,
// and no controller anywhere.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "Pty.h"
#include "SimSearch.h"

namespace {

using mcsim::Link;
using mcsim::Mode;

const std::string cSearching = "Trying to connect to a motor controller ...";
const std::string cNotFound = "Can not connect to a motor controller.";
const std::string cVersionReply = "=031C04\r";
const std::string cIdReply("\x04.", 2);

std::string Name(Mode M, Link L, int Baud) {
  return std::string(M == Mode::Bootloader ? "boot" : "app") + "/" +
         (L == Link::EchoBus ? "echo" : "plain") + "/" + std::to_string(Baud);
}

std::vector<std::string> PortEvents(const RecordingView& V) {
  std::vector<std::string> Out;
  for (const auto& E : V.Events)
    if (E.rfind("port:", 0) == 0) Out.push_back(E);
  return Out;
}

// The state a successful search leaves behind, for either mode.
void ExpectFound(SimSearch& B, Mode M, Link L, int Baud, const std::string& PortText) {
  const std::string Case = Name(M, L, Baud);
  const bool Boot = M == Mode::Bootloader;
  EXPECT_FALSE(B.Port.Enabled) << Case;
  EXPECT_EQ(B.Port.BaudRate, Baud) << Case;
  EXPECT_EQ(B.Port.DeviceName, B.Sim.DevicePath()) << Case;
  EXPECT_EQ(B.Loader.SimpleBusMode, L == Link::EchoBus) << Case;
  EXPECT_EQ(B.Loader.MCInBootloaderStatus, Boot) << Case;
  EXPECT_EQ(B.Loader.CmdStr, Boot ? "I1." : ":e1\r") << Case;
  if (Boot) {
    EXPECT_EQ(B.ResponseHead(2), cIdReply) << Case;
  } else {
    EXPECT_EQ(B.ResponseHead(8), cVersionReply) << Case;
    EXPECT_TRUE(B.ResponseZeroFrom(8)) << Case;
  }
  EXPECT_EQ(B.View.Controls.PortText, PortText) << Case;
  EXPECT_FALSE(B.View.Controls.AutoSelectCOMPort) << Case;
  EXPECT_FALSE(B.View.Controls.PortEnabled) << Case;
  // Unchecking auto-detect enables cbPort as a click would; disabling comes last.
  const auto& Ev = B.View.Events;
  const auto Unchecked = std::find(Ev.begin(), Ev.end(), "autoselect:0");
  ASSERT_NE(Unchecked, Ev.end()) << Case;
  EXPECT_EQ(*(Unchecked - 1), "port:" + PortText) << Case;
  EXPECT_EQ(std::count(Unchecked, Ev.end(), "port-enabled:0"), 1) << Case;
  EXPECT_EQ(B.View.Prompts, (std::vector<std::string>{cSearching, ""})) << Case;
  EXPECT_EQ(B.View.PromptText, "") << Case;
  EXPECT_TRUE(B.View.Errors.empty()) << Case;
  EXPECT_EQ(B.Loader.Params.MCUModel, TMCUModel::NOT_VALID) << Case;
  EXPECT_FALSE(B.Loader.Params.Auto_Baud) << Case;
}

TEST(LinkToMC, FindsTheControllerInEitherModeAtEachRateOnEitherLink) {
  struct Case {
    Mode M;
    Link L;
    int Baud;
  };
  const Case cCases[] = {
      {Mode::Application, Link::Plain, 115200}, {Mode::Application, Link::EchoBus, 115200},
      {Mode::Bootloader, Link::Plain, 115200},  {Mode::Bootloader, Link::EchoBus, 115200},
      {Mode::Application, Link::Plain, 38400},  {Mode::Bootloader, Link::EchoBus, 38400},
      {Mode::Bootloader, Link::Plain, 9600},    {Mode::Application, Link::EchoBus, 9600},
  };
  for (const Case& C : cCases) {
    SimSearch B(SimAt(C.M, C.L, C.Baud), 2);
    B.Loader.MCInBootloaderStatus = C.M == Mode::Application;  // must be overwritten
    B.Loader.Params.MCUModel = TMCUModel::PIC16F886;
    B.Loader.Params.Auto_Baud = true;
    EXPECT_TRUE(B.Loader.LinkToMC()) << Name(C.M, C.L, C.Baud);
    ExpectFound(B, C.M, C.L, C.Baud, "COM2");
    // Ports 1 and 2 only: the search stops at the port that answered and
    // shows it once more as found.
    EXPECT_EQ(PortEvents(B.View),
              (std::vector<std::string>{"port:COM1", "port:COM2", "port:COM2"}));
    EXPECT_EQ(B.MapSourceCalls, 1);
    // An application never gets "I1." answered, so it is found by ":e1\r"; a
    // bootloader answering "I1." is never asked ":e1\r".
    const std::string Heard = B.Heard();
    EXPECT_EQ(Heard.find(":e1\r") != std::string::npos, C.M == Mode::Application)
        << Name(C.M, C.L, C.Baud);
  }
}

TEST(LinkToMC, TypedPortTriesOnlyTheNumberAfterTheFirstThreeCharacters) {
  struct Case {
    std::string Typed;
    bool Tried;             // port 12 tried (and found there)
    std::string FinalText;  // cbPort afterwards
  };
  const Case cCases[] = {
      {"COM12", true, "COM12"},  {"com12", true, "COM12"}, {"XYZ12", true, "COM12"},
      {"COM012", true, "COM12"}, {"COM", false, "COM"},    {"12", false, "12"},
      {"COM1x", false, "COM1x"},
  };
  for (const Case& C : cCases) {
    SimSearch B(SimAt(Mode::Application, Link::Plain, 115200), 12);
    B.View.Controls.AutoSelectCOMPort = false;
    B.View.Controls.PortEnabled = true;
    B.View.Controls.PortText = C.Typed;
    B.Port.DeviceName = "untouched";
    EXPECT_EQ(B.Loader.LinkToMC(), C.Tried) << C.Typed;
    EXPECT_EQ(B.View.Controls.PortText, C.FinalText) << C.Typed;
    EXPECT_FALSE(B.Port.Enabled) << C.Typed;
    if (C.Tried) {
      EXPECT_EQ(B.Mapped, std::vector<int>{12}) << C.Typed;
      ExpectFound(B, Mode::Application, Link::Plain, 115200, "COM12");
    } else {
      EXPECT_TRUE(B.Mapped.empty()) << C.Typed;
      EXPECT_TRUE(PortEvents(B.View).empty()) << C.Typed;
      EXPECT_EQ(B.Port.DeviceName, "untouched") << C.Typed;
      EXPECT_EQ(B.View.Errors, std::vector<std::string>{cNotFound}) << C.Typed;
      EXPECT_EQ(B.View.Prompts, (std::vector<std::string>{cSearching, ""})) << C.Typed;
      EXPECT_TRUE(B.View.Controls.PortEnabled) << C.Typed;
    }
  }
}

TEST(LinkToMC, TypedDevicePathIsTriedAloneAndKeptAsTyped) {
  SimSearch B(SimAt(Mode::Bootloader, Link::Plain, 115200));
  B.View.Controls.AutoSelectCOMPort = false;
  B.View.Controls.PortText = B.Sim.DevicePath();
  EXPECT_TRUE(B.Loader.LinkToMC());
  EXPECT_EQ(B.MapSourceCalls, 0);  // no port number involved
  ExpectFound(B, Mode::Bootloader, Link::Plain, 115200, B.Sim.DevicePath());
}

TEST(LinkToMC, RepliesThatFailTheirTestMoveOnWithoutAcceptance) {
  struct Case {
    const char* What;
    Mode M;
    std::string Reply;
    bool AppProbeSent;
  };
  const Case cCases[] = {
      {"id reply not ending in '.'", Mode::Bootloader, std::string("\x04x", 2), false},
      {"7-byte version reply", Mode::Application, "=031C04", true},
      {"version reply not ending in CR", Mode::Application, "=031C04x", true},
  };
  for (const Case& C : cCases) {
    mcsim::Config Config = SimAt(C.M, Link::Plain, 115200);
    (C.M == Mode::Bootloader ? Config.idReply : Config.versionReply) = C.Reply;
    SimSearch B(Config);
    EXPECT_FALSE(B.Loader.LinkToMC()) << C.What;
    EXPECT_EQ(B.View.Errors, std::vector<std::string>{cNotFound}) << C.What;
    // Heard at 115200 only: the other rates are noise to the simulator.
    const std::string Heard = B.Heard();
    EXPECT_NE(Heard.find(C.M == Mode::Bootloader ? "I1." : ":e1\r"), std::string::npos) << C.What;
    EXPECT_EQ(Heard.find(":e1\r") != std::string::npos, C.AppProbeSent) << C.What;
    EXPECT_EQ(B.Port.BaudRate, 9600) << C.What;
    EXPECT_FALSE(B.Port.Enabled) << C.What;
    EXPECT_EQ(B.View.Controls.PortText, "COM1") << C.What;
  }
}

// Every port number maps to no device but one silent line: nothing answers.
class NoController : public ::testing::Test {
 protected:
  Pty Silent;
  SimSearch B{SimAt(Mode::Application, Link::Plain, 115200), 300};  // out of range
};

TEST_F(NoController, AllPortsAreTriedInOrderAndTheSearchFails) {
  B.Devices[7] = Silent.SlavePath();
  B.Port.DeviceName = "before";
  EXPECT_FALSE(B.Loader.LinkToMC());
  std::vector<int> Expected(255);
  for (int n = 1; n <= 255; ++n) Expected[static_cast<std::size_t>(n - 1)] = n;
  EXPECT_EQ(B.Mapped, Expected);
  std::vector<std::string> Shown;
  for (int n : Expected) Shown.push_back("port:COM" + std::to_string(n));
  Shown.push_back("port:COM1");  // back to the first while auto-detect is checked
  EXPECT_EQ(PortEvents(B.View), Shown);
  EXPECT_GE(B.View.ProcessMessagesCalls, 256);
  EXPECT_EQ(B.View.Errors, std::vector<std::string>{cNotFound});
  EXPECT_EQ(B.View.Prompts, (std::vector<std::string>{cSearching, ""}));
  EXPECT_EQ(B.Loader.CmdStr, ":e1\r");  // the last probe sent
  EXPECT_EQ(B.Port.BaudRate, 9600);
  EXPECT_EQ(B.Port.DeviceName, Silent.SlavePath());  // the last device that exists
  EXPECT_FALSE(B.Port.Enabled);
  EXPECT_TRUE(B.View.Controls.AutoSelectCOMPort);
  // The line saw every probe at every rate.
  const std::string Sent = Silent.ReceiveAvailable();
  EXPECT_NE(Sent.find("I1."), std::string::npos);
  EXPECT_EQ(std::count(Sent.begin(), Sent.end(), ':'), 3);
}

TEST_F(NoController, PortsWithoutADeviceCostNoWait) {
  const auto Start = std::chrono::steady_clock::now();
  EXPECT_FALSE(B.Loader.LinkToMC());
  // A probe's smallest wait on each of 255 ports would take over 25 s.
  EXPECT_LT(MsSince(Start), 5000);
  EXPECT_EQ(B.Mapped.size(), 255u);
  EXPECT_FALSE(B.Loader.SimpleBusMode);
  EXPECT_EQ(B.Port.BaudRate, 9600);  // as before: no port opened
  EXPECT_EQ(B.View.Controls.PortText, "COM1");
}

TEST_F(NoController, RangeIsFixedWhenAutoDetectIsUncheckedMidSearch) {
  B.View.OnProcessMessages = [this] {
    if (B.View.Controls.PortText == "COM3") B.View.Controls.AutoSelectCOMPort = false;
  };
  EXPECT_FALSE(B.Loader.LinkToMC());
  EXPECT_EQ(B.Mapped.size(), 255u);
  EXPECT_EQ(B.View.Controls.PortText, "COM255");
  EXPECT_EQ(B.View.Errors, std::vector<std::string>{cNotFound});
}

}  // namespace

namespace {

// The device goes away after the port check: the rates at which it no longer
// opens are skipped, and the search fails normally instead of with an error.
TEST(LinkToMC, RateAtWhichThePortNoLongerOpensIsSkipped) {
  Pty Silent;
  const std::string LinkPath =
      ::testing::TempDir() + "link_vanishing_" + std::to_string(::getpid());
  std::remove(LinkPath.c_str());
  ASSERT_EQ(::symlink(Silent.SlavePath().c_str(), LinkPath.c_str()), 0);
  SimSearch B(SimAt(Mode::Application, Link::Plain, 115200), 300);
  B.Devices[1] = LinkPath;
  B.View.OnProcessMessages = [&] {
    if (B.Port.Enabled && B.Port.BaudRate == 115200) std::remove(LinkPath.c_str());
  };
  bool Found = true;
  EXPECT_NO_THROW(Found = B.Loader.LinkToMC());
  EXPECT_FALSE(Found);
  EXPECT_EQ(B.View.Errors, std::vector<std::string>{cNotFound});
  EXPECT_EQ(B.View.Prompts, (std::vector<std::string>{cSearching, ""}));
  EXPECT_EQ(B.Port.BaudRate, 9600);
  EXPECT_FALSE(B.Port.Enabled);
  // Only the 115200 probes reached the line: one ":e1\r".
  const std::string Sent = Silent.ReceiveAvailable();
  EXPECT_EQ(std::count(Sent.begin(), Sent.end(), ':'), 1);
  std::remove(LinkPath.c_str());
}

}  // namespace
