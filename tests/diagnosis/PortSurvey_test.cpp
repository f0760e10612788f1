// The port survey: what sysfs says of a tty, and which ports it lists in
// which state, without touching the line.
#include "PortSurvey.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ComPort.h"
#include "PortFacts.h"
#include "Pty.h"

namespace fs = std::filesystem;

namespace {

class FakeSysfs {
 public:
  FakeSysfs() { fs::create_directories(Root / "class/tty"); }
  ~FakeSysfs() {
    std::error_code Error;
    fs::remove_all(Root, Error);
  }
  // A device folder under devices/ with the given attribute files.
  fs::path Device(const std::string& Path,
                  const std::vector<std::pair<std::string, std::string>>& Attributes = {}) {
    const fs::path Folder = Root / "devices" / Path;
    fs::create_directories(Folder);
    for (const auto& [Name, Value] : Attributes) std::ofstream(Folder / Name) << Value;
    return Folder;
  }
  void Driver(const fs::path& DeviceFolder, const std::string& Name,
              const std::string& Bus = "usb-serial") {
    const fs::path Folder = Root / "bus" / Bus / "drivers" / Name;
    fs::create_directories(Folder);
    fs::create_directory_symlink(Folder, DeviceFolder / "driver");
  }
  void Tty(const std::string& Name, const fs::path& DeviceFolder) {
    fs::create_directories(Root / "class/tty" / Name);
    fs::create_directory_symlink(DeviceFolder, Root / "class/tty" / Name / "device");
  }
  std::string ClassTty() const { return (Root / "class/tty").string(); }

