// The floor of a transfer, worked out by hand from the protocol: line time
// at 10 bits a character, the fixed pauses, the controller's reply delays.
#include "TransferEstimate.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using M = TMCUModel;

struct TFloorCase {
  const char* Name;
  TMCUModel Model;
  TTransferCase Case;
  TReplyDelays Delays;
  double Ms;
};

TEST(TransferFloorMs, CountsPausesLineTimeAndReplies) {
  // clang-format off
  const TFloorCase cCases[] = {
      // 2072 characters at 115200 (179.861 ms), 400 + 500 + 100 ms of pauses.
      {"STM32 1024, one block", M::STM32F051C8T6_1024, {115200, false, 1, 1}, {}, 1179.861},
      // The same and 32 pieces of 64 characters, 100 ms after each.
      {"STM32 1024, PC Direct", M::STM32F051C8T6_1024, {115200, true, 1, 1}, {}, 4379.861},
      // The entry (8 characters) at 9600 goes unheard: 500 ms wait, then 41
      // characters at 38400.
      {"PIC16 above 9600", M::PIC16F886, {38400, false, 1, 1}, {}, 1519.010},
      // PIC frames are never paced.
      {"PIC16, PC Direct", M::PIC16F886, {38400, true, 1, 1}, {}, 1519.010},
      // Per MCU 50 characters at 9600 (52.083 ms), 965 ms of pauses and
      // delays; the closing pause once.
      {"PIC16, two MCUs, slow controller", M::PIC16F886, {9600, false, 1, 2}, {5, 50}, 2134.167},
  };
  // clang-format on
  for (const auto& C : cCases) {
    EXPECT_NEAR(TransferFloorMs(*TransferParamsFor(C.Model), C.Case, C.Delays), C.Ms, 0.001)
        << C.Name;
  }
}

TEST(TransferFloorMs, RefusesARateThatIsNotPositive) {
  const TTransferParams& P = *TransferParamsFor(M::PIC18F25K20);
  EXPECT_THROW(TransferFloorMs(P, {0, false, 1, 1}, {}), std::out_of_range);
  EXPECT_THROW(TransferFloorMs(P, {9600, false, -1, 1}, {}), std::out_of_range);
}

}  // namespace
