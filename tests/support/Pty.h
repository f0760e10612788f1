// A pseudo-terminal pair for port and loader tests. The port under test opens
// SlavePath() like a serial device; the test plays the far side (the
// controller) on the master fd.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <utility>

class Pty {
 public:
  // Opens a fresh pair. The line starts in the system's default (cooked)
  // mode, echo and character mapping on, as an unconfigured device would: the
  // port under test must set its own raw mode, and the far side should send
  // only once the port is open. On Linux the master sees the line settings
  // (speed included) that the port set. Throws std::runtime_error when the
  // system has no ptys to give.
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // The device path the port opens, e.g. "/dev/pts/7".
  const std::string& SlavePath() const { return SlaveName; }
  // The far side's end; -1 after CloseMaster.
  int MasterFd() const { return Master; }

  // The far side sends Bytes (any values); true when all were written.
  bool Send(const std::string& Bytes);
  // Waits up to TimeoutMs for Count bytes sent by the port; returns what
  // arrived (fewer on time-out).
  std::string Receive(std::size_t Count, int TimeoutMs);
  // Whatever the port has sent and the far side has not read yet; no wait.
  std::string ReceiveAvailable();
  // The far side goes away: the port sees a hang-up.
  void CloseMaster();

 private:
  int Master = -1;
  // Held open so the line stays up while the port under test closes and
  // reopens, as a plugged-in device would; it never reads.
  int SlaveKeeper = -1;
  std::string SlaveName;
};

// Runs a function on its own thread and joins it when destroyed, so a test
// can play a far side that acts while the port blocks in Read or Write.
class BackgroundTask {
 public:
  explicit BackgroundTask(std::function<void()> Work) : Thread(std::move(Work)) {}
  ~BackgroundTask() { Join(); }
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;
  void Join() {
    if (Thread.joinable()) Thread.join();
  }

 private:
  std::thread Thread;
};

// Milliseconds since Start on the monotonic clock; for timing assertions.
double MsSince(std::chrono::steady_clock::time_point Start);