  fs::path Root = fs::temp_directory_path() / ("quarnel-sysfs-" + std::to_string(getpid()));
};

TEST(DescribeTty, UsbIdentityAndDriverOrDriverAlone) {
  FakeSysfs Sys;
  // usb-serial: tty -> port device -> interface -> USB device.
  Sys.Device("usb1/1-1", {{"idVendor", "0403\n"},
                          {"idProduct", "6001\n"},
                          {"manufacturer", "  FTDI \n"},
                          {"product", "FT232R USB UART\n"},
                          {"serial", "A50285BI\nsecond line\n"}});
  const fs::path FtdiPort = Sys.Device("usb1/1-1/1-1:1.0/ttyUSB0");
  Sys.Driver(FtdiPort, "ftdi_sio");
  Sys.Tty("ttyUSB0", FtdiPort);
  // cdc-acm: tty -> interface -> USB device, which has no strings.
  Sys.Device("usb1/1-2", {{"idVendor", "2341\n"}, {"idProduct", "0043\n"}});
  const fs::path Acm = Sys.Device("usb1/1-2/1-2:1.0");
  Sys.Driver(Acm, "cdc_acm");
  Sys.Tty("ttyACM0", Acm);
  // A UART below the serial core's port and controller devices.
  Sys.Driver(Sys.Device("pnp0/00:00"), "serial", "pnp");
  Sys.Driver(Sys.Device("pnp0/00:00/00:00:0"), "ctrl", "serial-base");
  const fs::path Uart = Sys.Device("pnp0/00:00/00:00:0/00:00:0.0");
  Sys.Driver(Uart, "port", "serial-base");
  Sys.Tty("ttyS0", Uart);
  // A very long product string is cut.
  Sys.Device("usb1/1-3",
             {{"idVendor", "1a86\n"}, {"idProduct", "7523\n"}, {"product", std::string(200, 'x')}});
  const fs::path Ch = Sys.Device("usb1/1-3/1-3:1.0/ttyUSB1");
  Sys.Tty("ttyUSB1", Ch);

  const std::pair<const char*, std::string> cCases[] = {
      {"ttyUSB0", "USB 0403:6001 FTDI FT232R USB UART serial A50285BI (driver ftdi_sio)"},
      {"ttyACM0", "USB 2341:0043 (driver cdc_acm)"},
      {"ttyS0", "driver serial"},
      {"ttyUSB1", "USB 1a86:7523 " + std::string(64, 'x')},
      {"ttyS9", ""},
      {"pts/3", ""},
  };
  for (const auto& [Name, Expected] : cCases)
    EXPECT_EQ(DescribeTty(Sys.ClassTty(), Name), Expected) << Name;
}

// The serial number for a record: whole past the description's cut, as the
// device gave it, and empty where no USB device with one stands above.
TEST(UsbSerialOfTty, TheUsbDevicesSerialWholeOrNothing) {
  FakeSysfs Sys;
  const std::string Long(100, 'S');
  Sys.Device("usb1/1-1", {{"idVendor", "0403\n"}, {"serial", " A50285BI \n"}});
  Sys.Tty("ttyUSB0", Sys.Device("usb1/1-1/1-1:1.0/ttyUSB0"));
  Sys.Device("usb1/1-2", {{"idVendor", "1a86\n"}, {"serial", Long + "\n"}});
  Sys.Tty("ttyUSB1", Sys.Device("usb1/1-2/1-2:1.0/ttyUSB1"));
  Sys.Device("usb1/1-3", {{"idVendor", "2341\n"}});
  Sys.Tty("ttyACM0", Sys.Device("usb1/1-3/1-3:1.0"));
  Sys.Tty("ttyS0", Sys.Device("pnp0/00:00/00:00:0/00:00:0.0", {{"serial", "not USB\n"}}));
  const std::pair<const char*, std::string> cCases[] = {
      {"ttyUSB0", "A50285BI"}, {"ttyUSB1", Long}, {"ttyACM0", ""}, {"ttyS0", ""}, {"ttyS9", ""},
  };
  for (const auto& [Name, Expected] : cCases)
    EXPECT_EQ(UsbSerialOfTty(Sys.ClassTty(), Name), Expected) << Name;
}

// sysfs knows a tty by its own name only: a link such as those under
// /dev/serial/by-id is resolved first.
TEST(TtyNameOf, TheNameTheDeviceResolvesTo) {
  const fs::path Root = fs::temp_directory_path() / ("quarnel-dev-" + std::to_string(getpid()));
  const fs::path Dev = Root / "dev";
  fs::create_directories(Dev / "serial/by-id");
  fs::create_directories(Dev / "pts");
  std::ofstream(Dev / "ttyUSB0").put('\0');
  std::ofstream(Dev / "pts/3").put('\0');
  std::ofstream(Root / "outside").put('\0');
  fs::create_symlink("../../ttyUSB0", Dev / "serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
  fs::create_symlink(Root / "outside", Dev / "ttyOut");
  const std::pair<fs::path, std::string> cCases[] = {
      {Dev / "ttyUSB0", "ttyUSB0"},
      {Dev / "serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0", "ttyUSB0"},
      {Dev / "serial/../ttyUSB0", "ttyUSB0"},
      {Dev / "pts/3", "pts/3"},
      {Dev / "ttyOut", ""},
      {Dev / "ttyUSB9", ""},
  };
  for (const auto& [Device, Expected] : cCases)
    EXPECT_EQ(TtyNameOf(Dev.string(), Device.string()), Expected) << Device;
  fs::remove_all(Root);
}

TEST(SurveyPorts, ListsPresentPortsInOrderWithTheirStateAndSendsNothing) {
  Pty Free;
  Pty Held;
  TCOMPort Holder;
  Holder.DeviceName = Held.SlavePath();
  Holder.BaudRate = 9600;
  ASSERT_TRUE(Holder.Open());
  termios Before{};
  ASSERT_EQ(::tcgetattr(Free.MasterFd(), &Before), 0);

  const std::vector<std::string> Devices = {Free.SlavePath(), "/dev/quarnel-no-such-port",
                                            Held.SlavePath()};
  const auto Reports = SurveyPorts([&] { return PortMapFromList(Devices); });
  Holder.Close();

  ASSERT_EQ(Reports.size(), 2u);
  EXPECT_EQ(Reports[0].PortText, "COM1");
  EXPECT_EQ(Reports[0].Device, Free.SlavePath());
  EXPECT_EQ(PortAccessText(Reports[0]), "ok");
  EXPECT_EQ(Reports[1].PortText, "COM3");
  EXPECT_EQ(PortAccessText(Reports[1]), "busy");
  // Neither a byte nor a line setting: the free pty is still in cooked mode.
  EXPECT_EQ(Free.ReceiveAvailable(), "");
  termios After{};
  ASSERT_EQ(::tcgetattr(Free.MasterFd(), &After), 0);
  EXPECT_EQ(After.c_lflag, Before.c_lflag);
  EXPECT_EQ(After.c_iflag, Before.c_iflag);
}

#ifdef __linux__
// Children that open many descriptors and end at once, reaped at once, so
// their /proc entries vanish while a scan is reading them.
class TChurn {
 public:
  TChurn()
      : Worker([this] {
          while (!Stop) {
            const pid_t Pid = ::fork();
            if (Pid == 0) {
              for (int I = 0; I < cDescriptors; ++I) (void)!::dup(0);
              ::_exit(0);
            }
            if (Pid > 0) ::waitpid(Pid, nullptr, 0);
          }
        }) {}
  ~TChurn() {
    Stop = true;
    Worker.Join();
  }

 private:
  static constexpr int cDescriptors = 500;
  std::atomic<bool> Stop{false};
  BackgroundTask Worker;
};

// A process counts when a descriptor link names the device's own path; the
// link's target is never followed, so an alias elsewhere does not count.
TEST(ProcessesWithOpen, ByTheNamesTheDescriptorLinksGive) {
  Pty Line;
  const fs::path Root = fs::temp_directory_path() / ("quarnel-proc-" + std::to_string(getpid()));
  const fs::path Alias = Root / "alias";
  const std::pair<const char*, std::string> cLinks[] = {
      {"100/fd/3", Line.SlavePath()},
      {"101/fd/0", "/dev/null"},
      {"102/fd/4", Line.SlavePath() + " (deleted)"},
      {"103/fd/5", Alias.string()},
      {"self/fd/3", Line.SlavePath()},
  };
  fs::create_directories(Root / "104");  // no fd folder: ended, or not ours to read
  fs::create_symlink(Line.SlavePath(), Alias);
  for (const auto& [Link, Target] : cLinks) {
    fs::create_directories((Root / Link).parent_path());
    fs::create_symlink(Target, Root / Link);
  }
  const std::set<std::int64_t> Expected = {100};
  EXPECT_EQ(ProcessesWithOpen(Root.string(), Line.SlavePath()), Expected);
  EXPECT_EQ(ProcessesWithOpen(Root.string(), Alias.string()), Expected);  // the link resolved
  fs::remove_all(Root);
}

TEST(ProcessesWithOpen, ScanningWhileProcessesEndThrowsNothing) {
  Pty Line;
  constexpr auto cRaceTime = std::chrono::seconds(1);
  TChurn Churn;
  int Scans = 0;
  for (const auto End = std::chrono::steady_clock::now() + cRaceTime;
       std::chrono::steady_clock::now() < End; ++Scans) {
    // We hold the line ourselves, so every scan must find us.
    std::set<std::int64_t> Pids;
    ASSERT_NO_THROW(Pids = ProcessesWithOpen("/proc", Line.SlavePath())) << "scan " << Scans;
    ASSERT_EQ(Pids.count(::getpid()), 1u);
  }
}
#endif

}  // namespace
