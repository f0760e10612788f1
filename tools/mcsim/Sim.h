// A simulated motor controller on a pseudo-terminal. It runs on a thread of
// its own, so a test can drive the tool from its main thread; the record and
// the configuration may be read and changed from any thread.
//
//   mcsim::Config config;
//   config.mode = mcsim::Mode::Bootloader;
//   mcsim::Sim sim(config);
//   sim.Start();
//   ... open sim.DevicePath() as the serial port ...
//   sim.WaitFor([](const mcsim::Record& r) { return r.Count(EventKind::Finish) == 1; }, 5s);
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Config.h"
#include "Controller.h"
#include "Line.h"
#include "Outbox.h"
#include "Pty.h"
#include "Record.h"
#include "UniqueFd.h"

namespace mcsim {

class Sim {
 public:
  // Opens the pty. Throws std::invalid_argument for a configuration that
  // cannot work and std::system_error when the pty cannot be had.
  explicit Sim(const Config& config);
  ~Sim();
  Sim(const Sim&) = delete;
  Sim& operator=(const Sim&) = delete;

  void Start();
  void Stop();  // joins the thread; Start may follow again

  // The path the tool should open: the link path if one was configured.
  const std::string& DevicePath() const { return pty_.DevicePath(); }
  const std::string& SlaveName() const { return pty_.SlaveName(); }

  Config GetConfig() const;
  // The controller restarts in the new configuration's mode; the record
  // stays. The link path is fixed when the simulator is made.
  void SetConfig(const Config& config);
  // The controller's power switched off and on (Controller::PowerOn), with
  // the new configuration; an unplugged adapter is plugged in again first
  // (a new pty, served under the same link path).
  void PowerCycle(const Config& config);
  // The adapter pulled out now: a hang-up, and the link path vanishes.
  void Unplug();
  Record GetRecord() const;
  void ClearRecord();
  Mode CurrentMode() const;
  int ListeningBaud() const;

  // Waits until `done` holds for the record (checked on every change) or the
  // time is up; returns whether it holds.
  bool WaitFor(const std::function<bool(const Record&)>& done, Ms timeout) const;

  // For the line-settings hook: reads everything the tool wrote before its
  // settings change, then lets `change` run with the line held still.
  int ChangeLine(const std::function<int()>& change);
  dev_t SlaveDevice() const { return pty_.SlaveDevice(); }

 private:
  // A byte from the tool on its way along the line (line-speed mode).
  struct Incoming {
    char byte;
    int baud;
    Clock::time_point arrives;
  };

  void Run();
  std::optional<Clock::time_point> NextWakeLocked() const;
  void ReadLocked(Clock::time_point now);
  void HearLocked(const std::string& bytes, int baud, Clock::time_point at);
  void HearArrivedLocked(Clock::time_point now);
  void SendDueLocked(Clock::time_point now);
  void SendOneLocked(Pending& pending, Clock::time_point now);
  void FlushUsbLocked(Clock::time_point now);
  void Queue(const std::vector<Output>& outputs, Clock::time_point now);
  void ResetLineLocked();
  void Wake();

  Pty pty_;
  UniqueFd wakeRead_;
  UniqueFd wakeWrite_;

  // Guards the pty, the controller and the outbox. The hook holds it while
  // the tool's port changes its settings.
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Controller controller_;
  Outbox outbox_;
  bool outBlocked_ = false;  // the last write was refused; wait until the pty takes more

  // Line-speed mode: the two directions of the line and the adapter.
  UartLine toController_;
  UartLine toTool_;
  std::deque<Incoming> incoming_;
  UsbBuffer usb_;
  std::string usbOut_;  // taken from the adapter, not yet taken by the pty

  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace mcsim
