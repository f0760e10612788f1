// Text-to-integer conversion used on controller replies: the forms a model
// code, a version number or the user-upgradeable digits may take.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// Raised when a text is not an integer in one of the accepted forms. what()
// reads "'<text>' is not a valid integer value".
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& Text);
};

// Accepted: leading blanks (spaces), then an optional "+" or "-", then either
//  - a hexadecimal number introduced by "$", "x", "X", "0x" or "0X", digits in
//    either case, value at most 32 bits (so "$FFFFFFFF" is -1 and "-$1" is -1),
//  - or a decimal number within the signed 32-bit range,
// and nothing after the digits. Anything else, the empty text included,
// throws EConvertError.
std::int32_t StrToInt(const std::string& S);

// The value of the text "$" Hi Lo: two reply characters read as one
// hexadecimal byte. Throws EConvertError (naming "$" Hi Lo) otherwise.
std::uint8_t HexByte(char Hi, char Lo);
