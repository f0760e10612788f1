#include "Sim.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "LineHook.h"

namespace mcsim {
namespace {

// The longest the thread sleeps when nothing is due; stopping and new
// output wake it earlier through the wake pipe.
constexpr int cIdleTickMs = 100;
constexpr std::size_t cReadChunk = 4096;

UniqueFd NonBlocking(int fd) {
  UniqueFd owned(fd);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 ||
      fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) {
    throw std::system_error(errno, std::generic_category(), "fcntl");
  }
  return owned;
}

// A speed that cannot be told (0) matches any.
bool SameSpeed(int a, int b) {
  return a == b || a == 0 || b == 0;
}

}  // namespace

Sim::Sim(const Config& config) : pty_(config.linkPath), controller_(config) {
  int fds[2];
  if (pipe(fds) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  wakeRead_ = NonBlocking(fds[0]);
  wakeWrite_ = NonBlocking(fds[1]);
}

Sim::~Sim() {
  Stop();
}

void Sim::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  detail::RegisterLine(this);
  thread_ = std::thread([this] { Run(); });
}

void Sim::Stop() {
  if (!thread_.joinable()) return;
  detail::UnregisterLine(this);
  stop_ = true;
  Wake();
  thread_.join();
}

Config Sim::GetConfig() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return controller_.config();
}

void Sim::SetConfig(const Config& config) {
  std::lock_guard<std::mutex> lock(mutex_);
  controller_.Reset(config);
  outbox_.Clear();
}

Record Sim::GetRecord() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return controller_.record();
}

void Sim::ClearRecord() {
  std::lock_guard<std::mutex> lock(mutex_);
  controller_.ClearRecord();
}

Mode Sim::CurrentMode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return controller_.mode();
}

int Sim::ListeningBaud() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return controller_.ListeningBaud();
}

bool Sim::WaitFor(const std::function<bool(const Record&)>& done, Ms timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return done(controller_.record()); });
}

int Sim::ChangeLine(const std::function<int()>& change) {
  int result = 0;
  int error = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    ReadLocked(now);
    SendDueLocked(now);  // an echo goes out while its byte is on the line
    result = change();
    error = errno;
  }
  changed_.notify_all();
  Wake();
  errno = error;
  return result;
}

void Sim::Wake() {
  const char byte = 1;
  // A full pipe already holds a wake-up.
  [[maybe_unused]] const ssize_t n = write(wakeWrite_.get(), &byte, 1);
}

void Sim::Run() {
  while (!stop_) {
    pollfd fds[2] = {};
    int timeout = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fds[0].fd = pty_.Master();  // -1 after a disconnect: poll skips it
      fds[0].events = static_cast<short>(POLLIN | (outBlocked_ ? POLLOUT : 0));
      fds[1].fd = wakeRead_.get();
      fds[1].events = POLLIN;
      timeout = PollTimeoutMs(Clock::now());
    }
    if (poll(fds, 2, timeout) < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) {
      char sink[64];
      while (read(wakeRead_.get(), sink, sizeof sink) > 0) {
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto now = Clock::now();
      if (fds[0].revents & POLLOUT) outBlocked_ = false;
      if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) ReadLocked(now);
      SendDueLocked(now);
    }
    changed_.notify_all();
  }
}

int Sim::PollTimeoutMs(Clock::time_point now) const {
  const auto next = outbox_.NextDue();
  if (!next || outBlocked_) return cIdleTickMs;
  if (*next <= now) return 0;
  // Round up, so a reply never goes out before its time.
  const auto wait = std::chrono::ceil<Ms>(*next - now).count();
  return static_cast<int>(std::min<long long>(wait, cIdleTickMs));
}

// Reads until the pty has nothing more: a read on an empty master first
// pulls in everything the slave side has written, which the hook relies on.
void Sim::ReadLocked(Clock::time_point now) {
  if (pty_.Master() < 0) return;
  const int baud = pty_.LineBaud();
  char buffer[cReadChunk];
  for (;;) {
    const ssize_t n = read(pty_.Master(), buffer, sizeof buffer);
    if (n > 0) {
      std::vector<Output> outputs;
      controller_.Receive(std::string(buffer, static_cast<std::size_t>(n)), baud, now, outputs);
      Queue(outputs, now);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      // The pty broke (we hold the slave, so this is no reopen): treat it as
      // a pulled plug rather than spin on it.
      pty_.CloseMaster();
      controller_.NoteDisconnect(now);
      outbox_.Clear();
    }
    return;
  }
}

void Sim::Queue(const std::vector<Output>& outputs, Clock::time_point now) {
  for (const Output& o : outputs) {
    outbox_.Add(Pending{now + o.delay, o.bytes, o.baud, o.disconnect});
  }
}

void Sim::SendDueLocked(Clock::time_point now) {
  while (!outBlocked_) {
    Pending* pending = outbox_.Due(now);
    if (pending == nullptr) return;
    if (pending->disconnect || pty_.Master() < 0) {
      if (pty_.Master() >= 0) {
        pty_.CloseMaster();
        controller_.NoteDisconnect(now);
      }
      outbox_.Clear();
      return;
    }
    SendOneLocked(*pending, now);
  }
}

// Bytes sent while the tool's port runs at another speed reach it as noise;
// they are recorded as not delivered and left out.
void Sim::SendOneLocked(Pending& pending, Clock::time_point now) {
  if (!SameSpeed(pty_.LineBaud(), pending.baud)) {
    controller_.NoteSent(pending.bytes, pending.baud, false, now);
    outbox_.PopFront();
    return;
  }
  const ssize_t n = write(pty_.Master(), pending.bytes.data(), pending.bytes.size());
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      outBlocked_ = true;
    } else if (errno != EINTR) {
      controller_.NoteSent(pending.bytes, pending.baud, false, now);
      outbox_.PopFront();
    }
    return;
  }
  const auto written = static_cast<std::size_t>(n);
  controller_.NoteSent(pending.bytes.substr(0, written), pending.baud, true, now);
  if (written == pending.bytes.size()) {
    outbox_.PopFront();
  } else {
    pending.bytes.erase(0, written);
    outBlocked_ = true;
  }
}

}  // namespace mcsim
