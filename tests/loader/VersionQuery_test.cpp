// "MC &Version" through the loader: the version text from the reply, the
// bootloader text, no controller, and a reply that does not convert.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "Convert.h"
#include "SimSearch.h"

namespace {

using mcsim::Link;
using mcsim::Mode;

const std::string cInBootloader =
    "Version information is not available, but MC is ready for updating.";

std::size_t CountOf(const std::string& Text, const std::string& Part) {
  std::size_t Count = 0;
  for (auto At = Text.find(Part); At != std::string::npos; At = Text.find(Part, At + 1)) ++Count;
  return Count;
}

// Controls disabled first and enabled last, status colour normal, port closed.
void ExpectCleanEnd(const SimSearch& B, const std::string& Case) {
  const auto& Ev = B.View.Events;
  ASSERT_GE(Ev.size(), 3u) << Case;
  EXPECT_EQ(Ev.front(), "disable") << Case;
  EXPECT_EQ(Ev[1], "color:normal") << Case;
  EXPECT_EQ(Ev.back(), "enable") << Case;
  EXPECT_EQ(B.View.EnableCalls, 1) << Case;
  EXPECT_FALSE(B.Port.Enabled) << Case;
}

TEST(QueryVersion, ShowsTheVersionTextOfTheReply) {
  struct Case {
    std::string Reply;
    Link L;
    std::string Text;
  };
  const Case cCases[] = {
      {"=031C04\r", Link::Plain, "3.28.04"},  // leading zero of the third part kept
      {"=031c04\r", Link::Plain, "3.28.04"},  // either case
      {"=0A000A\r", Link::Plain, "10.0.0A"},  // third part not decoded
      {"\x7f"
       "031C04x",
       Link::Plain, "3.28.04"},                 // R0 and R7 not looked at
      {"=031C04\r", Link::EchoBus, "3.28.04"},  // 4 echo bytes, then the reply
  };
  for (const Case& C : cCases) {
    mcsim::Config Config = SimAt(Mode::Application, C.L, 115200);
    // The search needs a CR at the end; the query itself does not look.
    const bool Terminated = C.Reply.back() == '\r';
    if (Terminated) Config.versionReply = C.Reply;
    SimSearch B(Config);
    if (!Terminated) {
      // Found with a proper reply first; the query's own ":e1\r" gets the odd one.
      B.View.OnProcessMessages = [&, Switched = false]() mutable {
        if (!Switched && B.Sim.GetRecord().Count(mcsim::EventKind::VersionQuery) == 1) {
          Switched = true;
          mcsim::Config Later = Config;
          Later.versionReply = C.Reply;
          B.Sim.SetConfig(Later);
        }
      };
    }
    B.Loader.QueryVersion();
    EXPECT_EQ(B.View.PromptText, C.Text) << C.Reply;
    EXPECT_TRUE(B.View.Errors.empty()) << C.Reply;
    EXPECT_EQ(B.Loader.CmdStr, ":e1\r");
    // The search's ":e1\r" and the query's own.
    EXPECT_EQ(CountOf(B.Heard(), ":e1\r"), 2u) << C.Reply;
    ExpectCleanEnd(B, C.Reply);
  }
}

TEST(QueryVersion, OutcomeNamesThePortFoundAndAQueryLeftUnanswered) {
  const mcsim::Config Config = SimAt(Mode::Application, Link::Plain, 115200);
  SimSearch B(Config, 2);  // automatic detection: COM1 names no device
  // The search is answered; the query's own ":e1\r" gets too short a reply.
  B.View.OnProcessMessages = [&, Switched = false]() mutable {
    if (!Switched && B.Sim.GetRecord().Count(mcsim::EventKind::VersionQuery) == 1) {
      Switched = true;
      mcsim::Config Later = Config;
      Later.versionReply = "=03";
      B.Sim.SetConfig(Later);
    }
  };
  B.Loader.QueryVersion();
  EXPECT_EQ(B.View.PromptText, "");
  EXPECT_TRUE(B.View.Errors.empty());
  const TOperationOutcome& O = B.Loader.LastOutcome;
  EXPECT_EQ(O.Outcome, TOutcome::NoVersionReply);
  EXPECT_EQ(O.PortText, "COM2");
  EXPECT_EQ(O.DeviceName, B.Sim.DevicePath());
  EXPECT_FALSE(O.InBootloader);
  EXPECT_EQ(O.VersionText, "");
}

TEST(QueryVersion, BootloaderGetsNoVersionCommand) {
  SimSearch B(SimAt(Mode::Bootloader, Link::Plain, 115200));
  B.Loader.QueryVersion();
  EXPECT_EQ(B.View.PromptText, cInBootloader);
  EXPECT_EQ(CountOf(B.Sim.GetRecord().Received(), ":e1\r"), 0u);
  ExpectCleanEnd(B, "bootloader");
}

TEST(QueryVersion, NoControllerLeavesTheStatusLineEmpty) {
  SimSearch B(SimAt(Mode::Application, Link::Plain, 115200), 300);  // never mapped
  B.View.Controls.AutoSelectCOMPort = false;
  B.View.Controls.PortText = "COM5";
  B.View.PromptText = "Update Complete. Turn off power.";
  B.Loader.QueryVersion();
  EXPECT_EQ(B.View.Errors, std::vector<std::string>{"Can not connect to a motor controller."});
  EXPECT_EQ(B.View.PromptText, "");
  ExpectCleanEnd(B, "no controller");
}

TEST(QueryVersion, NonHexadecimalDigitEscapesAfterTheCleanUp) {
  mcsim::Config Config = SimAt(Mode::Application, Link::Plain, 115200);
  Config.versionReply = "=G11C04\r";
  SimSearch B(Config);
  bool Enabled = false;
  try {
    B.Loader.QueryVersion();
    ADD_FAILURE() << "no conversion error";
  } catch (const EConvertError& E) {
    EXPECT_STREQ(E.what(), "'$G1' is not a valid integer value");
    Enabled = B.View.EnableCalls == 1;
  }
  EXPECT_TRUE(Enabled);
  EXPECT_EQ(B.View.PromptText, "");
  EXPECT_EQ(B.View.Prompts.back(), "");
  ExpectCleanEnd(B, "non-hex");
}

}  // namespace
