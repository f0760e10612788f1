// Why a port does not open, from a terminal: "ports" explains it as a failed
// search does, and the details of a box follow its text on stderr, made safe.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "Pty.h"
#include "TerminalView.h"

namespace {

TEST(Ports, APortThatDoesNotOpenIsExplainedWithItsNextStep) {
  Pty Free;
  Pty Held;
  TCOMPort Holder;
  Holder.DeviceName = Held.SlavePath();
  ASSERT_TRUE(Holder.Open());
  const std::vector<std::string> Devices = {Free.SlavePath(), Held.SlavePath()};
  const TPortMapSource Map = [&] { return PortMapFromList(Devices); };
  std::ostringstream Text;
  std::ostringstream Json;
  EXPECT_EQ(RunPorts(false, Map, Text), cExitDone);
  EXPECT_EQ(RunPorts(true, Map, Json), cExitDone);
  Holder.Close();

  // The table, then the same words a failed search would give. This process
  // is the holder, and it does not name itself.
  const std::string Table = Text.str();
  const std::string Why = "COM2: " + Held.SlavePath() +
                          "\n  In use by another program.\nClose that program, then try again.";
  ASSERT_NE(Table.find("\n\n"), std::string::npos) << Table;
  EXPECT_EQ(Table.substr(Table.find("\n\n") + 2), Why + "\n");
  EXPECT_EQ(Table.find("COM1"), 0u);
  EXPECT_NE(Table.find(" busy"), std::string::npos);
  std::istringstream Lines(Json.str());
  std::string First, Second;
  std::getline(Lines, First);
  std::getline(Lines, Second);
  EXPECT_EQ(First.find("\"details\""), std::string::npos) << First;
  EXPECT_EQ(Second,
            "{\"event\":\"port\",\"port\":\"COM2\",\"device\":\"" + Held.SlavePath() +
                "\",\"info\":\"\",\"access\":\"busy\",\"details\":\"COM2: " + Held.SlavePath() +
                "\\u000a  In use by another program.\\u000aClose that program, then try "
                "again.\"}");
}

TEST(Ports, DetailsFollowTheBoxTextOnStderrLineByLine) {
  // A device's own name may hold a terminal escape.
  const std::string Details = "COM1: /dev/ttyUSB0, USB 0403:6001 Evil\x1b[2J\n  Permission denied.";
  for (const TOutputMode Mode : {TOutputMode::Lines, TOutputMode::Json}) {
    std::ostringstream Out;
    std::ostringstream Err;
    TTerminalView View(Mode, Out, Err, {});
    View.ShowError("Can not connect to a motor controller.", Details);
    EXPECT_EQ(Err.str(),
              "Can not connect to a motor controller.\n"
              "COM1: /dev/ttyUSB0, USB 0403:6001 Evil\\x1b[2J\n  Permission denied.\n");
    EXPECT_EQ(Out.str(), Mode == TOutputMode::Json
                             ? "{\"event\":\"error\",\"text\":\"Can not connect to a motor "
                               "controller.\",\"details\":\"COM1: /dev/ttyUSB0, USB 0403:6001 "
                               "Evil\\u001b[2J\\u000a  Permission denied.\"}\n"
                             : "");
  }
}

}  // namespace
