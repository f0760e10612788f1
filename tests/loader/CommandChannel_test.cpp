// SendCmd, WaitResponse and Delay over a pty, the controller played by the
// test from inside the view's ProcessMessages or from a background thread.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>

#include "Loader.h"
#include "PortPoll.h"
#include "Pty.h"
#include "RecordingView.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr double cSlackMs = 1500;  // generous upper bounds on a shared machine
constexpr int cSettleMs = 1000;    // longest wait for bytes to cross the pty
// Far more polls than a wait that blocks a few ms between polls can make in
// the waits below; a spinning wait makes hundreds of thousands.
constexpr int cMaxPollsPerSecond = 2000;

class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Port.DeviceName = Line.SlavePath();
    Port.BaudRate = 9600;
    ASSERT_TRUE(Port.Open());
  }
  void TearDown() override { Port.Close(); }

  bool QueueReaches(std::int32_t Count) { return ::QueueReaches(Port, Count, cSettleMs); }

  std::string ReadString(std::int32_t Count) { return ::ReadString(Port, Count); }

  std::string ResponseHead(std::size_t Count) const {
    return std::string(Loader.Response.begin(), Loader.Response.begin() + Count);
  }

  bool ResponseZeroFrom(std::size_t From) const {
    return std::all_of(Loader.Response.begin() + From, Loader.Response.end(),
                       [](std::uint8_t B) { return B == 0; });
  }

  Pty Line;
  TCOMPort Port;
  RecordingView View;
  TLoader Loader{Port, View, [] { return PortMapFromList({}); }};
};

// ---- Plain link ----

TEST_F(ChannelTest, PlainReplyIsLeftInTheQueue) {
  Loader.Response.fill(0xAA);
  Loader.CmdStr = ":e1\r";
  Loader.SendCmd(Loader.CmdStr);
  EXPECT_EQ(Line.Receive(4, cSettleMs), ":e1\r");
  EXPECT_FALSE(Port.RtsRaised);  // a plain link never raises RTS

  const auto Start = TClock::now();
  bool Sent = false;
  View.OnProcessMessages = [&] {
    if (!Sent && MsSince(Start) >= 50) Sent = Line.Send("R");
  };
  EXPECT_TRUE(Loader.WaitResponse(1, 2.0f));
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, 50);
  EXPECT_LT(Ms, 50 + cSlackMs);
  EXPECT_TRUE(ResponseZeroFrom(0));
  EXPECT_EQ(ReadString(1), "R");
}

TEST_F(ChannelTest, ReplyAlreadyWaitingSucceedsAtTheFirstPoll) {
  ASSERT_TRUE(Line.Send("12345678"));
  ASSERT_TRUE(QueueReaches(8));
  EXPECT_TRUE(Loader.WaitResponse(8, 5.0f));
  EXPECT_EQ(View.ProcessMessagesCalls, 1);
  EXPECT_EQ(Port.InQueCount(), 8);
}

TEST_F(ChannelTest, ReplyFromABlockedWaitIsNoticedPromptly) {
  const auto Start = TClock::now();
  BackgroundTask FarSide([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Line.Send("ok");
  });
  EXPECT_TRUE(Loader.WaitResponse(2, 10.0f));
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, 100);
  EXPECT_LT(Ms, 100 + cSlackMs);  // far from the 10 s time-out
}

TEST_F(ChannelTest, FailedWaitZeroesResponseAfterTheTimeOut) {
  Loader.Response.fill(0x55);
  const auto Start = TClock::now();
  EXPECT_FALSE(Loader.WaitResponse(1, 0.3f));
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, 300);
  EXPECT_LT(Ms, 300 + cSlackMs);
  EXPECT_TRUE(ResponseZeroFrom(0));
  // Messages were processed all along, without spinning.
  EXPECT_GE(View.ProcessMessagesCalls, 5);
  EXPECT_LT(View.ProcessMessagesCalls, cMaxPollsPerSecond);
}

TEST_F(ChannelTest, PartialReplyFailsAndStaysInTheQueue) {
  ASSERT_TRUE(Line.Send("ab"));
  ASSERT_TRUE(QueueReaches(2));
  EXPECT_FALSE(Loader.WaitResponse(3, 0.2f));
  // Bytes waiting must not turn the wait into a spin either.
  EXPECT_LT(View.ProcessMessagesCalls, cMaxPollsPerSecond);
  EXPECT_EQ(ReadString(2), "ab");
}

