// The Win32 serial back end under Wine: port-agent.exe runs TCOMPort on a
// COM port that the prefix serves from a pty, and the test plays the far
// side, as the POSIX port tests do.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>

#include "ComPort.h"
#include "Pty.h"
#include "WineRun.h"

namespace {

constexpr int cComNumber = 12;        // above 9: reached only as "\\.\COM12"
constexpr int cAbsentComNumber = 13;  // no device behind it
// Generous slack for upper bounds: the machine is shared and may be busy.
constexpr double cSlackMs = 1500;
constexpr int cSettleMs = 5000;  // longest wait for bytes to reach the program through Wine

std::string AllByteValues() {
  std::string S;
  for (int i = 0; i < 256; ++i) S.push_back(static_cast<char>(i));
  return S;
}

std::string Hex(const std::string& Bytes) {
  if (Bytes.empty()) return "-";
  std::string Out;
  char Pair[3];
  for (unsigned char C : Bytes) {
    std::snprintf(Pair, sizeof Pair, "%02x", C);
    Out += Pair;
  }
  return Out;
}

std::string Unhex(const std::string& Text) {
  std::string Out;
  if (Text == "-") return Out;
  for (std::size_t I = 0; I + 1 < Text.size(); I += 2) {
    Out += static_cast<char>(std::stoi(Text.substr(I, 2), nullptr, 16));
  }
  return Out;
}

// An answer of the agent: bytes (or a count) and the milliseconds taken.
struct TTimed {
  std::string Value;
  double Ms = -1;
};

TTimed Timed(const std::string& Answer) {
  TTimed T;
  std::istringstream In(Answer);
  In >> T.Value >> T.Ms;
  return T;
}

class WinePortTest : public testing::Test {
 protected:
  TWineSession AgentFor(const std::string& Com) {
    return TWineSession(WindowsProgram("tests/windows/port-agent.exe"),
                        {{"QUARNEL_TEST_COM", Com}});
  }

  void Open(int Rate = 9600) { ASSERT_EQ(Agent.Ask("open " + std::to_string(Rate)), "1"); }
  TTimed Read(int Count) {
    TTimed T = Timed(Agent.Ask("read " + std::to_string(Count)));
    T.Value = Unhex(T.Value);
    return T;
  }
  TTimed Write(const std::string& Bytes) { return Timed(Agent.Ask("write " + Hex(Bytes))); }
  // The count the program's port sees once at least Count bytes wait.
  std::string QueueReaches(int Count) {
    return Agent.Ask("waitque " + std::to_string(Count) + " " + std::to_string(cSettleMs));
  }
  double WaitForInput(int MaxMs) {
    return std::stod(Agent.Ask("waitinput " + std::to_string(MaxMs)));
  }

