// TCOMPort against a pty whose far side the test plays.
#include "ComPort.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "PortPoll.h"
#include "Pty.h"

namespace {

using TClock = std::chrono::steady_clock;

// Generous slack for upper bounds: the machine is shared and may be busy.
constexpr double cSlackMs = 1500;
constexpr int cSettleMs = 1000;  // longest wait for bytes to cross the pty

std::string AllByteValues() {
  std::string S;
  for (int i = 0; i < 256; ++i) S.push_back(static_cast<char>(i));
  return S;
}

// Opens Path in a child process that lacks the right to ignore a tty's
// exclusive mode (root has it). Returns 0 when the open worked, else errno.
int PlainOpenWithoutAdminRight(const std::string& Path) {
  const pid_t Child = ::fork();
  if (Child == 0) {
    __user_cap_header_struct Header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct Data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &Header, Data) == 0) {
      Data[CAP_SYS_ADMIN / 32].effective &= ~(1u << (CAP_SYS_ADMIN % 32));
      ::syscall(SYS_capset, &Header, Data);
    }
    const int Fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ::_exit(Fd >= 0 ? 0 : (errno & 0x7F));
  }
  int Status = 0;
  ::waitpid(Child, &Status, 0);
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Port.DeviceName = Line.SlavePath();
    Port.BaudRate = 9600;
  }
  void TearDown() override { Port.Close(); }

  // Waits until the port sees Count bytes queued (the pty hands data over
  // asynchronously).
  bool QueueReaches(std::int32_t Count) { return ::QueueReaches(Port, Count, cSettleMs); }

  std::string ReadString(std::int32_t Count) { return ::ReadString(Port, Count); }

  Pty Line;
  TCOMPort Port;
};

// ---- Opening and closing ----

TEST_F(PortTest, MissingDeviceOrNonTerminalDoesNotOpen) {
  // A typed path may name anything: a file or /dev/null is no serial port,
  // and would read as ever-ready input that a wait spins on.
  for (const char* Name : {"/dev/quarnel-no-such-port", "/dev/null", "/proc/self/status"}) {
    SCOPED_TRACE(Name);
    Port.DeviceName = Name;
    EXPECT_FALSE(Port.Open());
    EXPECT_FALSE(Port.Enabled);
    EXPECT_EQ(Port.FHandle, -1);
    EXPECT_EQ(Port.InQueCount(), -1);
    EXPECT_EQ(Port.OutQueCount(), -1);
  }
}

TEST_F(PortTest, EmptyNameIsRangeErrorAndClosesFirst) {
  ASSERT_TRUE(Port.Open());
  Port.DeviceName.clear();
  try {
    Port.Open();
    FAIL() << "no range error";
  } catch (const std::out_of_range& E) {
    EXPECT_STREQ(E.what(), "Range check error");
  }
  EXPECT_FALSE(Port.Enabled);
  // The device was released: another object can have it now.
  TCOMPort Other;
  Other.DeviceName = Line.SlavePath();
  EXPECT_TRUE(Other.Open());
  Other.Close();
}

TEST_F(PortTest, NegativeCountsAreRangeErrorsOpenOrClosed) {
  char Buf[4] = {};
  for (bool Open : {false, true}) {
    SCOPED_TRACE(Open ? "open" : "closed");
    if (Open) {
      ASSERT_TRUE(Port.Open());
    }
    EXPECT_THROW(Port.Read(Buf, -1), std::out_of_range);
    EXPECT_THROW(Port.Write(Buf, -1), std::out_of_range);
  }
  EXPECT_EQ(Line.Receive(1, 50), "");  // nothing was written
}

TEST_F(PortTest, HeldPortDoesNotOpenUntilReleased) {
  ASSERT_TRUE(Port.Open());
  TCOMPort Other;
  Other.DeviceName = Line.SlavePath();
  EXPECT_FALSE(Other.Open());
  EXPECT_FALSE(Other.Enabled);
  EXPECT_EQ(Other.FHandle, -1);
  // The failed attempt must not have disturbed the holder.
  EXPECT_TRUE(Port.Enabled);
  ASSERT_TRUE(Line.Send("x"));
  EXPECT_TRUE(QueueReaches(1));

  Port.Close();
  EXPECT_TRUE(Other.Open());
  EXPECT_FALSE(Port.Open());
  Other.Close();
}

