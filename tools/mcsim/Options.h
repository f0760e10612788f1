// Command line of mcsim-run.
#pragma once

#include <string>
#include <vector>

#include "Config.h"

namespace mcsim {

struct RunOptions {
  Config config;
  std::string savePrefix;  // each MCU's image goes to <prefix><n>.bin on exit
  bool help = false;
};

// Throws std::invalid_argument with a message for the user.
RunOptions ParseOptions(const std::vector<std::string>& args);

extern const char* const cUsage;

}  // namespace mcsim
