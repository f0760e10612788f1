// A firmware image for trying the tool without real firmware: the layout of
// the single-MCU PIC16 class (model code 2), with a short program above the
// start address and erased flash after it, so a transfer sends few blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace samplefw {

constexpr std::size_t cImageBytes = 0x5000;  // exact file length of the class
constexpr std::size_t cModelByteAt = 0x2;    // where the file names its model
constexpr std::size_t cProgramStart = 0x200;
constexpr std::uint8_t cDefaultModel = 2;
constexpr std::size_t cDefaultProgramBytes = 0x400;
constexpr std::uint8_t cErased = 0xFF;

// ProgramBytes of 14-bit words from cProgramStart on (the high byte of each
// word at most 0x3F, so none is rewritten on the way), erased flash elsewhere
// and ModelByte at cModelByteAt. ProgramBytes is cut to what fits.
std::vector<std::uint8_t> MakeImage(std::uint8_t ModelByte = cDefaultModel,
                                    std::size_t ProgramBytes = cDefaultProgramBytes);

// Writes Image to Path; false when it could not be written whole.
bool WriteImage(const std::string& Path, const std::vector<std::uint8_t>& Image);

}  // namespace samplefw
