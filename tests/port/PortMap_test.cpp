// Port numbering: which device port n opens.
#include "PortMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TNames = std::vector<std::string>;

TEST(OrderSerialDevices, LinuxGroupsInNumericOrder) {
  struct TCase {
    const char* Name;
    TNames In;
    TNames Expected;
  };
  const TCase Cases[] = {
      {"nothing", {}, {}},
      {"groups USB, ACM, S; numbers by value",
       {"ttyS10", "ttyS2", "ttyACM0", "ttyUSB10", "ttyUSB2", "ttyS1"},
       {"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyS2",
        "/dev/ttyS10"}},
      {"not serial devices, or no number",
       {"tty0", "tty", "ttyS", "ttyUSB", "console", "ttySAC0", "ttyUSB1x", ".", "..", "ttyACM3"},
       {"/dev/ttyACM3"}},
      {"numbers beyond any integer type",
       {"ttyUSB99999999999999999999", "ttyUSB100000000000000000000", "ttyUSB7"},
       {"/dev/ttyUSB7", "/dev/ttyUSB99999999999999999999", "/dev/ttyUSB100000000000000000000"}},
      {"listed once", {"ttyUSB0", "ttyUSB0"}, {"/dev/ttyUSB0"}},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(OrderSerialDevices(C.In, TDeviceNaming::Linux), C.Expected);
  }
}

TEST(OrderSerialDevices, MacCallOutDevices) {
  const TNames In = {"cu.usbserial-10", "tty.usbserial-9", "cu.usbserial-9", "cu.Bluetooth", "cu.",
                     "ttyUSB0"};
  const TNames Expected = {"/dev/cu.Bluetooth", "/dev/cu.usbserial-9", "/dev/cu.usbserial-10"};
  EXPECT_EQ(OrderSerialDevices(In, TDeviceNaming::MacOS), Expected);
}

TEST(PortMapFromList, PortNumbersCountFromOne) {
  const TPortMap Map = PortMapFromList({"/dev/ttyUSB0", "/dev/ttyS0"});
  const std::pair<int, const char*> Cases[] = {
      {-1, ""}, {0, ""}, {1, "/dev/ttyUSB0"}, {2, "/dev/ttyS0"}, {3, ""}, {255, ""},
  };
  for (const auto& [N, Expected] : Cases) {
    SCOPED_TRACE(N);
    EXPECT_EQ(Map(N), Expected);
  }
  EXPECT_EQ(PortMapFromList({})(1), "");
}

#ifdef _WIN32
TEST(SystemPortMap, EveryComNumberNamesADeviceAndNoOtherNumberDoes) {
  const TPortMap Map = SystemPortMap();
  const std::pair<int, const char*> Cases[] = {
      {-1, ""},
      {0, ""},
      {1, "\\\\.\\COM1"},
      {9, "\\\\.\\COM9"},
      {10, "\\\\.\\COM10"},
      {255, "\\\\.\\COM255"},
      {256, ""},
      {100000, ""},
  };
  for (const auto& [N, Expected] : Cases) {
    SCOPED_TRACE(N);
    EXPECT_EQ(Map(N), Expected);
  }
}
#else
TEST(SystemPortMap, NamesDevicesOrNothing) {
  const TPortMap Map = SystemPortMap();
  EXPECT_EQ(Map(0), "");
  EXPECT_EQ(Map(100000), "");
  for (int n = 1; n <= 255 && !Map(n).empty(); ++n) {
    EXPECT_EQ(Map(n).rfind("/dev/", 0), 0u) << Map(n);
  }
}
#endif

}  // namespace
