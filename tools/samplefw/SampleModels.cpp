#include "SampleModels.h"

#include <iomanip>
#include <sstream>
#include <vector>

#include "Models.h"
#include "SampleImage.h"

namespace samplefw {

namespace {

constexpr int cByteValues = 256;
constexpr int cBytesColumn = 13;
constexpr int cCodesColumn = 24;

// The class a file with this model byte is for, when its row has the sample's
// layout; -1 otherwise.
std::int32_t SampleClass(std::uint8_t ModelByte) {
  const std::int32_t Class = NormaliseFileByte(ModelByte);
  std::uint8_t MCUCount = 0;
  TParamSet Params;
  if (!SelectModel(Class, MCUCount, Params)) return -1;
  const bool Fits = Params.MCUModel == TMCUModel::PIC16F886 &&
                    Params.ImageSize == static_cast<std::int32_t>(cImageBytes) &&
                    Params.ModelIDAddr == static_cast<std::int32_t>(cModelByteAt);
  return Fits ? Class : -1;
}

// "2, 3, 26" or "128..135": the values 0..255 for which Member holds, runs of
// three or more joined.
template <typename Pred>
std::string Runs(Pred Member) {
  std::ostringstream Out;
  const char* Separator = "";
  for (int V = 0; V < cByteValues; ++V) {
    if (!Member(V)) continue;
    int Last = V;
    while (Last + 1 < cByteValues && Member(Last + 1)) ++Last;
    Out << Separator << V;
    if (Last == V + 1) Out << ", " << Last;
    if (Last > V + 1) Out << ".." << Last;
    Separator = ", ";
    V = Last;
  }
  return Out.str();
}

}  // namespace

bool FitsSampleLayout(std::uint8_t ModelByte) {
  return SampleClass(ModelByte) >= 0;
}

std::string SampleModelsText() {
  std::ostringstream Out;
  Out << std::left << std::setw(cBytesColumn) << "  MODEL" << std::setw(cCodesColumn)
      << "for controller codes"
      << "MCUs\n";
  for (int Class = 0; Class < cByteValues; ++Class) {
    const auto C = static_cast<std::uint8_t>(Class);
    if (SampleClass(C) != Class) continue;
    std::uint8_t MCUCount = 0;
    TParamSet Params;
    SelectModel(Class, MCUCount, Params);
    const std::string Bytes =
        Runs([Class](int B) { return SampleClass(static_cast<std::uint8_t>(B)) == Class; });
    const std::string Codes =
        Runs([Class](int Code) { return NormaliseControllerCode(Code) == Class; });
    Out << "  " << std::setw(cBytesColumn - 2) << Bytes << std::setw(cCodesColumn) << Codes
        << static_cast<int>(MCUCount) << " x PIC16F886\n";
  }
  return Out.str();
}

}  // namespace samplefw
