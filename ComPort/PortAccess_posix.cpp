// Why a device did not open, from the errno of open(2) or flock(2).
#include <cerrno>
#include <cstring>

#include "ComPort.h"

TPortAccess PortAccessOfError(std::int32_t Code) {
  switch (Code) {
    case 0:
      return TPortAccess::Ok;
    case EACCES:
    case EPERM:
      return TPortAccess::PermissionDenied;
    case EBUSY:        // another party set exclusive mode (TIOCEXCL)
    case EWOULDBLOCK:  // flock: another party holds the lock
      return TPortAccess::Busy;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return TPortAccess::Absent;
    default:
      return TPortAccess::Failed;
  }
}

std::string SystemErrorText(std::int32_t Code) {
  // The port refuses anything that is not a terminal; the system's own words
  // for that ("Inappropriate ioctl for device") would puzzle a user.
  if (Code == ENOTTY) return "not a serial device";
  return std::strerror(Code);
}
