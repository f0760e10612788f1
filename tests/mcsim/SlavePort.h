// The tool's end of the simulator's pty, with nothing but POSIX calls: open
// raw at a speed, write, read with poll. Also the helpers tests share.
#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Sim.h"

namespace mcsim_test {

using Ms = std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Generous bound for anything the simulator should do at once.
constexpr Ms cPrompt{3000};
// How long a test listens before it concludes that nothing comes.
constexpr Ms cQuiet{300};

class SlavePort {
 public:
  SlavePort(const std::string& path, speed_t speed);
  ~SlavePort();
  SlavePort(const SlavePort&) = delete;
  SlavePort& operator=(const SlavePort&) = delete;

  void SetSpeed(speed_t speed);
  // Closes and opens again at `speed` with an empty input queue, as the
  // tool's port does.
  void Reopen(speed_t speed);
  void Write(const std::string& bytes);
  // Up to `count` bytes, whatever has come when the time is up.
  std::string Read(std::size_t count, Ms timeout = cPrompt);
  // Everything that arrives within the window.
  std::string ReadFor(Ms window = cQuiet);
  // True when the line has been hung up on.
  bool HungUp(Ms timeout = cPrompt);

 private:
  void Open(speed_t speed);
  std::string path_;
  int fd_ = -1;
};

// Nibble characters of bytes, high nibble first: the tool's frame.
std::string Frame(const std::vector<std::uint8_t>& bytes);

inline const std::string& Started(mcsim::Sim& sim) {
  sim.Start();
  return sim.DevicePath();
}

// A started simulator and a port on it.
struct Bench {
  explicit Bench(const mcsim::Config& config, speed_t speed = B9600)
      : sim(config), port(Started(sim), speed) {}
  mcsim::Sim sim;
  SlavePort port;
};

}  // namespace mcsim_test
