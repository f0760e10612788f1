#include "ErrorText.h"

std::string UncaughtErrorText(const std::string& Message) {
  if (Message.empty()) return Message;
  const auto Last = static_cast<unsigned char>(Message.back());
  return Last > static_cast<unsigned char>('.') ? Message + "." : Message;
}
