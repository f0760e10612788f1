// The motor controller's side of the protocol, without any I/O: bytes come in
// with the speed the tool's port had, replies go out with a delay and the
// speed they are sent at. Everything is written to the record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Config.h"
#include "Record.h"

namespace mcsim {

struct Output {
  Ms delay{0};  // from the moment the bytes that caused it were read
  std::string bytes;
  int baud = 0;
  bool disconnect = false;  // close the line instead of sending
  bool echo = false;        // the bus giving back a byte heard: no line time of its own
  bool unplug = false;      // with disconnect: the device's name goes too
};

class Controller {
 public:
  explicit Controller(const Config& config);

  // Takes a new configuration and restarts in its mode; the record stays
  // (its images start afresh when the flash layout changed).
  void Reset(const Config& config);
  void ClearRecord();
  // Power switched off and on: restarts in the configuration's mode if every
  // MCU holds its firmware, else in the bootloader of the first that lost it
  // (a start command erases it; only a finished transfer restores it).
  void PowerOn(const Config& config);

  // Bytes read in one go while the tool's port was at `baud` (0: unknown,
  // taken as the right speed).
  void Receive(const std::string& bytes, int baud, Clock::time_point at, std::vector<Output>& out);
  void NoteSent(const std::string& bytes, int baud, bool delivered, Clock::time_point at);
  void NoteDisconnect(Clock::time_point at);

  const Record& record() const { return record_; }
  const Config& config() const { return config_; }
  Mode mode() const { return mode_; }
  // The speed the controller listens at; 0 while its bootloader measures the
  // auto-baud burst (it then takes every speed).
  int ListeningBaud() const;

 private:
  enum class Command { Version, Identify, Entry, Start };
  enum class Burst { Idle, Nul, FirstU };
  enum class Match { None, Prefix, Complete };

  bool Hears(int baud) const;
  void OnByte(std::uint8_t c, int baud, std::vector<Output>& out);
  void OnCommandByte(std::uint8_t c, int baud, std::vector<Output>& out);
  Match MatchPending(Command& command) const;
  void Handle(Command command, int baud, std::vector<Output>& out);
  void OnEntry(char digit, int baud, std::vector<Output>& out);
  void OnStart(char digit, int baud, std::vector<Output>& out);
  void OnBurstByte(std::uint8_t c, int baud, std::vector<Output>& out);
  void Lock(int baud, std::vector<Output>& out);

  // The transfer (ControllerFlash.cpp).
  void OnFrameByte(std::uint8_t c, int baud, std::vector<Output>& out);
  void EndTransfer(EventKind kind, int baud);
  void CompleteBlock(int baud, std::vector<Output>& out);
  const Fault* FaultFor(int mcu, int block) const;
  void ApplyFault(const Fault& fault, std::string reply, std::uint32_t checksum, int baud,
                  std::vector<Output>& out);

  std::string VersionReply() const;
  std::string IdReply() const;
  void Reply(std::vector<Output>& out, std::string bytes, int baud, Ms extra = Ms{0}) const;
  void Echo(std::uint8_t c, int baud, std::vector<Output>& out) const;
  void AddEvent(EventKind kind, int mcu, int baud, std::string detail = {},
                std::uint32_t address = 0);
  void ProtocolError(int baud, std::string detail);
  void InitImages();

  Config config_;
  Record record_;
  Clock::time_point now_;  // when the bytes being handled were read

  Mode mode_ = Mode::Application;
  int activeMcu_ = 1;       // the MCU whose bootloader holds the line
  bool receiving_ = false;  // between the start command and "X" or "Q"
  bool measuring_ = false;  // the bootloader waits for the auto-baud burst
  int lockedBaud_ = 0;
  Burst burst_ = Burst::Idle;
  int burstBaud_ = 0;
  std::string pending_;  // command bytes heard so far
  std::string frame_;    // nibble characters of the frame so far
  int blockIndex_ = 0;
  bool silent_ = false;
  bool gone_ = false;
  std::vector<bool> firmware_;  // per MCU: its application is whole
};

}  // namespace mcsim