TEST_F(ChannelTest, ClosedPortWaitsTheFullTimeOut) {
  Port.Close();
  const auto Start = TClock::now();
  EXPECT_FALSE(Loader.WaitResponse(1, 0.2f));
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, 200);
  EXPECT_LT(Ms, 200 + cSlackMs);
  EXPECT_LT(View.ProcessMessagesCalls, cMaxPollsPerSecond);
}

TEST_F(ChannelTest, ExtremeTimeOuts) {
  const float Cases[] = {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()};
  for (float T : Cases) {
    SCOPED_TRACE(T);
    View.ProcessMessagesCalls = 0;
    const auto Start = TClock::now();
    EXPECT_FALSE(Loader.WaitResponse(1, T));
    EXPECT_GE(View.ProcessMessagesCalls, 1);
    EXPECT_LT(MsSince(Start), cSlackMs);
  }
  ASSERT_TRUE(Line.Send("z"));
  ASSERT_TRUE(QueueReaches(1));
  EXPECT_TRUE(Loader.WaitResponse(1, 0.0f));
  // Time-outs beyond any clock's range end with the reply all the same.
  EXPECT_TRUE(Loader.WaitResponse(1, std::numeric_limits<float>::infinity()));
  EXPECT_TRUE(Loader.WaitResponse(1, 3.0e38f));
}

// ---- Echoing bus ----

TEST_F(ChannelTest, BusEchoIsTakenOutAndRtsFollowsIt) {
  Loader.SimpleBusMode = true;
  Loader.CmdStr = "I1.";
  Loader.SendCmd(Loader.CmdStr);
  EXPECT_TRUE(Port.RtsRaised);

  // The far side echoes the command in two parts, then replies once RTS is down.
  enum { Echo1, Echo2, AwaitRtsLow, Replied } Stage = Echo1;
  bool RtsHighAfterPartialEcho = false;
  View.OnProcessMessages = [&] {
    switch (Stage) {
      case Echo1:
        if (Line.Receive(3, cSettleMs) == "I1." && Line.Send("I1")) Stage = Echo2;
        break;
      case Echo2:
        if (Port.InQueCount() >= 2) {
          RtsHighAfterPartialEcho = Port.RtsRaised;
          if (Line.Send(".")) Stage = AwaitRtsLow;
        }
        break;
      case AwaitRtsLow:
        if (!Port.RtsRaised && Port.InQueCount() == 3 && Line.Send("AB")) Stage = Replied;
        break;
      case Replied:
        break;
    }
  };
  EXPECT_TRUE(Loader.WaitResponse(2, 5.0f));
  EXPECT_EQ(Stage, Replied);
  EXPECT_TRUE(RtsHighAfterPartialEcho);
  EXPECT_FALSE(Port.RtsRaised);
  EXPECT_EQ(ResponseHead(3), "I1.");
  EXPECT_TRUE(ResponseZeroFrom(3));
  EXPECT_EQ(ReadString(2), "AB");
}

TEST_F(ChannelTest, BusWithoutEchoFailsWithRtsStillRaised) {
  Loader.SimpleBusMode = true;
  Loader.CmdStr = "I1.";
  Loader.SendCmd(Loader.CmdStr);
  EXPECT_FALSE(Loader.WaitResponse(2, 0.1f));
  EXPECT_TRUE(Port.RtsRaised);
  EXPECT_TRUE(ResponseZeroFrom(0));
}

TEST_F(ChannelTest, BusEchoWithoutReplyFailsWithRtsLowAndEchoQueued) {
  Loader.SimpleBusMode = true;
  Loader.CmdStr = ".";
  Loader.SendCmd(Loader.CmdStr);
  ASSERT_EQ(Line.Receive(1, cSettleMs), ".");
  ASSERT_TRUE(Line.Send("."));
  EXPECT_FALSE(Loader.WaitResponse(1, 0.2f));
  EXPECT_FALSE(Port.RtsRaised);
  EXPECT_TRUE(ResponseZeroFrom(0));
  EXPECT_EQ(ReadString(1), ".");
}

