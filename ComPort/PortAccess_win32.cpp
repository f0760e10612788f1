// Why a COM port did not open, from the GetLastError value of CreateFileW.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "ComPort.h"

std::string Utf8OfWide(const wchar_t* Text) {
  const int Len = ::WideCharToMultiByte(CP_UTF8, 0, Text, -1, nullptr, 0, nullptr, nullptr);
  if (Len <= 1) return {};
  std::string Out(static_cast<std::size_t>(Len), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, Text, -1, Out.data(), Len, nullptr, nullptr);
  Out.resize(static_cast<std::size_t>(Len - 1));
  return Out;
}

std::wstring WideOfUtf8(const std::string& Text) {
  if (Text.empty()) return {};
  const int Size = static_cast<int>(Text.size());
  const int Length = ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, nullptr, 0);
  if (Length <= 0) return {};
  std::wstring Wide(static_cast<std::size_t>(Length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, Text.data(), Size, Wide.data(), Length);
  return Wide;
}

TPortAccess PortAccessOfError(std::int32_t Code) {
  switch (static_cast<DWORD>(Code)) {
    case ERROR_SUCCESS:
      return TPortAccess::Ok;
    case ERROR_ACCESS_DENIED:  // how Windows refuses a COM port another program holds
    case ERROR_SHARING_VIOLATION:
      return TPortAccess::Busy;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return TPortAccess::Absent;
    default:
      return TPortAccess::Failed;
  }
}

std::string SystemErrorText(std::int32_t Code) {
  if (Code == cNotSerialDeviceError) return "not a serial device";
  wchar_t* Buffer = nullptr;
  const DWORD Len = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(Code), 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
  std::string Text = Len > 0 ? Utf8OfWide(Buffer) : "error " + std::to_string(Code);
  if (Buffer != nullptr) ::LocalFree(Buffer);
  while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r' || Text.back() == ' '))
    Text.pop_back();
  return Text;
}
