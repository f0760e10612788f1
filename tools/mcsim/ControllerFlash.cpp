// The bootloader's receive loop: frames of nibble characters between the
// start command and "X" (finish) or "Q" (abort), one checksum reply each.
#include <algorithm>
#include <cstdio>

#include "BlockReply.h"
#include "Controller.h"

namespace mcsim {
namespace {

constexpr std::uint8_t cFinish = 'X';
constexpr std::uint8_t cAbort = 'Q';
constexpr char cGarbageByte = static_cast<char>(0xA5);

// Fault names, in the order of FaultKind.
constexpr const char* cFaultNames[] = {
    "wrong checksum", "no reply", "NUL, last byte late", "NUL, last byte never sent",
    "bad end",        "garbage",  "disconnect",          "silence",
    "unplug",
};

std::string ByteText(std::uint8_t c) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(c));
  return text;
}

}  // namespace

void Controller::OnFrameByte(std::uint8_t c, int baud, std::vector<Output>& out) {
  if (frame_.empty()) {
    if (c == cFinish || c == cAbort) {
      EndTransfer(c == cFinish ? EventKind::Finish : EventKind::Abort, baud);
      return;
    }
    if (!IsNibbleChar(c)) {
      ProtocolError(baud, "byte " + ByteText(c) + " between frames");
      return;
    }
  } else if (!IsNibbleChar(c)) {
    ProtocolError(baud, "byte " + ByteText(c) + " at position " + std::to_string(frame_.size()) +
                            " of frame " + std::to_string(blockIndex_));
  }
  frame_ += static_cast<char>(c);
  if (frame_.size() == 2 * static_cast<std::size_t>(config_.blockSize)) CompleteBlock(baud, out);
}

// After "X" the new application runs; after "Q" the bootloader stays and
// waits for another start.
void Controller::EndTransfer(EventKind kind, int baud) {
  AddEvent(kind, activeMcu_, baud);
  receiving_ = false;
  if (kind == EventKind::Finish) {
    firmware_[static_cast<std::size_t>(activeMcu_ - 1)] = true;
    mode_ = Mode::Application;
    measuring_ = false;
  }
}

void Controller::CompleteBlock(int baud, std::vector<Output>& out) {
  const std::vector<std::uint8_t> block = DecodeFrame(frame_);
  frame_.clear();
  const int index = blockIndex_++;
  const std::uint64_t address =
      config_.startAddress + static_cast<std::uint64_t>(index) * block.size();
  McuImage& image = record_.mcus[static_cast<std::size_t>(activeMcu_ - 1)];
  const auto address32 = static_cast<std::uint32_t>(address);
  if (address + block.size() <= image.flash.size()) {
    std::copy(block.begin(), block.end(), image.flash.begin() + static_cast<long>(address));
    image.blocks.push_back(address32);
  } else {
    ProtocolError(baud, "block " + std::to_string(index) + " lies beyond the flash");
  }

  const std::uint32_t checksum = BlockChecksum(config_.family, block);
  std::string reply = ChecksumReply(config_.family, checksum);
  AddEvent(EventKind::Block, activeMcu_, baud, reply, address32);
  const Fault* fault = FaultFor(activeMcu_, index);
  if (fault == nullptr) {
    Reply(out, std::move(reply), baud);
    return;
  }
  AddEvent(EventKind::Fault, activeMcu_, baud, cFaultNames[static_cast<int>(fault->kind)],
           address32);
  ApplyFault(*fault, std::move(reply), checksum, baud, out);
}

const Fault* Controller::FaultFor(int mcu, int block) const {
  for (const Fault& f : config_.faults) {
    if ((f.mcu == 0 || f.mcu == mcu) && f.block == block) return &f;
  }
  return nullptr;
}

void Controller::ApplyFault(const Fault& fault, std::string reply, std::uint32_t checksum, int baud,
                            std::vector<Output>& out) {
  switch (fault.kind) {
    case FaultKind::WrongChecksum:
      Reply(out, ChecksumReply(config_.family, checksum ^ 1u), baud);
      break;
    case FaultKind::NoReply:
      break;
    case FaultKind::NulLate:
    case FaultKind::NulNever: {
      // The NUL pushes the last byte out of the reply's length.
      const std::size_t at = std::min(fault.nulAt, reply.size() - 1);
      std::string first = reply.substr(0, at) + '\0' + reply.substr(at, reply.size() - 1 - at);
      Reply(out, std::move(first), baud);
      if (fault.kind == FaultKind::NulLate)
        Reply(out, reply.substr(reply.size() - 1), baud, fault.delay);
      break;
    }
    case FaultKind::BadEnd:
      reply.back() = fault.badEnd;
      Reply(out, std::move(reply), baud);
      break;
    case FaultKind::Garbage:
      Reply(out, fault.bytes.empty() ? std::string(reply.size(), cGarbageByte) : fault.bytes, baud);
      break;
    case FaultKind::Disconnect:
      out.push_back(Output{config_.replyDelay, {}, baud, true});
      gone_ = true;
      break;
    case FaultKind::Silence:
      silent_ = true;
      break;
    case FaultKind::Unplug:
      out.push_back(Output{config_.replyDelay, {}, baud, true, false, true});
      gone_ = true;
      break;
  }
}

}  // namespace mcsim
