// The one serial-port object of the program: a thin synchronous layer over
// the platform's serial interface (termios on POSIX, the Win32
// communications functions on Windows; one backend file each).
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <termios.h>
#endif

// Masks of the bits of the Windows DCB flag word that Open sets or keeps.
constexpr std::uint32_t fBinary = 0x0001;
constexpr std::uint32_t fParity = 0x0002;
constexpr std::uint32_t fOutxCtsFlow = 0x0004;
constexpr std::uint32_t fOutxDsrFlow = 0x0008;
constexpr std::uint32_t fDtrControl = 0x0030;
constexpr std::uint32_t fDsrSensitivity = 0x0040;
constexpr std::uint32_t fTXContinueOnXoff = 0x0080;
constexpr std::uint32_t fOutX = 0x0100;
constexpr std::uint32_t fInX = 0x0200;
constexpr std::uint32_t fErrorChar = 0x0400;
constexpr std::uint32_t fNull = 0x0800;
constexpr std::uint32_t fRtsControl = 0x3000;
constexpr std::uint32_t fAbortOnError = 0x4000;
constexpr std::uint32_t fDummy2 = 0xFFFF8000;

// Time-outs of every open port, in milliseconds.
constexpr int cReadIntervalTimeout = 30;
constexpr int cReadTotalTimeoutMultiplier = 2;
constexpr int cReadTotalTimeoutConstant = 500;
constexpr int cWriteTotalTimeoutMultiplier = 2;
constexpr int cWriteTotalTimeoutConstant = 30;

// Whether a device opens, and if not, why, as far as the user can act on it.
enum class TPortAccess {
  Ok,                // opens and locks
  PermissionDenied,  // the user may not open it
  Busy,              // another program holds it
  Absent,            // no device answers to the name
  Failed,            // any other refusal
};

// Per platform: the class of a system error code (errno on POSIX, a
// GetLastError value on Windows) met while opening or locking a port, and
// the system's own words for it.
TPortAccess PortAccessOfError(std::int32_t Code);
std::string SystemErrorText(std::int32_t Code);
#ifdef _WIN32
// UTF-8 of a system text in UTF-16 (NUL-terminated); empty for an empty one.
std::string Utf8OfWide(const wchar_t* Text);
// UTF-16 for the system of a UTF-8 text.
std::wstring WideOfUtf8(const std::string& Text);
// LastOpenError of a device that opened but is no serial port (a file, say).
// Bit 29 marks a code of our own, so no system error is ever taken for it.
constexpr std::int32_t cNotSerialDeviceError = 0x20000000 | 1;
#endif

class TCOMPort {
 public:
#ifdef _WIN32
  using THandle = HANDLE;
#else
  using THandle = int;  // file descriptor; -1 after a failed Open
#endif

  // The device to open: "\\.\COMn" on Windows, a device path on POSIX.
  // UTF-8; must not be empty when Open is called.
  std::string DeviceName;
  std::int32_t BaudRate = 0;  // applied by the next Open; must not be negative
  THandle FHandle{};
#ifdef _WIN32
  ::DCB DCB{};
  COMMTIMEOUTS TimeOuts{};
  // As Open found them, put back by Close: a port shared with a console or
  // a login must not be left raw.
  ::DCB FoundDCB{};
  COMMTIMEOUTS FoundTimeOuts{};
  bool FoundDCBKnown = false;
  bool FoundTimeOutsKnown = false;
#else
  termios Settings{};   // the line settings as last written by Open
  // The line settings and modem lines as Open found them, put back by Close,
  // so a console port or a terminal typed as the port is not left raw.
  termios FoundSettings{};
  bool FoundSettingsKnown = false;
  int FoundModemLines = 0;
  bool FoundModemLinesKnown = false;
  // Driver flags to put back on Close, when Open switched on low latency.
  int SavedSerialFlags = 0;
  bool LowLatencySet = false;
#endif
  bool Enabled = false;  // true exactly while the device is open through this object
  // The RTS level last asked for by Open, SetRts or ClearRts. Kept because a
  // port without modem lines (a pty) cannot report the line itself.
  bool RtsRaised = false;
  // The system's error code of the last Open that failed (see
  // PortAccessOfError); 0 after one that succeeded.
  std::int32_t LastOpenError = 0;
  // The system's error code of the last read, write or wait that found the
  // device gone (an adapter pulled out: EIO, ENODEV, ENXIO or a hang-up on
  // POSIX, a removed device on Windows); 0 after an Open. Close keeps it, so
  // a caller can still tell why an operation ended after its clean-up.
  std::int32_t LastIOError = 0;

  // The device went away: under the open port, or the last Open found no
  // device. Nothing more will come through it until it is plugged in again.
  bool Gone() const {
    return LastIOError != 0 ||
           (!Enabled && PortAccessOfError(LastOpenError) == TPortAccess::Absent);
  }

  // Closes first if open; opens DeviceName exclusively, raw 8N1 at BaudRate,
  // no flow control, DTR and RTS low. True when the device could be opened.
  // Throws std::out_of_range when DeviceName is empty.
  bool Open();
  // Makes system calls only, so a signal handler may call it (the terminal
  // front end does on a second Ctrl-C); keep it so.
  void Close();
  // Close for a stop that must not wait: output still queued is dropped
  // first, since closing a tty waits for it to drain (up to 30 s by the
  // driver's default). System calls only, as Close.
  void Abandon() {
    PurgeOut();
    Close();
  }
  // Read waits for Count bytes, but no longer than 30 ms of silence after a
  // byte and 500 + 2 * Count ms in all; bytes already waiting come at once.
  // Write returns once its bytes have left the line, at most 30 + 2 * Count
  // ms after it began: the system's write ends when the driver has taken
  // the bytes (a USB adapter takes whole frames), so Write then waits for
  // the driver's output queue to empty and for the bytes' line time (10
  // bits a character) to pass.
  // Both return the bytes moved, 0 when not open, and throw
  // std::out_of_range for a negative count, even when not open.
  std::uint32_t Write(const void* Buffer, std::int32_t Count);
  std::uint32_t Read(void* Buffer, std::int32_t Count);
  std::int32_t InQueCount();   // -1 when not open
  std::int32_t OutQueCount();  // -1 when not open
  void PurgeIn();
  void PurgeOut();
  // Bus direction control (RTS); a refusal by the platform is ignored.
  // Nothing happens when the port is not open.
  void SetRts();
  void ClearRts();
  // Blocks for at most MaxMs until more input arrives, so that a waiting
  // caller need not spin. When the port is not open it simply sleeps MaxMs
  // (on Windows a window message ends it sooner).
  // On POSIX, input already waiting makes it pause only briefly (the caller
  // waits for more than is there). On Windows it waits for input beyond what
  // is already there, on the driver's receive event together with the
  // thread's window messages: a new byte or a message (old or new) ends it
  // at once, and the limit is a high-resolution waitable timer, so nothing
  // depends on the system timer's resolution.
  void WaitForInput(int MaxMs);
};

// Blocks the calling thread for Ms milliseconds (none for 0 or less), to
// well under a millisecond: the protocol's fixed pauses go through it. On
// Windows a high-resolution waitable timer, never Sleep, whose default tick
// of 15.6 ms would stretch a 100 ms pause to 109.
void PausePrecisely(std::int32_t Ms);

// The open error a search notes for a port that vanished while it was being
// asked: one the platform reads as "no such device".
extern const std::int32_t cPortGoneError;

// The program's one port object, created before main runs.
extern TCOMPort Comm1;
