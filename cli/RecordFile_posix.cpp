// POSIX side of the record file: O_APPEND makes each write land at the end
// as one piece, whichever process writes; fsync makes it durable.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "ComPort.h"
#include "RecordFile.h"

namespace {

constexpr mode_t cRecordMode = 0644;
constexpr std::size_t cMaxHostName = 256;  // above HOST_NAME_MAX on every system we build for

class TFd {
 public:
  explicit TFd(int Fd) : FFd(Fd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }

 private:
  int FFd;
};

bool Fail(const std::string& What, const std::string& Path, int Code, std::string& Error) {
  Error = What + " the record file " + Path + ": " + SystemErrorText(Code);
  return false;
}

// All of Data, retrying only what a short write or a signal left.
bool WriteAll(int Fd, const std::string& Data, int& Code) {
  for (std::size_t Done = 0; Done < Data.size();) {
    const ssize_t Written = ::write(Fd, Data.data() + Done, Data.size() - Done);
    if (Written < 0 && errno == EINTR) continue;
    if (Written <= 0) {
      Code = Written < 0 ? errno : EIO;
      // Best effort: end the broken piece, so the next record starts a line.
      if (Done > 0) (void)!::write(Fd, "\n", 1);
      return false;
    }
    Done += static_cast<std::size_t>(Written);
  }
  return true;
}

}  // namespace

bool AppendRecordLine(const std::string& Path, const std::string& Line, std::string& Error) {
  if (Line.find('\n') != std::string::npos) {
    Error = "a record for " + Path + " must be one line";
    return false;
  }
  // Non-blocking, so a FIFO without a reader fails at once instead of
  // holding up the run; it is refused as no regular file below.
  const TFd Fd(
      ::open(Path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, cRecordMode));
  if (Fd.Get() < 0) return Fail("cannot open", Path, errno, Error);
  struct stat Status {};
  if (::fstat(Fd.Get(), &Status) != 0) return Fail("cannot examine", Path, errno, Error);
  if (!S_ISREG(Status.st_mode)) {
    Error = "the record file " + Path + " is not a regular file";
    return false;
  }
  int Code = 0;
  if (!WriteAll(Fd.Get(), Line + '\n', Code)) return Fail("cannot write to", Path, Code, Error);
  if (::fsync(Fd.Get()) != 0) return Fail("cannot flush", Path, errno, Error);
  return true;
}

std::string HostName() {
  char Name[cMaxHostName + 1] = {};
  if (::gethostname(Name, cMaxHostName) != 0) return {};
  return Name;
}
