#include "RangeError.h"

void RangeError() {
  throw std::out_of_range("Range check error");
}
