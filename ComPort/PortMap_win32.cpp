// Windows port numbering: port n is "\\.\COMn", the form that also reaches
// ports above 9. Windows numbers its COM ports from 1 to 255; any other
// number names no device.
#include <string>

#include "PortMap.h"

namespace {
constexpr const char* cComPrefix = "\\\\.\\COM";
constexpr int cFirstComPort = 1;
constexpr int cLastComPort = 255;
}  // namespace

TPortMap SystemPortMap() {
  return [](int n) {
    if (n < cFirstComPort || n > cLastComPort) return std::string();
    return cComPrefix + std::to_string(n);
  };
}
