// port-agent: the Windows side of the Win32 port tests. Runs TCOMPort
// operations on the COM port named by QUARNEL_TEST_COM (e.g. "COM5"), one
// command a line on stdin, one answer a line on stdout. Times are measured
// here, so the pipe to the test does not count. Bytes travel as hex ("-" for
// none).
//   open BAUD          -> 1 | 0
//   openerror          -> the system's words for LastOpenError, "-" for none
//   close | purgein    -> ok
//   inque | outque     -> count
//   read N             -> HEX MS
//   write HEX          -> WRITTEN MS
//   waitque N MAXMS    -> count, once it is at least N or MAXMS have passed
//   waitinput MAXMS    -> MS that WaitForInput(MAXMS) took, and the process's
//                         CPU MS meanwhile
//   pingwait MAXMS     -> writes "?", then WaitForInput(MAXMS): the queue count
//                         and MS from before the write to the wait's end
//   fill               -> bytes written until the line took no more
//   quit
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "ComPort.h"
#include "HexText.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr const char* cComVariable = "QUARNEL_TEST_COM";
constexpr const char* cDevicePrefix = "\\\\.\\";
constexpr int cFillChunk = 64;
constexpr int cFillRounds = 2;
constexpr int cFillPauseMs = 20;
// Bounds fill in case the far side reads after all.
constexpr std::int64_t cFillLimit = 16 * 1024 * 1024;
constexpr int cQueuePollMs = 1;
constexpr double cFileTimeTicksPerMs = 10000;  // FILETIME counts 100 ns

double MsSince(TClock::time_point Start) {
  return std::chrono::duration<double, std::milli>(TClock::now() - Start).count();
}

int IntArg(std::istringstream& Args) {
  int Value = 0;
  Args >> Value;
  return Value;
}

std::string Read(TCOMPort& Port, std::istringstream& Args) {
  std::string Buffer(static_cast<std::size_t>(IntArg(Args)), '\0');
  const auto Start = TClock::now();
  Buffer.resize(Port.Read(Buffer.data(), static_cast<std::int32_t>(Buffer.size())));
  const double Ms = MsSince(Start);
  return Hex(Buffer) + " " + std::to_string(Ms);
}

std::string Write(TCOMPort& Port, std::istringstream& Args) {
  std::string Text;
  Args >> Text;
  const std::string Bytes = Unhex(Text);
  const auto Start = TClock::now();
  const std::uint32_t Written = Port.Write(Bytes.data(), static_cast<std::int32_t>(Bytes.size()));
  return std::to_string(Written) + " " + std::to_string(MsSince(Start));
}

std::string WaitQueue(TCOMPort& Port, std::istringstream& Args) {
  const int Count = IntArg(Args);
  const int MaxMs = IntArg(Args);
  const auto Start = TClock::now();
  while (Port.InQueCount() < Count && MsSince(Start) < MaxMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(cQueuePollMs));
  }
  return std::to_string(Port.InQueCount());
}

// User and kernel time of this process so far.
double CpuMs() {
  FILETIME Created{}, Exited{}, Kernel{}, User{};
  if (!::GetProcessTimes(::GetCurrentProcess(), &Created, &Exited, &Kernel, &User)) return -1;
  const auto Ticks = [](const FILETIME& T) {
    return (static_cast<std::uint64_t>(T.dwHighDateTime) << 32) | T.dwLowDateTime;
  };
  return static_cast<double>(Ticks(Kernel) + Ticks(User)) / cFileTimeTicksPerMs;
}

std::string WaitInput(TCOMPort& Port, std::istringstream& Args) {
  const int MaxMs = IntArg(Args);
  const double CpuBefore = CpuMs();
  const auto Start = TClock::now();
  Port.WaitForInput(MaxMs);
  const double Ms = MsSince(Start);
  return std::to_string(Ms) + " " + std::to_string(CpuMs() - CpuBefore);
}

std::string PingWait(TCOMPort& Port, std::istringstream& Args) {
  const int MaxMs = IntArg(Args);
  const auto Start = TClock::now();
  Port.Write("?", 1);
  Port.WaitForInput(MaxMs);
  const double Ms = MsSince(Start);
  return std::to_string(Port.InQueCount()) + " " + std::to_string(Ms);
}

// Small pieces, so the write that finds the line full ends soon; a second
// round after a pause takes the room the line frees meanwhile.
std::string Fill(TCOMPort& Port) {
  const std::string Chunk(cFillChunk, 'f');
  std::int64_t Total = 0;
  for (int Round = 0; Round < cFillRounds; ++Round) {
    std::uint32_t Written = cFillChunk;
    while (Written == static_cast<std::uint32_t>(cFillChunk) && Total < cFillLimit) {
      Written = Port.Write(Chunk.data(), cFillChunk);
      Total += Written;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(cFillPauseMs));
  }
  return std::to_string(Total);
}

using TCommand = std::function<std::string(TCOMPort&, std::istringstream&)>;

const std::map<std::string, TCommand>& Commands() {
  static const std::map<std::string, TCommand> cCommands = {
      {"open",
       [](TCOMPort& P, std::istringstream& A) {
         P.BaudRate = IntArg(A);
         return std::string(P.Open() ? "1" : "0");
       }},
      {"openerror",
       [](TCOMPort& P, std::istringstream&) {
         return P.LastOpenError == 0 ? std::string("-") : SystemErrorText(P.LastOpenError);
       }},
      {"close",
       [](TCOMPort& P, std::istringstream&) {
         P.Close();
         return std::string("ok");
       }},
      {"purgein",
       [](TCOMPort& P, std::istringstream&) {
         P.PurgeIn();
         return std::string("ok");
       }},
      {"inque", [](TCOMPort& P, std::istringstream&) { return std::to_string(P.InQueCount()); }},
      {"outque", [](TCOMPort& P, std::istringstream&) { return std::to_string(P.OutQueCount()); }},
      {"read", Read},
      {"write", Write},
      {"waitque", WaitQueue},
      {"waitinput", WaitInput},
      {"pingwait", PingWait},
      {"fill", [](TCOMPort& P, std::istringstream&) { return Fill(P); }},
  };
  return cCommands;
}

}  // namespace

int main() {
  const char* Com = std::getenv(cComVariable);
  if (Com == nullptr || *Com == '\0') {
    std::cerr << "port-agent: set " << cComVariable << " to the COM port, e.g. COM5\n";
    return 2;
  }
  TCOMPort Port;
  Port.DeviceName = std::string(cDevicePrefix) + Com;
  for (std::string Line; std::getline(std::cin, Line);) {
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    std::istringstream Args(Line);
    std::string Name;
    Args >> Name;
    if (Name == "quit") break;
    const auto It = Commands().find(Name);
    std::cout << (It == Commands().end() ? "?" : It->second(Port, Args)) << std::endl;
  }
  Port.Close();
  return 0;
}
