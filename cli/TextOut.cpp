#include "TextOut.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr char cHexDigits[] = "0123456789abcdef";
constexpr std::uint32_t cFirstC1 = 0x80;
constexpr std::uint32_t cLastC1 = 0x9F;
constexpr std::uint8_t cDel = 0x7F;

// Length of the well-formed UTF-8 sequence at Text[At] and its code point;
// 0 when the bytes there are not one (overlong forms, surrogates and values
// past U+10FFFF included).
std::size_t Utf8At(const std::string& Text, std::size_t At, std::uint32_t& CodePoint) {
  const auto Byte = [&](std::size_t I) { return static_cast<std::uint8_t>(Text[I]); };
  const std::uint8_t Lead = Byte(At);
  if (Lead < 0x80) {
    CodePoint = Lead;
    return 1;
  }
  std::size_t Length = 0;
  std::uint32_t Min = 0;
  if (Lead >= 0xC2 && Lead <= 0xDF) {
    Length = 2, Min = 0x80, CodePoint = Lead & 0x1Fu;
  } else if (Lead >= 0xE0 && Lead <= 0xEF) {
    Length = 3, Min = 0x800, CodePoint = Lead & 0x0Fu;
  } else if (Lead >= 0xF0 && Lead <= 0xF4) {
    Length = 4, Min = 0x10000, CodePoint = Lead & 0x07u;
  } else {
    return 0;
  }
  if (At + Length > Text.size()) return 0;
  for (std::size_t I = 1; I < Length; ++I) {
    const std::uint8_t Next = Byte(At + I);
    if ((Next & 0xC0) != 0x80) return 0;
    CodePoint = (CodePoint << 6) | (Next & 0x3Fu);
  }
  const bool Surrogate = CodePoint >= 0xD800 && CodePoint <= 0xDFFF;
  if (CodePoint < Min || CodePoint > 0x10FFFF || Surrogate) return 0;
  return Length;
}

bool IsControl(std::uint32_t CodePoint) {
  return CodePoint < 0x20 || CodePoint == cDel || (CodePoint >= cFirstC1 && CodePoint <= cLastC1);
}

std::string Hex2(std::uint32_t Value) {
  return {cHexDigits[(Value >> 4) & 0xF], cHexDigits[Value & 0xF]};
}

}  // namespace

std::string PrintableText(const std::string& Text) {
  std::string Out;
  for (std::size_t At = 0; At < Text.size();) {
    std::uint32_t CodePoint = 0;
    const std::size_t Length = Utf8At(Text, At, CodePoint);
    if (Length == 0 || IsControl(CodePoint)) {
      // One byte at a time, so a C1 character shows both of its bytes.
      Out += "\\x" + Hex2(static_cast<std::uint8_t>(Text[At]));
      ++At;
      continue;
    }
    Out.append(Text, At, Length);
    At += Length;
  }
  return Out;
}

std::string PrintableLines(const std::string& Text) {
  std::string Out;
  std::size_t From = 0;
  for (std::size_t Break; (Break = Text.find('\n', From)) != std::string::npos; From = Break + 1)
    Out += PrintableText(Text.substr(From, Break - From)) + '\n';
  return Out + PrintableText(Text.substr(From));
}

std::string JsonString(const std::string& Text) {
  std::string Out = "\"";
  for (std::size_t At = 0; At < Text.size();) {
    std::uint32_t CodePoint = 0;
    std::size_t Length = Utf8At(Text, At, CodePoint);
    if (Length == 0) {
      CodePoint = static_cast<std::uint8_t>(Text[At]);
      Length = 1;
    }
    if (CodePoint == '"' || CodePoint == '\\') {
      Out += '\\';
      Out += static_cast<char>(CodePoint);
    } else if (IsControl(CodePoint) || (Length == 1 && CodePoint >= 0x80)) {
      Out += "\\u00" + Hex2(CodePoint);
    } else {
      Out.append(Text, At, Length);
    }
    At += Length;
  }
  return Out + "\"";
}

TJsonObject& TJsonObject::AddRaw(const char* Key, const std::string& Json) {
  if (!FMembers.empty()) FMembers += ',';
  FMembers += JsonString(Key) + ":" + Json;
  return *this;
}

TJsonObject& TJsonObject::Add(const char* Key, const std::string& Value) {
  return AddRaw(Key, JsonString(Value));
}

TJsonObject& TJsonObject::Add(const char* Key, const char* Value) {
  return AddRaw(Key, JsonString(Value));
}

TJsonObject& TJsonObject::Add(const char* Key, bool Value) {
  return AddRaw(Key, Value ? "true" : "false");
}

TJsonObject& TJsonObject::Add(const char* Key, int Value) {
  return AddRaw(Key, std::to_string(Value));
}

TJsonObject& TJsonObject::Add(const char* Key, std::int64_t Value) {
  return AddRaw(Key, std::to_string(Value));
}

TJsonObject& TJsonObject::AddNull(const char* Key) {
  return AddRaw(Key, "null");
}

TJsonObject& TJsonObject::Add(const char* Key, const std::vector<TJsonObject>& Items) {
  std::string Array;
  for (const TJsonObject& Item : Items) Array += (Array.empty() ? "" : ",") + Item.Text();
  return AddRaw(Key, "[" + Array + "]");
}
