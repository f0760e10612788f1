// The shortest time a transfer can take on a real line: the transfer's fixed
// pauses, the line time of every character on the tool's path (commands,
// frames, replies) and the controller's reply delays. A bus echo travels
// with its frame, so it adds nothing; the USB adapter's receive timer and
// the system's scheduling are not counted.
#pragma once

#include <cstdint>

#include "TransferRules.h"

// How long the controller takes to answer; it is not the tool's to know.
struct TReplyDelays {
  double ReplyMs = 0;       // before each reply: entry, start and every block
  double StartReplyMs = 0;  // more before the start reply (the bootloader erases first)
};

struct TTransferCase {
  std::int32_t Baud = 0;  // the speed the bootloader runs at
  bool PCDirectMode = false;
  std::int32_t BlocksPerMcu = 1;
  std::int32_t McuCount = 1;
};

// Line time of Chars characters of 10 bits at Baud, in ms. Throws
// std::out_of_range for a Baud that is not positive.
double LineMs(std::int64_t Chars, std::int32_t Baud);

// The floor of one whole transfer call, in ms. A model whose entry command
// goes out at 9600 is heard only by a bootloader at 9600; at any other
// speed the tool waits the entry out and goes on at that speed. Throws
// std::out_of_range for a Baud that is not positive or a negative count.
double TransferFloorMs(const TTransferParams& Model, const TTransferCase& Case,
                       const TReplyDelays& Delays);
