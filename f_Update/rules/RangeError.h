// The one error for a count or index outside what it may be: a negative
// pause, an empty command, a read past a buffer.
#pragma once

#include <stdexcept>

// Throws std::out_of_range with the text "Range check error".
[[noreturn]] void RangeError();
