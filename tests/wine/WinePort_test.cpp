// The Win32 serial back end under Wine: port-agent.exe runs TCOMPort on a
// COM port that the prefix serves from a pty, and the test plays the far
// side, as the POSIX port tests do.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ComPort.h"
#include "HexText.h"
#include "Pty.h"
#include "WineRun.h"

namespace {

constexpr int cComNumber = 12;        // above 9: reached only as "\\.\COM12"
constexpr int cAbsentComNumber = 13;  // no device behind it
// Generous slack for upper bounds: the machine is shared and may be busy.
constexpr double cSlackMs = 1500;
constexpr int cSettleMs = 5000;  // longest wait for bytes to reach the program through Wine
// How late WaitForInput may notice a byte (median): the transit through the
// pty and Wine, and a busy machine (6 ms seen with a build beside it). A wait
// that does not wake on input lasts its whole limit of seconds.
constexpr double cWakeMs = 25;
constexpr int cReplyDelayMs = 40;  // the far side's answer to the agent's "?"
constexpr int cPingRounds = 5;
// CPU the agent may use in a wait of cLongWaitMs with a byte waiting: a
// spinning wait uses it all.
constexpr int cLongWaitMs = 1000;
constexpr double cWaitCpuShare = 0.25;

std::string AllByteValues() {
  std::string S;
  for (int i = 0; i < 256; ++i) S.push_back(static_cast<char>(i));
  return S;
}

// An empty regular file for as long as the object lives.
class TempFile {
 public:
  TempFile() {
    char Name[] = "/tmp/quarnel-wine-port-XXXXXX";
    const int Fd = ::mkstemp(Name);
    if (Fd >= 0) ::close(Fd);
    Name_ = Name;
  }
  ~TempFile() { std::remove(Name_.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& Path() const { return Name_; }
  std::string Contents() const {
    std::ifstream In(Name_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
  }

 private:
  std::string Name_;
};

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
  // How long WaitForInput(MaxMs) took, and the CPU time meanwhile (as Value).
  TTimed WaitForInput(int MaxMs) {
    std::istringstream In(Agent.Ask("waitinput " + std::to_string(MaxMs)));
    TTimed T;
    In >> T.Ms >> T.Value;
    return T;
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

  // A file behind a port name opens as a file, but is no serial port.
  const TempFile File;
  const TComLink ToFile{cAbsentComNumber, File.Path()};
  TWineSession OnFile = AgentFor(ToFile.Name());
  EXPECT_EQ(OnFile.Ask("open 9600"), "0");
  EXPECT_EQ(OnFile.Ask("openerror"), "not a serial device");
  EXPECT_EQ(Timed(OnFile.Ask("write 2e")).Value, "0");
  EXPECT_EQ(File.Contents(), "");
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

  // A reopen starts empty: on a bus, an echo from before would pass for a reply.
  ASSERT_TRUE(Line.Send("."));
  EXPECT_EQ(QueueReaches(1), "1");
  Open();
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
  Open(115200);  // a write lasts its line time: fast, so the line fills soon
  // The far side never reads: fill the line until it takes no more.
  ASSERT_GT(std::stoll(Agent.Ask("fill")), 0);
  const TTimed T = Write("0123456789");
  EXPECT_LT(std::stoi(T.Value), 10);
  EXPECT_GE(T.Ms, cWriteTotalTimeoutConstant + cWriteTotalTimeoutMultiplier * 10 - 1);
  EXPECT_LT(T.Ms, 50 + cSlackMs);
}

TEST_F(WinePortTest, WaitForInputEndsOnNewInputOrAtTheLimit) {
  Open();
  const double Waited = WaitForInput(50).Ms;
  EXPECT_GE(Waited, 49);
  EXPECT_LT(Waited, 50 + cSlackMs);

  // The agent sends "?" and waits; the far side answers cReplyDelayMs after
  // it came. Input that already waits does not end the wait: only new input
  // does, within a few milliseconds (the median of a few rounds, as a busy
  // machine delays single ones).
  for (const bool AlreadyWaiting : {false, true}) {
    SCOPED_TRACE(AlreadyWaiting ? "a byte already waits" : "nothing waits");
    std::vector<double> Late;
    for (int Round = 0; Round < cPingRounds; ++Round) {
      ASSERT_EQ(Agent.Ask("purgein"), "ok");
      if (AlreadyWaiting) {
        ASSERT_TRUE(Line.Send("!"));
        ASSERT_EQ(QueueReaches(1), "1");
      }
      double AnsweredAfterMs = 0;
      BackgroundTask FarSide([&] {
        if (Line.Receive(1, cSettleMs) != "?") return;
        const auto Seen = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(cReplyDelayMs));
        AnsweredAfterMs = MsSince(Seen);
        Line.Send("!");
      });
      const TTimed T = Timed(Agent.Ask("pingwait 5000"));
      FarSide.Join();
      EXPECT_EQ(T.Value, AlreadyWaiting ? "2" : "1");
      EXPECT_GE(T.Ms, AnsweredAfterMs);
      Late.push_back(T.Ms - AnsweredAfterMs);
    }
    std::sort(Late.begin(), Late.end());
    EXPECT_LT(Late[Late.size() / 2], cWakeMs);
  }

  // A byte that waits all along: the wait lasts its limit without spinning.
  const TTimed Long = WaitForInput(cLongWaitMs);
  EXPECT_GE(Long.Ms, cLongWaitMs - 1);
  EXPECT_LT(std::stod(Long.Value), cLongWaitMs * cWaitCpuShare);
}

// A UART with nothing behind it (the host's first, where it has one): Wine
// left a cancelled wait for its receive event pending for ever, so every
// search that reached such a port hung.
TEST_F(WinePortTest, WaitForInputOnAUartEndsAtItsLimit) {
  const char* const cUart = "/dev/ttyS0";
  const int Fd = ::open(cUart, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (Fd < 0) GTEST_SKIP() << cUart << " does not open here";
  ::close(Fd);
  const TComLink Uart(cAbsentComNumber, cUart);
  TWineSession UartAgent = AgentFor(Uart.Name());
  ASSERT_EQ(UartAgent.Ask("open 9600"), "1");
  for (int Round = 0; Round < 2; ++Round) {
    std::istringstream In(UartAgent.Ask("waitinput 50"));
    double Ms = -1;
    In >> Ms;
    EXPECT_GE(Ms, 49);
    EXPECT_LT(Ms, 50 + cSlackMs);
  }
}

}  // namespace
