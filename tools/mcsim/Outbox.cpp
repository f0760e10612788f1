#include "Outbox.h"

#include <algorithm>
#include <utility>

namespace mcsim {

void Outbox::Add(Pending pending) {
  const auto after = std::upper_bound(
      queue_.begin(), queue_.end(), pending.due,
      [](Clock::time_point due, const Pending& queued) { return due < queued.due; });
  queue_.insert(after, std::move(pending));
}

Pending* Outbox::Due(Clock::time_point now) {
  if (queue_.empty() || queue_.front().due > now) return nullptr;
  return &queue_.front();
}

void Outbox::PopFront() {
  if (!queue_.empty()) queue_.pop_front();
}

void Outbox::Clear() {
  queue_.clear();
}

std::optional<Clock::time_point> Outbox::NextDue() const {
  if (queue_.empty()) return std::nullopt;
  return queue_.front().due;
}

}  // namespace mcsim
