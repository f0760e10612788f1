// Windows port numbering: port n is "\\.\COMn", the form that also reaches
// ports above 9.
#include <string>

#include "PortMap.h"

namespace {
constexpr const char* cComPrefix = "\\\\.\\COM";
}

TPortMap SystemPortMap() {
  return [](int n) { return n < 1 ? std::string() : cComPrefix + std::to_string(n); };
}