  Pty Line;
  TComLink Link{cComNumber, Line.SlavePath()};
  TWineSession Agent = AgentFor(Link.Name());
};

TEST_F(WinePortTest, OpensARawLineAtTheRateOnlyWhereADeviceIs) {
  const std::pair<int, speed_t> Cases[] = {{9600, B9600}, {38400, B38400}, {115200, B115200}};
  for (const auto& [Rate, Speed] : Cases) {
    SCOPED_TRACE(Rate);
    Open(Rate);  // from the second on, over an open port
    termios T{};
    ASSERT_EQ(::tcgetattr(Line.MasterFd(), &T), 0);  // the line as the far side sees it
    EXPECT_EQ(::cfgetospeed(&T), Speed);
    EXPECT_EQ(T.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(T.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(T.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(T.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK), 0u);
    EXPECT_EQ(T.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(T.c_oflag & OPOST, 0u);
  }
  EXPECT_EQ(Agent.Ask("close"), "ok");
  EXPECT_EQ(Agent.Ask("inque"), "-1");
  EXPECT_EQ(Agent.Ask("outque"), "-1");

  TWineSession Elsewhere = AgentFor("COM" + std::to_string(cAbsentComNumber));
  EXPECT_EQ(Elsewhere.Ask("open 9600"), "0");
  EXPECT_EQ(Elsewhere.Ask("inque"), "-1");
}

TEST_F(WinePortTest, EveryByteValuePassesBothWays) {
  Open();
  const std::string All = AllByteValues();  // 0x00, XON, XOFF, CR, LF, ^C ...
  ASSERT_TRUE(Line.Send(All));
  EXPECT_EQ(QueueReaches(256), "256");
  EXPECT_EQ(Read(256).Value, All);
  EXPECT_EQ(Write(All).Value, "256");
  EXPECT_EQ(Line.Receive(256, cSettleMs), All);
}

TEST_F(WinePortTest, QueueCountsAndPurge) {
  Open();
  EXPECT_EQ(Agent.Ask("inque"), "0");
  EXPECT_EQ(Agent.Ask("outque"), "0");
  ASSERT_TRUE(Line.Send("12345"));
  EXPECT_EQ(QueueReaches(5), "5");
  EXPECT_EQ(Agent.Ask("purgein"), "ok");
  EXPECT_EQ(Agent.Ask("inque"), "0");
  ASSERT_TRUE(Line.Send("ab"));
  EXPECT_EQ(QueueReaches(2), "2");
  EXPECT_EQ(Read(2).Value, "ab");
  EXPECT_EQ(Agent.Ask("inque"), "0");
}

TEST_F(WinePortTest, ReadTimeOuts) {
  Open();
  // Nothing comes: 500 ms + 2 ms per byte asked for.
  TTimed T = Read(9);
  EXPECT_EQ(T.Value, "");
  EXPECT_GE(T.Ms, 518 - 1);
  EXPECT_LT(T.Ms, 518 + cSlackMs);

  // Fewer bytes than asked for: the read ends 30 ms after the last.
  ASSERT_TRUE(Line.Send("abc"));
  ASSERT_EQ(QueueReaches(3), "3");
  T = Read(9);
  EXPECT_EQ(T.Value, "abc");
  EXPECT_GE(T.Ms, cReadIntervalTimeout - 1);
  EXPECT_LT(T.Ms, 518 + cSlackMs);

  // All that was asked for already waits: no time-out at all.
  ASSERT_TRUE(Line.Send("123456789"));
  ASSERT_EQ(QueueReaches(9), "9");
  T = Read(9);
  EXPECT_EQ(T.Value, "123456789");
  EXPECT_LT(T.Ms, cReadTotalTimeoutConstant);

  // Bytes that come while the read waits are taken.
  BackgroundTask FarSide([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Line.Send("xyz");
  });
  T = Read(9);
  EXPECT_EQ(T.Value, "xyz");
  EXPECT_GE(T.Ms, cReadIntervalTimeout - 1);
  EXPECT_LT(T.Ms, 518 + cSlackMs);
}

TEST_F(WinePortTest, WriteIsBoundedWhenTheLineIsBlocked) {
  Open();
  // The far side never reads: fill the line until it takes no more.
  ASSERT_GT(std::stoll(Agent.Ask("fill")), 0);
  const TTimed T = Write("0123456789");
  EXPECT_LT(std::stoi(T.Value), 10);
  EXPECT_GE(T.Ms, cWriteTotalTimeoutConstant + cWriteTotalTimeoutMultiplier * 10 - 1);
  EXPECT_LT(T.Ms, 50 + cSlackMs);
}

TEST_F(WinePortTest, WaitForInputEndsOnInputOrAtTheLimit) {
  Open();
  EXPECT_GE(WaitForInput(50), 49);

  BackgroundTask FarSide([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    Line.Send("!");
  });
  EXPECT_LT(WaitForInput(5000), 30 + cSlackMs);
  FarSide.Join();

  // The "!" still waits: a brief pause, never the limit.
  ASSERT_EQ(QueueReaches(1), "1");
  EXPECT_LT(WaitForInput(5000), cSlackMs);
}

}  // namespace
