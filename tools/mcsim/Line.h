// Timing of a real serial line, for the simulator's line-speed mode: a UART
// sends one character after another, 10 bits each (8N1), each direction on
// its own; a USB adapter may hold received bytes back before the host gets
// them. Pure timing, no I/O.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "Config.h"
#include "Record.h"

namespace mcsim {

// How long one character takes at `baud`; zero when the speed is unknown.
Clock::duration CharTime(int baud);

// One direction of the line.
class UartLine {
 public:
  // A character handed over at `ready` at `baud`: the moment its last bit
  // has arrived on the far side.
  Clock::time_point Carry(Clock::time_point ready, int baud);
  void Reset() { freeAt_ = {}; }

 private:
  Clock::time_point freeAt_{};  // the end of the last character on the line
};

// A USB-serial chip's receive buffer: it passes bytes to the host once
// `latency` has passed since the first of them arrived or `burst` are
// waiting, as common chips do by default.
class UsbBuffer {
 public:
  static constexpr Ms cLatency{16};
  static constexpr std::size_t cBurst = 62;

  void Add(char byte, Clock::time_point at);
  // Takes what the host gets at `now`: everything, once it is due.
  std::string TakeDue(Clock::time_point now);
  std::optional<Clock::time_point> NextDue() const;
  void Clear();

 private:
  std::string bytes_;
  Clock::time_point first_{};
};

}  // namespace mcsim
