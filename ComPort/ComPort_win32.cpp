// Win32 backend of TCOMPort: the communications functions on a handle opened
// without sharing and for overlapped input and output, so that a wait for
// input can block on the port's own event together with the thread's window
// messages. Read and Write still finish before they return, within the
// driver's time-outs set here. No wait depends on the system timer's
// resolution (a Sleep(1) lasts about 15.6 ms at its default): waits end on
// the port's event, on a window message or on a high-resolution waitable
// timer.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "ComPort.h"
#include "RangeError.h"

// Windows 10 1803 and later; older systems refuse the flag and get a plain timer.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

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

constexpr DWORD cOpenFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED;
// The one event WaitForInput waits for: a character received.
constexpr DWORD cInputEvents = EV_RXCHAR;
// Bits on the line per character: start, 8 data, stop (8N1).
constexpr std::int64_t cBitsPerChar = 10;
// Longest single pause while a write drains, so a queue that empties early
// is noticed soon.
constexpr auto cDrainPollStep = TMs(2);
// Added after the line time of a write: the time a UART or an adapter needs
// to start on bytes handed over, so the far side's silence after a write is
// never shorter than the pause the caller takes.
constexpr auto cDrainMargin = TMs(1);
// Pause after a receive event that brought no byte the wait had not seen.
// Windows reports EV_RXCHAR for new characters only, but may report one that
// came before the wait began; Wine reports it for as long as input waits.
// The pause keeps either from spinning and still notices a new byte soon.
constexpr auto cSeenInputPause = TMs(1);
// Grace beyond a read's or write's own time-out before we cancel it
// ourselves: the driver's time-out should always strike first.
constexpr auto cDriverTimeOutMargin = TMs(200);
// 100 ns units of a waitable timer's due time.
constexpr std::int64_t cTimerTicksPerSecond = 10000000;

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

// A kernel object handle closed with its owner; null when it could not be made.
class TOwnedHandle {
 public:
  explicit TOwnedHandle(HANDLE H) : Handle(H) {}
  ~TOwnedHandle() {
    if (Handle != nullptr) ::CloseHandle(Handle);
  }
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;
  HANDLE Get() const { return Handle; }

 private:
  HANDLE Handle;
};

HANDLE NewEvent() {
  return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);  // manual reset, as overlapped I/O wants
}

// A timer that fires at a moment of the steady clock, to well under a
// millisecond where the system offers high-resolution timers.
class TTimer {
 public:
  TTimer() : Timer(NewTimer()) {}
  explicit TTimer(TClock::time_point At) : TTimer() { Arm(At); }
  // False when the timer could not be armed; a wait on it must not be tried.
  bool Arm(TClock::time_point At) {
    const auto Left = std::max(At - TClock::now(), TClock::duration::zero());
    LARGE_INTEGER Due{};
    // Negative: relative to now, so a change of the wall clock does not matter.
    Due.QuadPart = -std::max<std::int64_t>(
        1, std::chrono::duration_cast<std::chrono::nanoseconds>(Left).count() *
               cTimerTicksPerSecond / 1000000000);
    Armed = Timer.Get() != nullptr &&
            ::SetWaitableTimer(Timer.Get(), &Due, 0, nullptr, nullptr, FALSE) != 0;
    return Armed;
  }
  // Null until armed.
  HANDLE Get() const { return Armed ? Timer.Get() : nullptr; }

 private:
  static HANDLE NewTimer() {
    const HANDLE Precise = ::CreateWaitableTimerExW(
        nullptr, nullptr,
        CREATE_WAITABLE_TIMER_MANUAL_RESET | CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
        TIMER_ALL_ACCESS);
    return Precise != nullptr ? Precise : ::CreateWaitableTimerW(nullptr, TRUE, nullptr);
  }
  TOwnedHandle Timer;
  bool Armed = false;
};

DWORD MsUntil(TClock::time_point At) {
  const auto Left = At - TClock::now();
  if (Left <= TClock::duration::zero()) return 0;
  return static_cast<DWORD>(std::chrono::ceil<TMs>(Left).count());
}

