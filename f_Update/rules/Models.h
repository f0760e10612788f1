// Controller models: the MCU families and the parameter set that the model
// table selects for a controller class.
#pragma once

#include <cstdint>

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
