// Whether a simulated one-MCU controller holds a sample image: what every
// test of a whole update asks at its end.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Record.h"
#include "SampleImage.h"

// The flash equals Image from the program's start, holds at least
// ProgramBytes of it, and the transfer was closed once.
inline ::testing::AssertionResult ImageReceived(const mcsim::Record& Record,
                                                const std::vector<std::uint8_t>& Image,
                                                std::size_t ProgramBytes) {
  if (Record.mcus.size() != 1u)
    return ::testing::AssertionFailure() << Record.mcus.size() << " MCUs recorded";
  const auto& Flash = Record.mcus[0].flash;
  if (Flash.size() < samplefw::cProgramStart + ProgramBytes || Flash.size() > Image.size())
    return ::testing::AssertionFailure() << "flash of " << Flash.size() << " bytes";
  if (!std::equal(Flash.begin() + samplefw::cProgramStart, Flash.end(),
                  Image.begin() + samplefw::cProgramStart))
    return ::testing::AssertionFailure() << "flash differs from the image";
  if (Record.Count(mcsim::EventKind::Finish) != 1u)
    return ::testing::AssertionFailure() << Record.Count(mcsim::EventKind::Finish) << " finishes";
  return ::testing::AssertionSuccess();
}