void SleepUntil(TClock::time_point At) {
  const TTimer Timer(At);
  if (Timer.Get() != nullptr) {
    (void)::WaitForSingleObject(Timer.Get(), INFINITE);
  } else {
    ::Sleep(MsUntil(At));
  }
}

// What ended a wait on objects and window messages.
constexpr int cWokeByMessage = -1;
constexpr int cWaitFailed = -2;

// Blocks until one of Objects is signalled (its index) or a window message
// for this thread is waiting, old or new (cWokeByMessage).
int WaitForObjectsOrMessage(std::initializer_list<HANDLE> Objects) {
  const auto Count = static_cast<DWORD>(Objects.size());
  const DWORD R = ::MsgWaitForMultipleObjectsEx(Count, Objects.begin(), INFINITE, QS_ALLINPUT,
                                                MWMO_INPUTAVAILABLE);
  if (R < WAIT_OBJECT_0 + Count) return static_cast<int>(R - WAIT_OBJECT_0);
  if (R == WAIT_OBJECT_0 + Count) return cWokeByMessage;
  return cWaitFailed;
}

// The errors with which a device that went away (a USB adapter pulled out)
// fails every call on its handle.
bool IsGoneError(DWORD Code) {
  return Code == ERROR_OPERATION_ABORTED || Code == ERROR_DEVICE_REMOVED ||
         Code == ERROR_BAD_COMMAND || Code == ERROR_ACCESS_DENIED;
}

void NoteGone(DWORD Code, std::int32_t& GoneError) {
  if (IsGoneError(Code)) GoneError = static_cast<std::int32_t>(Code);
}

// One overlapped operation, run to its end. The driver's time-outs end it;
// should a driver not apply them (a UART without hardware behind it held a
// write for ever under Wine), it is cancelled Limit after it began, with
// what it moved until then. Moved holds the bytes moved; false when the
// operation failed or moved nothing before it was cancelled. A failure that
// shows the device gone sets GoneError; our own cancel does not count.
template <class TStart>
bool RunOverlapped(HANDLE Port, TStart Start, TClock::duration Limit, DWORD& Moved,
                   std::int32_t& GoneError) {
  Moved = 0;
  const TOwnedHandle Done(NewEvent());
  if (Done.Get() == nullptr) return false;
  OVERLAPPED Operation{};
  Operation.hEvent = Done.Get();
  if (!Start(&Operation)) {
    const DWORD Error = ::GetLastError();
    if (Error != ERROR_IO_PENDING) {
      NoteGone(Error, GoneError);
      return false;
    }
  }
  const auto LimitMs = std::chrono::ceil<TMs>(Limit + cDriverTimeOutMargin).count();
  bool Cancelled = false;
  if (::WaitForSingleObject(Done.Get(), static_cast<DWORD>(LimitMs)) != WAIT_OBJECT_0) {
    Cancelled = ::CancelIoEx(Port, &Operation) != 0;
  }
  const bool Ok = ::GetOverlappedResult(Port, &Operation, &Moved, TRUE) != 0;
  if (!Ok && !Cancelled) NoteGone(::GetLastError(), GoneError);
  return Ok || Moved > 0;
}

// An overlapped WaitCommEvent that never outlives its object: a wait still
// pending is cancelled and its completion awaited, so the driver never
// writes into an OVERLAPPED or a mask that is gone.
class TReceiveEventWait {
 public:
  // Done: a manual-reset event of the caller's, signalled when the wait ends.
  TReceiveEventWait(HANDLE P, HANDLE Done) : Port(P) {
    Operation.hEvent = Done;
    if (::WaitCommEvent(Port, &Mask, &Operation)) {
      IsStarted = true;
    } else {
      IsStarted = Pending = ::GetLastError() == ERROR_IO_PENDING;
    }
  }
  ~TReceiveEventWait() {
    if (!Pending) return;
    (void)::CancelIoEx(Port, &Operation);
    // Setting the mask again also completes a pending wait; Wine was seen to
    // leave a cancelled wait on a UART pending for ever otherwise.
    if (::WaitForSingleObject(Operation.hEvent, 0) != WAIT_OBJECT_0) {
      (void)::SetCommMask(Port, cInputEvents);
    }
    DWORD Ignored = 0;
    (void)::GetOverlappedResult(Port, &Operation, &Ignored, TRUE);
  }
  TReceiveEventWait(const TReceiveEventWait&) = delete;
  TReceiveEventWait& operator=(const TReceiveEventWait&) = delete;

