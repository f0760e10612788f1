#include "Config.h"

#include <stdexcept>

namespace mcsim {
namespace {

constexpr int cMaxBlockSize = 4096;
constexpr std::uint32_t cMaxFlashSize = 16u << 20;

void Require(bool ok, const char* what) {
  if (!ok) throw std::invalid_argument(what);
}

int WordSize(Family family) {
  switch (family) {
    case Family::PIC16:
      return 1;
    case Family::PIC18:
      return 2;
    case Family::STM32:
      return 4;
  }
  return 1;
}

}  // namespace

void Validate(const Config& c) {
  Require(c.appBaud > 0 && c.bootBaud > 0, "speeds must be positive");
  Require(c.versionFirst.size() == 2 && c.versionSecond.size() == 2,
          "version digits come in pairs");
  Require(c.mcuCount == 1 || c.mcuCount == 2, "a controller carries one or two MCUs");
  Require(c.blockSize > 0 && c.blockSize <= cMaxBlockSize, "block size out of range");
  Require(c.blockSize % WordSize(c.family) == 0, "block size is not a whole number of words");
  Require(c.flashSize > 0 && c.flashSize <= cMaxFlashSize, "flash size out of range");
  Require(c.startAddress < c.flashSize, "start address lies outside the flash");
  Require(c.startReplyDelay.count() >= 0 && c.replyDelay.count() >= 0,
          "delays must not be negative");
  Require(c.lineSpeed || !c.usbAdapter, "a USB adapter's delay needs line-speed mode");
  for (const Fault& f : c.faults) {
    Require(f.mcu >= 0 && f.mcu <= 2, "fault names no MCU");
    Require(f.block >= 0, "fault block index is negative");
    Require(f.delay.count() >= 0, "fault delay is negative");
  }
}

}  // namespace mcsim
