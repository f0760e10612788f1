// The command line of quarnel-cli: what to do and the controls it stands for.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

enum class TCliCommand { Help, ProgramVersion, Ports, QueryVersion, Update, Info };

struct TCliOptions {
  TCliCommand Command = TCliCommand::Help;
  std::string FileName;  // update and info: the firmware file
  // Each --port as typed, in order; none: every port is searched. Two or
  // more: one operation on each at the same time.
  std::vector<std::string> Ports;
  // --record: the file that gets one line per controller and operation.
  std::string RecordFile;
  bool PCDirectMode = true;  // the window starts with its box ticked
  bool HighSpeed = false;    // the "High Speed" box, shown and ticked
  bool Json = false;
};

// A command line that cannot be carried out; what() says why.
class ECliUsage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Args without the program name. Throws ECliUsage.
TCliOptions ParseCliArgs(const std::vector<std::string>& Args);

// What the window's port box would hold for a --port value: a bare number n
// stands for "COMn"; anything else is kept as typed.
std::string PortBoxText(const std::string& Port);

extern const char* const cCliHelp;
