// Why no controller was found: each cause a port can meet, met for real on
// ptys and the simulator, as the search records it and as the details text
// tells it.
#include "SearchRecord.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Pty.h"
#include "SimSearch.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t cNobody = 65534;
const char* const cNoSuchDevice = "/dev/quarnel-no-such-port";
const char* const cRootLikeAdvice =
    "That group gives far more than this device: ask the administrator of this computer for "
    "access to the device.";

enum class TDevice {
  Silent,      // a line on which nothing answers
  Held,        // a line that another process holds with a lock
  Missing,     // a path with no device behind it
  Denied,      // a line the searching user may not open
  Disk,        // a block device, such as a disk typed in by mistake
  Controller,  // the simulator
};

// Ports as the map hands them out; {1}, {2} ... in texts stand for their
// paths, {pid} for the process holding the held one.
struct TCase {
  const char* Name;
  std::vector<TDevice> Devices;
  const char* Typed;  // the port box's text; nullptr: automatic detection
  const char* Summary;
  const char* Details;
};

// clang-format off
const TCase cCases[] = {
    {"permission denied", {TDevice::Denied}, "{1}",
     "{1} permission denied",
     "{1}\n"
     "  Permission denied: the device belongs to group \"dialout\", and you (nobody) are not in it.\n"
     "Join the group with\n"
     "    sudo usermod -aG dialout \"$USER\"\n"
     "then log out and in again: the group counts from the next login."},
    {"held by another process", {TDevice::Held}, "{1}",
     "{1} busy",
     "{1}\n"
     "  In use by another program: loader_tests (process {pid}).\n"
     "Close that program, then try again."},
    {"block device", {TDevice::Disk}, "{1}",
     "{1} permission denied",
     "{1}\n"
     "  Could not be opened: not a serial device."},
    {"path that does not exist", {TDevice::Missing}, "{1}",
     "{1} absent",
     "{1}\n"
     "  Not present: the system has no such device.\n"
     "Check that the adapter is plugged in and that the name is right."},
    {"number that names no device", {TDevice::Silent}, "COM7",
     "COM7 absent",
     "COM7\n"
     "  No serial device has this number.\n"
     "Port numbers count the serial devices present: /dev/ttyUSB* first, then /dev/ttyACM*, "
     "then /dev/ttyS*."},
    {"text that names no port", {TDevice::Silent}, "COM1x",
     "",
     "\"COM1x\" names no port: give COM and a number, such as COM3, or a device path, such as "
     "/dev/ttyUSB0."},
    {"never answers", {TDevice::Silent}, nullptr,
     "COM1 no answer at 115200 38400 9600",
     "COM1: {1}\n"
     "  Opened, but nothing answered at 115200, 38400 or 9600 baud.\n"
     "Check that the motor controller has power and that its cable is plugged in. If the "
     "computer reaches it through a hand controller, put the hand controller in PC Direct Mode."},
    {"empty device list", {}, nullptr,
     "",
     "No serial device is present: the system lists none as /dev/ttyUSB*, /dev/ttyACM* or "
     "/dev/ttyS*.\n"
     "Plug in the USB-serial adapter. If it is plugged in and still not listed, the system log "
     "(sudo dmesg) shows whether the system saw it, and whether a service took it over."},
    {"most useful first", {TDevice::Silent, TDevice::Missing, TDevice::Held, TDevice::Silent}, nullptr,
     "COM1 no answer at 115200 38400 9600, COM2 absent, COM3 busy, COM4 no answer at 115200 38400 9600",
     "COM3: {3}\n"
     "  In use by another program: loader_tests (process {pid}).\n"
     "Close that program, then try again.\n"
     "\n"
     "COM1: {1}\n"
     "  Opened, but nothing answered at 115200, 38400 or 9600 baud.\n"
     "COM4: {4}\n"
     "  Opened, but nothing answered at 115200, 38400 or 9600 baud.\n"
     "Check that the motor controller has power and that its cable is plugged in. If the "
     "computer reaches it through a hand controller, put the hand controller in PC Direct Mode."},
    {"found", {TDevice::Missing, TDevice::Controller}, nullptr,
     "COM1 absent, COM2 found",
     ""},
};
// clang-format on

std::string Replace(std::string Text, const std::string& From, const std::string& To) {
  for (auto At = Text.find(From); At != std::string::npos; At = Text.find(From, At + To.size()))
    Text.replace(At, From.size(), To);
  return Text;
}

// One line per record: each port, then how it ended.
std::string Summary(const TSearchRecord& Record) {
  std::string Out;
  for (const TPortTried& P : Record.Ports) {
    if (!Out.empty()) Out += ", ";
    Out += P.Report.PortText + " ";
    if (P.Outcome == TPortOutcome::Found) {
      Out += "found";
    } else if (P.Outcome == TPortOutcome::NotOpened) {
      Out += PortAccessText(P.Report);
    } else {
      Out += "no answer at";
      for (const auto Rate : P.RatesProbed) Out += " " + std::to_string(Rate);
    }
  }
  return Out;
}

