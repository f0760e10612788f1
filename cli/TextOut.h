// Making text safe to print. Status texts and messages carry bytes from the
// controller (a version reply, a reply in an error text) and from the system
// (USB descriptor strings): none of them may reach a terminal as a control
// sequence, and JSON output must stay valid whatever they hold.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Text with every control character (C0, DEL, C1) and every byte that is not
// part of well-formed UTF-8 written as \xNN; all else unchanged.
std::string PrintableText(const std::string& Text);
// The same for text of several lines: each line made printable, the line
// breaks kept.
std::string PrintableLines(const std::string& Text);

// Text as a JSON string literal, quotes included. A byte that is not part of
// well-formed UTF-8 is taken as the Latin-1 character of that value.
std::string JsonString(const std::string& Text);

// One JSON object on one line, its members in the order they were added.
class TJsonObject {
 public:
  TJsonObject& Add(const char* Key, const std::string& Value);
  TJsonObject& Add(const char* Key, const char* Value);
  TJsonObject& Add(const char* Key, bool Value);
  TJsonObject& Add(const char* Key, int Value);
  TJsonObject& Add(const char* Key, std::int64_t Value);  // a file size, a duration in ms
  TJsonObject& AddNull(const char* Key);
  TJsonObject& Add(const char* Key, const std::vector<TJsonObject>& Items);  // an array
  std::string Text() const { return "{" + FMembers + "}"; }

 private:
  TJsonObject& AddRaw(const char* Key, const std::string& Json);
  std::string FMembers;
};
