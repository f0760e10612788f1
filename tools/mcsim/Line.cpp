#include "Line.h"

#include <algorithm>

namespace mcsim {
namespace {

constexpr long long cBitsPerChar = 10;

}  // namespace

Clock::duration CharTime(int baud) {
  if (baud <= 0) return Clock::duration::zero();
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds(cBitsPerChar * 1000000000LL / baud));
}

Clock::time_point UartLine::Carry(Clock::time_point ready, int baud) {
  freeAt_ = std::max(ready, freeAt_) + CharTime(baud);
  return freeAt_;
}

void UsbBuffer::Add(char byte, Clock::time_point at) {
  if (bytes_.empty()) first_ = at;
  bytes_ += byte;
}

std::string UsbBuffer::TakeDue(Clock::time_point now) {
  const auto due = NextDue();
  if (!due || *due > now) return {};
  std::string out;
  out.swap(bytes_);
  return out;
}

std::optional<Clock::time_point> UsbBuffer::NextDue() const {
  if (bytes_.empty()) return std::nullopt;
  if (bytes_.size() >= cBurst) return first_;
  return first_ + cLatency;
}

void UsbBuffer::Clear() {
  bytes_.clear();
}

}  // namespace mcsim
