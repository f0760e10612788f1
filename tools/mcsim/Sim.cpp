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
  ResetLineLocked();
}

void Sim::PowerCycle(const Config& config) {
  const bool running = thread_.joinable();
  Stop();  // the line hook must not see the pty change under it
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pty_.Master() < 0) pty_.Replug();
    controller_.PowerOn(config);
    outbox_.Clear();
    outBlocked_ = false;
    ResetLineLocked();
  }
  changed_.notify_all();
  if (running) Start();
}

void Sim::Unplug() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pty_.RemoveLink();
    if (pty_.Master() >= 0) {
      pty_.CloseMaster();
      controller_.NoteDisconnect(Clock::now());
    }
    outbox_.Clear();
    ResetLineLocked();
  }
  changed_.notify_all();
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
    HearArrivedLocked(now);
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
    timespec timeout{};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // A master that is gone (-1) or not read from is left out of the poll.
      const bool reading = !controller_.config().stopReading;
      fds[0].fd = reading || outBlocked_ ? pty_.Master() : -1;
      fds[0].events = static_cast<short>((reading ? POLLIN : 0) | (outBlocked_ ? POLLOUT : 0));
      fds[1].fd = wakeRead_.get();
      fds[1].events = POLLIN;
      const auto now = Clock::now();
      auto wait = std::chrono::duration_cast<Clock::duration>(Ms(cIdleTickMs));
      if (const auto next = NextWakeLocked())
        wait = std::clamp(*next - now, Clock::duration::zero(), wait);
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
      timeout.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    if (ppoll(fds, 2, &timeout, nullptr) < 0 && errno != EINTR) break;
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
      HearArrivedLocked(now);
      SendDueLocked(now);
    }
    changed_.notify_all();
  }
}

// The earliest moment something is due: a byte arriving from the tool, one
// going to it, or the adapter passing on what it holds.
std::optional<Clock::time_point> Sim::NextWakeLocked() const {
  std::optional<Clock::time_point> next;
  const auto consider = [&next](std::optional<Clock::time_point> t) {
    if (t && (!next || *t < *next)) next = t;
  };
  if (!incoming_.empty()) consider(incoming_.front().arrives);
  if (!outBlocked_) {
    consider(outbox_.NextDue());
    consider(usb_.NextDue());
    if (!usbOut_.empty()) consider(Clock::now());
  }
  return next;
}

// Reads until the pty has nothing more: a read on an empty master first
// pulls in everything the slave side has written, which the hook relies on.
void Sim::ReadLocked(Clock::time_point now) {
  if (pty_.Master() < 0 || controller_.config().stopReading) return;
  const int baud = pty_.LineBaud();
  char buffer[cReadChunk];
  for (;;) {
    const ssize_t n = read(pty_.Master(), buffer, sizeof buffer);
    if (n > 0) {
      HearLocked(std::string(buffer, static_cast<std::size_t>(n)), baud, now);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      // The pty broke (we hold the slave, so this is no reopen): treat it as
      // a pulled plug rather than spin on it.
      pty_.CloseMaster();
      controller_.NoteDisconnect(now);
      outbox_.Clear();
      ResetLineLocked();
    }
    return;
  }
}

// Bytes the tool has written: heard at once, or in line-speed mode each when
// its last bit has crossed the line.
void Sim::HearLocked(const std::string& bytes, int baud, Clock::time_point at) {
  if (!controller_.config().lineSpeed) {
    std::vector<Output> outputs;
    controller_.Receive(bytes, baud, at, outputs);
    Queue(outputs, at);
    return;
  }
  for (char c : bytes) incoming_.push_back(Incoming{c, baud, toController_.Carry(at, baud)});
  HearArrivedLocked(at);
}

void Sim::HearArrivedLocked(Clock::time_point now) {
  while (!incoming_.empty() && incoming_.front().arrives <= now) {
    const Incoming in = incoming_.front();
    incoming_.pop_front();
    std::vector<Output> outputs;
    controller_.Receive(std::string(1, in.byte), in.baud, in.arrives, outputs);
    Queue(outputs, in.arrives);
  }
}

// In line-speed mode a reply's characters follow each other on the line; an
// echo is the tool's own character coming back, with no line time of its own.
void Sim::Queue(const std::vector<Output>& outputs, Clock::time_point now) {
  const bool lineSpeed = controller_.config().lineSpeed;
  for (const Output& o : outputs) {
    const auto due = now + o.delay;
    if (!lineSpeed || o.echo || o.disconnect) {
      outbox_.Add(Pending{due, o.bytes, o.baud, o.disconnect, o.unplug});
      continue;
    }
    for (char c : o.bytes) {
      outbox_.Add(Pending{toTool_.Carry(due, o.baud), std::string(1, c), o.baud, false});
    }
  }
}

void Sim::ResetLineLocked() {
  incoming_.clear();
  usb_.Clear();
  usbOut_.clear();
  toController_.Reset();
  toTool_.Reset();
}

void Sim::SendDueLocked(Clock::time_point now) {
  FlushUsbLocked(now);
  while (!outBlocked_) {
    Pending* pending = outbox_.Due(now);
    if (pending == nullptr) return;
    if (pending->disconnect || pty_.Master() < 0) {
      if (pending->unplug) pty_.RemoveLink();
      if (pty_.Master() >= 0) {
        pty_.CloseMaster();
        controller_.NoteDisconnect(now);
      }
      outbox_.Clear();
      ResetLineLocked();
      return;
    }
    SendOneLocked(*pending, now);
    FlushUsbLocked(now);  // a full adapter buffer goes out at once
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
  if (controller_.config().usbAdapter) {
    for (char c : pending.bytes) usb_.Add(c, now);
    controller_.NoteSent(pending.bytes, pending.baud, true, now);
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

// The adapter hands its buffer to the host as one packet; what the pty does
// not take yet waits until it has room.
void Sim::FlushUsbLocked(Clock::time_point now) {
  usbOut_ += usb_.TakeDue(now);
  if (usbOut_.empty() || outBlocked_ || pty_.Master() < 0) return;
  const ssize_t n = write(pty_.Master(), usbOut_.data(), usbOut_.size());
  if (n > 0) usbOut_.erase(0, static_cast<std::size_t>(n));
  if (!usbOut_.empty() && (n >= 0 || errno == EAGAIN || errno == EWOULDBLOCK)) outBlocked_ = true;
  if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) usbOut_.clear();
}

}  // namespace mcsim
