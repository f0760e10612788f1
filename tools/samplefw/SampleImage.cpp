#include "SampleImage.h"

#include <algorithm>
#include <fstream>

namespace samplefw {

namespace {
constexpr std::uint8_t cWordHighMask = 0x3F;  // PIC16 words are 14 bits wide
constexpr std::uint8_t cLowBytePattern = 0xA5;
}  // namespace

std::vector<std::uint8_t> MakeImage(std::uint8_t ModelByte, std::size_t ProgramBytes) {
  std::vector<std::uint8_t> Image(cImageBytes, cErased);
  Image[cModelByteAt] = ModelByte;
  const std::size_t End = cProgramStart + std::min(ProgramBytes, cImageBytes - cProgramStart);
  for (std::size_t I = cProgramStart; I < End; ++I) {
    const auto Word = static_cast<std::uint8_t>(I / 2);
    Image[I] = (I % 2 == 0) ? static_cast<std::uint8_t>(Word ^ cLowBytePattern)
                            : static_cast<std::uint8_t>(Word & cWordHighMask);
  }
  return Image;
}

bool WriteImage(const std::string& Path, const std::vector<std::uint8_t>& Image) {
  std::ofstream File(Path, std::ios::binary | std::ios::trunc);
  File.write(reinterpret_cast<const char*>(Image.data()),
             static_cast<std::streamsize>(Image.size()));
  File.close();
  return static_cast<bool>(File);
}

}  // namespace samplefw
