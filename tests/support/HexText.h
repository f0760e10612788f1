// Bytes as hex text and back: how the Windows port agent and its driver pass
// any byte through a text line. "-" stands for no bytes, so a line never
// ends in an empty field.
#pragma once

#include <string>

inline std::string Hex(const std::string& Bytes) {
  if (Bytes.empty()) return "-";
  static const char cDigits[] = "0123456789abcdef";
  std::string Out;
  for (const unsigned char C : Bytes) {
    Out += cDigits[C >> 4];
    Out += cDigits[C & 0xF];
  }
  return Out;
}

inline std::string Unhex(const std::string& Text) {
  std::string Out;
  if (Text == "-") return Out;
  for (std::size_t I = 0; I + 1 < Text.size(); I += 2) {
    Out += static_cast<char>(std::stoi(Text.substr(I, 2), nullptr, 16));
  }
  return Out;
}
