// Windows side of the port facts: the system names neither a device's
// permissions nor the program that holds a COM port.
#include "PortFacts.h"

TPortFacts GatherPortFacts(const std::string&, TPortAccess) {
  return {};
}

const TPlatformPortTexts& PlatformPortTexts() {
  static const TPlatformPortTexts cTexts = {
      "No COM port is present.",
      "Plug in the USB-serial adapter. Device Manager lists it under \"Ports (COM & LPT)\" "
      "once its driver is installed.",
      "Port n is the system's COMn.", "COM and a number, such as COM3"};
  return cTexts;
}
