// POSIX backend of TCOMPort: termios, ioctl and flock on a tty device. The
// fd stays non-blocking; every wait is a poll against a monotonic deadline.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <thread>

#include "ComPort.h"
#include "RangeError.h"

namespace {

using TClock = std::chrono::steady_clock;
using TMs = std::chrono::milliseconds;

constexpr int cInvalidHandle = -1;
// Pause of WaitForInput while input already waits: poll would return at once.
constexpr int cQueuedInputPauseMs = 1;
// Bits on the line per character: start, 8 data, stop (8N1).
constexpr std::int64_t cBitsPerChar = 10;
// Longest single sleep while a write drains, so a queue that empties early
// is noticed soon.
constexpr auto cDrainPollStep = std::chrono::milliseconds(2);
// Added after the line time of a write: the time a UART or an adapter needs
// to start on bytes handed over, so the far side's silence after a write is
// never shorter than the pause the caller takes.
constexpr auto cDrainMargin = std::chrono::milliseconds(1);

struct TBaudEntry {
  std::int32_t Rate;  // bits per second
  speed_t Speed;      // termios code
};

// Standard rates that cfsetspeed understands everywhere. 0 is left out on
// purpose: B0 means "hang up".
constexpr TBaudEntry cBaudTable[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

// Milliseconds left until Deadline, rounded up so a poll never ends early.
int MsUntil(TClock::time_point Deadline) {
  const auto Left = Deadline - TClock::now();
  if (Left <= TClock::duration::zero()) return 0;
  const auto Ms = std::chrono::ceil<TMs>(Left).count();
  return static_cast<int>(std::min<std::int64_t>(Ms, 60 * 60 * 1000));
}

// The errors with which a device that went away (an adapter pulled out, the
// far side of a pty closed) fails every call.
bool IsGoneError(int Code) {
  return Code == EIO || Code == ENODEV || Code == ENXIO;
}

// Waits for Events on Fd until Deadline. True when the fd is ready; false on
// time-out, hang-up or error (a hung-up tty reports itself readable for good).
// A hang-up or error sets GoneError.
bool PollUntil(int Fd, short Events, TClock::time_point Deadline, std::int32_t& GoneError) {
  for (;;) {
    pollfd P{Fd, Events, 0};
    const int R = ::poll(&P, 1, MsUntil(Deadline));
    if (R > 0) {
      if (P.revents & POLLNVAL) GoneError = ENODEV;
      if (P.revents & (POLLHUP | POLLERR)) GoneError = EIO;
      return (P.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0;
    }
    if (R == 0) return false;
    if (errno != EINTR) return false;
  }
}

void ApplyRawLine(termios& T, std::int32_t BaudRate) {
  T.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK);
  T.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  T.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  T.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  T.c_cflag |= static_cast<tcflag_t>(CS8 | CLOCAL | CREAD);
  // With O_NONBLOCK this makes an empty queue read as EAGAIN (MIN 0 would
  // read as 0, indistinguishable from a hang-up); the time-outs are ours.
  T.c_cc[VMIN] = 1;
  T.c_cc[VTIME] = 0;
  // A rate the table lacks keeps the driver's speed, as a refused setting
  // would on Windows.
  for (const auto& E : cBaudTable) {
    if (E.Rate == BaudRate) ::cfsetspeed(&T, E.Speed);
  }
}

// Baud rate the line runs at, from the settings last written; 0 if unknown.
std::int64_t LineRate(const termios& T) {
  const speed_t Speed = ::cfgetospeed(&T);
  for (const auto& E : cBaudTable) {
    if (E.Speed == Speed) return E.Rate;
  }
  return 0;
}

// How long Count characters take on the line at Rate bits per second.
TClock::duration LineTime(std::int64_t Count, std::int64_t Rate) {
  if (Rate <= 0) return TClock::duration::zero();
  return std::chrono::duration_cast<TClock::duration>(
      std::chrono::nanoseconds(Count * cBitsPerChar * 1000000000 / Rate));
}

std::int32_t OutputQueued(int Fd) {
  int N = 0;
  if (::ioctl(Fd, TIOCOUTQ, &N) != 0) return 0;
  return N;
}

// Blocks until the driver's output queue is empty and LineEnd has passed, or
// until Deadline. A pty and a USB adapter's own buffer do not show in the
// queue count, hence the line time as a floor.
void WaitUntilSent(int Fd, TClock::time_point LineEnd, TClock::time_point Deadline) {
  for (;;) {
    const auto Now = TClock::now();
    if (Now >= Deadline) return;
    const bool Queued = OutputQueued(Fd) > 0;
    if (!Queued && Now >= LineEnd) return;
    const auto Next = Queued ? Now + cDrainPollStep : LineEnd;
    std::this_thread::sleep_until(std::min(Next, Deadline));
  }
}

#ifdef __linux__
// Asks the driver to hand received bytes on at once instead of on its timer
// (a USB-serial driver otherwise waits up to 16 ms). Returns the flags to
// restore; a driver that refuses (a pty does) is left as it is.
bool SetLowLatency(int Fd, int& SavedFlags) {
  serial_struct Serial{};
  if (::ioctl(Fd, TIOCGSERIAL, &Serial) != 0) return false;
  SavedFlags = Serial.flags;
  if (Serial.flags & ASYNC_LOW_LATENCY) return false;
  Serial.flags |= ASYNC_LOW_LATENCY;
  return ::ioctl(Fd, TIOCSSERIAL, &Serial) == 0;
}

void RestoreSerialFlags(int Fd, int Flags) {
  serial_struct Serial{};
  if (::ioctl(Fd, TIOCGSERIAL, &Serial) != 0) return;
  Serial.flags = Flags;
  (void)::ioctl(Fd, TIOCSSERIAL, &Serial);
}
#endif

void SetModemLines(int Fd, int Lines, bool Raise) {
  // A pty has no modem lines; the failure is ignored as on Windows.
  (void)::ioctl(Fd, Raise ? TIOCMBIS : TIOCMBIC, &Lines);
}

}  // namespace

const std::int32_t cPortGoneError = ENODEV;

void PausePrecisely(std::int32_t Ms) {
  // nanosleep keeps to the clock well under a millisecond.
  if (Ms > 0) std::this_thread::sleep_for(TMs(Ms));
}

bool TCOMPort::Open() {
  if (Enabled) Close();
  if (DeviceName.empty()) RangeError();

  FHandle = ::open(DeviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (FHandle < 0) {
    LastOpenError = errno;
    FHandle = cInvalidHandle;
    return false;
  }
  // Only a terminal is a serial port: anything else (a file, /dev/null)
  // would read as input for ever ready, and a wait would spin on it.
  if (!::isatty(FHandle)) {
    LastOpenError = ENOTTY;
    ::close(FHandle);
    FHandle = cInvalidHandle;
    return false;
  }
  // The lock first: TIOCEXCL is a flag of the tty, not of our fd, so it must
  // not be touched unless the port is ours.
  if (::flock(FHandle, LOCK_EX | LOCK_NB) != 0) {
    LastOpenError = errno;
    ::close(FHandle);
    FHandle = cInvalidHandle;
    return false;
  }
  LastOpenError = 0;
  LastIOError = 0;
  (void)::ioctl(FHandle, TIOCEXCL);

  FoundSettingsKnown = ::tcgetattr(FHandle, &FoundSettings) == 0;
  FoundModemLinesKnown = ::ioctl(FHandle, TIOCMGET, &FoundModemLines) == 0;
  Settings = FoundSettings;
  ApplyRawLine(Settings, BaudRate);
  (void)::tcsetattr(FHandle, TCSANOW, &Settings);
  // Start with an empty receive queue; queued output is left alone so bytes
  // written just before a reopen still go out.
  (void)::tcflush(FHandle, TCIFLUSH);
  SetModemLines(FHandle, TIOCM_DTR | TIOCM_RTS, false);
  RtsRaised = false;
#ifdef __linux__
  LowLatencySet = SetLowLatency(FHandle, SavedSerialFlags);
#endif

  Enabled = true;
  return true;
}

void TCOMPort::Close() {
  if (!Enabled) return;
#ifdef __linux__
  if (LowLatencySet) RestoreSerialFlags(FHandle, SavedSerialFlags);
  LowLatencySet = false;
#endif
  // Written bytes have left by now (Write waits for them), so the old speed
  // cannot garble them.
  if (FoundSettingsKnown) (void)::tcsetattr(FHandle, TCSANOW, &FoundSettings);
  if (FoundModemLinesKnown) {
    SetModemLines(FHandle, FoundModemLines & (TIOCM_DTR | TIOCM_RTS), true);
    SetModemLines(FHandle, ~FoundModemLines & (TIOCM_DTR | TIOCM_RTS), false);
  }
  FoundSettingsKnown = false;
  FoundModemLinesKnown = false;
  // Exclusive mode would outlive our fd while another party keeps the tty open.
  (void)::ioctl(FHandle, TIOCNXCL);
  (void)::flock(FHandle, LOCK_UN);
  ::close(FHandle);
  Enabled = false;
}

std::uint32_t TCOMPort::Write(const void* Buffer, std::int32_t Count) {
  if (Count < 0) RangeError();
  if (!Enabled || Count == 0) return 0;
  const auto Start = TClock::now();
  const auto Deadline = Start + TMs(std::int64_t{cWriteTotalTimeoutConstant} +
                                    std::int64_t{cWriteTotalTimeoutMultiplier} * Count);
  const auto* Bytes = static_cast<const std::uint8_t*>(Buffer);
  std::int32_t Done = 0;
  while (Done < Count) {
    const ssize_t R = ::write(FHandle, Bytes + Done, static_cast<std::size_t>(Count - Done));
    if (R > 0) {
      Done += static_cast<std::int32_t>(R);
      continue;
    }
    if (R < 0 && errno == EINTR) continue;
    if (R < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      if (IsGoneError(errno)) LastIOError = errno;
      break;
    }
    if (!PollUntil(FHandle, POLLOUT, Deadline, LastIOError)) break;
  }
  // Callers time what follows a write (a reply's wait, a pacing pause) from
  // its return, so it returns once the bytes have left the line.
  if (Done > 0 && LastIOError == 0) {
    WaitUntilSent(FHandle, Start + LineTime(Done, LineRate(Settings)) + cDrainMargin, Deadline);
  }
  return static_cast<std::uint32_t>(Done);
}

std::uint32_t TCOMPort::Read(void* Buffer, std::int32_t Count) {
  if (Count < 0) RangeError();
  if (!Enabled || Count == 0) return 0;
  const auto TotalDeadline = TClock::now() + TMs(std::int64_t{cReadTotalTimeoutConstant} +
                                                 std::int64_t{cReadTotalTimeoutMultiplier} * Count);
  auto* Bytes = static_cast<std::uint8_t*>(Buffer);
  std::int32_t Got = 0;
  auto Deadline = TotalDeadline;
  while (Got < Count) {
    const ssize_t R = ::read(FHandle, Bytes + Got, static_cast<std::size_t>(Count - Got));
    if (R > 0) {
      Got += static_cast<std::int32_t>(R);
      // After the first byte the read also ends on a gap between bytes.
      Deadline = std::min(TotalDeadline, TClock::now() + TMs(cReadIntervalTimeout));
      continue;
    }
    if (R < 0 && errno == EINTR) continue;
    // 0 is end of file (the far side went away); other errors end the read too.
    if (R == 0) LastIOError = EIO;
    if (R == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      if (R < 0 && IsGoneError(errno)) LastIOError = errno;
      break;
    }
    if (!PollUntil(FHandle, POLLIN, Deadline, LastIOError)) break;
  }
  return static_cast<std::uint32_t>(Got);
}

std::int32_t TCOMPort::InQueCount() {
  if (!Enabled) return -1;
  int N = 0;
  // A failed status call counts as nothing waiting: callers then read nothing.
  if (::ioctl(FHandle, FIONREAD, &N) != 0) {
    if (IsGoneError(errno)) LastIOError = errno;
    return 0;
  }
  return N;
}

std::int32_t TCOMPort::OutQueCount() {
  if (!Enabled) return -1;
  return OutputQueued(FHandle);
}

void TCOMPort::PurgeIn() {
  if (Enabled) (void)::tcflush(FHandle, TCIFLUSH);
}

void TCOMPort::PurgeOut() {
  if (Enabled) (void)::tcflush(FHandle, TCOFLUSH);
}

void TCOMPort::SetRts() {
  if (!Enabled) return;
  SetModemLines(FHandle, TIOCM_RTS, true);
  RtsRaised = true;
}

void TCOMPort::ClearRts() {
  if (!Enabled) return;
  SetModemLines(FHandle, TIOCM_RTS, false);
  RtsRaised = false;
}

void TCOMPort::WaitForInput(int MaxMs) {
  if (MaxMs <= 0) return;
  const auto Deadline = TClock::now() + TMs(MaxMs);
  if (!Enabled) {
    std::this_thread::sleep_until(Deadline);
    return;
  }
  if (InQueCount() > 0) {
    std::this_thread::sleep_for(TMs(std::min(MaxMs, cQueuedInputPauseMs)));
    return;
  }
  // A hang-up makes poll return at once and for good: sleep out the rest
  // (the caller learns from Gone() that nothing more will come).
  if (!PollUntil(FHandle, POLLIN, Deadline, LastIOError)) std::this_thread::sleep_until(Deadline);
}