TEST_F(PortTest, ExclusiveModeLastsExactlyWhileOpen) {
  ASSERT_EQ(PlainOpenWithoutAdminRight(Line.SlavePath()), 0);
  ASSERT_TRUE(Port.Open());
  EXPECT_EQ(PlainOpenWithoutAdminRight(Line.SlavePath()), EBUSY);
  // The far side keeps the tty alive: exclusive mode must not outlive us.
  Port.Close();
  EXPECT_EQ(PlainOpenWithoutAdminRight(Line.SlavePath()), 0);
}

TEST_F(PortTest, OpenTwiceClosesTheFirstHandle) {
  ASSERT_TRUE(Port.Open());
  // Without the close first, the second open would meet our own lock.
  ASSERT_TRUE(Port.Open());
  EXPECT_TRUE(Port.Enabled);
  Port.Close();
  EXPECT_FALSE(Port.Enabled);
  Port.Close();  // closing a closed port does nothing
  ASSERT_TRUE(Port.Open());
}

TEST_F(PortTest, OpenSetsRawLineAtTheRate) {
  struct TCase {
    std::int32_t Rate;
    speed_t Expected;
  };
  const TCase Cases[] = {{9600, B9600}, {38400, B38400}, {115200, B115200}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Rate);
    Port.BaudRate = C.Rate;
    ASSERT_TRUE(Port.Open());
    termios T{};
    ASSERT_EQ(::tcgetattr(Line.MasterFd(), &T), 0);  // the line as the far side sees it
    EXPECT_EQ(::cfgetospeed(&T), C.Expected);
    EXPECT_EQ(::cfgetispeed(&T), C.Expected);
    EXPECT_EQ(T.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(T.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(T.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(T.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK), 0u);
    EXPECT_EQ(T.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(T.c_oflag & OPOST, 0u);
    EXPECT_FALSE(Port.RtsRaised);
  }
  Port.BaudRate = 12345;  // not a standard rate: refused, yet the port opens
  EXPECT_TRUE(Port.Open());
}

TEST_F(PortTest, FreshOpenDropsOldInputButNotOutput) {
  ASSERT_TRUE(Port.Open());
  ASSERT_TRUE(Line.Send("stale"));
  ASSERT_TRUE(QueueReaches(5));
  // More than the far side's line buffer holds, so part of it still waits
  // in the driver when the port reopens.
  std::string Last(10000, '\0');
  for (std::size_t i = 0; i < Last.size(); ++i) Last[i] = static_cast<char>('a' + i % 26);
  Last.resize(Port.Write(Last.data(), static_cast<std::int32_t>(Last.size())));
  ASSERT_GT(Last.size(), 4096u);
  ASSERT_TRUE(Port.Open());
  EXPECT_EQ(Port.InQueCount(), 0);
  EXPECT_EQ(Line.Receive(Last.size(), cSettleMs), Last);
}

TEST_F(PortTest, ClosedPortDoesNothing) {
  ASSERT_TRUE(Port.Open());
  Port.Close();
  char Buf[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(Port.InQueCount(), -1);
  EXPECT_EQ(Port.OutQueCount(), -1);
  EXPECT_EQ(Port.Write(Buf, 4), 0u);
  EXPECT_EQ(Port.Read(Buf, 4), 0u);
  Port.PurgeIn();
  Port.PurgeOut();
  Port.SetRts();
  EXPECT_FALSE(Port.RtsRaised);
  EXPECT_EQ(Line.Receive(1, 50), "");
}

// ---- Bytes and queues ----

TEST_F(PortTest, EveryByteValuePassesBothWays) {
  ASSERT_TRUE(Port.Open());
  const std::string All = AllByteValues();  // 0x00, 0x11 (XON), 0x13 (XOFF), CR, LF, ^C ...
  ASSERT_TRUE(Line.Send(All));
  EXPECT_EQ(ReadString(256), All);
  EXPECT_EQ(Port.Write(All.data(), 256), 256u);
  EXPECT_EQ(Line.Receive(256, cSettleMs), All);
}

TEST_F(PortTest, QueueCountsAndPurge) {
  ASSERT_TRUE(Port.Open());
  EXPECT_EQ(Port.InQueCount(), 0);
  EXPECT_GE(Port.OutQueCount(), 0);
  ASSERT_TRUE(Line.Send("12345"));
  ASSERT_TRUE(QueueReaches(5));
  EXPECT_EQ(Port.InQueCount(), 5);
  Port.PurgeIn();
  EXPECT_EQ(Port.InQueCount(), 0);
  ASSERT_TRUE(Line.Send("ab"));
  ASSERT_TRUE(QueueReaches(2));
  EXPECT_EQ(ReadString(2), "ab");
  EXPECT_EQ(Port.InQueCount(), 0);
}

// ---- Read and write time-outs ----

TEST_F(PortTest, ReadEndsOnSilenceAfterTheLastByte) {
  ASSERT_TRUE(Port.Open());
  ASSERT_TRUE(Line.Send("abc"));
  ASSERT_TRUE(QueueReaches(3));
  const auto Start = TClock::now();
  EXPECT_EQ(ReadString(9), "abc");
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, cReadIntervalTimeout - 1);
  EXPECT_LT(Ms, 518 + cSlackMs);
}

TEST_F(PortTest, ReadOfWaitingBytesDoesNotWaitForTheTotal) {
  ASSERT_TRUE(Port.Open());
  ASSERT_TRUE(Line.Send("123456789"));
  ASSERT_TRUE(QueueReaches(9));
  const auto Start = TClock::now();
  EXPECT_EQ(ReadString(0), "");
  EXPECT_EQ(ReadString(9), "123456789");
  EXPECT_LT(MsSince(Start), 500);
}

TEST_F(PortTest, ReadWithNothingArrivingWaitsTheTotal) {
  ASSERT_TRUE(Port.Open());
  const auto Start = TClock::now();
  EXPECT_EQ(ReadString(9), "");
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, 518 - 1);  // 500 ms + 2 ms per byte asked for
  EXPECT_LT(Ms, 518 + cSlackMs);
}

TEST_F(PortTest, ReadWaitsForBytesThatArriveLate) {
  ASSERT_TRUE(Port.Open());
  const auto Start = TClock::now();
  BackgroundTask FarSide([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Line.Send("xyz");
  });
  EXPECT_EQ(ReadString(9), "xyz");
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, 100 + cReadIntervalTimeout - 1);
  EXPECT_LT(Ms, 518 + cSlackMs);
}

