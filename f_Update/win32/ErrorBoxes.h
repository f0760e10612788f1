// The window's modal boxes: error icon, OK, owned by the main window.
#pragma once

#include <string>

#include "ComPort.h"  // windows.h

// Details, when not empty, stay behind "Show details" (a task dialog, from
// common controls 6); without that dialog they follow the text.
void ShowErrorBox(HWND Owner, const std::string& Caption, const std::string& Text,
                  const std::string& Details);
