#include "Pty.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace mcsim {
namespace {

// termios speed constants and their rates.
struct Speed {
  speed_t code;
  int baud;
};
constexpr Speed cSpeeds[] = {
    {B1200, 1200},     {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
    {B38400, 38400},   {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
#ifdef B460800
    {B460800, 460800},
#endif
#ifdef B921600
    {B921600, 921600},
#endif
};

// A fresh port starts at this speed until the tool sets its own.
constexpr speed_t cInitialSpeed = B9600;

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void SetFlags(int fd, int flags) {
  const int old = fcntl(fd, F_GETFL);
  if (old < 0 || fcntl(fd, F_SETFL, old | flags) < 0) Fail("fcntl");
  if (fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) Fail("fcntl");
}

// Without this the slave's line discipline would echo and edit what the
// tool's side receives before the tool sets its own raw mode.
void MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) Fail("tcgetattr");
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  cfsetspeed(&t, cInitialSpeed);
  if (tcsetattr(fd, TCSANOW, &t) != 0) Fail("tcsetattr");
}

}  // namespace

int BaudOf(speed_t speed) {
  for (const Speed& s : cSpeeds) {
    if (s.code == speed) return s.baud;
  }
  return 0;
}

Pty::Pty(const std::string& linkPath) : linkPath_(linkPath) {
  Open();
}

void Pty::Open() {
  master_ = UniqueFd(posix_openpt(O_RDWR | O_NOCTTY));
  if (master_.get() < 0) Fail("posix_openpt");
  SetFlags(master_.get(), O_NONBLOCK);
  if (grantpt(master_.get()) != 0) Fail("grantpt");
  if (unlockpt(master_.get()) != 0) Fail("unlockpt");
  const char* name = ptsname(master_.get());
  if (name == nullptr) Fail("ptsname");
  slaveName_ = name;
  slave_ = UniqueFd(open(slaveName_.c_str(), O_RDWR | O_NOCTTY));
  if (slave_.get() < 0) Fail("open slave");
  SetFlags(slave_.get(), O_NONBLOCK);
  MakeRaw(slave_.get());
  struct stat st {};
  if (fstat(slave_.get(), &st) != 0) Fail("fstat");
  slaveDevice_ = st.st_rdev;
  if (!linkPath_.empty()) MakeLink();
}

Pty::~Pty() {
  if (!linkPath_.empty()) unlink(linkPath_.c_str());
}

// An old link of ours may be left from a run that was killed; anything else
// at that path is not ours to remove.
void Pty::MakeLink() {
  struct stat st {};
  if (lstat(linkPath_.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      errno = EEXIST;
      Fail("link path");
    }
    if (unlink(linkPath_.c_str()) != 0) Fail("unlink old link");
  }
  if (symlink(slaveName_.c_str(), linkPath_.c_str()) != 0) Fail("symlink");
}

int Pty::LineBaud() const {
#ifdef __linux__
  // Linux answers a master's tcgetattr with the slave's settings.
  termios t{};
  if (master_.get() < 0 || tcgetattr(master_.get(), &t) != 0) return 0;
  return BaudOf(cfgetospeed(&t));
#else
  return 0;
#endif
}

void Pty::CloseMaster() {
  master_.Reset();
}

void Pty::RemoveLink() {
  if (!linkPath_.empty()) unlink(linkPath_.c_str());
}

void Pty::Replug() {
  master_.Reset();
  slave_.Reset();
  Open();
}

}  // namespace mcsim
