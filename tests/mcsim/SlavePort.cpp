#include "SlavePort.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace mcsim_test {
namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<Ms>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

SlavePort::SlavePort(const std::string& path, speed_t speed) : path_(path) {
  Open(speed);
}

SlavePort::~SlavePort() {
  if (fd_ >= 0) close(fd_);
}

void SlavePort::Open(speed_t speed) {
  fd_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) Fail("open");
  SetSpeed(speed);
  tcflush(fd_, TCIFLUSH);
}

void SlavePort::SetSpeed(speed_t speed) {
  termios t{};
  if (tcgetattr(fd_, &t) != 0) Fail("tcgetattr");
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  cfsetspeed(&t, speed);
  if (tcsetattr(fd_, TCSANOW, &t) != 0) Fail("tcsetattr");
}

void SlavePort::Reopen(speed_t speed) {
  close(fd_);
  Open(speed);
}

void SlavePort::Write(const std::string& bytes) {
  std::size_t done = 0;
  const auto deadline = Clock::now() + cPrompt;
  while (done < bytes.size()) {
    const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      Fail("write");
    } else if (Clock::now() > deadline) {
      throw std::runtime_error("write stalled");
    } else {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, RemainingMs(deadline));
    }
  }
}

std::string SlavePort::Read(std::size_t count, Ms timeout) {
  std::string got;
  const auto deadline = Clock::now() + timeout;
  while (got.size() < count) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, RemainingMs(deadline)) <= 0) break;
    char buffer[256];
    const std::size_t want = std::min(sizeof buffer, count - got.size());
    const ssize_t n = read(fd_, buffer, want);
    if (n > 0) {
      got.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      break;
    }
  }
  return got;
}

std::string SlavePort::ReadFor(Ms window) {
  std::string got;
  const auto deadline = Clock::now() + window;
  for (int left = RemainingMs(deadline); left > 0; left = RemainingMs(deadline)) {
    got += Read(4096, Ms{left});
  }
  return got;
}

bool SlavePort::HungUp(Ms timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, RemainingMs(deadline)) <= 0) return false;
    if (p.revents & (POLLHUP | POLLERR)) return true;
    char buffer[64];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n == 0 || (n < 0 && errno == EIO)) return true;
  }
}

std::string Frame(const std::vector<std::uint8_t>& bytes) {
  std::string frame;
  for (std::uint8_t b : bytes) {
    frame += static_cast<char>(0x30 + (b >> 4));
    frame += static_cast<char>(0x30 + (b & 0x0F));
  }
  return frame;
}

}  // namespace mcsim_test
