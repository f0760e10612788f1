// Everything the simulated controller saw and did, for tests to check.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mcsim {

using Clock = std::chrono::steady_clock;

// One byte from the tool, with the line speed the tool's port had when it was
// read. `heard` is false for line noise (another speed) and while the
// controller is silent or gone.
struct RxByte {
  std::uint8_t value = 0;
  int baud = 0;
  bool heard = false;
  Clock::time_point at;
};

// Bytes read close together at one speed: an approximation of the tool's
// writes, so pieces written with pauses between them show up one by one.
struct Chunk {
  std::string bytes;
  int baud = 0;
  Clock::time_point first;
  Clock::time_point last;
};

// Bytes the controller put on the line (echo or reply). `delivered` is false
// when the tool's port had another speed by then: the tool gets line noise,
// which the simulator leaves out.
struct TxChunk {
  std::string bytes;
  int baud = 0;
  bool delivered = false;
  Clock::time_point at;
};

enum class EventKind {
  VersionQuery,   // ":e1\r" answered by the application
  Identify,       // "I1." answered by the bootloader
  Entry,          // ":Q" n "7E81\r"
  AutoBaudLock,   // the bootloader measured the burst; `baud` is its new speed
  Start,          // "P" n "."
  Block,          // a whole frame; `address` where it went, `detail` the reply
  Finish,         // "X"
  Abort,          // "Q"
  Fault,          // an injected fault struck; `detail` names it
  ProtocolError,  // something a controller would not expect; `detail` says what
  Disconnect,     // the master side was closed
};

struct Event {
  EventKind kind = EventKind::ProtocolError;
  int mcu = 0;  // 0 when no MCU is concerned
  int baud = 0;
  std::uint32_t address = 0;
  std::string detail;
  Clock::time_point at;
};

// An MCU's flash as the controller received it (erased bytes are 0xFF) and
// the addresses of the blocks written, in the order they came.
struct McuImage {
  std::vector<std::uint8_t> flash;
  std::vector<std::uint32_t> blocks;
};

struct Record {
  std::vector<RxByte> rx;
  std::vector<Chunk> chunks;
  std::vector<TxChunk> tx;
  std::vector<Event> events;
  std::vector<McuImage> mcus;  // index 0 is MCU 1

  // The received bytes as a string; only those heard, if asked.
  std::string Received(bool heardOnly = false) const;
  // The bytes sent to the tool; only those delivered, if asked.
  std::string Sent(bool deliveredOnly = true) const;
  // Events of a kind; mcu 0 takes every MCU.
  std::vector<Event> EventsOf(EventKind kind, int mcu = 0) const;
  std::size_t Count(EventKind kind, int mcu = 0) const;
};

// Appends bytes read at one moment, merging them into the last chunk when
// they follow it closely at the same speed.
void AppendChunk(Record& record, const std::string& bytes, int baud, Clock::time_point at);

}  // namespace mcsim
