// Controller models: the MCU families, the parameter set that the model table
// selects for a controller class, and the rules that decide whether a
// controller may be updated and whether a firmware file belongs to it.
#pragma once

#include <cstdint>
#include <vector>

enum class TMCUModel : std::uint8_t {
  NOT_VALID,
  PIC16F886,
  PIC18F25K20,
  PIC18F45K20,
  PIC18F46K20,
  STM32F051C8T6_1024,
  STM32F_512,
  STM32F031C6T6,
  STM32F030F4P6,
};

// The values of the PIC16F886 rows of the model table.
constexpr std::int32_t cImageSize = 0x5000;
constexpr std::int32_t cFlashSize = 0x4000;
constexpr std::int32_t cPGMStartAddress = 0x200;

// Written together by the model table; read by the transfer and the update.
struct TParamSet {
  std::int32_t ImageSize = 0;        // exact length of a firmware file
  std::int32_t FlashSize = 0;        // exclusive end of the programmable region
  std::int32_t PGMStartAddress = 0;  // first image offset sent
  std::int32_t ModelIDAddr = 0;      // offset of the file's model byte
  bool Auto_Baud = false;            // honour the bootloader's "=" auto-baud request
  TMCUModel MCUModel = TMCUModel::NOT_VALID;
};

// The MCU model's name as the model table writes it ("PIC16F886").
const char* McuModelName(TMCUModel Model);

// Model code reported by the controller (0..255) -> model class. A code that
// no rule names is its own class (so is anything outside 0..255).
std::int32_t NormaliseControllerCode(std::int32_t Code);

// Writes the model table's row for Class: MCUCount and all of Params.
// Returns false for a class the table does not know; then MCUCount is 0 and
// Params is left as it was.
bool SelectModel(std::int32_t Class, std::uint8_t& MCUCount, TParamSet& Params);

// Application mode only: the two characters (First, then Second) are read as
// a plain integer text, so two digits are decimal; the controller may be
// updated when the value is 2 or more. Throws EConvertError for a text that
// is not an integer (for instance "0A").
bool IsUserUpgradeable(char First, char Second);

// The file's model byte -> the class it stands for. Only the groups that a
// file may name by any member are folded; a byte no rule names is its own
// class.
std::int32_t NormaliseFileByte(std::uint8_t Byte);

// A firmware file is accepted only at exactly ImageSize bytes.
bool FileLengthMatches(std::int64_t FileLength, const TParamSet& Params);

// The byte at ModelIDAddr of the image, after the file-byte rules, equals
// Class. False (never a read out of bounds) when ModelIDAddr lies outside the
// image read (0..ImageSize-1) or outside DataBuffer.
bool FileModelMatches(const std::vector<std::uint8_t>& DataBuffer, const TParamSet& Params,
                      std::int32_t Class);
