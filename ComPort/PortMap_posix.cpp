// POSIX port numbering: port n is the n-th serial device present in /dev,
// listed once when the mapping is made.
#include <dirent.h>

#include <fstream>
#include <string>
#include <vector>

#include "PortMap.h"

namespace {

constexpr const char* cDevDir = "/dev";
constexpr const char* cSysTtyDir = "/sys/class/tty/";

#ifdef __APPLE__
constexpr TDeviceNaming cNaming = TDeviceNaming::MacOS;
#else
constexpr TDeviceNaming cNaming = TDeviceNaming::Linux;
#endif

std::vector<std::string> ListDevFolder() {
  std::vector<std::string> Names;
  DIR* Dir = ::opendir(cDevDir);
  if (Dir == nullptr) return Names;
  while (const dirent* Entry = ::readdir(Dir)) Names.emplace_back(Entry->d_name);
  ::closedir(Dir);
  return Names;
}

// Linux registers ttyS devices for every possible legacy UART; those without
// hardware report type 0 ("unknown") and are not present ports.
bool IsPhantomUart(const std::string& Path) {
  const std::string Name = Path.substr(Path.rfind('/') + 1);
  std::ifstream Type(cSysTtyDir + Name + "/type");
  int Value = -1;
  return (Type >> Value) && Value == 0;
}

}  // namespace

TPortMap SystemPortMap() {
  std::vector<std::string> Present;
  for (auto& Path : OrderSerialDevices(ListDevFolder(), cNaming)) {
    if (!IsPhantomUart(Path)) Present.push_back(std::move(Path));
  }
  return PortMapFromList(std::move(Present));
}
