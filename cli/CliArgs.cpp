#include "CliArgs.h"

#include <algorithm>
#include <cstddef>

#include "Console.h"

namespace {

const std::string cOptionPrefix = "--";
const char* const cPortPrefix = "COM";

struct TCommandName {
  const char* Name;
  TCliCommand Command;
};

constexpr TCommandName cCommands[] = {
    {"ports", TCliCommand::Ports},
    {"version", TCliCommand::QueryVersion},
    {"update", TCliCommand::Update},
    {"info", TCliCommand::Info},
};

// Options as they were seen, before the command decides which may appear.
struct TSeen {
  bool Help = false;
  bool ProgramVersion = false;
  bool Json = false;
  bool HighSpeed = false;
  bool PCDirect = false;
  bool NoPCDirect = false;
  std::vector<std::string> Ports;
  bool RecordGiven = false;
  std::string Record;
  std::vector<std::string> Positionals;
};

[[noreturn]] void Usage(const std::string& Why) {
  throw ECliUsage(Why);
}

bool IsOption(const std::string& Arg) {
  return Arg.size() > 1 && Arg[0] == '-';
}

// The value of an option: after "=", or the next argument unless that is an
// option itself.
std::string OptionValue(const std::string& Name, const std::vector<std::string>& Args,
                        std::size_t& I, const std::string* Inline) {
  if (Inline != nullptr) {
    if (Inline->empty()) Usage(Name + " needs a value");
    return *Inline;
  }
  if (I + 1 >= Args.size() || Args[I + 1].compare(0, cOptionPrefix.size(), cOptionPrefix) == 0 ||
      Args[I + 1].empty())
    Usage(Name + " needs a value");
  return Args[++I];
}

void TakePort(std::string Port, TSeen& Seen) {
  // The same port twice would open one device twice.
  for (const std::string& Earlier : Seen.Ports)
    if (PortBoxText(Earlier) == PortBoxText(Port)) Usage("--port " + Port + " given twice");
  if (Seen.Ports.size() == cMaxPorts) Usage("more than " + std::to_string(cMaxPorts) + " ports");
  Seen.Ports.push_back(std::move(Port));
}

void TakeOption(const std::vector<std::string>& Args, std::size_t& I, TSeen& Seen) {
  const std::string& Arg = Args[I];
  const std::size_t Equals = Arg.find('=');
  const std::string Name = Arg.substr(0, Equals);
  const std::string Value = Equals == std::string::npos ? "" : Arg.substr(Equals + 1);
  const std::string* Inline = Equals == std::string::npos ? nullptr : &Value;
  if (Name == "--port") {
    TakePort(OptionValue(Name, Args, I, Inline), Seen);
    return;
  }
  if (Name == "--record") {
    if (Seen.RecordGiven) Usage("--record given twice");
    Seen.Record = OptionValue(Name, Args, I, Inline);
    Seen.RecordGiven = true;
    return;
  }
  const std::pair<const char*, bool*> cFlags[] = {
      {"--help", &Seen.Help},
      {"-h", &Seen.Help},
      {"--version", &Seen.ProgramVersion},
      {"--json", &Seen.Json},
      {"--high-speed", &Seen.HighSpeed},
      {"--pc-direct", &Seen.PCDirect},
      {"--no-pc-direct", &Seen.NoPCDirect},
  };
  for (const auto& [FlagName, Flag] : cFlags) {
    if (Name != FlagName) continue;
    if (Equals != std::string::npos) Usage(Name + " takes no value");
    *Flag = true;
    return;
  }
  Usage("unknown option '" + Arg + "'");
}

TSeen Scan(const std::vector<std::string>& Args) {
  TSeen Seen;
  bool OptionsEnded = false;
  for (std::size_t I = 0; I < Args.size(); ++I) {
    if (!OptionsEnded && Args[I] == cOptionPrefix) {
      OptionsEnded = true;
    } else if (!OptionsEnded && IsOption(Args[I])) {
      TakeOption(Args, I, Seen);
    } else {
      Seen.Positionals.push_back(Args[I]);
    }
  }
  return Seen;
}

TCliCommand CommandNamed(const std::string& Name) {
  for (const auto& C : cCommands)
    if (Name == C.Name) return C.Command;
  Usage("unknown command '" + Name + "'");
}

void Refuse(bool Given, const char* Option, const std::string& Command) {
  if (Given) Usage(std::string(Option) + " does not apply to '" + Command + "'");
}

}  // namespace