TEST_F(ChannelTest, BusEchoLengthComesFromCmdStrForPieces) {
  Loader.SimpleBusMode = true;
  Loader.CmdStr = "ABCDEF";
  Loader.SendCmd("ABC");
  Loader.SendCmd("DEF");
  ASSERT_EQ(Line.Receive(6, cSettleMs), "ABCDEF");
  ASSERT_TRUE(Line.Send("ABCDEF!"));
  ASSERT_TRUE(QueueReaches(7));
  EXPECT_TRUE(Loader.WaitResponse(1, 2.0f));
  EXPECT_EQ(ResponseHead(6), "ABCDEF");
  EXPECT_EQ(ReadString(1), "!");
}

TEST_F(ChannelTest, LongBusEchoIsDrainedWholeWithinResponse) {
  Loader.SimpleBusMode = true;
  Loader.CmdStr.clear();
  for (int i = 0; i < 2048; ++i) Loader.CmdStr.push_back(static_cast<char>(0x80 | (i & 0x7F)));
  Loader.SendCmd(Loader.CmdStr);
  View.OnProcessMessages = [&] {
    if (View.ProcessMessagesCalls != 1) return;
    const std::string Echo = Line.Receive(2048, cSettleMs);
    ASSERT_EQ(Echo, Loader.CmdStr);
    ASSERT_TRUE(Line.Send(Echo + "OK"));
  };
  EXPECT_TRUE(Loader.WaitResponse(2, 5.0f));
  EXPECT_EQ(ResponseHead(cResponseSize), Loader.CmdStr.substr(0, cResponseSize));
  // The fields after Response were not written over.
  EXPECT_TRUE(Loader.SimpleBusMode);
  EXPECT_FALSE(Loader.MCInBootloaderStatus);
  EXPECT_EQ(Loader.MCUCount, 0);
  EXPECT_EQ(Port.InQueCount(), 2);
  EXPECT_EQ(ReadString(2), "OK");
}

// ---- SendCmd and Delay ----

TEST_F(ChannelTest, SendCmdWritesEveryByteOfTheCommand) {
  Loader.CmdStr = std::string("\x00\x11\x13\xFF", 4);
  Loader.SendCmd(Loader.CmdStr);
  EXPECT_EQ(Line.Receive(4, cSettleMs), Loader.CmdStr);
}

TEST_F(ChannelTest, EmptyCommandIsRangeError) {
  for (bool Bus : {false, true}) {
    SCOPED_TRACE(Bus ? "bus" : "plain");
    Loader.SimpleBusMode = Bus;
    try {
      Loader.SendCmd("");
      FAIL() << "no range error";
    } catch (const std::out_of_range& E) {
      EXPECT_STREQ(E.what(), "Range check error");
    }
    EXPECT_EQ(Port.RtsRaised, Bus);  // raised before the check, as on the bus
  }
  EXPECT_EQ(Line.Receive(1, 50), "");
}

TEST(Delay, BlocksAndRefusesNegative) {
  EXPECT_THROW(Delay(-1), std::out_of_range);
  const auto Start = TClock::now();
  Delay(0);
  Delay(40);
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, 40);
  EXPECT_LT(Ms, 40 + cSlackMs);
}

// ---- Cost of an idle wait ----

double ThreadCpuMs() {
  rusage U{};
  ::getrusage(RUSAGE_THREAD, &U);
  const auto Ms = [](const timeval& T) {
    return static_cast<double>(T.tv_sec) * 1000.0 + static_cast<double>(T.tv_usec) / 1000.0;
  };
  return Ms(U.ru_utime) + Ms(U.ru_stime);
}

TEST_F(ChannelTest, IdleWaitCostsLittleProcessorTime) {
  const double CpuBefore = ThreadCpuMs();
  const auto Start = TClock::now();
  EXPECT_FALSE(Loader.WaitResponse(1, 1.0f));
  const double WallMs = MsSince(Start);
  const double CpuShare = (ThreadCpuMs() - CpuBefore) / WallMs;
  RecordProperty("IdleWaitCpuPercent", std::to_string(CpuShare * 100));
  std::printf("idle 1 s wait: %.2f%% of one core, %d polls\n", CpuShare * 100,
              View.ProcessMessagesCalls);
  // A spinning wait uses the whole core; the bound leaves room for a busy machine.
  EXPECT_LT(CpuShare, 0.25);
}

}  // namespace
