// The pseudo-terminal the tool opens as its serial port. The simulator keeps
// a handle on the slave side itself, so the tool can close and reopen the
// port without the master side seeing a hang-up.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string>

#include "UniqueFd.h"

namespace mcsim {

class Pty {
 public:
  // Opens the pair, sets the slave raw, and when `linkPath` is not empty
  // serves the slave under that path too. Throws std::system_error.
  explicit Pty(const std::string& linkPath);
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int Master() const { return master_.get(); }
  const std::string& SlaveName() const { return slaveName_; }
  // The path to hand to the tool: the link if there is one.
  const std::string& DevicePath() const { return linkPath_.empty() ? slaveName_ : linkPath_; }
  dev_t SlaveDevice() const { return slaveDevice_; }

  // The speed the tool's port is set to, as the master side sees it (Linux);
  // 0 when it cannot be told.
  int LineBaud() const;
  // Pulls the plug: the tool's handle sees a hang-up.
  void CloseMaster();
  // The device's name vanishes, as an unplugged adapter's node does.
  void RemoveLink();
  // A fresh pair after the plug was pulled, served under the same link path.
  void Replug();

 private:
  void Open();
  void MakeLink();

  UniqueFd master_;
  UniqueFd slave_;
  std::string slaveName_;
  std::string linkPath_;
  dev_t slaveDevice_ = 0;
};

// Baud rate of a termios speed constant; 0 for one not in the table.
int BaudOf(speed_t speed);

}  // namespace mcsim
