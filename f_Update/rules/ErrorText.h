// Text of an error that no operation caught, as the front ends show it.
#pragma once

#include <string>

// The error's text, with "." appended when its last character comes after
// "." in character-code order. UTF-8 in and out: the last byte of a
// multi-byte character is above "." just as its code point is.
std::string UncaughtErrorText(const std::string& Message);
