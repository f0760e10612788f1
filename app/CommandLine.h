// The options the program answers before it creates the application object,
// so that they need no display.
#pragma once

#include <optional>
#include <ostream>

// Prints the help or the version for --help/-h or --version and returns the
// exit status; returns nothing when the window is to open. Other arguments
// are the toolkit's own and are left to it.
std::optional<int> AnswerWithoutWindow(int argc, const char* const* argv, std::ostream& Out);