  // False when the driver refused the wait.
  bool Started() const { return IsStarted; }
  // After the event was signalled.
  void Finished() { Pending = false; }

 private:
  HANDLE Port;
  OVERLAPPED Operation{};
  DWORD Mask = 0;
  bool IsStarted = false;
  bool Pending = false;
};

// Queue counts of an open handle; a failed status call counts as empty.
COMSTAT QueueStatus(HANDLE Handle, std::int32_t& GoneError) {
  COMSTAT Status{};
  DWORD Errors = 0;
  if (!::ClearCommError(Handle, &Errors, &Status)) {
    NoteGone(::GetLastError(), GoneError);
    return COMSTAT{};
  }
  return Status;
}

// How long Count characters take on the line at Rate bits per second.
TClock::duration LineTime(std::int64_t Count, std::int64_t Rate) {
  if (Rate <= 0) return TClock::duration::zero();
  return std::chrono::duration_cast<TClock::duration>(
      std::chrono::nanoseconds(Count * cBitsPerChar * 1000000000 / Rate));
}

// Blocks until the driver's output queue is empty and LineEnd has passed, or
// until Deadline. A USB adapter's own buffer does not show in the queue
// count, hence the line time as a floor.
void WaitUntilSent(HANDLE Port, TClock::time_point LineEnd, TClock::time_point Deadline) {
  for (;;) {
    const auto Now = TClock::now();
    if (Now >= Deadline) return;
    std::int32_t Ignored = 0;  // the caller's next call notes a device gone
    const bool Queued = QueueStatus(Port, Ignored).cbOutQue > 0;
    if (!Queued && Now >= LineEnd) return;
    const auto Next = Queued ? Now + cDrainPollStep : LineEnd;
    SleepUntil(std::min(Next, Deadline));
  }
}

}  // namespace

const std::int32_t cPortGoneError = ERROR_FILE_NOT_FOUND;

void PausePrecisely(std::int32_t Ms) {
  if (Ms > 0) SleepUntil(TClock::now() + TMs(Ms));
}

