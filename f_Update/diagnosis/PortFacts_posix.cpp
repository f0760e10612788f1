// POSIX side of the port facts: the device file's owner, group and mode and
// our own groups for a permission denied; on Linux, the process holding a
// busy port from /proc (its lock in /proc/locks, else an open descriptor).
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "PortFacts.h"

namespace fs = std::filesystem;

namespace {

constexpr int cMaxGroups = 1024;  // more groups than any account has

#ifdef __linux__
constexpr std::size_t cMaxNameSize = 64;  // a process name is the system's, cut to this
constexpr const char* cProcFolder = "/proc";
constexpr const char* cProcLocks = "/proc/locks";
constexpr const char* cDevFolder = "/dev/";
#endif

std::string UserName(uid_t Uid) {
  const passwd* Entry = ::getpwuid(Uid);
  return Entry != nullptr ? Entry->pw_name : std::to_string(Uid);
}

std::string GroupName(gid_t Gid) {
  const group* Entry = ::getgrgid(Gid);
  return Entry != nullptr ? Entry->gr_name : std::to_string(Gid);
}

// "crw-rw----", as ls -l shows the mode.
std::string ModeText(mode_t Mode) {
  std::string Text = S_ISCHR(Mode)   ? "c"
                     : S_ISBLK(Mode) ? "b"
                     : S_ISDIR(Mode) ? "d"
                     : S_ISLNK(Mode) ? "l"
                                     : "-";
  const mode_t Bits[] = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP,
                         S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
  const char Letters[] = "rwxrwxrwx";
  for (std::size_t I = 0; I < 9; ++I) Text += (Mode & Bits[I]) ? Letters[I] : '-';
  return Text;
}

bool SessionHas(gid_t Gid) {
  if (::getegid() == Gid) return true;
  gid_t Groups[cMaxGroups];
  const int Count = ::getgroups(cMaxGroups, Groups);
  return Count > 0 && std::find(Groups, Groups + Count, Gid) != Groups + Count;
}

// Whether the account is a member of Gid as the group database says now,
// which may differ from the groups this session started with.
bool AccountHas(uid_t Uid, gid_t Gid) {
  const passwd* Entry = ::getpwuid(Uid);
  if (Entry == nullptr) return false;
  const std::string Name = Entry->pw_name;
  const gid_t Primary = Entry->pw_gid;
  if (Primary == Gid) return true;
#ifdef __APPLE__
  int Groups[cMaxGroups];
  int Count = cMaxGroups;
  if (::getgrouplist(Name.c_str(), static_cast<int>(Primary), Groups, &Count) < 0) return false;
  return std::find(Groups, Groups + Count, static_cast<int>(Gid)) != Groups + Count;
#else
  gid_t Groups[cMaxGroups];
  int Count = cMaxGroups;
  if (::getgrouplist(Name.c_str(), Primary, Groups, &Count) < 0) return false;
  return std::find(Groups, Groups + Count, Gid) != Groups + Count;
#endif
}

TDeniedFacts DeniedFacts(const std::string& Device) {
  TDeniedFacts F;
  struct stat St {};
  if (::stat(Device.c_str(), &St) != 0) return F;
  F.Known = true;
  F.User = UserName(::geteuid());
  F.Owner = UserName(St.st_uid);
  F.Group = GroupName(St.st_gid);
  F.Mode = ModeText(St.st_mode);
  F.CharDevice = S_ISCHR(St.st_mode);
  F.GroupMayOpen = (St.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  F.AccountInGroup = AccountHas(::geteuid(), St.st_gid);
  F.SessionHasGroup = SessionHas(St.st_gid);
  return F;
}

#ifdef __linux__
bool Running(std::int64_t Pid) {
  std::error_code Error;
  return fs::exists(fs::path(cProcFolder) / std::to_string(Pid), Error);
}

// The processes with a lock on the file St describes, from lines such as
// "1: FLOCK  ADVISORY  WRITE 4242 00:19:5 0 EOF" (device numbers in hex).
// The line names the process that took the lock; one that has ended since,
// its descriptor passed on to a child, is left out.
std::set<std::int64_t> LockHolders(const struct stat& St) {
  std::set<std::int64_t> Pids;
  std::ifstream Locks(cProcLocks);
  for (std::string Line; std::getline(Locks, Line);) {
    if (Line.find("->") != std::string::npos) continue;  // a waiter, not a holder
    std::istringstream Fields(Line);
    std::string Id, Kind, Mandatory, Access, File;
    std::int64_t Pid = 0;
    if (!(Fields >> Id >> Kind >> Mandatory >> Access >> Pid >> File) || Pid <= 0) continue;
    unsigned Major = 0, Minor = 0;
    unsigned long long Inode = 0;
    char Colon1 = 0, Colon2 = 0;
    std::istringstream Parts(File);
    if (!(Parts >> std::hex >> Major >> Colon1 >> Minor >> Colon2 >> std::dec >> Inode)) continue;
    if (Major == major(St.st_dev) && Minor == minor(St.st_dev) && Inode == St.st_ino &&
        Running(Pid))
      Pids.insert(Pid);
  }
  return Pids;
}

using TDir = std::unique_ptr<DIR, int (*)(DIR*)>;

TDir OpenFolder(const std::string& Path) {
  return TDir(::opendir(Path.c_str()), ::closedir);
}

bool AllDigits(const char* Name) {
  return *Name != '\0' && std::strspn(Name, "0123456789") == std::strlen(Name);
}

// The path a descriptor link names; empty when it cannot be read (its
// process has ended, or is not ours to look into).
std::string LinkTarget(const std::string& Link) {
  char Target[PATH_MAX];
  const ssize_t Size = ::readlink(Link.c_str(), Target, sizeof Target);
  if (Size <= 0 || static_cast<std::size_t>(Size) >= sizeof Target) return {};
  return std::string(Target, static_cast<std::size_t>(Size));
}

// Whether a descriptor link's target is the device Real (a resolved path)
// with the number Rdev: by its path, or another node of it in /dev. Only a
// path in /dev is looked up, and by us: a lookup through the descriptor, or
// of a path anywhere, could block on a network mount that no longer answers.
bool NamesDevice(const std::string& Target, const std::string& Real, dev_t Rdev) {
  if (Target == Real) return true;
  if (Target.compare(0, std::strlen(cDevFolder), cDevFolder) != 0) return false;
  struct stat St {};
  return ::stat(Target.c_str(), &St) == 0 && S_ISCHR(St.st_mode) && St.st_rdev == Rdev;
}

// Whether a descriptor under the fd folder names the device. A process that
// ends meanwhile reads as an empty or missing folder: no.
bool HasOpen(const std::string& FdFolder, const std::string& Real, dev_t Rdev) {
  const TDir Folder = OpenFolder(FdFolder);
  if (!Folder) return false;
  while (const dirent* Entry = ::readdir(Folder.get())) {
    if (!AllDigits(Entry->d_name)) continue;
    if (NamesDevice(LinkTarget(FdFolder + "/" + Entry->d_name), Real, Rdev)) return true;
  }
  return false;
}

std::string ProcessName(std::int64_t Pid) {
  std::ifstream Comm(std::string(cProcFolder) + "/" + std::to_string(Pid) + "/comm");
  std::string Name;
  std::getline(Comm, Name);
  if (Name.size() > cMaxNameSize) Name.resize(cMaxNameSize);
  return Name;
}

std::vector<TPortHolder> Holders(const std::string& Device) {
  struct stat St {};
  if (::stat(Device.c_str(), &St) != 0) return {};
  std::set<std::int64_t> Pids = LockHolders(St);
  // Exclusive mode (TIOCEXCL) leaves no trace of its owner, nor does a lock
  // whose taker has ended: then any process with the device open is the best
  // the system can say.
  if (Pids.empty() && S_ISCHR(St.st_mode)) Pids = ProcessesWithOpen(cProcFolder, Device);
  Pids.erase(::getpid());  // our own descriptors are closed or about to be
  std::vector<TPortHolder> Out;
  for (const std::int64_t Pid : Pids) Out.push_back({Pid, ProcessName(Pid)});
  return Out;
}
#else
std::vector<TPortHolder> Holders(const std::string&) {
  return {};
}
#endif

}  // namespace

#ifdef __linux__
std::set<std::int64_t> ProcessesWithOpen(const std::string& ProcRoot, const std::string& Device) {
  char Real[PATH_MAX];
  struct stat Own {};
  if (::realpath(Device.c_str(), Real) == nullptr || ::stat(Real, &Own) != 0 ||
      !S_ISCHR(Own.st_mode))
    return {};
  std::set<std::int64_t> Pids;
  const TDir Processes = OpenFolder(ProcRoot);
  if (!Processes) return Pids;
  while (const dirent* Entry = ::readdir(Processes.get())) {
    if (!AllDigits(Entry->d_name)) continue;
    if (HasOpen(ProcRoot + "/" + Entry->d_name + "/fd", Real, Own.st_rdev))
      Pids.insert(std::strtoll(Entry->d_name, nullptr, 10));
  }
  return Pids;
}
#endif

TPortFacts GatherPortFacts(const std::string& Device, TPortAccess Access) {
  TPortFacts Facts;
  if (Access == TPortAccess::PermissionDenied) Facts.Denied = DeniedFacts(Device);
  if (Access == TPortAccess::Busy) Facts.Holders = Holders(Device);
  return Facts;
}

const TPlatformPortTexts& PlatformPortTexts() {
#ifdef __APPLE__
  static const TPlatformPortTexts cTexts = {
      "No serial device is present: the system lists none as /dev/cu.*.",
      "Plug in the USB-serial adapter. If it is plugged in and still not listed, its driver "
      "may be missing.",
      "Port numbers count the serial devices present, /dev/cu.* in name order.",
      "COM and a number, such as COM3, or a device path, such as /dev/cu.usbserial-A50285BI"};
#else
  static const TPlatformPortTexts cTexts = {
      "No serial device is present: the system lists none as /dev/ttyUSB*, /dev/ttyACM* or "
      "/dev/ttyS*.",
      "Plug in the USB-serial adapter. If it is plugged in and still not listed, the system log "
      "(sudo dmesg) shows whether the system saw it, and whether a service took it over.",
      "Port numbers count the serial devices present: /dev/ttyUSB* first, then /dev/ttyACM*, "
      "then /dev/ttyS*.",
      "COM and a number, such as COM3, or a device path, such as /dev/ttyUSB0"};
#endif
  return cTexts;
}
