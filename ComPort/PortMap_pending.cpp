// Placeholder until the serial backends land: every port number maps to no device.
#include "PortMap.h"

TPortMap SystemPortMap() {
  return [](int) { return std::string(); };
}
