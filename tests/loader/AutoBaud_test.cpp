// The auto-baud burst: the rate of each attempt, how an answer is judged, a
// flood of waiting bytes, and errors that never leave it.
#include <gtest/gtest.h>

#include <string>

#include "Pty.h"
#include "SimSearch.h"

namespace {

using mcsim::Link;
using mcsim::Mode;

const std::string cBurst("UU\0UU", 5);  // first half, then second half
constexpr int cReceiveMs = 3000;

TEST(TryAutoBaud, HighSpeedBoxChoosesTheRateOfTheFirstAttemptOnly) {
  struct Case {
    bool Visible;
    bool Checked;
    int FirstRate;
  };
  const Case cCases[] = {{false, true, 9600}, {true, true, 38400}, {true, false, 9600}};
  for (const Case& C : cCases) {
    SimSearch B(SimAt(Mode::Bootloader, Link::Plain, 9600));  // never answers the burst
    B.View.Controls.HighSpeedVisible = C.Visible;
    B.View.Controls.HighSpeedChecked = C.Checked;
    B.Port.DeviceName = B.Sim.DevicePath();
    EXPECT_FALSE(B.Loader.Try_Auto_Baud());
    ASSERT_TRUE(B.Sim.WaitFor([](const mcsim::Record& R) { return R.rx.size() >= 10; },
                              std::chrono::milliseconds(cReceiveMs)));
    const mcsim::Record R = B.Sim.GetRecord();
    EXPECT_EQ(R.Received(), cBurst + cBurst);
    for (std::size_t i = 0; i < R.rx.size(); ++i)
      EXPECT_EQ(R.rx[i].baud, i < 5 ? C.FirstRate : 9600) << i;
    EXPECT_EQ(B.Port.BaudRate, 9600);
    EXPECT_EQ(B.Loader.CmdStr, "U");
    EXPECT_FALSE(B.Port.Enabled);
  }
}

TEST(TryAutoBaud, OnlyTheLastByteWaitingDecides) {
  struct Case {
    const char* What;
    std::size_t HeardBefore;  // bytes of the burst before the far side answers
    std::string Answer;
    bool Answered;
    std::size_t BytesSent;  // the burst stops at the first half-attempt answered
  };
  const Case cCases[] = {
      {"first half, ends in '.'", 2, "xy.", true, 2},
      {"second half, ends in '.'", 5, ".", true, 5},
      {"'.' not last", 2, ".x", false, 10},
      {"flood ending in '.'", 2, std::string(300, 'a') + ".", true, 2},
      {"flood ending elsewhere", 2, std::string(300, '.') + "a", false, 10},
  };
  for (const Case& C : cCases) {
    Pty Line;
    TCOMPort Port;
    RecordingView View;
    TLoader Loader(Port, View);
    Port.DeviceName = Line.SlavePath();
    std::string Seen;
    {
      BackgroundTask FarSide([&] {
        Seen = Line.Receive(C.HeardBefore, cReceiveMs);
        Line.Send(C.Answer);
      });
      EXPECT_EQ(Loader.Try_Auto_Baud(), C.Answered) << C.What;
    }
    Seen += Line.Receive(C.BytesSent - Seen.size(), C.BytesSent > Seen.size() ? cReceiveMs : 0);
    EXPECT_EQ(Seen, (cBurst + cBurst).substr(0, C.BytesSent)) << C.What;
    EXPECT_EQ(Line.Receive(1, 100), "") << C.What;
    EXPECT_EQ(Loader.CmdStr, "U") << C.What;
    EXPECT_EQ(Port.BaudRate, 9600) << C.What;
    EXPECT_FALSE(Port.Enabled) << C.What;
  }
}

TEST(TryAutoBaud, SimulatedBootloaderLocksOnTheBurst) {
  mcsim::Config Config = SimAt(Mode::Bootloader, Link::Plain, 9600);
  Config.autoBaud = true;
  SimSearch B(Config);
  B.Port.DeviceName = B.Sim.DevicePath();
  EXPECT_TRUE(B.Loader.Try_Auto_Baud());
  const mcsim::Record R = B.Sim.GetRecord();
  EXPECT_EQ(R.Count(mcsim::EventKind::AutoBaudLock), 1u);
  EXPECT_FALSE(B.Port.Enabled);
}

TEST(TryAutoBaud, ErrorsAreSwallowed) {
  TCOMPort Port;  // no device name: every open throws
  RecordingView View;
  TLoader Loader(Port, View);
  bool Answered = true;
  EXPECT_NO_THROW(Answered = Loader.Try_Auto_Baud());
  EXPECT_FALSE(Answered);
  EXPECT_FALSE(Port.Enabled);
  EXPECT_EQ(Port.BaudRate, 9600);
}

}  // namespace
