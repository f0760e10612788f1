// UTF-8 texts of the loader and the rules as the UTF-16 texts of the Win32
// controls, and back.
#pragma once

#include <string>

#include "ComPort.h"  // windows.h, Utf8OfWide and WideOfUtf8

std::string WindowTextUtf8(HWND Window);
void SetWindowTextUtf8(HWND Window, const std::string& Text);
