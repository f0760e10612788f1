#include "CommandLine.h"

#include <cstring>

#include "QuarnelVersion.h"

namespace {

const char* const cProgramName = "quarnel";
const int cExitDone = 0;

// The Qt program passes on what it does not know to Qt; the Windows one
// has no toolkit options.
#ifdef _WIN32
const char* const cUsage = "Usage: quarnel [options]\n";
const char* const cOtherArguments = "";
#else
const char* const cUsage = "Usage: quarnel [Qt options]\n";
const char* const cOtherArguments = "\nOther arguments are the toolkit's own, such as -platform and -style.\n";
#endif

const char* const cHelp = R"(       quarnel --help | --version

Opens the Quarnel window: it finds a motor controller on a serial port and
writes a firmware file (.QRV) into it, or shows its firmware version. The
window needs a desktop session; quarnel-cli does the same from a terminal.

Options:
  --help, -h   this text
  --version    the program's version
)";

bool Given(int argc, const char* const* argv, const char* Option) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], Option) == 0) return true;
  return false;
}

}  // namespace

std::optional<int> AnswerWithoutWindow(int argc, const char* const* argv, std::ostream& Out) {
  if (Given(argc, argv, "--help") || Given(argc, argv, "-h")) {
    Out << cUsage << cHelp << cOtherArguments;
    return cExitDone;
  }
  if (Given(argc, argv, "--version")) {
    Out << cProgramName << ' ' << cQuarnelVersion << '\n';
    return cExitDone;
  }
  return std::nullopt;
}
