// The command channel: one command out, then a wait for a reply of known
// length, on a plain link or on the echoing bus.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "Loader.h"
#include "RangeError.h"

namespace {

using TClock = std::chrono::steady_clock;

// Longest block on the port between two polls: window messages are handled
// at least this often, and an idle wait wakes only 100 times a second. A
// reply is not delayed by it: the block ends as soon as input arrives.
constexpr int cPollBlockMs = 10;
// Time-outs beyond this are treated as this (about 116 days): keeps the
// deadline arithmetic finite for any float a caller passes.
constexpr double cMaxTimeOutSecs = 1.0e7;

TClock::time_point DeadlineAfter(float TimeOutInSecs) {
  // NaN and negative time-outs mean "no time": one poll.
  const double Secs = TimeOutInSecs > 0 ? std::min<double>(TimeOutInSecs, cMaxTimeOutSecs) : 0.0;
  return TClock::now() +
         std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(Secs));
}

// How long to block on the port: past the deadline (rounded up, so the wait
// never ends early) but not past the next round of window messages (rounded
// down, so they are never late).
int BlockMs(TClock::time_point Deadline, TClock::time_point NextMessages) {
  const auto Now = TClock::now();
  const auto ToDeadline = std::chrono::ceil<std::chrono::milliseconds>(Deadline - Now).count();
  const auto ToMessages = std::chrono::floor<std::chrono::milliseconds>(NextMessages - Now).count();
  return static_cast<int>(
      std::clamp<std::int64_t>(std::min(ToDeadline, ToMessages), 0, cPollBlockMs));
}

std::int32_t SizeAsCount(const std::string& S) {
  if (S.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) RangeError();
  return static_cast<std::int32_t>(S.size());
}

}  // namespace

void Delay(std::int32_t mS) {
  if (mS < 0) RangeError();
  PausePrecisely(mS);
}

void TLoader::SendCmd(const std::string& ACmdStr) {
  if (SimpleBusMode) SerialPort.SetRts();
  if (ACmdStr.empty()) RangeError();
  (void)SerialPort.Write(ACmdStr.data(), SizeAsCount(ACmdStr));
}

void TLoader::PutAndSend(const std::string& Cmd) {
  CmdStr = Cmd;
  SendCmd(CmdStr);
}

bool TLoader::WaitResponse(std::int32_t InQueCount, float TimeOutInSecs) {
  Response.fill(0);
  const std::int64_t EchoCount = SimpleBusMode ? SizeAsCount(CmdStr) : 0;
  const std::int64_t ExpectCharCount = std::int64_t{InQueCount} + EchoCount;
  const auto EndTime = DeadlineAfter(TimeOutInSecs);
  for (;;) {
    const auto NextMessages = TClock::now() + std::chrono::milliseconds(cPollBlockMs);
    View.ProcessMessages();
    const std::int64_t n = SerialPort.InQueCount();
    // The whole echo is back, so the command has left the bus.
    if (SimpleBusMode && n >= EchoCount) SerialPort.ClearRts();
    if (n >= ExpectCharCount) {
      if (SimpleBusMode) DrainEcho(static_cast<std::int32_t>(EchoCount));
      return true;
    }
    // An adapter pulled out answers nothing more: no use waiting out the time.
    if (SerialPort.Gone() || TClock::now() > EndTime) return false;
    SerialPort.WaitForInput(BlockMs(EndTime, NextMessages));
  }
}

void TLoader::DrainEcho(std::int32_t EchoCount) {
  // The first bytes of the echo stay in Response; the rest of a long echo is
  // read and dropped, so that the next read gets the reply.
  const auto First = static_cast<std::int32_t>(
      std::min<std::size_t>(static_cast<std::size_t>(EchoCount), Response.size()));
  const auto Taken = static_cast<std::int32_t>(SerialPort.Read(Response.data(), First));
  std::int32_t Left = EchoCount - Taken;
  std::array<std::uint8_t, cResponseSize> Surplus{};
  while (Left > 0) {
    const auto Chunk = std::min<std::int32_t>(Left, static_cast<std::int32_t>(Surplus.size()));
    const auto Got = static_cast<std::int32_t>(SerialPort.Read(Surplus.data(), Chunk));
    if (Got == 0) break;  // the port failed; nothing more will come
    Left -= Got;
  }
}
