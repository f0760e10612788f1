// What the simulated motor controller is: its link, speeds, replies, flash
// layout and the faults it injects. Plain data; Validate() refuses values the
// simulator cannot honour.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mcsim {

using Ms = std::chrono::milliseconds;

// What runs on the controller when the simulator starts.
enum class Mode { Application, Bootloader };

// Plain: only replies come back. EchoBus: every byte the controller hears
// comes back at once, before any reply.
enum class Link { Plain, EchoBus };

// Block reply family: PIC16 8-bit byte sum, PIC18 16-bit XOR of little-endian
// words, STM32 32-bit XOR of little-endian double words.
enum class Family { PIC16, PIC18, STM32 };

enum class FaultKind {
  WrongChecksum,  // a well-formed reply whose checksum has its lowest bit flipped
  NoReply,        // the block goes unanswered
  NulLate,        // a NUL inside the reply; the last byte follows after `delay`
  NulNever,       // a NUL inside the reply; the last byte is never sent
  BadEnd,         // the reply's last byte is `badEnd` instead of "."
  Garbage,        // `bytes` instead of the reply
  Disconnect,     // the master side closes: the tool sees a hang-up
  Silence,        // the controller hears and answers nothing from here on
  Unplug,         // the adapter is pulled out: a hang-up, and the link path vanishes
};

// A fault strikes the reply to one block of one MCU. Blocks are counted per
// MCU from 0, starting again at each start command of that MCU.
struct Fault {
  FaultKind kind = FaultKind::WrongChecksum;
  int mcu = 1;            // 1 or 2; 0 strikes that block of every MCU
  int block = 0;          // index of the block within the MCU's transfer
  Ms delay{50};           // NulLate: how long the displaced byte is held back
  std::size_t nulAt = 1;  // NulLate, NulNever: index of the NUL in the reply
  char badEnd = '#';      // BadEnd: the byte sent instead of the closing "."
  std::string bytes;      // Garbage: sent instead; empty means 0xA5 bytes of the reply's length
};

struct Config {
  Mode mode = Mode::Application;
  Link link = Link::Plain;

  // Speeds at which the application and the bootloader listen. With
  // autoBaud the bootloader has no speed until it has measured the burst.
  int appBaud = 9600;
  int bootBaud = 9600;
  bool autoBaud = false;
  // A second speed the application hears (and answers at); 0 for none. A
  // controller found at a high rate may still take the entry command at 9600.
  int appAlsoBaud = 0;
  // Also lock on a bare "U" "U" (without the leading 0x00).
  bool autoBaudWithoutNul = false;

  // Application version reply: versionLead, versionFirst, versionSecond,
  // the model code as two upper-case hex digits, carriage return.
  char versionLead = '=';
  std::string versionFirst = "03";
  std::string versionSecond = "1C";
  // Model code: in the version reply, and as the raw byte of the
  // bootloader's identification reply (model byte, ".").
  std::uint8_t modelCode = 0x04;
  // Raw replies for bad-input tests (any length, any bytes).
  std::optional<std::string> versionReply;
  std::optional<std::string> idReply;

  // The bootloader side of the transfer. Both MCUs share the layout.
  int mcuCount = 1;
  Family family = Family::PIC16;
  int blockSize = 16;
  std::uint32_t startAddress = 0x200;  // flash address of the first block
  std::uint32_t flashSize = 0x4000;    // size of each MCU's image
  // Reply to the entry command; "=" asks the tool for the auto-baud burst;
  // none leaves the command unanswered.
  std::optional<char> entryReply = '.';
  char startReply = '.';
  Ms startReplyDelay{0};
  Ms replyDelay{0};  // added to every reply (never to the echo)
  std::vector<Fault> faults;

  // Line-speed mode: every byte reaches the other side no sooner than a UART
  // at the line's current speed would deliver it, each direction on its own
  // (a bus echo included). Off, bytes move as fast as the pty moves them.
  bool lineSpeed = false;
  // With lineSpeed: bytes towards the tool pass a USB adapter's receive
  // buffer, which holds them for up to 16 ms (or until 62 are waiting).
  bool usbAdapter = false;
  // The controller stops taking bytes off the line: the tool's writes back up.
  bool stopReading = false;

  // When not empty, the slave is also served under this path (a symlink).
  std::string linkPath;
};

// Throws std::invalid_argument naming the first value that cannot work.
void Validate(const Config& config);

}  // namespace mcsim