TCliOptions ParseCliArgs(const std::vector<std::string>& Args) {
  const TSeen Seen = Scan(Args);
  TCliOptions Options;
  if (Seen.Help) return Options;
  if (Seen.ProgramVersion) {
    Options.Command = TCliCommand::ProgramVersion;
    return Options;
  }
  if (Seen.Positionals.empty()) Usage("no command given");
  const std::string& Name = Seen.Positionals[0];
  Options.Command = CommandNamed(Name);
  const bool TakesFile =
      Options.Command == TCliCommand::Update || Options.Command == TCliCommand::Info;
  const std::size_t Operands = TakesFile ? 1 : 0;
  if (Seen.Positionals.size() < 1 + Operands) Usage("'" + Name + "' needs a FILE");
  if (Seen.Positionals.size() > 1 + Operands)
    Usage("unexpected argument '" + Seen.Positionals[1 + Operands] + "'");
  if (Operands == 1) Options.FileName = Seen.Positionals[1];

  // Neither opens a port.
  if (Options.Command == TCliCommand::Ports || Options.Command == TCliCommand::Info) {
    Refuse(!Seen.Ports.empty(), "--port", Name);
    Refuse(Seen.RecordGiven, "--record", Name);
    Refuse(Seen.HighSpeed, "--high-speed", Name);
  }
  if (Options.Command != TCliCommand::Update) {
    Refuse(Seen.PCDirect, "--pc-direct", Name);
    Refuse(Seen.NoPCDirect, "--no-pc-direct", Name);
  }
  if (Seen.PCDirect && Seen.NoPCDirect) Usage("--pc-direct and --no-pc-direct exclude each other");

  Options.Ports = Seen.Ports;
  Options.RecordFile = Seen.Record;
  Options.PCDirectMode = !Seen.NoPCDirect;
  Options.HighSpeed = Seen.HighSpeed;
  Options.Json = Seen.Json;
  return Options;
}

std::string PortBoxText(const std::string& Port) {
  const bool Number = !Port.empty() && std::all_of(Port.begin(), Port.end(),
                                                   [](char C) { return C >= '0' && C <= '9'; });
  return Number ? cPortPrefix + Port : Port;
}

const char* const cCliHelp = R"(Usage:
  quarnel-cli ports   [--json]
  quarnel-cli version [--port PORT]... [--high-speed] [--record LOG] [--json]
  quarnel-cli update FILE [--port PORT]... [--pc-direct | --no-pc-direct] [--high-speed]
                     [--record LOG] [--json]
  quarnel-cli info FILE [--json]
  quarnel-cli --help | --version

Finds a motor controller on a serial port and shows its firmware version, or
writes a firmware file (.QRV) into it: the same operations, and the same bytes
on the wire, as the Quarnel window.

Commands:
  ports      list, in search order, every port a search tries: COM number,
             device, what the system knows of it, and whether it can be
             opened now; for each that cannot, why and what to do (nothing
             is sent)
  version    find the controller and show its firmware version
  update     find the controller and write FILE into it
  info       what FILE fits, from the file alone (no port is opened, nothing
             is sent): the model classes and model codes, the MCUs, the
             blocks each MCU receives, and the least time the transfer takes
             at 9600, 38400 and 115200 baud, with and without PC Direct Mode
             (a floor for a plain link: fixed pauses, line time, a prompt
             controller, no flash erase time)

When no controller is found, stderr says after the message what was tried on
each port and why it failed, with the next step for each cause.

Options:
  --port PORT      search only this port: COM3, or 3 for COM3, or a device
                   path such as /dev/ttyUSB0. On Linux and macOS COMn is the
                   n-th serial device (see 'ports'). Without --port every
                   port is searched. Given several times (up to 64), the
                   command runs on every one of them at the same time, each
                   port on its own: texts are prefixed with the port (on a
                   terminal, one line a port redrawn in place; in JSON a
                   "port" member), then a table: port, device, model,
                   blocks, seconds, result. The status is 0 when every port
                   succeeded, else that of the first failure in the order
                   given.
  --record LOG     append one JSON line a controller and operation to LOG
                   (time, host, port, adapter serial, model, file and its
                   SHA-256, blocks, seconds, outcome), flushed to disk before
                   the result is shown; several programs may share one LOG
  --pc-direct      the link runs through a hand controller's PC Direct Mode
                   (the default)
  --no-pc-direct   it does not
  --high-speed     high speed direct connection
  --json           one JSON object per line on stdout: "status" and "error"
                   events, then a "result" event
  --help           this text
  --version        the program's version

Exit status:
  0    done
  1    the update failed during the transfer: cycle power to the controller
       and update again
  2    bad command line
  3    no controller found (or it did not answer the version command)
  4    the file was refused before anything was written (cannot be opened,
       wrong size, wrong model); for 'info': it cannot be opened or fits no
       model
  5    the controller was refused (not user-upgradeable, not supported)
  70   an unexpected error (its text on stderr)
  74   every operation succeeded, but a line could not be added to the
       --record file
  129  stopped by SIGHUP (Windows: the console closed, a log-off or a shut-down)
  130  stopped by Ctrl-C (SIGINT; Windows: also Ctrl-Break)
  143  stopped by SIGTERM

Stopping: before an update begins writing into the controller (the search,
the file checks, the version command) Ctrl-C, SIGTERM or SIGHUP stops at
once: nothing was written, and the command can simply be run again. Once
writing has begun, the first one lets the update run to its end (an update
cut off mid-block leaves the controller without firmware) and the update's
own status stands; a second Ctrl-C or SIGTERM stops at once, and then the
controller needs a power cycle and a new update. A hang-up (the terminal
closed, an SSH session dropped) never stops a running update.
)";
