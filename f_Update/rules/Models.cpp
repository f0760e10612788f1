#include "Models.h"

#include <cstddef>
#include <utility>
#include <string>

#include "Convert.h"

namespace {

// A run of codes that one rule folds into one class. A rule naming several
// runs has one entry per run; entries are in rule order.
struct TCodeRange {
  std::int32_t First;
  std::int32_t Last;
  std::int32_t Becomes;
};

// The twelve controller-code rules.
constexpr TCodeRange cControllerCodeRules[] = {
    {2, 3, 2},       {26, 26, 2},      // rule 1
    {32, 47, 32},    {183, 183, 32},   // rule 2
    {48, 55, 48},                      // rule 3
    {56, 63, 56},                      // rule 4
    {128, 135, 128},                   // rule 5
    {12, 19, 136},   {136, 143, 136},  // rule 6
    {144, 151, 144},                   // rule 7
    {152, 159, 152},                   // rule 8
    {161, 163, 161},                   // rule 9
    {4, 4, 4},       {164, 164, 4},    // rule 10
    {5, 5, 5},       {182, 182, 5},    // rule 11
    {165, 180, 165},                   // rule 12
};

// The seven file-byte rules. The controller groups of 2, 32, 48, 56 and 165
// are deliberately absent: a file must carry the class byte itself.
constexpr TCodeRange cFileByteRules[] = {
    {128, 135, 128},                   // rule 1
    {12, 19, 136},   {136, 143, 136},  // rule 2
    {144, 151, 144},                   // rule 3
    {152, 159, 152},                   // rule 4
    {161, 163, 161},                   // rule 5
    {164, 164, 4},                     // rule 6
    {182, 182, 5},                     // rule 7
};

template <std::size_t N>
std::int32_t ApplyRules(const TCodeRange (&Rules)[N], std::int32_t Code) {
  for (const TCodeRange& R : Rules) {
    if (Code >= R.First && Code <= R.Last) return R.Becomes;
  }
  return Code;
}

struct TModelRow {
  std::int32_t Class;
  std::uint8_t MCUCount;
  TParamSet Params;
};

using M = TMCUModel;

// The model table. Columns: class, MCUCount, then the parameter set:
// ImageSize, FlashSize, PGMStartAddress, ModelIDAddr, Auto_Baud, MCUModel.
// The trailing comment lists the model codes that normalise to the class.
// clang-format off
const TModelRow cModelTable[] = {
    {  0, 2, {cImageSize, cFlashSize, cPGMStartAddress,    0x2, false, M::PIC16F886}},          // 0
    {  1, 2, {cImageSize, cFlashSize, cPGMStartAddress,    0x2, false, M::PIC16F886}},          // 1
    {  2, 1, {cImageSize, cFlashSize, cPGMStartAddress,    0x2, false, M::PIC16F886}},          // 2, 3, 26
    {  4, 2, {   0x8000,     0x8000,            0x600,    0xE,  true, M::PIC18F25K20}},        // 4, 164
    {  5, 2, {   0x8000,     0x8000,            0x600,    0xE,  true, M::PIC18F25K20}},        // 5, 182
    {  6, 1, {  0x10000,    0x10000,           0x1400, 0xFFE0, false, M::STM32F051C8T6_1024}}, // 6
    {  7, 1, {  0x10000,    0x10000,           0x1400, 0xFFE0, false, M::STM32F051C8T6_1024}}, // 7
    {  8, 1, {  0x10000,    0x10000,           0x2400, 0xFFE0, false, M::STM32F051C8T6_1024}}, // 8
    {  9, 1, {  0x20000,    0x20000,           0x7000, 0x6FFC, false, M::STM32F_512}},         // 9
    { 10, 1, {  0x10000,    0x10000,            0xC00,  0xBFC, false, M::STM32F_512}},         // 10
    { 11, 1, {   0x4000,     0x4000,            0xC00,  0xBFC, false, M::STM32F030F4P6}},      // 11
    { 32, 1, {  0x10000,    0x10000,            0xC00,  0xBFC, false, M::STM32F_512}},         // 32..47, 183
    { 48, 1, {  0x10000,    0x10000,            0xC00,  0xBFC, false, M::STM32F_512}},         // 48..55
    { 56, 1, {  0x10000,    0x10000,            0xC00,  0xBFC, false, M::STM32F_512}},         // 56..63
    {126, 1, {  0x20000,    0x20000,           0x6000, 0x5FFC, false, M::STM32F_512}},         // 126
    {128, 2, {cImageSize, cFlashSize, cPGMStartAddress,    0x2, false, M::PIC16F886}},          // 128..135
    {136, 1, {  0x20000,    0x20000,           0x6000, 0x5FFC, false, M::STM32F_512}},         // 12..19, 136..143
    {144, 2, {cImageSize, cFlashSize, cPGMStartAddress,    0x2, false, M::PIC16F886}},          // 144..151
    {152, 2, {cImageSize, cFlashSize, cPGMStartAddress,    0x2, false, M::PIC16F886}},          // 152..159
    {160, 2, {   0x8000,     0x8000,            0x600,    0xE,  true, M::PIC18F25K20}},        // 160
    {161, 1, {   0x8000,     0x8000,            0x600,    0xE,  true, M::PIC18F45K20}},        // 161..163
    {165, 1, {  0x10000,    0x10000,            0xC00,  0xBFC, false, M::STM32F_512}},         // 165..180
};
// clang-format on

constexpr std::int32_t cLeastUpgradeableLevel = 2;

}  // namespace

