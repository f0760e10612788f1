#include "Options.h"

#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>

namespace mcsim {

const char* const cUsage =
    "usage: mcsim-run [options]\n"
    "Serves a simulated motor controller on a pseudo-terminal, prints the\n"
    "device path and runs until interrupted.\n"
    "  --link PATH          also serve the port under PATH (a symlink)\n"
    "  --mode app|boot      firmware running at start (app)\n"
    "  --bus                echoing bus instead of a plain link\n"
    "  --line-speed         deliver bytes no faster than a real line at its speed\n"
    "  --usb                with --line-speed: a USB adapter's 16 ms receive timer\n"
    "  --app-baud N         speed of the application (9600)\n"
    "  --boot-baud N        speed of the bootloader (9600)\n"
    "  --auto-baud          the bootloader measures the speed from the burst\n"
    "  --version XX.YY      the version reply's two digit pairs (03.1C)\n"
    "  --model N            model code, decimal or 0x.. (4)\n"
    "  --mcus N             1 or 2 MCUs (1)\n"
    "  --family pic16|pic18|stm32   block reply family (pic16)\n"
    "  --block N            block size in bytes (16)\n"
    "  --start N            flash address of the first block (0x200)\n"
    "  --flash N            flash size of each MCU (0x4000)\n"
    "  --entry-reply C|none reply to the entry command; = asks for auto-baud (.)\n"
    "  --start-delay MS     delay of the start reply (0)\n"
    "  --reply-delay MS     delay of every reply (0)\n"
    "  --fault KIND:BLOCK[:MCU[:MS]]  KIND is checksum, no-reply, nul-late,\n"
    "                       nul-never, bad-end, garbage, disconnect or silence;\n"
    "                       MCU 0 means every MCU (1); MS for nul-late (50)\n"
    "  --save PREFIX        on exit write MCU n's image to PREFIXn.bin\n"
    "  --help\n";

namespace {

long Number(const std::string& text, long low, long high) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || value < low || value > high) {
    throw std::invalid_argument("not a number in range: " + text);
  }
  return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

template <typename T>
T Choose(const std::map<std::string, T>& choices, const std::string& text) {
  const auto it = choices.find(text);
  if (it == choices.end()) throw std::invalid_argument("unknown choice: " + text);
  return it->second;
}

Fault ParseFault(const std::string& text) {
  static const std::map<std::string, FaultKind> cKinds = {
      {"checksum", FaultKind::WrongChecksum}, {"no-reply", FaultKind::NoReply},
      {"nul-late", FaultKind::NulLate},       {"nul-never", FaultKind::NulNever},
      {"bad-end", FaultKind::BadEnd},         {"garbage", FaultKind::Garbage},
      {"disconnect", FaultKind::Disconnect},  {"silence", FaultKind::Silence},
      {"unplug", FaultKind::Unplug},
  };
  const std::vector<std::string> parts = Split(text, ':');
  if (parts.size() < 2 || parts.size() > 4) throw std::invalid_argument("bad fault: " + text);
  Fault fault;
  fault.kind = Choose(cKinds, parts[0]);
  fault.block = static_cast<int>(Number(parts[1], 0, 1 << 24));
  if (parts.size() > 2) fault.mcu = static_cast<int>(Number(parts[2], 0, 2));
  if (parts.size() > 3) fault.delay = Ms{Number(parts[3], 0, 60000)};
  return fault;
}

void ParseVersion(const std::string& text, Config& c) {
  const std::vector<std::string> parts = Split(text, '.');
  if (parts.size() != 2 || parts[0].size() != 2 || parts[1].size() != 2) {
    throw std::invalid_argument("version must look like 03.1C: " + text);
  }
  c.versionFirst = parts[0];
  c.versionSecond = parts[1];
}

std::optional<char> EntryReply(const std::string& text) {
  if (text == "none") return std::nullopt;
  if (text.size() == 1) return text[0];
  return static_cast<char>(Number(text, 0, 255));
}

using Setter = std::function<void(RunOptions&, const std::string&)>;

const std::map<std::string, Setter>& ValueOptions() {
  static const std::map<std::string, Setter> cOptions = {
      {"--link", [](RunOptions& o, const std::string& v) { o.config.linkPath = v; }},
      {"--mode",
       [](RunOptions& o, const std::string& v) {
         o.config.mode = Choose<Mode>({{"app", Mode::Application}, {"boot", Mode::Bootloader}}, v);
       }},
      {"--app-baud",
       [](RunOptions& o, const std::string& v) {
         o.config.appBaud = static_cast<int>(Number(v, 1, 4000000));
       }},
      {"--boot-baud",
       [](RunOptions& o, const std::string& v) {
         o.config.bootBaud = static_cast<int>(Number(v, 1, 4000000));
       }},
      {"--version", [](RunOptions& o, const std::string& v) { ParseVersion(v, o.config); }},
      {"--model",
       [](RunOptions& o, const std::string& v) {
         o.config.modelCode = static_cast<std::uint8_t>(Number(v, 0, 255));
       }},
      {"--mcus",
       [](RunOptions& o, const std::string& v) {
         o.config.mcuCount = static_cast<int>(Number(v, 1, 2));
       }},
      {"--family",
       [](RunOptions& o, const std::string& v) {
         o.config.family = Choose<Family>(
             {{"pic16", Family::PIC16}, {"pic18", Family::PIC18}, {"stm32", Family::STM32}}, v);
       }},
      {"--block",
       [](RunOptions& o, const std::string& v) {
         o.config.blockSize = static_cast<int>(Number(v, 1, 4096));
       }},
      {"--start",
       [](RunOptions& o, const std::string& v) {
         o.config.startAddress = static_cast<std::uint32_t>(Number(v, 0, 16L << 20));
       }},
      {"--flash",
       [](RunOptions& o, const std::string& v) {
         o.config.flashSize = static_cast<std::uint32_t>(Number(v, 1, 16L << 20));
       }},
      {"--entry-reply",
       [](RunOptions& o, const std::string& v) { o.config.entryReply = EntryReply(v); }},
      {"--start-delay",
       [](RunOptions& o, const std::string& v) {
         o.config.startReplyDelay = Ms{Number(v, 0, 60000)};
       }},
      {"--reply-delay",
       [](RunOptions& o, const std::string& v) { o.config.replyDelay = Ms{Number(v, 0, 60000)}; }},
      {"--fault",
       [](RunOptions& o, const std::string& v) { o.config.faults.push_back(ParseFault(v)); }},
      {"--save", [](RunOptions& o, const std::string& v) { o.savePrefix = v; }},
  };
  return cOptions;
}

}  // namespace

RunOptions ParseOptions(const std::vector<std::string>& args) {
  RunOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      options.help = true;
    } else if (arg == "--bus") {
      options.config.link = Link::EchoBus;
    } else if (arg == "--line-speed") {
      options.config.lineSpeed = true;
    } else if (arg == "--usb") {
      options.config.usbAdapter = true;
    } else if (arg == "--auto-baud") {
      options.config.autoBaud = true;
    } else {
      const auto& setters = ValueOptions();
      const auto it = setters.find(arg);
      if (it == setters.end()) throw std::invalid_argument("unknown option: " + arg);
      if (i + 1 >= args.size()) throw std::invalid_argument(arg + " needs a value");
      it->second(options, args[++i]);
    }
  }
  Validate(options.config);
  return options;
}

}  // namespace mcsim
