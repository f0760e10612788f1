#include "TransferEstimate.h"

#include <stdexcept>
#include <string>

#include "TransferTiming.h"

namespace {

constexpr double cBitsPerChar = 10;  // 8N1: start, 8 data, stop
constexpr double cMsPerSec = 1000;
constexpr std::int64_t cOneChar = 1;  // the dot, the entry and start replies, "X"

// Entry command, its reply (or the wait for it), the dot and its pauses.
double EntryMs(const TTransferParams& Model, std::int32_t Baud, const TReplyDelays& Delays) {
  const std::int64_t Command = static_cast<std::int64_t>(EntryCommand(1).size());
  double Ms = LineMs(Command, Model.EntryAt9600 ? cBootloaderBaud : Baud);
  const bool Heard = !Model.EntryAt9600 || Baud == cBootloaderBaud;
  Ms += Heard ? Delays.ReplyMs + LineMs(cOneChar, Baud) : cEntryTimeOutSecs * cMsPerSec;
  return Ms + 2.0 * cDotPause + LineMs(cOneChar, Baud);
}

double StartMs(std::int32_t Baud, const TReplyDelays& Delays) {
  const std::int64_t Command = static_cast<std::int64_t>(StartCommand(1).size());
  return LineMs(Command, Baud) + Delays.StartReplyMs + Delays.ReplyMs + LineMs(cOneChar, Baud) +
         cAfterStartPause;
}

// One frame on its way out; in PC Direct Mode the STM32 frames go in pieces,
// each followed by its pause.
double FrameMs(const TTransferParams& Model, std::int32_t Baud, bool PCDirectMode) {
  const std::int64_t Chars = 2 * static_cast<std::int64_t>(Model.FlashBlockSize);
  double Ms = LineMs(Chars, Baud);
  if (PCDirectMode && Model.Family == TFrameFamily::STM32) {
    const std::int64_t Piece = static_cast<std::int64_t>(cDirectModePiece);
    Ms += static_cast<double>((Chars + Piece - 1) / Piece) * cDirectModePause;
  }
  return Ms;
}

double BlockMs(const TTransferParams& Model, const TTransferCase& Case,
               const TReplyDelays& Delays) {
  return FrameMs(Model, Case.Baud, Case.PCDirectMode) + Delays.ReplyMs +
         LineMs(Model.ReplyLength, Case.Baud);
}

}  // namespace

double LineMs(std::int64_t Chars, std::int32_t Baud) {
  if (Baud <= 0) throw std::out_of_range("baud rate " + std::to_string(Baud));
  return static_cast<double>(Chars) * cBitsPerChar * cMsPerSec / Baud;
}

double TransferFloorMs(const TTransferParams& Model, const TTransferCase& Case,
                       const TReplyDelays& Delays) {
  if (Case.BlocksPerMcu < 0 || Case.McuCount < 0)
    throw std::out_of_range("negative block or MCU count");
  const double PerMcu = EntryMs(Model, Case.Baud, Delays) + StartMs(Case.Baud, Delays) +
                        Case.BlocksPerMcu * BlockMs(Model, Case, Delays) +
                        LineMs(cOneChar, Case.Baud);  // "X"
  return Case.McuCount * PerMcu + cClosingPause;
}
