// mcsim-run: a simulated motor controller for trying the tool by hand.
// Prints the device path it serves and runs until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "Options.h"
#include "Sim.h"

namespace {

void PrintSummary(const mcsim::Record& record) {
  using mcsim::EventKind;
  std::cerr << "received " << record.rx.size() << " bytes, sent " << record.Sent().size()
            << "; protocol errors " << record.Count(EventKind::ProtocolError) << "\n";
  for (std::size_t i = 0; i < record.mcus.size(); ++i) {
    const int mcu = static_cast<int>(i + 1);
    std::cerr << "MCU " << mcu << ": " << record.mcus[i].blocks.size() << " blocks, "
              << record.Count(EventKind::Finish, mcu) << " finished, "
              << record.Count(EventKind::Abort, mcu) << " aborted\n";
  }
}

bool SaveImages(const mcsim::Record& record, const std::string& prefix) {
  for (std::size_t i = 0; i < record.mcus.size(); ++i) {
    const std::string path = prefix + std::to_string(i + 1) + ".bin";
    std::ofstream file(path, std::ios::binary);
    const auto& flash = record.mcus[i].flash;
    file.write(reinterpret_cast<const char*>(flash.data()), static_cast<long>(flash.size()));
    if (!file) {
      std::cerr << "cannot write " << path << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  mcsim::RunOptions options;
  try {
    options = mcsim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n" << mcsim::cUsage;
    return 2;
  }
  if (options.help) {
    std::cout << mcsim::cUsage;
    return 0;
  }

  // Blocked before the simulator's thread exists, so only sigwait sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    mcsim::Sim sim(options.config);
    sim.Start();
    std::cout << sim.DevicePath() << std::endl;
    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.Stop();
    const mcsim::Record record = sim.GetRecord();
    PrintSummary(record);
    if (!options.savePrefix.empty() && !SaveImages(record, options.savePrefix)) return 1;
  } catch (const std::exception& e) {
    std::cerr << "mcsim-run: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