std::int32_t NormaliseControllerCode(std::int32_t Code) {
  return ApplyRules(cControllerCodeRules, Code);
}

bool SelectModel(std::int32_t Class, std::uint8_t& MCUCount, TParamSet& Params) {
  for (const TModelRow& Row : cModelTable) {
    if (Row.Class == Class) {
      MCUCount = Row.MCUCount;
      Params = Row.Params;
      return true;
    }
  }
  MCUCount = 0;
  return false;
}

bool IsUserUpgradeable(char First, char Second) {
  return StrToInt(std::string{First, Second}) >= cLeastUpgradeableLevel;
}

std::int32_t NormaliseFileByte(std::uint8_t Byte) {
  return ApplyRules(cFileByteRules, Byte);
}

bool FileLengthMatches(std::int64_t FileLength, const TParamSet& Params) {
  return FileLength == Params.ImageSize;
}

bool FileModelMatches(const std::vector<std::uint8_t>& DataBuffer, const TParamSet& Params,
                      std::int32_t Class) {
  const std::int64_t Addr = Params.ModelIDAddr;
  if (Addr < 0 || Addr >= Params.ImageSize || static_cast<std::uint64_t>(Addr) >= DataBuffer.size())
    return false;
  return NormaliseFileByte(DataBuffer[static_cast<std::size_t>(Addr)]) == Class;
}

namespace {
// clang-format off
const std::pair<TMCUModel, const char*> cMcuNames[] = {
    {TMCUModel::NOT_VALID,          "NOT_VALID"},
    {TMCUModel::PIC16F886,          "PIC16F886"},
    {TMCUModel::PIC18F25K20,        "PIC18F25K20"},
    {TMCUModel::PIC18F45K20,        "PIC18F45K20"},
    {TMCUModel::PIC18F46K20,        "PIC18F46K20"},
    {TMCUModel::STM32F051C8T6_1024, "STM32F051C8T6_1024"},
    {TMCUModel::STM32F_512,         "STM32F_512"},
    {TMCUModel::STM32F031C6T6,      "STM32F031C6T6"},
    {TMCUModel::STM32F030F4P6,      "STM32F030F4P6"},
};
// clang-format on
}  // namespace

const char* McuModelName(TMCUModel Model) {
  for (const auto& [M, Name] : cMcuNames)
    if (M == Model) return Name;
  return "unknown";
}

