// The command line: which command and which settings each form gives.
#include "CliArgs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TArgsCase {
  std::vector<std::string> Args;
  TCliCommand Command;
  std::string FileName;
  std::vector<std::string> Ports;
  bool PCDirectMode;
  bool HighSpeed;
  bool Json;
};

TEST(ParseCliArgs, EachFormGivesItsCommandAndSettings) {
  using C = TCliCommand;
  const TArgsCase cCases[] = {
      {{"ports"}, C::Ports, "", {}, true, false, false},
      {{"ports", "--json"}, C::Ports, "", {}, true, false, true},
      {{"version"}, C::QueryVersion, "", {}, true, false, false},
      {{"version", "--port", "3", "--high-speed"}, C::QueryVersion, "", {"3"}, true, true, false},
      {{"version", "--port=/dev/ttyUSB0"}, C::QueryVersion, "", {"/dev/ttyUSB0"}, true, false, false},
      {{"update", "fw.QRV"}, C::Update, "fw.QRV", {}, true, false, false},
      // Options before, between and after the operands.
      {{"--json", "update", "--no-pc-direct", "fw.QRV", "--port", "COM12"},
       C::Update,
       "fw.QRV",
       {"COM12"},
       false,
       false,
       true},
      {{"update", "fw.QRV", "--pc-direct"}, C::Update, "fw.QRV", {}, true, false, false},
      {{"update", "--", "--odd name.QRV"}, C::Update, "--odd name.QRV", {}, true, false, false},
      {{"update", "fw.QRV", "--help"}, C::Help, "", {}, true, false, false},
      {{"-h"}, C::Help, "", {}, true, false, false},
      {{"--version"}, C::ProgramVersion, "", {}, true, false, false},
      // Several ports: one operation on each, in the order given.
      {{"update", "fw.QRV", "--port", "1", "--port=/dev/ttyUSB1", "--port", "COM3"},
       C::Update,
       "fw.QRV",
       {"1", "/dev/ttyUSB1", "COM3"},
       true,
       false,
       false},
  };
  for (const auto& Case : cCases) {
    SCOPED_TRACE(testing::PrintToString(Case.Args));
    const TCliOptions O = ParseCliArgs(Case.Args);
    EXPECT_EQ(O.Command, Case.Command);
    EXPECT_EQ(O.FileName, Case.FileName);
    EXPECT_EQ(O.Ports, Case.Ports);
    EXPECT_EQ(O.PCDirectMode, Case.PCDirectMode);
    EXPECT_EQ(O.HighSpeed, Case.HighSpeed);
    EXPECT_EQ(O.Json, Case.Json);
  }
}

TEST(ParseCliArgs, OptionsThatDoNotBelongAreRefused) {
  const std::vector<std::string> cBad[] = {
      {"ports", "--port", "3"},
      {"ports", "--high-speed"},
      {"version", "--pc-direct"},
      {"version", "--no-pc-direct"},
      {"--json=1", "ports"},
      {"version", "-p"},
      {"version", "--port", "1", "--port", "COM1"},  // one device twice
      {"version", "--record", "a", "--record", "b"},
      {"info", "fw.QRV", "--record", "a"},
      {"version", "--port", ""},
      {"update", "a", "b"},
  };
  for (const auto& Args : cBad)
    EXPECT_THROW(ParseCliArgs(Args), ECliUsage) << testing::PrintToString(Args);
}

TEST(PortBoxText, BareNumberStandsForComN) {
  const std::pair<const char*, const char*> cCases[] = {
      {"3", "COM3"},
      {"012", "COM012"},
      {"COM3", "COM3"},
      {"3a", "3a"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
  };
  for (const auto& [In, Out] : cCases) EXPECT_EQ(PortBoxText(In), Out) << In;
}

}  // namespace
