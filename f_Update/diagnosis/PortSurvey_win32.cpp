// Windows side of the port survey: the DOS device table for whether a COM
// port exists and which driver's device it is, CreateFileW for whether it
// opens.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "PortSurvey.h"

namespace {

constexpr const char* cDevicePrefix = "\\\\.\\";  // "\\.\" before the DOS name
constexpr DWORD cTargetChars = 512;

// "COM3" from "\\.\COM3"; the text itself when it has no such prefix.
std::wstring DosName(const std::string& Device) {
  const std::string Prefix = cDevicePrefix;
  const std::string Name =
      Device.compare(0, Prefix.size(), Prefix) == 0 ? Device.substr(Prefix.size()) : Device;
  return std::wstring(Name.begin(), Name.end());  // port names are ASCII
}

}  // namespace

bool DescribeDevice(const std::string& Device, std::string& Info) {
  wchar_t Target[cTargetChars] = {};
  // The first target is the driver's device, e.g. \Device\Serial0 or \Device\VCP0.
  if (::QueryDosDeviceW(DosName(Device).c_str(), Target, cTargetChars) == 0) return false;
  Info = Utf8OfWide(Target);
  return true;
}

// A COM port's name leads to its USB device only through the device tree
// (SetupAPI, then the parents of the port's node, which differ per driver);
// not worth it for a record field that may be null.
std::string UsbSerialNumber(const std::string&) {
  return {};
}

TPortAccess CheckPortAccess(const std::string& Device, std::string& Detail) {
  // As the port object's Open: read and write, no sharing.
  const std::wstring Name(Device.begin(), Device.end());
  const HANDLE Handle = ::CreateFileW(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Handle == INVALID_HANDLE_VALUE)
    return AccessOfError(static_cast<std::int32_t>(::GetLastError()), Detail);
  // As Open: only a character device can be a serial port.
  const bool Serial = ::GetFileType(Handle) == FILE_TYPE_CHAR;
  ::CloseHandle(Handle);
  return Serial ? TPortAccess::Ok : AccessOfError(cNotSerialDeviceError, Detail);
}
