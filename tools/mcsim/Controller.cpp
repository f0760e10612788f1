#include "Controller.h"

#include <cstdio>
#include <utility>

namespace mcsim {
namespace {

// The commands a controller knows. "#" stands for the MCU digit. Anything
// else is dropped byte by byte: probes meant for the other firmware, the bus
// probe ".", the dot after the entry command and noise get no answer.
struct Pattern {
  const char* text;
  int command;  // Controller::Command
  bool application;
  bool bootloader;
};

constexpr char cDigit = '#';
constexpr std::uint8_t cBurstNul = 0x00;
constexpr std::uint8_t cBurstU = 'U';
constexpr char cBurstAnswer = '.';
constexpr char cIdEnd = '.';
constexpr char cVersionEnd = '\r';

std::string Hex2(unsigned value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
  return text;
}

}  // namespace

Controller::Controller(const Config& config) {
  Reset(config);
}

void Controller::Reset(const Config& config) {
  Validate(config);
  const bool sameLayout =
      config.mcuCount == config_.mcuCount && config.flashSize == config_.flashSize;
  config_ = config;
  mode_ = config.mode;
  activeMcu_ = 1;
  receiving_ = false;
  measuring_ = mode_ == Mode::Bootloader && config.autoBaud;
  lockedBaud_ = 0;
  burst_ = Burst::Idle;
  pending_.clear();
  frame_.clear();
  blockIndex_ = 0;
  silent_ = false;
  gone_ = false;
  if (!sameLayout || record_.mcus.empty()) InitImages();
  if (firmware_.size() != static_cast<std::size_t>(config.mcuCount))
    firmware_.assign(static_cast<std::size_t>(config.mcuCount), true);
}

void Controller::PowerOn(const Config& config) {
  Reset(config);
  for (std::size_t i = 0; i < firmware_.size(); ++i) {
    if (firmware_[i]) continue;
    mode_ = Mode::Bootloader;
    activeMcu_ = static_cast<int>(i) + 1;
    measuring_ = config.autoBaud;
    return;
  }
}

void Controller::ClearRecord() {
  record_ = Record{};
  InitImages();
}

void Controller::InitImages() {
  record_.mcus.assign(static_cast<std::size_t>(config_.mcuCount), McuImage{});
  for (McuImage& image : record_.mcus) image.flash.assign(config_.flashSize, 0xFF);
}

int Controller::ListeningBaud() const {
  if (mode_ == Mode::Application) return config_.appBaud;
  if (!config_.autoBaud) return config_.bootBaud;
  return measuring_ ? 0 : lockedBaud_;
}

bool Controller::Hears(int baud) const {
  if (silent_ || gone_) return false;
  if (measuring_ || baud == 0) return true;
  if (mode_ == Mode::Application && baud == config_.appAlsoBaud) return true;
  return baud == ListeningBaud();
}

void Controller::Receive(const std::string& bytes, int baud, Clock::time_point at,
                         std::vector<Output>& out) {
  now_ = at;
  AppendChunk(record_, bytes, baud, at);
  for (char c : bytes) OnByte(static_cast<std::uint8_t>(c), baud, out);
}

void Controller::OnByte(std::uint8_t c, int baud, std::vector<Output>& out) {
  const bool heard = Hears(baud);
  record_.rx.push_back(RxByte{c, baud, heard, now_});
  if (!heard) return;  // line noise: no effect at all
  if (measuring_) {
    OnBurstByte(c, baud, out);
    return;
  }
  Echo(c, baud, out);
  if (receiving_) {
    OnFrameByte(c, baud, out);
  } else {
    OnCommandByte(c, baud, out);
  }
}

void Controller::OnCommandByte(std::uint8_t c, int baud, std::vector<Output>& out) {
  pending_ += static_cast<char>(c);
  while (!pending_.empty()) {
    Command command{};
    switch (MatchPending(command)) {
      case Match::Prefix:
        return;
      case Match::Complete:
        Handle(command, baud, out);
        pending_.clear();
        return;
      case Match::None:
        pending_.erase(0, 1);  // resynchronise on the next byte
        break;
    }
  }
}

Controller::Match Controller::MatchPending(Command& command) const {
  static constexpr Pattern cPatterns[] = {
      // text, command, in the application, in the bootloader
      {":e1\r", static_cast<int>(Command::Version), true, false},
      {"I1.", static_cast<int>(Command::Identify), false, true},
      {":Q#7E81\r", static_cast<int>(Command::Entry), true, true},
      {"P#.", static_cast<int>(Command::Start), false, true},
  };
  Match best = Match::None;
  for (const Pattern& p : cPatterns) {
    if (!(mode_ == Mode::Application ? p.application : p.bootloader)) continue;
    const std::string text = p.text;
    if (pending_.size() > text.size()) continue;
    bool fits = true;
    for (std::size_t i = 0; i < pending_.size() && fits; ++i) {
      fits = text[i] == cDigit || text[i] == pending_[i];
    }
    if (!fits) continue;
    if (pending_.size() == text.size()) {
      command = static_cast<Command>(p.command);
      return Match::Complete;
    }
    best = Match::Prefix;
  }
  return best;
}

void Controller::Handle(Command command, int baud, std::vector<Output>& out) {
  switch (command) {
    case Command::Version:
      AddEvent(EventKind::VersionQuery, 0, baud);
      Reply(out, VersionReply(), baud);
      break;
    case Command::Identify:
      AddEvent(EventKind::Identify, activeMcu_, baud);
      Reply(out, IdReply(), baud);
      break;
    case Command::Entry:
      OnEntry(pending_[2], baud, out);
      break;
    case Command::Start:
      OnStart(pending_[1], baud, out);
      break;
  }
}

// The application hands the line to that MCU's bootloader; a bootloader
// hands it on. A bootloader with auto-baud measures the speed afresh.
void Controller::OnEntry(char digit, int baud, std::vector<Output>& out) {
  const int mcu = digit - '0';
  if (mcu < 1 || mcu > config_.mcuCount) {
    ProtocolError(baud, std::string("entry command for MCU '") + digit + "'");
    return;
  }
  AddEvent(EventKind::Entry, mcu, baud);
  if (config_.entryReply) Reply(out, std::string(1, *config_.entryReply), baud);
  mode_ = Mode::Bootloader;
  activeMcu_ = mcu;
  receiving_ = false;
  if (config_.autoBaud) {
    measuring_ = true;
    lockedBaud_ = 0;
    burst_ = Burst::Idle;
  }
}

void Controller::OnStart(char digit, int baud, std::vector<Output>& out) {
  if (digit - '0' != activeMcu_) {
    ProtocolError(baud, std::string("start command for MCU '") + digit + "' while MCU " +
                            std::to_string(activeMcu_) + " holds the line");
    return;
  }
  AddEvent(EventKind::Start, activeMcu_, baud);
  firmware_[static_cast<std::size_t>(activeMcu_ - 1)] = false;  // erased first
  Reply(out, std::string(1, config_.startReply), baud, config_.startReplyDelay);
  receiving_ = true;
  blockIndex_ = 0;
  frame_.clear();
}

// The burst is 0x00, "U", "U"; the bootloader takes the speed of the first
// "U" and answers once a second "U" confirms it.
void Controller::OnBurstByte(std::uint8_t c, int baud, std::vector<Output>& out) {
  if (c == cBurstNul) {
    burst_ = Burst::Nul;
    return;
  }
  if (c == cBurstU) {
    if (burst_ == Burst::FirstU && baud == burstBaud_) {
      Lock(baud, out);
      return;
    }
    if (burst_ == Burst::Nul || config_.autoBaudWithoutNul) {
      burst_ = Burst::FirstU;
      burstBaud_ = baud;
      return;
    }
  }
  burst_ = Burst::Idle;
}

void Controller::Lock(int baud, std::vector<Output>& out) {
  measuring_ = false;
  lockedBaud_ = baud;
  burst_ = Burst::Idle;
  pending_.clear();
  AddEvent(EventKind::AutoBaudLock, activeMcu_, baud);
  Echo(cBurstU, baud, out);  // the confirming "U" is the first byte heard at the new speed
  Reply(out, std::string(1, cBurstAnswer), baud);
}

std::string Controller::VersionReply() const {
  if (config_.versionReply) return *config_.versionReply;
  return config_.versionLead + config_.versionFirst + config_.versionSecond +
         Hex2(config_.modelCode) + cVersionEnd;
}

std::string Controller::IdReply() const {
  if (config_.idReply) return *config_.idReply;
  return std::string{static_cast<char>(config_.modelCode), cIdEnd};
}

void Controller::Reply(std::vector<Output>& out, std::string bytes, int baud, Ms extra) const {
  if (bytes.empty()) return;
  out.push_back(Output{config_.replyDelay + extra, std::move(bytes), baud, false});
}

void Controller::Echo(std::uint8_t c, int baud, std::vector<Output>& out) const {
  if (config_.link != Link::EchoBus) return;
  const char byte = static_cast<char>(c);
  if (!out.empty() && out.back().echo && out.back().baud == baud) {
    out.back().bytes += byte;
    return;
  }
  out.push_back(Output{Ms{0}, std::string(1, byte), baud, false, true});
}

void Controller::AddEvent(EventKind kind, int mcu, int baud, std::string detail,
                          std::uint32_t address) {
  record_.events.push_back(Event{kind, mcu, baud, address, std::move(detail), now_});
}

void Controller::ProtocolError(int baud, std::string detail) {
  AddEvent(EventKind::ProtocolError, mode_ == Mode::Bootloader ? activeMcu_ : 0, baud,
           std::move(detail));
}

void Controller::NoteSent(const std::string& bytes, int baud, bool delivered,
                          Clock::time_point at) {
  record_.tx.push_back(TxChunk{bytes, baud, delivered, at});
}

void Controller::NoteDisconnect(Clock::time_point at) {
  now_ = at;
  gone_ = true;
  AddEvent(EventKind::Disconnect, 0, 0);
}

}  // namespace mcsim
