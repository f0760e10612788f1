// Reading a port under test: a pty hands data over asynchronously, so a test
// waits for the queue before it reads.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "ComPort.h"

// True once Port has Count bytes queued, false after WithinMs.
inline bool QueueReaches(TCOMPort& Port, std::int32_t Count, int WithinMs) {
  const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(WithinMs);
  while (std::chrono::steady_clock::now() < End) {
    if (Port.InQueCount() >= Count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Up to Count bytes, as Read returns them.
inline std::string ReadString(TCOMPort& Port, std::int32_t Count) {
  std::string Buf(static_cast<std::size_t>(Count), '\0');
  Buf.resize(Port.Read(Buf.data(), Count));
  return Buf;
}