// A block device of this system, or empty when there is none.
std::string AnyBlockDevice() {
  std::error_code Error;
  for (fs::directory_iterator It("/dev", Error), End; !Error && It != End; It.increment(Error)) {
    struct stat St {};
    if (::lstat(It->path().c_str(), &St) == 0 && S_ISBLK(St.st_mode)) return It->path().string();
  }
  return {};
}

// A process of its own that opens Path and holds its lock until destroyed.
class THolder {
 public:
  explicit THolder(const std::string& Path) {
    int Ready[2], Release[2];
    if (::pipe(Ready) != 0 || ::pipe(Release) != 0) return;
    Pid = ::fork();
    if (Pid == 0) {
      ::close(Ready[0]);
      ::close(Release[1]);
      const int Fd = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char Ok = Fd >= 0 && ::flock(Fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
      (void)!::write(Ready[1], &Ok, 1);
      char Byte;
      (void)!::read(Release[0], &Byte, 1);  // returns when the test lets go
      ::_exit(0);
    }
    ::close(Ready[1]);
    ::close(Release[0]);
    FRelease = Release[1];
    char Ok = '0';
    Locked = ::read(Ready[0], &Ok, 1) == 1 && Ok == '1';
    ::close(Ready[0]);
  }
  ~THolder() {
    ::close(FRelease);
    if (Pid > 0) ::waitpid(Pid, nullptr, 0);
  }
  pid_t Pid = -1;
  bool Locked = false;

 private:
  int FRelease = -1;
};

// Runs Work in a child process as a user without privileges (when the test
// runs as root) and returns what it produced.
std::string AsUnprivileged(const std::function<std::string()>& Work) {
  int Out[2];
  if (::pipe(Out) != 0) return "pipe failed";
  const pid_t Pid = ::fork();
  if (Pid == 0) {
    ::close(Out[0]);
    std::string Text = "could not give up root";
    if (::geteuid() != 0 ||
        (::setgroups(0, nullptr) == 0 && ::setgid(cNobody) == 0 && ::setuid(cNobody) == 0))
      Text = Work();
    for (std::size_t Done = 0; Done < Text.size();) {
      const ssize_t N = ::write(Out[1], Text.data() + Done, Text.size() - Done);
      if (N <= 0) break;
      Done += static_cast<std::size_t>(N);
    }
    ::_exit(0);
  }
  ::close(Out[1]);
  std::string Text;
  char Buffer[4096];
  for (ssize_t N; (N = ::read(Out[0], Buffer, sizeof Buffer)) > 0;) Text.append(Buffer, N);
  ::close(Out[0]);
  ::waitpid(Pid, nullptr, 0);
  return Text;
}

// A line only its owner and the group dialout may open; as root, nobody
// then may not. A user who is not root takes away even its own access.
void DenyAccess(const Pty& Line) {
  const group* Dialout = ::getgrnam("dialout");
  if (::geteuid() == 0 && Dialout != nullptr) {
    ASSERT_EQ(::chown(Line.SlavePath().c_str(), 0, Dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(Line.SlavePath().c_str(), 0660), 0);
  } else {
    ASSERT_EQ(::chmod(Line.SlavePath().c_str(), 0), 0);
  }
}

TEST(SearchRecord, EachCauseIsRecordedAndExplainedWithItsNextStep) {
  for (const TCase& C : cCases) {
    SCOPED_TRACE(C.Name);
    const bool WithController =
        std::find(C.Devices.begin(), C.Devices.end(), TDevice::Controller) != C.Devices.end();
    // The simulator answers only where a case puts it.
    SimSearch B(SimAt(mcsim::Mode::Application, mcsim::Link::Plain, 115200));
    B.Devices.clear();
    std::vector<std::unique_ptr<Pty>> Lines;
    std::optional<THolder> Holder;
    bool Unprivileged = false;
    bool DeniedLine = false;
    const std::string Disk = AnyBlockDevice();
    const bool DiskNeeded =
        std::find(C.Devices.begin(), C.Devices.end(), TDevice::Disk) != C.Devices.end();
    if (DiskNeeded && Disk.empty()) continue;  // no block device here to try
    for (std::size_t I = 0; I < C.Devices.size(); ++I) {
      std::string Path;
      switch (C.Devices[I]) {
        case TDevice::Missing:
          Path = cNoSuchDevice;
          break;
        case TDevice::Controller:
          Path = B.Sim.DevicePath();
          break;
        case TDevice::Disk:
          Path = Disk;
          Unprivileged = true;
          break;
        default:
          Lines.push_back(std::make_unique<Pty>());
          Path = Lines.back()->SlavePath();
          if (C.Devices[I] == TDevice::Held) {
            Holder.emplace(Path);
            ASSERT_TRUE(Holder->Locked);
          }
          if (C.Devices[I] == TDevice::Denied) {
            DenyAccess(*Lines.back());
            Unprivileged = DeniedLine = true;
          }
      }
      B.Devices[static_cast<int>(I) + 1] = Path;
    }
    const auto Expand = [&](std::string Text) {
      for (const auto& [N, Path] : B.Devices)
        Text = Replace(Text, "{" + std::to_string(N) + "}", Path);
      return Replace(Text, "{pid}", Holder ? std::to_string(Holder->Pid) : "");
    };
    if (C.Typed != nullptr) {
      B.View.Controls.AutoSelectCOMPort = false;
      B.View.Controls.PortText = Expand(C.Typed);
    }

    const auto Search = [&] {
      const bool Found = B.Loader.LinkToMC();
      const TSearchRecord& Record = B.Loader.LastOutcome.Search;
      return std::string(Found ? "found" : "not found") + "\n" + Summary(Record) + "\n" +
             SearchDetails(Record) + "\n" + B.View.Controls.PortDevice;
    };
    const std::string Got = Unprivileged ? AsUnprivileged(Search) : Search();

    std::string Details = Expand(C.Details);
    if (DeniedLine && ::geteuid() != 0) {
      const passwd* Me = ::getpwuid(::geteuid());
      Details = Expand("{1}\n  Permission denied: its permissions (c---------, owner " +
                       std::string(Me->pw_name) + ", group \"tty\") do not let you (" +
                       Me->pw_name + ") open it.\n" +
                       "Ask the administrator of this computer for access to the device.");
    }
    // After a search that found nothing the port box names no device;
    // after a success it names the one found.
    const std::string Tooltip = WithController ? "COM2: " + B.Sim.DevicePath() : "";
    EXPECT_EQ(Got, std::string(WithController ? "found" : "not found") + "\n" + Expand(C.Summary) +
                       "\n" + Details + "\n" + Tooltip);
    if (!Unprivileged) {
      ASSERT_EQ(B.View.ErrorDetails.size(), WithController ? 0u : 1u);
      if (!WithController) {
        EXPECT_EQ(B.View.ErrorDetails[0], Details);
      }
      // While the search runs, the port box names each device it tries.
      if (!C.Devices.empty() && C.Typed == nullptr) {
        EXPECT_EQ(B.View.PortDevices.front(), "COM1: " + B.Devices[1]);
      }
    }
  }
}

// The next step after a permission denied follows from who may open the
// device and whether the user is, or is about to be, among them.
TEST(SearchRecord, PermissionDeniedAdviceFollowsTheGroupAndTheSession) {
  struct TDeniedCase {
    bool CharDevice, GroupMayOpen, AccountInGroup, SessionHasGroup;
    const char* Group;
    const char* Text;
  } const cDeniedCases[] = {
      {true, true, false, false, "dialout",
       "  Permission denied: the device belongs to group \"dialout\", and you (ann) are not in "
       "it.\n"
       "Join the group with\n    sudo usermod -aG dialout \"$USER\"\n"
       "then log out and in again: the group counts from the next login."},
      {true, true, false, false, "serial ports",
       "  Permission denied: the device belongs to group \"serial ports\", and you (ann) are not "
       "in it.\nJoin the group with\n    sudo usermod -aG 'serial ports' \"$USER\"\n"
       "then log out and in again: the group counts from the next login."},
      {true, true, true, false, "dialout",
       "  Permission denied: you (ann) are in group \"dialout\", which may open the device, but "
       "this session began before you joined it.\n"
       "Log out and in again: the group counts from the next login."},
      {true, true, true, true, "dialout",
       "  Permission denied, although you (ann) are in group \"dialout\", which may open the "
       "device: something else refuses it, such as an access control list or a security "
       "policy.\nAsk the administrator of this computer for access to the device."},
      {true, false, true, true, "dialout",
       "  Permission denied: its permissions (crw-rw----, owner root, group \"dialout\") do not "
       "let you (ann) open it.\nAsk the administrator of this computer for access to the device."},
      // A disk is no serial port, whoever may open it.
      {false, true, false, false, "disk", "  Could not be opened: not a serial device."},
  };
  const auto Details = [](const TDeniedFacts& Facts) {
    TPortReport R;
    R.PortText = "COM1";
    R.Device = "/dev/ttyUSB0";
    R.Access = TPortAccess::PermissionDenied;
    R.Facts.Denied = Facts;
    return SurveyDetails({R});
  };
  for (const TDeniedCase& C : cDeniedCases) {
    EXPECT_EQ(Details({true, "ann", "root", C.Group, "crw-rw----", C.CharDevice, C.GroupMayOpen,
                       C.AccountInGroup, C.SessionHasGroup}),
              std::string("COM1: /dev/ttyUSB0\n") + C.Text);
  }
  // Joining a group that amounts to root's powers is never the advice.
  for (const char* Group : {"root", "disk", "kmem", "shadow", "tty", "sudo", "wheel"}) {
    EXPECT_EQ(Details({true, "ann", "root", Group, "crw-rw----", true, true, false, false}),
              std::string("COM1: /dev/ttyUSB0\n  Permission denied: the device belongs to group \"") +
                  Group + "\", and you (ann) are not in it.\n" + cRootLikeAdvice)
        << Group;
  }
}

}  // namespace
