// Windows side of the record file: each WriteFile goes to the end of the
// file (the offset 0xFFFFFFFF:0xFFFFFFFF, as an append-only handle would),
// and sharing read and write lets several processes hold it at once. The
// handle has write access, not append access alone, because
// FlushFileBuffers asks for it. Appends from several processes are also
// serialised by a lock: an end-of-file write is one piece on a local NTFS
// volume, but Wine (measured) and possibly a network share lose lines.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "ComPort.h"
#include "RecordFile.h"

namespace {

constexpr DWORD cEndOfFile = 0xFFFFFFFF;  // in both offset halves: write at the end
constexpr DWORD cMaxWrite = 0x7FFFFFFF;  // a record line is far shorter; a DWORD count is the limit

class THandle {
 public:
  explicit THandle(HANDLE Handle) : FHandle(Handle) {}
  ~THandle() {
    if (FHandle != INVALID_HANDLE_VALUE) ::CloseHandle(FHandle);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return FHandle; }

 private:
  HANDLE FHandle;
};

// An exclusive lock on one byte far past any record's end, as a mutex of the
// processes appending: no reader is ever kept from the lines.
constexpr DWORD cLockOffsetHigh = 0x40000000;
constexpr DWORD cLockLength = 1;

class TAppendLock {
 public:
  explicit TAppendLock(HANDLE Handle) : FHandle(Handle) {
    FAt.OffsetHigh = cLockOffsetHigh;
    FLocked = ::LockFileEx(FHandle, LOCKFILE_EXCLUSIVE_LOCK, 0, cLockLength, 0, &FAt) != 0;
  }
  ~TAppendLock() {
    if (FLocked) ::UnlockFileEx(FHandle, 0, cLockLength, 0, &FAt);
  }
  TAppendLock(const TAppendLock&) = delete;
  TAppendLock& operator=(const TAppendLock&) = delete;
  bool Locked() const { return FLocked; }

 private:
  HANDLE FHandle;
  OVERLAPPED FAt{};
  bool FLocked = false;
};

bool Fail(const std::string& What, const std::string& Path, DWORD Code, std::string& Error) {
  Error =
      What + " the record file " + Path + ": " + SystemErrorText(static_cast<std::int32_t>(Code));
  return false;
}

bool WriteAll(HANDLE Handle, const std::string& Data, DWORD& Code) {
  for (std::size_t Done = 0; Done < Data.size();) {
    const std::size_t Left = Data.size() - Done;
    const DWORD Chunk = Left > cMaxWrite ? cMaxWrite : static_cast<DWORD>(Left);
    DWORD Written = 0;
    OVERLAPPED AtEnd{};
    AtEnd.Offset = AtEnd.OffsetHigh = cEndOfFile;
    if (!::WriteFile(Handle, Data.data() + Done, Chunk, &Written, &AtEnd) || Written == 0) {
      Code = ::GetLastError();
      if (Code == ERROR_SUCCESS) Code = ERROR_WRITE_FAULT;
      // Best effort: end the broken piece, so the next record starts a line.
      if (Done > 0) (void)::WriteFile(Handle, "\n", 1, &Written, &AtEnd);
      return false;
    }
    Done += Written;
  }
  return true;
}

}  // namespace

bool AppendRecordLine(const std::string& Path, const std::string& Line, std::string& Error) {
  if (Line.find('\n') != std::string::npos) {
    Error = "a record for " + Path + " must be one line";
    return false;
  }
  const THandle File(::CreateFileW(WideOfUtf8(Path).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (File.Get() == INVALID_HANDLE_VALUE) return Fail("cannot open", Path, ::GetLastError(), Error);
  if (::GetFileType(File.Get()) != FILE_TYPE_DISK) {
    Error = "the record file " + Path + " is not a regular file";
    return false;
  }
  DWORD Code = 0;
  {
    const TAppendLock Lock(File.Get());
    if (!Lock.Locked()) return Fail("cannot lock", Path, ::GetLastError(), Error);
    if (!WriteAll(File.Get(), Line + '\n', Code)) return Fail("cannot write to", Path, Code, Error);
  }
  if (!::FlushFileBuffers(File.Get())) return Fail("cannot flush", Path, ::GetLastError(), Error);
  return true;
}

std::string HostName() {
  wchar_t Name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD Size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(Name, &Size)) return {};
  return Utf8OfWide(Name);
}
