#include "Record.h"

namespace mcsim {
namespace {

// Reads closer together than this belong to one write of the tool: a large
// write may come out of the pty in several reads, while the tool's paced
// pieces are 100 ms apart.
constexpr auto cChunkGap = std::chrono::milliseconds(20);

}  // namespace

std::string Record::Received(bool heardOnly) const {
  std::string text;
  for (const RxByte& b : rx) {
    if (!heardOnly || b.heard) text += static_cast<char>(b.value);
  }
  return text;
}

std::string Record::Sent(bool deliveredOnly) const {
  std::string text;
  for (const TxChunk& c : tx) {
    if (!deliveredOnly || c.delivered) text += c.bytes;
  }
  return text;
}

std::vector<Event> Record::EventsOf(EventKind kind, int mcu) const {
  std::vector<Event> found;
  for (const Event& e : events) {
    if (e.kind == kind && (mcu == 0 || e.mcu == mcu)) found.push_back(e);
  }
  return found;
}

std::size_t Record::Count(EventKind kind, int mcu) const {
  return EventsOf(kind, mcu).size();
}

void AppendChunk(Record& record, const std::string& bytes, int baud, Clock::time_point at) {
  if (bytes.empty()) return;
  if (!record.chunks.empty()) {
    Chunk& last = record.chunks.back();
    if (last.baud == baud && at - last.last < cChunkGap) {
      last.bytes += bytes;
      last.last = at;
      return;
    }
  }
  record.chunks.push_back(Chunk{bytes, baud, at, at});
}

}  // namespace mcsim
