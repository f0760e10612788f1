// Rules of the bootloader transfer: per-model block parameters, commands,
// block frames of nibble characters, checksums, judging a block reply, the
// end of the image and the progress text. Pure functions; the transfer
// drives the port, the pauses and the status line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Models.h"

enum class TFrameFamily : std::uint8_t { PIC16, PIC18, STM32 };

struct TTransferParams {
  TMCUModel MCUModel;
  std::int32_t FlashBlockSize;  // bytes per block frame
  TFrameFamily Family;          // byte rule, checksum and reply layout
  std::int32_t ReplyLength;     // ExpectRXCount of a block reply, "." included
  bool EntryAt9600;             // the entry command goes out at 9600 baud
};

// The row for Model, or nullptr for a model without transfer parameters
// (NOT_VALID, PIC18F46K20).
const TTransferParams* TransferParamsFor(TMCUModel Model);

// Commands for MCU number McuNumber (1 or 2).
std::string EntryCommand(int McuNumber);  // ":Q<n>7E81\r"
std::string StartCommand(int McuNumber);  // "P<n>."
constexpr char cDotCmd = '.';
constexpr char cAbortCmd = 'Q';
constexpr char cFinishCmd = 'X';
constexpr std::uint8_t cAutoBaudRequest = '=';
constexpr std::uint8_t cReplyEnd = '.';

// A 4-bit value travels as the character 0x30 + value ("0".."9", ":".."?").
char NibbleChar(std::uint8_t Value);
// A received nibble character is read back as its code AND 0x0F.
std::uint8_t NibbleValue(std::uint8_t Code);

// The family's byte rule for the image byte at Offset; returns the byte as
// sent. PIC16: 0xFF at an odd offset becomes 0x3F in DataBuffer itself.
// Throws std::out_of_range for an offset outside DataBuffer.
std::uint8_t ApplyByteRule(TFrameFamily Family, std::vector<std::uint8_t>& DataBuffer,
                           std::int32_t Offset);

// The computer's checksum of one block, fed byte by byte with image offsets:
// PIC16 the low byte of the sum, PIC18 the XOR of little-endian 16-bit words,
// STM32 the XOR of little-endian 32-bit words (blocks start word-aligned).
class TBlockChecksum {
 public:
  explicit TBlockChecksum(TFrameFamily AFamily) : Family(AFamily) {}
  void Add(std::uint8_t Byte, std::int32_t Offset);
  std::uint32_t Value() const;

 private:
  TFrameFamily Family;
  std::uint32_t Acc = 0;
};

struct TBlockFrame {
  std::string Frame;       // 2 x FlashBlockSize nibble characters
  std::uint32_t Checksum;  // compare with DecodeMCChecksum
};

// One block of FlashBlockSize bytes from Offset upward: applies the byte rule
// (changing DataBuffer in place for PIC16) and returns the frame and the
// checksum of the bytes as sent. Throws std::out_of_range, touching nothing,
// when the block does not lie inside DataBuffer.
TBlockFrame BuildBlockFrame(const TTransferParams& Params, std::vector<std::uint8_t>& DataBuffer,
                            std::int32_t Offset);

// Judging a block reply. Reply/Size is the receive buffer; Count (the
// family's ReplyLength) is how many bytes were read into it. Each throws
// std::out_of_range when Count does not fit the buffer.
//
// Step 1: removes every NUL among the Count bytes; bytes that move up are
// examined too. The places freed at the end (the last NulCount) hold copies
// of the last byte read. Returns NulCount.
std::int32_t RemoveNulBytes(std::uint8_t* Reply, std::size_t Size, std::int32_t Count);
// Index of the first freed place: where late bytes go.
std::int32_t FirstFreedPlace(std::int32_t Count, std::int32_t NulCount);
// Step 2, after the transfer's pause and only if NulCount bytes are waiting:
// writes the late bytes into the freed places. They are not examined for NUL.
// Throws std::out_of_range for more late bytes than freed places.
void FillFreedPlaces(std::uint8_t* Reply, std::size_t Size, std::int32_t Count,
                     std::int32_t NulCount, const std::uint8_t* Late, std::size_t LateCount);
// The reply is complete when its last byte (index Count - 1) is ".".
bool ReplyTerminated(const std::uint8_t* Reply, std::size_t Size, std::int32_t Count);
// The controller's checksum from the reply's nibble characters.
std::uint32_t DecodeMCChecksum(TFrameFamily Family, const std::uint8_t* Reply, std::size_t Size);

// Exclusive end of what is sent: from FlashSize down past trailing 0xFF
// bytes (never below 0), then raised to a multiple of FlashBlockSize counted
// from offset 0. Throws std::out_of_range when FlashSize lies outside
// DataBuffer or FlashBlockSize is not positive.
std::int32_t EndAddress(const std::vector<std::uint8_t>& DataBuffer, std::int32_t FlashSize,
                        std::int32_t FlashBlockSize);

// Blocks an MCU receives: the loop tests after each block, so at least one.
std::int32_t BlockCount(std::int32_t PGMStartAddress, std::int32_t EndAddress,
                        std::int32_t FlashBlockSize);

// round((BufferPointer - PGMStartAddress) * 100 / (EndAddress -
// PGMStartAddress)), halves to even. 100 when EndAddress is not above
// PGMStartAddress: the one block sent is the whole image.
std::int32_t ProgressPercent(std::int32_t BufferPointer, std::int32_t PGMStartAddress,
                             std::int32_t EndAddress);
// "45% of MCU 2".
std::string ProgressText(std::int32_t Percent, int McuNumber);
