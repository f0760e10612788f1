// POSIX side of the port survey: sysfs for what the system knows of a tty
// (Linux; elsewhere it finds nothing), open and flock for whether it opens.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "PortSurvey.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* cSysClassTty = "/sys/class/tty";
constexpr const char* cDevFolder = "/dev";
// How far above a tty's device its USB device may sit: the interface, then
// (for usb-serial ports) the port device in between.
constexpr int cUsbLevelsUp = 4;
// Attributes come from the device's own descriptors; a longer one is cut.
constexpr std::size_t cMaxAttributeSize = 64;
// A serial number is kept whole for a record: a USB string descriptor holds
// at most 126 UTF-16 units, which sysfs gives as at most 378 bytes of UTF-8.
constexpr std::size_t cMaxSerialSize = 378;
constexpr const char* cSerialCoreBus = "serial-base";

// First line of a sysfs attribute, blanks at the ends removed; empty when
// there is none.
std::string ReadAttribute(const fs::path& File, std::size_t MaxSize = cMaxAttributeSize) {
  std::ifstream In(File);
  std::string Line;
  if (!std::getline(In, Line)) return {};
  if (Line.size() > MaxSize) Line.resize(MaxSize);
  const auto First = Line.find_first_not_of(" \t\r");
  if (First == std::string::npos) return {};
  return Line.substr(First, Line.find_last_not_of(" \t\r") - First + 1);
}

// The driver of a tty's hardware, "ftdi_sio" or "cdc_acm": the name its
// driver link points at. The serial core's own port and controller devices
// (bus "serial-base", newer kernels) stand in between and are passed over.
std::string DriverOf(fs::path Folder) {
  for (int Level = 0; Level <= cUsbLevelsUp; ++Level) {
    std::error_code Error;
    const fs::path Target = fs::read_symlink(Folder / "driver", Error);
    if (Error) return {};
    if (Target.parent_path().parent_path().filename() != cSerialCoreBus)
      return Target.filename().string();
    Folder = Folder.parent_path();
  }
  return {};
}

// The USB device folder at or above Folder, or an empty path.
fs::path UsbDeviceAbove(fs::path Folder) {
  std::error_code Error;
  for (int Level = 0; Level <= cUsbLevelsUp && !Folder.empty(); ++Level) {
    if (fs::exists(Folder / "idVendor", Error)) return Folder;
    if (Folder == Folder.parent_path()) break;
    Folder = Folder.parent_path();
  }
  return {};
}

// The tty's device folder, resolved, or an empty path when sysfs has none.
fs::path TtyDevice(const std::string& SysClassTty, const std::string& TtyName) {
  std::error_code Error;
  const fs::path Device = fs::canonical(fs::path(SysClassTty) / TtyName / "device", Error);
  return Error ? fs::path() : Device;
}

void Append(std::string& Text, const std::string& Part) {
  if (Part.empty()) return;
  if (!Text.empty()) Text += ' ';
  Text += Part;
}

std::string DescribeUsb(const fs::path& Usb) {
  std::string Text =
      "USB " + ReadAttribute(Usb / "idVendor") + ":" + ReadAttribute(Usb / "idProduct");
  Append(Text, ReadAttribute(Usb / "manufacturer"));
  Append(Text, ReadAttribute(Usb / "product"));
  const std::string Serial = ReadAttribute(Usb / "serial");
  if (!Serial.empty()) Append(Text, "serial " + Serial);
  return Text;
}

// True when another party has set exclusive mode on the tty. A privileged
// user's open passes exclusive mode, so the open alone does not tell.
bool ExclusiveElsewhere(int Fd) {
#ifdef TIOCGEXCL
  int Exclusive = 0;
  return ::ioctl(Fd, TIOCGEXCL, &Exclusive) == 0 && Exclusive != 0;
#else
  (void)Fd;
  return false;
#endif
}

}  // namespace

std::string DescribeTty(const std::string& SysClassTty, const std::string& TtyName) {
  const fs::path Device = TtyDevice(SysClassTty, TtyName);
  if (Device.empty()) return {};
  std::string Text;
  const fs::path Usb = UsbDeviceAbove(Device);
  if (!Usb.empty()) Text = DescribeUsb(Usb);
  const std::string Driver = DriverOf(Device);
  if (!Driver.empty()) Append(Text, Text.empty() ? "driver " + Driver : "(driver " + Driver + ")");
  return Text;
}

std::string UsbSerialOfTty(const std::string& SysClassTty, const std::string& TtyName) {
  const fs::path Device = TtyDevice(SysClassTty, TtyName);
  const fs::path Usb = Device.empty() ? fs::path() : UsbDeviceAbove(Device);
  return Usb.empty() ? std::string() : ReadAttribute(Usb / "serial", cMaxSerialSize);
}

std::string TtyNameOf(const std::string& DevFolder, const std::string& Device) {
  char Folder[PATH_MAX];
  char Real[PATH_MAX];
  if (::realpath(DevFolder.c_str(), Folder) == nullptr ||
      ::realpath(Device.c_str(), Real) == nullptr)
    return {};
  const std::string Prefix = std::string(Folder) + "/";
  const std::string Path = Real;
  if (Path.compare(0, Prefix.size(), Prefix) != 0) return {};
  return Path.substr(Prefix.size());
}

bool DescribeDevice(const std::string& Device, std::string& Info) {
  struct stat Status {};
  if (::stat(Device.c_str(), &Status) != 0) return false;
  Info.clear();
  const std::string TtyName = TtyNameOf(cDevFolder, Device);
  if (!TtyName.empty()) Info = DescribeTty(cSysClassTty, TtyName);
  return true;
}

std::string UsbSerialNumber(const std::string& Device) {
  const std::string TtyName = TtyNameOf(cDevFolder, Device);
  return TtyName.empty() ? std::string() : UsbSerialOfTty(cSysClassTty, TtyName);
}

TPortAccess CheckPortAccess(const std::string& Device, std::string& Detail) {
  // The flags and the lock of the port object's Open; the line is not touched.
  const int Fd = ::open(Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (Fd < 0) return AccessOfError(errno, Detail);
  TPortAccess Access = TPortAccess::Ok;
  if (!::isatty(Fd)) {
    Access = AccessOfError(ENOTTY, Detail);
  } else if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
    Access = AccessOfError(errno, Detail);
  } else {
    (void)::flock(Fd, LOCK_UN);
    if (ExclusiveElsewhere(Fd)) Access = TPortAccess::Busy;
  }
  ::close(Fd);
  return Access;
}
