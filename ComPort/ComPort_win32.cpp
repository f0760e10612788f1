// Win32 backend of TCOMPort: the communications functions on a handle opened
// without sharing and without overlapped input and output. The driver applies
// the time-outs set here.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "ComPort.h"

namespace {

using TClock = std::chrono::steady_clock;
using TMs = std::chrono::milliseconds;

// The flag word of DCB sits between BaudRate and wReserved; the masks of
// ComPort.h address its bits.
constexpr std::size_t cDcbFlagsOffset = offsetof(::DCB, BaudRate) + sizeof(DWORD);
static_assert(offsetof(::DCB, wReserved) == cDcbFlagsOffset + sizeof(DWORD),
              "DCB flag word is not where the masks expect it");

// Bits that Open clears, and the one it sets; the rest keep the driver's value.
constexpr std::uint32_t cFlagsCleared = fOutxCtsFlow | fOutxDsrFlow | fDtrControl |
                                        fDsrSensitivity | fOutX | fInX | fErrorChar | fNull |
                                        fRtsControl | fAbortOnError;
constexpr std::uint32_t cFlagsSet = fTXContinueOnXoff;

constexpr DWORD cPurgeInFlags = PURGE_RXABORT | PURGE_RXCLEAR;
constexpr DWORD cPurgeOutFlags = PURGE_TXABORT | PURGE_TXCLEAR;
static_assert(cPurgeInFlags == 10 && cPurgeOutFlags == 5, "purge flag words");

// The driver cannot be asked to wake us on input without overlapped I/O, so
// WaitForInput looks at the queue in slices of this length.
constexpr int cInputWaitSliceMs = 1;

[[noreturn]] void RangeError() {
  throw std::out_of_range("Range check error");
}

std::wstring Utf16(const std::string& Utf8) {
  const int Size = static_cast<int>(Utf8.size());
  const int Len = ::MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), Size, nullptr, 0);
  std::wstring Wide(static_cast<std::size_t>(std::max(Len, 0)), L'\0');
  if (Len > 0) ::MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), Size, Wide.data(), Len);
  return Wide;
}

void ApplyLineSettings(::DCB& Dcb, std::int32_t BaudRate) {
  std::uint32_t Flags = 0;
  auto* Raw = reinterpret_cast<unsigned char*>(&Dcb);
  std::memcpy(&Flags, Raw + cDcbFlagsOffset, sizeof Flags);
  Flags = (Flags & ~cFlagsCleared) | cFlagsSet;
  std::memcpy(Raw + cDcbFlagsOffset, &Flags, sizeof Flags);
  Dcb.ByteSize = 8;
  Dcb.Parity = NOPARITY;
  Dcb.StopBits = ONESTOPBIT;
  Dcb.BaudRate = static_cast<DWORD>(BaudRate);
}

void ApplyTimeOuts(COMMTIMEOUTS& T) {
  T.ReadIntervalTimeout = cReadIntervalTimeout;
  T.ReadTotalTimeoutMultiplier = cReadTotalTimeoutMultiplier;
  T.ReadTotalTimeoutConstant = cReadTotalTimeoutConstant;
  T.WriteTotalTimeoutMultiplier = cWriteTotalTimeoutMultiplier;
  T.WriteTotalTimeoutConstant = cWriteTotalTimeoutConstant;
}

}  // namespace

bool TCOMPort::Open() {
  if (Enabled) Close();
  if (DeviceName.empty()) RangeError();
  const std::wstring Name = Utf16(DeviceName);
  FHandle = ::CreateFileW(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  if (FHandle == INVALID_HANDLE_VALUE) {
    LastOpenError = static_cast<std::int32_t>(::GetLastError());
    return false;
  }
  LastOpenError = 0;

  // Once the device is open a refused setting is not a failure of Open.
  (void)::GetCommState(FHandle, &DCB);
  ApplyLineSettings(DCB, BaudRate);
  (void)::SetCommState(FHandle, &DCB);
  (void)::GetCommTimeouts(FHandle, &TimeOuts);
  ApplyTimeOuts(TimeOuts);
  (void)::SetCommTimeouts(FHandle, &TimeOuts);
  (void)::EscapeCommFunction(FHandle, CLRRTS);
  RtsRaised = false;

  Enabled = true;
  return true;
}

void TCOMPort::Close() {
  if (!Enabled) return;
  ::CloseHandle(FHandle);
  Enabled = false;
}

std::uint32_t TCOMPort::Write(const void* Buffer, std::int32_t Count) {
  if (Count < 0) RangeError();
  if (!Enabled || Count == 0) return 0;
  DWORD Written = 0;
  if (!::WriteFile(FHandle, Buffer, static_cast<DWORD>(Count), &Written, nullptr)) return 0;
  return Written;
}

std::uint32_t TCOMPort::Read(void* Buffer, std::int32_t Count) {
  if (Count < 0) RangeError();
  if (!Enabled || Count == 0) return 0;
  DWORD Got = 0;
  if (!::ReadFile(FHandle, Buffer, static_cast<DWORD>(Count), &Got, nullptr)) return 0;
  return Got;
}

namespace {
// Queue counts of an open handle; a failed status call counts as empty.
COMSTAT QueueStatus(HANDLE Handle) {
  COMSTAT Status{};
  DWORD Errors = 0;
  if (!::ClearCommError(Handle, &Errors, &Status)) return COMSTAT{};
  return Status;
}
}  // namespace

std::int32_t TCOMPort::InQueCount() {
  if (!Enabled) return -1;
  return static_cast<std::int32_t>(QueueStatus(FHandle).cbInQue);
}

std::int32_t TCOMPort::OutQueCount() {
  if (!Enabled) return -1;
  return static_cast<std::int32_t>(QueueStatus(FHandle).cbOutQue);
}

void TCOMPort::PurgeIn() {
  if (Enabled) (void)::PurgeComm(FHandle, cPurgeInFlags);
}

void TCOMPort::PurgeOut() {
  if (Enabled) (void)::PurgeComm(FHandle, cPurgeOutFlags);
}

void TCOMPort::SetRts() {
  if (!Enabled) return;
  (void)::EscapeCommFunction(FHandle, SETRTS);
  RtsRaised = true;
}

void TCOMPort::ClearRts() {
  if (!Enabled) return;
  (void)::EscapeCommFunction(FHandle, CLRRTS);
  RtsRaised = false;
}

void TCOMPort::WaitForInput(int MaxMs) {
  if (MaxMs <= 0) return;
  const auto Deadline = TClock::now() + TMs(MaxMs);
  if (!Enabled) {
    std::this_thread::sleep_until(Deadline);
    return;
  }
  // Input already waiting ends the wait after one slice: the caller has more
  // to look at than when it last counted, or waits for bytes still to come.
  if (InQueCount() > 0) {
    std::this_thread::sleep_for(TMs(std::min(MaxMs, cInputWaitSliceMs)));
    return;
  }
  while (TClock::now() < Deadline && InQueCount() == 0) {
    std::this_thread::sleep_for(TMs(cInputWaitSliceMs));
  }
}
