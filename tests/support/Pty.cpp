#include "Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace {

using TClock = std::chrono::steady_clock;

// Pause when the master reports a hang-up while it waits for data: poll would
// return at once again.
constexpr int cHangUpPauseMs = 1;
constexpr std::size_t cReadChunk = 4096;

int MsLeft(TClock::time_point Deadline) {
  const auto Left = std::chrono::ceil<std::chrono::milliseconds>(Deadline - TClock::now());
  return Left.count() > 0 ? static_cast<int>(Left.count()) : 0;
}

}  // namespace

double MsSince(std::chrono::steady_clock::time_point Start) {
  return std::chrono::duration<double, std::milli>(TClock::now() - Start).count();
}

Pty::Pty() {
  Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0) {
    if (Master >= 0) ::close(Master);
    throw std::runtime_error("no pseudo-terminal available");
  }
  SlaveName = ::ptsname(Master);
  SlaveKeeper = ::open(SlaveName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

Pty::~Pty() {
  CloseMaster();
  if (SlaveKeeper >= 0) ::close(SlaveKeeper);
}

bool Pty::Send(const std::string& Bytes) {
  std::size_t Done = 0;
  const auto Deadline = TClock::now() + std::chrono::seconds(5);
  while (Done < Bytes.size() && Master >= 0) {
    const ssize_t R = ::write(Master, Bytes.data() + Done, Bytes.size() - Done);
    if (R > 0) {
      Done += static_cast<std::size_t>(R);
      continue;
    }
    if (R < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd P{Master, POLLOUT, 0};
    if (::poll(&P, 1, MsLeft(Deadline)) == 0) return false;
  }
  return Done == Bytes.size();
}

std::string Pty::Receive(std::size_t Count, int TimeoutMs) {
  std::string Got;
  const auto Deadline = TClock::now() + std::chrono::milliseconds(TimeoutMs);
  while (Got.size() < Count && Master >= 0) {
    char Buf[cReadChunk];
    const std::size_t Want = std::min(Count - Got.size(), sizeof Buf);
    const ssize_t R = ::read(Master, Buf, Want);
    if (R > 0) {
      Got.append(Buf, static_cast<std::size_t>(R));
      continue;
    }
    if (TClock::now() >= Deadline) break;
    if (R < 0 && errno == EIO) {  // no slave open at the moment
      ::usleep(cHangUpPauseMs * 1000);
      continue;
    }
    pollfd P{Master, POLLIN, 0};
    ::poll(&P, 1, MsLeft(Deadline));
  }
  return Got;
}

std::string Pty::ReceiveAvailable() {
  std::string Got;
  char Buf[cReadChunk];
  ssize_t R = 0;
  while (Master >= 0 && (R = ::read(Master, Buf, sizeof Buf)) > 0) {
    Got.append(Buf, static_cast<std::size_t>(R));
  }
  return Got;
}

void Pty::CloseMaster() {
  if (Master >= 0) ::close(Master);
  Master = -1;
}
