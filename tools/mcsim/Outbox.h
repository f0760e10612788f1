// Bytes waiting to go to the tool, each at its own time. Entries due at the
// same time keep the order they were added in, so an echo never falls behind
// a reply added after it, while a delayed reply lets later echoes pass.
#pragma once

#include <deque>
#include <optional>
#include <string>

#include "Record.h"

namespace mcsim {

struct Pending {
  Clock::time_point due;
  std::string bytes;
  int baud = 0;             // the speed the controller sends at
  bool disconnect = false;  // close the line instead of sending
  bool unplug = false;      // with disconnect: the device's name goes too
};

class Outbox {
 public:
  void Add(Pending pending);
  // The first entry if it is due at `now`, else nullptr.
  Pending* Due(Clock::time_point now);
  void PopFront();
  void Clear();
  std::optional<Clock::time_point> NextDue() const;

 private:
  std::deque<Pending> queue_;
};

}  // namespace mcsim
