#include "LineHook.h"

#include <sys/stat.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

#include "Sim.h"

#if defined(__linux__)
#include <dlfcn.h>
#endif

namespace mcsim::detail {
namespace {

// Never destroyed: a simulator that outlives main's statics may still
// unregister.
std::mutex& RegistryMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::vector<Sim*>& Registry() {
  static auto* sims = new std::vector<Sim*>;
  return *sims;
}

}  // namespace

void RegisterLine(Sim* sim) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  Registry().push_back(sim);
}

void UnregisterLine(Sim* sim) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  auto& sims = Registry();
  sims.erase(std::remove(sims.begin(), sims.end(), sim), sims.end());
}

#if defined(__linux__)
namespace {

using TcSetAttr = int (*)(int, int, const termios*);

TcSetAttr Real() {
  static const auto real = reinterpret_cast<TcSetAttr>(dlsym(RTLD_NEXT, "tcsetattr"));
  return real;
}

int CallReal(int fd, int action, const termios* settings) {
  const TcSetAttr real = Real();
  if (real == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  return real(fd, action, settings);
}

// The registry stays locked while the simulator drains, so it cannot be
// stopped and destroyed meanwhile.
int ChangeSettings(int fd, int action, const termios* settings) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return CallReal(fd, action, settings);
  std::lock_guard<std::mutex> lock(RegistryMutex());
  for (Sim* sim : Registry()) {
    if (sim->SlaveDevice() == st.st_rdev) {
      return sim->ChangeLine([&] { return CallReal(fd, action, settings); });
    }
  }
  return CallReal(fd, action, settings);
}

}  // namespace
#endif

}  // namespace mcsim::detail

#if defined(__linux__)
extern "C" int tcsetattr(int fd, int action, const termios* settings) noexcept {
  try {
    return mcsim::detail::ChangeSettings(fd, action, settings);
  } catch (...) {
    errno = EIO;
    return -1;
  }
}
#endif