bool TCOMPort::Open() {
  if (Enabled) Close();
  if (DeviceName.empty()) RangeError();
  const std::wstring Name = WideOfUtf8(DeviceName);
  FHandle = ::CreateFileW(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          cOpenFlags, nullptr);
  if (FHandle == INVALID_HANDLE_VALUE) {
    LastOpenError = static_cast<std::int32_t>(::GetLastError());
    return false;
  }
  // Only a character device can be a serial port: a file would take every
  // probe of a search into itself.
  if (::GetFileType(FHandle) != FILE_TYPE_CHAR) {
    ::CloseHandle(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
    LastOpenError = cNotSerialDeviceError;
    return false;
  }
  LastOpenError = 0;
  LastIOError = 0;

  // Once the device is open a refused setting is not a failure of Open.
  DCB.DCBlength = sizeof DCB;
  FoundDCBKnown = ::GetCommState(FHandle, &DCB) != 0;
  FoundDCB = DCB;
  ApplyLineSettings(DCB, BaudRate);
  (void)::SetCommState(FHandle, &DCB);
  FoundTimeOutsKnown = ::GetCommTimeouts(FHandle, &TimeOuts) != 0;
  FoundTimeOuts = TimeOuts;
  ApplyTimeOuts(TimeOuts);
  (void)::SetCommTimeouts(FHandle, &TimeOuts);
  (void)::SetCommMask(FHandle, cInputEvents);
  // Start with an empty receive queue (on a bus, the echo of what was sent
  // before a reopen would pass for a reply); queued output is left alone so
  // bytes written just before a reopen still go out.
  (void)::PurgeComm(FHandle, cPurgeInFlags);
  (void)::EscapeCommFunction(FHandle, CLRRTS);
  RtsRaised = false;

  Enabled = true;
  return true;
}

void TCOMPort::Close() {
  if (!Enabled) return;
  // No overlapped operation outlives the call that started it, so none is
  // pending here on this thread. (A console control handler may close from
  // its own thread just before the process ends; closing the handle ends
  // whatever waits on it.)
  // The settings as Open found them, for whoever uses the port next.
  if (FoundDCBKnown) (void)::SetCommState(FHandle, &FoundDCB);
  if (FoundTimeOutsKnown) (void)::SetCommTimeouts(FHandle, &FoundTimeOuts);
  FoundDCBKnown = false;
  FoundTimeOutsKnown = false;
  ::CloseHandle(FHandle);
  Enabled = false;
}

std::uint32_t TCOMPort::Write(const void* Buffer, std::int32_t Count) {
  if (Count < 0) RangeError();
  if (!Enabled || Count == 0) return 0;
  const auto Start = TClock::now();
  const auto Deadline = Start + TMs(std::int64_t{cWriteTotalTimeoutConstant} +
                                    std::int64_t{cWriteTotalTimeoutMultiplier} * Count);
  DWORD Written = 0;
  const bool Ok = RunOverlapped(
      FHandle,
      [&](OVERLAPPED* O) {
        return ::WriteFile(FHandle, Buffer, static_cast<DWORD>(Count), nullptr, O) != 0;
      },
      Deadline - Start, Written, LastIOError);
  if (!Ok) return 0;
  // WriteFile ends once the driver has taken the bytes (a USB adapter takes
  // whole frames); callers time what follows a write from its return, so it
  // returns once the bytes have left the line.
  if (Written > 0) {
    WaitUntilSent(FHandle, Start + LineTime(Written, DCB.BaudRate) + cDrainMargin, Deadline);
  }
  return Written;
}

std::uint32_t TCOMPort::Read(void* Buffer, std::int32_t Count) {
  if (Count < 0) RangeError();
  if (!Enabled || Count == 0) return 0;
  DWORD Got = 0;
  const auto Limit = TMs(std::int64_t{cReadTotalTimeoutConstant} +
                         std::int64_t{cReadTotalTimeoutMultiplier} * Count);
  const bool Ok = RunOverlapped(
      FHandle,
      [&](OVERLAPPED* O) {
        return ::ReadFile(FHandle, Buffer, static_cast<DWORD>(Count), nullptr, O) != 0;
      },
      Limit, Got, LastIOError);
  return Ok ? Got : 0;
}

std::int32_t TCOMPort::InQueCount() {
  if (!Enabled) return -1;
  return static_cast<std::int32_t>(QueueStatus(FHandle, LastIOError).cbInQue);
}

std::int32_t TCOMPort::OutQueCount() {
  if (!Enabled) return -1;
  return static_cast<std::int32_t>(QueueStatus(FHandle, LastIOError).cbOutQue);
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
  const TTimer Deadline(TClock::now() + TMs(MaxMs));
  const TOwnedHandle Received(NewEvent());
  TTimer Step;
  if (Deadline.Get() == nullptr || Received.Get() == nullptr) {
    ::Sleep(static_cast<DWORD>(MaxMs));  // no objects to wait on: coarse, but bounded
    return;
  }
  if (!Enabled) {
    (void)WaitForObjectsOrMessage({Deadline.Get()});
    return;
  }
  const std::int32_t Seen = InQueCount();
  // Alternates between the driver's receive event and a short pause while
  // the event reports only input that was already there.
  bool Pause = false;
  for (;;) {
    int Woke = cWaitFailed;
    if (Pause) {
      if (Step.Arm(TClock::now() + cSeenInputPause))
        Woke = WaitForObjectsOrMessage({Deadline.Get(), Step.Get()});
    } else {
      TReceiveEventWait Wait(FHandle, Received.Get());
      if (!Wait.Started()) {
        Woke = 1;  // the driver refused the wait: look at the queue in pauses
      } else {
        Woke = WaitForObjectsOrMessage({Deadline.Get(), Received.Get()});
        if (Woke == 1) Wait.Finished();
      }
    }
    if (Woke != 1) return;  // the limit, a window message, or a failed wait
    if (InQueCount() != Seen) return;
    Pause = !Pause;
  }
}