TEST_F(PortTest, ReadOfAStreamEndsAtTheTotal) {
  ASSERT_TRUE(Port.Open());
  std::atomic<bool> Stop{false};
  BackgroundTask FarSide([&] {
    const auto Start = TClock::now();
    while (!Stop && MsSince(Start) < 5000) {
      Line.Send("s");
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const auto Start = TClock::now();
  const std::string Got = ReadString(1000);  // total 500 + 2000 ms
  const double Ms = MsSince(Start);
  Stop = true;
  EXPECT_GT(Got.size(), 0u);
  EXPECT_LT(Got.size(), 1000u);
  // A read bounded only by the gap between bytes would last the whole stream.
  EXPECT_LT(Ms, 2500 + cSlackMs);
}

TEST_F(PortTest, WriteIsBoundedWhenTheLineIsBlocked) {
  ASSERT_TRUE(Port.Open());
  // The far side stops reading: fill every buffer on the way until the
  // driver refuses more.
  const std::string Chunk(4096, 'f');
  for (int Round = 0; Round < 2; ++Round) {
    while (::write(Port.FHandle, Chunk.data(), Chunk.size()) > 0) {
    }
    ASSERT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const auto Start = TClock::now();
  EXPECT_EQ(Port.Write("0123456789", 10), 0u);
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, cWriteTotalTimeoutConstant + 2 * 10 - 1);
  EXPECT_LT(Ms, 50 + cSlackMs);
}

TEST_F(PortTest, ReadEndsWhenTheFarSideHangsUp) {
  ASSERT_TRUE(Port.Open());
  ASSERT_TRUE(Line.Send("ab"));
  ASSERT_TRUE(QueueReaches(2));
  Line.CloseMaster();
  char Buf[9];
  const auto Start = TClock::now();
  EXPECT_LE(Port.Read(Buf, 9), 2u);
  EXPECT_LT(MsSince(Start), 518 + cSlackMs);
}

// ---- Waiting for input ----

TEST_F(PortTest, WaitForInputBlocksUntilInputOrTheLimit) {
  // Closed: a plain pause.
  auto Start = TClock::now();
  Port.WaitForInput(50);
  EXPECT_GE(MsSince(Start), 49);

  ASSERT_TRUE(Port.Open());
  Start = TClock::now();
  Port.WaitForInput(50);
  EXPECT_GE(MsSince(Start), 49);

  Start = TClock::now();
  {
    BackgroundTask FarSide([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      Line.Send("!");
    });
    Port.WaitForInput(5000);
  }
  const double Ms = MsSince(Start);
  EXPECT_GE(Ms, 29);
  EXPECT_LT(Ms, 30 + cSlackMs);

  // The "!" still waits: a brief pause, never the limit.
  ASSERT_TRUE(QueueReaches(1));
  Start = TClock::now();
  Port.WaitForInput(5000);
  EXPECT_LT(MsSince(Start), cSlackMs);
}

TEST_F(PortTest, WaitForInputDoesNotReturnAtOnceAfterAHangUp) {
  ASSERT_TRUE(Port.Open());
  Line.CloseMaster();
  const auto Start = TClock::now();
  Port.WaitForInput(50);
  EXPECT_GE(MsSince(Start), 49);
}

}  // namespace

namespace {

// ---- What the port leaves behind ----

bool SameLine(const termios& A, const termios& B) {
  return A.c_iflag == B.c_iflag && A.c_oflag == B.c_oflag && A.c_cflag == B.c_cflag &&
         A.c_lflag == B.c_lflag && ::cfgetospeed(&A) == ::cfgetospeed(&B) &&
         ::cfgetispeed(&A) == ::cfgetispeed(&B) &&
         std::equal(std::begin(A.c_cc), std::end(A.c_cc), std::begin(B.c_cc));
}

// A console or a terminal typed as the port: cooked, echoing, at 4800. The
// port must run raw at its own speed while open and put all of it back.
TEST_F(PortTest, CloseRestoresTheLineSettingsOpenFound) {
  const int Fd = ::open(Line.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(Fd, 0);
  termios Console{};
  ASSERT_EQ(::tcgetattr(Fd, &Console), 0);
  Console.c_lflag |= ICANON | ECHO | ISIG;
  Console.c_iflag |= ICRNL | IXON;
  Console.c_oflag |= OPOST;
  ::cfsetspeed(&Console, B4800);
  ASSERT_EQ(::tcsetattr(Fd, TCSANOW, &Console), 0);
  termios Before{};
  ASSERT_EQ(::tcgetattr(Fd, &Before), 0);

  for (int Round = 0; Round < 2; ++Round) {  // a reopen must not take raw for found
    ASSERT_TRUE(Port.Open());
    termios Open{};
    ASSERT_EQ(::tcgetattr(Fd, &Open), 0);
    EXPECT_EQ(Open.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(::cfgetospeed(&Open), speed_t{B9600});
    Port.Close();
  }
  termios After{};
  ASSERT_EQ(::tcgetattr(Fd, &After), 0);
  EXPECT_TRUE(SameLine(Before, After));
  ::close(Fd);
}

// ---- A device that goes away ----

TEST_F(PortTest, AHangUpIsKeptAsTheLastIOErrorUntilTheNextOpen) {
  ASSERT_TRUE(Port.Open());
  EXPECT_FALSE(Port.Gone());
  Line.CloseMaster();
  char Buf[4];
  EXPECT_EQ(Port.Read(Buf, 4), 0u);
  EXPECT_TRUE(Port.Gone());
  EXPECT_EQ(Port.LastIOError, EIO);
  EXPECT_EQ(Port.Write("x", 1), 0u);
  Port.Close();
  EXPECT_TRUE(Port.Gone()) << "the clean-up must not hide why the operation ended";

  // Its name gone too: the next Open fails, and still the port is gone.
  Port.DeviceName = "/dev/quarnel-no-such-adapter";
  EXPECT_FALSE(Port.Open());
  EXPECT_TRUE(Port.Gone());

  Pty Again;
  Port.DeviceName = Again.SlavePath();
  ASSERT_TRUE(Port.Open());
  EXPECT_EQ(Port.LastIOError, 0);
  EXPECT_FALSE(Port.Gone());
}

// A wait notices the hang-up by itself, without a read.
TEST_F(PortTest, WaitForInputNotesAHangUp) {
  ASSERT_TRUE(Port.Open());
  Line.CloseMaster();
  Port.WaitForInput(20);
  EXPECT_TRUE(Port.Gone());
}

}  // namespace
